#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "conversion/bitmap_to_button.h"
#include "conversion/button_render.h"
#include "conversion/drawing_to_bitmap.h"
#include "conversion/messages.h"
#include "tests/support/scripted_message_boxes.h"
#include "tests/support/test_files.h"

namespace tavrel {
namespace {

using testing::Dot;
using testing::ScriptedMessageBoxes;
using Answer = MessageBoxes::Answer;

// The window's pieces that the conversions work with: the button preview and
// the two hidden scratch boxes (2-pixel border, sizing themselves).
class ConversionTest : public ::testing::Test {
  protected:
    ConversionTest() : picButtons_(2, false), picWorking_(2, true), picOut_(2, true) {
        picButtons_.Move(5280, 3360, 3012, 492);  // smaller than most drawings here
        picWorking_.Move(6600, 4080, 852, 492);
        picOut_.Move(960, 4080, 852, 492);
    }

    QString WriteBitmap(const testing::BitmapRecipe& recipe, const QString& name = "in.bmp") {
        const QString path = dir_.filePath(name);
        testing::WriteAll(path, testing::MakeBitmap(recipe));
        return path;
    }
    // Converts a bitmap and returns the button file's text.
    QByteArray ToButton(const QString& bitmapPath) {
        const QString out = dir_.filePath("out.Btn");
        QFile::remove(out);
        EXPECT_TRUE(ConvertBitmapToButton(bitmapPath, out, picWorking_, picOut_, boxes_));
        return testing::ReadAll(out);
    }
    QByteArray ToButton(const testing::BitmapRecipe& recipe) {
        return ToButton(WriteBitmap(recipe));
    }
    // Draws a button file as the preview does, then converts the drawing.
    BitmapResult ToBitmap(const QByteArray& buttonText, const QString& out) {
        const QString in = dir_.filePath("in.BTN");
        testing::WriteAll(in, buttonText);
        EXPECT_EQ(DrawButtonFile(in, picButtons_, boxes_, size_), DrawResult::Drawn);
        return ConvertDrawingToBitmap(picButtons_, size_, picWorking_, picOut_, out, boxes_);
    }

    QTemporaryDir dir_;
    ScriptedMessageBoxes boxes_;
    PictureSurface picButtons_;
    PictureSurface picWorking_;
    PictureSurface picOut_;
    ButtonSize size_;
};

TEST_F(ConversionTest, RedValueThresholdsChooseTheLevelAndGreenBlueAreIgnored) {
    // One row of pixels whose red values sit on both sides of each threshold;
    // a black pixel first and last keeps every one of them inside the crop.
    const std::uint32_t reds[] = {255, 224, 223, 161, 160, 97, 96, 0};
    testing::BitmapRecipe recipe = testing::WhiteBitmap(12, 3);
    recipe.pixels[1 * 12 + 1] = 0x000000;
    for (int i = 0; i < 8; ++i) {
        // Green and blue pull the other way; only red may decide.
        const std::uint32_t gb = reds[i] > 128 ? 0x0000 : 0xFFFF;
        recipe.pixels[1 * 12 + 2 + i] = (reds[i] << 16) | gb;
    }
    recipe.pixels[1 * 12 + 10] = 0x000000;
    EXPECT_EQ(ToButton(recipe), "00000:3001122333\r\n");

    // Pure red is content for the crop but white for the writer; pure blue is black.
    EXPECT_EQ(ToButton(testing::WhiteBitmap(4, 3, {{1, 1, 0xFF0000}, {2, 1, 0x0000FF}})),
              "00000:03\r\n");
}

TEST_F(ConversionTest, CropKeepsTheContentBoxOnly) {
    EXPECT_EQ(ToButton(testing::WhiteBitmap(10, 8, {{5, 7, 0x000000}})), "00000:3\r\n");
    EXPECT_EQ(ToButton(testing::WhiteBitmap(10, 8, {{3, 2, 0x808080}, {6, 4, 0xC0C0C0}})),
              "00000:2000\r\n00001:0000\r\n00002:0001\r\n");
}

TEST_F(ConversionTest, ContentAtTheBitmapsEdgesIsNotLost) {
    // Left column and top row: without a margin there they would be dropped.
    EXPECT_EQ(ToButton(testing::WhiteBitmap(3, 3, {{0, 0, 0x000000}, {0, 2, 0x808080}})),
              "00000:3\r\n00001:0\r\n00002:2\r\n");
    // Content only in the top row / only in the left column still gives pixels.
    EXPECT_EQ(ToButton(testing::WhiteBitmap(4, 2, {{1, 0, 0}, {3, 0, 0}})), "00000:303\r\n");
    EXPECT_EQ(ToButton(testing::WhiteBitmap(2, 3, {{0, 0, 0}, {0, 1, 0}})),
              "00000:3\r\n00001:3\r\n");
    // Content everywhere gives a file of the bitmap's full size.
    testing::BitmapRecipe grey = testing::WhiteBitmap(5, 4);
    grey.pixels.assign(20, 0xC0C0C0);
    const QByteArray text = ToButton(grey);
    EXPECT_EQ(text, "00000:11111\r\n00001:11111\r\n00002:11111\r\n00003:11111\r\n");
}

TEST_F(ConversionTest, BitmapVariantsConvertLikeTwentyFourBits) {
    testing::BitmapRecipe recipe = testing::WhiteBitmap(
        9, 6, {{2, 1, 0x000000}, {3, 1, 0x808080}, {4, 2, 0xC0C0C0}, {7, 4, 0x000000}});
    const QByteArray expected = ToButton(recipe);
    ASSERT_FALSE(expected.isEmpty());
    for (int bits : {8, 32}) {
        for (bool topDown : {false, true}) {
            recipe.bitsPerPixel = bits;
            recipe.topDown = topDown;
            EXPECT_EQ(ToButton(recipe), expected) << bits << " bits, top-down " << topDown;
        }
    }
    recipe.bitsPerPixel = 24;
    recipe.topDown = true;
    EXPECT_EQ(ToButton(recipe), expected);
    recipe.topDown = false;
    recipe.bitsPerPixel = 16;  // 5 bits a channel: the greys stay in their bands
    EXPECT_EQ(ToButton(recipe), expected);
    recipe.bitsPerPixel = 8;
    recipe.rle = true;
    EXPECT_EQ(ToButton(recipe), expected);
}

TEST_F(ConversionTest, ButtonFileComesBackUnchangedThroughABitmap) {
    // Outer rows and columns each hold a non-"0" character; wider and taller
    // than the visible preview, so the whole drawing must be converted.
    QByteArray button;
    const int rows = 45, cols = 260;
    for (int r = 0; r < rows; ++r) {
        QByteArray line(cols, '0');
        for (int c = 0; c < cols; ++c) {
            if ((r * 7 + c * 3) % 5 == 0) {
                line[c] = "0123"[(r + c) % 4];
            }
        }
        line[0] = r == 0 ? '3' : line[0];
        line[cols - 1] = r == rows - 1 ? '2' : line[cols - 1];
        line[(r * 11) % cols] = '1';
        button += QByteArray::number(r).rightJustified(5, '0') + ":" + line + "\r\n";
    }
    button.replace("00000:0", "00000:1");  // content in the first column too
    const QString bmp = dir_.filePath("round.bmp");
    ASSERT_EQ(ToBitmap(button, bmp), BitmapResult::Written);
    EXPECT_TRUE(boxes_.shown.isEmpty());
    EXPECT_EQ(ToButton(bmp), button);
}

TEST_F(ConversionTest, SavedBitmapHoldsTheFourGreysExactly) {
    const QString bmp = dir_.filePath("greys.bmp");
    ASSERT_EQ(ToBitmap("00000:0123\r\n00001:3210\r\n", bmp), BitmapResult::Written);
    QImage image(bmp);
    ASSERT_EQ(image.size(), QSize(5, 3));  // the margin column and row, then the button
    EXPECT_EQ(image.pixel(0, 0), 0xFFFFFFFFu);
    EXPECT_EQ(image.pixel(1, 1), 0xFFFFFFFFu);
    EXPECT_EQ(image.pixel(2, 1), 0xFFC0C0C0u);
    EXPECT_EQ(image.pixel(3, 1), 0xFF808080u);
    EXPECT_EQ(image.pixel(4, 1), 0xFF000000u);
    const QByteArray bytes = testing::ReadAll(bmp);
    EXPECT_EQ(quint8(bytes[28]), 24);
}

TEST_F(ConversionTest, WithoutContentNothingIsWritten) {
    const QString out = dir_.filePath("blank.Btn");
    EXPECT_FALSE(ConvertBitmapToButton(WriteBitmap(testing::WhiteBitmap(6, 6)), out, picWorking_,
                                       picOut_, boxes_));
    EXPECT_FALSE(testing::Exists(out));
    ASSERT_EQ(boxes_.shown.size(), 1);
    EXPECT_EQ(boxes_.shown[0].text, "Nothing to convert: the image has no content");
    EXPECT_EQ(boxes_.shown[0].title, "Tavrel");

    // A blank drawing (nothing ever drawn) gives no bitmap either.
    const QString bmp = dir_.filePath("blank.bmp");
    EXPECT_EQ(ConvertDrawingToBitmap(picButtons_, ButtonSize{}, picWorking_, picOut_, bmp, boxes_),
              BitmapResult::NothingToConvert);
    EXPECT_FALSE(testing::Exists(bmp));
}

TEST_F(ConversionTest, EarlierBitmapNeverShowsThroughIntoAConversionToBitmap) {
    // A large black bitmap goes through the working box first ...
    testing::BitmapRecipe black = testing::WhiteBitmap(80, 60);
    black.pixels.assign(80 * 60, 0);
    ToButton(black);
    // ... then a small drawing is converted: only the drawing may come out.
    const QString bmp = dir_.filePath("small.bmp");
    ASSERT_EQ(ToBitmap("00000:2\r\n", bmp), BitmapResult::Written);
    EXPECT_EQ(QImage(bmp).size(), QSize(2, 2));
}

TEST_F(ConversionTest, NoEarlierBitmapShowsThroughIntoALaterOne) {
    // Decoded straight into the working box, a large black bitmap must leave
    // nothing there for a smaller one, of either kind of pixels, to pick up.
    testing::BitmapRecipe black = testing::WhiteBitmap(80, 60);
    black.pixels.assign(80 * 60, 0);
    ToButton(black);
    testing::BitmapRecipe small = testing::WhiteBitmap(6, 5, {{2, 3, 0x000000}});
    EXPECT_EQ(ToButton(small), "00000:3\r\n");
    ToButton(black);
    small.bitsPerPixel = 8;
    EXPECT_EQ(ToButton(small), "00000:3\r\n");
}

TEST_F(ConversionTest, LoadFailureAsksRetryOrCancel) {
    const QString in = dir_.filePath("late.bmp");
    const QString out = dir_.filePath("late.Btn");
    boxes_.Answer({Answer::Retry});
    boxes_.OnRetryCancel([&] {
        testing::WriteAll(in, testing::MakeBitmap(testing::WhiteBitmap(3, 3, {{1, 1, 0}})));
    });
    EXPECT_TRUE(ConvertBitmapToButton(in, out, picWorking_, picOut_, boxes_));
    ASSERT_EQ(boxes_.shown.size(), 1);
    EXPECT_EQ(boxes_.shown[0].text,
              "Unable to load file " + in + QChar(13) + "Error: No such file or directory");
    EXPECT_EQ(boxes_.shown[0].title, "File load error");
    EXPECT_EQ(testing::ReadAll(out), "00000:3\r\n");

    ScriptedMessageBoxes cancelling;
    const QString text = dir_.filePath("text.bmp");
    testing::WriteAll(text, "hello");
    EXPECT_FALSE(
        ConvertBitmapToButton(text, dir_.filePath("text.Btn"), picWorking_, picOut_, cancelling));
    ASSERT_EQ(cancelling.shown.size(), 1);
    EXPECT_TRUE(
        cancelling.shown[0].text.startsWith("Unable to load file " + text + QChar(13) + "Error: "));
    EXPECT_FALSE(testing::Exists(dir_.filePath("text.Btn")));
}

TEST_F(ConversionTest, SaveFailureAsksRetryThenSucceedsOrCancelsCleanly) {
    // A file stands where the target folder should be: fails even for root.
    const QString blocked = dir_.filePath("target");
    testing::WriteAll(blocked, "not a folder");
    const QString out = blocked + "/x.Btn";
    const QString in = WriteBitmap(testing::WhiteBitmap(3, 3, {{1, 1, 0}}));
    boxes_.Answer({Answer::Retry});
    boxes_.OnRetryCancel([&] {
        QFile::remove(blocked);
        QDir(dir_.path()).mkdir("target");
    });
    EXPECT_TRUE(ConvertBitmapToButton(in, out, picWorking_, picOut_, boxes_));
    ASSERT_EQ(boxes_.shown.size(), 1);
    EXPECT_TRUE(
        boxes_.shown[0].text.startsWith("Unable to save file " + out + QChar(13) + "Error: "));
    EXPECT_EQ(boxes_.shown[0].title, "File save error");
    EXPECT_EQ(testing::ReadAll(out), "00000:3\r\n");

    ScriptedMessageBoxes cancelling;
    const QString bmpOut = dir_.filePath("nofolder/x.bmp");
    testing::WriteAll(dir_.filePath("in.BTN"), "00000:3\r\n");
    ASSERT_EQ(DrawButtonFile(dir_.filePath("in.BTN"), picButtons_, cancelling, size_),
              DrawResult::Drawn);
    EXPECT_EQ(ConvertDrawingToBitmap(picButtons_, size_, picWorking_, picOut_, bmpOut, cancelling),
              BitmapResult::Cancelled);
    ASSERT_EQ(cancelling.shown.size(), 1);
    EXPECT_EQ(cancelling.shown[0].title, "File save error");
    EXPECT_TRUE(cancelling.shown[0].text.startsWith("Unable to save file " + bmpOut + QChar(13)));
}

TEST_F(ConversionTest, WriteFailingPartWayLeavesTheExistingFileIntact) {
    const QString out = dir_.filePath("big.Btn");
    testing::WriteAll(out, "precious\r\n");
    testing::BitmapRecipe big = testing::WhiteBitmap(300, 300);
    big.pixels.assign(300 * 300, 0x808080);
    const QString in = WriteBitmap(big);
    bool converted = true;
    testing::WithFileSizeLimit(
        8192, [&] { converted = ConvertBitmapToButton(in, out, picWorking_, picOut_, boxes_); });
    EXPECT_FALSE(converted);
    ASSERT_EQ(boxes_.shown.size(), 1);
    EXPECT_EQ(boxes_.shown[0].title, "File save error");
    EXPECT_EQ(testing::ReadAll(out), "precious\r\n");
    EXPECT_EQ(testing::Entries(dir_.path()), (QStringList{"big.Btn", "in.bmp"}));
}

}  // namespace
}  // namespace tavrel
