#include <gtest/gtest.h>

#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>
#include <QProcess>
#include <QTemporaryDir>

#include "imageformat/button_image_handler.h"
#include "tests/support/test_files.h"

namespace tavrel {
namespace {

using testing::Levels;

// Files as another program writes them, by name through the plugin: pixels,
// the size told before reading, the handler's message.
TEST(ButtonImagePlugin, ReadsFilesAsTheWindowDoes) {
    const QByteArray wide = "00000:" + QByteArray(32764, '3');
    const QByteArray tall = QByteArray("00000:1\n").repeated(1001);
    const struct {
        const char* why;
        QByteArray file;
        QStringList rows;
        QSize size;
        QString error;
    } cases[] = {
        {"greys, no border", "00000:0123\r\n00001:3210\r\n", {"0123", "3210"}, {4, 2}, ""},
        {"numbers unread, comma", "99999:01,abcdef23\n00000:32", {"01", "23", "32"}, {2, 3}, ""},
        {"mark, long row", "\357\273\27700000:12\r\n00001:301", {"12", "30"}, {2, 2}, ""},
        {"unknown", "00000:01\r\n00001:2x", {}, {2, 2}, "Unknown button value : ( 2, 2)x"},
        {"short row", "00000:01\r\n00001:2", {}, {2, 2}, "Unknown button value : ( 2, 2)"},
        {"no pixels", "00000:\r\n00001:1", {}, {}, "the first row holds no pixels"},
        {"empty", "", {}, {}, "the file holds no rows"},
        {"1001 rows", tall, QStringList(1000, "1"), {1, 1000}, "Only the first 1000 rows of "},
        {"widest", wide, {QString(32764, '3')}, {32764, 1}, ""},
        {"too wide", wide + "3", {}, {}, "more than 32764 pixels"},
    };
    QTemporaryDir dir;
    const QString path = dir.filePath("x.btn");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        testing::WriteAll(path, c.file);
        QImageReader reader(path);
        EXPECT_EQ(reader.size(), c.size);
        EXPECT_EQ(reader.canRead(), c.size.isValid());  // still, after the text is read
        EXPECT_EQ(Levels(reader.read()), c.rows);
        EXPECT_FALSE(reader.canRead());  // one image: a loop over the frames ends

        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        ButtonImageHandler handler;
        handler.setDevice(&file);
        QImage image;
        handler.read(&image);
        EXPECT_EQ(handler.errorString().isEmpty(), c.error.isEmpty());
        EXPECT_TRUE(handler.errorString().contains(c.error)) << handler.errorString().toStdString();
    }
    EXPECT_TRUE(QImageReader("/dev/zero", "btn").read().isNull());  // an endless first line
}

// Without a name, the text's first line decides.
TEST(ButtonImagePlugin, RecognisesButtonFilesByContent) {
    const std::pair<QByteArray, bool> cases[] = {
        {"00000:0123\r\n", true}, {"\357\273\27712345:3,", true}, {"00000:0124\r\n", false},
        {"0000:0123\r\n", false}, {"00000;0123\r\n", false},      {"0000a:0123\r\n", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first.toStdString());
        QBuffer buffer;
        buffer.setData(c.first);
        EXPECT_EQ(QImageReader(&buffer).format() == "btn", c.second);
    }
}

// Qt counts 4 bytes a pixel against the limit: 4.4 MB for 1100 by 1000.
TEST(ButtonImagePlugin, KeepsTheAllocationLimit) {
    const QByteArray text = ("00000:" + QByteArray(1100, '1') + "\n").repeated(1000);
    const int before = QImageReader::allocationLimit();
    for (const int megabytes : {4, 5}) {
        QBuffer buffer;
        buffer.setData(text);
        QImageReader::setAllocationLimit(megabytes);
        EXPECT_EQ(QImageReader(&buffer, "btn").read().isNull(), megabytes == 4);
    }
    QImageReader::setAllocationLimit(before);
}

// Each pixel by its red value, transparency over white, nothing cropped.
TEST(ButtonImagePlugin, WritesEveryPixelByItsRedValue) {
    const QRgb pixels[] = {qRgb(255, 255, 255), qRgb(224, 0, 0),    qRgb(223, 255, 255),
                           qRgb(161, 0, 0),     qRgb(160, 0, 0),    qRgb(97, 0, 0),
                           qRgb(96, 255, 255),  qRgb(0, 0, 255),    qRgba(0, 0, 0, 0),
                           qRgba(0, 0, 0, 128), qRgba(0, 0, 0, 40), qRgba(0, 0, 0, 255)};
    const QImage image(reinterpret_cast<const uchar*>(pixels), 6, 2, QImage::Format_ARGB32);
    QTemporaryDir dir;
    ASSERT_TRUE(image.save(dir.filePath("out.btn")));
    EXPECT_EQ(testing::ReadAll(dir.filePath("out.btn")), "00000:001122\r\n00001:330213\r\n");

    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    EXPECT_FALSE(QImageWriter(&buffer, "btn").write(QImage(32765, 1, QImage::Format_RGB32)));
    EXPECT_FALSE(QImageWriter(&buffer, "btn").write(QImage(1, 100001, QImage::Format_RGB32)));
    EXPECT_FALSE(ButtonImageHandler().write(QImage(1, 1, QImage::Format_RGB32)));  // no device
}

}  // namespace
}  // namespace tavrel
