#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <sys/stat.h>

#include "conversion/button_file.h"
#include "conversion/messages.h"
#include "tests/support/scripted_message_boxes.h"
#include "tests/support/test_files.h"

namespace tavrel {
namespace {

using testing::ScriptedMessageBoxes;
using Answer = MessageBoxes::Answer;

class ReadButtonFileTest : public ::testing::Test {
  protected:
    QString Write(const QByteArray& content, const QString& name = "b.BTN") {
        const QString path = dir_.filePath(name);
        testing::WriteAll(path, content);
        return path;
    }
    int Read(const QString& path, ButtonFileRows& rows, ReadNotes* notes = nullptr) {
        return ReadButtonFile(path, rows, boxes_, notes);
    }

    QTemporaryDir dir_;
    ScriptedMessageBoxes boxes_;
};

TEST_F(ReadButtonFileTest, DropsTheFirstSixCharactersAndKeepsFileOrder) {
    ButtonFileRows rows;
    EXPECT_EQ(Read(Write("00000:0123\r\n00007:3\r\nxx\r\n00000:\r\n99999:12,3\r\n"), rows), 6);
    // "99999:12,3" is two records; the second has fewer than seven characters.
    EXPECT_EQ(rows, (ButtonFileRows{"0123", "3", "", "", "12", ""}));
    EXPECT_TRUE(boxes_.shown.isEmpty());
}

TEST_F(ReadButtonFileTest, SingleEmptyRowAndLastLineWithoutLineEnd) {
    ButtonFileRows rows;
    EXPECT_EQ(Read(Write("00000:\r\n"), rows), 1);
    EXPECT_EQ(rows, (ButtonFileRows{""}));
    EXPECT_EQ(Read(Write("00000:12\r\n00001:33"), rows), 2);
    EXPECT_EQ(rows, (ButtonFileRows{"12", "33"}));
}

TEST_F(ReadButtonFileTest, EmptyFileReadsAsNoRowsAndLeavesTheArray) {
    ButtonFileRows rows{"keep"};
    EXPECT_EQ(Read(Write(""), rows), 0);
    EXPECT_EQ(rows, (ButtonFileRows{"keep"}));
    EXPECT_TRUE(boxes_.shown.isEmpty());
}

TEST_F(ReadButtonFileTest, ReadsAtMostAThousandRowsAndSaysSo) {
    QByteArray content;
    for (int i = 0; i < 1500; ++i) {
        content += "00000:" + QByteArray::number(i % 4) + "\r\n";
    }
    ButtonFileRows rows;
    ReadNotes notes;
    EXPECT_EQ(Read(Write(content), rows, &notes), 1000);
    EXPECT_TRUE(notes.truncated);
    EXPECT_EQ(rows.last(), "3");

    QByteArray exactly;
    for (int i = 0; i < 1000; ++i) {
        exactly += "00000:1\r\n";
    }
    EXPECT_EQ(Read(Write(exactly), rows, &notes), 1000);
    EXPECT_FALSE(notes.truncated);
}

TEST_F(ReadButtonFileTest, MissingFileAsksRetryThenReadsOnceItExists) {
    const QString path = dir_.filePath("late.BTN");
    boxes_.Answer({Answer::Retry});
    boxes_.OnRetryCancel([&] { testing::WriteAll(path, "00000:1\r\n"); });
    ButtonFileRows rows;
    EXPECT_EQ(Read(path, rows), 1);
    ASSERT_EQ(boxes_.shown.size(), 1);
    EXPECT_EQ(boxes_.shown[0].text,
              "Unable to open file " + path + QChar(13) + "Error: No such file or directory");
    EXPECT_EQ(boxes_.shown[0].title, "File open error");
    EXPECT_TRUE(boxes_.shown[0].retryCancel);
}

TEST_F(ReadButtonFileTest, CancelReturnsZeroAndLeavesTheArray) {
    ButtonFileRows rows{"keep"};
    boxes_.Answer({Answer::Retry, Answer::Cancel});
    EXPECT_EQ(Read(dir_.filePath("none.BTN"), rows), 0);
    EXPECT_EQ(boxes_.shown.size(), 2);  // Retry that fails again asks again
    EXPECT_EQ(rows, (ButtonFileRows{"keep"}));
}

TEST_F(ReadButtonFileTest, FoldersAndFifosAreRefusedAtOnce) {
    const QString folder = dir_.filePath("folder.BTN");
    ASSERT_TRUE(QDir().mkdir(folder));
    const QString fifo = dir_.filePath("pipe.BTN");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);

    ButtonFileRows rows;
    EXPECT_EQ(Read(folder, rows), 0);
    EXPECT_EQ(Read(fifo, rows), 0);  // would block forever if it were opened for reading
    ASSERT_EQ(boxes_.shown.size(), 2);
    EXPECT_TRUE(boxes_.shown[0].text.endsWith("Error: Is a directory"));
    EXPECT_TRUE(boxes_.shown[1].text.endsWith("Error: Not a regular file"));
    EXPECT_EQ(boxes_.shown[1].title, "File open error");
}

TEST(WriteButtonLine, NumbersRowsWithFiveDigitsAndEndsInCrLf) {
    SequentialOutput out;
    WriteButtonLine(out, 0, "0123", 4);
    WriteButtonLine(out, 42, "", 0);
    WriteButtonLine(out, 123456, "3", 1);
    EXPECT_EQ(out.Data(), "00000:0123\r\n00042:\r\n123456:3\r\n");
}

}  // namespace
}  // namespace tavrel
