#include "platform/gui/DialogUnits.h"

#include <gtest/gtest.h>

TEST(DialogUnits, BaseWidthIsTheRoundedAverageLetterWidth)
{
    EXPECT_EQ(DialogUnits(312, 13).BaseX(), 6);   // 312 / 52 = 6
    EXPECT_EQ(DialogUnits(338, 13).BaseX(), 7);   // 6.5 rounds up
    EXPECT_EQ(DialogUnits(337, 13).BaseX(), 6);   // 6.48 rounds down
    EXPECT_EQ(DialogUnits(312, 13).BaseY(), 13);
}

TEST(DialogUnits, QuarterWidthsAndEighthHeightsRoundToTheNearestPixel)
{
    const DialogUnits units(312, 13);
    EXPECT_EQ(units.ToPixelsX(321), 482);  // 481.5 rounds away from zero
    EXPECT_EQ(units.ToPixelsX(4), 6);
    EXPECT_EQ(units.ToPixelsY(142), 231);  // 230.75
    EXPECT_EQ(units.ToPixelsY(8), 13);
    EXPECT_EQ(units.ToPixelsX(0), 0);
    EXPECT_EQ(units.ToPixelsX(-1), -2);    // -1.5, away from zero
}

TEST(DialogUnits, KeepProportionsAtTwiceTheFontSize)
{
    const DialogUnits small(312, 13);
    const DialogUnits large(624, 26);
    EXPECT_EQ(large.ToPixelsX(266), 2 * small.ToPixelsX(266));
    EXPECT_EQ(large.ToPixelsY(136), 2 * small.ToPixelsY(136));
}
