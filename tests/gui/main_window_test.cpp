// The main window's behaviour: the browsing chains, F5, drive switching with
// the remembered folder, start-up from the stored folders and shutdown.

#include <QGroupBox>
#include <QMetaMethod>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <cstddef>
#include <memory>

#include "gui_test_support.h"
#include "main_window/frm_main.h"
#include "platform/drive_list_box.h"
#include "platform/file_list_box.h"
#include "platform/folder_list_box.h"
#include "platform/picture_box.h"

using namespace tavrel;
using namespace tavrel::testing;

namespace {

using Answer = MessageBoxes::Answer;

// Counts the events of one pane's chain.
struct PaneEvents {
    QSignalSpy drive, folder, file;
    PaneEvents(DriveListBox* d, FolderListBox* f, FileListBox* l)
        : drive(d, &DriveListBox::Change),
          folder(f, &FolderListBox::Change),
          file(l, &FileListBox::Click) {}
    QList<int> Counts() const {
        return {int(drive.count()), int(folder.count()), int(file.count())};
    }
    void Clear() {
        drive.clear();
        folder.clear();
        file.clear();
    }
};

QRgb Pixel(const PictureBox* box, int x, int y) {
    return box->Surface().Image().pixel(x, y);
}

}  // namespace

class MainWindowTest : public QObject, private CaseFolders {
    Q_OBJECT

  private Q_SLOTS:
    void initTestCase() { QVERIFY(PrepareFolders()); }

    void init() {
        // Working folder on no test drive: every test drive opens at its root.
        QDir::setCurrent(tmp_.path());
        StoreFolders(QString(), QString());
    }

    void controlsAtDesignGeometryBeforeTheFirstLayout() {
        Started s(Fresh());
        FrmMain& w = *s.w;
        QVERIFY(!w.isVisible());
        QCOMPARE(w.windowTitle(), QStringLiteral("Tavrel"));
        QCOMPARE(w.size(), QSize(644, 319));  // 9660 by 4788 twips
        QCOMPARE(w.frmBMP->geometry(), QRect(0, 0, 249, 225));
        QCOMPARE(w.fileButtons->geometry(), QRect(488, 40, 65, 120));
        QCOMPARE(w.picWorking.Width(), 855.0);  // 852 twips in whole pixels
        QCOMPARE(w.PicOut.BorderPixels(), 2);
        QCOMPARE(w.fileBMP->Pattern(), QStringLiteral("*.bmp"));
        QCOMPARE(w.fileButtons->Pattern(), QStringLiteral("*.BTN"));
        QVERIFY(w.cmdToButton->text().isEmpty());
        QVERIFY(!w.cmdToButton->icon().isNull());
        QVERIFY(!w.windowIcon().availableSizes().isEmpty());
        QCOMPARE(w.Timer->interval(), 150);
        QVERIFY(w.Timer->isActive());

        // Frames at the back; every control a direct child.
        const auto children = w.findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
        QCOMPARE(children.value(0), w.frmBMP);
        QCOMPARE(children.value(1), w.frmButtons);
        QCOMPARE(children.last(), w.cmdAbout);
        QVERIFY(w.frmBMP->findChildren<QWidget*>().isEmpty());

        // Tab order: the focusable controls from cmdToButton on.
        QList<QWidget*> stops;
        for (QWidget* c = w.nextInFocusChain(); c != &w; c = c->nextInFocusChain()) {
            if ((c->focusPolicy() & Qt::TabFocus) && c->parentWidget() == &w) {
                stops << c;
            }
        }
        const QList<QWidget*> expected = {w.cmdToButton, w.cmdToBMP,   w.drvBMP,  w.drvButtons,
                                          w.dirBMP,      w.dirButtons, w.fileBMP, w.fileButtons,
                                          w.cmdOK,       w.cmdAbout};
        QCOMPARE(stops, expected);
        QVERIFY(s.Tick());
        QVERIFY(!w.Timer->isActive());
    }

    void chainFromDriveToPreviewRaisesEachEventOnce() {
        const QString base = Fresh();
        Started s(base);
        FrmMain& w = *s.w;
        WriteBitmap(s.volumes->Root(1) + "/b.bmp", 4, 3, qRgb(0, 0, 255));
        WriteBitmap(s.volumes->Root(1) + "/A.bmp", 5, 2, qRgb(255, 0, 0));
        WriteButton(s.volumes->Root(1) + "/z.btn", {"33", "30", "01"});
        QVERIFY(s.Tick());
        PaneEvents bmp(w.drvBMP, w.dirBMP, w.fileBMP);
        PaneEvents buttons(w.drvButtons, w.dirButtons, w.fileButtons);

        w.drvBMP->SetDrive(s.volumes->Text(1));
        QCOMPARE(bmp.Counts(), (QList<int>{1, 1, 1}));
        QCOMPARE(w.dirBMP->Path(), s.volumes->Root(1));
        QCOMPARE(w.fileBMP->FileName(), QStringLiteral("A.bmp"));
        QCOMPARE(w.picBMP->Surface().Picture().size(), QSize(5, 2));
        QCOMPARE(Pixel(w.picBMP, 0, 0), qRgb(255, 0, 0));
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);

        w.drvButtons->setCurrentIndex(1);  // as a user's choice
        QCOMPARE(buttons.Counts(), (QList<int>{1, 1, 1}));
        QCOMPARE(w.ButtonRows(), 3);
        QCOMPARE(w.ButtonCols(), 2);
        QCOMPARE(Pixel(w.picButtons, 1, 1), qRgb(0, 0, 0));
        QCOMPARE(Pixel(w.picButtons, 2, 3), qRgb(192, 192, 192));
        QCOMPARE(Pixel(w.picButtons, 0, 0), qRgb(255, 255, 255));
        QCOMPARE(bmp.Counts(), (QList<int>{1, 1, 1}));  // the other pane untouched
        QVERIFY(s.boxes->shown.isEmpty());
    }

    void folderChangeToAnEmptyFolderBlanksBothPreviews() {
        const QString dir = Fresh();
        WriteBitmap(dir + "/full/a.bmp", 3, 3, qRgb(0, 0, 0));
        WriteButton(dir + "/full/a.BTN", {"3"});
        QDir().mkpath(dir + "/empty");
        StoreFolders(dir + "/full", dir + "/full");
        Started s(Fresh());
        FrmMain& w = *s.w;
        QVERIFY(s.Tick());
        QCOMPARE(Pixel(w.picBMP, 1, 1), qRgb(0, 0, 0));
        QCOMPARE(Pixel(w.picButtons, 1, 1), qRgb(0, 0, 0));

        PaneEvents bmp(w.drvBMP, w.dirBMP, w.fileBMP);
        QVERIFY(w.dirBMP->SetPath(dir + "/empty"));
        QVERIFY(w.dirButtons->SetPath(dir + "/empty"));
        QCOMPARE(bmp.Counts(), (QList<int>{0, 1, 0}));
        QCOMPARE(w.fileBMP->ListCount(), 0);
        QCOMPARE(Pixel(w.picBMP, 1, 1), qRgb(255, 255, 255));
        QCOMPARE(Pixel(w.picButtons, 1, 1), qRgb(255, 255, 255));
    }

    void f5InAnyListRefreshesBothListsAndSelectsTheFirstEntries() {
        const QString dir = Fresh();
        WriteBitmap(dir + "/b/m.bmp", 2, 2, qRgb(0, 0, 0));
        WriteBitmap(dir + "/b/n.bmp", 2, 2, qRgb(0, 0, 0));
        WriteButton(dir + "/t/m.btn", {"1"});
        WriteButton(dir + "/t/n.btn", {"2"});
        StoreFolders(dir + "/b", dir + "/t");
        Started s(Fresh());
        FrmMain& w = *s.w;
        QVERIFY(s.Tick());
        QWidget* const lists[] = {w.drvBMP,     w.drvButtons, w.dirBMP,
                                  w.dirButtons, w.fileBMP,    w.fileButtons};
        int added = 0;
        for (QWidget* list : lists) {
            for (Qt::KeyboardModifiers mods :
                 {Qt::KeyboardModifiers(), Qt::KeyboardModifiers(Qt::ShiftModifier),
                  Qt::KeyboardModifiers(Qt::ControlModifier)}) {
                w.fileBMP->SetSelected(1);
                w.fileButtons->SetSelected(1);
                // A new first entry appears only after the refresh.
                const QString name = QStringLiteral("a%1").arg(999 - ++added);
                WriteBitmap(dir + "/b/" + name + ".bmp", 2, 2, qRgb(0, 0, 0));
                WriteButton(dir + "/t/" + name + ".BTN", {"3"});
                QSignalSpy bmpClicks(w.fileBMP, &FileListBox::Click);
                QSignalSpy buttonClicks(w.fileButtons, &FileListBox::Click);
                // Both lists are read before either selects: when the bitmap
                // preview runs, the button list already holds the new file
                // and has not yet moved its selection.
                const QString buttonsSelected = w.fileButtons->FileName();
                QStringList seenFromBmpClick;
                const auto spy = connect(w.fileBMP, &FileListBox::Click, this, [&] {
                    seenFromBmpClick << w.fileButtons->List(0) << w.fileButtons->FileName();
                });
                QTest::keyClick(list, Qt::Key_F5, mods);
                disconnect(spy);
                QCOMPARE(seenFromBmpClick, (QStringList{name + ".BTN", buttonsSelected}));
                QCOMPARE(w.fileBMP->FileName(), name + ".bmp");
                QCOMPARE(w.fileButtons->FileName(), name + ".BTN");
                QCOMPARE(bmpClicks.count(), 1);
                QCOMPARE(buttonClicks.count(), 1);
            }
        }
        QCOMPARE(w.dirBMP->Path(), dir + "/b");  // folders untouched

        // F5 belongs to the lists alone: on a button it does nothing.
        {
            WriteBitmap(dir + "/b/_first.bmp", 2, 2, qRgb(0, 0, 0));
            QSignalSpy bmpClicks(w.fileBMP, &FileListBox::Click);
            const int listed = w.fileBMP->ListCount();
            w.cmdOK->setFocus();
            QTest::keyClick(w.cmdOK, Qt::Key_F5);
            QTest::keyClick(&w, Qt::Key_F5);
            QCOMPARE(w.fileBMP->ListCount(), listed);
            QCOMPARE(bmpClicks.count(), 0);
        }

        // Another key is the list's own; F5 after the last file went away
        // leaves the list empty and the preview blank.
        QSignalSpy clicks(w.fileButtons, &FileListBox::Click);
        QTest::keyClick(w.dirBMP, Qt::Key_F4);
        QCOMPARE(clicks.count(), 0);
        QVERIFY(QDir(dir + "/t").removeRecursively());
        QDir().mkpath(dir + "/t");
        QTest::keyClick(w.fileButtons, Qt::Key_F5);
        QCOMPARE(w.fileButtons->ListCount(), 0);
        QCOMPARE(Pixel(w.picButtons, 1, 1), qRgb(255, 255, 255));
    }

    void resizeKeepsBothSelections() {
        const QString dir = Fresh();
        for (const char* n : {"a", "b", "c"}) {
            WriteBitmap(dir + "/" + n + ".bmp", 2, 2, qRgb(0, 0, 0));
            WriteButton(dir + "/" + n + ".btn", {"3"});
        }
        StoreFolders(dir, dir);
        Started s(Fresh());
        FrmMain& w = *s.w;
        QVERIFY(s.Tick());
        w.fileBMP->SetSelected(2);
        w.fileButtons->SetSelected(1);
        QSignalSpy clicks(w.fileBMP, &FileListBox::Click);
        w.resize(1000, 600);
        QTRY_COMPARE(w.width(), 1000);
        QCoreApplication::sendPostedEvents();
        QCOMPARE(w.fileBMP->FileName(), QStringLiteral("c.bmp"));
        QCOMPARE(w.fileButtons->FileName(), QStringLiteral("b.btn"));
        QCOMPARE(clicks.count(), 0);

        // A folder that vanished: the layout empties that list and goes on.
        QVERIFY(QDir(dir).removeRecursively());
        w.resize(900, 500);
        QTRY_COMPARE(w.width(), 900);
        QCOMPARE(w.fileBMP->ListCount(), 0);
        QCOMPARE(w.fileButtons->ListCount(), 0);
        QVERIFY(w.frmBMP->width() < 450);
        QVERIFY(s.boxes->shown.isEmpty());
    }

    void driveSwitchingFollowsTheRememberedFolder() {
        Started s(Fresh());
        FrmMain& w = *s.w;
        FolderVolumes& v = *s.volumes;
        QDir().mkpath(v.Root(0) + "/work");
        QDir().mkpath(v.Root(1) + "/sub");
        QVERIFY(s.Tick());
        QVERIFY(w.dirBMP->SetPath(v.Root(0) + "/work"));
        QCOMPARE(w.drvBMP->Drive(), v.Text(0));
        QVERIFY(w.LastBMPPath.isEmpty());

        // First change: nothing remembered yet.
        w.drvBMP->SetDrive(v.Text(1));
        QCOMPARE(w.LastBMPPath, v.Root(0) + "/work");
        QCOMPARE(w.dirBMP->Path(), v.Root(1));
        // Straight back: the folder shown on C, not C's current folder.
        w.drvBMP->SetDrive(v.Text(0));
        QCOMPARE(w.dirBMP->Path(), v.Root(0) + "/work");
        QCOMPARE(w.LastBMPPath, v.Root(0) + "/work");

        // C, D into a subfolder, back to C, again D: D opens at its current
        // folder, not at the subfolder.
        w.drvBMP->SetDrive(v.Text(1));
        QVERIFY(w.dirBMP->SetPath(v.Root(1) + "/sub"));
        w.drvBMP->SetDrive(v.Text(0));
        QCOMPARE(w.dirBMP->Path(), v.Root(0) + "/work");
        QCOMPARE(w.LastBMPPath, v.Root(0) + "/work");
        w.drvBMP->SetDrive(v.Text(1));
        QCOMPARE(w.dirBMP->Path(), v.Root(1));

        // C, D, E and back to C: the folder left on D is remembered, so C
        // opens at its current folder, and E's folder becomes remembered.
        w.drvBMP->SetDrive(v.Text(0));
        w.drvBMP->SetDrive(v.Text(1));
        w.drvBMP->SetDrive(v.Text(2));
        QCOMPARE(w.LastBMPPath, v.Root(1));
        w.drvBMP->SetDrive(v.Text(0));
        QCOMPARE(w.dirBMP->Path(), v.Root(0));
        QCOMPARE(w.LastBMPPath, v.Root(2));
        QVERIFY(w.LastButtonsPath.isEmpty());

        // A remembered folder that is gone: the drive's current folder.
        QVERIFY(w.dirBMP->SetPath(v.Root(0) + "/work"));
        w.drvBMP->SetDrive(v.Text(1));
        QVERIFY(QDir(v.Root(0) + "/work").removeRecursively());
        w.drvBMP->SetDrive(v.Text(0));
        QCOMPARE(w.dirBMP->Path(), v.Root(0));
        QVERIFY(s.boxes->shown.isEmpty());
    }

    void aDriveThatCannotBeOpenedAsksRetryOrCancel() {
        Started s(Fresh());
        FrmMain& w = *s.w;
        FolderVolumes& v = *s.volumes;
        QDir().mkpath(v.Root(0) + "/work");
        WriteBitmap(v.Root(0) + "/work/a.bmp", 2, 2, qRgb(0, 0, 0));
        QVERIFY(s.Tick());
        QVERIFY(w.dirBMP->SetPath(v.Root(0) + "/work"));
        QVERIFY(QDir(v.Root(2)).removeRecursively());  // E: no medium

        PaneEvents bmp(w.drvBMP, w.dirBMP, w.fileBMP);
        s.boxes->Answer({Answer::Retry, Answer::Retry, Answer::Cancel});
        w.drvBMP->SetDrive(v.Text(2));
        QCOMPARE(s.boxes->shown.size(), 3);
        const QString text = QStringLiteral("Unable to open drive ") + v.Text(2) + QChar(13) +
                             QStringLiteral("Error: No such file or directory");
        for (const auto& box : s.boxes->shown) {
            QCOMPARE(box.text, text);
            QCOMPARE(box.title, QStringLiteral("Drive open error"));
            QVERIFY(box.retryCancel);
        }
        // Back on the previous drive and folder, which stays remembered.
        QCOMPARE(w.drvBMP->Drive(), v.Text(0));
        QCOMPARE(w.dirBMP->Path(), v.Root(0) + "/work");
        QCOMPARE(w.LastBMPPath, v.Root(0) + "/work");
        QCOMPARE(bmp.Counts(), (QList<int>{2, 0, 0}));
        QCOMPARE(w.fileBMP->FileName(), QStringLiteral("a.bmp"));

        // Retry once the medium is back opens the drive.
        s.boxes->shown.clear();
        s.boxes->Answer({Answer::Retry});
        s.boxes->OnRetryCancel([root = v.Root(2)] { QDir().mkpath(root); });
        w.drvBMP->SetDrive(v.Text(2));
        QCOMPARE(s.boxes->shown.size(), 1);
        QCOMPARE(w.drvBMP->Drive(), v.Text(2));
        QCOMPARE(w.dirBMP->Path(), v.Root(2));
        QCOMPARE(w.LastBMPPath, v.Root(0) + "/work");
    }

    void startUpRestoresStoredFoldersAndFallsBackSilently() {
        const QString dir = Fresh();
        const QString home = QDir::homePath();
        WriteBitmap(dir + "/bmps/x.bmp", 2, 2, qRgb(0, 0, 0));
        WriteButton(dir + "/btns/x.btn", {"3"});
        {
            // No stored entries: both panes at the home folder.
            Started s(Fresh());
            QCOMPARE(s.w->dirBMP->Path(), home);
            QCOMPARE(s.w->dirButtons->Path(), home);
        }
        {
            StoreFolders(dir + "/bmps", dir + "/btns");
            Started s(Fresh());
            QCOMPARE(s.w->dirBMP->Path(), dir + "/bmps");
            QCOMPARE(s.w->fileBMP->FileName(), QStringLiteral("x.bmp"));  // previewed at load
            QCOMPARE(s.w->dirButtons->Path(), dir + "/btns");
            QVERIFY(!s.w->isVisible());
            QVERIFY(s.Tick());
            QCOMPARE(s.w->fileButtons->FileName(), QStringLiteral("x.btn"));
            QCOMPARE(s.w->drvBMP->Drive(), s.volumes->Text(0));  // drive lists untouched
        }
        {
            // A deleted folder opens the home folder; the other pane its own.
            StoreFolders(dir + "/deleted", dir + "/btns");
            Started s(Fresh());
            QCOMPARE(s.w->dirBMP->Path(), home);
            QCOMPARE(s.w->dirButtons->Path(), dir + "/btns");
            QVERIFY(s.boxes->shown.isEmpty());
        }
        {
            // Neither the stored folder nor the home folder: the pane stays.
            StoreFolders(dir + "/deleted", dir + "/btns");
            qputenv("HOME", QFile::encodeName(dir + "/no-home"));
            Started s(Fresh());
            qputenv("HOME", QFile::encodeName(home));
            QCOMPARE(s.w->dirBMP->Path(), QDir::currentPath());
            QVERIFY(s.Tick());
        }
    }

    void closingStoresBothFolders() {
        const QString dir = Fresh();
        QDir().mkpath(dir + "/one");
        QDir().mkpath(dir + "/two");
        StoreFolders(QString(), QString());
        {
            Started s(Fresh());
            QVERIFY(s.Tick());
            QVERIFY(s.w->dirBMP->SetPath(dir + "/one"));
            QVERIFY(s.w->dirButtons->SetPath("/"));
            QTest::mouseClick(s.w->cmdOK, Qt::LeftButton);
            QVERIFY(!s.w->isVisible());
            QSettings stored = StoredSettings();
            QCOMPARE(stored.value("Directory/BMP").toString(), dir + "/one");
            QCOMPARE(stored.value("Directory/Buttons").toString(), QStringLiteral("/"));
        }
        {
            // The window's close command, right after start.
            Started s(Fresh());
            QVERIFY(s.Tick());
            QVERIFY(s.w->close());
            QSettings stored = StoredSettings();
            QCOMPARE(stored.value("Directory/BMP").toString(), dir + "/one");
            QCOMPARE(stored.value("Directory/Buttons").toString(), QStringLiteral("/"));
        }
        {
            // The desktop session ending sends no close: the session's request
            // for the programs' data stores the folders, the window stays.
            Started s(Fresh());
            QVERIFY(s.Tick());
            QVERIFY(s.w->dirBMP->SetPath(dir + "/two"));
            const QMetaMethod commit = QMetaMethod::fromSignal(&QGuiApplication::commitDataRequest);
            // The session manager cannot be made outside Qt; the window's
            // handling never looks at it.
            alignas(std::max_align_t) char manager[64] = {};
            QVERIFY(commit.invoke(qApp, Qt::DirectConnection,
                                  QGenericArgument("QSessionManager&", manager)));
            QCOMPARE(StoredSettings().value("Directory/BMP").toString(), dir + "/two");
            QCOMPARE(StoredSettings().value("Directory/Buttons").toString(), QStringLiteral("/"));
            QVERIFY(s.w->isVisible());
        }
        {
            // A store that cannot be written does not stop the close.
            QTemporaryDir blocked;
            QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, blocked.path());
            WriteFile(blocked.path() + "/Tavrel", "in the way");
            Started s(Fresh());
            QVERIFY(s.Tick());
            QVERIFY(s.w->close());
            QVERIFY(!s.w->isVisible());
            QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                               tmp_.path() + "/settings");
        }
    }

    void badFilesAreReportedAndTheProgramGoesOn() {
        const QString dir = Fresh();
        WriteFile(dir + "/a.bmp", "not a picture");
        WriteBitmap(dir + "/b.bmp", 3, 3, qRgb(0, 0, 0));
        WriteButton(dir + "/a.btn", {"01x3"});
        WriteButton(dir + "/b.btn", {"3", ""});
        StoreFolders(dir, dir);
        Started s(Fresh());
        FrmMain& w = *s.w;
        QVERIFY(s.Tick());
        // The unreadable bitmap: a blank preview, no message.
        QCOMPARE(Pixel(w.picBMP, 1, 1), qRgb(255, 255, 255));
        w.fileBMP->SetSelected(1);
        QCOMPARE(Pixel(w.picBMP, 1, 1), qRgb(0, 0, 0));
        w.fileBMP->SetSelected(0);
        QCOMPARE(Pixel(w.picBMP, 1, 1), qRgb(255, 255, 255));
        QVERIFY(w.picBMP->Surface().Picture().isNull());
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);

        // The unknown pixel character: the message (at load and at the tick),
        // and the window stays.
        QVERIFY(!s.boxes->shown.isEmpty());
        QCOMPARE(s.boxes->shown.last().text, QStringLiteral("Unknown button value : ( 3, 1)x"));
        QCOMPARE(s.boxes->shown.last().title, QStringLiteral("Tavrel"));
        QVERIFY(!s.boxes->shown.last().retryCancel);
        s.boxes->shown.clear();
        w.fileButtons->SetSelected(1);  // a row shorter than the first
        QCOMPARE(s.boxes->shown.size(), 1);
        QCOMPARE(s.boxes->shown[0].text, QStringLiteral("Unknown button value : ( 1, 2)"));
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
        QVERIFY(w.isVisible());
        QVERIFY(w.close());
        QCOMPARE(StoredSettings().value("Directory/Buttons").toString(), dir);
    }

    void folderPrefixJoinsWithOneSlash() {
        QCOMPARE(FrmMain::FolderPrefix("/"), QStringLiteral("/"));
        QCOMPARE(FrmMain::FolderPrefix("/work"), QStringLiteral("/work/"));
        QCOMPARE(FrmMain::FolderPrefix("/work/") + "a.bmp", QStringLiteral("/work/a.bmp"));
    }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
