// The two arrow commands on real folders: names, folders, replacing, the
// case rule, the save error, no selection, and the round trip through both.

#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <unistd.h>

#include <utility>

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

// A drawing whose outer rows and columns are content, so that both
// conversions keep every row and column.
const QStringList kLogo = {"3333", "3120", "0213", "3333"};

QString ButtonText(const QStringList& rows) {
    QString text;
    for (int i = 0; i < rows.size(); ++i) {
        text += QStringLiteral("%1:%2\r\n").arg(i, 5, 10, QLatin1Char('0')).arg(rows[i]);
    }
    return text;
}

// The pixel rows of a bitmap as button characters.
QStringList Levels(const QImage& image) {
    QStringList rows;
    for (int y = 0; y < image.height(); ++y) {
        QString row;
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            row += p == kWhiteRgb   ? '0'
                   : p == kLightRgb ? '1'
                   : p == kDarkRgb  ? '2'
                   : p == kBlackRgb ? '3'
                                    : '?';
        }
        rows << row;
    }
    return rows;
}

void Click(QPushButton* button) {
    QTest::mouseClick(button, Qt::LeftButton);
}

}  // namespace

class CommandsTest : public QObject, private CaseFolders {
    Q_OBJECT

  private Q_SLOTS:
    void initTestCase() {
        QVERIFY(PrepareFolders());
        QDir::setCurrent(tmp_.path());
    }

    void toBmpWritesTheDrawingIntoTheBitmapFolderAndSelectsIt_data() {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("written");
        QTest::newRow("upper-case extension") << "logo.BTN"
                                              << "logo.bmp";
        QTest::newRow("lower-case extension") << "logo.btn"
                                              << "logo.bmp";
        QTest::newRow("only the last four dropped") << "x.y.Btn"
                                                    << "x.y.bmp";
    }
    void toBmpWritesTheDrawingIntoTheBitmapFolderAndSelectsIt() {
        QFETCH(QString, source);
        QFETCH(QString, written);
        const QString dir = Fresh();
        // A white border round the drawing is cropped away.
        WriteButton(dir + "/btn/" + source, {"000000", "033330", "031200", "002130", "000000"});
        WriteBitmap(dir + "/bmp/Alpha.bmp", 2, 2, kBlackRgb);
        StoreFolders(dir + "/bmp", dir + "/btn");
        Started s(Fresh());
        FrmMain& w = *s.w;
        QVERIFY(s.Tick());
        QSignalSpy sourceClicks(w.fileButtons, &FileListBox::Click);

        Click(w.cmdToBMP);
        const QImage bitmap(dir + "/bmp/" + written);
        QCOMPARE(Levels(bitmap), (QStringList{"00000", "03333", "03120", "00213"}));
        QCOMPARE(w.fileBMP->ListCount(), 2);
        QCOMPARE(w.fileBMP->FileName(), written);
        QCOMPARE(w.picBMP->Surface().Picture().size(), QSize(5, 4));  // previewed
        // The source pane is not touched.
        QCOMPARE(w.fileButtons->FileName(), source);
        QCOMPARE(sourceClicks.count(), 0);
        QCOMPARE(Entries(dir + "/btn"), QStringList{source});
        QVERIFY(s.boxes->shown.isEmpty());
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
    }

    void toButtonWritesTheSelectedBitmapAndDrawsIt() {
        const QString dir = Fresh();
        WriteButton(dir + "/btn/a.BTN", {"3"});
        QImage image(6, 5, QImage::Format_RGB32);
        image.fill(kWhiteRgb);
        image.setPixel(2, 1, kBlackRgb);
        image.setPixel(3, 2, qRgb(200, 0, 0));      // red alone decides: "1"
        image.setPixel(4, 3, qRgb(100, 255, 255));  // "2"
        QVERIFY(QDir().mkpath(dir + "/bmp"));
        QVERIFY(image.save(dir + "/bmp/Logo.BMP", "BMP"));
        WriteBitmap(dir + "/bmp/z.bmp", 2, 2, kBlackRgb);
        StoreFolders(dir + "/bmp", dir + "/btn");
        Started s(Fresh());
        FrmMain& w = *s.w;
        QVERIFY(s.Tick());
        QCOMPARE(w.fileBMP->FileName(), QStringLiteral("Logo.BMP"));
        QSignalSpy sourceClicks(w.fileBMP, &FileListBox::Click);
        // The new file is selected, and so drawn, under the hourglass.
        QList<std::optional<Qt::CursorShape>> pointers;
        const auto spy = connect(w.fileButtons, &FileListBox::Click, this,
                                 [&] { pointers << OverridePointer(); });

        Click(w.cmdToButton);
        disconnect(spy);
        QCOMPARE(pointers, (QList<std::optional<Qt::CursorShape>>{Qt::WaitCursor}));
        QCOMPARE(ReadAll(dir + "/btn/Logo.Btn"), ButtonText({"300", "010", "002"}).toLatin1());
        QCOMPARE(w.fileButtons->FileName(), QStringLiteral("Logo.Btn"));
        QCOMPARE(w.ButtonRows(), 3);  // the new file is drawn
        QCOMPARE(w.ButtonCols(), 3);
        QCOMPARE(w.picButtons->Surface().Image().pixel(1, 1), kBlackRgb);
        QCOMPARE(w.fileBMP->FileName(), QStringLiteral("Logo.BMP"));
        QCOMPARE(sourceClicks.count(), 0);
        QVERIFY(s.boxes->shown.isEmpty());
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
    }

    void bothPanesOnOneFolderRoundTripThroughTheArrows() {
        const QString dir = Fresh();
        WriteButton(dir + "/logo.BTN", kLogo);
        StoreFolders(dir, dir);
        Started s(Fresh());
        FrmMain& w = *s.w;
        QVERIFY(s.Tick());
        QSignalSpy bmpClicks(w.fileBMP, &FileListBox::Click);
        QSignalSpy buttonClicks(w.fileButtons, &FileListBox::Click);

        // To BMP refreshes and selects in the bitmap list only.
        WriteButton(dir + "/new.BTN", {"3"});
        Click(w.cmdToBMP);
        QCOMPARE(Levels(QImage(dir + "/logo.bmp")),
                 (QStringList{"00000", "03333", "03120", "00213", "03333"}));
        QCOMPARE(w.fileBMP->FileName(), QStringLiteral("logo.bmp"));
        QCOMPARE(bmpClicks.count(), 1);
        QCOMPARE(buttonClicks.count(), 0);
        QCOMPARE(w.fileButtons->ListCount(), 1);  // new.BTN not read yet

        // To Button converts it back: the case rule replaces logo.BTN rather
        // than writing logo.Btn beside it, and the rows come back as they
        // were. It refreshes the button list only.
        WriteBitmap(dir + "/another.bmp", 2, 2, kBlackRgb);
        Click(w.cmdToButton);
        QCOMPARE(ReadAll(dir + "/logo.BTN"), ButtonText(kLogo).toLatin1());
        QCOMPARE(Entries(dir), (QStringList{"another.bmp", "logo.BTN", "logo.bmp", "new.BTN"}));
        QCOMPARE(w.fileButtons->FileName(), QStringLiteral("logo.BTN"));
        QCOMPARE(w.fileButtons->ListCount(), 2);
        QCOMPARE(w.fileBMP->ListCount(), 1);  // another.bmp not read
        QCOMPARE(bmpClicks.count(), 1);
        QCOMPARE(buttonClicks.count(), 1);
        QVERIFY(s.boxes->shown.isEmpty());
    }

    void theFileReplacedIsTheOneDifferingOnlyInCase() {
        const QString dir = Fresh();
        WriteButton(dir + "/btn/logo.btn", {"33", "33"});
        WriteButton(dir + "/btn/PIC.BTN", {"1"});
        WriteBitmap(dir + "/bmp/LOGO.BMP", 9, 9, qRgb(255, 0, 0));
        WriteBitmap(dir + "/bmp/pic.bmp", 3, 1, kBlackRgb);
        StoreFolders(dir + "/bmp", dir + "/btn");
        Started s(Fresh());
        FrmMain& w = *s.w;
        QVERIFY(s.Tick());
        QCOMPARE(w.fileBMP->FileName(), QStringLiteral("LOGO.BMP"));
        QCOMPARE(w.picBMP->Surface().Picture().size(), QSize(9, 9));
        QSignalSpy bmpClicks(w.fileBMP, &FileListBox::Click);

        // logo.bmp replaces LOGO.BMP, which keeps its name and is selected:
        // selected already, it is selected again and so previewed anew.
        Click(w.cmdToBMP);
        QCOMPARE(Entries(dir + "/bmp"), (QStringList{"LOGO.BMP", "pic.bmp"}));
        QCOMPARE(QImage(dir + "/bmp/LOGO.BMP").size(), QSize(3, 3));
        QCOMPARE(w.fileBMP->FileName(), QStringLiteral("LOGO.BMP"));
        QCOMPARE(bmpClicks.count(), 1);
        QCOMPARE(w.picBMP->Surface().Picture().size(), QSize(3, 3));
        // pic.Btn replaces PIC.BTN.
        w.fileBMP->SetSelected(1);
        Click(w.cmdToButton);
        QCOMPARE(Entries(dir + "/btn"), (QStringList{"PIC.BTN", "logo.btn"}));
        QCOMPARE(ReadAll(dir + "/btn/PIC.BTN"), ButtonText({"333"}).toLatin1());
        QCOMPARE(w.fileButtons->FileName(), QStringLiteral("PIC.BTN"));

        // Near twins that both exist already: the exact spelling is written
        // and selected, though its twin comes first in the list.
        WriteBitmap(dir + "/bmp/logo.bmp", 4, 4, kBlackRgb);
        const QByteArray twin = ReadAll(dir + "/bmp/LOGO.BMP");
        w.fileButtons->SetSelected(0);  // logo.btn
        Click(w.cmdToBMP);
        QCOMPARE(ReadAll(dir + "/bmp/LOGO.BMP"), twin);
        QCOMPARE(QImage(dir + "/bmp/logo.bmp").size(), QSize(3, 3));
        QCOMPARE(w.fileBMP->List(0), QStringLiteral("LOGO.BMP"));
        QCOMPARE(w.fileBMP->FileName(), QStringLiteral("logo.bmp"));
        QVERIFY(s.boxes->shown.isEmpty());
    }

    void aFailedSaveAsksRetryOrCancel() {
        const QString dir = Fresh();
        WriteButton(dir + "/btn/logo.BTN", {"3"});
        WriteBitmap(dir + "/bmp/Alpha.bmp", 2, 2, kBlackRgb);
        // A folder where the bitmap should go: the save fails, also for root.
        QVERIFY(QDir().mkpath(dir + "/bmp/logo.bmp"));
        StoreFolders(dir + "/bmp", dir + "/btn");
        Started s(Fresh());
        FrmMain& w = *s.w;
        QVERIFY(s.Tick());
        QSignalSpy clicks(w.fileBMP, &FileListBox::Click);
        // Retry asks again; Cancel ends the command with nothing refreshed.
        s.boxes->Answer({Answer::Retry, Answer::Cancel});
        WriteBitmap(dir + "/bmp/Beta.bmp", 2, 2, kBlackRgb);
        Click(w.cmdToBMP);
        QCOMPARE(s.boxes->shown.size(), 2);
        const QString prefix = QStringLiteral("Unable to save file ") + dir + "/bmp/logo.bmp" +
                               QChar(13) + QStringLiteral("Error: ");
        for (const auto& box : s.boxes->shown) {
            QVERIFY2(box.text.startsWith(prefix) && box.text.size() > prefix.size(),
                     qPrintable(box.text));
            QCOMPARE(box.title, QStringLiteral("File save error"));
            QVERIFY(box.retryCancel);
            QCOMPARE(box.pointer, std::optional(Qt::WaitCursor));  // the hourglass stays up
        }
        QCOMPARE(w.fileBMP->ListCount(), 1);  // Beta.bmp not read
        QCOMPARE(w.fileBMP->FileName(), QStringLiteral("Alpha.bmp"));
        QCOMPARE(clicks.count(), 0);
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);

        // Retry once the way is clear saves, refreshes and selects.
        s.boxes->shown.clear();
        s.boxes->Answer({Answer::Retry});
        s.boxes->OnRetryCancel([&] { QDir(dir + "/bmp/logo.bmp").removeRecursively(); });
        // The new file is selected, and so previewed, under the hourglass.
        QList<std::optional<Qt::CursorShape>> pointers;
        const auto spy =
            connect(w.fileBMP, &FileListBox::Click, this, [&] { pointers << OverridePointer(); });
        Click(w.cmdToBMP);
        disconnect(spy);
        QCOMPARE(pointers, (QList<std::optional<Qt::CursorShape>>{Qt::WaitCursor}));
        QCOMPARE(s.boxes->shown.size(), 1);
        QCOMPARE(QImage(dir + "/bmp/logo.bmp").size(), QSize(2, 2));
        QCOMPARE(w.fileBMP->FileName(), QStringLiteral("logo.bmp"));
        QCOMPARE(w.fileBMP->ListCount(), 3);
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
    }

    void withoutASelectionOrContentNothingIsWritten() {
        const QString dir = Fresh();
        QDir().mkpath(dir + "/bmp");
        QDir().mkpath(dir + "/btn");
        StoreFolders(dir + "/bmp", dir + "/btn");
        Started s(Fresh());
        FrmMain& w = *s.w;
        QVERIFY(s.Tick());

        // Empty lists, then listed files with none selected: nothing shown.
        Click(w.cmdToBMP);
        Click(w.cmdToButton);
        WriteButton(dir + "/btn/blank.BTN", {"000", "000"});
        WriteBitmap(dir + "/bmp/white.bmp", 4, 4, kWhiteRgb);
        w.fileBMP->Refresh();
        w.fileButtons->Refresh();
        QCOMPARE(w.fileButtons->FileName(), QString());
        Click(w.cmdToBMP);
        Click(w.cmdToButton);
        QVERIFY(s.boxes->shown.isEmpty());

        // Selected, but blank: the message, and still nothing written.
        w.fileBMP->SetSelected(0);
        w.fileButtons->SetSelected(0);
        Click(w.cmdToBMP);
        Click(w.cmdToButton);
        QCOMPARE(Entries(dir + "/bmp"), QStringList{"white.bmp"});
        QCOMPARE(Entries(dir + "/btn"), QStringList{"blank.BTN"});
        QCOMPARE(s.boxes->shown.size(), 2);
        for (const auto& box : s.boxes->shown) {
            QCOMPARE(box.text, QStringLiteral("Nothing to convert: the image has no content"));
            QCOMPARE(box.title, QStringLiteral("Tavrel"));
            QVERIFY(!box.retryCancel);
            QCOMPARE(box.pointer, std::optional(Qt::WaitCursor));
        }
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
    }

    void aDrawingWiderThanItsBoxIsConvertedWhole() {
        const QString dir = Fresh();
        const QString wide = QString(400, QLatin1Char('3'));
        WriteButton(dir + "/btn/wide.BTN", {wide, wide});
        WriteBitmap(dir + "/bmp/a.bmp", 600, 60, kBlackRgb);
        StoreFolders(dir + "/bmp", dir + "/btn");
        Started s(Fresh());
        FrmMain& w = *s.w;
        QVERIFY(s.Tick());
        QVERIFY(w.picButtons->width() < 400);
        // A bitmap converted first must not show through into the next
        // conversion to a bitmap.
        Click(w.cmdToButton);
        QCOMPARE(w.fileButtons->FileName(), QStringLiteral("a.Btn"));
        w.fileButtons->SetSelected(1);
        QCOMPARE(w.ButtonCols(), 400);
        Click(w.cmdToBMP);
        const QImage written(dir + "/bmp/wide.bmp");
        QCOMPARE(written.size(), QSize(401, 3));
        QCOMPARE(Levels(written).last(), "0" + wide);
        QVERIFY(s.boxes->shown.isEmpty());
    }

    void aRootFolderJoinsWithOneSlash() {
        // A doubled slash names the same file, so the join shows only in the
        // paths the messages report. Folders where the outputs would go, and
        // a link to a file that is no picture, make the conversions fail in
        // the root folder; nothing is written into it.
        if (::access("/", W_OK) != 0) {
            QSKIP("the root folder is not writable here");
        }
        const QString name = QStringLiteral("tavrel-commands-test-%1").arg(::getpid());
        const QString root = "/" + name;
        struct Cleanup {
            QString root;
            ~Cleanup() {
                QDir().rmdir(root + ".bmp");
                QFile::remove(root + ".bmp");  // the link only
                QDir().rmdir(root + ".Btn");
            }
        } cleanup{root};
        const QString dir = Fresh();
        WriteButton(dir + "/btn/" + name + ".BTN", {"3"});
        WriteBitmap(dir + "/bmp/" + name + ".bmp", 3, 3, kBlackRgb);
        WriteFile(dir + "/not-a-picture", "text");
        StoreFolders(dir + "/bmp", dir + "/btn");
        Started s(Fresh());
        FrmMain& w = *s.w;
        QVERIFY(s.Tick());
        QVERIFY(QDir().mkdir(root + ".bmp"));
        QVERIFY(QDir().mkdir(root + ".Btn"));
        // Nothing when the last command showed just one message, with title,
        // whose text starts with what, CR, "Error: "; else what it showed.
        const auto unlike = [&](const QString& title, const QString& what) {
            const auto shown = std::exchange(s.boxes->shown, {});
            const QString prefix = what + QChar(13) + QStringLiteral("Error: ");
            if (shown.size() == 1 && shown[0].title == title && shown[0].text.startsWith(prefix)) {
                return QString();
            }
            QStringList lines;
            for (const auto& box : shown) {
                lines << box.title + ": " + box.text;
            }
            return lines.join(QStringLiteral(" / "));
        };

        // To BMP into the root folder.
        QVERIFY(w.dirBMP->SetPath("/"));
        QCOMPARE(w.fileBMP->Path(), QStringLiteral("/"));
        Click(w.cmdToBMP);
        QCOMPARE(unlike("File save error", "Unable to save file " + root + ".bmp"), QString());

        // To Button into the root folder.
        QVERIFY(w.dirBMP->SetPath(dir + "/bmp"));
        QVERIFY(w.dirButtons->SetPath("/"));
        QCOMPARE(w.fileBMP->FileName(), name + ".bmp");
        Click(w.cmdToButton);
        QCOMPARE(unlike("File save error", "Unable to save file " + root + ".Btn"), QString());

        // To Button from the root folder: a listed bitmap that does not load.
        QVERIFY(QDir().rmdir(root + ".bmp"));
        QVERIFY(QFile::link(dir + "/not-a-picture", root + ".bmp"));
        QVERIFY(w.dirBMP->SetPath("/"));
        const auto found = w.fileBMP->findItems(name + ".bmp", Qt::MatchExactly);
        QCOMPARE(found.size(), 1);
        w.fileBMP->SetSelected(w.fileBMP->row(found[0]));
        Click(w.cmdToButton);
        QCOMPARE(unlike("File load error", "Unable to load file " + root + ".bmp"), QString());
    }
};

QTEST_MAIN(CommandsTest)
#include "commands_test.moc"
