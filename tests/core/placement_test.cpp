#include "core/placement.h"

#include <gtest/gtest.h>

namespace ringmere {
namespace {

TEST(Placement, MainWindowFromSavedValues) {
    struct Case {
        int status, left, top, width, height, screenW, screenH;
        MainPlacement expect;
    } cases[] = {
        {0, 50, 50, 440, 400, 1024, 768, {false, {50, 50, 440, 400}}},
        {1, 50, 50, 440, 400, 1024, 768, {true, {}}},
        {0, -20, 30, 440, 400, 1024, 768, {false, {0, 30, 440, 400}}},
        {0, 2000, 30, 440, 400, 1024, 768, {false, {0, 0, 440, 400}}},
        {0, 50, 700, 440, 400, 1024, 768, {false, {0, 0, 440, 400}}},
        {0, 50, 50, 1000, 400, 1024, 768, {false, {50, 50, 725, 400}}},
        {0, 10, 10, 1000, 400, 640, 480, {false, {10, 10, 600, 400}}},
        {0, 10, 10, 600, 760, 1024, 768, {false, {10, 10, 600, 516}}},
        {0, 10, 10, 600, 500, 800, 500, {false, {10, 10, 600, 450}}},
        {0, 0, 0, 999, 743, 1024, 768, {false, {0, 0, 999, 743}}},  // exactly screen - 25
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.left << "," << c.top << " " << c.width << "x"
                                          << c.height << " on " << c.screenW);
        EXPECT_EQ(PlaceMainWindow(c.status, c.left, c.top, c.width, c.height, c.screenW, c.screenH),
                  c.expect);
    }
}

TEST(Placement, DialogsOpenOverTheirOwner) {
    const Rect owner{100, 100, 400, 300};
    // Centred (with the 10-pixel offset to the right).
    EXPECT_EQ(PlaceDialog(owner, 200, 100, 1024, 768), (Point{210, 200}));
    // Would run off the right or bottom edge: the owner's corner instead.
    EXPECT_EQ(PlaceDialog(owner, 200, 100, 350, 768), (Point{110, 200}));
    EXPECT_EQ(PlaceDialog(owner, 200, 100, 1024, 300), (Point{210, 100}));
    // The editors' rule: a dialog as wide as its owner is not centred.
    EXPECT_EQ(PlaceDialog(owner, 400, 100, 1024, 768, true), (Point{110, 110}));
    EXPECT_EQ(PlaceDialog(owner, 399, 100, 1024, 768, true), (Point{111, 200}));
    EXPECT_EQ(PlaceDialog(owner, 200, 100, 1024, 300, true), (Point{210, 110}));
}

}  // namespace
}  // namespace ringmere
