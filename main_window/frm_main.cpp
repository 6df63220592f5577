#include "main_window/frm_main.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFocusFrame>
#include <QGroupBox>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTimer>

#include <algorithm>
#include <cmath>

#include <sys/stat.h>

#include "about/frm_about.h"
#include "conversion/bitmap_to_button.h"
#include "conversion/drawing_to_bitmap.h"
#include "conversion/messages.h"
#include "files/files.h"
#include "main_window/layout.h"
#include "resources/pictures.h"
#include "widgets/drive_list_box.h"
#include "widgets/file_list_box.h"
#include "widgets/folder_list_box.h"
#include "widgets/hourglass.h"
#include "widgets/picture_box.h"
#include "widgets/qt_message_boxes.h"
#include "widgets/readable_palette.h"

namespace tavrel {

namespace {

const QString kSection = QStringLiteral("Directory");
const QString kBmpKey = QStringLiteral("BMP");
const QString kButtonsKey = QStringLiteral("Buttons");

void Place(QWidget* control, double left, double top, double width, double height) {
    SetTwipsGeometry(control, {left, top, width, height});
}

const QString kNoPicture = QStringLiteral("no picture");

// What a preview shows, for screen readers and its tooltip.
QString Shown(const QString& name, int width, int height) {
    return QStringLiteral("%1, %2 by %3 pixels").arg(name).arg(width).arg(height);
}

QPushButton* ArrowButton(QWidget* parent, const QString& picture) {
    auto* button = new QPushButton(parent);
    button->setIcon(QIcon(picture));
    button->setIconSize(QSize(32, 32));
    QPalette face = button->palette();
    face.setColor(QPalette::Button, QColor(0, 255, 255));
    button->setPalette(face);
    button->setAutoFillBackground(true);
    return button;
}

// A converted file's name: the source name without its last four characters,
// whatever they are, then the new extension.
QString OutputName(const QString& source, const QString& extension) {
    return source.left(std::max<qsizetype>(0, source.size() - 4)) + extension;
}

// Selects, and so previews, the entry of a refreshed list that names the file
// just written, by the rule that named it: without regard to case, the exact
// spelling first where near-twins differing only in case are listed.
void SelectWritten(FileListBox* list, const QString& name) {
    QStringList entries;
    entries.reserve(list->ListCount());
    for (int i = 0; i < list->ListCount(); ++i) {
        entries.append(list->List(i));
    }
    const qsizetype index = entries.indexOf(MatchExistingName(entries, name));
    if (index >= 0) {
        list->SetSelected(static_cast<int>(index));
    }
}

// Fails when writing output would land on source, the file being converted:
// the same file once links are followed, as the system follows them when the
// file is written. A conversion must never replace its own source.
bool NotTheSource(const QString& source, const QString& output, QString* error) {
    struct stat from {};
    struct stat to {};
    const bool same = ::stat(QFile::encodeName(source).constData(), &from) == 0 &&
                      ::stat(QFile::encodeName(output).constData(), &to) == 0 &&
                      from.st_dev == to.st_dev && from.st_ino == to.st_ino;
    if (same) {
        *error = QStringLiteral("this is the file being converted");
    }
    return !same;
}

}  // namespace

FrmMain::FrmMain(MessageBoxes* boxes, std::shared_ptr<const VolumeProvider> volumes,
                 QWidget* parent)
    : QWidget(parent),
      picWorking(PictureBox::kBorderPixels, true),
      PicOut(PictureBox::kBorderPixels, true) {
    RegisterPictures();
    if (boxes == nullptr) {
        ownBoxes_ = std::make_unique<QtMessageBoxes>(this);
        boxes = ownBoxes_.get();
    }
    boxes_ = boxes;
    if (volumes == nullptr) {
        volumes = std::make_shared<MountedVolumes>();
    }

    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Tavrel"));
    setWindowIcon(ApplicationIcon());

    // Created back to front, so that the frames lie behind the controls
    // drawn over them and the tab order follows creation.
    frmBMP = new QGroupBox(QStringLiteral("BMP Files"), this);
    frmButtons = new QGroupBox(QStringLiteral("Button Files"), this);
    cmdToButton = ArrowButton(this, QStringLiteral(":/tavrel/to_button.xpm"));
    cmdToBMP = ArrowButton(this, QStringLiteral(":/tavrel/to_bmp.xpm"));
    drvBMP = new DriveListBox(volumes, this);
    drvButtons = new DriveListBox(volumes, this);
    dirBMP = new FolderListBox(volumes, this);
    dirButtons = new FolderListBox(volumes, this);
    fileBMP = new FileListBox(QStringLiteral("*.bmp"), this);
    fileButtons = new FileListBox(QStringLiteral("*.BTN"), this);
    picBMP = new PictureBox(this);
    picButtons = new PictureBox(this);
    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdAbout = new QPushButton(QStringLiteral("About"), this);
    Timer = new QTimer(this);

    const QList<QWidget*> named = {frmBMP,     frmButtons, cmdToButton, cmdToBMP, drvBMP,
                                   drvButtons, dirBMP,     dirButtons,  fileBMP,  fileButtons,
                                   picBMP,     picButtons, cmdOK,       cmdAbout};
    const QStringList names = {"frmBMP",     "frmButtons", "cmdToButton", "cmdToBMP", "drvBMP",
                               "drvButtons", "dirBMP",     "dirButtons",  "fileBMP",  "fileButtons",
                               "picBMP",     "picButtons", "cmdOK",       "cmdAbout"};
    for (int i = 0; i < named.size(); ++i) {
        named[i]->setObjectName(names[i]);
    }
    picBMP->setFocusPolicy(Qt::NoFocus);
    picButtons->setFocusPolicy(Qt::NoFocus);

    // What a screen reader says of each control, and the pane it belongs to;
    // the arrows, which have no caption, say it in a tooltip too.
    const QString f5 = QStringLiteral("; F5 reads both file lists again");
    const struct {
        QWidget* control;
        QString name;
        QString description;
    } spoken[] = {
        {cmdToButton, "Convert the bitmap to a button file",
         "Writes the selected bitmap, cropped, as a button file into the Button Files folder"},
        {cmdToBMP, "Convert the button file to a bitmap",
         "Writes the previewed button file, cropped, as a bitmap into the BMP Files folder"},
        {drvBMP, "BMP Files: drives", "Choosing a drive lists its folders" + f5},
        {drvButtons, "Button Files: drives", "Choosing a drive lists its folders" + f5},
        {dirBMP, "BMP Files: folders", "Enter or a double-click opens a folder" + f5},
        {dirButtons, "Button Files: folders", "Enter or a double-click opens a folder" + f5},
        {fileBMP, "BMP Files: files", "Selecting a bitmap shows it in the preview" + f5},
        {fileButtons, "Button Files: files",
         "Selecting a button file shows it in the preview" + f5},
        {picBMP, "BMP Files: preview", kNoPicture},
        {picButtons, "Button Files: preview", kNoPicture},
        {cmdOK, "OK", "Closes Tavrel"},
        {cmdAbout, "About", "Shows the version of Tavrel and its disclaimer"},
    };
    for (const auto& [control, name, description] : spoken) {
        control->setAccessibleName(name);
        control->setAccessibleDescription(description);
    }
    // Qt on Linux names a drop-down list by the entry it shows, and takes
    // what it is from a label that has it as its buddy: one that never shows.
    for (DriveListBox* drive : {drvBMP, drvButtons}) {
        auto* label = new QLabel(drive->accessibleName(), this);
        label->setBuddy(drive);
        label->hide();
    }
    cmdToButton->setToolTip(cmdToButton->accessibleName());
    cmdToBMP->setToolTip(cmdToBMP->accessibleName());
    picBMP->Describe(kNoPicture);
    picButtons->Describe(kNoPicture);

    // The drive lists are as high as a combo box is.
    const double driveHeight = drvBMP->sizeHint().height() * kTwips;
    Place(frmBMP, 0, 0, 3732, 3372);
    Place(frmButtons, 5160, 0, 3252, 3252);
    Place(cmdToButton, 4200, 600, 612, 492);
    Place(cmdToBMP, 4200, 1560, 612, 492);
    Place(drvBMP, 120, 240, 1812, driveHeight);
    Place(drvButtons, 5280, 240, 1932, driveHeight);
    Place(dirBMP, 120, 600, 1932, 2016);
    Place(dirButtons, 5280, 600, 1932, 1800);
    Place(fileBMP, 2160, 600, 1452, 1992);
    Place(fileButtons, 7320, 600, 972, 1800);
    Place(picBMP, 0, 3480, 3492, 492);
    Place(picButtons, 5280, 3360, 3012, 492);
    Place(cmdOK, 4200, 2520, 612, 492);
    Place(cmdAbout, 4200, 3480, 612, 492);
    picWorking.Move(6600, 4080, 852, 492);
    PicOut.Move(960, 4080, 852, 492);

    const QList<QWidget*> tabOrder = {cmdToButton, cmdToBMP, drvBMP,      drvButtons, dirBMP,
                                      dirButtons,  fileBMP,  fileButtons, cmdOK,      cmdAbout};
    for (int i = 1; i < tabOrder.size(); ++i) {
        setTabOrder(tabOrder[i - 1], tabOrder[i]);
    }
    // Enter presses a command button that has the focus, as Space does: Qt
    // does so for an auto-default button, which outside a dialog is never
    // the window's default.
    for (QPushButton* button : {cmdToButton, cmdToBMP, cmdOK, cmdAbout}) {
        button->setAutoDefault(true);
    }
    // The keyboard's place at a glance: Qt's focus frame, in the text colour,
    // round whichever control has the focus, and the selection in colour only
    // in the list that has it.
    setPalette(ReadableSelections(QApplication::palette(this)));
    auto* focusFrame = new QFocusFrame(this);
    connect(
        qApp, &QApplication::focusChanged, focusFrame, [this, focusFrame](QWidget*, QWidget* now) {
            focusFrame->setWidget(now != nullptr && now->parentWidget() == this ? now : nullptr);
        });

    // The client area at creation, and the smallest at which both panes stay
    // usable: the narrowest list shows a short name such as LOGO.BTN whole
    // beside its scroll bar, and every list four entries. The formulas run on
    // what the controls hold (the arrow buttons keep 41 pixels of their 612
    // twips). The command buttons keep their design Top, so the window also
    // keeps the lowest of them inside.
    resize(TwipsToPixels(9660), TwipsToPixels(4788));
    const double heldCommandWidth = TwipsGeometry(cmdToBMP).width;
    const int textMargin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 1;
    const int listWidth = fileButtons->fontMetrics().horizontalAdvance(QStringLiteral("LOGO.BTN")) +
                          2 * textMargin + style()->pixelMetric(QStyle::PM_ScrollBarExtent) +
                          2 * fileButtons->frameWidth();
    const int listHeight = 4 * dirBMP->sizeHintForRow(0) + 2 * dirBMP->frameWidth();
    const int commandColumnBottom = cmdAbout->geometry().bottom() + 1;
    constexpr int kBelowCommands = 8;  // pixels
    const auto pixels = [](double twips) {
        return static_cast<int>(std::ceil(twips / kTwips)) + 1;
    };
    setMinimumSize(pixels(MinimumLayoutWidth(heldCommandWidth, listWidth * kTwips)),
                   std::max(pixels(MinimumLayoutHeight(0, driveHeight, listHeight * kTwips)),
                            commandColumnBottom + kBelowCommands));

    connect(drvBMP, &DriveListBox::Change, this,
            [this] { DriveChange(drvBMP, dirBMP, LastBMPPath); });
    connect(drvButtons, &DriveListBox::Change, this,
            [this] { DriveChange(drvButtons, dirButtons, LastButtonsPath); });
    connect(dirBMP, &FolderListBox::Change, this,
            [this] { FolderChange(dirBMP, fileBMP, picBMP); });
    connect(dirButtons, &FolderListBox::Change, this,
            [this] { FolderChange(dirButtons, fileButtons, picButtons); });
    connect(fileBMP, &FileListBox::Click, this, &FrmMain::fileBMP_Click);
    connect(fileButtons, &FileListBox::Click, this, &FrmMain::fileButtons_Click);
    for (auto* list : {drvBMP, drvButtons}) {
        connect(list, &DriveListBox::KeyDown, this, &FrmMain::List_KeyDown);
    }
    for (auto* list : {dirBMP, dirButtons}) {
        connect(list, &FolderListBox::KeyDown, this, &FrmMain::List_KeyDown);
    }
    for (auto* list : {fileBMP, fileButtons}) {
        connect(list, &FileListBox::KeyDown, this, &FrmMain::List_KeyDown);
    }
    connect(cmdToBMP, &QPushButton::clicked, this, &FrmMain::cmdToBMP_Click);
    connect(cmdToButton, &QPushButton::clicked, this, &FrmMain::cmdToButton_Click);
    connect(cmdOK, &QPushButton::clicked, this, &QWidget::close);
    connect(cmdAbout, &QPushButton::clicked, this, &FrmMain::cmdAbout_Click);
    connect(Timer, &QTimer::timeout, this, &FrmMain::Timer_Timer);
#if QT_CONFIG(sessionmanager)
    // The end of the desktop session sends no close event: the folders are
    // saved when the session asks for the programs' data (saving them again
    // at the close, should one follow, does no harm).
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        connect(app, &QGuiApplication::commitDataRequest, this, &FrmMain::Form_Unload);
    }
#endif

    Form_Load();
}

FrmMain::~FrmMain() = default;

QString FrmMain::FolderPrefix(const QString& path) {
    return path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/');
}

QString FrmMain::DefaultFolder() {
    return QDir::homePath();
}

// Start-up ---------------------------------------------------------------

void FrmMain::Form_Load() {
    RestoreFolder(dirBMP, kBmpKey);
    RestoreFolder(dirButtons, kButtonsKey);
    Timer->setInterval(150);
    Timer->start();
}

void FrmMain::RestoreFolder(FolderListBox* folders, const QString& key) {
    const QString stored = settings_.Read(kSection, key, DefaultFolder());
    if (folders->SetPath(stored)) {
        return;
    }
    // A stored folder that is gone opens the default folder, silently; when
    // that cannot be opened either the pane stays where it is.
    folders->SetPath(DefaultFolder());
}

void FrmMain::Timer_Timer() {
    Timer->stop();
    setVisible(true);
    ArrangeControls();
    if (fileBMP->ListCount() > 0) {
        fileBMP->SetSelected(0);
    }
    if (fileButtons->ListCount() > 0) {
        fileButtons->SetSelected(0);
    }
}

// Shutdown ---------------------------------------------------------------

void FrmMain::closeEvent(QCloseEvent* event) {
    Form_Unload();
    event->accept();
}

void FrmMain::Form_Unload() {
    // A store that cannot be written must not keep the window open.
    settings_.Write(kSection, kBmpKey, dirBMP->Path());
    settings_.Write(kSection, kButtonsKey, dirButtons->Path());
}

// Layout -----------------------------------------------------------------

void FrmMain::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Form_Resize();
}

void FrmMain::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    // A window manager reports the frame after the window is shown, with a
    // move: the outer size the layout used may have changed without a resize.
    if (isVisible() && !isMinimized() && frameGeometry().size() != laidOutAt_) {
        ArrangeControls();
    }
}

void FrmMain::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) {
        // A new theme, whose selections are made readable in turn.
        const QPalette readable = ReadableSelections(QApplication::palette(this));
        if (palette() != readable) {
            setPalette(readable);
        }
    }
    // A minimised window is not laid out, and restoring it may bring no
    // resize: lay it out for the size it has now.
    if (event->type() == QEvent::WindowStateChange &&
        (static_cast<QWindowStateChangeEvent*>(event)->oldState() & Qt::WindowMinimized) &&
        !isMinimized()) {
        Form_Resize();
    }
}

void FrmMain::Form_Resize() {
    if (isMinimized() || !isVisible()) {
        return;
    }
    ArrangeControls();
}

void FrmMain::ArrangeControls() {
    const QSize outer = frameGeometry().size();
    laidOutAt_ = outer;
    QWidget* const controls[] = {frmBMP,   frmButtons, cmdToBMP,   cmdToButton, cmdOK,
                                 cmdAbout, picBMP,     picButtons, drvBMP,      drvButtons,
                                 dirBMP,   dirButtons, fileBMP,    fileButtons};
    LayoutControls c;
    TwipsRect* const places[] = {&c.frmBMP,  &c.frmButtons, &c.cmdToBMP, &c.cmdToButton,
                                 &c.cmdOK,   &c.cmdAbout,   &c.picBMP,   &c.picButtons,
                                 &c.drvBMP,  &c.drvButtons, &c.dirBMP,   &c.dirButtons,
                                 &c.fileBMP, &c.fileButtons};
    // The controls are read once, into a copy that keeps whole pixels as a
    // widget does, so each step of the computation sees what the control
    // would hold after the steps before it; the results are then placed.
    for (std::size_t i = 0; i < std::size(controls); ++i) {
        *places[i] = TwipsGeometry(controls[i]);
    }
    ComputeLayout(c, outer.width() * kTwips, outer.height() * kTwips, KeepWholePixels);
    for (std::size_t i = 0; i < std::size(controls); ++i) {
        SetTwipsGeometry(controls[i], *places[i]);
    }
    // A folder that can no longer be listed leaves its file list empty; the
    // layout goes on.
    fileBMP->SetPath(dirBMP->Path());
    fileButtons->SetFileName(dirButtons->Path());
    setVisible(true);
}

// The panes --------------------------------------------------------------

void FrmMain::DriveChange(DriveListBox* drive, FolderListBox* folders, QString& lastPath) {
    const auto wanted = drive->Volumes().VolumeOf(drive->Drive());
    const auto remembered = drive->Volumes().VolumeOf(lastPath);
    if (wanted && remembered && wanted->root == remembered->root) {
        // Back on the drive of the remembered folder. When that folder is
        // gone, the drive's current folder instead, and failing that the
        // pane stays where it is.
        if (!folders->SetPath(lastPath)) {
            folders->SetPath(drive->Drive());
        }
        return;
    }
    lastPath = folders->Path();
    for (;;) {
        QString error;
        if (folders->SetPath(drive->Drive(), &error)) {
            return;
        }
        const QString text =
            FailureText(QStringLiteral("Unable to open drive "), drive->Drive(), error);
        if (boxes_->RetryCancel(text, QStringLiteral("Drive open error")) !=
            MessageBoxes::Answer::Retry) {
            // Back to the drive and folder shown before: the drive list's
            // change returns the folder list to the remembered folder.
            drive->SetDrive(lastPath);
            return;
        }
    }
}

void FrmMain::FolderChange(FolderListBox* folders, FileListBox* files, PictureBox* preview) {
    files->SetPath(folders->Path());
    if (files->ListCount() > 0) {
        files->SetSelected(0);
        return;
    }
    // The button preview goes blank; the bitmap preview shows the picture
    // loaded last again.
    preview->Surface().Cls();
    preview->update();
    if (preview->Surface().Picture().isNull()) {
        preview->Describe(kNoPicture);
    }
}

void FrmMain::fileBMP_Click() {
    // While the window loads, hidden, the start-up tick previews the first
    // files once it is shown; a preview before would be work thrown away, and
    // a message about a bad file would stand on an empty screen, then come
    // again.
    if (!isVisible()) {
        return;
    }
    const Hourglass hourglass;
    const QString path = FolderPrefix(fileBMP->Path()) + fileBMP->FileName();
    QString error;
    const QImage picture = LoadPicture(path, &error);
    if (picture.isNull()) {
        // Not a picture (or gone): the preview shows nothing rather than a
        // file that is no longer selected.
        picBMP->Surface().ClearPicture();
        picBMP->Describe(kNoPicture);
    } else {
        picBMP->Surface().SetPicture(picture);
        picBMP->Describe(Shown(fileBMP->FileName(), picture.width(), picture.height()));
    }
    picBMP->update();
}

void FrmMain::fileButtons_Click() {
    if (!isVisible()) {
        return;  // as for the bitmap preview
    }
    const Hourglass hourglass;
    const QString path = FolderPrefix(fileButtons->Path()) + fileButtons->FileName();
    const bool drawn =
        DrawButtonFile(path, picButtons->Surface(), *boxes_, Button) == DrawResult::Drawn;
    picButtons->Describe(drawn ? Shown(fileButtons->FileName(), Button.cols, Button.rows)
                               : kNoPicture);
    picButtons->update();
}

void FrmMain::List_KeyDown(int key) {
    if (key == Qt::Key_F5) {
        RefreshFileLists();
    }
}

void FrmMain::RefreshFileLists() {
    fileBMP->Refresh();
    fileButtons->Refresh();
    if (fileBMP->ListCount() > 0) {
        fileBMP->SetSelected(0);
    }
    if (fileButtons->ListCount() > 0) {
        fileButtons->SetSelected(0);
    }
}

// The conversion commands ------------------------------------------------

void FrmMain::cmdToBMP_Click() {
    const Hourglass hourglass;
    const QString source = fileButtons->FileName();
    if (source.isEmpty()) {
        return;  // nothing selected: nothing to name the bitmap after
    }
    const QString folder = FolderPrefix(fileBMP->Path());
    // An existing file whose name differs only in case is the one replaced.
    const QString name =
        ExistingNameIgnoringCase(folder, OutputName(source, QStringLiteral(".bmp")));
    if (!RetryUntilDone(*boxes_, kSaveAction, folder + name, kSaveTitle, [&](QString* error) {
            return NotTheSource(FolderPrefix(fileButtons->Path()) + source, folder + name, error);
        })) {
        return;
    }
    // The drawing the preview holds, whole even where the box shows only part.
    if (ConvertDrawingToBitmap(picButtons->Surface(), Button, picWorking, PicOut, folder + name,
                               *boxes_) != BitmapResult::Written) {
        return;
    }
    fileBMP->Refresh();
    SelectWritten(fileBMP, name);
}

void FrmMain::cmdToButton_Click() {
    const Hourglass hourglass;
    const QString source = fileBMP->FileName();
    if (source.isEmpty()) {
        return;
    }
    const QString sourceFolder = FolderPrefix(fileBMP->Path());
    const QString targetFolder = FolderPrefix(fileButtons->Path());
    const QString name =
        ExistingNameIgnoringCase(targetFolder, OutputName(source, QStringLiteral(".Btn")));
    if (!RetryUntilDone(*boxes_, kSaveAction, targetFolder + name, kSaveTitle, [&](QString* error) {
            return NotTheSource(sourceFolder + source, targetFolder + name, error);
        })) {
        return;
    }
    if (!ConvertBitmapToButton(sourceFolder + source, targetFolder + name, picWorking, PicOut,
                               *boxes_)) {
        return;
    }
    fileButtons->Refresh();
    SelectWritten(fileButtons, name);
}

// The About box ------------------------------------------------------------

void FrmMain::cmdAbout_Click() {
    // A new dialog for every showing; its load handler runs first.
    FrmAbout frmAbout;
    frmAbout.lblTitle->setText(QStringLiteral("Tavrel"));
    frmAbout.setWindowTitle(QStringLiteral("About Tavrel"));
    frmAbout.lblVersion->setText(QStringLiteral("Version 1.4"));
    // No owner named; the other windows take no input until it closes.
    frmAbout.exec();
}

}  // namespace tavrel
