// The run window's green stays readable on light and dark windows alike.
#include <gtest/gtest.h>

#include "widgets/palette_colours.h"

namespace ringmere::widgets {
namespace {

TEST(PaletteColours, GreenReadsOnEveryWindowColour) {
    for (const QColor window : {QColor(Qt::white), QColor(239, 239, 239), QColor(Qt::black),
                                QColor(53, 53, 53), QColor(0, 43, 54)}) {
        QPalette palette;
        palette.setColor(QPalette::Window, window);
        const QColor green = ReadableGreen(palette);
        const std::string label = window.name().toStdString();
        EXPECT_GE(ContrastRatio(green, window), 4.5) << label;
        EXPECT_NEAR(green.hueF(), 1.0 / 3, 0.02) << label;
    }
}

TEST(PaletteColours, ContrastRatioEnds) {
    EXPECT_NEAR(ContrastRatio(Qt::black, Qt::white), 21.0, 0.01);
    EXPECT_NEAR(ContrastRatio(Qt::white, Qt::black), 21.0, 0.01);
    EXPECT_NEAR(ContrastRatio(QColor(0, 128, 0), QColor(0, 128, 0)), 1.0, 1e-9);
}

}  // namespace
}  // namespace ringmere::widgets
