// The list controls' member contract, the volume provider, the settings store
// and the picture box.

#include <QSignalSpy>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>
#include <memory>

#include "gui_test_support.h"
#include "platform/drive_list_box.h"
#include "platform/file_list_box.h"
#include "platform/folder_list_box.h"
#include "platform/picture_box.h"
#include "platform/settings_store.h"

using namespace tavrel;
using namespace tavrel::testing;

class ListControlsTest : public QObject, private CaseFolders {
    Q_OBJECT

  private Q_SLOTS:
    void initTestCase() { QVERIFY(PrepareFolders()); }

    void fileListMatchesPatternIgnoringCaseAndSortsByName() {
        const QString dir = Fresh();
        for (const char* name : {"b.bmp", "A.BMP", "a.bmp", "c.Bmp", "note.txt", ".hidden.bmp",
                                 "Zeta.bmp", "_x.bmp"}) {
            WriteFile(dir + QLatin1Char('/') + QLatin1String(name), "x");
        }
        QDir().mkpath(dir + QStringLiteral("/folder.bmp"));
        QVERIFY(::symlink("a.bmp", QFile::encodeName(dir + "/link.bmp").constData()) == 0);
        QVERIFY(::symlink("gone", QFile::encodeName(dir + "/dangling.bmp").constData()) == 0);
        QVERIFY(::mkfifo(QFile::encodeName(dir + "/pipe.bmp").constData(), 0600) == 0);

        FileListBox files(QStringLiteral("*.bmp"));
        QVERIFY(files.SetPath(dir));
        QStringList listed;
        for (int i = 0; i < files.ListCount(); ++i) {
            listed << files.List(i);
        }
        // Case-folded order (folded to lower case, "_" comes before letters),
        // then exact text among equals.
        QCOMPARE(listed, (QStringList{"_x.bmp", "A.BMP", "a.bmp", "b.bmp", "c.Bmp", "link.bmp",
                                      "Zeta.bmp"}));
        QCOMPARE(files.List(files.ListCount()), QString());
        QCOMPARE(files.List(-1), QString());
        QCOMPARE(files.FileName(), QString());

        FileListBox buttons(QStringLiteral("*.BTN"));
        WriteFile(dir + QStringLiteral("/new.Btn"), "00000:0\r\n");
        QVERIFY(buttons.SetPath(dir));
        QCOMPARE(buttons.ListCount(), 1);
        QCOMPARE(buttons.List(0), QStringLiteral("new.Btn"));
    }

    void fileListSelectionRaisesClickEveryTime() {
        const QString dir = Fresh();
        WriteFile(dir + "/a.bmp", "x");
        WriteFile(dir + "/b.bmp", "x");
        FileListBox files(QStringLiteral("*.bmp"));
        files.SetPath(dir);
        QSignalSpy clicks(&files, &FileListBox::Click);
        QString seen;
        connect(&files, &FileListBox::Click, this, [&] { seen = files.FileName(); });

        files.SetSelected(1);
        QCOMPARE(clicks.count(), 1);
        QCOMPARE(seen, QStringLiteral("b.bmp"));  // already selected inside Click
        files.SetSelected(1);
        QCOMPARE(clicks.count(), 2);
        files.SetSelected(0);
        QCOMPARE(clicks.count(), 3);
        QCOMPARE(files.selectedItems().size(), 1);
        files.SetSelected(2);  // no such entry
        QCOMPARE(clicks.count(), 3);

        // A user's click and keys: inside Click, FileName already names the
        // entry just chosen (the preview reads it there).
        files.resize(200, 200);
        files.show();
        QTest::mouseClick(files.viewport(), Qt::LeftButton, {},
                          files.visualItemRect(files.item(1)).center());
        QCOMPARE(clicks.count(), 4);
        QCOMPARE(seen, QStringLiteral("b.bmp"));
        QTest::keyClick(&files, Qt::Key_Up);
        QCOMPARE(clicks.count(), 5);
        QCOMPARE(seen, QStringLiteral("a.bmp"));

        // Neither a Ctrl+click on the selected entry nor a click on empty
        // space leaves the list without a selection.
        QTest::mouseClick(files.viewport(), Qt::LeftButton, Qt::ControlModifier,
                          files.visualItemRect(files.item(0)).center());
        QCOMPARE(files.FileName(), QStringLiteral("a.bmp"));
        QTest::mouseClick(files.viewport(), Qt::LeftButton, {},
                          QPoint(5, files.viewport()->height() - 3));
        QCOMPARE(files.FileName(), QStringLiteral("a.bmp"));
        QCOMPARE(clicks.count(), 5);
    }

    void fileListKeepsSelectionOnRereadAndDropsItOnNewFolder() {
        const QString dir = Fresh();
        const QString other = Fresh();
        WriteFile(dir + "/a.bmp", "x");
        WriteFile(dir + "/c.bmp", "x");
        WriteFile(other + "/c.bmp", "x");
        FileListBox files(QStringLiteral("*.bmp"));
        files.SetPath(dir);
        files.SetSelected(1);
        QSignalSpy clicks(&files, &FileListBox::Click);

        WriteFile(dir + "/b.bmp", "x");
        QVERIFY(files.Refresh());
        QCOMPARE(files.ListCount(), 3);
        QCOMPARE(files.FileName(), QStringLiteral("c.bmp"));
        QVERIFY(files.SetPath(dir + "/"));  // the same folder
        QCOMPARE(files.FileName(), QStringLiteral("c.bmp"));
        QVERIFY(files.SetFileName(dir));  // a folder re-points the list
        QCOMPARE(files.FileName(), QStringLiteral("c.bmp"));
        QCOMPARE(clicks.count(), 0);

        QFile::remove(dir + "/c.bmp");
        files.Refresh();
        QCOMPARE(files.FileName(), QString());

        files.SetSelected(0);
        QVERIFY(files.SetFileName(other));
        QCOMPARE(files.Path(), other);
        QCOMPARE(files.ListCount(), 1);
        QCOMPARE(files.FileName(), QString());
    }

    void fileListOfAFolderThatCannotBeListedIsEmpty() {
        const QString dir = Fresh();
        WriteFile(dir + "/a.bmp", "x");
        FileListBox files(QStringLiteral("*.bmp"));
        files.SetPath(dir);
        QVERIFY(QDir(dir).removeRecursively());
        QString error;
        QVERIFY(!files.Refresh(&error));
        QCOMPARE(files.ListCount(), 0);
        QVERIFY(!error.isEmpty());
        WriteFile(dir, "a file where the folder was");
        QVERIFY(!files.SetPath(dir, &error));
        QCOMPARE(error, QStringLiteral("Not a directory"));
        QCOMPARE(files.ListCount(), 0);
    }

    void folderListShowsAncestorsOpenFolderAndSubfolders() {
        const QString dir = Fresh();
        for (const char* sub : {"b", "A", "c", ".hidden"}) {
            QDir().mkpath(dir + "/work/" + QLatin1String(sub));
        }
        WriteFile(dir + "/work/file", "x");
        auto volumes = std::make_shared<FolderVolumes>(Fresh(), QStringList{"C"});
        FolderListBox folders(volumes);
        QSignalSpy changes(&folders, &FolderListBox::Change);
        QVERIFY(folders.SetPath(dir + "/work/"));
        QCOMPARE(changes.count(), 1);
        QCOMPARE(folders.Path(), dir + "/work");

        QStringList entries;
        for (int i = 0; i < folders.count(); ++i) {
            entries << folders.EntryPath(i);
        }
        QStringList expected;
        QDir up(dir + "/work");
        do {
            expected.prepend(up.absolutePath());
        } while (up.cdUp());
        QCOMPARE(folders.OpenRow(), expected.size() - 1);
        QCOMPARE(entries.first(), QStringLiteral("/"));
        expected << dir + "/work/A" << dir + "/work/b" << dir + "/work/c";
        QCOMPARE(entries, expected);

        // The same folder again raises nothing; Enter on a subfolder opens it.
        QVERIFY(folders.SetPath(dir + "/work/b/.."));
        QCOMPARE(changes.count(), 1);
        folders.setCurrentRow(folders.OpenRow() + 2);
        QTest::keyClick(&folders, Qt::Key_Return);
        QCOMPARE(folders.Path(), dir + "/work/b");
        QCOMPARE(changes.count(), 2);
        QVERIFY(folders.SetPath(QStringLiteral("/")));
        QCOMPARE(folders.Path(), QStringLiteral("/"));
    }

    void folderListFailureKeepsFolderAndDescribesIt() {
        const QString dir = Fresh();
        auto volumes = std::make_shared<FolderVolumes>(Fresh(), QStringList{"C", "D"});
        FolderListBox folders(volumes);
        folders.SetPath(dir);
        QSignalSpy changes(&folders, &FolderListBox::Change);
        QString error;
        QVERIFY(!folders.SetPath(dir + "/missing", &error));
        QCOMPARE(error, QStringLiteral("No such file or directory"));
        WriteFile(dir + "/plain", "x");
        QVERIFY(!folders.SetPath(dir + "/plain", &error));
        QCOMPARE(error, QStringLiteral("Not a directory"));
        QVERIFY(!folders.SetPath(QString(), &error));
        QCOMPARE(folders.Path(), dir);
        QCOMPARE(changes.count(), 0);

        // A drive text opens the drive's current folder: its root unless the
        // working folder lies on it.
        QVERIFY(folders.SetPath(volumes->Text(1)));
        QCOMPARE(folders.Path(), volumes->Root(1));
        QDir().mkpath(volumes->Root(0) + "/here");
        const QString before = QDir::currentPath();
        QDir::setCurrent(volumes->Root(0) + "/here");
        QVERIFY(folders.SetPath(volumes->Text(0)));
        QDir::setCurrent(before);
        QCOMPARE(folders.Path(), volumes->Root(0) + "/here");
        // A drive whose root is gone is a drive without a medium.
        QVERIFY(QDir(volumes->Root(1)).removeRecursively());
        QVERIFY(!folders.SetPath(volumes->Text(1), &error));
        QCOMPARE(error, QStringLiteral("No such file or directory"));
        QCOMPARE(folders.Path(), volumes->Root(0) + "/here");
    }

    void driveListSelectsByTextOrPathAndRaisesChangeReentrantly() {
        auto volumes = std::make_shared<FolderVolumes>(Fresh(), QStringList{"C", "D", "E"});
        DriveListBox drives(volumes);
        QCOMPARE(drives.count(), 3);
        QCOMPARE(drives.Drive(), volumes->Text(0));  // working folder on none: the first
        QVERIFY(drives.Drive().endsWith(QStringLiteral(" [DRIVE_C]")));

        QStringList seen;
        connect(&drives, &DriveListBox::Change, this, [&] {
            seen << drives.Drive();
            // The nested change happens before the outer assignment returns.
            if (drives.Drive() == volumes->Text(2)) {
                drives.SetDrive(volumes->Root(1) + "/some/folder");
            }
        });
        drives.SetDrive(volumes->Text(0));
        QCOMPARE(seen, QStringList());
        drives.SetDrive(volumes->Text(1));
        QCOMPARE(seen, QStringList{volumes->Text(1)});
        drives.SetDrive(volumes->Text(2));
        QCOMPARE(seen, (QStringList{volumes->Text(1), volumes->Text(2), volumes->Text(1)}));
        QCOMPARE(drives.Drive(), volumes->Text(1));
        drives.SetDrive(QStringLiteral("/nowhere/near"));  // on no drive
        QCOMPARE(seen.size(), 3);

        QSignalSpy keys(&drives, &DriveListBox::KeyDown);
        QTest::keyClick(&drives, Qt::Key_F5, Qt::ShiftModifier);
        QCOMPARE(keys.count(), 2);  // Shift, then F5 with Shift held
        QCOMPARE(keys.at(1).at(0).toInt(), int(Qt::Key_F5));
        QCOMPARE(keys.at(1).at(1).value<Qt::KeyboardModifiers>(), Qt::ShiftModifier);
    }

    void volumeOfAPathIsTheLongestRootHoldingIt() {
        const QString base = Fresh();
        class Nested : public VolumeProvider {
          public:
            QString base;
            QList<Volume> Volumes() const override {
                return {{QStringLiteral("/"), "root"},
                        {base + "/media", "M"},
                        {base + "/media/usb", "USB"}};
            }
        } nested;
        nested.base = base;
        QCOMPARE(nested.VolumeOf(base + "/media/usb/x")->label, QStringLiteral("USB"));
        QCOMPARE(nested.VolumeOf(base + "/media/usbstick")->label, QStringLiteral("M"));
        QCOMPARE(nested.VolumeOf(base + "/media")->label, QStringLiteral("M"));
        QCOMPARE(nested.VolumeOf(QStringLiteral("/etc"))->label, QStringLiteral("root"));
        QCOMPARE(nested.VolumeOf(base + "/media/usb [USB]")->root, base + "/media/usb");
        QVERIFY(!nested.VolumeOf(QString()));
    }

    void mountedVolumesAreWhatAFileManagerShows() {
        // A container's mount table: an overlay root, /home on its own
        // device, pseudo and memory file systems, a loop device (a mounted
        // image), a USB stick mounted twice, a single file bind-mounted from
        // a block device, a volume the system cannot describe.
        const QList<MountEntry> mounts = {
            {"/", "overlay", "overlay", "", true, true},
            {"/proc", "proc", "proc", "", true, true},
            {"/sys", "sysfs", "sysfs", "", true, true},
            {"/dev/shm", "shm", "tmpfs", "", true, true},
            {"/run", "tmpfs", "tmpfs", "", true, true},
            {"/home", "/dev/mapper/vg-home", "ext4", "", true, true},
            {"/snap/core/1", "/dev/loop3", "squashfs", "core", true, true},
            {"/media/usb", "/dev/sdb1", "vfat", "STICK", true, true},
            {"/media/usb", "/dev/sdb1", "vfat", "STICK", true, true},
            {"/etc/hosts", "/dev/sda1", "ext4", "", true, false},
            {"/mnt/gone", "/dev/sdc1", "ext4", "", false, true},
            {"/mnt/data", "/dev/sdd1", "", "", true, true},
            {"/srv/home", "server:/home", "nfs", "", true, true},
        };
        const auto roots = [](const QList<Volume>& volumes) {
            QStringList shown;
            for (const Volume& v : volumes) {
                shown << v.root + " [" + v.label + "]";
            }
            return shown;
        };
        QCOMPARE(roots(FileManagerVolumes(mounts, "/", "/home")),
                 (QStringList{"/ [overlay]", "/home [vg-home]", "/media/usb [STICK]",
                              "/mnt/data [sdd1]"}));
        // The home folder's volume is shown whatever it is mounted from.
        QCOMPARE(roots(FileManagerVolumes(mounts, "/", "/srv/home")),
                 (QStringList{"/ [overlay]", "/home [vg-home]", "/media/usb [STICK]",
                              "/mnt/data [sdd1]", "/srv/home [home]"}));
        // Nothing to show: the root folder alone, never an empty list.
        QCOMPARE(roots(FileManagerVolumes({{"/proc", "proc", "proc", "", true, true}}, "/", "/")),
                 QStringList{"/ [root]"});

        // This machine's own table gives the root volume and no pseudo file
        // system.
        const QList<Volume> mounted = MountedVolumes().Volumes();
        QVERIFY(std::any_of(mounted.begin(), mounted.end(),
                            [](const Volume& v) { return v.root == QLatin1String("/"); }));
        for (const Volume& v : mounted) {
            QVERIFY2(!v.root.startsWith(QLatin1String("/proc")) &&
                         !v.root.startsWith(QLatin1String("/sys")),
                     qPrintable(v.root));
            QVERIFY(QFileInfo(v.root).isDir());
        }
    }

    void settingsStoreKeepsValuesAndReportsAFailedWrite() {
        SettingsStore store;
        QCOMPARE(store.Read("Directory", "Nothing", "fallback"), QStringLiteral("fallback"));
        QVERIFY(store.Write("Directory", "BMP", "/some where/ä"));
        QCOMPARE(store.Read("Directory", "BMP", "fallback"), QStringLiteral("/some where/ä"));
        QVERIFY(QFile::exists(tmp_.path() + "/settings/Tavrel/Tavrel.conf"));

        // A file that does not parse is written afresh, and that is success.
        WriteFile(tmp_.path() + "/settings/Tavrel/Tavrel.conf", "[Directory\n\xff\xfe[\n");
        QVERIFY(store.Write("Directory", "BMP", "/after"));
        QCOMPARE(store.Read("Directory", "BMP", "fallback"), QStringLiteral("/after"));

        // A file standing where the store's folder belongs.
        QTemporaryDir blocked;
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, blocked.path());
        WriteFile(blocked.path() + "/Tavrel", "in the way");
        QVERIFY(!store.Write("Directory", "BMP", "/x"));
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           tmp_.path() + "/settings");
    }

    void pictureBoxShowsItsSurfaceClippedAtTheTopLeft() {
        PictureBox box;
        box.setGeometry(10, 20, 24, 14);
        QCOMPARE(box.Surface().Width(), 24.0 * 15);
        QCOMPARE(box.Surface().Left(), 10.0 * 15);
        QCOMPARE(box.Surface().InnerWidthPixels(), 20);
        PictureSurface& surface = box.Surface();
        surface.SetScaleMode(ScaleUnit::Pixels);
        surface.ReserveRaster(100, 100);
        surface.PSet(0, 0, 0x000000FF);    // red, at the top-left
        surface.PSet(50, 50, 0x00000000);  // beyond the visible box
        const QImage shown = box.grab().toImage();
        QCOMPARE(shown.size(), QSize(24, 14));
        QCOMPARE(shown.pixel(2, 2), qRgb(255, 0, 0));
        QCOMPARE(shown.pixel(3, 3), qRgb(255, 255, 255));
        QCOMPARE(shown.pixel(21, 11), qRgb(255, 255, 255));
    }
};

QTEST_MAIN(ListControlsTest)
#include "list_controls_test.moc"
