#include "ui/AddEvent.h"

#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <algorithm>

#include "core/alarmtable.h"
#include "core/script_list.h"
#include "ui/actionkit.h"
#include "ui_AddEvent.h"
#include "widgets/dialogs.h"
#include "widgets/file_text.h"
#include "widgets/form_text.h"
#include "widgets/updown.h"

namespace ringmere::ui {

using widgets::BoxKind;
using widgets::ShownText;
using widgets::StoredText;
using UiForm = Ui::TfrmAddEvent;

namespace {

// The kinds in the order of evtype, with their choice and page.
struct Kind {
    QRadioButton* UiForm::*choice;
    QWidget* UiForm::*page;
};
const Kind kKinds[] = {
    {&UiForm::rbMusic, &UiForm::Music},     {&UiForm::rbDialup, &UiForm::Dialup},
    {&UiForm::rbLaunchFile, &UiForm::File}, {&UiForm::rbLaunchWeb, &UiForm::Web},
    {&UiForm::rbEmail, &UiForm::Page},      {&UiForm::rbSleep, &UiForm::Sleep},
    {&UiForm::rbSynch, &UiForm::SynchP},    {&UiForm::rbFTP, &UiForm::FTP},
    {&UiForm::rbRepeat, &UiForm::Repeat},   {&UiForm::rbFileOp, &UiForm::FileOp},
};

// The arrows of the fields only steps have.
struct Arrows {
    widgets::UpDown* UiForm::*arrows;
    QLineEdit* UiForm::*field;
    FieldRange range;
};
const Arrows kArrows[] = {
    {&UiForm::UpDown4, &UiForm::teSleep, kStepSleepRange},
    {&UiForm::UpDown5, &UiForm::teRepNum, kStepRepeatCountRange},
};

}  // namespace

TfrmAddEvent::TfrmAddEvent(Globals& g, const Services& services, StepEditRequest request,
                           QWidget* owner)
    : QDialog(owner),
      g_(g),
      services_(services),
      ui_(std::make_unique<UiForm>()),
      request_(std::move(request)),
      adding_(!NamesStep(request_)),
      index_(request_.index) {
    ui_->setupUi(this);
    auto* u = ui_.get();
    const PageContext context{services, this, this,
                              [this](BoxKind kind, const QString& text) { Box(kind, text); }};
    actions_ = std::make_unique<ActionPages>(context, g);
    for (const Arrows& a : kArrows) {
        (u->*a.arrows)->SetBuddy(u->*a.field);
        (u->*a.arrows)->SetRange(a.range.min, a.range.max);
        (u->*a.arrows)->setFixedHeight((u->*a.field)->sizeHint().height());
    }
    u->pcPage->setCurrentWidget(u->tsConfiguration);
    u->pcFTP->setCurrentIndex(0);
    u->pcFileOps->setCurrentIndex(0);

    const Integer count = StepCount(request_.script);
    viewOnly_ = IsClientMode(g);
    u->rbRepeat->setEnabled(RepeatAllowed(count, index_));
    lastTarget_ = LastRepeatTarget(count, index_, adding_);
    FillRepeatTargets();

    Connect();
    if (adding_) {
        Load(NewStepForm(g.Settings));
    } else {
        result_ = request_.script.Items[std::size_t(index_ - 1)];
        Load(LoadStepForm(result_, g.Settings));
        if (!viewOnly_) setWindowTitle(QStringLiteral("Edit Alarm"));
    }
    ApplyClientMode();

    adjustSize();
    if (owner) move(widgets::PlaceOver(owner->window(), frameGeometry().size(), true));
}

TfrmAddEvent::~TfrmAddEvent() = default;

void TfrmAddEvent::Connect() {
    auto* u = ui_.get();
    for (const Kind& k : kKinds)
        connect(u->*k.choice, &QAbstractButton::toggled, this, [this] { ApplyRules(); });
    for (QRadioButton* b : {u->rbRepeatTimes, u->rbRepeatStop})
        connect(b, &QAbstractButton::toggled, this, [this] { ApplyRules(); });
    connect(u->rbDialup, &QRadioButton::toggled, this, [this](bool on) {
        if (on) actions_->dial.FillList();
    });
    connect(u->lstSteps, &QListWidget::currentRowChanged, this, [this] { ShowTargetName(); });
    connect(u->BitBtn1, &QPushButton::clicked, this, &TfrmAddEvent::BitBtn1Click);
    connect(u->BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
}

void TfrmAddEvent::ApplyClientMode() {
    if (!viewOnly_) return;
    auto* u = ui_.get();
    for (QWidget* w : {static_cast<QWidget*>(u->rgEventType), u->tsConfiguration, u->tsMessage,
                       static_cast<QWidget*>(u->gbMusic), static_cast<QWidget*>(u->pnDialup),
                       static_cast<QWidget*>(u->pnApplication), static_cast<QWidget*>(u->Button12),
                       static_cast<QWidget*>(u->pnWeb), static_cast<QWidget*>(u->Button13),
                       static_cast<QWidget*>(u->pnSleep)})
        w->setEnabled(false);
    u->BitBtn2->hide();
    setWindowTitle(QStringLiteral("View Event (Client Mode)"));
}

void TfrmAddEvent::ApplyRules() {
    auto* u = ui_.get();
    for (const Kind& k : kKinds)
        if ((u->*k.choice)->isChecked()) u->Notebook1->setCurrentWidget(u->*k.page);
    if (u->rbSynch->isChecked())
        actions_->synch.StartClock();
    else
        actions_->synch.StopClock();
    u->teRepNum->setEnabled(u->rbRepeatTimes->isChecked());
}

void TfrmAddEvent::Load(const StepForm& form) {
    auto* u = ui_.get();
    loaded_ = form;
    // Before the kind: choosing it may fill the dial-up list now.
    actions_->Load(form, form.connect ? DialChoice::Connect : DialChoice::Disconnect);
    const std::size_t kind = std::min<std::size_t>(form.kind, std::size(kKinds) - 1);
    (u->*kKinds[kind].choice)->setChecked(true);
    u->teSleep->setText(ShownText(form.seconds));
    u->teRepNum->setText(ShownText(form.repnum));
    (form.reptype == kRepeatUntilStopped ? u->rbRepeatStop : u->rbRepeatTimes)->setChecked(true);

    u->lstSteps->setCurrentRow(-1);
    const QList<QListWidgetItem*> found =
        u->lstSteps->findItems(QString::fromStdString(form.target), Qt::MatchExactly);
    if (!form.target.empty() && !found.isEmpty()) u->lstSteps->setCurrentItem(found.first());
    ShowTargetName();
    ApplyRules();
}

StepForm TfrmAddEvent::Form() const {
    const auto* u = ui_.get();
    StepForm form = loaded_;
    for (std::size_t k = 0; k < std::size(kKinds); ++k)
        if ((u->*kKinds[k].choice)->isChecked()) form.kind = Byte(k);
    actions_->Store(form);
    form.connect = actions_->dial.Choice() == DialChoice::Connect;
    form.seconds = StoredText(u->teSleep->text(), loaded_.seconds);
    form.repnum = StoredText(u->teRepNum->text(), loaded_.repnum);
    form.reptype = u->rbRepeatStop->isChecked() ? kRepeatUntilStopped : kRepeatTimes;
    const QListWidgetItem* target = u->lstSteps->currentItem();
    form.target = target && target->isSelected() ? target->text().toStdString() : std::string();
    return form;
}

void TfrmAddEvent::BitBtn1Click() {
    if (viewOnly_) {
        reject();
        return;
    }
    const StepForm form = Form();
    const StepFiles files{[](const std::string& path) {
        const QFileInfo info(QString::fromStdString(path));
        return info.exists() && !info.isDir();
    }};
    for (const StepProblem& p : CheckStepForm(form, lastTarget_, files)) {
        services_.dialogs.Message(this, BoxKind::Warning, widgets::FromFileText(p.message),
                                  BoxCorner());
        if (p.tab == StepTab::FtpRetry) actions_->ftp.ShowRetryTab();
        if (p.stops) return;
    }
    // Converted and checked: only now is there a step to hand back.
    StoreStep(form, result_);
    accept();
}

void TfrmAddEvent::done(int result) {
    actions_->StopTests();
    actions_->synch.StopClock();
    QDialog::done(result);
}

// ------------------------------------------------------------------ lists

void TfrmAddEvent::FillRepeatTargets() {
    QListWidget* list = ui_->lstSteps;
    list->clear();
    for (Integer k = 1; k <= lastTarget_; ++k) list->addItem(QString::number(k));
}

void TfrmAddEvent::ShowTargetName() {
    const QListWidgetItem* item = ui_->lstSteps->currentItem();
    const Integer k = item ? item->text().toInt() : 0;
    const AlEventList& script = request_.script;
    ui_->lblTargetName->setText(k >= 1 && k <= StepCount(script)
                                    ? ShownText(script.Items[std::size_t(k - 1)].evname)
                                    : QString());
}

// ------------------------------------------------------------------ boxes

void TfrmAddEvent::Box(BoxKind kind, const QString& text) {
    services_.dialogs.Message(this, kind, text, BoxCorner());
}

QPoint TfrmAddEvent::BoxCorner() const {
    return frameGeometry().topLeft();
}

}  // namespace ringmere::ui
