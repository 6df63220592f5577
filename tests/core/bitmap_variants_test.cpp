// Bitmaps as other programs write them, built field by field: each is read
// with exact pixels or refused with a description; and conversions that
// cannot get memory, or whose result a button file cannot hold, write nothing.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QTemporaryDir>

#include "conversion/bitmap_to_button.h"
#include "conversion/drawing_to_bitmap.h"
#include "tests/support/scripted_message_boxes.h"
#include "tests/support/test_files.h"

namespace tavrel {
namespace {

using testing::LittleEndian;

QByteArray Png(std::uint32_t left, std::uint32_t right) {
    QImage image(2, 1, QImage::Format_RGB32);
    image.setPixel(0, 0, 0xFF000000 | left);
    image.setPixel(1, 0, 0xFF000000 | right);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

TEST(BitmapVariants, ReadExactlyOrRefusedSayingWhy) {
    const QByteArray rgb = LittleEndian({0x102030}, 4);  // one 24-bit pixel, padded
    const struct {
        const char* why;
        testing::BitmapFields file;
        std::vector<std::uint32_t> pixels{};  // 0xRRGGBB, rows from the top
        QString error{};
    } cases[] = {
        {"16 bits: 5-5-5, a set top bit is no alpha",
         {.width = 3, .bits = 16, .pixels = LittleEndian({0x7FFF, 0x5294, 0x8000, 0}, 2)},
         {0xFFFFFF, 0xA5A5A5, 0x000000}},
        {"5-6-5 masks after the header",
         {.bits = 16,
          .compression = 3,
          .extra = LittleEndian({0xF800, 0x07E0, 0x1F}, 4),
          .pixels = LittleEndian({0xFD14}, 4)},
         {0xFFA2A5}},
        {"4-4-4-4 with alpha, in a 56-byte header",
         {.headerSize = 56,
          .width = 2,
          .bits = 16,
          .compression = 3,
          .headerTail = {0xF00, 0xF0, 0xF, 0xF000},
          .pixels = LittleEndian({0xF840, 0x0123}, 2)},
         {0x884400, 0xFFFFFF}},
        {"2-3-1 masks",
         {.bits = 16,
          .compression = 3,
          .extra = LittleEndian({0x30, 0x0E, 0x01}, 4),
          .pixels = LittleEndian({0x2B}, 4)},
         {0xAAB6FF}},
        {"10-10-10-2 in a 108-byte header",
         {.headerSize = 108,
          .bits = 32,
          .compression = 3,
          .headerTail = {0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000},
          .pixels = LittleEndian({0xFFF80000}, 4)},
         {0xFF8000}},
        {"11-11-10",
         {.bits = 32,
          .compression = 3,
          .extra = LittleEndian({0xFFE00000, 0x1FFC00, 0x3FF}, 4),
          .pixels = LittleEndian({0x801FFD55}, 4)},
         {0x80FF55}},
        {"a 17-bit green, rounded, not cut",
         {.bits = 32,
          .compression = 3,
          .extra = LittleEndian({0xFE0000, 0x1FFFF, 0xFF000000}, 4),
          .pixels = LittleEndian({0xFE01FF}, 4)},
         {0xFF0100}},
        {"32 bits without compression have no alpha, whatever the header's mask",
         {.headerSize = 124,
          .bits = 32,
          .headerTail = {0xFF0000, 0xFF00, 0xFF, 0xFF000000},
          .pixels = LittleEndian({0x00123456}, 4)},
         {0x123456}},
        {"alpha bit fields, compression 6",
         {.width = 2,
          .bits = 32,
          .compression = 6,
          .extra = LittleEndian({0xFF0000, 0xFF00, 0xFF, 0xFF000000}, 4),
          .pixels = LittleEndian({0xFF123456, 0x00123456}, 4)},
         {0x123456, 0xFFFFFF}},
        {"a 52-byte header", {.headerSize = 52, .pixels = rgb}, {0x102030}},
        {"OS/2 2.x, 16 bytes", {.headerSize = 16, .pixels = rgb}, {0x102030}},
        {"OS/2 1.x: 16-bit sizes, 3-byte palette entries",
         {.headerSize = 12,
          .width = 2,
          .bits = 1,
          .extra = LittleEndian({0x112233, 0x445566}, 3),
          .pixels = LittleEndian({0x40}, 4)},
         {0x112233, 0x445566}},
        {"OS/2 2.x, 64 bytes",
         {.headerSize = 64,
          .width = 2,
          .bits = 4,
          .coloursUsed = 2,
          .extra = LittleEndian({0x112233, 0x445566}, 4),
          .pixels = LittleEndian({0x10}, 4)},
         {0x445566, 0x112233}},
        {"more palette entries than 1 bit addresses",
         {.width = 2,
          .bits = 1,
          .coloursUsed = 300,
          .extra = LittleEndian({0x112233, 0x445566}, 4) + QByteArray(298 * 4, '\0'),
          .pixels = LittleEndian({0x40}, 4)},
         {0x112233, 0x445566}},
        {"a palette shorter than the pixels use",
         {.width = 2,
          .bits = 8,
          .coloursUsed = 2,
          .extra = LittleEndian({0, 0xFFFFFF}, 4),
          .pixels = LittleEndian({0x0501}, 4)},
         {},
         "A pixel uses palette entry 5, but the palette holds 2"},
        {"pixels after a gap", {.gap = 6, .pixels = rgb}, {0x102030}},
        {"RLE8: a delta, an early end of line and of the bitmap",
         {.width = 3,
          .height = 3,
          .bits = 8,
          .compression = 1,
          .coloursUsed = 1,
          .extra = LittleEndian({0}, 4),
          .pixels = QByteArray::fromHex("010000000002020001000001")},
         {0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0, 0, 0xFFFFFF, 0xFFFFFF}},
        {"RLE4: runs of two entries by turns, pixels past the row dropped",
         {.width = 4,
          .bits = 4,
          .compression = 2,
          .coloursUsed = 2,
          .extra = LittleEndian({0, 0x808080}, 4),
          .pixels = QByteArray::fromHex("0201000310100001")},
         {0, 0x808080, 0x808080, 0}},
        {"an embedded PNG",
         {.width = 2, .bits = 0, .compression = 5, .pixels = Png(0x102030, 0x405060)},
         {0x102030, 0x405060}},
        {"a colour profile in a 124-byte header, not applied",
         {.headerSize = 124, .headerTail = {0, 0, 0, 0, 0x4D424544}, .pixels = rgb},
         {0x102030}},
        {"2 bits", {.bits = 2}, {}, "2 bits per pixel are not supported"},
        {"64 bits", {.bits = 64}, {}, "64 bits per pixel are not supported"},
        {"RLE24",
         {.headerSize = 64, .compression = 4},
         {},
         "Run-length encoded 24-bit bitmaps are not supported"},
        {"Huffman 1D",
         {.headerSize = 64, .bits = 1, .compression = 3},
         {},
         "Huffman-coded bitmaps are not supported"},
        {"a mask with a hole",
         {.bits = 16, .compression = 3, .extra = LittleEndian({0xF00F, 0x0FF0, 0}, 4)},
         {},
         "The bit field mask 0x0000f00f is not contiguous"},
        {"2^31 - 1 rows of 2^33 bytes announced, none there",
         {.width = 0x7FFFFFFF, .height = 0x7FFFFFFF, .bits = 32},
         {},
         "The file holds less pixel data than its header announces"},
    };
    QTemporaryDir dir;
    const QString path = dir.filePath("v.bmp");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        testing::WriteAll(path, testing::BuildBitmap(c.file));
        QString error;
        const QImage image = LoadPicture(path, &error);
        EXPECT_EQ(error.toStdString(), c.error.toStdString());
        std::vector<std::uint32_t> pixels;
        for (int i = 0; i < image.width() * image.height(); ++i) {
            pixels.push_back(image.pixel(i % image.width(), i / image.width()) & 0xFFFFFF);
        }
        EXPECT_EQ(pixels, c.pixels);
    }
}

class FullConversions : public ::testing::Test {
  protected:
    FullConversions() : working_(2, true), out_(2, true) {}
    // A w by h 1-bit bitmap, black all over, converted; the file written.
    QByteArray Convert(std::int64_t w, std::int64_t h) {
        const QByteArray rows(qsizetype((w + 31) / 32 * 4 * h), '\0');
        testing::WriteAll(In(), testing::BuildBitmap({.width = w,
                                                      .height = h,
                                                      .bits = 1,
                                                      .extra = LittleEndian({0, 0xFFFFFF}, 4),
                                                      .pixels = rows}));
        QFile::remove(Out());
        ConvertBitmapToButton(In(), Out(), working_, out_, boxes_);
        return testing::ReadAll(Out());
    }
    QString In() const { return dir_.filePath("in.bmp"); }
    QString Out() const { return dir_.filePath("out.Btn"); }

    QTemporaryDir dir_;
    testing::ScriptedMessageBoxes boxes_;
    PictureSurface working_;
    PictureSurface out_;
};

TEST_F(FullConversions, AButtonFileTakesRowsOf32764PixelsAnd100000Rows) {
    const QString refused = "Unable to save file " + Out() + QChar(13) + "Error: ";
    EXPECT_EQ(Convert(32764, 1), "00000:" + QByteArray(32764, '3') + "\r\n");
    EXPECT_TRUE(Convert(1, 100000).endsWith("\r\n99999:3\r\n"));
    EXPECT_TRUE(boxes_.shown.isEmpty());
    EXPECT_TRUE(Convert(32765, 1).isNull());
    EXPECT_TRUE(Convert(1, 100001).isNull());
    ASSERT_EQ(boxes_.shown.size(), 2);
    EXPECT_EQ(boxes_.shown[0].text, refused + "a row holds more than 32764 pixels");
    EXPECT_EQ(boxes_.shown[1].text, refused + "the picture holds more than 100000 rows");
    EXPECT_FALSE(boxes_.shown[1].retryCancel);
}

TEST_F(FullConversions, SurfacesWithoutMemoryAreAFailedSaveAndWriteNothing) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer needs more address space than the limit leaves";
#endif
    // 255 black pixels a row, 35000 rows: a tiny file, 36 MB as a surface.
    testing::WriteAll(
        In(), testing::BuildBitmap({.width = 255,
                                    .height = 35000,
                                    .bits = 8,
                                    .compression = 1,
                                    .coloursUsed = 1,
                                    .extra = LittleEndian({0}, 4),
                                    .pixels = QByteArray::fromHex("ff000000").repeated(35000)}));
    testing::WriteAll(Out(), "kept");
    PictureSurface drawing(2, false);
    drawing.ReserveRaster(8001, 1001);
    drawing.PSet(1, 1, 0);
    // Enough for the working surface, not for the crop as well.
    testing::WithAddressSpaceLimit(48 << 20, [&] {
        EXPECT_FALSE(ConvertBitmapToButton(In(), Out(), working_, out_, boxes_));
    });
    testing::WithAddressSpaceLimit(16 << 20, [&] {
        EXPECT_EQ(ConvertDrawingToBitmap(drawing, {1000, 8000}, working_, out_, In(), boxes_),
                  BitmapResult::Cancelled);
    });
    EXPECT_EQ(testing::ReadAll(Out()), "kept");
    ASSERT_EQ(boxes_.shown.size(), 2);
    for (const QString& path : {Out(), In()}) {
        EXPECT_EQ(boxes_.shown.takeFirst().text, "Unable to save file " + path + QChar(13) +
                                                     "Error: Not enough memory for the picture");
    }
}

}  // namespace
}  // namespace tavrel
