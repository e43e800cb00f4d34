// The arrows of number fields, and the calendar colours.
#include <gtest/gtest.h>

#include <QCalendarWidget>
#include <QLineEdit>
#include <QWidget>

#include "widgets/calendar.h"
#include "widgets/updown.h"

namespace ringmere::widgets {
namespace {

TEST(UpDown, StepsInsideTheRangeAndWrapsWhenAsked) {
    QWidget parent;
    auto* field = new QLineEdit(&parent);
    auto* arrows = new UpDown(&parent);
    arrows->SetBuddy(field);
    arrows->SetRange(1, 365);
    struct Case {
        const char* before;
        int steps;
        bool wrap;
        const char* after;
    };
    for (const Case& c : {Case{"364", 1, false, "365"}, Case{"365", 1, false, "365"},
                          Case{"365", 1, true, "1"}, Case{"1", -1, true, "365"},
                          Case{"abc", 1, false, "1"}, Case{"900", -1, false, "365"},
                          Case{" 7 ", -1, false, "6"}}) {
        arrows->SetWrap(c.wrap);
        field->setText(QString::fromLatin1(c.before));
        arrows->StepBy(c.steps);
        EXPECT_EQ(field->text(), QString::fromLatin1(c.after)) << c.before << " " << c.steps;
    }
}

// Disabling a parent is no change of the field's own: enabling the parent
// again gives both back.
TEST(UpDown, FollowsItsFieldButNotAParent) {
    QWidget parent;
    auto* field = new QLineEdit(&parent);
    auto* arrows = new UpDown(&parent);
    arrows->SetBuddy(field);
    field->setEnabled(false);
    EXPECT_FALSE(arrows->isEnabled());
    field->setEnabled(true);
    EXPECT_TRUE(arrows->isEnabled());
    arrows->setEnabled(false);
    EXPECT_FALSE(field->isEnabled());
    arrows->setEnabled(true);
    parent.setEnabled(false);
    parent.setEnabled(true);
    EXPECT_TRUE(field->isEnabled());
    EXPECT_TRUE(arrows->isEnabled());
    field->setText(QStringLiteral("5"));
    arrows->SetRange(0, 10);
    arrows->StepBy(1);
    EXPECT_EQ(field->text(), "6");
}

TEST(CalendarColours, StoredColoursAreBgrOrSystemColours) {
    QPalette palette;
    palette.setColor(QPalette::Base, QColor(10, 20, 30));
    palette.setColor(QPalette::Text, QColor(40, 50, 60));
    palette.setColor(QPalette::Highlight, QColor(70, 80, 90));
    EXPECT_EQ(SettingColour(0x0000FF, palette), QColor(255, 0, 0));
    EXPECT_EQ(SettingColour(0x00FF8000, palette), QColor(0, 128, 255));
    EXPECT_EQ(SettingColour(kColorWindow, palette), QColor(10, 20, 30));
    EXPECT_EQ(SettingColour(kColorWindowText, palette), QColor(40, 50, 60));
    EXPECT_EQ(SettingColour(kColorActiveCaption, palette), QColor(70, 80, 90));

    SettingsRec s;
    s.titleBackColor = 0x000080;  // dark red
    s.titleTextColor = 0xFFFFFF;
    QCalendarWidget calendar;
    ApplyCalendarColours(&calendar, s);
    EXPECT_EQ(calendar.headerTextFormat().background().color(), QColor(128, 0, 0));
    EXPECT_EQ(calendar.headerTextFormat().foreground().color(), QColor(255, 255, 255));
}

}  // namespace
}  // namespace ringmere::widgets
