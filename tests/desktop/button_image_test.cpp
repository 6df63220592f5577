#include <gtest/gtest.h>

#include <QBuffer>
#include <QImageReader>
#include <QProcess>
#include <QTemporaryDir>

#include "imageformat/button_image_handler.h"
#include "tests/support/test_files.h"

namespace tavrel {
namespace {

using testing::Levels;

// Without a name, the text's first line decides.
TEST(ButtonImagePlugin, RecognisesButtonFilesByContent) {
    const std::pair<QByteArray, bool> cases[] = {
        {"00000:0123\r\n", true}, {"\357\273\27712345:3,", true}, {"00000:0124\r\n", false},
        {"0000:0123\r\n", false}, {"00000;0123\r\n", false},      {"0000a:0123\r\n", false},
        {"  00000:3\r", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first.toStdString());
        QBuffer buffer;
        buffer.setData(c.first);
        EXPECT_EQ(QImageReader(&buffer).format() == "btn", c.second);
    }
}

// Qt counts 4 bytes a pixel against its limit: 1024 by 1024 fill 4 MB.
TEST(ButtonImagePlugin, KeepsTheAllocationLimit) {
    const int before = QImageReader::allocationLimit();
    QImageReader::setAllocationLimit(4);
    for (const int rows : {1024, 1025}) {
        QBuffer buffer;
        buffer.setData(("00000:" + QByteArray(1024, '1') + "\n").repeated(rows));
        buffer.open(QIODevice::ReadOnly);
        ButtonImageHandler handler;
        handler.setDevice(&buffer);
        QImage image;
        EXPECT_EQ(handler.read(&image), rows == 1024);
        EXPECT_EQ(handler.errorString(),
                  rows == 1024
                      ? ""
                      : "Unable to draw file \rError: the picture needs more than 4 MB of memory");
    }
    QImageReader::setAllocationLimit(before);
}

// Run from its entry's Exec line: small buttons grow by whole pixels.
TEST(Thumbnailer, RunsFromItsEntry) {
    const QString exec = QString(testing::ReadAll(TAVREL_THUMBNAILER_ENTRY)).section("\nExec=", 1);
    const struct {
        int w, h, size;
        QSize thumbnail;
    } cases[] = {{16, 16, 128, {128, 128}}, {10, 3, 128, {120, 36}}, {300, 60, 128, {128, 25}}};
    QTemporaryDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.w);
        QByteArray text;
        for (int y = 0; y < c.h; ++y) {
            text += "00000:" + QByteArray("0123").repeated(c.w).mid(2 * y % 4, c.w) + "\n";
        }
        const QString in = dir.filePath("in 1.btn"), out = dir.filePath("out.png");
        testing::WriteAll(in, text);
        QStringList args = QProcess::splitCommand(exec.section('\n', 0, 0));
        for (QString& a : args) {
            a.replace("%s", QString::number(c.size)).replace("%i", in).replace("%o", out);
        }
        const QString program = QStringLiteral(TAVREL_BIN_DIR "/") + args.takeFirst();
        ASSERT_EQ(QProcess::execute(program, args), 0);
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
