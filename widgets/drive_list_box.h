#pragma once

#include <QComboBox>

#include <memory>

#include "files/volumes.h"

namespace tavrel {

// The drive list: a combo box of the volumes its provider offers. It starts
// on the volume of the working folder.
class DriveListBox : public QComboBox {
    Q_OBJECT

  public:
    explicit DriveListBox(std::shared_ptr<const VolumeProvider> volumes, QWidget* parent = nullptr);

    // The selected drive's text: its root, a space and its label in brackets.
    QString Drive() const { return currentText(); }
    // Selects the drive named by a drive text, or the drive that a folder
    // path lies on. A change of selection raises Change before this returns;
    // the drive already selected raises nothing.
    void SetDrive(const QString& driveOrPath);

    // The volumes as the list shows them, read when it last read them: an
    // entry names its own volume even after that is unmounted, so choosing
    // it fails as a drive that cannot be opened does.
    const VolumeProvider& Volumes() const { return listed_; }

    // Reads the volumes again (a medium may have come or gone), keeping the
    // selected drive where it is still there; raises nothing.
    void ReadVolumes();

  Q_SIGNALS:
    void Change();
    void KeyDown(int key, Qt::KeyboardModifiers shift);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showPopup() override;

  private:
    class ListedVolumes : public VolumeProvider {
      public:
        QList<Volume> Volumes() const override { return volumes; }
        QList<Volume> volumes;
    };

    std::shared_ptr<const VolumeProvider> volumes_;
    ListedVolumes listed_;
    bool reading_ = false;
};

}  // namespace tavrel
