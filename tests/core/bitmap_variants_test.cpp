// Bitmaps built field by field, read exactly or refused; conversions that write nothing.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include "conversion/bitmap_to_button.h"
#include "conversion/drawing_to_bitmap.h"
#include "tests/support/scripted_message_boxes.h"
#include "tests/support/test_files.h"

namespace tavrel {
namespace {

const auto le = &testing::LittleEndian;

TEST(BitmapVariants, ReadExactlyOrRefusedSayingWhy) {
    const QByteArray rgb = le({0x102030}, 4);            // a 24-bit pixel and its padding
    const QByteArray two = le({0x112233, 0x445566}, 4);  // a palette of two entries
    const struct {
        const char* why;
        // bits, compression, masks, pixels, width, height, header size, palette
        testing::BitmapFields file;
        const char* read;  // the pixels as RRGGBB, rows from the top; or the description
    } cases[] = {
        {"5-5-5", {16, 0, {}, le({0x7FFF, 0x5294, 0x8000, 0}, 2), 3}, "ffffff a5a5a5 000000"},
        {"5-6-5", {16, 3, {0xF800, 0x7E0, 0x1F}, le({0xFD14}, 4)}, "ffa2a5"},
        {"4-4-4-4, 56",
         {16, 3, {0xF00, 0xF0, 0xF, 0xF000}, le({0xF840, 0x123}, 2), 2, 1, 56},
         "884400 ffffff"},
        {"2-3-1", {16, 3, {0x30, 0xE, 1}, le({0x2B}, 4)}, "aab6ff"},
        {"10-10-10-2, v4",
         {32, 3, {0x3FF << 20, 0xFFC00, 0x3FF, 3u << 30}, le({0xFFF80000}, 4), 1, 1, 108},
         "ff8000"},
        {"11-11-10", {32, 3, {0xFFE00000, 0x1FFC00, 0x3FF}, le({0x801FFD55}, 4)}, "80ff55"},
        {"17-bit green", {32, 3, {0xFE0000, 0x1FFFF, 0xFF000000}, le({0xFE01FF}, 4)}, "ff0100"},
        {"32 bits, v5 alpha mask", {32, 0, {0, 0, 0, 0xFF000000}, rgb, 1, 1, 124}, "102030"},
        {"alpha bit fields",
         {32, 6, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}, le({0xFF102030, 0x102030}, 4), 2},
         "102030 ffffff"},
        {"52-byte header", {24, 0, {}, rgb, 1, 1, 52}, "102030"},
        {"OS/2 2.x, 16", {24, 0, {}, rgb, 1, 1, 16}, "102030"},
        {"OS/2 1.x",
         {1, 0, {}, le({0x40}, 4), 2, 1, 12, le({0x112233, 0x445566}, 3)},
         "112233 445566"},
        {"OS/2 1.x, palette cut by the pixel offset",
         {8, 0, {}, le({1}, 4), 2, 1, 12, le({0x112233, 0x445566}, 3)},
         "445566 112233"},
        {"OS/2 2.x, 64", {4, 0, {}, le({0x10}, 4), 2, 1, 64, two}, "445566 112233"},
        {"300 colours", {1, 0, {}, le({0x40}, 4), 2, 1, 40, two.repeated(150)}, "112233 445566"},
        {"2 colours",
         {8, 0, {}, le({0x201}, 4), 2, 1, 40, two},
         "A pixel uses palette entry 2, but the palette holds 2"},
        {"gap", {16, 0, {}, le({0x7FFF}, 4), 1, 1, 40, QByteArray(6, 0)}, "ffffff"},
        {"RLE8",
         {8, 1, {}, QByteArray::fromHex("0100000000030100010000000002020001010001"), 3, 3, 40, two},
         "ffffff ffffff 445566 445566 112233 445566 112233 ffffff ffffff"},
        {"RLE8, every other pixel passed over by a delta move",
         {8, 1, {}, QByteArray::fromHex("000201000101").repeated(3), 6, 1, 40, two},
         "ffffff 445566 ffffff 445566 ffffff 445566"},
        {"RLE8 ending in a count", {8, 1, {}, le({1}, 1), 2, 1, 40, two}, "ffffff ffffff"},
        {"RLE4",
         {4, 2, {}, QByteArray::fromHex("0000020100031010"), 4, 2, 40, two},
         "112233 445566 445566 112233 ffffff ffffff ffffff ffffff"},
        {"PNG", {0, 5}, "JPEG and PNG pictures inside a bitmap are not supported"},
        {"v5 profile", {24, 0, {0, 0, 0, 0, 0x4D424544}, rgb, 1, 1, 124}, "102030"},
        {"2 bits", {2}, "2 bits per pixel are not supported"},
        {"64 bits", {64}, "64 bits per pixel are not supported"},
        {"RLE24", {24, 4, {}, {}, 1, 1, 64}, "Run-length encoded 24-bit bitmaps are not supported"},
        {"Huffman", {1, 3, {}, {}, 1, 1, 64}, "Huffman-coded bitmaps are not supported"},
        {"hole", {16, 3, {0xF00F, 0, 0}}, "The bit field mask 0x0000f00f is not contiguous"},
        {"mask past the pixel",
         {16, 3, {0x1F000, 0x3E0, 0x1F}},
         "The red bit field 0x0001f000 does not fit 16 bits per pixel"},
        {"no width", {24, 0, {}, rgb, 0, 1}, "A picture of 0 by 1 pixels is not supported"},
        {"no height", {24, 0, {}, rgb, 1, 0}, "A picture of 1 by 0 pixels is not supported"},
        {"the last row's padding left out", {24, 0, {}, rgb.left(3)}, "102030"},
        {"pixel rows cut off", {24}, "The file holds less pixel data than its header announces"},
        {"2^31 rows",
         {32, 0, {}, {}, INT32_MAX, INT32_MAX},
         "The file holds less pixel data than its header announces"},
    };
    QTemporaryDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        testing::WriteAll(dir.filePath("v.bmp"), testing::BuildBitmap(c.file));
        QString read;
        const QImage image = LoadPicture(dir.filePath("v.bmp"), &read);
        for (int i = 0; i < image.width() * image.height(); ++i) {
            const QRgb pixel = image.pixel(i % image.width(), i / image.width()) & 0xFFFFFF;
            read += QStringLiteral(" %1").arg(pixel, 6, 16, QLatin1Char('0'));
        }
        EXPECT_EQ(read.trimmed().toStdString(), c.read);
    }
}

QByteArray ToButton(const QByteArray& bitmap, const QString& out, MessageBoxes& boxes) {
    PictureSurface working(2, true), cropped(2, true);
    testing::WriteAll(out + ".bmp", bitmap);
    ConvertBitmapToButton(out + ".bmp", out, working, cropped, boxes);
    return testing::ReadAll(out);
}

TEST(ToButton, RowsOf32764PixelsAnd100000RowsAndNoMore) {
    QTemporaryDir dir;
    testing::ScriptedMessageBoxes boxes;
    const auto corners = [&](int w, int h) {
        const auto bitmap = testing::WhiteBitmap(w, h, {{0, 0, 0}, {w - 1, h - 1, 0}});
        return ToButton(testing::MakeBitmap(bitmap), dir.filePath("x"), boxes);
    };
    EXPECT_TRUE(corners(32765, 1).isNull());
    EXPECT_TRUE(corners(1, 100001).isNull());
    EXPECT_EQ(corners(32764, 1), "00000:3" + QByteArray(32762, '0') + "3\r\n");
    EXPECT_TRUE(corners(1, 100000).endsWith("\r\n99999:3\r\n"));
    const QString refused = "Unable to save file " + dir.filePath("x") + QChar(13) + "Error: ";
    EXPECT_EQ(boxes.shown.value(0).text, refused + "a row holds more than 32764 pixels");
    EXPECT_EQ(boxes.shown.value(1).text, refused + "the picture holds more than 100000 rows");
    EXPECT_EQ(boxes.shown.size(), 2);
}

TEST(BothConversions, SurfacesWithoutMemoryAreAFailedSaveAndWriteNothing) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer needs more address space than the limit leaves";
#endif
    QTemporaryDir dir;
    testing::ScriptedMessageBoxes boxes;
    const QString out = dir.filePath("out");
    testing::WriteAll(out, "kept");
    // Each needs a working surface of 36 MB, and a crop as large.
    const QByteArray bitmap = testing::BuildBitmap(
        {8, 1, {}, QByteArray::fromHex("ff000000").repeated(35000), 255, 35000, 40, le({0}, 4)});
    PictureSurface drawing(2, false), working(2, true), cropped(2, true);
    drawing.ReserveRaster(9001, 1001);
    drawing.MutableRaster().fill(0u);
    const long pages = testing::ReadAll("/proc/self/statm").split(' ')[0].toLong();
    const struct rlimit low = {rlim_t(pages * sysconf(_SC_PAGESIZE) + (48 << 20)), RLIM_INFINITY};
    struct rlimit old {};
    prlimit(0, RLIMIT_AS, &low, &old);
    ToButton(bitmap, out, boxes);
    EXPECT_EQ(ConvertDrawingToBitmap(drawing, {1000, 9000}, working, cropped, out + ".bmp", boxes),
              BitmapResult::Cancelled);
    setrlimit(RLIMIT_AS, &old);
    EXPECT_EQ(testing::ReadAll(out), "kept");
    const QString noMemory = QChar(13) + QStringLiteral("Error: Not enough memory for the picture");
    EXPECT_EQ(boxes.shown.value(0).text, "Unable to save file " + out + noMemory);
    EXPECT_EQ(boxes.shown.value(1).text, "Unable to save file " + out + ".bmp" + noMemory);
}

}  // namespace
}  // namespace tavrel
