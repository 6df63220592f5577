#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "conversion/crop.h"

namespace tavrel {
namespace {

TEST(SplitRGB, SplitsColourValuesAndTakesMinusOneForWhite) {
    for (const auto& [colour, rgb] :
         {std::pair{0x00336699, 0x996633}, {0x00FF0000, 0x0000FF}, {-1, 0xFFFFFF}}) {
        const Channels c = SplitRGB(colour);
        EXPECT_EQ(c.red << 16 | c.green << 8 | c.blue, rgb) << colour;
    }
}

TEST(CropToContent, TheContentWithOneBackgroundColumnAndRowBeforeIt) {
    // A white w by h source (its raster "more" larger), dots 0x00BBGGRR, and
    // the crop of the source; none without content.
    const struct {
        const char* why;
        int w, h, more;
        std::vector<std::tuple<int, int, ColourValue>> dots;
        QRect crop;
    } cases[] = {
        {"one pixel", 20, 15, 0, {{5, 7, 0}}, {4, 6, 2, 2}},
        {"one channel below 224 is content", 20, 15, 0, {{5, 7, 0xE6E6DF}}, {4, 6, 2, 2}},
        {"at 224 it is background", 20, 15, 0, {{5, 7, 0xE0E0E0}}, {}},
        {"the row and column just past the inner area", 20, 15, 5, {{20, 15, 0}}, {19, 14, 2, 2}},
        {"beyond them nothing counts", 20, 15, 5, {{5, 17, 0}, {22, 5, 0}}, {}},
        {"at the edges: no margin there",
         10,
         8,
         0,
         {{0, 3, 0x808080}, {9, 0, 0}, {4, 7, 0}},
         {0, 0, 10, 8}},
        {"two apart", 10, 8, 0, {{6, 4, 0xC0C0C0}, {3, 2, 0x808080}}, {2, 1, 5, 4}},
        {"wide rows, past the first 64 pixels", 150, 5, 0, {{100, 3, 0xC0C0FF}}, {99, 2, 2, 2}},
        {"wide rows, the last pixel", 130, 5, 0, {{129, 1, 0}, {70, 4, 0}}, {69, 0, 61, 5}},
        {"wide rows, the first pixels", 130, 5, 0, {{1, 2, 0}, {63, 2, 0}}, {0, 1, 64, 2}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        PictureSurface source(2, true), destination(2, true);
        source.SetScaleMode(ScaleUnit::Pixels);
        SizePictureToPixels(source, c.w, c.h);
        source.ReserveRaster(c.w + c.more, c.h + c.more);
        for (const auto& [x, y, colour] : c.dots) {
            source.PSet(x, y, colour);
        }
        destination.SetScaleMode(ScaleUnit::Pixels);
        SizePictureToPixels(destination, 3, 3);
        destination.PSet(1, 1, 0);
        const QImage before = destination.Image().copy();
        ASSERT_EQ(CropToContent(source, destination), !c.crop.isEmpty());
        // Without content the destination is left as it was.
        EXPECT_EQ(destination.Image(), c.crop.isEmpty() ? before : source.Image().copy(c.crop));
    }
}

}  // namespace
}  // namespace tavrel
