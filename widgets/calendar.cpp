#include "widgets/calendar.h"

#include <QCalendarWidget>
#include <QTableView>
#include <QTextCharFormat>
#include <QToolButton>
#include <QWidget>

namespace ringmere::widgets {

namespace {

constexpr quint32 kSystemColourFlag = 0x80000000u;

QColor SystemColour(int index, const QPalette& p) {
    switch (index) {
        case 1:   // desktop
        case 12:  // application workspace
        case 15:  // button face
            return p.color(QPalette::Button);
        case 2:   // active caption
        case 13:  // highlight
            return p.color(QPalette::Highlight);
        case 3:  // inactive caption
        case 16:  // button shadow
            return p.color(QPalette::Mid);
        case 4:  // menu
        case 5:  // window
            return p.color(QPalette::Base);
        case 9:   // caption text
        case 14:  // highlight text
            return p.color(QPalette::HighlightedText);
        case 17:  // grey text
        case 19:  // inactive caption text
            return p.color(QPalette::Disabled, QPalette::Text);
        case 18:  // button text
            return p.color(QPalette::ButtonText);
        case 20:  // button highlight
            return p.color(QPalette::Light);
        case 6:  // window frame
        case 7:  // menu text
        case 8:  // window text
        default:
            return p.color(QPalette::Text);
    }
}

struct Colours {
    QColor back, text, titleBack, titleText;
};

Colours ColoursOf(const SettingsRec& s, const QPalette& p) {
    return {SettingColour(s.monthBackColor, p), SettingColour(s.textColor, p),
            SettingColour(s.titleBackColor, p), SettingColour(s.titleTextColor, p)};
}

}  // namespace

QColor SettingColour(Integer value, const QPalette& palette) {
    const auto bits = static_cast<quint32>(value);
    if (bits & kSystemColourFlag) return SystemColour(static_cast<int>(bits & 0xFF), palette);
    return QColor(static_cast<int>(bits & 0xFF), static_cast<int>((bits >> 8) & 0xFF),
                  static_cast<int>((bits >> 16) & 0xFF));
}

void ApplyCalendarColours(QCalendarWidget* calendar, const SettingsRec& settings) {
    const Colours colours = ColoursOf(settings, calendar->palette());
    if (auto* table = calendar->findChild<QTableView*>()) {
        QPalette p = table->palette();
        p.setColor(QPalette::Base, colours.back);
        p.setColor(QPalette::AlternateBase, colours.back);
        p.setColor(QPalette::Text, colours.text);
        table->setPalette(p);
    }
    QTextCharFormat text;
    text.setForeground(colours.text);
    for (int day = Qt::Monday; day <= Qt::Sunday; ++day)
        calendar->setWeekdayTextFormat(static_cast<Qt::DayOfWeek>(day), text);
    QTextCharFormat header;
    header.setForeground(colours.titleText);
    header.setBackground(colours.titleBack);
    calendar->setHeaderTextFormat(header);
    if (auto* bar = calendar->findChild<QWidget*>(QStringLiteral("qt_calendar_navigationbar"))) {
        QPalette p = bar->palette();
        p.setColor(QPalette::Window, colours.titleBack);
        p.setColor(QPalette::Button, colours.titleBack);
        p.setColor(QPalette::WindowText, colours.titleText);
        p.setColor(QPalette::ButtonText, colours.titleText);
        bar->setAutoFillBackground(true);
        bar->setPalette(p);
        for (auto* b : bar->findChildren<QToolButton*>()) b->setPalette(p);
    }
}

}  // namespace ringmere::widgets
