// The window against hostile inputs and failing disks: folders that vanish
// or cannot be written, a full disk, broken settings, files that change
// under the panes. Each case ends in a correct result or a clear message,
// and nothing the user had is lost.

#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

#include "gui_test_support.h"
#include "main_window/frm_main.h"
#include "platform/file_list_box.h"
#include "platform/folder_list_box.h"
#include "platform/picture_box.h"
#include "tests/support/test_files.h"

using namespace tavrel;
using namespace tavrel::testing;

namespace {

using Answer = MessageBoxes::Answer;

QRgb Pixel(const PictureBox* box, int x, int y) {
    return box->Surface().Image().pixel(x, y);
}

void Click(QPushButton* button) {
    QTest::mouseClick(button, Qt::LeftButton);
}

// Every box shown was the save message for path, with Retry and Cancel,
// under the hourglass.
void ExpectSaveMessages(const ScriptedMessageBoxes& boxes, const QString& path, int count,
                        const QString& description) {
    QCOMPARE(boxes.shown.size(), count);
    const QString prefix = QStringLiteral("Unable to save file ") + path + QChar(13) + "Error: ";
    for (const auto& box : boxes.shown) {
        QCOMPARE(box.text, prefix + description);
        QCOMPARE(box.title, QStringLiteral("File save error"));
        QVERIFY(box.retryCancel);
        QCOMPARE(box.pointer, std::optional(Qt::WaitCursor));
    }
}

QStringList Listed(const FileListBox* list) {
    QStringList names;
    for (int i = 0; i < list->ListCount(); ++i) {
        names << list->List(i);
    }
    return names;
}

// A drawing whose outer rows and columns hold content, w by h.
QStringList Solid(int w, int h) {
    return QStringList(h, QString(w, QLatin1Char('3')));
}

}  // namespace

class HostileWindowTest : public QObject, private CaseFolders {
    Q_OBJECT

    QString SettingsFile() const { return tmp_.path() + "/settings/Tavrel/Tavrel.conf"; }

  private Q_SLOTS:
    void initTestCase() {
        QVERIFY(PrepareFolders());
        QDir::setCurrent(tmp_.path());
    }

    void init() { StoreFolders(QString(), QString()); }

    void aFolderRemovedWhileShownThenF5ThenAConversionIntoIt() {
        const QString dir = Fresh();
        WriteBitmap(dir + "/bmp/logo.bmp", 4, 4, kBlackRgb);
        WriteButton(dir + "/btn/pic.BTN", {"33", "33"});
        StoreFolders(dir + "/bmp", dir + "/btn");
        Started s(Fresh());
        FrmMain& w = *s.w;
        QVERIFY(s.Tick());

        // The button folder goes; F5 empties its list without a message.
        QVERIFY(QDir(dir + "/btn").removeRecursively());
        QTest::keyClick(w.fileBMP, Qt::Key_F5);
        QCOMPARE(w.fileButtons->ListCount(), 0);
        QCOMPARE(w.fileBMP->FileName(), QStringLiteral("logo.bmp"));
        QVERIFY(s.boxes->shown.isEmpty());

        // Converting into it: the save message, Retry asks again, Cancel
        // ends it; the folder is not made again and nothing is written.
        s.boxes->Answer({Answer::Retry, Answer::Cancel});
        Click(w.cmdToButton);
        ExpectSaveMessages(*s.boxes, dir + "/btn/logo.Btn", 2, "No such file or directory");
        QVERIFY(!Exists(dir + "/btn"));
        QCOMPARE(w.fileButtons->ListCount(), 0);
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);

        // The same the other way: the button folder is back, the bitmap
        // folder goes.
        s.boxes->shown.clear();
        WriteButton(dir + "/btn/pic.BTN", {"33", "33"});
        QVERIFY(QDir(dir + "/bmp").removeRecursively());
        QTest::keyClick(w.dirButtons, Qt::Key_F5);
        QCOMPARE(w.fileBMP->ListCount(), 0);
        QCOMPARE(w.fileButtons->FileName(), QStringLiteral("pic.BTN"));
        Click(w.cmdToBMP);
        ExpectSaveMessages(*s.boxes, dir + "/bmp/pic.bmp", 1, "No such file or directory");
        QVERIFY(!Exists(dir + "/bmp"));

        QCOMPARE(Entries(dir + "/btn"), QStringList{"pic.BTN"});

        // The program goes on: the folder comes back, and converting works.
        s.boxes->shown.clear();
        WriteBitmap(dir + "/bmp/logo.bmp", 4, 4, kBlackRgb);
        QTest::keyClick(w.fileButtons, Qt::Key_F5);
        Click(w.cmdToButton);
        QCOMPARE(Entries(dir + "/btn"), (QStringList{"logo.Btn", "pic.BTN"}));
        QCOMPARE(w.fileButtons->FileName(), QStringLiteral("logo.Btn"));
        Click(w.cmdToBMP);
        QCOMPARE(Entries(dir + "/bmp"), QStringList{"logo.bmp"});
        QCOMPARE(w.fileBMP->FileName(), QStringLiteral("logo.bmp"));
        QVERIFY(s.boxes->shown.isEmpty());
    }

    void aTargetFolderThatCannotBeWritten() {
        const QString dir = Fresh();
        WriteBitmap(dir + "/bmp/logo.bmp", 4, 4, kBlackRgb);
        QVERIFY(QDir().mkpath(dir + "/btn"));
        StoreFolders(dir + "/bmp", dir + "/btn");
        Started s(Fresh());
        FrmMain& w = *s.w;
        QVERIFY(s.Tick());

        // A file stands where the shown folder was: it is not touched.
        QVERIFY(QDir(dir + "/btn").removeRecursively());
        WriteFile(dir + "/btn", "a file, not a folder");
        Click(w.cmdToButton);
        ExpectSaveMessages(*s.boxes, dir + "/btn/logo.Btn", 1, "Not a directory");
        QCOMPARE(ReadAll(dir + "/btn"), QByteArray("a file, not a folder"));

        // A folder without write permission. Root writes anyway, so this
        // part runs only for other users.
        if (::geteuid() != 0) {
            s.boxes->shown.clear();
            QFile::remove(dir + "/btn");
            QVERIFY(QDir().mkpath(dir + "/btn"));
            QVERIFY(::chmod(QFile::encodeName(dir + "/btn").constData(), 0555) == 0);
            Click(w.cmdToButton);
            ::chmod(QFile::encodeName(dir + "/btn").constData(), 0755);
            ExpectSaveMessages(*s.boxes, dir + "/btn/logo.Btn", 1, "Permission denied");
            QCOMPARE(Entries(dir + "/btn"), QStringList());
        }
        QVERIFY(w.isVisible());
    }

    void aFullDiskFailsTheSaveAndKeepsTheOldFile() {
        const QString dir = Fresh();
        // Both outputs run to tens of kilobytes; the disk takes 4 KiB.
        WriteButton(dir + "/btn/big.BTN", Solid(150, 100));
        QImage image(160, 160, QImage::Format_RGB32);
        image.fill(kWhiteRgb);
        for (int y = 1; y < 159; ++y) {
            for (int x = 1; x < 159; ++x) {
                image.setPixel(x, y, kBlackRgb);
            }
        }
        QVERIFY(QDir().mkpath(dir + "/bmp"));
        QVERIFY(image.save(dir + "/bmp/big.bmp", "BMP"));
        StoreFolders(dir + "/bmp", dir + "/btn");
        Started s(Fresh());
        FrmMain& w = *s.w;
        QVERIFY(s.Tick());
        QCOMPARE(w.ButtonCols(), 150);
        const QByteArray oldBitmap = ReadAll(dir + "/bmp/big.bmp");
        const QStringList bmpEntries = Entries(dir + "/bmp");
        const QStringList btnEntries = Entries(dir + "/btn");

        // To BMP replaces big.bmp, which the user has: the write stops at
        // the limit.
        s.boxes->Answer({Answer::Retry, Answer::Cancel});
        WithFileSizeLimit(4096, [&] { Click(w.cmdToBMP); });
        ExpectSaveMessages(*s.boxes, dir + "/bmp/big.bmp", 2, "File too large");
        QCOMPARE(ReadAll(dir + "/bmp/big.bmp"), oldBitmap);
        QCOMPARE(Entries(dir + "/bmp"), bmpEntries);  // no temporary file left
        QCOMPARE(w.fileBMP->FileName(), QStringLiteral("big.bmp"));

        // To Button replaces big.BTN (its own source) the same way.
        s.boxes->shown.clear();
        const QByteArray oldDrawing = ReadAll(dir + "/btn/big.BTN");
        WithFileSizeLimit(4096, [&] { Click(w.cmdToButton); });
        ExpectSaveMessages(*s.boxes, dir + "/btn/big.BTN", 1, "File too large");
        QCOMPARE(ReadAll(dir + "/btn/big.BTN"), oldDrawing);
        QCOMPARE(Entries(dir + "/btn"), btnEntries);
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);

        // With room again, the same conversion goes through.
        s.boxes->shown.clear();
        Click(w.cmdToButton);
        QVERIFY(s.boxes->shown.isEmpty());
        QCOMPARE(ReadAll(dir + "/btn/big.BTN").count('\n'), 158);
    }

    void brokenSettingsStartOnTheFallbackFolders() {
        const QString home = QDir::homePath();
        const auto startAndClose = [&](bool written) {
            Started s(Fresh());
            QCOMPARE(s.w->dirBMP->Path(), home);
            QCOMPARE(s.w->dirButtons->Path(), home);
            QVERIFY(s.Tick());
            QVERIFY(s.w->close());
            QVERIFY(!s.w->isVisible());
            QVERIFY(s.boxes->shown.isEmpty());
            if (written) {
                QSettings stored = StoredSettings();
                QCOMPARE(stored.value("Directory/BMP").toString(), home);
                QCOMPARE(stored.value("Directory/Buttons").toString(), home);
            }
        };

        // Garbage bytes, among them a section that never closes and a key
        // naming a folder that is not there.
        QByteArray garbage;
        for (int i = 0; i < 2000; ++i) {
            garbage.append(char((i * 151 + 13) % 256));
        }
        garbage.append(QByteArray("\n[Directory\nBMP=/no/such/folder\n\0\xff[", 36));
        WriteFile(SettingsFile(), garbage);
        startAndClose(true);

        // Folders that no longer exist.
        const QString dir = Fresh();
        StoreFolders(dir + "/gone", dir + "/gone too");
        startAndClose(true);

        // A folder standing where the file belongs: nothing can be read or
        // written, and the window still starts and closes.
        QFile::remove(SettingsFile());
        QVERIFY(QDir().mkpath(SettingsFile()));
        startAndClose(false);
        QVERIFY(QFileInfo(SettingsFile()).isDir());
        QVERIFY(QDir(SettingsFile()).removeRecursively());

        // A file without read permission. Root reads anyway, so this part
        // runs only for other users.
        if (::geteuid() != 0) {
            // Written past QSettings, whose cache would otherwise answer.
            WriteFile(SettingsFile(), "[Directory]\nBMP=" + QFile::encodeName(dir) +
                                          "\nButtons=" + QFile::encodeName(dir) + "\n");
            QVERIFY(::chmod(QFile::encodeName(SettingsFile()).constData(), 0) == 0);
            startAndClose(false);
            ::chmod(QFile::encodeName(SettingsFile()).constData(), 0644);
        }
    }

    void filesThatVanishOrChangeUnderThePanes() {
        const QString dir = Fresh();
        for (const char* n : {"a", "b", "c"}) {
            WriteBitmap(dir + "/" + n + ".bmp", 3, 3, kBlackRgb);
            WriteButton(dir + "/" + n + ".BTN", {"33", "33"});
        }
        QVERIFY(::mkfifo(QFile::encodeName(dir + "/pipe.BTN").constData(), 0600) == 0);
        QVERIFY(::mkfifo(QFile::encodeName(dir + "/pipe.bmp").constData(), 0600) == 0);
        StoreFolders(dir, dir);
        Started s(Fresh());
        FrmMain& w = *s.w;
        QVERIFY(s.Tick());
        // FIFOs named like the panes' files are not listed.
        QCOMPARE(Listed(w.fileBMP), (QStringList{"a.bmp", "b.bmp", "c.bmp"}));
        QCOMPARE(Listed(w.fileButtons), (QStringList{"a.BTN", "b.BTN", "c.BTN"}));
        QCOMPARE(Pixel(w.picButtons, 1, 1), kBlackRgb);

        // A button file gone between listing and preview: the open message;
        // Cancel leaves a blank preview and the last drawing's size.
        QVERIFY(QFile::remove(dir + "/b.BTN"));
        w.fileButtons->SetSelected(1);
        QCOMPARE(s.boxes->shown.size(), 1);
        QCOMPARE(s.boxes->shown[0].text, QStringLiteral("Unable to open file ") + dir + "/b.BTN" +
                                             QChar(13) + "Error: No such file or directory");
        QCOMPARE(s.boxes->shown[0].title, QStringLiteral("File open error"));
        QVERIFY(s.boxes->shown[0].retryCancel);
        QCOMPARE(s.boxes->shown[0].pointer, std::optional(Qt::WaitCursor));
        QCOMPARE(Pixel(w.picButtons, 1, 1), kWhiteRgb);
        QCOMPARE(w.ButtonRows(), 2);

        // A FIFO put in a listed file's place is refused at once, never
        // waited on.
        s.boxes->shown.clear();
        QVERIFY(QFile::remove(dir + "/c.BTN"));
        QVERIFY(::mkfifo(QFile::encodeName(dir + "/c.BTN").constData(), 0600) == 0);
        w.fileButtons->SetSelected(2);
        QCOMPARE(s.boxes->shown.size(), 1);
        QCOMPARE(s.boxes->shown[0].text, QStringLiteral("Unable to open file ") + dir + "/c.BTN" +
                                             QChar(13) + "Error: Not a regular file");

        // A bitmap gone, or turned into a FIFO: a blank preview, no message.
        s.boxes->shown.clear();
        QCOMPARE(Pixel(w.picBMP, 1, 1), kBlackRgb);
        QVERIFY(QFile::remove(dir + "/b.bmp"));
        w.fileBMP->SetSelected(1);
        QVERIFY(w.picBMP->Surface().Picture().isNull());
        QCOMPARE(Pixel(w.picBMP, 1, 1), kWhiteRgb);
        w.fileBMP->SetSelected(0);
        QCOMPARE(Pixel(w.picBMP, 1, 1), kBlackRgb);
        QVERIFY(QFile::remove(dir + "/c.bmp"));
        QVERIFY(::mkfifo(QFile::encodeName(dir + "/c.bmp").constData(), 0600) == 0);
        w.fileBMP->SetSelected(2);
        QVERIFY(w.picBMP->Surface().Picture().isNull());
        QVERIFY(s.boxes->shown.isEmpty());
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
        QVERIFY(w.isVisible());
    }

    void badButtonFilesAreReportedUnderTheHourglass() {
        const QString dir = Fresh();
        WriteButton(dir + "/a.BTN", {"3"});
        WriteButton(dir + "/b.BTN", {"01x3", "0000"});
        WriteButton(dir + "/c.BTN", {QString(32765, QLatin1Char('3'))});
        WriteButton(dir + "/d.BTN", Solid(2, 1001));
        StoreFolders(dir, dir);
        Started s(Fresh());
        FrmMain& w = *s.w;
        QVERIFY(s.Tick());
        QVERIFY(s.boxes->shown.isEmpty());
        // Each message is the core's, shown while the preview holds the
        // hourglass; the program goes on.
        const QStringList expected = {
            QStringLiteral("Unknown button value : ( 3, 1)x"),
            QStringLiteral("Unable to draw file ") + dir + "/c.BTN" + QChar(13) +
                "Error: a row holds more than 32764 pixels",
            QStringLiteral("Only the first 1000 rows of ") + dir + "/d.BTN are read",
        };
        for (int i = 1; i <= 3; ++i) {
            s.boxes->shown.clear();
            w.fileButtons->SetSelected(i);
            QCOMPARE(s.boxes->shown.size(), 1);
            QCOMPARE(s.boxes->shown[0].text, expected[i - 1]);
            QCOMPARE(s.boxes->shown[0].title, QStringLiteral("Tavrel"));
            QVERIFY(!s.boxes->shown[0].retryCancel);
            QCOMPARE(s.boxes->shown[0].pointer, std::optional(Qt::WaitCursor));
            QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
        }
        // The tall file is drawn as far as it is read.
        QCOMPARE(w.ButtonRows(), 1000);
        QCOMPARE(Pixel(w.picButtons, 1, 1), kBlackRgb);
        QVERIFY(w.isVisible());
        QVERIFY(w.close());
        QCOMPARE(StoredSettings().value("Directory/Buttons").toString(), dir);
    }
};

QTEST_MAIN(HostileWindowTest)
#include "hostile_window_test.moc"
