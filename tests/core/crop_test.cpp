#include <gtest/gtest.h>

#include <QRandomGenerator>

#include "conversion/crop.h"

namespace tavrel {
namespace {

// Hidden scratch boxes have a 2-pixel border on each side.
constexpr int kBorder = 2;

PictureSurface WhiteSource(int w, int h) {
    PictureSurface s(kBorder, true);
    s.SetScaleMode(ScaleUnit::Pixels);
    SizePictureToPixels(s, w, h);
    return s;
}

// The bounding box the crop must find, computed the slow way: one Point call
// per point from (0, 0) to (ScaleWidth, ScaleHeight) inclusive.
struct Bounds {
    bool any = false;
    int x = 0, y = 0, w = 0, h = 0;
};
Bounds ReferenceBounds(PictureSurface& s) {
    s.SetScaleMode(ScaleUnit::Pixels);
    double minX = s.Width(), minY = s.Height(), maxX = 0, maxY = 0;
    bool any = false;
    for (int y = 0; y <= s.ScaleHeight(); ++y) {
        for (int x = 0; x <= s.ScaleWidth(); ++x) {
            if (IsContent(SplitRGB(s.Point(x, y)))) {
                any = true;
                minX = std::min<double>(minX, x);
                maxX = std::max<double>(maxX, x);
                minY = std::min<double>(minY, y);
                maxY = std::max<double>(maxY, y);
            }
        }
    }
    minX = MaxOf(0, minX - 1);
    minY = MaxOf(0, minY - 1);
    maxY = MaxOf(0, maxY + 1);
    maxX = MaxOf(0, maxX + 1);
    return {any, int(minX), int(minY), int(maxX - minX), int(maxY - minY)};
}

TEST(SplitRGB, SplitsColourValuesAndTreatsMinusOneAsWhite) {
    const Channels c = SplitRGB(0x00336699);
    EXPECT_EQ(c.red, 0x99);
    EXPECT_EQ(c.green, 0x66);
    EXPECT_EQ(c.blue, 0x33);
    const Channels white = SplitRGB(-1);
    EXPECT_EQ(white.red, 255);
    EXPECT_EQ(white.green, 255);
    EXPECT_EQ(white.blue, 255);
    EXPECT_EQ(SplitRGB(0x00FF0000).blue, 255);
    EXPECT_EQ(SplitRGB(0x00FF0000).green, 0);
}

TEST(ContentRule, AnyChannelBelow224IsContent) {
    EXPECT_TRUE(IsContent({230, 230, 223}));
    EXPECT_TRUE(IsContent({223, 255, 255}));
    EXPECT_TRUE(IsContent({192, 192, 192}));
    EXPECT_FALSE(IsContent({224, 224, 224}));
    EXPECT_FALSE(IsContent(SplitRGB(-1)));
}

TEST(SizePictureToPixels, MeasuresTheBorderAndKeepsThePosition) {
    for (int border : {0, 2, 5}) {
        PictureSurface box(border, false);
        box.Move(6600, 4080, 852, 492);
        box.SetScaleMode(ScaleUnit::Pixels);
        SizePictureToPixels(box, 17, 9);
        EXPECT_EQ(box.ScaleWidth(), 17);
        EXPECT_EQ(box.ScaleHeight(), 9);
        EXPECT_EQ(box.Width(), (17 + 2 * border) * 15.0);
        EXPECT_EQ(box.Left(), 6600);
        EXPECT_EQ(box.Top(), 4080);
        EXPECT_EQ(box.ScaleMode(), ScaleUnit::Pixels);
        EXPECT_EQ(box.Image().size(), QSize(17, 9));
    }
    PictureSurface twips(kBorder, false);
    SizePictureToPixels(twips, 150, 300);  // in its own unit, twips
    EXPECT_EQ(twips.ScaleWidth(), 150);
    EXPECT_EQ(twips.ScaleHeight(), 300);
}

TEST(CropToContent, SinglePixelGivesTwoByTwoWithTheMarginAboveAndLeft) {
    PictureSurface src = WhiteSource(20, 15);
    src.PSet(5, 7, 0x00000000);
    PictureSurface dst(kBorder, true);
    ASSERT_TRUE(CropToContent(src, dst));
    dst.SetScaleMode(ScaleUnit::Pixels);
    EXPECT_EQ(dst.ScaleWidth(), 2);
    EXPECT_EQ(dst.ScaleHeight(), 2);
    EXPECT_EQ(dst.Point(1, 1), 0);
    EXPECT_EQ(dst.Point(0, 0), kWhite);
    EXPECT_EQ(dst.Point(0, 1), kWhite);
    EXPECT_EQ(dst.Point(1, 0), kWhite);
}

TEST(CropToContent, ContentAtTheEdgesHasNoMarginThereAndStaysWhole) {
    PictureSurface src = WhiteSource(10, 8);
    src.PSet(0, 3, 0x00808080);  // left column
    src.PSet(9, 0, 0x00808080);  // top row, last column
    src.PSet(4, 7, 0x00808080);  // last row
    PictureSurface dst(kBorder, true);
    ASSERT_TRUE(CropToContent(src, dst));
    EXPECT_EQ(dst.ScaleWidth(), 10);
    EXPECT_EQ(dst.ScaleHeight(), 8);
    EXPECT_EQ(dst.Image(), src.Image());

    PictureSurface full = WhiteSource(6, 4);
    full.MutableRaster().fill(0xFF000000u);
    ASSERT_TRUE(CropToContent(full, dst));
    EXPECT_EQ(dst.Image().size(), QSize(6, 4));
}

TEST(CropToContent, WithoutContentSaysSoAndLeavesTheDestination) {
    PictureSurface src = WhiteSource(10, 8);
    src.PSet(2, 2, 0x00E0E0E0);  // light, but still background
    PictureSurface dst(kBorder, true);
    dst.SetScaleMode(ScaleUnit::Pixels);
    SizePictureToPixels(dst, 3, 3);
    dst.PSet(1, 1, 0);
    EXPECT_FALSE(CropToContent(src, dst));
    EXPECT_EQ(dst.ScaleWidth(), 3);
    EXPECT_EQ(dst.Point(1, 1), 0);
}

TEST(CropToContent, MatchesThePointByPointScanOnRandomImages) {
    QRandomGenerator random(1234);
    for (int round = 0; round < 300; ++round) {
        const int w = 1 + random.bounded(90);
        const int h = 1 + random.bounded(40);
        PictureSurface src = WhiteSource(w, h);
        const int dots = random.bounded(4);
        for (int i = 0; i < dots; ++i) {
            // Channels near the threshold, so both sides of it are tried.
            const auto channel = [&] { return 215 + random.bounded(41); };
            src.PSet(random.bounded(w), random.bounded(h),
                     channel() | (channel() << 8) | (channel() << 16));
        }
        const Bounds expected = ReferenceBounds(src);
        PictureSurface dst(kBorder, true);
        ASSERT_EQ(CropToContent(src, dst), expected.any) << round;
        if (!expected.any) {
            continue;
        }
        ASSERT_EQ(dst.Image().size(), QSize(expected.w, expected.h)) << round;
        EXPECT_EQ(dst.Image(), src.Image().copy(expected.x, expected.y, expected.w, expected.h))
            << round;
    }
}

}  // namespace
}  // namespace tavrel
