// The run window from the keyboard, and its title under a dark palette.
#include <gtest/gtest.h>
#include <QApplication>
#include <QLabel>
#include <QTest>

#include "tests/run/fake_services.h"
#include "widgets/palette_colours.h"
#include "widgets/window_count.h"

namespace ringmere::run {
namespace {

class RunKeysTest : public ::testing::Test, public testing::RunFixture {
protected:
    static AlRec Plain() {
        AlRec a;
        a.AlName = "Tea";
        a.Music->MuType = 3;
        return a;
    }
};

TEST_F(RunKeysTest, EscapeClosesLikeClose) {
    TfrmActiveAlarm* w = Open(Plain());
    ASSERT_TRUE(w);
    QApplication::setActiveWindow(w);
    EXPECT_EQ(widgets::VisibleWindowCount(), 1);
    QTest::keyClick(w, Qt::Key_Escape);
    EXPECT_TRUE(w->IsClosed());
    EXPECT_EQ(widgets::VisibleWindowCount(), 0);
}

TEST_F(RunKeysTest, TitleIsLightGreenOnADarkWindow) {
    const QPalette saved = QApplication::palette();
    QPalette dark = saved;
    dark.setColor(QPalette::Window, QColor(30, 30, 30));
    QApplication::setPalette(dark);
    TfrmActiveAlarm* w = Open(Plain());
    QApplication::setPalette(saved);
    ASSERT_TRUE(w);
    auto* title = w->findChild<QLabel*>(QStringLiteral("lblAlAct"));
    ASSERT_TRUE(title);
    const QColor shown = title->palette().color(title->foregroundRole());
    EXPECT_GE(widgets::ContrastRatio(shown, QColor(30, 30, 30)), 4.5) << shown.name().toStdString();
}

}  // namespace
}  // namespace ringmere::run
