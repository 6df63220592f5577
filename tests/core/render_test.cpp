#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "conversion/button_render.h"
#include "conversion/messages.h"
#include "tests/support/scripted_message_boxes.h"
#include "tests/support/test_files.h"

namespace tavrel {
namespace {

using testing::ScriptedMessageBoxes;

class DrawButtonFileTest : public ::testing::Test {
  protected:
    DrawButtonFileTest() : box_(0, false) {
        box_.Move(0, 0, 40 * kTwipsPerPixel, 30 * kTwipsPerPixel);  // 40 by 30 pixels
    }
    QString Write(const QByteArray& content) {
        const QString path = dir_.filePath("b.BTN");
        testing::WriteAll(path, content);
        return path;
    }
    DrawResult Draw(const QByteArray& content) {
        return DrawButtonFile(Write(content), box_, boxes_, size_);
    }
    bool AllWhite() const {
        for (int y = 0; y < box_.Image().height(); ++y) {
            for (int x = 0; x < box_.Image().width(); ++x) {
                if (box_.Point(x, y) != kWhite) {
                    return false;
                }
            }
        }
        return true;
    }

    QTemporaryDir dir_;
    ScriptedMessageBoxes boxes_;
    PictureSurface box_;
    ButtonSize size_;
};

TEST_F(DrawButtonFileTest, DrawsEachCharacterAtItsColumnAndRowFromOne) {
    ASSERT_EQ(Draw("00000:0123\r\n00001:3210\r\n"), DrawResult::Drawn);
    EXPECT_EQ(size_.rows, 2);
    EXPECT_EQ(size_.cols, 4);
    const ColourValue expected[2][4] = {{0xFFFFFF, 0xC0C0C0, 0x808080, 0x000000},
                                        {0x000000, 0x808080, 0xC0C0C0, 0xFFFFFF}};
    for (int r = 1; r <= 2; ++r) {
        for (int c = 1; c <= 4; ++c) {
            EXPECT_EQ(box_.Point(c, r), expected[r - 1][c - 1]) << c << "," << r;
        }
    }
    // Row 0, column 0 and everything beyond the file stay white.
    for (int x = 0; x < 40; ++x) {
        EXPECT_EQ(box_.Point(x, 0), kWhite);
        EXPECT_EQ(box_.Point(x, 3), kWhite);
    }
    for (int y = 0; y < 30; ++y) {
        EXPECT_EQ(box_.Point(0, y), kWhite);
        EXPECT_EQ(box_.Point(5, y), kWhite);
    }
    EXPECT_EQ(box_.ScaleMode(), ScaleUnit::Pixels);
    EXPECT_TRUE(boxes_.shown.isEmpty());
}

TEST_F(DrawButtonFileTest, FirstRowFixesTheWidthAndLongerRowsAreCut) {
    ASSERT_EQ(Draw("00000:33\r\n00001:3333\r\n"), DrawResult::Drawn);
    EXPECT_EQ(size_.cols, 2);
    EXPECT_EQ(box_.Point(2, 2), 0);
    EXPECT_EQ(box_.Point(3, 2), kWhite);
}

TEST_F(DrawButtonFileTest, DrawingTwiceGivesTheSameRasterAndAnEmptyFirstRowDrawsNothing) {
    ASSERT_EQ(Draw("00000:3333\r\n00001:3333\r\n"), DrawResult::Drawn);
    ASSERT_EQ(Draw("00000:1\r\n"), DrawResult::Drawn);
    EXPECT_EQ(box_.Point(2, 1), kWhite);  // cleared first
    const QImage once = box_.Image().copy();
    ASSERT_EQ(Draw("00000:1\r\n"), DrawResult::Drawn);
    EXPECT_EQ(box_.Image(), once);

    ASSERT_EQ(Draw("00000:\r\n00001:123\r\n"), DrawResult::Drawn);
    EXPECT_EQ(size_.rows, 2);
    EXPECT_EQ(size_.cols, 0);
    EXPECT_TRUE(AllWhite());
}

TEST_F(DrawButtonFileTest, UnknownCharacterIsReportedAndLeavesNothingHalfDrawn) {
    QByteArray content = "00000:333333333333\r\n00001:333333333333\r\n00002:33333333333x\r\n";
    EXPECT_EQ(Draw(content), DrawResult::UnknownValue);
    ASSERT_EQ(boxes_.shown.size(), 1);
    EXPECT_EQ(boxes_.shown[0].text, "Unknown button value : ( 12, 3)x");
    EXPECT_EQ(boxes_.shown[0].title, "Tavrel");
    EXPECT_FALSE(boxes_.shown[0].retryCancel);
    EXPECT_EQ(size_.rows, 3);  // the counts are recorded before drawing
    EXPECT_EQ(size_.cols, 12);
    EXPECT_TRUE(AllWhite());
}

TEST_F(DrawButtonFileTest, ShortRowIsReportedWithNothingAfterTheBracket) {
    EXPECT_EQ(Draw("00000:333\r\n00001:33\r\n"), DrawResult::UnknownValue);
    ASSERT_EQ(boxes_.shown.size(), 1);
    EXPECT_EQ(boxes_.shown[0].text, "Unknown button value : ( 3, 2)");
}

TEST_F(DrawButtonFileTest, CommaSplitsALineIntoTwoRows) {
    // "00000:33,3333" is the rows "33" and "" (a record of fewer than six
    // characters), so the second row is short.
    EXPECT_EQ(Draw("00000:33,3333\r\n"), DrawResult::UnknownValue);
    EXPECT_EQ(size_.rows, 2);
    EXPECT_EQ(boxes_.shown[0].text, "Unknown button value : ( 1, 2)");
}

TEST_F(DrawButtonFileTest, NothingReadKeepsTheCountsAndBlanksTheBox) {
    ASSERT_EQ(Draw("00000:333\r\n00001:333\r\n"), DrawResult::Drawn);
    EXPECT_EQ(Draw(""), DrawResult::NothingRead);
    EXPECT_EQ(size_.rows, 2);
    EXPECT_EQ(size_.cols, 3);
    EXPECT_TRUE(AllWhite());
    EXPECT_EQ(DrawButtonFile(dir_.filePath("missing.BTN"), box_, boxes_, size_),
              DrawResult::NothingRead);  // the scripted boxes answer Cancel
    EXPECT_EQ(size_.rows, 2);
}

TEST_F(DrawButtonFileTest, RowsWiderThanTheCountersHoldAreRefused) {
    ASSERT_EQ(Draw("00000:3\r\n"), DrawResult::Drawn);
    const QString path = Write("00000:" + QByteArray(32765, '3') + "\r\n");
    EXPECT_EQ(DrawButtonFile(path, box_, boxes_, size_), DrawResult::TooWide);
    ASSERT_EQ(boxes_.shown.size(), 1);
    EXPECT_EQ(boxes_.shown[0].text, "Unable to draw file " + path + QChar(13) +
                                        "Error: a row holds more than 32764 pixels");
    EXPECT_EQ(boxes_.shown[0].title, "Tavrel");
    EXPECT_EQ(size_.rows, 1);
    EXPECT_EQ(size_.cols, 1);
    EXPECT_TRUE(AllWhite());

    boxes_.shown.clear();
    EXPECT_EQ(Draw("00000:" + QByteArray(32764, '1') + "\r\n"), DrawResult::Drawn);
    EXPECT_EQ(size_.cols, 32764);
    EXPECT_EQ(box_.Point(32764, 1), 0xC0C0C0);
    EXPECT_TRUE(boxes_.shown.isEmpty());
}

TEST_F(DrawButtonFileTest, OnlyTheFirstThousandRowsAreDrawnAndTheUserIsTold) {
    QByteArray content;
    for (int i = 0; i < 1200; ++i) {
        content += "00000:3\r\n";
    }
    const QString path = Write(content);
    EXPECT_EQ(DrawButtonFile(path, box_, boxes_, size_), DrawResult::Drawn);
    EXPECT_EQ(size_.rows, 1000);
    EXPECT_EQ(box_.Point(1, 1000), 0);
    EXPECT_EQ(box_.Image().height(), 1001);
    ASSERT_EQ(boxes_.shown.size(), 1);
    EXPECT_EQ(boxes_.shown[0].text, "Only the first 1000 rows of " + path + " are read");
    EXPECT_EQ(boxes_.shown[0].title, "Tavrel");
}

TEST_F(DrawButtonFileTest, DrawingLargerThanTheBoxIsKeptWhole) {
    QByteArray content;
    for (int i = 0; i < 50; ++i) {
        content += "00000:" + QByteArray(60, '0') + "3\r\n";
    }
    ASSERT_EQ(Draw(content), DrawResult::Drawn);
    EXPECT_EQ(box_.ScaleWidth(), 40);  // the box itself keeps its size
    EXPECT_EQ(box_.Image().size(), QSize(62, 51));
    EXPECT_EQ(box_.Point(61, 50), 0);
    EXPECT_EQ(box_.Point(60, 50), kWhite);
    // A smaller drawing afterwards drops the enlarged raster again.
    ASSERT_EQ(Draw("00000:3\r\n"), DrawResult::Drawn);
    EXPECT_EQ(box_.Image().size(), QSize(40, 30));
}

}  // namespace
}  // namespace tavrel
