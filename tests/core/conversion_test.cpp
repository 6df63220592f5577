// Bitmaps to button files on the window's boxes: levels, crops, variants.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "conversion/bitmap_to_button.h"
#include "tests/support/scripted_message_boxes.h"
#include "tests/support/test_files.h"

namespace tavrel {
namespace {

using testing::BitmapRecipe;
using testing::ButtonText;
using testing::WhiteBitmap;

BitmapRecipe Kind(BitmapRecipe recipe, int bits, bool topDown = false, bool rle = false) {
    recipe.bitsPerPixel = bits;
    recipe.topDown = topDown;
    recipe.rle = rle;
    return recipe;
}

BitmapRecipe Filled(int w, int h, std::uint32_t rgb) {
    BitmapRecipe recipe = WhiteBitmap(w, h);
    recipe.pixels.assign(static_cast<size_t>(w * h), rgb);
    return recipe;
}

// The window's two hidden scratch boxes, with their 2-pixel borders.
class ConversionTest : public ::testing::Test {
  protected:
    ConversionTest() {
        picWorking_.Move(6600, 4080, 852, 492);
        picOut_.Move(960, 4080, 852, 492);
    }
    bool ToButton(const QString& in, const QString& out) {
        return ConvertBitmapToButton(Path(in), Path(out), picWorking_, picOut_, boxes_);
    }
    QString Path(const QString& name) const { return dir_.filePath(name); }

    QTemporaryDir dir_;
    testing::ScriptedMessageBoxes boxes_;
    PictureSurface picWorking_{2, true}, picOut_{2, true};
};

TEST_F(ConversionTest, BitmapsBecomeTheLevelsOfTheirContent) {
    // Reds on both sides of each threshold; green and blue pull the other way.
    BitmapRecipe reds = WhiteBitmap(12, 3, {{1, 1, 0}, {10, 1, 0}});
    size_t x = 12 + 2;
    for (const std::uint32_t red : {255u, 224u, 223u, 161u, 160u, 97u, 96u, 0u}) {
        reds.pixels[x++] = red << 16 | (red > 128 ? 0 : 0xFFFF);
    }
    // Red 223 at alpha 251 is 223.502 over white, at alpha 252 223.376.
    BitmapRecipe alpha = Kind(WhiteBitmap(4, 3, {{1, 1, 0xFBDF0000}, {2, 1, 0xFCDF0000}}), 32);
    alpha.alpha = true;
    const BitmapRecipe dots =
        WhiteBitmap(9, 6, {{2, 1, 0}, {3, 1, 0x808080}, {4, 2, 0xC0C0C0}, {7, 4, 0}});
    const QString dotsRows = "320000|001000|000000|000003";
    const QString black = QStringList(60, QString(80, '3')).join('|');
    // In this order: no bitmap may show through into the next.
    const struct {
        const char* why;
        BitmapRecipe bitmap;
        QString rows;
    } cases[] = {
        {"red alone decides", reds, "3001122333"},
        {"pure red is content, written white", WhiteBitmap(4, 3, {{1, 1, 0xFF0000}, {2, 1, 255}}),
         "03"},
        {"transparency over white, rounded to the nearest", alpha, "01"},
        {"one pixel", WhiteBitmap(10, 8, {{5, 7, 0}}), "3"},
        {"two", WhiteBitmap(10, 8, {{3, 2, 0x808080}, {6, 4, 0xC0C0C0}}), "2000|0000|0001"},
        {"at the left and top edges", WhiteBitmap(3, 3, {{0, 0, 0}, {0, 2, 0x808080}}), "3|0|2"},
        {"in the top row only", WhiteBitmap(4, 2, {{1, 0, 0}, {3, 0, 0}}), "303"},
        {"everywhere", Filled(5, 4, 0xC0C0C0), "11111|11111|11111|11111"},
        {"a large black bitmap", Filled(80, 60, 0), black},
        {"24 bits", dots, dotsRows},
        {"a large black one again", Filled(80, 60, 0), black},
        {"8 bits", Kind(dots, 8), dotsRows},
        {"8 bits top-down", Kind(dots, 8, true), dotsRows},
        {"8 bits run-length encoded", Kind(dots, 8, false, true), dotsRows},
        {"16 bits, 5 a channel", Kind(dots, 16), dotsRows},
        {"24 bits top-down", Kind(dots, 24, true), dotsRows},
        {"32 bits", Kind(dots, 32), dotsRows},
        {"32 bits top-down", Kind(dots, 32, true), dotsRows},
    };
    for (const auto& c : cases) {
        testing::WriteAll(Path("in.bmp"), testing::MakeBitmap(c.bitmap));
        EXPECT_TRUE(ToButton("in.bmp", "out.Btn")) << c.why;
        EXPECT_EQ(testing::ReadAll(Path("out.Btn")), ButtonText(c.rows.split('|'))) << c.why;
    }
    EXPECT_TRUE(boxes_.shown.isEmpty());
}

}  // namespace
}  // namespace tavrel
