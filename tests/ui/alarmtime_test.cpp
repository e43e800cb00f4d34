// The alarm editor's "Alarm Time" and "Alarm Info." pages of both sets,
// driven headless: control names, values in and out, the control rules.
#include <gtest/gtest.h>
#include <QAbstractButton>
#include <QApplication>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QStackedWidget>
#include <QTabBar>
#include <QTabWidget>
#include <map>
#include <stdexcept>

#include "ui/alarminfo.h"
#include "ui/alarmtime.h"
#include "widgets/updown.h"

namespace ringmere::ui {
namespace {

using NamePairs = std::vector<std::pair<QString, QString>>;  // simple, scripted

NamePairs TimeNames() {
    NamePairs names;
    for (const char* same : {"rbIndividual", "rbNoEnd", "rbEndDate", "dtTime", "dtStartTime",
                             "rbWeekly", "rbMonthly", "rbSelectedDates", "rbOther", "rbMinute",
                             "teMinutes", "udMin", "rbHourly", "teHours", "udHours", "rbDaily",
                             "teDays", "udDays", "rbAnnually", "teYears", "udYears", "rbMonthlyS",
                             "teXMonths", "udMonths", "teWeeks", "rbFirstDay", "rbLastDay",
                             "rbSpecifiedDate", "rbDaysByWeek", "btnAdd"})
        names.emplace_back(same, QString(same) + "2");
    for (const char* day : {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday",
                            "Saturday"}) {
        names.emplace_back(QString("cb") + day, QString("cb") + day + "2");
        names.emplace_back(QString("cbW") + day, QString("cbW") + day + "2");
    }
    for (int n = 1; n <= 31; ++n) names.emplace_back(QString("cbm%1").arg(n), QString("cbms%1").arg(n));
    for (int n = 1; n <= 5; ++n) names.emplace_back(QString("cbW%1").arg(n), QString("cbWS%1").arg(n));
    NamePairs other = {{"MonthCalendar4", "MonthCalendar3"}, {"teEndDate", "taEndDate2"},
                       {"cb1week", "cb1weeks"}, {"cb2week", "cb2weeks"}, {"cbxweek", "cbxweeks"},
                       {"UpDown9", "UpDown10"}, {"MonthCalendar1", "MonthCalendar5"},
                       {"RzListBox1", "RzListBox3"}, {"Button2", "Button17"},
                       {"clExcepts2", "clExcepts"}, {"btnxadd2", "btnxadd"},
                       {"btnExcept2", "btnExcept"}, {"btndexcept2", "btndexcept"},
                       {"Weekly", "Weekly"}, {"Monthly", "Monthly"},
                       {"SelectDates", "SelectDates"}, {"Daily", "Daily"},
                       {"MonthDays", "MonthDays"}, {"WeekDays", "WeekDays"}, {"lblNext", "lblNext"}};
    names.insert(names.end(), other.begin(), other.end());
    return names;
}

const NamePairs kInfoNames = {{"teAlName", "teAlName2"},         {"memAlMessage", "memAlMessage2"},
                              {"chkHideWindow2", "chkHideWindow"}, {"chkStartMinimized", "chkStartMinimized2"},
                              {"chkFlashWindow2", "chkFlashWindow"}, {"chkSnooze2", "chkSnooze"},
                              {"teSnoozeMin2", "teSnoozeMin"},     {"UpDown5", "UpDown4"}};

const FormSet kSets[] = {FormSet::Simple, FormSet::Scripted};

// The name of a simple-set control in `set`.
QString NameIn(FormSet set, const QString& simple) {
    if (set == FormSet::Simple) return simple;
    static const std::map<QString, QString> scripted = [] {
        std::map<QString, QString> m;
        for (const auto& [s, t] : TimeNames()) m[s] = t;
        return m;
    }();
    return scripted.at(simple);
}

// A missing control fails the test that asked for it and no other.
template <typename T = QWidget>
T* Control(const QWidget& page, FormSet set, const QString& simple) {
    T* w = page.findChild<T*>(NameIn(set, simple));
    if (!w) throw std::runtime_error("no control " + NameIn(set, simple).toStdString());
    return w;
}

QString ShownPage(const QWidget& page, const char* someChild) {
    auto* stack = qobject_cast<QStackedWidget*>(page.findChild<QWidget*>(someChild)->parentWidget());
    return stack->currentWidget()->objectName();
}

void CheckNames(const QWidget& page, FormSet set, const NamePairs& names) {
    for (const auto& [simple, scripted] : names) {
        const QString& own = set == FormSet::Simple ? simple : scripted;
        const QString& theirs = set == FormSet::Simple ? scripted : simple;
        EXPECT_EQ(page.findChildren<QWidget*>(own).size(), 1) << own.toStdString();
        if (own != theirs) {
            EXPECT_TRUE(page.findChildren<QWidget*>(theirs).isEmpty()) << theirs.toStdString();
        }
    }
}

TEST(AlarmTimePage, EveryControlCarriesItsSetsNameOnce) {
    for (FormSet set : kSets) {
        AlarmTimePage time(set, SettingsRec{});
        CheckNames(time, set, TimeNames());
        AlarmInfoPage info(set);
        CheckNames(info, set, kInfoNames);
        const char* hide = set == FormSet::Simple ? "chkHideWindow2" : "chkHideWindow";
        ASSERT_NE(info.findChild<QCheckBox*>(hide), nullptr);
        EXPECT_EQ(info.findChild<QCheckBox*>(hide)->text().toStdString(),
                  set == FormSet::Simple ? "Hide alarm window after alarm is completed."
                                         : "Close alarm window after alarm is completed.");
    }
}

TEST(AlarmTimePage, LoadedFormsReadBackUnchanged) {
    ScheduleForm plain;  // as a new page starts, but on fixed dates
    plain.startDate = EncodeDate(2026, 3, 5);
    plain.endDate = EncodeDate(2026, 3, 5);

    ScheduleForm weekly = plain;
    weekly.startTime = EncodeTime(7, 5, 9);
    weekly.end = EndChoice::EndDate;
    weekly.endDate = EncodeDate(2027, 12, 31);
    weekly.endTime = EncodeTime(23, 59, 58);
    weekly.frequency = FrequencyChoice::Weekly;
    weekly.interval = IntervalChoice::Minutes;
    weekly.minutes = "abc";  // kept as typed for the checks to report
    weekly.weekdays = {true, false, false, false, false, true, true};
    weekly.weeks = WeeksChoice::EveryX;
    weekly.xWeeks = "7";

    ScheduleForm monthly = plain;
    monthly.end = EndChoice::NoEnd;
    monthly.frequency = FrequencyChoice::Monthly;
    monthly.interval = IntervalChoice::Months;
    monthly.months = " 12";
    monthly.monthly = MonthlyChoice::WeekdaysOfWeeks;
    monthly.monthDays[0] = monthly.monthDays[30] = true;
    monthly.mWeekdays[3] = true;
    monthly.mWeeks = {false, true, false, false, true};
    monthly.weeks = WeeksChoice::BiWeekly;

    ScheduleForm dates = plain;
    dates.frequency = FrequencyChoice::SelectedDates;
    dates.interval = IntervalChoice::Years;
    dates.years = "10";
    dates.monthly = MonthlyChoice::LastDay;
    dates.dates = {"1/2/2026", "12/31/2026"};

    for (FormSet set : kSets) {
        AlarmTimePage page(set, SettingsRec{});
        // One page in turn, so that nothing of a form survives the next.
        for (const ScheduleForm& form : {weekly, monthly, dates, plain}) {
            page.Load(form);
            EXPECT_EQ(page.Form(), form);
        }
    }
}

TEST(AlarmTimePage, InfoKeepsLoadedBytesAndStoresEditsAsFileText) {
    InfoForm form;
    form.name = "Caf\xe9";        // an older file's Windows-1252
    form.message = "one\ntwo";  // a bare LF
    form.hideWindow = form.flash = true;
    form.snoozeMinutes = "25";
    InfoForm other;
    other.minimized = other.snooze = true;
    for (FormSet set : kSets) {
        AlarmInfoPage page(set);
        page.Load(form);
        EXPECT_EQ(page.Form(), form);
        page.Load(other);
        EXPECT_EQ(page.Form(), other);
        page.NameField()->setText(QString::fromUtf8("Caf\u00e9"));
        page.findChild<QPlainTextEdit*>()->setPlainText("x\ny");
        EXPECT_EQ(page.Form().name, "Caf\xc3\xa9");
        EXPECT_EQ(page.Form().message, "x\r\ny");
    }
}

TEST(AlarmTimePage, ChoicesEnableTheirFieldsAndShowTheirPages) {
    struct Row {
        std::vector<const char*> clicks;
        std::vector<const char*> enabled, disabled;
        const char* page;     // repeat page shown
        const char* subPage;  // monthly sub-page shown
    };
    const std::vector<Row> rows = {
        {{},
         {"teDays", "udDays"},
         {"teMinutes", "udMin", "teHours", "teYears", "teXMonths", "udMonths", "teWeeks", "UpDown9",
          "teEndDate", "dtTime", "cbm1", "cbWSunday", "btnExcept2"},
         "Daily", "MonthDays"},
        {{"rbMinute"}, {"teMinutes", "udMin"}, {"teDays", "udDays"}, "Daily", "MonthDays"},
        {{"rbMonthlyS"}, {"teXMonths", "udMonths"}, {"teMinutes", "teDays"}, "Daily", "MonthDays"},
        {{"rbEndDate"}, {"teEndDate", "dtTime"}, {}, "Daily", "MonthDays"},
        {{"rbEndDate", "rbNoEnd"}, {}, {"teEndDate", "dtTime"}, "Daily", "MonthDays"},
        {{"rbWeekly", "cbxweek"}, {"teWeeks", "UpDown9"}, {}, "Weekly", "MonthDays"},
        {{"cbxweek", "cb2week"}, {}, {"teWeeks", "UpDown9"}, "Daily", "MonthDays"},
        {{"rbMonthly", "rbSpecifiedDate"}, {"cbm1", "cbm31"}, {}, "Monthly", "MonthDays"},
        {{"rbMonthly", "rbDaysByWeek"}, {"cbWSunday", "cbW5"}, {}, "Monthly", "WeekDays"},
        // The sub-page stays; only the area is disabled.
        {{"rbDaysByWeek", "rbLastDay"}, {}, {"cbWSunday", "cbW1"}, "Daily", "WeekDays"},
        {{"rbSelectedDates"}, {}, {}, "SelectDates", "MonthDays"},
        {{"rbWeekly", "rbOther"}, {"teDays"}, {}, "Daily", "MonthDays"},
    };
    for (FormSet set : kSets) {
        for (const Row& row : rows) {
            AlarmTimePage page(set, SettingsRec{});
            std::string where = std::to_string(static_cast<int>(set));
            for (const char* click : row.clicks) {
                Control<QAbstractButton>(page, set, click)->click();
                where += std::string(" ") + click;
            }
            SCOPED_TRACE(where);
            for (const char* name : row.enabled) EXPECT_TRUE(Control(page, set, name)->isEnabled()) << name;
            for (const char* name : row.disabled) EXPECT_FALSE(Control(page, set, name)->isEnabled()) << name;
            EXPECT_EQ(ShownPage(page, "Weekly").toStdString(), row.page);
            EXPECT_EQ(ShownPage(page, "MonthDays").toStdString(), row.subPage);
        }
    }
}

TEST(AlarmTimePage, ViewOnlyLocksScheduleButNotExceptions) {
    AlarmTimePage page(FormSet::Simple, SettingsRec{});
    page.SetViewOnly(true);
    EXPECT_FALSE(Control(page, FormSet::Simple, "rbWeekly")->isEnabled());
    EXPECT_FALSE(Control(page, FormSet::Simple, "rbNoEnd")->isEnabled());
    EXPECT_TRUE(page.ExceptionList()->isEnabled());
    page.SetViewOnly(false);
    EXPECT_TRUE(Control(page, FormSet::Simple, "teDays")->isEnabled());
    EXPECT_TRUE(Control(page, FormSet::Simple, "udDays")->isEnabled());
    EXPECT_FALSE(Control(page, FormSet::Simple, "teMinutes")->isEnabled());
}

TEST(AlarmTimePage, ArrowsKeepTheirRanges) {
    for (FormSet set : kSets) {
        AlarmTimePage page(set, SettingsRec{});
        auto step = [&](const char* field, const char* arrows, const char* from, int by) {
            Control<QLineEdit>(page, set, field)->setText(from);
            Control<widgets::UpDown>(page, set, arrows)->StepBy(by);
            return Control<QLineEdit>(page, set, field)->text().toStdString();
        };
        EXPECT_EQ(step("teDays", "udDays", "365", 1), "1");
        EXPECT_EQ(step("teDays", "udDays", "1", -1), "365");
        Control<QAbstractButton>(page, set, "rbMinute")->click();
        EXPECT_EQ(step("teMinutes", "udMin", "250", 1), "250");
        Control<QAbstractButton>(page, set, "cbxweek")->click();
        EXPECT_EQ(step("teWeeks", "UpDown9", "3", -1), set == FormSet::Simple ? "3" : "2");
    }
}

TEST(AlarmTimePage, SelectedDatesStayInOrderWithoutRepeats) {
    AlarmTimePage page(FormSet::Scripted, SettingsRec{});
    auto* calendar = Control<QCalendarWidget>(page, FormSet::Scripted, "MonthCalendar1");
    auto* add = Control<QAbstractButton>(page, FormSet::Scripted, "btnAdd");
    auto* list = Control<QListWidget>(page, FormSet::Scripted, "RzListBox1");
    int changes = 0;
    QObject::connect(&page, &AlarmTimePage::changed, [&] { ++changes; });

    for (int day : {3, 1, 2}) {
        calendar->setSelectedDate(QDate(2026, 3, day));
        add->click();
    }
    EXPECT_EQ(changes, 3);
    calendar->setSelectedDate(QDate(2026, 3, 1));
    emit calendar->activated(calendar->selectedDate());  // a double click
    EXPECT_EQ(changes, 3);
    const std::vector<std::string> ordered = {"3/1/2026", "3/2/2026", "3/3/2026"};
    EXPECT_EQ(page.Form().dates, ordered);

    auto* remove = Control<QAbstractButton>(page, FormSet::Scripted, "Button2");
    list->clearSelection();
    remove->click();
    EXPECT_EQ(list->count(), 3);
    list->item(1)->setSelected(true);
    remove->click();
    EXPECT_EQ(page.Form().dates, (std::vector<std::string>{"3/1/2026", "3/3/2026"}));
}

TEST(AlarmTimePage, InnerTabChangeCanBeRefused) {
    AlarmTimePage page(FormSet::Simple, SettingsRec{});
    page.show();
    QTabWidget* tabs = page.InnerTabs();
    bool allow = false;
    int asked = 0;
    page.beforeInnerTabChange = [&] {
        ++asked;
        return allow;
    };

    tabs->setCurrentIndex(AlarmTimePage::kRepeat);
    EXPECT_EQ(tabs->currentIndex(), AlarmTimePage::kStartEnd);
    QTabBar* bar = tabs->tabBar();
    const QPoint at = bar->tabRect(AlarmTimePage::kExceptions).center();
    QMouseEvent press(QEvent::MouseButtonPress, at, bar->mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(bar, &press);
    EXPECT_EQ(tabs->currentIndex(), AlarmTimePage::kStartEnd);
    EXPECT_EQ(tabs->currentWidget(), tabs->widget(AlarmTimePage::kStartEnd));
    EXPECT_EQ(asked, 2);

    allow = true;
    tabs->setCurrentIndex(AlarmTimePage::kExceptions);
    EXPECT_EQ(tabs->currentIndex(), AlarmTimePage::kExceptions);
    EXPECT_EQ(tabs->currentWidget(), tabs->widget(AlarmTimePage::kExceptions));
    EXPECT_EQ(asked, 3);
}

// "Next:" keeps two lines: when it wraps, the tabs above do not move.
TEST(AlarmTimePageLayout, TheNextLineWrapsWithoutMovingTheTabs) {
    AlarmTimePage page(FormSet::Simple, SettingsRec{});
    page.resize(600, 420);
    page.show();
    auto* next = page.findChild<QLabel*>(QStringLiteral("lblNext"));
    ASSERT_TRUE(next);
    const QString one = QStringLiteral("Next: Wed 12/9/2026  9:05:00AM");
    QString two = QStringLiteral("Next:");
    while (next->fontMetrics().horizontalAdvance(two) < next->width() * 3 / 2)
        two += QStringLiteral(" Thu 12/10/2026  9:05:00AM,");
    page.SetNextText(one);
    page.layout()->activate();
    const QRect tabs = page.InnerTabs()->geometry();
    page.SetNextText(two);
    page.layout()->activate();
    EXPECT_GT(next->heightForWidth(next->width()), next->fontMetrics().lineSpacing() * 3 / 2)
        << "the long text takes two lines";
    EXPECT_EQ(page.InnerTabs()->geometry(), tabs);
    EXPECT_GE(next->minimumHeight(), 2 * next->fontMetrics().lineSpacing());
}

}  // namespace
}  // namespace ringmere::ui
