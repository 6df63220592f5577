#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "picture/picture_surface.h"
#include "tests/support/test_files.h"

namespace tavrel {
namespace {

PictureSurface Pixels(int w, int h) {
    PictureSurface s(0, false);
    s.Move(0, 0, w * kTwipsPerPixel, h * kTwipsPerPixel);
    s.SetScaleMode(ScaleUnit::Pixels);
    return s;
}

TEST(PictureSurface, PointAndPSetStayInsideTheRaster) {
    PictureSurface s = Pixels(4, 3);
    s.PSet(3, 2, 0x00123456);
    EXPECT_EQ(s.Image().pixel(3, 2), 0xFF563412u);  // 0x00BBGGRR as RGB
    for (auto [x, y] : {std::pair{4, 0}, {0, 3}, {-1, 0}, {0, -1}}) {
        EXPECT_EQ(s.Point(x, y), -1);
        s.PSet(x, y, 0);  // nothing happens, nothing breaks
    }
    EXPECT_EQ(testing::Levels(s.Image()), (QStringList{"0000", "0000", "000?"}));
    EXPECT_EQ(s.Point(0, 0), 0x00FFFFFF);
    s.SetScaleMode(ScaleUnit::Twips);
    EXPECT_EQ(s.Point(3 * 15, 2 * 15 + 14), 0x00123456);
    EXPECT_EQ(s.ScaleWidth(), 4 * 15);
}

TEST(PictureSurface, ClsBringsBackThePictureAndResizingKeepsPixels) {
    PictureSurface s = Pixels(4, 4);
    QImage picture(2, 2, QImage::Format_RGB32);
    picture.fill(0xFF000000u);
    s.SetPicture(picture);
    s.PSet(3, 3, 0x00808080);
    s.PSet(1, 1, 0x00808080);
    s.Cls();
    EXPECT_EQ(testing::Levels(s.Image()), (QStringList{"3300", "3300", "0000", "0000"}));
    s.ClearPicture();
    s.PSet(2, 2, 0x00808080);
    s.Move(0, 0, 5 * 15, 3 * 15);
    EXPECT_EQ(testing::Levels(s.Image()), (QStringList{"00000", "00000", "00200"}));
}

TEST(PictureSurface, PaintPictureCopiesRegionsCutAtEveryEdge) {
    // Pixels painted show as the letter of their blue value, "A" for 0.
    QImage pic(4, 4, QImage::Format_RGB32);
    for (int i = 0; i < 16; ++i) {
        pic.setPixel(i % 4, i / 4, qRgb(0, 0, i));
    }
    const auto painted = [](const PictureSurface& s) {
        QString text;
        for (int i = 0; i < s.Image().width() * s.Image().height(); ++i) {
            const QRgb p = s.Image().pixel(i % s.Image().width(), i / s.Image().width());
            text += p == 0xFFFFFFFFu ? QChar('.') : QChar('A' + qBlue(p));
        }
        return text;
    };
    PictureSurface s = Pixels(5, 4);
    s.PaintPicture(pic, 3, -1);  // whole, hanging off two edges
    EXPECT_EQ(painted(s), "...EF...IJ...MN.....");
    s = Pixels(5, 4);
    s.PaintPicture(pic, -1, 2, 3, 3, 0, 0, 3, 3);  // cut on the left
    s.PaintPicture(pic, 2, 1, 2, 1, -1, 3, 2, 1);  // the source cut on the left
    s.PaintPicture(pic, 3, 0, 2, 1, 2, -1, 2, 1);  // above the source: nothing
    s.PaintPicture(pic, 4, 0, 3, 3, 3, 3, 3, 3);   // both cut at their far edges
    EXPECT_EQ(painted(s), "....P...M.BC...FG...");
}

TEST(LoadPicture, ReadsByContentOntoWhiteAndStreamsLargeBitmaps) {
    QTemporaryDir dir;
    QImage argb(5, 1, QImage::Format_ARGB32);
    argb.setPixel(0, 0, qRgba(0, 0, 0, 0));
    argb.setPixel(1, 0, qRgba(0, 0, 0, 255));
    argb.setPixel(2, 0, qRgba(128, 128, 128, 255));
    argb.setPixel(3, 0, qRgba(223, 0, 0, 251));  // over white 223.502, 4.498, 4.498
    argb.setPixel(4, 0, qRgba(223, 0, 0, 252));
    ASSERT_TRUE(argb.save(dir.filePath("png.bmp"), "PNG"));
    QString error;
    const QImage loaded = LoadPicture(dir.filePath("png.bmp"), &error);
    EXPECT_EQ(loaded.format(), QImage::Format_RGB32);
    EXPECT_EQ(testing::Levels(loaded.copy(0, 0, 3, 1)), QStringList{"032"});
    EXPECT_EQ(loaded.pixel(3, 0), qRgb(224, 4, 4));
    EXPECT_EQ(loaded.pixel(4, 0), qRgb(223, 3, 3));
    QImage premultiplied(1, 1, QImage::Format_ARGB32_Premultiplied);
    premultiplied.fill(0xFBDC0000u);  // red 220 of at most 251: 224 over white
    PictureSurface shown = Pixels(1, 1);
    shown.SetPicture(premultiplied);
    EXPECT_EQ(shown.Image().pixel(0, 0), qRgb(224, 4, 4));

    // Past a few megabytes a bitmap is read from the file as it is decoded.
    const QByteArray large = testing::MakeBitmap(
        testing::WhiteBitmap(1300, 1200, {{0, 0, 0x000000}, {1299, 1199, 0x123456}}));
    ASSERT_GT(large.size(), 4 * 1024 * 1024);
    testing::WriteAll(dir.filePath("large.bmp"), large);
    const QImage streamed = LoadPicture(dir.filePath("large.bmp"), &error);
    ASSERT_EQ(streamed.size(), QSize(1300, 1200)) << error.toStdString();
    EXPECT_EQ(streamed.pixel(0, 0), 0xFF000000u);
    EXPECT_EQ(streamed.pixel(1299, 1199), 0xFF123456u);
    EXPECT_EQ(streamed.pixel(650, 600), 0xFFFFFFFFu);
    testing::WriteAll(dir.filePath("large.bmp"), large.chopped(5000));
    EXPECT_TRUE(LoadPicture(dir.filePath("large.bmp"), &error).isNull());
    EXPECT_EQ(error, "The file holds less pixel data than its header announces");
}

// What no bitmap reader could take is refused; the header variants are
// rows of the bitmap variants' table.
TEST(LoadPicture, BrokenBitmapsAreRefusedNeverGuessed) {
    const QByteArray valid = testing::MakeBitmap(testing::WhiteBitmap(4, 4, {{1, 1, 0}}));
    QTemporaryDir dir;
    for (const QByteArray& bytes : {valid.left(30), "XM" + valid.mid(2), QByteArray("text\r\n")}) {
        testing::WriteAll(dir.filePath("h.bmp"), bytes);
        QString error;
        EXPECT_TRUE(LoadPicture(dir.filePath("h.bmp"), &error).isNull()) << bytes.toStdString();
        EXPECT_FALSE(error.isEmpty()) << bytes.toStdString();
    }
}

TEST(EncodeBitmap, TwentyFourBitsAtNinetySixDotsPerInch) {
    QImage image(3, 2, QImage::Format_ARGB32);
    image.fill(0xFFC0C0C0u);
    image.setDotsPerMeterX(11811);  // 300 dots per inch must not reach the file
    const QByteArray bmp = EncodeBitmap(image);
    // Rows padded to 12 bytes; bits per pixel at 28, dots per metre at 38, 42.
    EXPECT_EQ(bmp.size(), 54 + 2 * 12);
    EXPECT_EQ((bmp.mid(28, 2) + bmp.mid(38, 8)).toHex(), "1800c40e0000c40e0000");
}

}  // namespace
}  // namespace tavrel
