#include <gtest/gtest.h>

#include <QBuffer>
#include <QImageWriter>
#include <QTemporaryDir>

#include <sys/stat.h>

#include "platform/picture_surface.h"
#include "tests/support/test_files.h"

namespace tavrel {
namespace {

PictureSurface Pixels(int w, int h, int border = 0) {
    PictureSurface s(border, false);
    s.Move(0, 0, (w + 2 * border) * kTwipsPerPixel, (h + 2 * border) * kTwipsPerPixel);
    s.SetScaleMode(ScaleUnit::Pixels);
    return s;
}

TEST(PictureSurface, PointAndPSetStayInsideTheRaster) {
    PictureSurface s = Pixels(4, 3);
    EXPECT_EQ(s.Point(0, 0), kWhite);
    s.PSet(3, 2, 0x00123456);
    EXPECT_EQ(s.Point(3, 2), 0x00123456);
    EXPECT_EQ(s.Image().pixel(3, 2), 0xFF563412u);  // stored as RGB, read as BGR
    for (auto [x, y] : {std::pair{4, 0}, {0, 3}, {-1, 0}, {0, -1}}) {
        EXPECT_EQ(s.Point(x, y), -1);
        s.PSet(x, y, 0);  // nothing happens, nothing breaks
    }
    s.SetScaleMode(ScaleUnit::Twips);
    EXPECT_EQ(s.Point(3 * 15, 2 * 15 + 14), 0x00123456);
}

TEST(PictureSurface, GeometryIsInTwipsRoundedToWholePixelsWithTheBorder) {
    PictureSurface s(2, false);
    s.Move(6600, 4080, 852, 492);
    EXPECT_EQ(s.Width(), 855);  // 57 pixels
    EXPECT_EQ(s.Height(), 495);
    EXPECT_EQ(s.ScaleWidth(), (57 - 4) * 15);
    s.SetScaleMode(ScaleUnit::Pixels);
    EXPECT_EQ(s.ScaleWidth(), 53);
    EXPECT_EQ(s.ScaleHeight(), 29);
    EXPECT_EQ(PictureSurface::ScaleX(7, ScaleUnit::Pixels, ScaleUnit::Twips), 105);
    s.Move(0, 0, -500, 30);  // too small for the border: an empty inner area
    EXPECT_EQ(s.ScaleWidth(), 0);
    EXPECT_EQ(s.Point(0, 0), -1);
}

TEST(PictureSurface, ClsRestoresTheLoadedPictureAndResizingKeepsPixels) {
    PictureSurface s = Pixels(4, 4);
    QImage picture(2, 2, QImage::Format_RGB32);
    picture.fill(0xFF000000u);
    s.SetPicture(picture);
    s.PSet(3, 3, 0x00808080);
    s.PSet(1, 1, 0x00808080);
    s.Cls();
    EXPECT_EQ(s.Point(1, 1), 0);  // the picture again
    EXPECT_EQ(s.Point(3, 3), kWhite);
    s.ClearPicture();
    EXPECT_EQ(s.Point(1, 1), kWhite);

    s.PSet(2, 2, 0x00808080);
    s.Move(0, 0, 10 * 15, 10 * 15);
    EXPECT_EQ(s.Point(2, 2), 0x00808080);
    EXPECT_EQ(s.Point(9, 9), kWhite);
}

TEST(PictureSurface, AutoSizingBoxTakesThePictureSize) {
    PictureSurface s(2, true);
    s.Move(960, 4080, 852, 492);
    QImage picture(31, 7, QImage::Format_RGB32);
    picture.fill(0xFF808080u);
    s.SetPicture(picture);
    s.SetScaleMode(ScaleUnit::Pixels);
    EXPECT_EQ(s.ScaleWidth(), 31);
    EXPECT_EQ(s.ScaleHeight(), 7);
    EXPECT_EQ(s.Width(), 35 * 15);
    EXPECT_EQ(s.Left(), 960);
}

TEST(PictureSurface, PaintPictureCopiesRegionsClippedAtBothEdges) {
    QImage pic(4, 4, QImage::Format_RGB32);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
            pic.setPixel(x, y, qRgb(x * 10, y * 10, 0));
        }
    }
    PictureSurface s = Pixels(5, 5);
    s.PaintPicture(pic, 3, -1);  // whole picture, hanging off two edges
    EXPECT_EQ(s.Point(3, 0), ColourFromRgb(qRgb(0, 10, 0)));
    EXPECT_EQ(s.Point(4, 2), ColourFromRgb(qRgb(10, 30, 0)));
    EXPECT_EQ(s.Point(2, 0), kWhite);

    PictureSurface t = Pixels(5, 5);
    t.PaintPicture(pic, 0, 0, 2, 2, 2, 1, 2, 2);
    EXPECT_EQ(t.Point(0, 0), ColourFromRgb(qRgb(20, 10, 0)));
    EXPECT_EQ(t.Point(1, 1), ColourFromRgb(qRgb(30, 20, 0)));
    EXPECT_EQ(t.Point(2, 0), kWhite);
    t.PaintPicture(pic, 4, 4, 3, 3, 3, 3, 3, 3);  // source and target both clipped
    EXPECT_EQ(t.Point(4, 4), ColourFromRgb(qRgb(30, 30, 0)));
}

TEST(PictureSurface, ReservedRasterOutlivesResizesAndCls) {
    PictureSurface s = Pixels(5, 5);
    s.ReserveRaster(20, 10);
    s.PSet(19, 9, 0);
    s.Move(0, 0, 3 * 15, 3 * 15);
    EXPECT_EQ(s.ScaleWidth(), 3);
    EXPECT_EQ(s.Point(19, 9), 0);
    s.Cls();
    EXPECT_EQ(s.Point(19, 9), kWhite);
    s.ReserveRaster(0, 0);
    EXPECT_EQ(s.Image().size(), QSize(3, 3));
}

class LoadPictureTest : public ::testing::Test {
  protected:
    QTemporaryDir dir_;
};

TEST_F(LoadPictureTest, TransparentPicturesArePutOnWhite) {
    QImage argb(2, 1, QImage::Format_ARGB32);
    argb.setPixel(0, 0, qRgba(0, 0, 0, 0));
    argb.setPixel(1, 0, qRgba(0, 0, 0, 255));
    const QString path = dir_.filePath("t.png");
    ASSERT_TRUE(argb.save(path, "PNG"));
    QString error;
    const QImage loaded = LoadPicture(path, &error);
    ASSERT_FALSE(loaded.isNull()) << error.toStdString();
    EXPECT_EQ(loaded.format(), QImage::Format_RGB32);
    EXPECT_EQ(loaded.pixel(0, 0), 0xFFFFFFFFu);
    EXPECT_EQ(loaded.pixel(1, 0), 0xFF000000u);
}

TEST_F(LoadPictureTest, ContentDecidesTheFormatNotTheName) {
    QImage png(3, 2, QImage::Format_RGB32);
    png.fill(0xFF808080u);
    const QString path = dir_.filePath("really-png.bmp");
    ASSERT_TRUE(png.save(path, "PNG"));
    QString error;
    EXPECT_EQ(LoadPicture(path, &error).size(), QSize(3, 2));
}

TEST_F(LoadPictureTest, FailuresCarryTheReadersDescription) {
    QString error;
    const QString text = dir_.filePath("text.bmp");
    testing::WriteAll(text, "not a picture at all");
    EXPECT_TRUE(LoadPicture(text, &error).isNull());
    EXPECT_FALSE(error.isEmpty());

    EXPECT_TRUE(LoadPicture(dir_.filePath("missing.bmp"), &error).isNull());
    EXPECT_EQ(error, "No such file or directory");

    const QString fifo = dir_.filePath("pipe.bmp");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_TRUE(LoadPicture(fifo, &error).isNull());
    EXPECT_EQ(error, "Not a regular file");
}

TEST_F(LoadPictureTest, HugeHeaderIsRefusedWithoutAllocating) {
    // A 24-bit header claiming 100000 by 100000 pixels (30 GB), with no data.
    testing::BitmapRecipe recipe = testing::WhiteBitmap(1, 1);
    QByteArray bytes = testing::MakeBitmap(recipe);
    const qint32 side = 100000;
    std::memcpy(bytes.data() + 18, &side, 4);
    std::memcpy(bytes.data() + 22, &side, 4);
    const QString path = dir_.filePath("huge.bmp");
    testing::WriteAll(path, bytes);
    QString error;
    EXPECT_TRUE(LoadPicture(path, &error).isNull());
    EXPECT_FALSE(error.isEmpty());
}

// Bitmaps of more than a few megabytes are decoded from the file rather than
// from memory: the same picture, and the same refusal of missing rows.
TEST_F(LoadPictureTest, LargeBitmapsAreStreamedWithTheSameResult) {
    const QString path = dir_.filePath("large.bmp");
    const QByteArray bytes = testing::MakeBitmap(
        testing::WhiteBitmap(1300, 1200, {{0, 0, 0x000000}, {1299, 1199, 0x123456}}));
    ASSERT_GT(bytes.size(), 4 * 1024 * 1024);
    testing::WriteAll(path, bytes);
    QString error;
    const QImage loaded = LoadPicture(path, &error);
    ASSERT_EQ(loaded.size(), QSize(1300, 1200)) << error.toStdString();
    EXPECT_EQ(loaded.pixel(0, 0), 0xFF000000u);
    EXPECT_EQ(loaded.pixel(1299, 1199), 0xFF123456u);
    EXPECT_EQ(loaded.pixel(650, 600), 0xFFFFFFFFu);

    testing::WriteAll(path, bytes.chopped(5000));
    EXPECT_TRUE(LoadPicture(path, &error).isNull());
    EXPECT_EQ(error, "The file holds less pixel data than its header announces");
}

TEST(EncodeBitmap, WritesTwentyFourBitsAtNinetySixDotsPerInch) {
    QImage image(3, 2, QImage::Format_RGB32);
    image.fill(0xFFC0C0C0u);
    image.setDotsPerMeterX(11811);  // 300 dpi must not leak into the file
    const QByteArray bmp = EncodeBitmap(image);
    ASSERT_GE(bmp.size(), 54);
    auto u16 = [&](int at) { return quint16(quint8(bmp[at]) | (quint8(bmp[at + 1]) << 8)); };
    auto u32 = [&](int at) { return quint32(u16(at) | (quint32(u16(at + 2)) << 16)); };
    EXPECT_EQ(bmp.left(2), "BM");
    EXPECT_EQ(u16(28), 24);
    EXPECT_EQ(u32(38), 3780u);
    EXPECT_EQ(u32(42), 3780u);
    EXPECT_EQ(bmp, EncodeBitmap(image.convertToFormat(QImage::Format_ARGB32)));
}

}  // namespace
}  // namespace tavrel
