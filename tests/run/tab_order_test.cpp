// The run window walked with the Tab key (see tab_walk.h).
#include <gtest/gtest.h>

#include "tests/run/fake_services.h"
#include "tests/widgets/tab_walk.h"

namespace ringmere::run {
namespace {

class RunTabOrderTest : public ::testing::Test, public testing::RunFixture {};

TEST_F(RunTabOrderTest, EveryControlInReadingOrder) {
    AlRec a;
    a.AlName = "Tea";
    a.Music->MuType = 3;
    TfrmActiveAlarm* w = Open(a);
    ASSERT_TRUE(w);
    // A player shows while its sound plays, one at a time in one place.
    for (const char* player : {"", "mediaplayer1", "MediaPlayer2"}) {
        for (auto* panel : {"mediaplayer1", "MediaPlayer2"})
            w->findChild<QWidget*>(QString::fromLatin1(panel))
                ->setVisible(qstrcmp(panel, player) == 0);
        EXPECT_EQ(widgets::testing::TabWalkProblemsOnEveryPage(*w).join('\n').toStdString(), "")
            << player;
    }
}

}  // namespace
}  // namespace ringmere::run
