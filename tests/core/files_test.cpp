#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include <sys/stat.h>

#include "conversion/button_file.h"
#include "files/files.h"
#include "picture/picture_surface.h"
#include "tests/support/scripted_message_boxes.h"
#include "tests/support/test_files.h"

namespace tavrel {
namespace {

// Readers refuse what is no regular file at once (a FIFO is not waited on).
TEST(Readers, RefuseWhatIsNoRegularFileAndReadSmallFilesWhole) {
    QTemporaryDir dir;
    QDir(dir.path()).mkdir("folder.BTN");
    QFile::link(dir.filePath("folder.BTN"), dir.filePath("link.BTN"));
    mkfifo(QFile::encodeName(dir.filePath("pipe.BTN")).constData(), 0600);
    for (const auto& [name, description] : {std::pair{"gone.BTN", "No such file or directory"},
                                            {"folder.BTN", "Is a directory"},
                                            {"link.BTN", "Is a directory"},
                                            {"pipe.BTN", "Not a regular file"}}) {
        const QString path = dir.filePath(name);
        QString small, picture;
        QByteArray contents;
        testing::ScriptedMessageBoxes boxes;
        ButtonFileRows rows;
        EXPECT_EQ(ReadSmallRegularFile(path, 100, &contents, &small), SmallFileRead::Failed);
        EXPECT_TRUE(LoadPicture(path, &picture).isNull());
        EXPECT_EQ(ReadButtonFile(path, rows, boxes), 0);
        EXPECT_EQ(small + "|" + picture + "|" + boxes.shown.value(0).text,
                  description + QString("|") + description + "|Unable to open file " + path +
                      "\rError: " + description);
    }
    const QByteArray bytes = QByteArray(4999, 'x') + 'y';
    testing::WriteAll(dir.filePath("small"), bytes);
    QByteArray contents;
    QString error;
    EXPECT_EQ(ReadSmallRegularFile(dir.filePath("small"), 5000, &contents, &error),
              SmallFileRead::Read);
    EXPECT_EQ(contents, bytes);
    contents.clear();
    EXPECT_EQ(ReadSmallRegularFile(dir.filePath("small"), 4999, &contents, &error),
              SmallFileRead::TooLarge);
    // Its size says 0, yet it holds more: read to its end, or found too large.
    EXPECT_EQ(ReadSmallRegularFile("/proc/self/status", 1 << 20, &contents, &error),
              SmallFileRead::Read);
    EXPECT_TRUE(contents.startsWith("Name:") && contents.endsWith('\n'));
    EXPECT_EQ(ReadSmallRegularFile("/proc/self/status", 10, &contents, &error),
              SmallFileRead::TooLarge);
}

TEST(ExistingNames, TheExactNameFirstThenTheFirstInNameOrderIgnoringCase) {
    EXPECT_EQ(MatchExistingName({"a.Btn", "logo.btn", "LOGO.BTN"}, "logo.Btn"), "LOGO.BTN");
    EXPECT_EQ(MatchExistingName({"LOGO.BTN", "logo.Btn"}, "logo.Btn"), "logo.Btn");
    EXPECT_EQ(MatchExistingName({"other.bmp"}, "logo.bmp"), "logo.bmp");
    EXPECT_TRUE(FileNameLess("a.bmp", "B.bmp") && FileNameLess("B.bmp", "b.bmp") &&
                !FileNameLess("b.bmp", "B.bmp") &&
                !FileNameLess("b.bmp", "b.bmp"));  // nor before itself
}

// Both ways of saving keep the same promises.
class SaveFileAtomically : public ::testing::TestWithParam<bool> {
  protected:
    QString Save(const QString& name, const QByteArray& data) {
        QString error;
        return tavrel::SaveFileAtomically(dir_.filePath(name), data, SaveOptions{GetParam()},
                                          &error)
                   ? "saved"
                   : error;
    }
    QTemporaryDir dir_;
};

TEST_P(SaveFileAtomically, ReplacesWholeOrNotAtAllAndFollowsLinks) {
    const QString longest = QString(251, 'n') + ".Btn";  // 255 bytes, the usual limit
    EXPECT_EQ(Save("out.Btn", "first") + Save(longest, "x"), "savedsaved");
    chmod(QFile::encodeName(dir_.filePath("out.Btn")).constData(), 0640);
    EXPECT_EQ(Save("out.Btn", "second\r\n"), "saved");
    EXPECT_EQ(QFileInfo(dir_.filePath("out.Btn")).permissions() & 0x0FFF, 0x0640);
    // Writes that fail when the buffer is flushed at the end, or part-way.
    for (qsizetype size : {5000, 100000}) {
        QString result;
        testing::WithFileSizeLimit(4096, [&] { result = Save("out.Btn", QByteArray(size, '3')); });
        EXPECT_EQ(result, "File too large");
    }
    EXPECT_EQ(testing::ReadAll(dir_.filePath("out.Btn")), "second\r\n");
    // What is no regular file is refused; a link is followed to its end.
    testing::WriteAll(dir_.filePath("c.Btn"), "old");
    QDir(dir_.path()).mkdir("sub.bmp");
    mkfifo(QFile::encodeName(dir_.filePath("pipe.Btn")).constData(), 0600);
    QFile::link(dir_.filePath("c.Btn"), dir_.filePath("b.Btn"));
    QFile::link(dir_.filePath("b.Btn"), dir_.filePath("x.Btn"));
    EXPECT_EQ(Save("c.Btn/out.Btn", "x") + ", " + Save("sub.bmp", "x") + ", " +
                  Save("pipe.Btn", "x") + ", " + Save("x.Btn", "new"),
              "Not a directory, Is a directory, Not a regular file, saved");
    EXPECT_EQ(testing::ReadAll(dir_.filePath("c.Btn")), "new");
    EXPECT_TRUE(QFileInfo(dir_.filePath("x.Btn")).isSymLink() &&
                QFileInfo(dir_.filePath("b.Btn")).isSymLink());
    EXPECT_EQ(testing::Entries(dir_.path()),
              (QStringList{"b.Btn", "c.Btn", longest, "out.Btn", "pipe.Btn", "sub.bmp", "x.Btn"}));
}

INSTANTIATE_TEST_SUITE_P(SyncedAndBatched, SaveFileAtomically, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Synced" : "Batched"; });

}  // namespace
}  // namespace tavrel
