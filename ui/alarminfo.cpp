#include "ui/alarminfo.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <utility>

#include "ui_alarminfo.h"
#include "widgets/form_text.h"
#include "widgets/updown.h"

namespace ringmere::ui {

namespace {

// The form is drawn with the simple set's names.
constexpr std::pair<const char*, const char*> kScriptedNames[] = {
    {"teAlName", "teAlName2"},
    {"memAlMessage", "memAlMessage2"},
    {"chkHideWindow2", "chkHideWindow"},
    {"chkStartMinimized", "chkStartMinimized2"},
    {"chkFlashWindow2", "chkFlashWindow"},
    {"chkSnooze2", "chkSnooze"},
    {"teSnoozeMin2", "teSnoozeMin"},
    {"UpDown5", "UpDown4"},
};

}  // namespace

AlarmInfoPage::AlarmInfoPage(FormSet set, QWidget* parent)
    : QWidget(parent), ui_(std::make_unique<Ui::AlarmInfoPage>()), set_(set) {
    ui_->setupUi(this);
    ui_->UpDown5->SetBuddy(ui_->teSnoozeMin2);
    ui_->UpDown5->SetRange(kSnoozeRange.min, kSnoozeRange.max);
    ui_->UpDown5->setFixedHeight(ui_->teSnoozeMin2->sizeHint().height());

    if (set_ == FormSet::Scripted) {
        // Look every control up before renaming any: chkHideWindow2 becomes
        // chkHideWindow while another name might still be asked for.
        QList<QPair<QWidget*, QString>> renames;
        for (const auto& [simple, scripted] : kScriptedNames)
            renames.append({findChild<QWidget*>(QString::fromLatin1(simple)),
                            QString::fromLatin1(scripted)});
        for (const auto& [widget, name] : renames) widget->setObjectName(name);
        ui_->chkHideWindow2->setText(tr("Close alarm window after alarm is completed."));
    }

    connect(ui_->teAlName, &QLineEdit::textChanged, this, &AlarmInfoPage::changed);
    connect(ui_->memAlMessage, &QPlainTextEdit::textChanged, this, &AlarmInfoPage::changed);
    connect(ui_->teSnoozeMin2, &QLineEdit::textChanged, this, &AlarmInfoPage::changed);
    for (QCheckBox* box : {ui_->chkHideWindow2, ui_->chkStartMinimized, ui_->chkFlashWindow2,
                           ui_->chkSnooze2})
        connect(box, &QCheckBox::toggled, this, &AlarmInfoPage::changed);
}

AlarmInfoPage::~AlarmInfoPage() = default;

void AlarmInfoPage::Load(const InfoForm& form) {
    loaded_ = form;
    ui_->teAlName->setText(widgets::ShownText(form.name));
    ui_->memAlMessage->setPlainText(widgets::ShownText(form.message));
    ui_->chkHideWindow2->setChecked(form.hideWindow);
    ui_->chkStartMinimized->setChecked(form.minimized);
    ui_->chkFlashWindow2->setChecked(form.flash);
    ui_->chkSnooze2->setChecked(form.snooze);
    ui_->teSnoozeMin2->setText(widgets::ShownText(form.snoozeMinutes));
}

InfoForm AlarmInfoPage::Form() const {
    InfoForm form;
    form.name = widgets::StoredText(ui_->teAlName->text(), loaded_.name);
    form.message = widgets::StoredText(ui_->memAlMessage->toPlainText(), loaded_.message);
    form.hideWindow = ui_->chkHideWindow2->isChecked();
    form.minimized = ui_->chkStartMinimized->isChecked();
    form.flash = ui_->chkFlashWindow2->isChecked();
    form.snooze = ui_->chkSnooze2->isChecked();
    form.snoozeMinutes = widgets::StoredText(ui_->teSnoozeMin2->text(), loaded_.snoozeMinutes);
    return form;
}

QLineEdit* AlarmInfoPage::NameField() const { return ui_->teAlName; }

}  // namespace ringmere::ui
