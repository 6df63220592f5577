#pragma once

#include <QListWidget>

#include <memory>

#include "files/volumes.h"

namespace tavrel {

// The folder list: the open folder's ancestors from the root, the open folder
// itself, then its subfolders, each level indented one step further. A
// double-click or Enter on an entry opens it. It starts at the working folder.
class FolderListBox : public QListWidget {
    Q_OBJECT

  public:
    explicit FolderListBox(std::shared_ptr<const VolumeProvider> volumes,
                           QWidget* parent = nullptr);

    // The open folder: absolute, ending in "/" only at a root.
    QString Path() const { return path_; }
    // Opens a folder, or, given a drive list's text, that drive's current
    // folder. A folder that cannot be listed fails with the system's
    // description and the list keeps its folder. A change of folder raises
    // Change before this returns; the folder already open raises nothing.
    bool SetPath(const QString& pathOrDrive, QString* error = nullptr);

    // The entries' folders, top to bottom (what the list shows).
    QString EntryPath(int row) const;
    // Row of the open folder.
    int OpenRow() const { return openRow_; }

  Q_SIGNALS:
    void Change();
    void KeyDown(int key, Qt::KeyboardModifiers shift);

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void fill();
    void open(QListWidgetItem* item);

    std::shared_ptr<const VolumeProvider> volumes_;
    QString path_;
    int openRow_ = 0;
};

}  // namespace tavrel
