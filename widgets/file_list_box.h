#pragma once

#include <QListWidget>

namespace tavrel {

// The file list: the regular files of one folder (and links to them) whose
// names match its pattern without regard to case, hidden names left out, in
// the order of FileNameLess. It reads the folder when it is pointed at one and
// when it is refreshed, never in the background. It starts at the working
// folder.
class FileListBox : public QListWidget {
    Q_OBJECT

  public:
    explicit FileListBox(const QString& pattern, QWidget* parent = nullptr);

    QString Pattern() const { return pattern_; }

    // The listed folder: absolute, ending in "/" only at a root.
    QString Path() const { return path_; }
    // Lists folder. Pointed again at the folder it shows, the list keeps the
    // selected name selected while it is still there. A folder that cannot
    // be listed leaves the list empty and fails with the system's
    // description.
    bool SetPath(const QString& folder, QString* error = nullptr);

    // Name of the selected file, without folder; empty when none is selected.
    QString FileName() const;
    // Given a folder, re-points the list exactly as SetPath does; given the
    // name of a listed file, selects it as SetSelected does.
    bool SetFileName(const QString& value, QString* error = nullptr);

    int ListCount() const { return count(); }
    // Name of entry i; empty text for any i outside the list (ListCount too).
    QString List(int i) const;
    // Makes entry i the only selected one and raises Click before returning,
    // also when it was selected already.
    void SetSelected(int i);

    // Reads the folder again, keeping the selected name selected while it is
    // still there.
    bool Refresh(QString* error = nullptr);

  Q_SIGNALS:
    // The selected entry changed, by the user or by SetSelected.
    void Click();
    void KeyDown(int key, Qt::KeyboardModifiers shift);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event) const override;

  private:
    bool read(QString* error);

    QString pattern_;
    QString path_;
};

}  // namespace tavrel
