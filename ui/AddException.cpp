#include "ui/AddException.h"

#include <QCalendarWidget>
#include <QCheckBox>
#include <QListWidget>
#include <algorithm>
#include <array>

#include "core/alarm_form.h"
#include "core/alarmtable.h"
#include "core/clock.h"
#include "ui_AddException.h"
#include "widgets/calendar.h"
#include "widgets/dialogs.h"
#include "widgets/time_fields.h"

namespace ringmere::ui {

namespace {

QTime ToQTime(DateTime t) {
    return QTime(0, 0).addSecs(SplitToSecond(TimeOf(t)).second);
}

DateTime FromQTime(const QTime& t) {
    return EncodeTime(t.hour(), t.minute(), t.second());
}

QDate ToQDate(DateTime day) {
    const CivilDate c = DecodeDate(day);
    return {c.year, c.month, c.day};
}

// Sunday first, as the weekday numbers run.
std::array<QCheckBox*, 7> DayBoxes(const Ui::TfrmExceptions& ui) {
    return {ui.cbSunday,   ui.cbMonday, ui.cbTuesday, ui.cbWednesday,
            ui.cbThursday, ui.cbFriday, ui.cbSaturday};
}

}  // namespace

TfrmExceptions::TfrmExceptions(Globals& g, const Services& services,
                               ExceptionEditRequest request, QWidget* owner)
    : QDialog(owner),
      ui_(std::make_unique<Ui::TfrmExceptions>()),
      services_(services),
      request_(std::move(request)) {
    ui_->setupUi(this);
    ui_->MonthCalendar1->setSelectedDate(ToQDate(DateOf(services.clock.Now())));
    widgets::ApplyCalendarColours(ui_->MonthCalendar1, g.Settings);
    widgets::SelectPartsOnClick(this);

    connect(ui_->rbDaily, &QRadioButton::toggled, this, [this](bool on) {
        if (on) ShowType(ExceptionChoice::Daily);
    });
    connect(ui_->rbSelectedDates, &QRadioButton::toggled, this, [this](bool on) {
        if (on) ShowType(ExceptionChoice::SelectedDates);
    });
    connect(ui_->rbWeekly, &QRadioButton::toggled, this, [this](bool on) {
        if (on) ShowType(ExceptionChoice::Weekly);
    });
    connect(ui_->rbBetweenTimes, &QRadioButton::toggled, this, &TfrmExceptions::UpdateTimeFrame);
    connect(ui_->btnAddDate, &QPushButton::clicked, this, &TfrmExceptions::AddDate);
    connect(ui_->MonthCalendar1, &QCalendarWidget::activated, this, &TfrmExceptions::AddDate);
    connect(ui_->btnRemoveDate, &QPushButton::clicked, this, &TfrmExceptions::RemoveDate);
    connect(ui_->btnOK, &QPushButton::clicked, this, &TfrmExceptions::Ok);
    connect(ui_->btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    // Whoever opened it, nothing is changed in client mode.
    viewOnly_ = IsClientMode(g);
    if (request_.adding) {
        setWindowTitle(QStringLiteral("Add Exception"));
        ui_->rbSelectedDates->setChecked(true);
        ShowType(ExceptionChoice::SelectedDates);
    } else {
        setWindowTitle(viewOnly_ ? QStringLiteral("View Exception")
                                 : QStringLiteral("Edit Exception"));
        if (viewOnly_) {
            ui_->gbExceptionType->setEnabled(false);
            ui_->pcExceptions->setEnabled(false);
            ui_->btnCancel->hide();
            ui_->buttonRow->addStretch();  // OK in the middle
        }
        if (NamesRule(request_)) {
            result_ = request_.rules.Items[static_cast<std::size_t>(request_.index - 1)];
            Load(LoadExceptionForm(result_));
        }
    }

    adjustSize();
    if (owner) move(widgets::PlaceOver(owner, frameGeometry().size(), true));
}

TfrmExceptions::~TfrmExceptions() = default;

void TfrmExceptions::ShowType(ExceptionChoice type) {
    switch (type) {
        case ExceptionChoice::Daily:
            ui_->pcExceptions->setCurrentWidget(ui_->Daily);
            break;
        case ExceptionChoice::SelectedDates:
            ui_->pcExceptions->setCurrentWidget(ui_->SelectDates);
            break;
        case ExceptionChoice::Weekly:
            ui_->pcExceptions->setCurrentWidget(ui_->Weekly);
            break;
    }
}

void TfrmExceptions::UpdateTimeFrame() {
    const bool between = ui_->rbBetweenTimes->isChecked();
    ui_->dtsStart->setEnabled(between);
    ui_->dtsEnd->setEnabled(between);
}

void TfrmExceptions::Load(const ExceptionForm& form) {
    switch (form.type) {
        case ExceptionChoice::Daily:
            ui_->rbDaily->setChecked(true);
            break;
        case ExceptionChoice::SelectedDates:
            ui_->rbSelectedDates->setChecked(true);
            break;
        case ExceptionChoice::Weekly:
            ui_->rbWeekly->setChecked(true);
            break;
    }
    ShowType(form.type);
    ui_->dtStart->setTime(ToQTime(form.dailyStart));
    ui_->dtEnd->setTime(ToQTime(form.dailyEnd));
    ui_->lstDates->clear();
    for (const std::string& d : form.dates) ui_->lstDates->addItem(QString::fromStdString(d));
    (form.betweenTimes ? ui_->rbBetweenTimes : ui_->rbAllDay)->setChecked(true);
    UpdateTimeFrame();
    ui_->dtsStart->setTime(ToQTime(form.datesStart));
    ui_->dtsEnd->setTime(ToQTime(form.datesEnd));
    const std::array<QCheckBox*, 7> boxes = DayBoxes(*ui_);
    for (std::size_t i = 0; i < boxes.size(); ++i) boxes[i]->setChecked(form.weekdays[i]);
}

ExceptionForm TfrmExceptions::Form() const {
    ExceptionForm form;
    form.type = ui_->rbDaily->isChecked()    ? ExceptionChoice::Daily
                : ui_->rbWeekly->isChecked() ? ExceptionChoice::Weekly
                                             : ExceptionChoice::SelectedDates;
    form.dailyStart = FromQTime(ui_->dtStart->time());
    form.dailyEnd = FromQTime(ui_->dtEnd->time());
    for (int i = 0; i < ui_->lstDates->count(); ++i)
        form.dates.push_back(ui_->lstDates->item(i)->text().toStdString());
    form.betweenTimes = ui_->rbBetweenTimes->isChecked();
    form.datesStart = FromQTime(ui_->dtsStart->time());
    form.datesEnd = FromQTime(ui_->dtsEnd->time());
    const std::array<QCheckBox*, 7> boxes = DayBoxes(*ui_);
    for (std::size_t i = 0; i < boxes.size(); ++i) form.weekdays[i] = boxes[i]->isChecked();
    return form;
}

void TfrmExceptions::AddDate() {
    const QDate d = ui_->MonthCalendar1->selectedDate();
    const std::optional<DateTime> day = TryEncodeDate(d.year(), d.month(), d.day());
    if (!day) return;
    std::vector<std::string> dates = Form().dates;
    if (!InsertDateText(dates, *day)) return;
    const std::string text = FormatShortDate(*day);
    const auto at = std::find(dates.begin(), dates.end(), text) - dates.begin();
    ui_->lstDates->insertItem(static_cast<int>(at), QString::fromStdString(text));
}

void TfrmExceptions::RemoveDate() {
    for (QListWidgetItem* item : ui_->lstDates->selectedItems()) delete item;
}

void TfrmExceptions::Ok() {
    if (viewOnly_) {
        reject();
        return;
    }
    const ExceptionForm form = Form();
    if (const std::optional<std::string> warning = CheckExceptionForm(form)) {
        services_.dialogs.Message(this, widgets::BoxKind::Warning, QString::fromStdString(*warning),
                                  frameGeometry().topLeft());
        return;
    }
    if (!request_.adding && !NamesRule(request_)) {  // no rule there to change
        reject();
        return;
    }
    StoreException(form, result_);
    accept();
}

}  // namespace ringmere::ui
