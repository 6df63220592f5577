#include "widgets/file_list_box.h"

#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>

#include <algorithm>

#include "files/files.h"
#include "files/volumes.h"
#include "widgets/list_entry_delegate.h"

namespace tavrel {

FileListBox::FileListBox(const QString& pattern, QWidget* parent)
    : QListWidget(parent), pattern_(pattern) {
    setItemDelegate(new ListEntryDelegate(this));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);  // thousands of names lay out at once
    path_ = CleanFolderPath(QDir::currentPath());
    read(nullptr);
    // Click follows the selection, not the current row: a mouse press moves
    // the current row before it selects, and FileName must name the entry
    // just chosen when Click arrives.
    connect(this, &QListWidget::itemSelectionChanged, this, [this] {
        if (!selectedItems().isEmpty()) {
            Q_EMIT Click();
        }
    });
}

bool FileListBox::SetPath(const QString& folder, QString* error) {
    const QString target = CleanFolderPath(folder);
    if (target != path_) {
        path_ = target;
        const QSignalBlocker quiet(this);
        clear();
    }
    return read(error);
}

QString FileListBox::FileName() const {
    const QList<QListWidgetItem*> selected = selectedItems();
    return selected.isEmpty() ? QString() : selected.first()->text();
}

bool FileListBox::SetFileName(const QString& value, QString* error) {
    if (QFileInfo(QDir(path_).absoluteFilePath(value)).isDir()) {
        return SetPath(QDir(path_).absoluteFilePath(value), error);
    }
    const QList<QListWidgetItem*> found = findItems(value, Qt::MatchExactly);
    if (found.isEmpty()) {
        // A folder that went away: the list shows nothing, as SetPath would.
        return SetPath(QDir(path_).absoluteFilePath(value), error);
    }
    SetSelected(row(found.first()));
    return true;
}

QString FileListBox::List(int i) const {
    const QListWidgetItem* entry = item(i);
    return entry != nullptr ? entry->text() : QString();
}

void FileListBox::SetSelected(int i) {
    if (i < 0 || i >= count()) {
        return;
    }
    {
        const QSignalBlocker quiet(this);
        setCurrentRow(i, QItemSelectionModel::ClearAndSelect);
    }
    Q_EMIT Click();
}

bool FileListBox::Refresh(QString* error) {
    return read(error);
}

bool FileListBox::read(QString* error) {
    const QString keep = FileName();
    QStringList names;
    QString why;
    const bool listed = CanListFolder(path_, &why);
    if (listed) {
        QDir dir(path_);
        dir.setNameFilters({pattern_});
        // Without QDir::System, FIFOs, sockets, devices and dangling links
        // stay out; links to regular files are listed.
        names = dir.entryList(QDir::Files, QDir::NoSort);
        names.removeIf([](const QString& name) { return name.startsWith(QLatin1Char('.')); });
        std::sort(names.begin(), names.end(), FileNameLess);
    }
    {
        const QSignalBlocker quiet(this);
        clear();
        addItems(names);
        if (!keep.isEmpty()) {
            const QList<QListWidgetItem*> found = findItems(keep, Qt::MatchExactly);
            if (!found.isEmpty()) {
                setCurrentItem(found.first(), QItemSelectionModel::ClearAndSelect);
            }
        }
    }
    if (!listed && error != nullptr) {
        *error = why;
    }
    return listed;
}

QItemSelectionModel::SelectionFlags FileListBox::selectionCommand(const QModelIndex& index,
                                                                  const QEvent* event) const {
    // The user picks a file or leaves the selection alone: a click on empty
    // space or a Ctrl+click never leaves the list without a selected entry.
    if (!index.isValid()) {
        return QItemSelectionModel::NoUpdate;
    }
    const QItemSelectionModel::SelectionFlags flags = QListWidget::selectionCommand(index, event);
    if (flags & (QItemSelectionModel::Deselect | QItemSelectionModel::Clear |
                 QItemSelectionModel::Toggle)) {
        return QItemSelectionModel::ClearAndSelect;
    }
    return flags;
}

void FileListBox::keyPressEvent(QKeyEvent* event) {
    Q_EMIT KeyDown(event->key(), event->modifiers());
    QListWidget::keyPressEvent(event);
}

}  // namespace tavrel
