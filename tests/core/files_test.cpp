#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <sys/stat.h>

#include "platform/files.h"
#include "tests/support/test_files.h"

namespace tavrel {
namespace {

TEST(ReadSmallRegularFile, ReadsSmallFilesWholeAndLeavesLargerOnesAndOddOnes) {
    QTemporaryDir dir;
    const QString small = dir.filePath("small.bmp");
    QByteArray bytes(5000, 'x');
    bytes[4999] = 'y';
    testing::WriteAll(small, bytes);
    QByteArray contents;
    QString error;
    EXPECT_EQ(ReadSmallRegularFile(small, 5000, &contents, &error), SmallFileRead::Read);
    EXPECT_EQ(contents, bytes);
    // One byte over the limit is left for streaming, and nothing is kept.
    contents.clear();
    EXPECT_EQ(ReadSmallRegularFile(small, 4999, &contents, &error), SmallFileRead::TooLarge);
    EXPECT_TRUE(contents.isEmpty());

    // A file whose size says 0 but which holds something is read to its end.
    EXPECT_EQ(ReadSmallRegularFile("/proc/self/status", 1 << 20, &contents, &error),
              SmallFileRead::Read);
    EXPECT_TRUE(contents.startsWith("Name:"));
    EXPECT_EQ(ReadSmallRegularFile("/proc/self/status", 10, &contents, &error),
              SmallFileRead::TooLarge);

    // Failures read as OpenRegularFile's; a FIFO without a writer does not block.
    EXPECT_EQ(ReadSmallRegularFile(dir.filePath("missing"), 100, &contents, &error),
              SmallFileRead::Failed);
    EXPECT_EQ(error, "No such file or directory");
    EXPECT_EQ(ReadSmallRegularFile(dir.path(), 100, &contents, &error), SmallFileRead::Failed);
    EXPECT_EQ(error, "Is a directory");
    const QString fifo = dir.filePath("pipe");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_EQ(ReadSmallRegularFile(fifo, 100, &contents, &error), SmallFileRead::Failed);
    EXPECT_EQ(error, "Not a regular file");
}

TEST(MatchExistingName, PrefersTheExactNameThenTheFirstInNameOrder) {
    EXPECT_EQ(MatchExistingName({"a.Btn", "LOGO.BTN", "logo.btn"}, "logo.Btn"), "LOGO.BTN");
    EXPECT_EQ(MatchExistingName({"logo.btn", "logo.Btn"}, "logo.Btn"), "logo.Btn");
    EXPECT_EQ(MatchExistingName({"other.bmp"}, "logo.bmp"), "logo.bmp");
    EXPECT_EQ(MatchExistingName({}, "x.bmp"), "x.bmp");
}

TEST(ExistingNameIgnoringCase, LooksInTheFolderAndTakesNamesLiterally) {
    QTemporaryDir dir;
    testing::WriteAll(dir.filePath("LOGO.BTN"), "x");
    testing::WriteAll(dir.filePath("a[1].Btn"), "x");
    EXPECT_EQ(ExistingNameIgnoringCase(dir.path(), "logo.Btn"), "LOGO.BTN");
    EXPECT_EQ(ExistingNameIgnoringCase(dir.path(), "A[1].btn"), "a[1].Btn");
    EXPECT_EQ(ExistingNameIgnoringCase(dir.path(), "a1.btn"), "a1.btn");
}

TEST(FileNameLess, IgnoresCaseThenUsesTheExactText) {
    EXPECT_TRUE(FileNameLess("a.bmp", "B.bmp"));
    EXPECT_TRUE(FileNameLess("B.bmp", "b.bmp"));
    EXPECT_FALSE(FileNameLess("b.bmp", "B.bmp"));
}

// Both ways of saving keep the same promises.
class SaveFileAtomicallyTest : public ::testing::TestWithParam<bool> {
  protected:
    SaveOptions Options() const { return SaveOptions{GetParam()}; }
    QTemporaryDir dir_;
};

TEST_P(SaveFileAtomicallyTest, CreatesAndReplacesLeavingNothingElse) {
    const QString path = dir_.filePath("out.Btn");
    QString error;
    ASSERT_TRUE(SaveFileAtomically(path, "first", Options(), &error)) << error.toStdString();
    ASSERT_TRUE(SaveFileAtomically(path, "second\r\n", Options(), &error));
    EXPECT_EQ(testing::ReadAll(path), "second\r\n");
    EXPECT_EQ(testing::Entries(dir_.path()), QStringList{"out.Btn"});
}

TEST_P(SaveFileAtomicallyTest, ReplacedFileKeepsItsPermissions) {
    const QString path = dir_.filePath("out.bmp");
    testing::WriteAll(path, "old");
    ASSERT_EQ(chmod(QFile::encodeName(path).constData(), 0640), 0);
    QString error;
    ASSERT_TRUE(SaveFileAtomically(path, "new", Options(), &error));
    struct stat st {};
    ASSERT_EQ(stat(QFile::encodeName(path).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST_P(SaveFileAtomicallyTest, FailedWriteLeavesTheOldFileAndNoPartialFile) {
    const QString path = dir_.filePath("out.Btn");
    testing::WriteAll(path, "old content");
    // Small data fails only when a buffer would be flushed at the end;
    // large data fails in the middle of writing.
    for (qsizetype size : {5000, 100000}) {
        QString error;
        bool saved = true;
        testing::WithFileSizeLimit(4096, [&] {
            saved = SaveFileAtomically(path, QByteArray(size, '3'), Options(), &error);
        });
        EXPECT_FALSE(saved) << size;
        EXPECT_EQ(error, "File too large");
        EXPECT_EQ(testing::ReadAll(path), "old content") << size;
        EXPECT_EQ(testing::Entries(dir_.path()), QStringList{"out.Btn"});
    }
}

TEST_P(SaveFileAtomicallyTest, MissingFolderAndFoldersInPlaceOfFilesFail) {
    QString error;
    testing::WriteAll(dir_.filePath("file"), "x");
    EXPECT_FALSE(SaveFileAtomically(dir_.filePath("file/out.Btn"), "x", Options(), &error));
    EXPECT_FALSE(error.isEmpty());
    ASSERT_TRUE(QDir(dir_.path()).mkdir("sub.bmp"));
    EXPECT_FALSE(SaveFileAtomically(dir_.filePath("sub.bmp"), "x", Options(), &error));
    EXPECT_TRUE(QFileInfo(dir_.filePath("sub.bmp")).isDir());
    const QString fifo = dir_.filePath("pipe.Btn");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_FALSE(SaveFileAtomically(fifo, "x", Options(), &error));
    EXPECT_EQ(error, "Not a regular file");
}

TEST_P(SaveFileAtomicallyTest, LinksAreFollowedToTheFileTheyName) {
    testing::WriteAll(dir_.filePath("c.Btn"), "old");
    ASSERT_TRUE(QFile::link(dir_.filePath("c.Btn"), dir_.filePath("b.Btn")));
    ASSERT_TRUE(QFile::link(dir_.filePath("b.Btn"), dir_.filePath("x.Btn")));
    QString error;
    ASSERT_TRUE(SaveFileAtomically(dir_.filePath("x.Btn"), "new", Options(), &error));
    EXPECT_EQ(testing::ReadAll(dir_.filePath("c.Btn")), "new");
    EXPECT_TRUE(QFileInfo(dir_.filePath("x.Btn")).isSymLink());
    EXPECT_TRUE(QFileInfo(dir_.filePath("b.Btn")).isSymLink());
}

TEST_P(SaveFileAtomicallyTest, LongestNamesStillSave) {
    const QString name = QString(251, QLatin1Char('n')) + ".Btn";  // 255 bytes, the usual limit
    QString error;
    ASSERT_TRUE(SaveFileAtomically(dir_.filePath(name), "x", Options(), &error))
        << error.toStdString();
    EXPECT_EQ(testing::Entries(dir_.path()), QStringList{name});
}

INSTANTIATE_TEST_SUITE_P(SyncedAndBatched, SaveFileAtomicallyTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Synced" : "Batched"; });

}  // namespace
}  // namespace tavrel
