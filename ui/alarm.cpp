#include "ui/alarm.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QStatusBar>
#include <QVBoxLayout>
#include <QScreen>
#include <QStyledItemDelegate>
#include <QSystemTrayIcon>
#include <QTableView>
#include <QToolTip>
#include <QUrl>
#include <algorithm>
#include <cmath>

#include "core/actionstrip.h"
#include "core/alarmfile.h"
#include "core/alarmtable.h"
#include "core/placement.h"
#include "core/schedule.h"
#include "core/settings.h"
#include "run/activealarm.h"
#include "run/daytime.h"
#include "ui/alarm_keys.h"
#include "ui/alarm_list_model.h"
#include "ui/gexcept.h"
#include "ui/schedule_model.h"
#include "ui/timesync_page.h"
#include "ui_alarm.h"
#include "widgets/dialogs.h"
#include "widgets/file_text.h"
#include "widgets/themed_icon.h"
#include "widgets/window_count.h"

namespace ringmere::ui {

using widgets::Answer;
using widgets::BoxKind;
using widgets::ChangeVisibleWindowCount;
using widgets::FromFileText;

namespace {

constexpr int kIconSpacing = 20;

// Draws the action strip: one 20-pixel icon per action from x = 0.
class StripDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyledItemDelegate::paint(painter, option, index);
        const QStringList icons = index.data(AlarmListModel::kStripRole).toStringList();
        const int size = qMin(16, option.rect.height() - 2);
        int x = option.rect.left();
        const QIcon::Mode mode =
            option.state & QStyle::State_Selected ? QIcon::Selected : QIcon::Normal;
        for (const QString& name : icons) {
            auto icon = icons_.find(name);
            if (icon == icons_.end())
                icon = icons_.insert(name,
                                     widgets::ThemedIcon(QStringLiteral(":/icons/%1.svg").arg(name),
                                                         QPalette::Text));
            icon->paint(
                painter,
                QRect(x + 2, option.rect.top() + (option.rect.height() - size) / 2, size, size),
                Qt::AlignCenter, mode);
            x += kIconSpacing;
        }
    }

private:
    mutable QHash<QString, QIcon> icons_;
};

}  // namespace

}  // namespace ringmere::ui

// Resources of a static library are registered by hand.
static void InitUiResources() {
    Q_INIT_RESOURCE(icons);
}

namespace ringmere::ui {

TfrmAlMain::TfrmAlMain(Globals& g, const Services& services, MainWindowHooks hooks, QWidget* parent)
    : QMainWindow(parent),
      ui_(std::make_unique<Ui::TfrmAlMain>()),
      g_(g),
      services_(services),
      clock_(services.clock),
      hooks_(std::move(hooks)) {
    InitUiResources();
    ui_->setupUi(this);
    SetUpViews();
    SetUpOverlays();
    SetUpMenus();
    ConnectCommands();
    SetUpKeyboard(*this, *ui_, g_);
    SetUpCheckTimer();
    checkLoop_.SetLateLimit(ReadLateLimit(services_.settings));
    checkLoop_.Begin(clock_.Now(), ReadLastCheck(services_.settings));
    FillAndStart();
    SetUpTimeSync();
}

// The side bar and the column widths of the two lists.
void TfrmAlMain::SetUpViews() {
    // Icon mode resets the flow: one column of large icons, as a side bar.
    ui_->dxSideBar1->setFlow(QListView::TopToBottom);
    ui_->dxSideBar1->setWrapping(false);
    ui_->dxSideBar1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Few colours: the side bar goes without its gradient.
    bool gradient = true;
    if (const QScreen* screen = QGuiApplication::primaryScreen(); screen && screen->depth() <= 8) {
        ui_->dxSideBar1->setStyleSheet(QString());
        gradient = false;
    }
    SetUpIcons(gradient);

    auto* alarms = ui_->grAlarms;
    alarmList_ = new AlarmListModel(g_, this);
    alarms->setModel(alarmList_);
    alarms->setItemDelegateForColumn(3, new StripDelegate(alarms));
    alarms->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    alarms->setColumnWidth(0, 24);
    alarms->setColumnWidth(1, 24);
    alarms->setColumnWidth(2, 180);
    alarms->viewport()->installEventFilter(this);
    alarms->verticalHeader()->setDefaultSectionSize(22);
    schedule_ = new ScheduleModel(this);
    ui_->grEvents->setModel(schedule_);
    ui_->grEvents->verticalHeader()->setDefaultSectionSize(20);
    ui_->grEvents->setColumnWidth(0, 32);
    ui_->grEvents->setColumnWidth(1, 170);
}

// Icons in the palette's text colour; over the gradient, in the side bar's white.
void TfrmAlMain::SetUpIcons(bool sideBarGradient) {
    const QString sideBar[] = {QStringLiteral(":/icons/schedule.svg"),
                               QStringLiteral(":/icons/events.svg"),
                               QStringLiteral(":/icons/timesync.svg")};
    for (int i = 0; i < ui_->dxSideBar1->count() && i < 3; ++i)
        ui_->dxSideBar1->item(i)->setIcon(sideBarGradient
                                              ? widgets::ThemedIcon(sideBar[i], QColor(Qt::white))
                                              : widgets::ThemedIcon(sideBar[i], QPalette::Text));
    const std::pair<QAction*, const char*> toolbar[] = {{ui_->dxAddAlarm2, ":/icons/add.svg"},
                                                        {ui_->dxEditAlarm, ":/icons/edit.svg"},
                                                        {ui_->dxDeleteAlarm, ":/icons/delete.svg"},
                                                        {ui_->dxTestAlarm, ":/icons/test.svg"}};
    for (const auto& [action, path] : toolbar)
        action->setIcon(widgets::ThemedIcon(QString::fromLatin1(path), QPalette::ButtonText));
}

// The notes over both lists while there are no alarms.
void TfrmAlMain::SetUpOverlays() {
    const QString overlayText =
        QStringLiteral("Please click on the Add Alarm button to begin creating alarms.");
    pnNoAlarms_ = new QLabel(overlayText, ui_->grAlarms);
    pnNoAlarms_->setObjectName(QStringLiteral("pnNoAlarms"));
    pnNoAlarms2_ = new QLabel(overlayText, ui_->grEvents);
    pnNoAlarms2_->setObjectName(QStringLiteral("pnNoAlarms2"));
    for (QLabel* overlay : {pnNoAlarms_, pnNoAlarms2_}) {
        overlay->setAlignment(Qt::AlignCenter);
        overlay->setWordWrap(true);
        overlay->setAutoFillBackground(true);
        overlay->setStyleSheet(QStringLiteral("background: palette(base); color: palette(link);"));
    }
}

// A client cannot add alarms: its hints say where they come from instead.
void TfrmAlMain::ShowModeHints(bool client) {
    ui_->lblScheduleText->setText(
        client ? QStringLiteral("The alarms below come from the shared alarm file and are changed "
                                "on the server. Click on View Alarm to see one.")
               : QStringLiteral("Click on the Add Alarm button to add alarms or edit the alarms "
                                "in the list below."));
    const QString none =
        client ? QStringLiteral(
                     "There are no shared alarms yet. File > Reload Now reads the "
                     "shared alarm file again.")
               : QStringLiteral("Please click on the Add Alarm button to begin creating alarms.");
    pnNoAlarms_->setText(none);
    pnNoAlarms2_->setText(none);
}

// The alarm list's context menu and the tray icon's menu.
void TfrmAlMain::SetUpMenus() {
    popupMenu2_ = new QMenu(this);
    popupMenu2_->setObjectName(QStringLiteral("PopupMenu2"));
    popupMenu2_->addActions({ui_->popEdit, ui_->popTest, ui_->popDelete, ui_->DuplicateAlarm1});
    popupMenu1_ = new QMenu(this);
    popupMenu1_->setObjectName(QStringLiteral("PopupMenu1"));
    popupMenu1_->addActions({ui_->Details1, ui_->Exit1});
}

// Every command of the menus, the toolbar, the side bar and the alarm list.
void TfrmAlMain::ConnectCommands() {
    using Mode = AlarmEditRequest::Mode;
    connect(ui_->dxAddAlarm2, &QAction::triggered, this, [this] { OpenEditor(Mode::Add); });
    connect(ui_->dxEditAlarm, &QAction::triggered, this, [this] { OpenEditor(Mode::Edit); });
    connect(ui_->popEdit, &QAction::triggered, this, [this] { OpenEditor(Mode::Edit); });
    connect(ui_->DuplicateAlarm1, &QAction::triggered, this,
            [this] { OpenEditor(Mode::Duplicate); });
    connect(ui_->dxDeleteAlarm, &QAction::triggered, this, &TfrmAlMain::DeleteSelectedAlarm);
    connect(ui_->popDelete, &QAction::triggered, this, &TfrmAlMain::DeleteSelectedAlarm);
    connect(ui_->dxTestAlarm, &QAction::triggered, this, &TfrmAlMain::TestSelectedAlarm);
    connect(ui_->popTest, &QAction::triggered, this, &TfrmAlMain::TestSelectedAlarm);
    connect(ui_->HideWindow1, &QAction::triggered, this, &QWidget::close);
    connect(ui_->ViewLogFile1, &QAction::triggered, this, &TfrmAlMain::ViewLogFile);
    connect(ui_->Contents1, &QAction::triggered, this, &TfrmAlMain::HelpContents);
    connect(ui_->Details1, &QAction::triggered, this, &TfrmAlMain::ShowMainWindow);
    connect(ui_->Exit1, &QAction::triggered, this, &TfrmAlMain::ExitProgram);
    connect(ui_->About1, &QAction::triggered, this, [this] {
        services_.dialogs.Message(this, BoxKind::Information,
                                  QStringLiteral("Ringmere %1\nA desktop alarm and task scheduler.")
                                      .arg(QString::fromStdString(g_.VersionText)));
    });
    const auto openPage = [this](const char* page) {
        OpenWithDesktop(HelpPage(QString::fromLatin1(page)));
    };
    connect(ui_->FeatureRequests1, &QAction::triggered, this, [=] { openPage("support.html"); });
    connect(ui_->OnlineForums1, &QAction::triggered, this, [=] { openPage("forums.html"); });
    connect(ui_->HomePage1, &QAction::triggered, this, [=] { openPage("home.html"); });
    connect(ui_->GlobalExceptions1, &QAction::triggered, this, &TfrmAlMain::OpenGlobalExceptions);
    for (auto [item, open] : {std::pair{ui_->AdditionalOptions1, &hooks_.openAdditionalOptions},
                              std::pair{ui_->emailSettings1, &hooks_.openEmailSettings}}) {
        connect(item, &QAction::triggered, this, [this, open] {
            if (*open) (*open)(this);
        });
    }
    // The operating modes live in net/, reached through the hook.
    connect(ui_->NetworkConfiguration1, &QAction::triggered, this, [this] {
        if (hooks_.openNetConfig && hooks_.openNetConfig(this)) Refill();
    });
    connect(ui_->ReloadNow1, &QAction::triggered, this, [this] {
        if (hooks_.reloadNow && ClientMode()) hooks_.reloadNow();
    });
    if (services_.clockSetter)
        connect(services_.clockSetter, &run::ClockSetter::clockSet, this,
                &TfrmAlMain::RebuildSchedule);

    auto* alarms = ui_->grAlarms;
    connect(ui_->dxSideBar1, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { ShowPage(ui_->dxSideBar1->row(item)); });
    connect(alarmList_, &AlarmListModel::EnabledToggled, this, &TfrmAlMain::SetAlarmEnabled);
    connect(alarms->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TfrmAlMain::UpdateCommands);
    // Only a row under the pointer: never an empty list or a stale selection.
    connect(alarms, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        const int row = index.row();
        if (row + 1 >= 1 && row + 1 <= g_.AlarmCount && ui_->dxEditAlarm->isEnabled())
            OpenEditor(Mode::Edit, row + 1);
    });
    connect(alarms, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        const int row = ui_->grAlarms->rowAt(pos.y());
        if (row < 0 || row + 1 > g_.AlarmCount) return;
        ui_->grAlarms->selectRow(row);
        QApplication::processEvents();
        popupMenu2_->popup(ui_->grAlarms->viewport()->mapToGlobal(pos));
    });
}

void TfrmAlMain::SetUpCheckTimer() {
    alarmCheck_.setObjectName(QStringLiteral("AlarmCheck"));
    alarmCheck_.setInterval(1000);
    alarmCheck_.setTimerType(Qt::PreciseTimer);
    connect(&alarmCheck_, &QTimer::timeout, this, &TfrmAlMain::CheckAlarms);
}

// Placement, the lists and the schedule table, the tray icon, then the check.
void TfrmAlMain::FillAndStart() {
    ApplyPlacement();
    Refill();
    ShowPage(0);
    SetUpTray();
    StartAlarmCheck();
}

TfrmAlMain::~TfrmAlMain() {
    if (tray_) tray_->hide();
    StopWakeThread();
}

void TfrmAlMain::StopWakeThread() {
    if (!wakeRunning_) return;
    if (hooks_.stopWakeThread) hooks_.stopWakeThread();
    wakeRunning_ = false;
}

void TfrmAlMain::PowerEvent(int code) {
    // Whether or not the computer is woken, the gap ahead is sleep.
    if (code == kPowerSuspend) checkLoop_.NoteSleep();
    if (!g_.Settings.allowWake) return;
    switch (code) {
        case kPowerSuspend: {
            if (g_.ScheduleCount < 1) return;
            StopWakeThread();
            // Running before the hook: a thread that could not set its timer
            // ends inside the hook (WakeThreadEnded), and that must stand.
            wakeRunning_ = true;
            if (!hooks_.startWakeThread || !hooks_.startWakeThread(g_.ScheduleTable[1].When)) {
                wakeRunning_ = false;
                // After the handler: the system waits for it before it sleeps.
                QTimer::singleShot(0, this, [this] {
                    services_.dialogs.Message(this, BoxKind::Error,
                                              QStringLiteral("Error creating thread."));
                });
            }
            return;
        }
        case kPowerSuspendFailed:
        case kPowerStandbyFailed:
        case kPowerCriticalResume:
        case kPowerResumeSuspend:
        case kPowerResumeStandby:
            StopWakeThread();
            return;
        default:
            return;
    }
}

bool TfrmAlMain::ClientMode() const {
    return IsClientMode(g_);
}

QPoint TfrmAlMain::BoxCorner() const {
    return frameGeometry().topLeft();
}

void TfrmAlMain::SetUpTray() {
    const bool available =
        hooks_.trayAvailable ? hooks_.trayAvailable() : QSystemTrayIcon::isSystemTrayAvailable();
    if (!available) {
        // Nothing else would offer to end the program.
        ui_->File1->addAction(ui_->Exit1);
        return;
    }
    tray_ = new QSystemTrayIcon(QIcon(QStringLiteral(":/icons/ringmere.svg")), this);
    tray_->setObjectName(QStringLiteral("IconTray"));
    tray_->setToolTip(QStringLiteral("Ringmere"));
    tray_->setContextMenu(popupMenu1_);
    // Desktops that deliver only a single activation for a tray click get
    // the window on that, as others do on a double click.
    connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
        if (r == QSystemTrayIcon::DoubleClick || r == QSystemTrayIcon::Trigger) ShowMainWindow();
    });
    tray_->show();
}

void TfrmAlMain::ApplyPlacement() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QSize area = screen ? screen->size() : QSize(1024, 768);
    const SettingsRec& s = g_.Settings;
    const MainPlacement p =
        PlaceMainWindow(s.Status, s.Left, s.Top, s.Width, s.Height, area.width(), area.height());
    if (p.maximized) {
        setWindowState(Qt::WindowMaximized);
        return;
    }
    // The frameless rectangle, as SavePlacement keeps it: move() would place
    // the frame there, and the window would creep by the frame at every start.
    setGeometry(p.rect.left, p.rect.top, p.rect.width, p.rect.height);
}

void TfrmAlMain::LoadList() {
    const bool client = ClientMode();
    setWindowTitle(client ? QStringLiteral("Ringmere (Client Mode)") : QStringLiteral("Ringmere"));
    const QString editCaption =
        client ? QStringLiteral("View Alarm") : QStringLiteral("Edit Alarm");
    ui_->dxEditAlarm->setText(editCaption);
    ui_->dxEditAlarm->setToolTip(editCaption);
    ui_->popEdit->setText(editCaption);
    ShowModeHints(client);

    // A selection would now name another alarm.
    ui_->grAlarms->clearSelection();
    alarmList_->Refill();
    if (g_.AlarmCount <= 0) {
        pnNoAlarms_->show();
        pnNoAlarms2_->show();
        UpdateCommands();
        PlaceOverlays();
        return;
    }
    pnNoAlarms_->hide();
    pnNoAlarms2_->hide();
    UpdateCommands();
}

bool TfrmAlMain::Damaged(int row) const {
    return g_.FirstDamagedAlarm > 0 && row >= g_.FirstDamagedAlarm;
}

// One rule for every command: it is enabled only when it would act. The
// toolbar and the keys act on the alarm list's page only (the context menu
// opens only over the list); a command on an alarm needs one selected that it
// can act on (a damaged one can only be deleted), and a client changes nothing.
void TfrmAlMain::UpdateCommands() {
    const bool client = ClientMode();
    const bool editor = static_cast<bool>(hooks_.openEditor);
    const bool listShown = page_ == 0;
    const int row = listShown ? SelectedRow() : 0;
    const bool selected = row >= 1;
    const bool intact = selected && !Damaged(row);
    const bool canEdit = editor && intact;
    const bool canDelete = selected && !client;
    ui_->dxAddAlarm2->setEnabled(listShown && editor && !client);
    ui_->dxEditAlarm->setEnabled(canEdit);
    ui_->popEdit->setEnabled(canEdit);
    ui_->DuplicateAlarm1->setEnabled(canEdit && !client);
    ui_->dxDeleteAlarm->setEnabled(canDelete);
    ui_->popDelete->setEnabled(canDelete);
    ui_->dxTestAlarm->setEnabled(intact);
    ui_->popTest->setEnabled(intact);
    ui_->AdditionalOptions1->setEnabled(static_cast<bool>(hooks_.openAdditionalOptions));
    ui_->emailSettings1->setEnabled(static_cast<bool>(hooks_.openEmailSettings));
    ui_->NetworkConfiguration1->setEnabled(static_cast<bool>(hooks_.openNetConfig));
    ui_->ReloadNow1->setEnabled(client && hooks_.reloadNow);
}

void TfrmAlMain::Refill() {
    LoadList();
    RebuildSchedule();
}

void TfrmAlMain::RebuildSchedule() {
    checkLoop_.AlarmsChanged(g_);
    // From the first moment not yet checked: an alarm due since the last
    // check is still started by the next one.
    checkLoop_.Rebuild(g_);
    LoadScheduleView();
}

void TfrmAlMain::LoadScheduleView() {
    schedule_->Refill(ScheduleViewRows(g_));
    if (schedule_->rowCount() > 0) ui_->grEvents->selectRow(0);
}

void TfrmAlMain::CheckAlarms() {
    alarmCheck_.stop();
    checkLoop_.SetLateLimit(ReadLateLimit(services_.settings));
    const CheckOutcome outcome = checkLoop_.Check(g_, clock_.Now());
    TellLateAndMissed(outcome);
    // Read before any run starts: a run lets events through, and a run that
    // sets the clock rebuilds the table under this loop.
    for (const DueRun& run : outcome.Start)
        OpenRun(run.AlarmIndex,
                run.LateSeconds >= kOnTimeSeconds
                    ? QStringLiteral("Late by ") + QString::fromStdString(LatenessText(run.LateSeconds))
                    : QString());
    if (outcome.Rebuild) {
        checkLoop_.Rebuild(g_);
        LoadScheduleView();
    }
    KeepLastCheck(false);
    if (!sessionEnding_) StartAlarmCheck();
}

void TfrmAlMain::TellLateAndMissed(const CheckOutcome& outcome) {
    SilentReporter quiet;
    const auto log = [&](const std::string& line) { services_.log.Append(line, quiet); };
    if (outcome.SetBackFrom)
        log(outcome.SetBackTooFar
                ? "Clock set back by more than a day from " + MissedMomentText(*outcome.SetBackFrom) +
                      ": alarms run again from the new time."
                : "Clock set back from " + MissedMomentText(*outcome.SetBackFrom) +
                      ": alarms that already ran until then do not run again.");
    for (const DueRun& run : outcome.Late) log(LateLine(run));
    if (outcome.Missed.empty()) return;
    QStringList lines;
    for (const MissedAlarm& m : outcome.Missed) {
        log(MissedLine(m));
        lines << FromFileText(MissedLine(m));
    }
    unseenMissed_ << lines;
    const QString notice =
        QString::fromStdString(MissedNotice(outcome.Missed.size(), outcome.Cause));
    if (!missedNotice_) {
        missedNotice_ = new QPushButton(this);
        missedNotice_->setObjectName(QStringLiteral("btnMissedAlarms"));
        missedNotice_->setFlat(true);
        missedNotice_->setToolTip(QStringLiteral("Show the missed alarms"));
        connect(missedNotice_, &QPushButton::clicked, this, &TfrmAlMain::ShowMissedAlarms);
        ui_->StatusBar1->addPermanentWidget(missedNotice_);
    }
    missedNotice_->setText(notice);
    missedNotice_->show();
    if (tray_) tray_->showMessage(QStringLiteral("Ringmere"), notice);
}

void TfrmAlMain::ShowMissedAlarms() {
    if (unseenMissed_.isEmpty()) return;
    auto* list = new QDialog(this);
    list->setObjectName(QStringLiteral("frmMissedAlarms"));
    list->setAttribute(Qt::WA_DeleteOnClose);
    list->setWindowTitle(QStringLiteral("Missed Alarms"));
    auto* layout = new QVBoxLayout(list);
    auto* lines = new QListWidget(list);
    lines->setObjectName(QStringLiteral("lstMissed"));
    lines->addItems(unseenMissed_);
    layout->addWidget(lines);
    auto* close = new QPushButton(QStringLiteral("Close"), list);
    connect(close, &QPushButton::clicked, list, &QDialog::close);
    layout->addWidget(close, 0, Qt::AlignRight);
    list->resize(420, 240);
    // Shown once: what was looked at leaves the status bar.
    unseenMissed_.clear();
    if (missedNotice_) missedNotice_->hide();
    list->show();
}

void TfrmAlMain::KeepLastCheck(bool now) {
    const Moment handled = checkLoop_.Handled();
    const Moment minute = FloorDiv(handled, 60);
    if (!now && minute == keptMinute_) return;
    keptMinute_ = minute;
    std::string error;
    if (!SaveLastCheck(services_.settings, FromMoment(handled), error))
        SetStatusText(QStringLiteral("The last check could not be kept: ") +
                      FromFileText(error));
}

// Once a second, just after the second turns: entries fall on whole seconds,
// so an alarm starts within a few tens of milliseconds of its time instead
// of anywhere in the following second as the tick drifts.
void TfrmAlMain::StartAlarmCheck() {
    const int msIntoSecond =
        static_cast<int>(std::fmod(clock_.Now() * kSecondsPerDay * 1000.0, 1000.0));
    alarmCheck_.start(std::clamp(1000 - msIntoSecond + 20, 20, 1020));
}

void TfrmAlMain::ActivateAlarm(int slot) {
    OpenRun(g_.ScheduleTable[slot].AlarmIndex);
}

void TfrmAlMain::OpenRun(int index, const QString& lateNote) {
    if (index < 1 || index > g_.AlarmCount) return;
    const QString title =
        QStringLiteral("Alarm, %1, Activated.").arg(FromFileText(g_.AlarmTable[index].AlName));
    if (hooks_.openRunWindow)
        hooks_.openRunWindow(index, title);
    else
        run::OpenRunWindow(g_, index, services_, title, lateNote);
    QApplication::processEvents();
}

int TfrmAlMain::SelectedRow() const {
    const QModelIndexList rows = ui_->grAlarms->selectionModel()->selectedRows();
    if (rows.isEmpty()) return 0;
    const int row = rows.first().row() + 1;
    return row <= g_.AlarmCount ? row : 0;
}

void TfrmAlMain::TestSelectedAlarm() {
    const int row = SelectedRow();
    if (row < 1 || Damaged(row)) return;
    OpenRun(row);
}

void TfrmAlMain::DeleteSelectedAlarm() {
    const int row = SelectedRow();
    if (row < 1 || ClientMode()) return;
    const QString name = Damaged(row) ? QString::fromLatin1(AlarmListModel::kDamagedName)
                                      : FromFileText(g_.AlarmTable[row].AlName);
    if (services_.dialogs.Message(
            this, BoxKind::Confirmation,
            QStringLiteral("Are you sure you want to delete the alarm \"%1\"?").arg(name),
            BoxCorner()) != Answer::Ok)
        return;
    const AlRec removed = g_.AlarmTable[row];
    const Integer firstDamaged = g_.FirstDamagedAlarm;
    if (!DeleteAlarm(g_, row)) return;
    if (!SaveAlarms()) {
        // The file still holds the alarm (writes are atomic): so does the table.
        g_.AlarmTable.insert(g_.AlarmTable.begin() + row, removed);
        ++g_.AlarmCount;
        g_.AlarmTable.resize(std::size_t(g_.AlarmCount) + 2);
        g_.FirstDamagedAlarm = firstDamaged;
    }
    Refill();
}

// The box shows what the table holds: refused or not saved, the old state.
void TfrmAlMain::SetAlarmEnabled(int row, bool enabled) {
    if (row < 1 || row > g_.AlarmCount || Damaged(row)) return;
    if (ClientMode()) {
        services_.dialogs.Message(
            this, BoxKind::Warning,
            QStringLiteral("Running in client mode. Alarms can only be enabled/disabled by server"),
            BoxCorner());
        alarmList_->AlarmChanged(row);
        return;
    }
    g_.AlarmTable[row].enabled = enabled;
    if (!SaveAlarms()) {
        // The file kept the old state: so does the table.
        g_.AlarmTable[row].enabled = !enabled;
        alarmList_->AlarmChanged(row);
        return;
    }
    alarmList_->AlarmChanged(row);
    RebuildSchedule();
}

bool TfrmAlMain::SaveAlarms() {
    return widgets::SaveAlarmFileTelling(g_, services_.dialogs, this, BoxCorner());
}

void TfrmAlMain::ShowPage(int item) {
    if (item < 0 || item > 2) return;
    page_ = item;
    ui_->dxSideBar1->setCurrentRow(item);
    ui_->Notebook11->setCurrentIndex(item);
    UpdateCommands();
}

void TfrmAlMain::OpenEditor(AlarmEditRequest::Mode mode, int row) {
    using Mode = AlarmEditRequest::Mode;
    if (!hooks_.openEditor) return;
    if (mode != Mode::Edit && ClientMode()) return;
    if (mode == Mode::Add) {
        row = 0;
    } else {
        if (row == 0) row = SelectedRow();
        if (row < 1 || row > g_.AlarmCount || Damaged(row)) return;
    }
    const std::optional<Integer> saved = hooks_.openEditor(this, {mode, row});
    if (!saved) return;
    Refill();
    if (*saved >= 1 && *saved <= g_.AlarmCount) ui_->grAlarms->selectRow(int(*saved) - 1);
}

// Modal without waiting in a nested loop; in client mode a viewer.
void TfrmAlMain::OpenGlobalExceptions() {
    if (globalExceptions_) {
        globalExceptions_->raise();
        return;
    }
    globalExceptions_ = new Tfrmgexcept(g_, services_, this);
    globalExceptions_->setAttribute(Qt::WA_DeleteOnClose);
    connect(globalExceptions_, &QDialog::finished, this, [this](int result) {
        if (result == QDialog::Accepted) Refill();
    });
    widgets::ShowOverOwner(*globalExceptions_);
}

void TfrmAlMain::ViewLogFile() {
    const QString path = QString::fromStdString(g_.ProgramDir) + QStringLiteral("allog.txt");
    if (QFileInfo::exists(path)) {
        OpenWithDesktop(path);
        return;
    }
    services_.dialogs.Message(
        this, BoxKind::Warning,
        QStringLiteral("Logging not enabled.\rTo enable logging, click on Options and "
                       "select Additional Options.\rThen, check the Enable Logging "
                       "checkbox and click the OK button"),
        BoxCorner());
}

QString HelpPage(const QString& page) {
    // Beside the program (the build copies docs/help there), or installed.
    const QString dir = QCoreApplication::applicationDirPath();
    const QStringList candidates = {dir + QStringLiteral("/help/"),
                                    dir + QStringLiteral("/../share/ringmere/help/")};
    for (const QString& c : candidates)
        if (QFileInfo::exists(c + page)) return QFileInfo(c + page).absoluteFilePath();
    return candidates.front() + page;
}

void TfrmAlMain::HelpContents() {
    const QString help = HelpPage(QStringLiteral("index.html"));
    if (!QFileInfo::exists(help)) {
        services_.dialogs.Message(this, BoxKind::Warning,
                                  QStringLiteral("Unable to find help file: ") + help, BoxCorner());
        return;
    }
    OpenWithDesktop(help);
}

void TfrmAlMain::OpenWithDesktop(const QString& path) {
    // The desktop's handler may give up only after the call (xdg-open finds
    // no browser): the box comes then, unless the window has gone.
    services_.desktop.OpenUrl(QUrl::fromLocalFile(path),
                              [w = QPointer<TfrmAlMain>(this), path](const QString& why) {
                                  if (!w) return;
                                  w->services_.dialogs.Message(
                                      w, BoxKind::Warning,
                                      QStringLiteral("Could not open ") + path +
                                          QStringLiteral(": ") + why,
                                      w->BoxCorner());
                              });
}

void TfrmAlMain::ShowMainWindow() {
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
    ChangeVisibleWindowCount(1);
}

void TfrmAlMain::FirstShowing() {
    if (!g_.NoAlarmFile) return;
    g_.NoAlarmFile = false;
    if (!hooks_.runStartupWizard) return;
    hooks_.runStartupWizard(this);
    widgets::MessageBoxReporter boxes(services_.dialogs, this);
    ReadAlarmFile(g_, {.followClient = true}, boxes, services_.downloader);
    Refill();
}

void TfrmAlMain::SessionEnding() {
    sessionEnding_ = true;
    alarmCheck_.stop();
    KeepLastCheck(true);
}

void TfrmAlMain::SavePlacement(bool fromExit) {
    SettingsRec& s = g_.Settings;
    if (fromExit || windowState() == Qt::WindowNoState) {
        if (!fromExit) s.Status = 0;
        const QRect r = normalGeometry().isValid() ? normalGeometry() : geometry();
        s.Left = r.left();
        s.Top = r.top();
        s.Width = r.width();
        s.Height = r.height();
    } else if (windowState() & Qt::WindowMaximized) {
        s.Status = 1;
    } else {
        return;  // minimised: nothing to keep
    }
    widgets::MessageBoxReporter boxes(services_.dialogs, this);
    SaveRegistrySettings(g_, services_.settings, boxes);
}

void TfrmAlMain::ExitProgram() {
    if (exiting_) return;
    exiting_ = true;
    SavePlacement(true);
    alarmCheck_.stop();
    KeepLastCheck(true);
    if (tray_) tray_->hide();
    // A run waits in nested event loops, which quitting the main loop does
    // not end: every wait returns from now on, and every run stops.
    services_.waiting.Quit();
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* runWindow = qobject_cast<run::TfrmActiveAlarm*>(w)) runWindow->close();
    if (hooks_.quit) hooks_.quit();
}

void TfrmAlMain::closeEvent(QCloseEvent* event) {
    // Quitting closes every window first, and one that refuses keeps the
    // program running.
    if (exiting_) {
        event->accept();
        return;
    }
    if (!tray_ && !sessionEnding_) {
        // Without a notification area a hidden window could never come back.
        event->ignore();
        ExitProgram();
        return;
    }
    SavePlacement(false);
    if (sessionEnding_) {
        event->accept();
        return;
    }
    event->ignore();
    if (isVisible()) {
        hide();
        ChangeVisibleWindowCount(-1);
    }
}

void TfrmAlMain::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    PlaceOverlays();
}

void TfrmAlMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    PlaceOverlays();
    if (!shownOnce_) {
        shownOnce_ = true;
        // From the event loop: the wizard opens over a drawn window.
        QTimer::singleShot(0, this, &TfrmAlMain::FirstShowing);
    }
}

void TfrmAlMain::PlaceOverlays() {
    for (auto [overlay, list] :
         {std::pair{pnNoAlarms_, ui_->grAlarms}, std::pair{pnNoAlarms2_, ui_->grEvents}}) {
        const int rowHeight = list->horizontalHeader()->height();
        overlay->setGeometry(2, rowHeight + 4, ui_->grAlarms->width() - 4,
                             qMax(0, list->height() - rowHeight - 5));
        overlay->setContentsMargins(6, 0, 6, 0);  // the text 12 pixels narrower than the list
        overlay->raise();
    }
}

QString TfrmAlMain::ActionHintAt(const QPoint& pos) const {
    const auto* list = ui_->grAlarms;
    const int row = list->rowAt(pos.y()) + 1;
    const int column = list->columnAt(pos.x());
    if (!g_.Settings.dispevdesc || column != 3 || row < 1 || row > g_.AlarmCount || Damaged(row))
        return {};
    const int before = list->columnWidth(0) + list->columnWidth(1) + list->columnWidth(2);
    const int slot = ActionSlotAt(pos.x() - list->columnViewportPosition(0), before);
    QString hint = FromFileText(ActionHint(g_.AlarmTable[row], slot));
    return hint.replace(QLatin1Char('\r'), QLatin1Char('\n'));
}

bool TfrmAlMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui_->grAlarms->viewport()) {
        if (event->type() == QEvent::MouseMove) {
            const auto* move = static_cast<QMouseEvent*>(event);
            const QString hint = ActionHintAt(move->position().toPoint());
            if (hint.isEmpty()) {
                if (hintShown_) QToolTip::hideText();
                hintShown_ = false;
            } else {
                QToolTip::showText(move->globalPosition().toPoint(), hint, ui_->grAlarms);
                hintShown_ = true;
            }
        } else if (event->type() == QEvent::Leave && hintShown_) {
            QToolTip::hideText();
            hintShown_ = false;
        } else if (event->type() == QEvent::ToolTip) {
            return true;  // the strip's own hints only
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TfrmAlMain::SetUpTimeSync() {
    timeSync_ = new TimeSyncPage(
        g_, services_,
        {ui_->cboTimeServer, ui_->dtSynch, ui_->chkSynch, ui_->Button1, ui_->lblTime},
        {.status = [this](const QString& text) { SetStatusText(text); },
         .stopping = [this] { return exiting_; }},
        this);
}

void TfrmAlMain::UpdateSystemTime() {
    timeSync_->UpdateSystemTime();
}

void TfrmAlMain::SynchTimerTick() {
    timeSync_->SynchTimerTick();
}

bool TfrmAlMain::SynchTimerActive() const {
    return timeSync_->SynchTimerActive();
}

void TfrmAlMain::SetStatusText(const QString& text) {
    ui_->StatusBar1->showMessage(text);
}

}  // namespace ringmere::ui
