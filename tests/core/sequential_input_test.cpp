#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "platform/sequential_file.h"
#include "tests/support/test_files.h"

namespace tavrel {
namespace {

QList<QByteArray> Records(const QByteArray& content) {
    QTemporaryDir dir;
    const QString path = dir.filePath("f.txt");
    testing::WriteAll(path, content);
    SequentialInput input;
    QString error;
    EXPECT_TRUE(input.Open(path, &error)) << error.toStdString();
    QList<QByteArray> records;
    QByteArray record;
    while (!input.AtEnd() && input.ReadRecord(&record)) {
        records.append(record);
    }
    EXPECT_FALSE(input.Failed());
    return records;
}

using Recs = QList<QByteArray>;

TEST(SequentialInput, LineEndsOfEveryKindEndARecord) {
    EXPECT_EQ(Records("a\r\nb\r\n"), (Recs{"a", "b"}));
    EXPECT_EQ(Records("a\nb\n"), (Recs{"a", "b"}));
    EXPECT_EQ(Records("a\rb\r"), (Recs{"a", "b"}));
    EXPECT_EQ(Records("a\rb\nc\r\nd"), (Recs{"a", "b", "c", "d"}));
}

TEST(SequentialInput, FinalLineEndAddsNoRecordButBlankLinesAndCommasDo) {
    EXPECT_EQ(Records("a"), (Recs{"a"}));
    EXPECT_EQ(Records("a\r\n\r\nb\r\n"), (Recs{"a", "", "b"}));
    EXPECT_EQ(Records("a,b\r\n"), (Recs{"a", "b"}));
    EXPECT_EQ(Records("a,\r\n"), (Recs{"a", ""}));
    EXPECT_EQ(Records("a,"), (Recs{"a", ""}));
    EXPECT_EQ(Records("\r\n"), (Recs{""}));
    EXPECT_TRUE(Records("").isEmpty());
}

TEST(SequentialInput, LeadingSpacesAreSkippedAndQuotesAreOrdinary) {
    EXPECT_EQ(Records("   a b \r\n  ,x"), (Recs{"a b ", "", "x"}));
    EXPECT_EQ(Records("\"a,b\"\r\n"), (Recs{"\"a", "b\""}));
    EXPECT_EQ(Records(QByteArray("a\0b\r\n", 5)), (Recs{QByteArray("a\0b", 3)}));
}

TEST(SequentialInput, RecordsSpanningReadChunksAreWhole) {
    // A CR LF split across the reader's 64 KiB chunks is still one line end.
    QByteArray content(64 * 1024 - 1, 'x');
    content += "\r\nyz\r\n";
    const Recs records = Records(content);
    ASSERT_EQ(records.size(), 2);
    EXPECT_EQ(records[0].size(), 64 * 1024 - 1);
    EXPECT_EQ(records[1], "yz");
}

TEST(SequentialInput, KeepsOnlyTheAskedLengthButSkipsTheRest) {
    QTemporaryDir dir;
    const QString path = dir.filePath("f.txt");
    testing::WriteAll(path, QByteArray(200000, '1') + "\r\nok\r\n");
    SequentialInput input;
    QString error;
    ASSERT_TRUE(input.Open(path, &error));
    QByteArray record;
    ASSERT_TRUE(input.ReadRecord(&record, 10));
    EXPECT_EQ(record, "1111111111");
    ASSERT_TRUE(input.ReadRecord(&record, 10));
    EXPECT_EQ(record, "ok");
    EXPECT_TRUE(input.AtEnd());
}

}  // namespace
}  // namespace tavrel
