// Malformed and hostile files: each one ends in a correct drawing or
// conversion where the input is valid, or in a clear message; never a crash,
// a hang or a file written from bad input.
#include <gtest/gtest.h>

#include <QDir>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "conversion/bitmap_to_button.h"
#include "conversion/button_render.h"
#include "conversion/drawing_to_bitmap.h"
#include "tests/support/scripted_message_boxes.h"
#include "tests/support/test_files.h"

namespace tavrel {
namespace {

using testing::ScriptedMessageBoxes;

class HostileButtonFiles : public ::testing::Test {
  protected:
    HostileButtonFiles() : box_(2, false) { box_.Move(0, 0, 3012, 492); }

    DrawResult DrawBytes(const QByteArray& content, const QString& name = "h.BTN") {
        const QString path = dir_.filePath(name);
        testing::WriteAll(path, content);
        return DrawPath(path);
    }
    DrawResult DrawPath(const QString& path) {
        boxes_.shown.clear();
        return DrawButtonFile(path, box_, boxes_, size_);
    }
    QString OnlyMessage() const {
        return boxes_.shown.size() == 1 ? boxes_.shown[0].text
                                        : QString("<%1 messages>").arg(boxes_.shown.size());
    }

    QTemporaryDir dir_;
    ScriptedMessageBoxes boxes_;
    PictureSurface box_;
    ButtonSize size_;
};

TEST_F(HostileButtonFiles, OtherLineEndsAndAByteOrderMarkDrawTheSame) {
    ASSERT_EQ(DrawBytes("00000:0123\r\n00001:3210\r\n"), DrawResult::Drawn);
    const QImage expected = box_.Image().copy();
    for (const QByteArray& variant :
         {QByteArray("00000:0123\n00001:3210\n"), QByteArray("00000:0123\r00001:3210\r"),
          QByteArray("00000:0123\r00001:3210\n"), QByteArray("00000:0123\n00001:3210"),
          QByteArray("\xEF\xBB\xBF"
                     "00000:0123\r\n00001:3210\r\n")}) {
        ASSERT_EQ(DrawBytes(variant), DrawResult::Drawn) << variant.toStdString();
        EXPECT_EQ(size_.rows, 2);
        EXPECT_EQ(box_.Image(), expected) << variant.toStdString();
        EXPECT_TRUE(boxes_.shown.isEmpty());
    }
}

TEST_F(HostileButtonFiles, ForeignCharactersEndInTheUnknownValueMessage) {
    EXPECT_EQ(DrawBytes(QByteArray("00000:12\0"
                                   "3\r\n",
                                   12)),
              DrawResult::UnknownValue);
    EXPECT_EQ(OnlyMessage(), QString("Unknown button value : ( 3, 1)") + QChar(0));
    EXPECT_EQ(DrawBytes("00000:1\"3\r\n"), DrawResult::UnknownValue);
    EXPECT_EQ(OnlyMessage(), "Unknown button value : ( 2, 1)\"");
    EXPECT_EQ(DrawBytes("00000:123  \r\n"), DrawResult::UnknownValue);  // trailing blanks
    EXPECT_EQ(OnlyMessage(), "Unknown button value : ( 4, 1) ");
    EXPECT_EQ(DrawBytes("00000:1\xE9\r\n"), DrawResult::UnknownValue);
    EXPECT_EQ(OnlyMessage(), QString("Unknown button value : ( 2, 1)") + QChar(0xE9));

    QRandomGenerator random(99);
    for (int round = 0; round < 50; ++round) {
        QByteArray garbage(1 + random.bounded(5000), '\0');
        for (char& c : garbage) {
            c = char(random.bounded(256));
        }
        const DrawResult result = DrawBytes(garbage);
        EXPECT_NE(result, DrawResult::OutOfMemory);
        EXPECT_LE(boxes_.shown.size(), 1);
        if (result == DrawResult::UnknownValue) {
            EXPECT_TRUE(OnlyMessage().startsWith("Unknown button value : ( "));
        }
    }
}

TEST_F(HostileButtonFiles, OversizedFilesAreRefusedOrCut) {
    EXPECT_EQ(DrawBytes("00000:" + QByteArray(20 * 1024 * 1024, '3') + "\r\n"),
              DrawResult::TooWide);
    EXPECT_TRUE(OnlyMessage().endsWith("Error: a row holds more than 32764 pixels"));

    QByteArray many;
    for (int i = 0; i < 5000; ++i) {
        many += QByteArray::number(i).rightJustified(5, '0') + ":3\r\n";
    }
    EXPECT_EQ(DrawBytes(many), DrawResult::Drawn);
    EXPECT_EQ(size_.rows, 1000);
    EXPECT_TRUE(OnlyMessage().startsWith("Only the first 1000 rows of "));

    // A first row without pixels fixes the width at 0: nothing is drawn and a
    // conversion of the drawing has nothing to write.
    EXPECT_EQ(DrawBytes("00000:\r\n00001:" + QByteArray(40000, '3') + "\r\n"), DrawResult::Drawn);
    EXPECT_EQ(size_.cols, 0);
    PictureSurface working(2, true), out(2, true);
    EXPECT_EQ(ConvertDrawingToBitmap(box_, size_, working, out, dir_.filePath("x.bmp"), boxes_),
              BitmapResult::NothingToConvert);
    EXPECT_FALSE(testing::Exists(dir_.filePath("x.bmp")));
}

TEST_F(HostileButtonFiles, PathsThatAreNotReadableFilesGiveTheOpenMessage) {
    // Quotes and spaces in a name are just characters.
    EXPECT_EQ(DrawBytes("00000:3\r\n", "a \"b\" 'c'.BTN"), DrawResult::Drawn);

    // A name that is not valid UTF-8 may not be reachable by its decoded
    // name; then the open fails with a message.
    const QByteArray raw = QFile::encodeName(dir_.path()) + "/\xFF\xFE.BTN";
    const int fd = ::open(raw.constData(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "00000:3\r\n", 9), 9);
    ::close(fd);
    for (const QString& listed : QDir(dir_.path()).entryList({"*.BTN"}, QDir::Files)) {
        const DrawResult result = DrawPath(dir_.filePath(listed));
        EXPECT_TRUE(result == DrawResult::Drawn ||
                    (result == DrawResult::NothingRead && boxes_.shown.size() == 1 &&
                     boxes_.shown[0].title == "File open error"));
    }
    ::unlink(raw.constData());  // its decoded name may not reach it for removal

    const QString linkToFolder = dir_.filePath("folder.BTN");
    ASSERT_TRUE(QDir(dir_.path()).mkdir("real-folder"));
    ASSERT_TRUE(QFile::link(dir_.filePath("real-folder"), linkToFolder));
    EXPECT_EQ(DrawPath(linkToFolder), DrawResult::NothingRead);
    EXPECT_TRUE(OnlyMessage().endsWith("Error: Is a directory"));

    const QString vanished = dir_.filePath("gone.BTN");
    testing::WriteAll(vanished, "00000:3\r\n");
    QFile::remove(vanished);
    EXPECT_EQ(DrawPath(vanished), DrawResult::NothingRead);
    EXPECT_TRUE(OnlyMessage().endsWith("Error: No such file or directory"));

    const QString fifo = dir_.filePath("pipe.BTN");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_EQ(DrawPath(fifo), DrawResult::NothingRead);
    EXPECT_TRUE(OnlyMessage().endsWith("Error: Not a regular file"));

    if (geteuid() != 0) {  // root reads any file, so this case means nothing there
        const QString locked = dir_.filePath("locked.BTN");
        testing::WriteAll(locked, "00000:3\r\n");
        ASSERT_EQ(chmod(QFile::encodeName(locked).constData(), 0), 0);
        EXPECT_EQ(DrawPath(locked), DrawResult::NothingRead);
        EXPECT_TRUE(OnlyMessage().endsWith("Error: Permission denied"));
    }
}

class HostileBitmaps : public ::testing::Test {
  protected:
    HostileBitmaps() : working_(2, true), out_(2, true) {}

    // Converts bytes named name; returns whether a button file was written.
    bool Convert(const QByteArray& bytes, const QString& name = "h.bmp") {
        const QString in = dir_.filePath(name);
        testing::WriteAll(in, bytes);
        boxes_.shown.clear();
        QFile::remove(Out());
        const bool converted = ConvertBitmapToButton(in, Out(), working_, out_, boxes_);
        EXPECT_EQ(converted, testing::Exists(Out()));
        return converted;
    }
    QString Out() const { return dir_.filePath("out.Btn"); }
    bool LoadRefused() const {
        return boxes_.shown.size() == 1 && boxes_.shown[0].title == "File load error" &&
               boxes_.shown[0].text.contains(QChar(13) + QString("Error: ")) &&
               !boxes_.shown[0].text.endsWith("Error: ");
    }
    static QByteArray Valid() {
        return testing::MakeBitmap(testing::WhiteBitmap(4, 4, {{1, 1, 0}, {2, 2, 0x808080}}));
    }
    static void Put32(QByteArray& b, int at, qint32 v) { std::memcpy(b.data() + at, &v, 4); }

    QTemporaryDir dir_;
    ScriptedMessageBoxes boxes_;
    PictureSurface working_;
    PictureSurface out_;
};

TEST_F(HostileBitmaps, BrokenHeadersAreRefusedWithTheLoadMessage) {
    EXPECT_FALSE(Convert(Valid().left(30)));
    EXPECT_TRUE(LoadRefused());

    QByteArray huge = Valid();
    Put32(huge, 18, 100000);
    Put32(huge, 22, 100000);
    EXPECT_FALSE(Convert(huge));
    EXPECT_TRUE(LoadRefused());

    for (int field : {18, 22}) {
        QByteArray zero = Valid();
        Put32(zero, field, 0);
        EXPECT_FALSE(Convert(zero));
        EXPECT_TRUE(LoadRefused());
    }

    // Pixel rows cut off, or a tiny file announcing a huge picture: the
    // reader would fill in the missing rows as black.
    EXPECT_FALSE(Convert(Valid().chopped(5)));
    EXPECT_TRUE(LoadRefused());
    EXPECT_TRUE(boxes_.shown[0].text.endsWith("less pixel data than its header announces"));
    QByteArray tall = Valid();
    Put32(tall, 22, 33554437);
    EXPECT_FALSE(Convert(tall));
    EXPECT_TRUE(LoadRefused());
    // Five 3-byte pixels pad each row by one byte; losing the last one is
    // harmless.
    EXPECT_TRUE(Convert(testing::MakeBitmap(testing::WhiteBitmap(5, 4, {{1, 1, 0}})).chopped(1)));

    QByteArray magic = Valid();
    magic[0] = 'X';
    EXPECT_FALSE(Convert(magic));
    EXPECT_TRUE(LoadRefused());

    EXPECT_FALSE(Convert("just some text\r\n"));
    EXPECT_TRUE(LoadRefused());
}

TEST_F(HostileBitmaps, BadPixelDataNeverCrashes) {
    // A palette index past the palette's end, and runs that overrun the
    // bitmap: either refused or read as some picture, never a crash.
    testing::BitmapRecipe recipe = testing::WhiteBitmap(4, 4, {{1, 1, 0}});
    recipe.bitsPerPixel = 8;
    QByteArray palette = testing::MakeBitmap(recipe);
    palette[palette.size() - 2] = char(200);
    Convert(palette);
    EXPECT_LE(boxes_.shown.size(), 1);

    recipe.rle = true;
    QByteArray rle = testing::MakeBitmap(recipe);
    rle[rle.size() - 6] = char(250);  // a run of 250 pixels in a 4-pixel row
    Convert(rle);
    EXPECT_LE(boxes_.shown.size(), 1);
    QByteArray delta = testing::MakeBitmap(recipe);
    delta.append("\x00\x02\xFF\xFF\x01\x00", 6);  // a delta far outside the bitmap
    Convert(delta);
    EXPECT_LE(boxes_.shown.size(), 1);
}

TEST_F(HostileBitmaps, APngNamedBmpConverts) {
    QImage png(3, 3, QImage::Format_RGB32);
    png.fill(0xFFFFFFFFu);
    png.setPixel(1, 1, 0xFF000000u);
    const QString path = dir_.filePath("png.bmp");
    ASSERT_TRUE(png.save(path, "PNG"));
    EXPECT_TRUE(ConvertBitmapToButton(path, Out(), working_, out_, boxes_));
    EXPECT_EQ(testing::ReadAll(Out()), "00000:3\r\n");
}

}  // namespace
}  // namespace tavrel
