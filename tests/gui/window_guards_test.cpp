// The window under careless and hostile use: a conversion never replaces its
// own source, input given while it works is dropped, a file no longer listed
// is never converted, and a run without a home keeps nothing.

#include <QApplication>
#include <QDeadlineTimer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "gui_test_support.h"
#include "widgets/file_list_box.h"
#include "widgets/folder_list_box.h"
#include "widgets/hourglass.h"
#include "widgets/picture_box.h"
#include "widgets/qt_message_boxes.h"
#include "widgets/settings_store.h"

using namespace tavrel;
using namespace tavrel::testing;

namespace {

using Answer = MessageBoxes::Answer;

// Input for a widget, posted: it waits in the queue as a user's would, stamped
// as the window system stamps it, in milliseconds of the monotonic clock,
// given now or that many milliseconds later.
void Post(QWidget* widget, QInputEvent* input, qint64 later = 0) {
    input->setTimestamp(QDeadlineTimer::current().deadline() + later);
    QCoreApplication::postEvent(widget, input);
}

// A left click on button.
void PostClick(QPushButton* button, qint64 later = 0) {
    const QPointF at = button->rect().center();
    for (const QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        Post(button,
             new QMouseEvent(type, at, button->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                             Qt::NoModifier),
             later);
    }
}

}  // namespace

class WindowGuardsTest : public QObject, private CaseFolders {
    Q_OBJECT

  private Q_SLOTS:
    void initTestCase() { QVERIFY(PrepareFolders()); }

    void anOutputThatLeadsToTheSourceIsRefused() {
        const QString dir = Fresh();
        WriteBitmap(dir + "/bmp/alpha.bmp", 3, 3, kBlackRgb);
        WriteButton(dir + "/btn/one.BTN", {"33"});
        QVERIFY(QFile::link("../bmp/alpha.bmp", dir + "/btn/alpha.Btn"));
        QVERIFY(QFile::link("../btn/one.BTN", dir + "/bmp/one.bmp"));
        const QByteArray bitmap = ReadAll(dir + "/bmp/alpha.bmp");
        const QByteArray button = ReadAll(dir + "/btn/one.BTN");
        StoreFolders(dir + "/bmp", dir + "/btn");
        Started s(Fresh());
        FrmMain& w = *s.w;
        QVERIFY(s.Tick());
        const struct {
            FileListBox* list;
            int entry;
            QPushButton* arrow;
            QString output;
        } rows[] = {{w.fileBMP, 0, w.cmdToButton, dir + "/btn/alpha.Btn"},
                    {w.fileButtons, 1, w.cmdToBMP, dir + "/bmp/one.bmp"}};
        for (const auto& row : rows) {
            row.list->SetSelected(row.entry);
            s.boxes->shown.clear();
            s.boxes->Answer({Answer::Retry, Answer::Cancel});
            QTest::mouseClick(row.arrow, Qt::LeftButton);
            QCOMPARE(s.boxes->shown.size(), 2);
            for (const auto& box : s.boxes->shown) {
                QCOMPARE(box.text, "Unable to save file " + row.output + QChar(13) +
                                       "Error: this is the file being converted");
                QCOMPARE(box.title, QStringLiteral("File save error"));
                QVERIFY(box.retryCancel);
            }
        }
        QCOMPARE(ReadAll(dir + "/bmp/alpha.bmp"), bitmap);
        QCOMPARE(ReadAll(dir + "/btn/one.BTN"), button);
    }

    void onlyInputGivenWhileBusyIsDroppedAndNothingElseRunsMidChain() {
        const QString dir = Fresh();
        WriteBitmap(dir + "/bmp/big.bmp", 40, 30, kDarkRgb);
        WriteBitmap(dir + "/bmp/next.bmp", 2, 2, kDarkRgb);
        WriteButton(dir + "/btn/one.BTN", {"3"});
        StoreFolders(dir + "/bmp", dir + "/btn");
        Started s(Fresh());
        FrmMain& w = *s.w;
        QVERIFY(s.Tick());
        const QByteArray big = ReadAll(dir + "/bmp/big.bmp");
        // Down typed ahead in the bitmap list keeps its turn; the left arrow
        // clicked while To Button runs, when the window shows one.BTN, does not.
        Post(w.fileBMP, new QKeyEvent(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier), -1000);
        const auto clickedMeanwhile =
            connect(w.fileButtons, &FileListBox::Click, this, [&w] { PostClick(w.cmdToBMP); });
        QTest::mouseClick(w.cmdToButton, Qt::LeftButton);
        disconnect(clickedMeanwhile);
        QCoreApplication::processEvents();
        QCOMPARE(w.fileButtons->FileName() + " " + w.fileBMP->FileName(),
                 QStringLiteral("big.Btn next.bmp"));
        QCOMPARE(ReadAll(dir + "/bmp/big.bmp"), big);
        // A click given once the work is done acts.
        PostClick(w.cmdToBMP, 1);
        QCoreApplication::processEvents();
        QVERIFY(ReadAll(dir + "/bmp/big.bmp") != big);
        QVERIFY(s.boxes->shown.isEmpty());
        // F5 previews both first files in one go: nothing else runs between.
        bool ran = false;
        bool ranBetween = true;
        connect(w.fileBMP, &FileListBox::Click, this,
                [&ran] { QTimer::singleShot(0, [&ran] { ran = true; }); });
        connect(w.fileButtons, &FileListBox::Click, this, [&] { ranBetween = ran; });
        QTest::keyClick(w.fileBMP, Qt::Key_F5);
        QCoreApplication::processEvents();
        QVERIFY(ran && !ranBetween);
    }

    // Only presses are dropped: a button pressed before the work is released
    // while it runs, and a box shown meanwhile takes no press given before.
    void releasesPassAndABoxTakesNoEarlierPress() {
        QPushButton before, during;
        QTest::mousePress(&before, Qt::LeftButton);
        bool pressed = false;
        connect(&during, &QPushButton::pressed, this, [&pressed] { pressed = true; });
        QTimer closer;
        std::optional<Qt::CursorShape> pointer;  // over the box: the arrow, not the hourglass
        connect(&closer, &QTimer::timeout, this, [&pointer] {
            if (QWidget* box = QApplication::activeModalWidget()) {
                pointer = OverridePointer();
                box->close();
            }
        });
        closer.start(10);
        {
            const Hourglass hourglass;
            PostClick(&before);
            PostClick(&during);
            QtMessageBoxes().OkOnly("text", "title");
        }
        QVERIFY(!before.isDown());
        QVERIFY(!pressed);
        QCOMPARE(pointer, Qt::ArrowCursor);
    }

    void aFileNoLongerListedIsNotConverted() {
        const QString dir = Fresh();
        QVERIFY(QDir().mkpath(dir + "/bmp") && QDir().mkpath(dir + "/btn"));
        StoreFolders(dir + "/bmp", dir + "/btn");
        Started s(Fresh());
        FrmMain& w = *s.w;
        QVERIFY(s.Tick());
        // Files removed behind the window's back, then F5; files removed,
        // then a resize: the lists are empty, the previews keep what they show.
        for (const bool byResize : {false, true}) {
            WriteBitmap(dir + "/bmp/a.bmp", 3, 3, kBlackRgb);
            WriteButton(dir + "/btn/a.BTN", {"33", "33"});
            QTest::keyClick(w.fileBMP, Qt::Key_F5);
            QVERIFY(QFile::remove(dir + "/bmp/a.bmp") && QFile::remove(dir + "/btn/a.BTN"));
            if (byResize) {
                w.resize(w.width() + 20, w.height());
                QTRY_COMPARE(w.fileBMP->ListCount(), 0);
            } else {
                QTest::keyClick(w.dirButtons, Qt::Key_F5);
            }
            QCOMPARE(w.fileButtons->ListCount(), 0);
            QCOMPARE(Pixel(w.picBMP, 1, 1), kBlackRgb);
            QCOMPARE(Pixel(w.picButtons, 1, 1), kBlackRgb);
        }
        // Neither arrow has a file to convert.
        Click(w.cmdToBMP);
        Click(w.cmdToButton);
        QCOMPARE(Entries(dir + "/bmp") + Entries(dir + "/btn"), QStringList());
        QVERIFY(s.boxes->shown.isEmpty());
    }

    void aBadFirstButtonFileIsReportedOnceOverTheWindow() {
        const QString dir = Fresh();
        WriteButton(dir + "/btn/bad.BTN", {"3x"});
        StoreFolders(dir, dir + "/btn");
        Started s(Fresh());
        QVERIFY(s.boxes->shown.isEmpty());
        QVERIFY(s.Tick());
        QCOMPARE(s.boxes->shown.size(), 1);
        QCOMPARE(s.boxes->shown[0].text, QStringLiteral("Unknown button value : ( 2, 1)x"));
    }

    void withoutAHomeTheFoldersAreKeptForTheRunOnly() {
        const QByteArray home = qgetenv("HOME");
        const QByteArray config = qgetenv("XDG_CONFIG_HOME");
        StoreFolders(QString(), QString());
        qunsetenv("HOME");
        qunsetenv("XDG_CONFIG_HOME");
        SettingsStore store;
        QVERIFY(store.Write("Directory", "BMP", "/run/only"));
        const QString kept = store.Read("Directory", "BMP", "/");
        const QString stored = SettingsStore().Read("Directory", "BMP", "/");
        qputenv("HOME", home);
        qputenv("XDG_CONFIG_HOME", config);
        QCOMPARE(kept, QStringLiteral("/run/only"));
        QCOMPARE(stored, QStringLiteral("/"));
        QCOMPARE(StoredSettings().allKeys(), QStringList());
    }
};

QTEST_MAIN(WindowGuardsTest)
#include "window_guards_test.moc"
