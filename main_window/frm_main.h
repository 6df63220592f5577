#pragma once

#include <QSize>
#include <QString>
#include <QWidget>

#include <memory>

#include "conversion/button_render.h"
#include "conversion/message_boxes.h"
#include "files/volumes.h"
#include "picture/picture_surface.h"
#include "widgets/settings_store.h"

class QGroupBox;
class QPushButton;
class QTimer;

namespace tavrel {

class DriveListBox;
class FileListBox;
class FolderListBox;
class PictureBox;

// The main window: a bitmap pane on the left, a button pane on the right and
// the command buttons between them. Every control is a direct child placed in
// twips. Created hidden; the load handling runs in the constructor and its
// timer tick shows the window.
class FrmMain : public QWidget {
    Q_OBJECT

  public:
    // boxes: the message boxes to show (the real ones when null); volumes:
    // the drives the drive lists offer (the mounted volumes when null).
    explicit FrmMain(MessageBoxes* boxes = nullptr,
                     std::shared_ptr<const VolumeProvider> volumes = nullptr,
                     QWidget* parent = nullptr);
    ~FrmMain() override;

    // A folder's prefix for the names in it: the path followed by "/" unless
    // it ends in one already.
    static QString FolderPrefix(const QString& path);
    // Where a pane opens when it has no stored folder or that folder is gone.
    static QString DefaultFolder();

    MessageBoxes& Boxes() { return *boxes_; }

    void Form_Load();
    void Form_Unload();
    void Form_Resize();
    void Timer_Timer();
    void ArrangeControls();
    void RefreshFileLists();

    // The arrows: the drawn button file to a bitmap in the bitmap pane's
    // folder, the selected bitmap to a button file in the button pane's.
    void cmdToBMP_Click();
    void cmdToButton_Click();
    // Shows the About box and returns once it is closed.
    void cmdAbout_Click();

    // The controls, in tab order.
    QGroupBox* frmBMP;
    QGroupBox* frmButtons;
    QPushButton* cmdToButton;
    QPushButton* cmdToBMP;
    DriveListBox* drvBMP;
    DriveListBox* drvButtons;
    FolderListBox* dirBMP;
    FolderListBox* dirButtons;
    FileListBox* fileBMP;
    FileListBox* fileButtons;
    PictureBox* picBMP;
    PictureBox* picButtons;
    QPushButton* cmdOK;
    // The conversions' scratch surfaces: never shown.
    PictureSurface picWorking;
    PictureSurface PicOut;
    QPushButton* cmdAbout;
    QTimer* Timer;

    // The folder each pane showed before its last switch to another drive.
    QString LastBMPPath;
    QString LastButtonsPath;
    // Size of the button file drawn last (ButtonRows, ButtonCols).
    ButtonSize Button;
    std::int16_t ButtonRows() const { return Button.rows; }
    std::int16_t ButtonCols() const { return Button.cols; }

  protected:
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void DriveChange(DriveListBox* drive, FolderListBox* folders, QString& lastPath);
    void FolderChange(FolderListBox* folders, FileListBox* files, PictureBox* preview);
    void fileBMP_Click();
    void fileButtons_Click();
    void List_KeyDown(int key);
    void RestoreFolder(FolderListBox* folders, const QString& key);

    std::unique_ptr<MessageBoxes> ownBoxes_;
    MessageBoxes* boxes_;
    SettingsStore settings_;
    QSize laidOutAt_;  // the outer size the layout last ran for
};

}  // namespace tavrel
