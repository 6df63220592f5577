// The main window and its controls, volumes, settings and About box.

#include <QAccessible>
#include <QGroupBox>
#include <QLabel>
#include <QMetaMethod>
#include <QPointer>
#include <QSignalSpy>
#include <QTimer>
#include <QToolTip>

#include <sys/stat.h>

#include <cstddef>

#include "about/frm_about.h"
#include "gui_test_support.h"
#include "main_window/layout.h"
#include "widgets/drive_list_box.h"
#include "widgets/file_list_box.h"
#include "widgets/folder_list_box.h"
#include "widgets/readable_palette.h"
#include "widgets/settings_store.h"

using namespace tavrel;
using namespace tavrel::testing;
using Answer = MessageBoxes::Answer;

namespace {

// What a screen reader says a control is: its name, and that of a label for it.
QString Spoken(QWidget* control) {
    QAccessibleInterface* said = QAccessible::queryAccessibleInterface(control);
    QString name = said->text(QAccessible::Name);
    for (const auto& label : said->relations(QAccessible::Label)) {
        name += " " + label.first->text(QAccessible::Name);
    }
    return name;
}

// The tooltip over an entry of a list, or an empty text for none.
QString ToolTipOver(QListWidget* list, int row) {
    const QPoint at = list->visualItemRect(list->item(row)).center();
    QHelpEvent help(QEvent::ToolTip, at, list->viewport()->mapToGlobal(at));
    QCoreApplication::sendEvent(list->viewport(), &help);
    return QToolTip::isVisible() ? QToolTip::text() : QString();
}

}  // namespace

class WindowTest : public QObject, private CaseFolders {
    Q_OBJECT

  private Q_SLOTS:
    void initTestCase() {
        QVERIFY(PrepareFolders());
        QDir::setCurrent(tmp_.path());  // on no test drive: each drive opens at its root
    }

    void theDesignUntilTheStartUpTick() {
        const QString dir = Fresh();
        WriteBitmap(dir + "/x.bmp", 2, 2, kBlackRgb);
        StoreFolders(dir, dir + "/gone");  // a folder gone: the home folder, silently
        Started s(Fresh());
        FrmMain& w = *s.w;
        QCOMPARE(w.size(), QSize(644, 319));                           // 9660 by 4788 twips
        QCOMPARE(w.fileButtons->geometry(), QRect(488, 40, 65, 120));  // 7320, 600, 972, 1800
        QVERIFY(w.cmdToBMP->autoFillBackground() &&
                w.cmdToBMP->palette().button().color() == QColor(0, 255, 255));
        QVERIFY(w.fileBMP->palette().color(QPalette::Inactive, QPalette::Highlight) !=
                w.fileBMP->palette().color(QPalette::Active, QPalette::Highlight));
        QList<QWidget*> stops;
        for (QWidget* c = w.nextInFocusChain(); c != &w; c = c->nextInFocusChain()) {
            if ((c->focusPolicy() & Qt::TabFocus) && c->parentWidget() == &w) {
                stops << c;
            }
        }
        QCOMPARE(stops,
                 (QList<QWidget*>{w.cmdToButton, w.cmdToBMP, w.drvBMP, w.drvButtons, w.dirBMP,
                                  w.dirButtons, w.fileBMP, w.fileButtons, w.cmdOK, w.cmdAbout}));
        // Each of them and both previews say what they are, and in which pane.
        for (QWidget* c : stops + QList<QWidget*>{w.picBMP, w.picButtons}) {
            const QString pane = c->x() < w.frmBMP->width()    ? w.frmBMP->title()
                                 : c->x() >= w.frmButtons->x() ? w.frmButtons->title()
                                                               : QString();
            QVERIFY2(Spoken(c).contains(pane) && !Spoken(c).isEmpty(), qPrintable(Spoken(c)));
        }
        QCOMPARE(w.dirBMP->Path() + " " + w.dirButtons->Path() + " " + w.fileBMP->FileName(),
                 dir + " " + QDir::homePath() + " x.bmp");  // previewed while hidden
        QVERIFY(!w.isVisible() && s.Tick());
        const auto shown = [](PictureBox* box) {
            const QAccessibleInterface* said = QAccessible::queryAccessibleInterface(box);
            return QString::number(said->role()) + " " + said->text(QAccessible::Description);
        };
        QCOMPARE(shown(w.picBMP) + ", " + shown(w.picButtons),
                 QString("%1 x.bmp, 2 by 2 pixels, %1 no picture").arg(QAccessible::Graphic));
        // The session's end sends no close: its request for the data stores the folders.
        alignas(std::max_align_t) char manager[64] = {};  // never looked at
        QMetaMethod::fromSignal(&QGuiApplication::commitDataRequest)
            .invoke(qApp, Qt::DirectConnection, QGenericArgument("QSessionManager&", manager));
        QCOMPARE(StoredSettings().value("Directory/Buttons"), QDir::homePath());
        QTest::keyClick(w.cmdOK, Qt::Key_Return);  // Enter presses a button as Space does
        QVERIFY(!w.isVisible());
    }

    void theLayoutOfTheWorkedExampleAndOfTheRealWindowWhenShown() {
        // Controls that keep every value, 612 twips wide buttons and 288 high
        // drive lists, laid out for W = 9900 and H = 5400.
        const struct {
            TwipsRect LayoutControls::*control;
            TwipsRect design, laidOut;
        } rows[] = {
            {&LayoutControls::frmBMP, {0, 0, 3732, 3372}, {0, 0, 4800, 4000}},
            {&LayoutControls::frmButtons, {5160, 0, 3252, 3252}, {6024, 0, 3726, 4000}},
            {&LayoutControls::cmdToBMP, {4200, 1560, 612, 492}, {5106, 1560, 612, 492}},
            {&LayoutControls::cmdAbout, {4200, 3480, 612, 492}, {5106, 3480, 612, 492}},
            {&LayoutControls::drvBMP, {120, 240, 1812, 288}, {120, 200, 4600, 288}},
            {&LayoutControls::drvButtons, {5280, 240, 1932, 288}, {6124, 200, 3526, 288}},
            {&LayoutControls::dirBMP, {120, 600, 1932, 2016}, {120, 588, 2200, 3412}},
            {&LayoutControls::dirButtons, {5280, 600, 1932, 1800}, {6124, 588, 1663, 3412}},
            {&LayoutControls::fileBMP, {2160, 600, 1452, 1992}, {2470, 588, 2200, 3512}},
            {&LayoutControls::fileButtons, {7320, 600, 972, 1800}, {7937, 588, 1663, 3512}},
            {&LayoutControls::picBMP, {0, 3480, 3492, 492}, {0, 4150, 4800, 900}},
            {&LayoutControls::picButtons, {5280, 3360, 3012, 492}, {6024, 4150, 3726, 900}},
        };
        LayoutControls c;
        for (const auto& row : rows) {
            c.*row.control = row.design;
        }
        ComputeLayout(c, 9900, 5400, KeepExact);
        for (const auto& row : rows) {
            const TwipsRect &got = c.*row.control, &want = row.laidOut;
            QCOMPARE(QRectF(got.left, got.top, got.width, got.height),
                     QRectF(want.left, want.top, want.width, want.height));
        }
        // Laid out when shown and not minimised: the button frame 10 pixels in.
        const QString dir = Fresh();
        StoreFolders(dir, dir);
        Started s(Fresh());
        FrmMain& w = *s.w;
        const auto laidOutFor = [&](int width) {
            const int outer = width + w.frameGeometry().width() - w.width();
            return std::abs(w.frmButtons->geometry().right() + 1 - (outer - 10)) <= 1;  // rounding
        };
        w.resize(900, 500);
        QCoreApplication::sendPostedEvents();
        w.Form_Resize();
        QVERIFY(!laidOutFor(900) && s.Tick() && laidOutFor(900));
        // Whole pixels at that size: 41-pixel buttons, 22-pixel drive lists.
        w.resize(QSize(660, 360) - (w.frameGeometry().size() - w.size()));
        QTRY_COMPARE(w.frameGeometry().size(), QSize(660, 360));
        QString places;
        for (const QWidget* control :
             QList<QWidget*>{w.frmBMP, w.cmdToBMP, w.dirBMP, w.fileBMP, w.picBMP, w.frmButtons,
                             w.drvButtons, w.fileButtons}) {
            const QRect g = control->geometry();
            places += QString("%1 %2 %3 %4, ").arg(g.x()).arg(g.y()).arg(g.width()).arg(g.height());
        }
        QCOMPARE(places,
                 QStringLiteral("0 0 320 267, 341 104 41 33, 8 42 147 225, 165 42 147 232, "
                                "0 277 320 60, 403 0 248 267, 410 13 235 22, 531 42 111 232, "));
        const int width = w.width();
        w.setWindowState(Qt::WindowMinimized);
        w.resize(700, 400);
        QTRY_COMPARE(w.width(), 700);
        WriteBitmap(dir + "/a.bmp", 2, 2, kBlackRgb);
        w.Form_Resize();
        QVERIFY(laidOutFor(width) && w.fileBMP->ListCount() == 0);
        w.setWindowState(Qt::WindowNoState);  // restored: laid out, the lists read again
        QVERIFY(laidOutFor(700) && w.fileBMP->ListCount() == 1);
        // At its smallest both panes stay usable: every list shows four
        // entries, a short name whole and a longer one in a tooltip.
        WriteButton(dir + "/LOGO.BTN", {"3"});
        WriteButton(dir + "/Long enough to be cut off.BTN", {"3"});
        w.resize(w.minimumSize());
        QTRY_COMPARE(w.fileButtons->ListCount(), 2);
        for (const QListWidget* list : std::initializer_list<QListWidget*>{
                 w.dirBMP, w.dirButtons, w.fileBMP, w.fileButtons}) {
            QVERIFY(list->viewport()->height() >= 4 * w.dirBMP->sizeHintForRow(0));
        }
        const QString whole = ToolTipOver(w.fileButtons, 0);
        QCOMPARE(whole + "|" + ToolTipOver(w.fileButtons, 1),
                 QStringLiteral("|Long enough to be cut off.BTN"));
    }

    void eachPaneIsAChainAndF5ReadsBothListsAgain() {
        Started s(Fresh());
        FrmMain& w = *s.w;
        const QString d = s.volumes->Root(1);
        WriteBitmap(d + "/b.bmp", 4, 3, kBlackRgb);
        WriteBitmap(d + "/A.bmp", 5, 2, qRgb(200, 0, 0));
        WriteButton(d + "/z.btn", {"33", "30", "01"});
        WriteAll(d + "/C.bmp", "no picture");
        QVERIFY(QDir().mkpath(d + "/sub") && s.Tick());
        w.drvBMP->SetDrive(s.volumes->Text(1));
        w.drvButtons->setCurrentIndex(1);                  // as the user chooses
        QCOMPARE(Pixel(w.picBMP, 4, 1), qRgb(200, 0, 0));  // A.bmp, the first
        QCOMPARE(Levels(w.picButtons->Surface().Image().copy(0, 0, 4, 5)),
                 (QStringList{"0000", "0330", "0300", "0010", "0000"}));
        QCOMPARE(QList<int>({w.ButtonRows(), w.ButtonCols()}), QList<int>({3, 2}));
        QList<std::optional<Qt::CursorShape>> pointers;  // as the written file is selected
        connect(w.fileButtons, &FileListBox::Click, this, [&] { pointers << OverridePointer(); });
        QTest::keyClick(w.cmdToButton, Qt::Key_Enter);  // A.Btn beside z.btn, selected, drawn
        disconnect(w.fileButtons, &FileListBox::Click, this, nullptr);
        QCOMPARE(pointers, QList<std::optional<Qt::CursorShape>>{Qt::WaitCursor});
        QCOMPARE(w.fileButtons->FileName() + ReadAll(d + "/A.Btn"),
                 "A.Btn" + ButtonText({"11111", "11111"}));
        w.fileBMP->SetSelected(2);  // C.bmp, no picture: the preview blank
        QCOMPARE(Pixel(w.picBMP, 4, 1), kWhiteRgb);
        // A folder without files: the button preview blank, nothing to name a file after.
        QVERIFY(w.dirBMP->SetPath(d + "/sub") && w.dirButtons->SetPath(d + "/sub"));
        QCOMPARE(Pixel(w.picButtons, 1, 1), kWhiteRgb);
        Click(w.cmdToBMP);
        Click(w.cmdToButton);
        // F5, and only F5, in any list reads both file lists and selects the first files.
        QWidget* const lists[] = {w.drvBMP,     w.drvButtons, w.dirBMP,
                                  w.dirButtons, w.fileBMP,    w.fileButtons};
        for (int i = 0; i < 6; ++i) {
            const QString name = QStringLiteral("a%1").arg(9 - i);
            WriteBitmap(d + "/sub/" + name + ".bmp", 2, 2, kBlackRgb);
            WriteButton(d + "/sub/" + name + ".BTN", {"3"});
            QTest::keyClick(lists[i], Qt::Key_F4);
            QCOMPARE(w.fileBMP->ListCount(), i);
            QTest::keyClick(lists[i], Qt::Key_F5, i % 2 ? Qt::ShiftModifier : Qt::NoModifier);
            QCOMPARE(w.fileBMP->FileName() + w.fileButtons->FileName(),
                     name + ".bmp" + name + ".BTN");
        }
        QVERIFY(s.boxes->shown.isEmpty() && QGuiApplication::overrideCursor() == nullptr);
    }

    void drivesOpenWhereTheUserLeftThem() {
        Started s(Fresh());
        FrmMain& w = *s.w;
        const FolderVolumes& v = *s.volumes;
        const QString work = v.Root(0) + "/work";
        QDir().mkpath(work);
        QDir().mkpath(v.Root(1) + "/sub");
        QVERIFY(s.Tick() && w.dirBMP->SetPath(work));
        // The drive chosen; the folder shown and the one remembered; where to go then.
        const struct {
            int drive;
            QString shown, remembered, then;
        } steps[] = {
            {1, v.Root(1), work, v.Root(1) + "/sub"},  // nothing remembered on D yet
            {0, work, work, ""},                       // straight back: the folder left
            {1, v.Root(1), work, v.Root(1) + "/sub"},  // D opens at its current folder
            {2, v.Root(2), v.Root(1) + "/sub", ""},    // not back: E's is remembered
            {0, v.Root(0), v.Root(2), work},
            {1, v.Root(1), work, ""},
        };
        for (const auto& step : steps) {
            w.drvBMP->SetDrive(v.Text(step.drive));
            QCOMPARE(w.dirBMP->Path() + " " + w.LastBMPPath, step.shown + " " + step.remembered);
            QVERIFY(step.then.isEmpty() || w.dirBMP->SetPath(step.then));
        }
        QVERIFY(QDir(work).removeRecursively());  // gone: C's current folder instead
        w.drvBMP->SetDrive(v.Text(0));
        QVERIFY(w.dirBMP->Path() == v.Root(0) && w.LastButtonsPath.isEmpty() &&
                s.boxes->shown.isEmpty());
        // A drive that cannot be opened: Retry asks again, Cancel goes back.
        QVERIFY(QDir().mkpath(work) && w.dirBMP->SetPath(work) &&
                QDir(v.Root(2)).removeRecursively());
        s.boxes->Answer({Answer::Retry, Answer::Cancel, Answer::Retry});
        w.drvBMP->SetDrive(v.Text(2));
        QCOMPARE(w.drvBMP->Drive() + w.dirBMP->Path() + w.LastBMPPath, v.Text(0) + work + work);
        s.boxes->OnRetryCancel([&] { QDir().mkpath(v.Root(2)); });
        w.drvBMP->SetDrive(v.Text(2));  // Retry once the medium is back
        QCOMPARE(w.dirBMP->Path(), v.Root(2));
        QCOMPARE(s.boxes->shown.size(), 3);
        for (const auto& box : s.boxes->shown) {
            QCOMPARE(box.title + ": " + box.text, "Drive open error: Unable to open drive " +
                                                      v.Text(2) + QChar(13) +
                                                      "Error: No such file or directory");
        }
    }

    void fileListsKeepTheirSelectionAndFolderListsShowWhereTheyAre() {
        const QString dir = Fresh();
        for (const char* name :
             {"b.bmp", "A.BMP", "a.bmp", "note.txt", ".hidden.bmp", "Zeta.bmp", "_x.bmp"}) {
            WriteAll(dir + "/" + name, "x");
        }
        QDir().mkpath(dir + "/sub/deeper");
        ::mkfifo(QFile::encodeName(dir + "/pipe.bmp").constData(), 0600);  // neither is listed
        QFile::link(dir + "/gone", dir + "/dangling.bmp");
        FileListBox files(QStringLiteral("*.bmp"));
        QString seen;  // at each Click, the name selected then
        connect(&files, &FileListBox::Click, this, [&] { seen += files.FileName() + " "; });
        QVERIFY(files.SetPath(dir));
        for (int i : {3, 3, 5, -1, 4}) {  // 5 and -1: no entry
            files.SetSelected(i);
        }
        // Read again, pointed at the same folder: the name stays selected, no Click.
        WriteAll(dir + "/a2.bmp", "x");
        QVERIFY(files.Refresh() && files.SetPath(dir + "/") && files.SetFileName(dir));
        QStringList listed;
        for (int i = -1; i <= files.ListCount(); ++i) {  // entries -1 and ListCount are empty
            listed << files.List(i);
        }
        QCOMPARE(files.FileName() + ":" + listed.join(' '),
                 QStringLiteral("Zeta.bmp: _x.bmp A.BMP a.bmp a2.bmp b.bmp Zeta.bmp "));
        QVERIFY(QFile::remove(dir + "/Zeta.bmp") && files.Refresh() && files.FileName().isEmpty());
        // The user picks a file with the mouse or the keys, never none.
        files.resize(200, 200);
        files.show();
        QTest::mouseClick(files.viewport(), Qt::LeftButton, {},
                          files.visualItemRect(files.item(1)).center());
        QTest::keyClick(&files, Qt::Key_Down);
        QTest::mouseClick(files.viewport(), Qt::LeftButton, Qt::ControlModifier,
                          files.visualItemRect(files.item(2)).center());
        QTest::mouseClick(files.viewport(), Qt::LeftButton, {},
                          QPoint(5, files.viewport()->height() - 3));
        QCOMPARE(seen, QStringLiteral("b.bmp b.bmp Zeta.bmp A.BMP a.bmp "));
        QString error;
        QVERIFY(!files.SetPath(dir + "/gone", &error) && !files.Refresh(&error));
        QCOMPARE(error + QString::number(files.ListCount()),
                 QStringLiteral("No such file or directory0"));

        FolderListBox folders(std::make_shared<FolderVolumes>(Fresh(), QStringList{"C"}));
        QSignalSpy changes(&folders, &FolderListBox::Change);
        QVERIFY(folders.SetPath(dir + "/") && folders.SetPath(dir + "/sub/.."));
        QStringList entries;
        for (int i = folders.OpenRow() - 1; i <= folders.count(); ++i) {
            entries << folders.EntryPath(i);
        }
        QCOMPARE(entries, (QStringList{QFileInfo(dir).path(), dir, dir + "/sub", ""}));
        QCOMPARE(folders.EntryPath(0) + QString::number(folders.OpenRow()),
                 "/" + QString::number(dir.count('/')));
        QTest::keyClick(&folders,
                        Qt::Key_Down);  // Return opens the entry chosen, and so does Enter
        QTest::keyClick(&folders, Qt::Key_Return);
        folders.setCurrentRow(folders.OpenRow() + 1);
        QTest::keyClick(&folders, Qt::Key_Enter);
        QVERIFY(!folders.SetPath(dir + "/note.txt", &error) && !folders.SetPath(QString()));
        QCOMPARE(folders.Path() + " " + QString::number(changes.count()) + " " + error,
                 dir + "/sub/deeper 3 Not a directory");
    }

    void volumesSettingsAndThePictureBox() {
        // A container's mount table: root, home, block, loop and network devices.
        const QList<MountEntry> mounts = {
            {"/", "overlay", "overlay", "", true, true},
            {"/proc", "proc", "proc", "", true, true},
            {"/home", "/dev/mapper/vg-home", "ext4", "", true, true},
            {"/snap/core/1", "/dev/loop3", "squashfs", "core", true, true},
            {"/media/usb", "/dev/sdb1", "vfat", "STICK", true, true},
            {"/media/usb", "/dev/sdb1", "vfat", "STICK", true, true},
            {"/etc/hosts", "/dev/sda1", "ext4", "", true, false},  // a file, bind-mounted
            {"/mnt/gone", "/dev/sdc1", "ext4", "", false, true},
            {"/mnt/data", "/dev/sdd1", "", "", true, true},
            {"/srv/home", "server:/home", "nfs", "", true, true},
        };
        QStringList shown;
        for (const Volume& v : FileManagerVolumes(mounts, "/", "/srv/home") +
                                   FileManagerVolumes(mounts.mid(1, 1), "/", "/")) {
            shown << DriveText(v);
        }
        QCOMPARE(shown.join(", "),
                 QStringLiteral("/ [overlay], /home [vg-home], /media/usb [STICK], /mnt/data "
                                "[sdd1], /srv/home [home], / [root]"));
        FolderVolumes nested(Fresh(), {"m", "m/usb"});  // a path's is the longest root holding it
        QCOMPARE(nested.VolumeOf(nested.Root(1) + "/x")->root +
                     nested.VolumeOf(nested.Root(0) + "/usbs")->root,
                 nested.Root(1) + nested.Root(0));
        QDir::setCurrent(nested.Root(1));  // a drive opens where the user works, if that is on it
        const QList<Volume> both = nested.Volumes();
        QCOMPARE(nested.CurrentFolder(both[0]) + nested.CurrentFolder(both[1]),
                 nested.Root(0) + nested.Root(1));
        QDir::setCurrent(tmp_.path());
        SettingsStore store;
        QVERIFY(store.Write("Directory", "BMP", "/some where/ä"));
        QCOMPARE(store.Read("Directory", "BMP", "-") + store.Read("Directory", "None", "-"),
                 QStringLiteral("/some where/ä-"));
        QDir(tmp_.path() + "/settings").removeRecursively();
        WriteAll(tmp_.path() + "/settings/Tavrel", "a file where the store's folder belongs");
        QVERIFY(!store.Write("Directory", "BMP", "/x"));

        PictureBox box;  // its surface follows each change alone
        for (const QRect& g : {QRect(10, 20, 24, 13), QRect(11, 20, 24, 13), QRect(11, 21, 24, 13),
                               QRect(11, 21, 25, 13), QRect(11, 21, 25, 14)}) {
            box.setGeometry(g);
            const PictureSurface& s = box.Surface();
            QCOMPARE(QRectF(s.Left(), s.Top(), s.Width(), s.Height()),
                     QRectF(g.topLeft() * 15, g.size() * 15));
        }
        box.Surface().SetScaleMode(ScaleUnit::Pixels);
        box.Surface().ReserveRaster(100, 100);
        box.Surface().PSet(0, 0, 0x000000FF);    // red, at the top-left
        box.Surface().PSet(21, 10, 0x00000000);  // beyond the box
        const QImage image = box.grab().toImage();
        QVERIFY(image.pixel(2, 2) == qRgb(255, 0, 0) && image.pixel(22, 11) == kWhiteRgb);
        QVERIFY(qGray(image.pixel(0, 0)) < qGray(image.pixel(24, 13)));  // sunken: dark at the top
    }

    void aDriveEntryNamesItsVolumeAfterThatIsUnmounted() {
        struct ChangingVolumes : VolumeProvider {
            QList<Volume> Volumes() const override { return mounted; }
            QList<Volume> mounted;
        };
        // D lies on the root volume: its entry's text, read as a path, is there.
        auto volumes = std::make_shared<ChangingVolumes>();
        volumes->mounted = {{"/", "ROOT"}, {"/media/d", "D"}};
        DriveListBox drives(volumes);
        const QString gone = DriveText(volumes->mounted.takeLast());
        drives.setCurrentIndex(drives.findText(gone));  // as by the arrow keys or the wheel
        QCOMPARE(drives.Volumes().VolumeOf(drives.Drive())->root, QStringLiteral("/media/d"));
    }

    void theAboutBoxIsADialogOwnedByTheActiveWindow() {
        QWidget owner;
        owner.show();
        QVERIFY(QTest::qWaitForWindowActive(&owner));
        FrmAbout about;
        about.show();
        QCOMPARE(about.windowFlags() & Qt::WindowType_Mask, Qt::Dialog);
        QCOMPARE(about.windowHandle()->transientParent(), owner.windowHandle());
    }

    void theAboutBoxNamesTavrelWhateverTheLoadHandlerWrote() {
        // A platform whose text is not black tells the black labels apart.
        const QPalette platform = QApplication::palette();
        QPalette blue = platform;
        blue.setColor(QPalette::WindowText, QColor(0, 0, 200));
        QApplication::setPalette(blue);
        FrmAbout d(AppInfo{QStringLiteral("Other"), 2, 31, 7});
        QCOMPARE(d.windowTitle() + " " + d.lblTitle->text() + " " + d.lblVersion->text(),
                 QStringLiteral("About Other Other Version 2.31.7"));
        // Fixed, its client area 5736 by 3564 twips at 2340 and 1932.
        QVERIFY(d.geometry() == QRect(156, 129, 382, 238) && d.minimumSize() == d.maximumSize());
        QCOMPARE(d.windowFlags() & (Qt::WindowType_Mask | Qt::WindowMinMaxButtonsHint |
                                    Qt::WindowCloseButtonHint),
                 Qt::Dialog | Qt::WindowCloseButtonHint);
        QVERIFY(d.cmdOK->isDefault() && d.cmdOK->geometry() == QRect(283, 175, 84, 23));
        for (const QLabel* label : {d.lblDescription, d.lblDisclaimer, d.lblTitle, d.lblVersion}) {
            QVERIFY(label->wordWrap());
            QCOMPARE(label->palette().color(QPalette::WindowText),
                     label == d.lblVersion ? QColor(0, 0, 200) : QColor(Qt::black));
        }
        // On a dark palette they take its text colour, which reads there.
        QPalette dark = platform;
        for (const auto role : {QPalette::Window, QPalette::Base}) {
            dark.setColor(role, QColor(40, 40, 40));
        }
        for (const auto role : {QPalette::WindowText, QPalette::Text}) {
            dark.setColor(role, QColor(230, 230, 230));
        }
        QApplication::setPalette(dark);
        const FrmAbout night;
        for (const QLabel* label : {night.lblDescription, night.lblDisclaimer, night.lblTitle}) {
            QCOMPARE(label->palette().color(QPalette::WindowText), QColor(230, 230, 230));
        }
        QCOMPARE(night.picIcon->grab().toImage().pixel(0, 0), kWhiteRgb);  // the icon's ground
        // The window's selections read in either, the focused list's apart.
        QVERIFY(qFuzzyCompare(Contrast(Qt::white, Qt::black), 21.0));
        for (const QPalette& given : {blue, dark}) {
            const QPalette p = ReadableSelections(given);
            for (const auto group : {QPalette::Active, QPalette::Inactive}) {
                QVERIFY(Contrast(p.color(group, QPalette::HighlightedText),
                                 p.color(group, QPalette::Highlight)) >= 4.5);
            }
            QVERIFY(p.color(QPalette::Active, QPalette::Highlight) !=
                    p.color(QPalette::Inactive, QPalette::Highlight));
        }
        // The separator: a grey row, two white ones beneath from a pixel on.
        QApplication::setPalette(platform);
        const QImage face = d.grab().toImage();
        QVERIFY(face.pixel(6, 163) == kDarkRgb && face.pixel(377, 163) == kDarkRgb &&
                face.pixel(377, 165) == kWhiteRgb);
        QVERIFY(face.pixel(6, 164) != kWhiteRgb && face.pixel(377, 166) != kWhiteRgb);

        Started s(Fresh());
        QVERIFY(s.Tick());
        for (const auto key : {Qt::Key_Return, Qt::Key_Escape}) {
            QPointer<FrmAbout> about;
            QString seen;
            QTimer::singleShot(0, [&] {
                about =
                    qobject_cast<FrmAbout*>(QApplication::activeModalWidget());  // modal, or none
                if (about != nullptr) {
                    seen = about->windowTitle() + " " + about->lblTitle->text() + " " +
                           about->lblVersion->text() + " | " + about->lblDescription->text() +
                           " | " + about->lblDisclaimer->text();
                    QTest::keyClick(about, key);
                    seen += about->isVisible() ? " still open" : "";
                    about->close();  // should the key not have closed it
                }
            });
            QTest::keyClick(s.w->cmdAbout, Qt::Key_Enter);
            QCOMPARE(seen,
                     QStringLiteral(
                         "About Tavrel Tavrel Version 1.4 | Button file converter | Tavrel comes "
                         "without any warranty. Use it at your own risk."));
            QVERIFY(about.isNull());  // gone: the next showing is a new box
        }
    }
};

QTEST_MAIN(WindowTest)
#include "window_test.moc"
