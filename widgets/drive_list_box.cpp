#include "widgets/drive_list_box.h"

#include <QDir>
#include <QKeyEvent>

namespace tavrel {

DriveListBox::DriveListBox(std::shared_ptr<const VolumeProvider> volumes, QWidget* parent)
    : QComboBox(parent), volumes_(std::move(volumes)) {
    ReadVolumes();
    if (const auto start = volumes_->VolumeOf(QDir::currentPath())) {
        const QSignalBlocker quiet(this);
        setCurrentIndex(findText(DriveText(*start)));
    }
    connect(this, &QComboBox::currentIndexChanged, this, [this] {
        if (!reading_) {
            Q_EMIT Change();
        }
    });
}

void DriveListBox::SetDrive(const QString& driveOrPath) {
    const auto volume = volumes_->VolumeOf(driveOrPath);
    if (!volume) {
        return;
    }
    int index = findText(DriveText(*volume));
    if (index < 0) {
        ReadVolumes();
        index = findText(DriveText(*volume));
    }
    if (index >= 0) {
        setCurrentIndex(index);  // raises Change when the index moves
    }
}

void DriveListBox::ReadVolumes() {
    const QString selected = currentText();
    reading_ = true;
    clear();
    listed_.volumes = volumes_->Volumes();
    for (const Volume& volume : listed_.volumes) {
        addItem(DriveText(volume), volume.root);
    }
    const int index = findText(selected);
    setCurrentIndex(index >= 0 ? index : 0);
    reading_ = false;
    // A selected drive that went away leaves the list on another one without
    // an event, like a drive list whose medium was removed.
}

void DriveListBox::keyPressEvent(QKeyEvent* event) {
    Q_EMIT KeyDown(event->key(), event->modifiers());
    QComboBox::keyPressEvent(event);
}

void DriveListBox::showPopup() {
    ReadVolumes();
    QComboBox::showPopup();
}

}  // namespace tavrel
