#include "widgets/folder_list_box.h"

#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QStyle>

#include <algorithm>

#include "files/files.h"
#include "widgets/list_entry_delegate.h"

namespace tavrel {

namespace {

constexpr int kPathRole = Qt::UserRole;
constexpr int kLevelRole = Qt::UserRole + 1;
constexpr int kIndentPixels = 10;

// Draws each entry indented by its level.
class IndentDelegate : public ListEntryDelegate {
  public:
    using ListEntryDelegate::ListEntryDelegate;

  protected:
    int Indent(const QModelIndex& index) const override {
        return kIndentPixels * index.data(kLevelRole).toInt();
    }
};

// The folders from the root down to path, path included.
QStringList Ancestry(const QString& path) {
    QStringList chain;
    QDir dir(path);
    chain.prepend(dir.absolutePath());
    while (dir.cdUp()) {
        chain.prepend(dir.absolutePath());
    }
    return chain;
}

QString Shown(const QString& folder) {
    const QString name = QDir(folder).dirName();
    return name.isEmpty() ? folder : name;
}

}  // namespace

FolderListBox::FolderListBox(std::shared_ptr<const VolumeProvider> volumes, QWidget* parent)
    : QListWidget(parent), volumes_(std::move(volumes)) {
    setItemDelegate(new IndentDelegate(this));
    setSelectionMode(QAbstractItemView::SingleSelection);
    path_ = CleanFolderPath(QDir::currentPath());
    fill();
    connect(this, &QListWidget::itemActivated, this, &FolderListBox::open);
}

bool FolderListBox::SetPath(const QString& pathOrDrive, QString* error) {
    QString target;
    const auto drive = volumes_->VolumeOf(pathOrDrive);
    if (drive && DriveText(*drive) == pathOrDrive) {
        target = volumes_->CurrentFolder(*drive);
    } else {
        target = CleanFolderPath(pathOrDrive);
    }
    QString why;
    if (target.isEmpty()) {
        why = QStringLiteral("No folder given");
    } else if (!CanListFolder(target, &why)) {
        // fall through with the description
    } else {
        const bool changed = target != path_;
        path_ = target;
        fill();
        if (changed) {
            Q_EMIT Change();
        }
        return true;
    }
    if (error != nullptr) {
        *error = why;
    }
    return false;
}

QString FolderListBox::EntryPath(int row) const {
    const QListWidgetItem* entry = item(row);
    return entry != nullptr ? entry->data(kPathRole).toString() : QString();
}

void FolderListBox::fill() {
    const QStringList chain = Ancestry(path_);
    QStringList subfolders = QDir(path_).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::NoSort);
    subfolders.removeIf([](const QString& name) { return name.startsWith(QLatin1Char('.')); });
    std::sort(subfolders.begin(), subfolders.end(), FileNameLess);

    const QSignalBlocker quiet(this);
    clear();
    const QIcon openIcon = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closedIcon = style()->standardIcon(QStyle::SP_DirClosedIcon);
    for (int level = 0; level < chain.size(); ++level) {
        auto* entry = new QListWidgetItem(openIcon, Shown(chain[level]), this);
        entry->setData(kPathRole, chain[level]);
        entry->setData(kLevelRole, level);
    }
    openRow_ = static_cast<int>(chain.size()) - 1;
    const QDir open(path_);
    for (const QString& name : subfolders) {
        auto* entry = new QListWidgetItem(closedIcon, name, this);
        entry->setData(kPathRole, open.absoluteFilePath(name));
        entry->setData(kLevelRole, openRow_ + 1);
    }
    setCurrentRow(openRow_);
}

void FolderListBox::open(QListWidgetItem* entry) {
    if (entry == nullptr) {
        return;
    }
    // A folder removed since the list was read: show what is there now.
    if (!SetPath(entry->data(kPathRole).toString())) {
        if (!SetPath(path_)) {
            fill();
        }
    }
}

void FolderListBox::keyPressEvent(QKeyEvent* event) {
    Q_EMIT KeyDown(event->key(), event->modifiers());
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        open(currentItem());
        return;
    }
    QListWidget::keyPressEvent(event);
}

}  // namespace tavrel
