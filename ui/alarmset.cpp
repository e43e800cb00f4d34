#include "ui/alarmset.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <QTabWidget>

#include "core/alarmtable.h"
#include "core/clock.h"
#include "core/exception_form.h"
#include "core/script_list.h"
#include "ui/AddEvent.h"
#include "ui/AddException.h"
#include "ui/alarminfo.h"
#include "ui/alarmtime.h"
#include "ui/simpleactions.h"
#include "ui_alarmset.h"
#include "widgets/background_save.h"
#include "widgets/dialogs.h"
#include "widgets/file_text.h"

namespace ringmere::ui {

using widgets::BoxKind;

namespace {

constexpr int kSimplePageCount = 2;  // "Alarm Time" and "Alarm Info." before the actions

QString DayName(DateTime when) {
    static const char* const kNames[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    return QString::fromLatin1(kNames[(DayOfWeek(when) + 6) % 7]);
}

QString NextLine(const std::vector<DateTime>& next) {
    if (next.empty()) return QObject::tr("Next: none. The alarm does not occur again.");
    QStringList parts;
    for (DateTime when : next)
        parts << DayName(when) + QLatin1Char(' ') + QString::fromStdString(FormatDateTime(when));
    return QObject::tr("Next: %1").arg(parts.join(QStringLiteral(", ")));
}

}  // namespace

TfrmAddAlarm::TfrmAddAlarm(Globals& g, const Services& services, AlarmEditRequest request,
                           QWidget* owner)
    : QDialog(owner), g_(g), services_(services), ui_(std::make_unique<Ui::TfrmAddAlarm>()) {
    ui_->setupUi(this);
    BuildPages();
    Load(request);
    ApplyClientMode();
    Connect();
    UpdateNext();
}

TfrmAddAlarm::~TfrmAddAlarm() = default;

void TfrmAddAlarm::BuildPages() {
    for (FormSet set : {FormSet::Simple, FormSet::Scripted}) {
        time_[Index(set)] = new AlarmTimePage(set, g_.Settings, this);
        info_[Index(set)] = new AlarmInfoPage(set, this);
    }
    ui_->pcSimple->addTab(time_[0], QStringLiteral("Alarm Time"));
    ui_->pcSimple->addTab(info_[0], QStringLiteral("Alarm Info."));
    actions_ = std::make_unique<SimpleActionTabs>(g_, services_, this);
    for (const auto& [page, title] : actions_->Pages()) ui_->pcSimple->addTab(page, title);
    ui_->pcScripted->addTab(info_[1], QStringLiteral("Alarm Info."));
    ui_->pcScripted->addTab(time_[1], QStringLiteral("Alarm Time"));
    // OK and Cancel sit at the top, beside the kind of alarm; Tab reaches
    // them after the pages. Tab order only joins controls that take focus.
    QWidget* last = previousInFocusChain();
    while (last != this && last->focusPolicy() == Qt::NoFocus) last = last->previousInFocusChain();
    QWidget::setTabOrder(last, ui_->BitBtn1);
    QWidget::setTabOrder(ui_->BitBtn1, ui_->BitBtn2);
}

// Opening: the first tab of every tab group in front, then the alarm (or a
// new one) in both sets.
void TfrmAddAlarm::Load(const AlarmEditRequest& request) {
    ui_->pcSimple->setCurrentIndex(0);
    ui_->pcScripted->setCurrentIndex(0);
    const DateTime today = DateOf(services_.clock.Now());
    const bool duplicating = request.mode == AlarmEditRequest::Mode::Duplicate;
    const bool editing = request.mode != AlarmEditRequest::Mode::Add;
    if (editing && (request.index < 1 || request.index > g_.AlarmCount)) {
        // Nothing to edit there: compose a new alarm instead.
        Load({});
        return;
    }
    adding_ = !editing;
    index_ = editing ? request.index : g_.AlarmCount + 1;

    bool scripted = false;
    if (editing) {
        base_ = g_.AlarmTable[index_];
        openedName_ = base_.AlName;
        scripted = base_.mtype != kSimpleAlarm;
        const ScheduleForm schedule = LoadScheduleForm(base_.Schedule, today);
        const InfoForm info = LoadInfoForm(base_);
        for (int i = 0; i < 2; ++i) {
            time_[i]->Load(schedule);
            info_[i]->Load(info);
        }
        exceptions_ = base_.Exceptions;
        script_ = scripted ? base_.Events : AlEventList{};
        actions_->Load(LoadActionsForm(base_, g_.Settings));
    } else {
        base_ = AlRec{};
        const ScheduleForm schedule = NewScheduleForm(services_.clock.Now());
        for (int i = 0; i < 2; ++i) {
            time_[i]->Load(schedule);
            info_[i]->Load(InfoForm{});
        }
        exceptions_ = ExList{};
        script_ = AlEventList{};
        actions_->Load(NewActionsForm(g_.Settings));
    }
    for (auto* page : time_) page->InnerTabs()->setCurrentIndex(AlarmTimePage::kStartEnd);
    ChooseKind(scripted);
    (scripted ? ui_->rbScripted : ui_->rbSimple)->setChecked(true);
    FillExceptionLists();
    if (exceptions_.Count == 0)
        for (auto* page : time_) page->EditExceptionButton()->setEnabled(false);
    FillScript(1);

    if (duplicating) {
        adding_ = true;
        index_ = g_.AlarmCount + 1;
        for (auto* page : info_) page->NameField()->clear();
        setWindowTitle(QStringLiteral("Duplicate Alarm"));
    } else if (editing) {
        setWindowTitle(ClientMode() ? QStringLiteral("View Alarm (Client Mode)")
                                    : QStringLiteral("Edit Alarm"));
    } else {
        setWindowTitle(QStringLiteral("Add Alarm"));
    }
}

void TfrmAddAlarm::ApplyClientMode() {
    if (!ClientMode()) return;
    ui_->BitBtn2->hide();
    ui_->rbSimple->setEnabled(false);
    ui_->rbScripted->setEnabled(false);
    for (auto* page : time_) {
        page->SetViewOnly(true);
        page->AddExceptionButton()->setEnabled(false);
        page->DeleteExceptionButton()->setEnabled(false);
        page->EditExceptionButton()->setText(QStringLiteral("View Exception"));
    }
    for (auto* page : info_) page->setEnabled(false);
    actions_->SetClientMode(true);
    for (QPushButton* b : {ui_->Button16, ui_->btnDelete, ui_->btnUp, ui_->btnDown})
        b->setEnabled(false);
    ui_->btnEdit->setText(QStringLiteral("View Event"));
}

void TfrmAddAlarm::Connect() {
    connect(ui_->rbSimple, &QRadioButton::toggled, this, [this](bool on) {
        if (on) ChooseKind(false);
    });
    connect(ui_->rbScripted, &QRadioButton::toggled, this, [this](bool on) {
        if (on) ChooseKind(true);
    });
    connect(ui_->BitBtn1, &QPushButton::clicked, this, &TfrmAddAlarm::BitBtn1Click);
    connect(ui_->BitBtn2, &QPushButton::clicked, this, &TfrmAddAlarm::reject);
    for (FormSet set : {FormSet::Simple, FormSet::Scripted}) {
        AlarmTimePage* page = time_[Index(set)];
        page->beforeInnerTabChange = [this, set] { return RepeatNoteAllows(set); };
        connect(page, &AlarmTimePage::changed, this, &TfrmAddAlarm::UpdateNext);
        QListWidget* list = page->ExceptionList();
        connect(list, &QListWidget::itemClicked, this, [this, page, list](QListWidgetItem* item) {
            exceptionIndex_ = list->row(item) + 1;
            if (!ClientMode()) page->EditExceptionButton()->setEnabled(true);
        });
        // The arrow keys choose a rule as a click does: Edit opens the one shown selected.
        connect(list, &QListWidget::currentRowChanged, this, [this](int row) {
            if (row >= 0) exceptionIndex_ = row + 1;
        });
        connect(list, &QListWidget::itemDoubleClicked, this,
                [this, set, list](QListWidgetItem* item) {
                    exceptionIndex_ = list->row(item) + 1;
                    OpenExceptionEditor(set, false);
                });
        connect(page->AddExceptionButton(), &QPushButton::clicked, this,
                [this, set] { OpenExceptionEditor(set, true); });
        connect(page->EditExceptionButton(), &QPushButton::clicked, this,
                [this, set] { OpenExceptionEditor(set, false); });
        connect(page->DeleteExceptionButton(), &QPushButton::clicked, this,
                [this, set] { DeleteException(set); });
    }
    connect(ui_->Button16, &QPushButton::clicked, this, [this] { OpenStepEditor(true); });
    connect(ui_->btnEdit, &QPushButton::clicked, this, [this] { OpenStepEditor(false); });
    connect(ui_->clEvents, &QListWidget::itemDoubleClicked, this,
            [this] { OpenStepEditor(false); });
    connect(ui_->btnDelete, &QPushButton::clicked, this,
            [this] { FillScript(DeleteStep(script_, SelectedStep())); });
    connect(ui_->btnUp, &QPushButton::clicked, this,
            [this] { FillScript(MoveStepUp(script_, SelectedStep())); });
    connect(ui_->btnDown, &QPushButton::clicked, this,
            [this] { FillScript(MoveStepDown(script_, SelectedStep())); });
    // A click makes the row current before it selects it, the arrow keys
    // do both at once: the buttons follow both, and ask SelectedStep.
    connect(ui_->clEvents, &QListWidget::currentRowChanged, this,
            &TfrmAddAlarm::UpdateScriptButtons);
    connect(ui_->clEvents, &QListWidget::itemSelectionChanged, this,
            &TfrmAddAlarm::UpdateScriptButtons);
}

void TfrmAddAlarm::ChooseKind(bool scripted) {
    ui_->Notebook1->setCurrentWidget(scripted ? ui_->Scripted : ui_->Simple);
}

FormSet TfrmAddAlarm::ChosenSet() const {
    return ui_->rbScripted->isChecked() ? FormSet::Scripted : FormSet::Simple;
}

AlarmForm TfrmAddAlarm::CurrentForm() const {
    const FormSet set = ChosenSet();
    AlarmForm form;
    form.scripted = set == FormSet::Scripted;
    form.schedule = time_[Index(set)]->Form();
    form.info = info_[Index(set)]->Form();
    form.actions = actions_->Form();
    return form;
}

void TfrmAddAlarm::FillExceptionLists() {
    const ExList& rules = exceptions_;
    const bool any = rules.Count > 0;
    for (auto* page : time_) {
        QListWidget* list = page->ExceptionList();
        list->clear();
        for (Integer k = 1; k <= rules.Count; ++k)
            list->addItem(QString::fromStdString(RuleDescription(rules, k)));
        if (any) list->setCurrentRow(0);
        page->EditExceptionButton()->setEnabled(any);
        page->DeleteExceptionButton()->setEnabled(any && !ClientMode());
    }
    if (any) exceptionIndex_ = 1;
}

void TfrmAddAlarm::OpenExceptionEditor(FormSet set, bool adding) {
    if (!adding && (exceptionIndex_ < 1 || exceptionIndex_ > exceptions_.Count)) return;
    if (adding && ClientMode()) return;
    (void)set;
    actions_->StopTests();
    TfrmExceptions editor(g_, services_, {exceptions_, adding ? 0 : exceptionIndex_, adding}, this);
    if (widgets::ExecOverOwner(editor) != QDialog::Accepted || ClientMode()) return;
    PutRule(exceptions_, editor.Request(), editor.Result());
    FillExceptionLists();
    UpdateNext();
}

void TfrmAddAlarm::DeleteException(FormSet set) {
    if (ClientMode()) return;
    QListWidget* list = time_[Index(set)]->ExceptionList();
    const int row = list->currentRow();
    if (row < 0 || !list->currentItem() || !list->currentItem()->isSelected()) return;
    DeleteRule(exceptions_, row + 1);
    FillExceptionLists();
    UpdateNext();
}

// One row per step, nothing else: row k is step k, so Edit and Delete
// always act on the step the user sees selected.
void TfrmAddAlarm::FillScript(Integer select) {
    QListWidget* list = ui_->clEvents;
    const QSignalBlocker quiet(list);
    list->clear();
    for (Integer k = 1; k <= StepCount(script_); ++k)
        list->addItem(widgets::FromFileText(script_.Items[std::size_t(k - 1)].evname));
    if (select >= 1 && select <= list->count()) list->setCurrentRow(select - 1);
    UpdateScriptButtons();
}

Integer TfrmAddAlarm::SelectedStep() const {
    const QListWidgetItem* item = ui_->clEvents->currentItem();
    return item && item->isSelected() ? ui_->clEvents->row(item) + 1 : 0;
}

void TfrmAddAlarm::UpdateScriptButtons() {
    const ScriptButtons b = ScriptButtonStates(script_, SelectedStep(), ClientMode());
    ui_->Button16->setEnabled(b.add);
    ui_->btnEdit->setEnabled(b.edit);
    ui_->btnDelete->setEnabled(b.remove);
    ui_->btnUp->setEnabled(b.up);
    ui_->btnDown->setEnabled(b.down);
}

void TfrmAddAlarm::OpenStepEditor(bool adding) {
    if (adding && ClientMode()) return;
    if (!adding && SelectedStep() == 0) return;
    actions_->StopTests();
    TfrmAddEvent editor(g_, services_, {script_, SelectedStep(), adding}, this);
    if (widgets::ExecOverOwner(editor) != QDialog::Accepted || ClientMode()) return;
    FillScript(PutStep(script_, editor.Request(), editor.Result()));
}

bool TfrmAddAlarm::RepeatNoteAllows(FormSet set) {
    if (!adding_ || g_.RepeatNoteShown) return true;
    if (time_[Index(set)]->Form().end != EndChoice::Individual) return true;
    services_.dialogs.Message(
        this, BoxKind::Information,
        QStringLiteral("Note: To set up a repeating alarm, set the end of alarm on this tab to a "
                       "repeating type of alarm and then click on the repeat tab to select the "
                       "repeat frequency."),
        BoxCorner());
    g_.RepeatNoteShown = true;
    return false;
}

void TfrmAddAlarm::UpdateNext() {
    const DateTime now = services_.clock.Now();
    for (FormSet set : {FormSet::Simple, FormSet::Scripted}) {
        AlarmForm form;
        form.scripted = set == FormSet::Scripted;
        form.schedule = time_[Index(set)]->Form();
        QString text;
        for (const FormProblem& p : CheckAlarmForm(form))
            if (p.stops && p.tab == FormTab::Repeat) text = QStringLiteral("Next: ") + widgets::FromFileText(p.message);
        if (text.isEmpty()) {
            const AlRec alarm = ComposeAlarm(base_, form, exceptions_, {}, true);
            text = NextLine(NextOccurrences(alarm, g_.GlobalExceptions, now, 5));
        }
        time_[Index(set)]->SetNextText(text);
    }
}

void TfrmAddAlarm::ShowTab(FormTab tab) {
    const FormSet set = ChosenSet();
    QTabWidget* tabs = set == FormSet::Simple ? ui_->pcSimple : ui_->pcScripted;
    switch (tab) {
        case FormTab::None:
            return;
        case FormTab::Repeat: {
            AlarmTimePage* page = time_[Index(set)];
            tabs->setCurrentWidget(page);
            // Taking the user to a check's place is no tab change of theirs.
            auto hook = std::exchange(page->beforeInnerTabChange, nullptr);
            page->InnerTabs()->setCurrentIndex(AlarmTimePage::kRepeat);
            page->beforeInnerTabChange = std::move(hook);
            return;
        }
        case FormTab::Info:
            tabs->setCurrentWidget(info_[Index(set)]);
            return;
        case FormTab::MusicalAlarm:
        case FormTab::DialUp:
        case FormTab::FileWeb:
        case FormTab::Ftp:
        case FormTab::FtpRetry: {
            const int page = tab == FormTab::MusicalAlarm ? 0 : tab == FormTab::DialUp ? 1 : 2;
            ui_->pcSimple->setCurrentIndex(kSimplePageCount + page);
            actions_->ShowInnerTab(tab);
            return;
        }
    }
}

void TfrmAddAlarm::BitBtn1Click() {
    if (ClientMode()) {
        reject();
        return;
    }
    const AlarmForm form = CurrentForm();
    const QPoint corner = BoxCorner();
    if (CheckFullExceptions(form.schedule, exceptions_) != 0)
        services_.dialogs.Message(
            this, BoxKind::Warning,
            QStringLiteral("Warning: Alarm exception causes alarm to never occur."), corner);
    for (const FormProblem& p : CheckAlarmForm(form)) {
        services_.dialogs.Message(this, BoxKind::Warning, widgets::FromFileText(p.message),
                                  corner);
        ShowTab(p.tab);
        if (p.stops) return;
    }
    if (!FindEditedAlarm()) return;
    AlRec alarm = ComposeAlarm(base_, form, exceptions_, script_, adding_);
    if (!SettleName(alarm)) return;

    // One assignment: nothing else can see the alarm before it is whole.
    if (adding_) {
        index_ = g_.AlarmCount + 1;
        if (g_.AlarmTable.size() < std::size_t(index_) + 2)
            g_.AlarmTable.resize(std::size_t(index_) + 2);
        g_.AlarmTable[index_] = std::move(alarm);
        g_.AlarmCount += 1;
    } else {
        g_.AlarmTable[index_] = std::move(alarm);
    }
    saved_ = index_;
    // A failed write is told; the table keeps the alarm.
    if (services_.save)
        services_.save->Save(g_, parentWidget() ? parentWidget() : this);
    else
        widgets::SaveAlarmFileTelling(g_, services_.dialogs, this, corner);
    accept();
}

bool TfrmAddAlarm::FindEditedAlarm() {
    if (adding_) {
        index_ = g_.AlarmCount + 1;
        return true;
    }
    const auto named = [this](Integer i) {
        return i >= 1 && i <= g_.AlarmCount && g_.AlarmTable[i].AlName == openedName_;
    };
    Integer found = named(index_) ? index_ : 0;
    for (Integer i = 1; found == 0 && i <= g_.AlarmCount; ++i)
        if (named(i)) found = i;
    if (found != 0) {
        index_ = found;
        // The form's changes go onto the alarm as it now stands.
        base_ = g_.AlarmTable[found];
        return true;
    }
    if (services_.dialogs.Message(
            this, BoxKind::Confirmation,
            QStringLiteral("The alarm \"%1\" was deleted by another program while it was open "
                           "here.\rSave it as a new alarm?")
                .arg(widgets::FromFileText(openedName_)),
            BoxCorner()) != widgets::Answer::Ok)
        return false;
    adding_ = true;
    index_ = g_.AlarmCount + 1;
    return true;
}

bool TfrmAddAlarm::SettleName(AlRec& alarm) {
    const std::string proposal = ProposedName(index_);
    const QString proposed = QString::fromStdString(proposal);
    if (alarm.AlName.empty()) {
        const std::optional<QString> answer = services_.dialogs.InputText(
            this, QStringLiteral("Please enter a name for the alarm:"),
            QStringLiteral("Alarm name:"), proposed);
        alarm.AlName = answer ? widgets::ToFileText(*answer) : proposal;
    }
    while (NameTaken(g_, alarm.AlName, index_)) {
        const std::optional<QString> answer = services_.dialogs.InputText(
            this, QStringLiteral("Please enter a new name"),
            QStringLiteral("Alarm name is already being used by another alarm."), proposed);
        if (answer) {
            alarm.AlName = widgets::ToFileText(*answer);
            continue;
        }
        // Cancelled while the proposal is taken too: back to the editor
        // rather than asking for ever.
        if (NameTaken(g_, proposal, index_)) return false;
        alarm.AlName = proposal;
    }
    return true;
}

void TfrmAddAlarm::showEvent(QShowEvent* event) {
    if (!placed_ && parentWidget()) {
        placed_ = true;
        move(widgets::PlaceOver(parentWidget()->window(), frameGeometry().size(), true));
    }
    QDialog::showEvent(event);
}

void TfrmAddAlarm::done(int result) {
    actions_->StopTests();
    QDialog::done(result);
}

QPoint TfrmAddAlarm::BoxCorner() const {
    return frameGeometry().topLeft();
}

bool TfrmAddAlarm::ClientMode() const {
    return IsClientMode(g_);
}

std::optional<Integer> OpenAlarmEditor(Globals& g, const Services& services,
                                       AlarmEditRequest request, QWidget* owner) {
    TfrmAddAlarm editor(g, services, request, owner);
    if (widgets::ExecOverOwner(editor) != QDialog::Accepted) return std::nullopt;
    return editor.Saved();
}

}  // namespace ringmere::ui
