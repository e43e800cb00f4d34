#include "ui/alarmtime.h"

#include <QCalendarWidget>
#include <QCheckBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTimeEdit>
#include <algorithm>
#include <utility>
#include <vector>

#include "ui_alarmtime.h"
#include "widgets/calendar.h"
#include "widgets/time_fields.h"
#include "widgets/updown.h"

namespace ringmere::ui {

namespace {

const char* const kWeekdayNames[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                     "Thursday", "Friday", "Saturday"};

// The form is drawn with the simple set's names; the scripted set's controls
// carry these instead.
std::vector<std::pair<QString, QString>> ScriptedNames() {
    std::vector<std::pair<QString, QString>> names = {
        {"MonthCalendar4", "MonthCalendar3"},
        {"dtStartTime", "dtStartTime2"},
        {"rbIndividual", "rbIndividual2"},
        {"rbNoEnd", "rbNoEnd2"},
        {"rbEndDate", "rbEndDate2"},
        {"teEndDate", "taEndDate2"},
        {"dtTime", "dtTime2"},
        {"rbWeekly", "rbWeekly2"},
        {"rbMonthly", "rbMonthly2"},
        {"rbSelectedDates", "rbSelectedDates2"},
        {"rbOther", "rbOther2"},
        {"rbMinute", "rbMinute2"},
        {"teMinutes", "teMinutes2"},
        {"udMin", "udMin2"},
        {"rbHourly", "rbHourly2"},
        {"teHours", "teHours2"},
        {"udHours", "udHours2"},
        {"rbDaily", "rbDaily2"},
        {"teDays", "teDays2"},
        {"udDays", "udDays2"},
        {"rbAnnually", "rbAnnually2"},
        {"teYears", "teYears2"},
        {"udYears", "udYears2"},
        {"rbMonthlyS", "rbMonthlyS2"},
        {"teXMonths", "teXMonths2"},
        {"udMonths", "udMonths2"},
        {"cb1week", "cb1weeks"},
        {"cb2week", "cb2weeks"},
        {"cbxweek", "cbxweeks"},
        {"teWeeks", "teWeeks2"},
        {"UpDown9", "UpDown10"},
        {"rbFirstDay", "rbFirstDay2"},
        {"rbLastDay", "rbLastDay2"},
        {"rbSpecifiedDate", "rbSpecifiedDate2"},
        {"rbDaysByWeek", "rbDaysByWeek2"},
        {"MonthCalendar1", "MonthCalendar5"},
        {"RzListBox1", "RzListBox3"},
        {"btnAdd", "btnAdd2"},
        {"Button2", "Button17"},
        {"clExcepts2", "clExcepts"},
        {"btnxadd2", "btnxadd"},
        {"btnExcept2", "btnExcept"},
        {"btndexcept2", "btndexcept"},
    };
    for (const char* day : kWeekdayNames) {
        const QString name = QString::fromLatin1(day);
        names.emplace_back("cb" + name, "cb" + name + "2");
        names.emplace_back("cbW" + name, "cbW" + name + "2");
    }
    for (int n = 1; n <= 31; ++n)
        names.emplace_back(QStringLiteral("cbm%1").arg(n), QStringLiteral("cbms%1").arg(n));
    for (int n = 1; n <= 5; ++n)
        names.emplace_back(QStringLiteral("cbW%1").arg(n), QStringLiteral("cbWS%1").arg(n));
    return names;
}

QDate ToQDate(DateTime value) {
    const CivilDate c = DecodeDate(value);
    return {c.year, c.month, c.day};
}

DateTime FromQDate(QDate date) { return EncodeDate(date.year(), date.month(), date.day()); }

QTime ToQTime(DateTime value) { return QTime(0, 0).addSecs(SplitToSecond(value).second); }

DateTime FromQTime(QTime time) { return EncodeTime(time.hour(), time.minute(), time.second()); }

QString Shown(const std::string& text) { return QString::fromStdString(text); }

struct IntervalRow {
    QRadioButton* choice;
    QLineEdit* field;
    widgets::UpDown* arrows;
};

// In the order of IntervalChoice.
std::array<IntervalRow, 5> IntervalRows(const Ui::AlarmTimePage& u) {
    return {{{u.rbMinute, u.teMinutes, u.udMin},
             {u.rbHourly, u.teHours, u.udHours},
             {u.rbDaily, u.teDays, u.udDays},
             {u.rbAnnually, u.teYears, u.udYears},
             {u.rbMonthlyS, u.teXMonths, u.udMonths}}};
}

}  // namespace

AlarmTimePage::AlarmTimePage(FormSet set, const SettingsRec& settings, QWidget* parent)
    : QWidget(parent), ui_(std::make_unique<Ui::AlarmTimePage>()), set_(set) {
    ui_->setupUi(this);
    Ui::AlarmTimePage& u = *ui_;

    for (int i = 0; i < 7; ++i) {
        weekdays_[i] = findChild<QCheckBox*>(QStringLiteral("cb%1").arg(kWeekdayNames[i]));
        mWeekdays_[i] = findChild<QCheckBox*>(QStringLiteral("cbW%1").arg(kWeekdayNames[i]));
    }
    for (int n = 1; n <= 31; ++n) monthDays_[n - 1] = findChild<QCheckBox*>(QStringLiteral("cbm%1").arg(n));
    for (int n = 1; n <= 5; ++n) mWeeks_[n - 1] = findChild<QCheckBox*>(QStringLiteral("cbW%1").arg(n));

    const FieldRange ranges[] = {kMinutesRange, kHoursRange, kDaysRange, kYearsRange, kMonthsRange};
    const auto rows = IntervalRows(u);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        rows[i].arrows->SetBuddy(rows[i].field);
        rows[i].arrows->SetRange(ranges[i].min, ranges[i].max);
        rows[i].arrows->setFixedHeight(rows[i].field->sizeHint().height());
    }
    u.udDays->SetWrap(true);
    const FieldRange xWeeks = set == FormSet::Simple ? kSimpleXWeeksRange : kScriptedXWeeksRange;
    u.UpDown9->SetBuddy(u.teWeeks);
    u.UpDown9->SetRange(xWeeks.min, xWeeks.max);
    u.UpDown9->setFixedHeight(u.teWeeks->sizeHint().height());

    widgets::SelectPartsOnClick(this);
    // Two lines kept for "Next:": when it wraps, the tabs above stay put.
    u.lblNext->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    u.lblNext->setMinimumHeight(2 * u.lblNext->fontMetrics().lineSpacing() +
                                2 * u.lblNext->margin() + u.lblNext->contentsMargins().top() +
                                u.lblNext->contentsMargins().bottom());

    widgets::ApplyCalendarColours(u.MonthCalendar4, settings);
    widgets::ApplyCalendarColours(u.MonthCalendar1, settings);

    if (set == FormSet::Scripted) {
        u.teEndDate->setDate(QDate(2001, 1, 25));
        // Every control is looked up before any is renamed, so that a new
        // name can never be mistaken for one still to be looked up.
        std::vector<std::pair<QWidget*, QString>> renames;
        for (const auto& [simple, scripted] : ScriptedNames())
            renames.emplace_back(findChild<QWidget*>(simple), scripted);
        for (const auto& [widget, name] : renames) widget->setObjectName(name);
    }

    for (QRadioButton* choice : findChildren<QRadioButton*>()) {
        connect(choice, &QRadioButton::toggled, this, [this] {
            ApplyRules();
            Notify();
        });
    }
    for (QCheckBox* box : findChildren<QCheckBox*>())
        connect(box, &QCheckBox::toggled, this, &AlarmTimePage::Notify);
    for (QLineEdit* field : {u.teMinutes, u.teHours, u.teDays, u.teYears, u.teXMonths, u.teWeeks})
        connect(field, &QLineEdit::textChanged, this, &AlarmTimePage::Notify);
    connect(u.MonthCalendar4, &QCalendarWidget::selectionChanged, this, &AlarmTimePage::Notify);
    connect(u.dtStartTime, &QTimeEdit::timeChanged, this, &AlarmTimePage::Notify);
    connect(u.teEndDate, &QDateEdit::dateChanged, this, &AlarmTimePage::Notify);
    connect(u.dtTime, &QTimeEdit::timeChanged, this, &AlarmTimePage::Notify);

    connect(u.btnAdd, &QPushButton::clicked, this, &AlarmTimePage::AddDate);
    connect(u.MonthCalendar1, &QCalendarWidget::activated, this, &AlarmTimePage::AddDate);
    connect(u.Button2, &QPushButton::clicked, this, &AlarmTimePage::RemoveDate);

    shownTab_ = u.pcAlarmTime->currentIndex();
    connect(u.pcAlarmTime, &QTabWidget::currentChanged, this, &AlarmTimePage::InnerTabChanged);

    ApplyRules();
}

AlarmTimePage::~AlarmTimePage() = default;

void AlarmTimePage::Notify() {
    if (!loading_) emit changed();
}

void AlarmTimePage::ApplyRules() {
    Ui::AlarmTimePage& u = *ui_;
    if (u.rbWeekly->isChecked()) u.nbRepeat->setCurrentWidget(u.Weekly);
    if (u.rbMonthly->isChecked()) u.nbRepeat->setCurrentWidget(u.Monthly);
    if (u.rbSelectedDates->isChecked()) u.nbRepeat->setCurrentWidget(u.SelectDates);
    if (u.rbOther->isChecked()) u.nbRepeat->setCurrentWidget(u.Daily);

    // The arrows follow their field, but are set too: a field inside a
    // disabled tab does not tell its arrows when it is enabled.
    for (const IntervalRow& row : IntervalRows(u)) {
        row.field->setEnabled(row.choice->isChecked());
        row.arrows->setEnabled(row.choice->isChecked());
    }

    const bool endDate = u.rbEndDate->isChecked();
    u.teEndDate->setEnabled(endDate);
    u.dtTime->setEnabled(endDate);

    // The month-day group and the sub-page shown stay as they are when the
    // first or last day is chosen: only the area around them is disabled.
    const bool byDays = u.rbSpecifiedDate->isChecked();
    const bool byWeek = u.rbDaysByWeek->isChecked();
    u.nbMonthly->setEnabled(byDays || byWeek);
    if (byDays) {
        u.grpMonthDays->setEnabled(true);
        u.nbMonthly->setCurrentWidget(u.MonthDays);
    }
    if (byWeek) u.nbMonthly->setCurrentWidget(u.WeekDays);

    u.teWeeks->setEnabled(u.cbxweek->isChecked());
    u.UpDown9->setEnabled(u.cbxweek->isChecked());
}

void AlarmTimePage::Load(const ScheduleForm& form) {
    Ui::AlarmTimePage& u = *ui_;
    loading_ = true;

    u.MonthCalendar4->setSelectedDate(ToQDate(form.startDate));
    u.dtStartTime->setTime(ToQTime(form.startTime));
    switch (form.end) {
        case EndChoice::Individual: u.rbIndividual->setChecked(true); break;
        case EndChoice::NoEnd: u.rbNoEnd->setChecked(true); break;
        case EndChoice::EndDate: u.rbEndDate->setChecked(true); break;
    }
    u.teEndDate->setDate(ToQDate(form.endDate));
    u.dtTime->setTime(ToQTime(form.endTime));

    switch (form.frequency) {
        case FrequencyChoice::Weekly: u.rbWeekly->setChecked(true); break;
        case FrequencyChoice::Monthly: u.rbMonthly->setChecked(true); break;
        case FrequencyChoice::SelectedDates: u.rbSelectedDates->setChecked(true); break;
        case FrequencyChoice::Other: u.rbOther->setChecked(true); break;
    }
    const auto rows = IntervalRows(u);
    rows[static_cast<std::size_t>(form.interval)].choice->setChecked(true);
    u.teMinutes->setText(Shown(form.minutes));
    u.teHours->setText(Shown(form.hours));
    u.teDays->setText(Shown(form.days));
    u.teYears->setText(Shown(form.years));
    u.teXMonths->setText(Shown(form.months));

    for (std::size_t i = 0; i < weekdays_.size(); ++i) weekdays_[i]->setChecked(form.weekdays[i]);
    switch (form.weeks) {
        case WeeksChoice::EveryWeek: u.cb1week->setChecked(true); break;
        case WeeksChoice::BiWeekly: u.cb2week->setChecked(true); break;
        case WeeksChoice::EveryX: u.cbxweek->setChecked(true); break;
    }
    u.teWeeks->setText(Shown(form.xWeeks));

    switch (form.monthly) {
        case MonthlyChoice::FirstDay: u.rbFirstDay->setChecked(true); break;
        case MonthlyChoice::LastDay: u.rbLastDay->setChecked(true); break;
        case MonthlyChoice::MonthDays: u.rbSpecifiedDate->setChecked(true); break;
        case MonthlyChoice::WeekdaysOfWeeks: u.rbDaysByWeek->setChecked(true); break;
    }
    for (std::size_t i = 0; i < monthDays_.size(); ++i) monthDays_[i]->setChecked(form.monthDays[i]);
    for (std::size_t i = 0; i < mWeekdays_.size(); ++i) mWeekdays_[i]->setChecked(form.mWeekdays[i]);
    for (std::size_t i = 0; i < mWeeks_.size(); ++i) mWeeks_[i]->setChecked(form.mWeeks[i]);

    u.RzListBox1->clear();
    for (const std::string& date : form.dates) u.RzListBox1->addItem(Shown(date));

    loading_ = false;
    emit changed();
}

ScheduleForm AlarmTimePage::Form() const {
    const Ui::AlarmTimePage& u = *ui_;
    ScheduleForm form;
    form.startDate = FromQDate(u.MonthCalendar4->selectedDate());
    form.startTime = FromQTime(u.dtStartTime->time());
    form.end = u.rbEndDate->isChecked() ? EndChoice::EndDate
               : u.rbNoEnd->isChecked() ? EndChoice::NoEnd
                                        : EndChoice::Individual;
    form.endDate = FromQDate(u.teEndDate->date());
    form.endTime = FromQTime(u.dtTime->time());

    form.frequency = u.rbWeekly->isChecked()          ? FrequencyChoice::Weekly
                     : u.rbMonthly->isChecked()       ? FrequencyChoice::Monthly
                     : u.rbSelectedDates->isChecked() ? FrequencyChoice::SelectedDates
                                                      : FrequencyChoice::Other;
    const auto rows = IntervalRows(u);
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (rows[i].choice->isChecked()) form.interval = static_cast<IntervalChoice>(i);
    form.minutes = u.teMinutes->text().toStdString();
    form.hours = u.teHours->text().toStdString();
    form.days = u.teDays->text().toStdString();
    form.years = u.teYears->text().toStdString();
    form.months = u.teXMonths->text().toStdString();

    for (std::size_t i = 0; i < weekdays_.size(); ++i) form.weekdays[i] = weekdays_[i]->isChecked();
    form.weeks = u.cbxweek->isChecked()   ? WeeksChoice::EveryX
                 : u.cb2week->isChecked() ? WeeksChoice::BiWeekly
                                          : WeeksChoice::EveryWeek;
    form.xWeeks = u.teWeeks->text().toStdString();

    form.monthly = u.rbDaysByWeek->isChecked()      ? MonthlyChoice::WeekdaysOfWeeks
                   : u.rbSpecifiedDate->isChecked() ? MonthlyChoice::MonthDays
                   : u.rbLastDay->isChecked()       ? MonthlyChoice::LastDay
                                                    : MonthlyChoice::FirstDay;
    for (std::size_t i = 0; i < monthDays_.size(); ++i) form.monthDays[i] = monthDays_[i]->isChecked();
    for (std::size_t i = 0; i < mWeekdays_.size(); ++i) form.mWeekdays[i] = mWeekdays_[i]->isChecked();
    for (std::size_t i = 0; i < mWeeks_.size(); ++i) form.mWeeks[i] = mWeeks_[i]->isChecked();

    for (int row = 0; row < u.RzListBox1->count(); ++row)
        form.dates.push_back(u.RzListBox1->item(row)->text().toStdString());
    return form;
}

void AlarmTimePage::AddDate() {
    std::vector<std::string> dates = Form().dates;
    const DateTime day = FromQDate(ui_->MonthCalendar1->selectedDate());
    if (!InsertDateText(dates, day)) return;
    const std::string text = FormatShortDate(day);
    const auto row = std::find(dates.begin(), dates.end(), text) - dates.begin();
    ui_->RzListBox1->insertItem(static_cast<int>(row), Shown(text));
    Notify();
}

void AlarmTimePage::RemoveDate() {
    const QList<QListWidgetItem*> selected = ui_->RzListBox1->selectedItems();
    if (selected.isEmpty()) return;
    delete selected.first();
    Notify();
}

void AlarmTimePage::InnerTabChanged(int index) {
    if (switchingTab_ || index == shownTab_) return;
    QTabWidget* tabs = ui_->pcAlarmTime;
    if (beforeInnerTabChange) {
        // A tab widget cannot refuse a change, so the old tab is put back
        // first: whatever the question shows then has the old tab behind it.
        switchingTab_ = true;
        tabs->setCurrentIndex(shownTab_);
        switchingTab_ = false;
        if (!beforeInnerTabChange()) return;
        switchingTab_ = true;
        tabs->setCurrentIndex(index);
        switchingTab_ = false;
    }
    shownTab_ = index;
}

void AlarmTimePage::SetViewOnly(bool viewOnly) {
    ui_->tsStartEnd->setEnabled(!viewOnly);
    ui_->tsRepeat->setEnabled(!viewOnly);
    if (!viewOnly) ApplyRules();
}

QTabWidget* AlarmTimePage::InnerTabs() const { return ui_->pcAlarmTime; }
QListWidget* AlarmTimePage::ExceptionList() const { return ui_->clExcepts2; }
QPushButton* AlarmTimePage::AddExceptionButton() const { return ui_->btnxadd2; }
QPushButton* AlarmTimePage::EditExceptionButton() const { return ui_->btnExcept2; }
QPushButton* AlarmTimePage::DeleteExceptionButton() const { return ui_->btndexcept2; }

void AlarmTimePage::SetNextText(const QString& text) { ui_->lblNext->setText(text); }

}  // namespace ringmere::ui
