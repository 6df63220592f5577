// The image plugin's reading and writing, built twice: against Qt 6 and
// against Qt 5, each loading the plugin built for it from QT_PLUGIN_PATH.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/resource.h>

#include "imageformat/button_image_handler.h"
#include "tests/desktop/read_cases.h"
#include "tests/support/test_files.h"

namespace tavrel {
namespace {

using testing::Levels;

// Each file of the table by name through the plugin, and through the handler
// on a finished process's output, whose end reads as -1 rather than 0.
TEST(ButtonImagePlugin, ReadsTheTableOfFiles) {
    QTemporaryDir dir;
    const QString path = dir.filePath("x.btn");
    for (const tavrel_read_case& c : tavrel_read_cases) {
        SCOPED_TRACE(c.why);
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(QByteArray(c.head) + QByteArray(c.unit).repeated(int(c.repeat)));
        file.close();
        QImageReader reader(path);
        EXPECT_EQ(reader.size(), c.error ? QSize() : QSize(c.width, c.height));
        const QImage image = reader.read();
        // One image: a host that reads until it gets none stops.
        QImage again;
        EXPECT_FALSE(reader.canRead() || reader.read(&again));

        QProcess cat;
        cat.start("cat", {path});
        ASSERT_TRUE(cat.waitForFinished());
        ButtonImageHandler handler;
        handler.setDevice(&cat);
        QImage piped;
        EXPECT_EQ(handler.read(&piped), !c.error);
        EXPECT_EQ(piped, image);
        if (c.error) {  // the words before it: KeepsTheAllocationLimit
            EXPECT_TRUE(handler.errorString().endsWith(c.error))
                << handler.errorString().toStdString();
            continue;
        }
        QStringList rows = c.rows ? QString(c.rows).split('|') : QStringList();
        for (int y = 0; !c.rows && y < c.height; ++y) {
            rows << QString(c.width, QChar(c.every));
        }
        EXPECT_EQ(Levels(image), rows);
        EXPECT_EQ(reader.imageCount(), 1);
    }
    EXPECT_TRUE(QImageReader("/dev/zero", "btn").read().isNull());  // an endless first line
}

QByteArray Written(const QImage& image) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    return QImageWriter(&buffer, "btn").write(image) ? buffer.data() : "refused";
}

// Each pixel by its red value laid over white, rounded to the nearest,
// whatever the format Qt hands the writer.
TEST(ButtonImagePlugin, WritesEveryPixelByItsRedValue) {
    const QRgb pixels[] = {qRgb(255, 255, 255),       qRgb(224, 0, 0),      qRgb(223, 255, 255),
                           qRgb(161, 0, 0),           qRgb(160, 0, 0),      qRgb(97, 0, 0),
                           qRgb(96, 255, 255),        qRgb(0, 0, 255),      qRgba(0, 0, 0, 0),
                           qRgba(0, 0, 0, 128),       qRgba(0, 0, 0, 40),   qRgba(0, 0, 0, 255),
                           qRgba(223, 223, 223, 251), qRgba(222, 0, 0, 251)};
    const QImage image(reinterpret_cast<const uchar*>(pixels), 7, 2, QImage::Format_ARGB32);
    EXPECT_EQ(Written(image), "00000:0011223\r\n00001:3021301\r\n");
    // Red above alpha: no such colour, but no level outside the table.
    const QRgb premultiplied[] = {0x00FFFFFF, 0x80808080, 0x80000000, 0xFF000000};
    EXPECT_EQ(Written(QImage(reinterpret_cast<const uchar*>(premultiplied), 4, 1,
                             QImage::Format_ARGB32_Premultiplied)),
              "00000:0023\r\n");
    const QRgb four[] = {0xFFFFFFFF, 0xFFC0C0C0, 0xFF808080, 0xFF000000};
    const QImage greys(reinterpret_cast<const uchar*>(four), 2, 2, QImage::Format_ARGB32);
    int kept = 0;
    for (int f = QImage::Format_Mono; f < QImage::NImageFormats; ++f) {
        const QImage converted = greys.convertToFormat(QImage::Format(f));
        if (Levels(converted) == QStringList{"01", "23"}) {  // a format that holds the greys
            ++kept;
            EXPECT_EQ(Written(converted), "00000:01\r\n00001:23\r\n") << "format " << f;
        }
    }
    EXPECT_GT(kept, 12);
    // What is written is read back whole, however tall.
    const QImage tall = greys.scaled(4, 5000).convertToFormat(QImage::Format_Grayscale8);
    QTemporaryDir dir;
    ASSERT_TRUE(tall.save(dir.filePath("tall.btn")));
    EXPECT_EQ(QImage(dir.filePath("tall.btn")), tall);
}

// A picture the writer refuses leaves the device as it was, and says why.
TEST(ButtonImagePlugin, RefusesWithItsReasonAndWritesNothing) {
    QImage large(4000, 4000, QImage::Format_Mono);  // 2 MB, as text 16 MB
    large.fill(0);
    const std::pair<QImage, const char*> cases[] = {
        {QImage(), "there is no image"},
        {QImage(32765, 1, QImage::Format_RGB32), "a row holds more than 32764 pixels"},
        {QImage(1, 100001, QImage::Format_Mono), "the picture holds more than 100000 rows"},
        {large, "not enough memory"},  // with 8 MB of address space left
    };
    struct rlimit old {};
    getrlimit(RLIMIT_AS, &old);
    int rows = 3;  // the address sanitizer needs far more address space
#if !defined(__SANITIZE_ADDRESS__)
    rows = 4;
    QFile statm("/proc/self/statm");
    statm.open(QIODevice::ReadOnly);
    const long used = statm.readAll().split(' ')[0].toLong() * sysconf(_SC_PAGESIZE);
    const struct rlimit low = {rlim_t(used + (8 << 20)), old.rlim_max};
    setrlimit(RLIMIT_AS, &low);
#endif
    for (int i = 0; i < rows; ++i) {
        SCOPED_TRACE(cases[i].second);
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        ButtonImageHandler handler;
        handler.setDevice(&buffer);
        EXPECT_FALSE(handler.write(cases[i].first));
        EXPECT_EQ(handler.errorString(),
                  QString("Unable to save file \rError: ") + cases[i].second);
        EXPECT_TRUE(buffer.data().isEmpty());
    }
    setrlimit(RLIMIT_AS, &old);
    EXPECT_FALSE(ButtonImageHandler().write(QImage(1, 1, QImage::Format_RGB32)));  // no device
}

}  // namespace
}  // namespace tavrel
