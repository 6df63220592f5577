#include <gtest/gtest.h>

#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>
#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>

#include "imageformat/button_image_handler.h"
#include "tests/support/test_files.h"

namespace tavrel {
namespace {

using testing::ReadAll;
using testing::WriteAll;

// An image's pixels as button characters, "?" for a grey the format lacks.
QStringList Levels(const QImage& image) {
    QStringList rows;
    for (int y = 0; y < image.height(); ++y) {
        QString row;
        for (int x = 0; x < image.width(); ++x) {
            const int grey = qGray(image.pixel(x, y));
            row += grey == 255   ? '0'
                   : grey == 192 ? '1'
                   : grey == 128 ? '2'
                   : grey == 0   ? '3'
                                 : '?';
        }
        rows += row;
    }
    return rows;
}

QByteArray Lines(int count, const QByteArray& line) {
    QByteArray text;
    for (int i = 0; i < count; ++i) {
        text += line + "\r\n";
    }
    return text;
}

// Files as another program writes them, opened by name through the plugin
// (QT_PLUGIN_PATH points at the build): the pixels, the size the reader
// tells before reading, and the handler's message.
TEST(ButtonImagePlugin, ReadsFilesAsTheWindowDoes) {
    const struct {
        const char* why;
        QByteArray file;
        QStringList rows;
        QSize size;
        QString error;
    } cases[] = {
        {"the four greys, no border", "00000:0123\r\n00001:3210\r\n", {"0123", "3210"}, {4, 2}, ""},
        {"numbers unread, a comma ends a row, no last CR LF",
         "99999:01,abcdef23\n00000:32",
         {"01", "23", "32"},
         {2, 3},
         ""},
        {"a byte-order mark, a row longer than row 1",
         "\xEF\xBB\xBF"
         "00000:12\r\n00001:301\r\n",
         {"12", "30"},
         {2, 2},
         ""},
        {"unknown character",
         "00000:01\r\n00001:2x\r\n",
         {},
         {2, 2},
         "Unknown button value : ( 2, 2)x"},
        {"short row", "00000:01\r\n00001:2\r\n", {}, {2, 2}, "Unknown button value : ( 2, 2)"},
        {"no pixels in row 1", "00000:\r\n00001:1\r\n", {}, {}, "the first row holds no pixels"},
        {"empty file", "", {}, {}, "the file holds no rows"},
        {"more than 1000 rows",
         Lines(1001, "00000:1"),
         QStringList(1000, "1"),
         {1, 1000},
         "Only the first 1000 rows of "},
        {"the widest row",
         "00000:" + QByteArray(32764, '3'),
         {QString(32764, '3')},
         {32764, 1},
         ""},
        {"a row too wide", "00000:" + QByteArray(32765, '3'), {}, {}, "more than 32764 pixels"},
    };
    QTemporaryDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        const QString path = dir.filePath("x.btn");
        WriteAll(path, c.file);
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
        EXPECT_EQ(handler.read(&image), !c.rows.isEmpty());
        EXPECT_TRUE(c.error.isEmpty() ? handler.errorString().isEmpty()
                                      : handler.errorString().contains(c.error))
            << handler.errorString().toStdString();
    }
}

// Without a name, the text's first line decides.
TEST(ButtonImagePlugin, RecognisesButtonFilesByContent) {
    const struct {
        QByteArray text;
        bool button;
    } cases[] = {
        {"00000:0123\r\n", true},
        {"\xEF\xBB\xBF"
         "12345:3,",
         true},
        {"00000:0124\r\n", false},
        {"0000:0123\r\n", false},
        {"00000;0123\r\n", false},
        {"0000a:0123\r\n", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        QBuffer buffer;
        buffer.setData(c.text);
        QImageReader reader(&buffer);
        EXPECT_EQ(reader.format() == "btn", c.button);
    }
}

// Qt counts 4 bytes a pixel against the limit: 4.4 MB for 1100 by 1000.
TEST(ButtonImagePlugin, KeepsTheAllocationLimit) {
    const QByteArray text = Lines(1000, "00000:" + QByteArray(1100, '1'));
    const int before = QImageReader::allocationLimit();
    for (const int megabytes : {4, 5}) {
        QBuffer buffer;
        buffer.setData(text);
        QImageReader::setAllocationLimit(megabytes);
        EXPECT_EQ(QImageReader(&buffer, "btn").read().isNull(), megabytes == 4);
    }
    QImageReader::setAllocationLimit(before);
}

// Each pixel by its red value alone, transparency over white, rows numbered
// from 0; nothing cropped.
TEST(ButtonImagePlugin, WritesEveryPixelByItsRedValue) {
    QImage image(12, 2, QImage::Format_ARGB32);
    const QRgb first[] = {qRgb(255, 255, 255), qRgb(224, 0, 0),    qRgb(223, 255, 255),
                          qRgb(161, 0, 0),     qRgb(160, 0, 0),    qRgb(97, 0, 0),
                          qRgb(96, 255, 255),  qRgb(0, 0, 255),    qRgba(0, 0, 0, 0),
                          qRgba(0, 0, 0, 128), qRgba(0, 0, 0, 40), qRgba(0, 0, 0, 255)};
    for (int x = 0; x < 12; ++x) {
        image.setPixel(x, 0, first[x]);
        image.setPixel(x, 1, qRgb(255, 255, 255));
    }
    QTemporaryDir dir;
    ASSERT_TRUE(image.save(dir.filePath("out.btn")));
    EXPECT_EQ(ReadAll(dir.filePath("out.btn")), "00000:001122330213\r\n00001:000000000000\r\n");

    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    EXPECT_FALSE(QImageWriter(&buffer, "btn").write(QImage(32765, 1, QImage::Format_RGB32)));
}

// The thumbnailer as a file manager runs it, from the entry's Exec line: a
// small button grows by whole pixels, a large one shrinks to fit.
TEST(Thumbnailer, RunsFromItsEntry) {
    const QString entry = QString::fromUtf8(ReadAll(TAVREL_THUMBNAILER_ENTRY));
    const QString exec = entry.section(QStringLiteral("\nExec="), 1).section('\n', 0, 0);
    const struct {
        int w, h, size;
        QSize thumbnail;
    } cases[] = {{16, 16, 128, {128, 128}}, {10, 3, 128, {120, 36}}, {300, 60, 128, {128, 25}}};
    QTemporaryDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.w);
        QByteArray text;
        for (int y = 0; y < c.h; ++y) {
            QByteArray row;
            for (int x = 0; x < c.w; ++x) {
                row += char('0' + (x + 2 * y) % 4);
            }
            text += "00000:" + row + "\r\n";
        }
        const QString in = dir.filePath("in 1.btn"), out = dir.filePath("out.png");
        WriteAll(in, text);
        QStringList args = QProcess::splitCommand(exec);
        for (QString& a : args) {
            a.replace("%s", QString::number(c.size)).replace("%i", in).replace("%o", out);
            a.replace("%u", QUrl::fromLocalFile(in).toString());
        }
        ASSERT_EQ(QProcess::execute(QStringLiteral(TAVREL_BIN_DIR "/") + args.takeFirst(), args),
                  0);
        const QImage thumbnail(out);
        ASSERT_EQ(thumbnail.size(), c.thumbnail);
        const QStringList pixels = Levels(thumbnail);
        const int k = c.thumbnail.width() / c.w;  // 0 when shrunk
        for (int y = 0; k > 0 && y < thumbnail.height(); ++y) {
            for (int x = 0; x < thumbnail.width(); ++x) {
                ASSERT_EQ(pixels[y][x], QChar('0' + (x / k + 2 * (y / k)) % 4)) << x << "," << y;
            }
        }
    }
}

}  // namespace
}  // namespace tavrel
