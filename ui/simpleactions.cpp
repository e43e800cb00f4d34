#include "ui/simpleactions.h"

#include <QCheckBox>
#include <QEvent>
#include <QRadioButton>
#include <QTabWidget>

#include "ui_simpleactions.h"
#include "widgets/dialogs.h"

namespace ringmere::ui {

using widgets::BoxKind;
using UiForm = Ui::SimpleActionTabs;

namespace {

// The ticks only these tabs have, beside their pages' forms.
struct Tick {
    QCheckBox* UiForm::*box;
    bool ActionsForm::*value;
};
const Tick kTicks[] = {
    {&UiForm::chkEnableFTP, &ActionsForm::ftpenabled},
    {&UiForm::chkSendMessage, &ActionsForm::sendmessage},
    {&UiForm::cbSynchTime1, &ActionsForm::dosynch},
};

}  // namespace

SimpleActionTabs::SimpleActionTabs(Globals& g, const Services& services, QWidget* editor)
    : QObject(editor),
      services_(services),
      editor_(editor),
      holder_(std::make_unique<QWidget>()),
      ui_(std::make_unique<UiForm>()) {
    ui_->setupUi(holder_.get());
    auto* u = ui_.get();

    const PageContext context{
        services, holder_.get(), editor_, [this](BoxKind kind, const QString& text) {
            if (editor_)
                services_.dialogs.Message(editor_, kind, text,
                                          editor_->window()->frameGeometry().topLeft());
            else
                services_.dialogs.Message(nullptr, kind, text);
        }};
    actions_ = std::make_unique<ActionPages>(context, g);
    // Choosing CD shows the stored drive again.
    connect(u->rbCD, &QRadioButton::toggled, this, [this](bool on) {
        if (on) actions_->sound.SelectStoredDrive();
    });

    // The editor shows the pages in its own tab control; until it takes them
    // they stay with the hidden holder.
    while (u->tabPages->count() > 0) {
        QWidget* page = u->tabPages->widget(0);
        pages_.append({page, u->tabPages->tabText(0)});
        u->tabPages->removeTab(0);
        page->setParent(holder_.get());
        page->installEventFilter(this);
        connect(page, &QObject::destroyed, this, [this] {
            actions_->sound.ControlsGone();
            actions_->synch.ControlsGone();
        });
    }
    actions_->ApplyRules();
}

// The pages may be gone already: the players stop their sounds themselves.
SimpleActionTabs::~SimpleActionTabs() = default;

QList<QPair<QWidget*, QString>> SimpleActionTabs::Pages() const {
    return pages_;
}

void SimpleActionTabs::Load(const ActionsForm& form) {
    loaded_ = form;
    actions_->Load(form, form.dial);
    for (const Tick& t : kTicks) (ui_.get()->*t.box)->setChecked(form.*t.value);
    actions_->ApplyRules();
}

ActionsForm SimpleActionTabs::Form() const {
    ActionsForm form = loaded_;
    actions_->Store(form);
    form.dial = actions_->dial.Choice();
    for (const Tick& t : kTicks) form.*t.value = (ui_.get()->*t.box)->isChecked();
    return form;
}

void SimpleActionTabs::SetClientMode(bool client) {
    auto* u = ui_.get();
    for (QWidget* w : {u->tsMusical, u->tsDialUp, u->tsFileLaunching, u->tsInternet,
                       u->tsConfiguration, u->tsMessage})
        w->setEnabled(!client);
}

void SimpleActionTabs::ShowInnerTab(FormTab tab) {
    auto* u = ui_.get();
    switch (tab) {
        case FormTab::FtpRetry:
            actions_->ftp.ShowRetryTab();
            [[fallthrough]];
        case FormTab::Ftp:
            u->pcFileWeb->setCurrentWidget(u->tsFTP);
            break;
        case FormTab::FileWeb:
            u->pcFileWeb->setCurrentWidget(u->tsFileOps);
            break;
        default:
            break;
    }
}

void SimpleActionTabs::StopTests() {
    actions_->StopTests();
}

bool SimpleActionTabs::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Show) {
        if (watched == ui_->tsDialUp) actions_->dial.FillList();
        if (watched == ui_->tsTimeSynch) actions_->synch.StartClock();
    } else if (event->type() == QEvent::Hide && watched == ui_->tsTimeSynch) {
        actions_->synch.StopClock();
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace ringmere::ui
