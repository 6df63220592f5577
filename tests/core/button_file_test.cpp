// The button file reader's record rules and limits, and drawing a file.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "button_format/button_format.h"
#include "conversion/button_file.h"
#include "conversion/button_render.h"
#include "tests/support/scripted_message_boxes.h"
#include "tests/support/test_files.h"

namespace tavrel {
namespace {

class ButtonFileTest : public ::testing::Test {
  protected:
    // The count ReadButtonFile returns, then the rows it leaves, joined by "|".
    QByteArray Read(const QByteArray& file, ButtonFileRows rows = {"keep"}) {
        testing::WriteAll(path_, file);
        const int n = ReadButtonFile(path_, rows, boxes_, &notes_);
        return QByteArray::number(n) + ": " + rows.join('|');
    }
    // Drawing a file over a black one: the result, the counts, the top-left
    // pixels as levels ("blank" if all white), and any message.
    QString Draw(const QByteArray& file) {
        testing::WriteAll(path_, testing::ButtonText({"333333", "333333", "333333"}));
        ButtonSize size;
        DrawButtonFile(path_, box_, boxes_, size);
        testing::WriteAll(path_, file);
        const int result = static_cast<int>(DrawButtonFile(path_, box_, boxes_, size));
        const QStringList pixels = testing::Levels(box_.Image());
        QString text =
            QStringList{"Drawn", "NothingRead", "UnknownValue", "TooWide"}.value(result) +
            QString(" %1x%2 ").arg(size.rows).arg(size.cols) +
            (pixels == QStringList(30, QString(40, '0'))
                 ? QString("blank")
                 : testing::Levels(box_.Image().copy(0, 0, 6, 4)).join('|'));
        for (const auto& shown : std::exchange(boxes_.shown, {})) {
            text += " [" + shown.title + (shown.retryCancel ? ", Retry Cancel] " : "] ") +
                    QString(shown.text).replace(path_, "PATH");
        }
        return text;
    }

    QTemporaryDir dir_;
    const QString path_ = dir_.filePath("b.BTN");
    testing::ScriptedMessageBoxes boxes_;
    ReadNotes notes_;
    PictureSurface box_{0, false};
};

TEST_F(ButtonFileTest, ReaderRecordRules) {
    // 642 lines of 102 bytes, then a record whose CR ends the first 64 KiB.
    const QByteArray chunk =
        ("00000:" + QByteArray(94, '1') + "\r\n").repeated(642) + "00000:" + QByteArray(45, '2');
    const QByteArray nul = QByteArray("00000:1") + '\0' + "2\r\n";
    const struct {
        const char* why;
        QByteArray file, rows;
    } cases[] = {
        {"CR LF lines lose six characters", "00000:0123\r\n00007:3\r\n", "2: 0123|3"},
        {"LF, CR, mixed, none at the end", "00000:01\n00001:2\r00002:3\r\n00003:0", "4: 01|2|3|0"},
        {"six characters or fewer give an empty row", "xx\r\n00000:\r\n", "2: |"},
        {"a blank line is a row", "00000:1\r\n\r\n00001:2\r\n", "3: 1||2"},
        {"a comma ends a record", "00000:12,3\r\n", "2: 12|"},
        {"the text after a last comma is a record", "00000:1,", "2: 1|"},
        {"blanks before a record are skipped", "  00000:1 2 \r\n", "1: 1 2 "},
        {"quotes are ordinary characters", "00000:\"1,2345678\"\r\n", "2: \"1|8\""},
        {"a NUL is a character", nul, nul.mid(6, 3).prepend("1: ")},
        {"a byte-order mark is no part of it", QByteArray("\xEF\xBB\xBF") + "00000:3\r\n", "1: 3"},
        {"a CR LF across two chunks is one line end", chunk + "\r\n00001:3\r\n",
         "644: " + (QByteArray(94, '1') + "|").repeated(642) + QByteArray(45, '2') + "|3"},
        {"an empty file leaves the rows", "", "0: keep"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Read(c.file), c.rows) << c.why;
        // Fed a byte at a time, as an incremental loader may be, the same rows.
        btn::Reader reader;
        for (const char byte : c.file) {
            reader.Feed(&byte, 1);
        }
        reader.Finish();
        QByteArrayList rows;
        for (const std::string& row : reader.Rows()) {
            rows.append(QByteArray::fromStdString(row));
        }
        EXPECT_EQ(QByteArray::number(reader.RowCount()) + ": " + rows.join('|'),
                  reader.RowCount() == 0 ? "0: " : c.rows)
            << c.why;
    }
    ButtonFileRows rows{"keep"};  // a file that cannot be opened, answered Cancel, likewise
    EXPECT_EQ(ReadButtonFile(dir_.filePath("gone"), rows, boxes_), 0);
    EXPECT_EQ(rows.join() + boxes_.shown.value(0).title, "keepFile open error");
    // A read that fails part-way (address 0 of its own memory) is no end of the file.
    EXPECT_EQ(ReadButtonFile("/proc/self/mem", rows, boxes_), 0);
    EXPECT_EQ(rows.join() + boxes_.shown.value(1).text,
              "keepUnable to open file /proc/self/mem\rError: Input/output error");
}

TEST_F(ButtonFileTest, DrawsEachPixelOrSaysWhyNot) {
    box_.Move(0, 0, 40 * kTwipsPerPixel, 30 * kTwipsPerPixel);
    const QByteArray tall = QByteArray("00000:3\r\n").repeated(1200);
    const struct {
        const char* why;
        QByteArray file;
        QString drawn;
    } cases[] = {
        {"at its column and row from 1", "00000:0123\r\n00001:3210\r\n",
         "Drawn 2x4 000000|001230|032100|000000"},
        {"the first row fixes the width", "00000:33\r\n00001:3333\r\n",
         "Drawn 2x2 000000|033000|033000|000000"},
        {"an empty first row draws nothing", "00000:\r\n00001:123\r\n", "Drawn 2x0 blank"},
        {"the widest row", "00000:" + QByteArray(32764, '1'),
         "Drawn 1x32764 000000|011111|000000|000000"},
        {"the first 1000 rows", tall,
         "Drawn 1000x1 000000|030000|030000|030000 [Tavrel] Only the first 1000 rows of PATH are "
         "read"},
        {"1000 rows, all read", tall.left(9000), "Drawn 1000x1 000000|030000|030000|030000"},
        {"1000 rows, later ones longer than any drawing, all read",
         tall.left(9) + ("00001:" + QByteArray(40000, '3') + "\r\n").repeated(999),
         "Drawn 1000x1 000000|030000|030000|030000"},
        {"a comma after the 1000th row starts one more", tall.left(8998) + ",",
         "Drawn 1000x1 000000|030000|030000|030000 [Tavrel] Only the first 1000 rows of PATH are "
         "read"},
        {"an unknown character", "00000:0120\r\n00001:01x0\r\n",
         "UnknownValue 2x4 blank [Tavrel] Unknown button value : ( 3, 2)x"},
        {"a short row", "00000:333\r\n00001:33\r\n",
         "UnknownValue 2x3 blank [Tavrel] Unknown button value : ( 3, 2)"},
        {"an empty file", "", "NothingRead 3x6 blank"},
        {"a row too wide for the counters", "00000:" + QByteArray(32765, '3'),
         "TooWide 3x6 blank [Tavrel] Unable to draw file PATH\rError: a row holds more than 32764 "
         "pixels"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Draw(c.file), c.drawn) << c.why;
    }
}

}  // namespace
}  // namespace tavrel
