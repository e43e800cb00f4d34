#include "ui/alarm.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <QSystemTrayIcon>
#include <QTableWidget>
#include <QTimeEdit>
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
#include "ui/alarm_keys.h"
#include "run/daytime.h"
#include "run/timesync.h"
#include "ui/gexcept.h"
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

constexpr int kStripRole = Qt::UserRole + 1;
constexpr int kIconSpacing = 20;
const char* const kDamagedName = "(damaged: could not be read)";

QString IconName(ActionIcon icon) {
    switch (icon) {
        case ActionIcon::kSoundFile:
            return QStringLiteral("act-sound");
        case ActionIcon::kAudioCd:
            return QStringLiteral("act-cd");
        case ActionIcon::kDialup:
            return QStringLiteral("act-dialup");
        case ActionIcon::kLaunch:
            return QStringLiteral("act-launch");
        case ActionIcon::kWebPage:
            return QStringLiteral("act-web");
        case ActionIcon::kMail:
            return QStringLiteral("act-mail");
        case ActionIcon::kSleep:
            return QStringLiteral("act-sleep");
        case ActionIcon::kTimeSync:
            return QStringLiteral("act-timesync");
        case ActionIcon::kFtp:
            return QStringLiteral("act-ftp");
        case ActionIcon::kFileOp:
            return QStringLiteral("act-fileop");
    }
    return {};
}

// What the action strip's icons and the end rule's icon say, for screen
// readers and the end rule's tooltip.
QString ActionName(ActionIcon icon) {
    switch (icon) {
        case ActionIcon::kSoundFile:
            return QStringLiteral("sound file");
        case ActionIcon::kAudioCd:
            return QStringLiteral("audio CD");
        case ActionIcon::kDialup:
            return QStringLiteral("dial-up");
        case ActionIcon::kLaunch:
            return QStringLiteral("launch program");
        case ActionIcon::kWebPage:
            return QStringLiteral("web page");
        case ActionIcon::kMail:
            return QStringLiteral("e-mail");
        case ActionIcon::kSleep:
            return QStringLiteral("sleep");
        case ActionIcon::kTimeSync:
            return QStringLiteral("time synchronisation");
        case ActionIcon::kFtp:
            return QStringLiteral("FTP");
        case ActionIcon::kFileOp:
            return QStringLiteral("file operation");
    }
    return {};
}

QString EndRuleName(Byte endType) {
    if (endType == kEndOnce) return QStringLiteral("Once");
    if (endType == kEndAtDate) return QStringLiteral("Until an end date");
    return QStringLiteral("No end");
}

QString EndRuleIcon(Byte endType) {
    if (endType == kEndOnce) return QStringLiteral(":/icons/end-once.svg");
    if (endType == kEndAtDate) return QStringLiteral(":/icons/end-until.svg");
    return QStringLiteral(":/icons/end-forever.svg");
}

// Draws the action strip: one 20-pixel icon per action from x = 0.
class StripDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyledItemDelegate::paint(painter, option, index);
        const QStringList icons = index.data(kStripRole).toStringList();
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
      hooks_(std::move(hooks)),
      timer1_(services.waiting, [this] { ShowClockTime(); }),
      synchTimer_(services.waiting, [this] { SynchTimerTick(); }) {
    InitUiResources();
    ui_->setupUi(this);
    SetUpViews();
    SetUpOverlays();
    SetUpMenus();
    ConnectCommands();
    SetUpKeyboard(*this, g_);
    SetUpCheckTimer();
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
    alarms->setItemDelegateForColumn(3, new StripDelegate(alarms));
    alarms->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    alarms->setColumnWidth(0, 24);
    alarms->setColumnWidth(1, 24);
    alarms->setColumnWidth(2, 180);
    alarms->viewport()->installEventFilter(this);
    alarms->verticalHeader()->setDefaultSectionSize(22);
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
        ui_->dxSideBar1->item(i)->setIcon(
            sideBarGradient ? widgets::ThemedIcon(sideBar[i], QColor(Qt::white))
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
    connect(ui_->dxAddAlarm2, &QAction::triggered, this, [this] { OpenEditor(true, false); });
    connect(ui_->dxEditAlarm, &QAction::triggered, this, [this] { OpenEditor(false, false); });
    connect(ui_->popEdit, &QAction::triggered, this, [this] { OpenEditor(false, false); });
    connect(ui_->DuplicateAlarm1, &QAction::triggered, this, [this] { OpenEditor(false, true); });
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
    // Dialogs that later versions bring: there, but not yet usable.
    for (QAction* later :
         {ui_->emailSettings1, ui_->NetworkConfiguration1, ui_->AdditionalOptions1})
        later->setEnabled(false);
    connect(ui_->GlobalExceptions1, &QAction::triggered, this, &TfrmAlMain::OpenGlobalExceptions);
    for (auto [item, open] : {std::pair{ui_->AdditionalOptions1, &hooks_.openAdditionalOptions},
                              std::pair{ui_->emailSettings1, &hooks_.openEmailSettings}}) {
        item->setEnabled(static_cast<bool>(*open));
        connect(item, &QAction::triggered, this, [this, open] {
            if (*open) (*open)(this);
        });
    }
    // The operating modes live in net/, reached through the hook.
    ui_->NetworkConfiguration1->setEnabled(static_cast<bool>(hooks_.openNetConfig));
    connect(ui_->NetworkConfiguration1, &QAction::triggered, this, [this] {
        if (!hooks_.openNetConfig || !hooks_.openNetConfig(this)) return;
        LoadList();
        BuildSchedule(g_, clock_);
        LoadEvents();
    });

    auto* alarms = ui_->grAlarms;
    connect(ui_->dxSideBar1, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { ShowPage(ui_->dxSideBar1->row(item)); });
    connect(alarms, &QTableWidget::itemChanged, this, &TfrmAlMain::OnAlarmItemChanged);
    connect(alarms, &QTableWidget::itemSelectionChanged, this, &TfrmAlMain::UpdateRowCommands);
    // Only a row under the pointer: never an empty list or a stale selection.
    connect(alarms, &QTableWidget::cellDoubleClicked, this, [this](int row, int) {
        if (row + 1 >= 1 && row + 1 <= g_.AlarmCount && ui_->dxEditAlarm->isEnabled())
            OpenEditor(false, false, row + 1);
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
    LoadList();
    BuildSchedule(g_, clock_);
    LoadEvents();
    ShowPage(0);
    SetUpTray();
    StartAlarmCheck();
    if (ClientMode()) {
        ui_->DuplicateAlarm1->setEnabled(false);
        ui_->dxDeleteAlarm->setEnabled(false);
    }
    setWindowTitle(ClientMode() ? QStringLiteral("Ringmere (Client Mode)")
                                : QStringLiteral("Ringmere"));
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
    const bool editor = static_cast<bool>(hooks_.openEditor);
    setWindowTitle(client ? QStringLiteral("Ringmere (Client Mode)") : QStringLiteral("Ringmere"));
    const QString editCaption =
        client ? QStringLiteral("View Alarm") : QStringLiteral("Edit Alarm");
    ui_->dxEditAlarm->setText(editCaption);
    ui_->dxEditAlarm->setToolTip(editCaption);
    ui_->popEdit->setText(editCaption);
    ui_->dxAddAlarm2->setEnabled(!client && editor);

    filling_ = true;
    auto* list = ui_->grAlarms;
    list->clearContents();
    // A selection would now name another alarm.
    list->clearSelection();
    if (g_.AlarmCount <= 0) {
        list->setRowCount(1);
        list->setItem(
            0, 2,
            new QTableWidgetItem(QStringLiteral("Please click on Add Alarms to create alarms.")));
        ui_->dxEditAlarm->setEnabled(false);
        ui_->popEdit->setEnabled(false);
        ui_->DuplicateAlarm1->setEnabled(false);
        pnNoAlarms_->show();
        pnNoAlarms2_->show();
        filling_ = false;
        UpdateRowCommands();
        PlaceOverlays();
        return;
    }
    pnNoAlarms_->hide();
    pnNoAlarms2_->hide();
    ui_->dxEditAlarm->setEnabled(editor);
    ui_->popEdit->setEnabled(editor);
    ui_->DuplicateAlarm1->setEnabled(editor && !client);
    list->setRowCount(g_.AlarmCount);
    for (int r = 1; r <= g_.AlarmCount; ++r) {
        if (Damaged(r)) {
            // No check box: it would enable a record that holds nothing sure.
            auto* mark = new QTableWidgetItem();
            mark->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            list->setItem(r - 1, 0, mark);
            list->setItem(r - 1, 1, new QTableWidgetItem());
            list->setItem(r - 1, 2, new QTableWidgetItem(QString::fromLatin1(kDamagedName)));
            list->setItem(r - 1, 3, new QTableWidgetItem());
            continue;
        }
        const AlRec& a = g_.AlarmTable[r];
        auto* check = new QTableWidgetItem();
        check->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        check->setCheckState(a.enabled ? Qt::Checked : Qt::Unchecked);
        list->setItem(r - 1, 0, check);
        auto* end = new QTableWidgetItem(CachedIcon(EndRuleIcon(a.Schedule.AlEndType)), QString());
        end->setData(Qt::AccessibleTextRole, EndRuleName(a.Schedule.AlEndType));
        end->setToolTip(EndRuleName(a.Schedule.AlEndType));
        list->setItem(r - 1, 1, end);
        list->setItem(r - 1, 2, new QTableWidgetItem(FromFileText(a.AlName)));
        QStringList strip, names;
        for (ActionIcon icon : ActionStrip(a)) {
            strip << IconName(icon);
            names << ActionName(icon);
        }
        auto* actions = new QTableWidgetItem();
        actions->setData(kStripRole, strip);
        actions->setData(Qt::AccessibleTextRole,
                         names.isEmpty() ? QStringLiteral("No actions") : names.join(", "));
        list->setItem(r - 1, 3, actions);
    }
    filling_ = false;
    UpdateRowCommands();
    if (page_ != 0) ShowPage(page_);
}

const QIcon& TfrmAlMain::CachedIcon(const QString& path) {
    auto it = icons_.find(path);
    if (it == icons_.end()) it = icons_.insert(path, widgets::ThemedIcon(path, QPalette::Text));
    return *it;
}

bool TfrmAlMain::Damaged(int row) const {
    return g_.FirstDamagedAlarm > 0 && row >= g_.FirstDamagedAlarm;
}

void TfrmAlMain::UpdateRowCommands() {
    const int row = SelectedRow();
    const bool onRow = page_ == 0 && row >= 1;
    const bool canDelete = onRow && !ClientMode();
    const bool canTest = onRow && !Damaged(row);
    ui_->dxDeleteAlarm->setEnabled(canDelete);
    ui_->popDelete->setEnabled(canDelete);
    ui_->dxTestAlarm->setEnabled(canTest);
    ui_->popTest->setEnabled(canTest);
}

void TfrmAlMain::LoadEvents() {
    auto* view = ui_->grEvents;
    view->clearContents();
    const auto rows = ScheduleViewRows(g_);
    view->setRowCount(static_cast<int>(rows.size()));
    for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
        view->setItem(i, 0, new QTableWidgetItem(QString::number(rows[i].Number)));
        view->setItem(i, 1, new QTableWidgetItem(QString::fromStdString(rows[i].Time)));
        view->setItem(i, 2, new QTableWidgetItem(FromFileText(rows[i].Name)));
    }
    if (!rows.empty()) view->selectRow(0);
}

void TfrmAlMain::CheckAlarms() {
    alarmCheck_.stop();
    const std::vector<int> due = DueScheduleSlots(g_, clock_.Now());
    if (!due.empty()) {
        // The entries are read before any run starts: a run lets events
        // through, and nothing may rebuild the table meanwhile.
        DateTime latest = 0;
        std::vector<int> alarms;
        for (int slot : due) {
            latest = std::max(latest, g_.ScheduleTable[slot].When);
            alarms.push_back(g_.ScheduleTable[slot].AlarmIndex);
        }
        // A run that sets the clock rebuilds the table under this loop.
        for (int index : alarms) OpenRun(index);
        // A check that falls exactly on an entry's second would find that
        // entry again in a table rebuilt from the same moment: build from
        // just after it. Entries fall on whole seconds, so nothing else moves.
        const DateTime now = clock_.Now();
        const FixedClock after(now > latest ? now : latest + 0.5 / kSecondsPerDay);
        BuildSchedule(g_, after);
        LoadEvents();
    }
    if (!sessionEnding_) StartAlarmCheck();
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

void TfrmAlMain::OpenRun(int index) {
    if (index < 1 || index > g_.AlarmCount) return;
    QWidget* window = hooks_.openRunWindow ? hooks_.openRunWindow(index)
                                           : run::OpenRunWindow(g_, index, services_);
    if (window) {
        if (auto* title = window->findChild<QLabel*>(QStringLiteral("lblAlAct")))
            title->setText(QStringLiteral("Alarm, %1, Activated.")
                               .arg(FromFileText(g_.AlarmTable[index].AlName)));
    }
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
    const QString name =
        Damaged(row) ? QString::fromLatin1(kDamagedName) : FromFileText(g_.AlarmTable[row].AlName);
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
    LoadList();
    BuildSchedule(g_, clock_);
    LoadEvents();
}

void TfrmAlMain::OnAlarmItemChanged(QTableWidgetItem* item) {
    if (filling_ || item->column() != 0) return;
    SetAlarmEnabled(item->row() + 1, item->checkState() == Qt::Checked);
}

void TfrmAlMain::SetAlarmEnabled(int row, bool enabled) {
    if (row < 1 || row > g_.AlarmCount || Damaged(row)) return;
    if (ClientMode()) {
        services_.dialogs.Message(
            this, BoxKind::Warning,
            QStringLiteral("Running in client mode. Alarms can only be enabled/disabled by server"),
            BoxCorner());
        filling_ = true;
        if (auto* item = ui_->grAlarms->item(row - 1, 0))
            item->setCheckState(g_.AlarmTable[row].enabled ? Qt::Checked : Qt::Unchecked);
        filling_ = false;
        return;
    }
    g_.AlarmTable[row].enabled = enabled;
    if (!SaveAlarms()) {
        // The file kept the old state: the table and the box go back to it.
        g_.AlarmTable[row].enabled = !enabled;
        filling_ = true;
        if (auto* item = ui_->grAlarms->item(row - 1, 0))
            item->setCheckState(enabled ? Qt::Unchecked : Qt::Checked);
        filling_ = false;
        return;
    }
    BuildSchedule(g_, clock_);
    LoadEvents();
}

bool TfrmAlMain::SaveAlarms() {
    return widgets::SaveAlarmFileTelling(g_, services_.dialogs, this, BoxCorner());
}

void TfrmAlMain::ShowPage(int item) {
    if (item < 0 || item > 2) return;
    page_ = item;
    ui_->dxSideBar1->setCurrentRow(item);
    ui_->Notebook11->setCurrentIndex(item);
    const bool client = ClientMode();
    const bool editor = static_cast<bool>(hooks_.openEditor);
    if (item == 0) {
        if (!client) ui_->dxAddAlarm2->setEnabled(editor);
        if (g_.AlarmCount > 0) {
            ui_->popEdit->setEnabled(editor);
            ui_->dxEditAlarm->setEnabled(editor);
        }
        UpdateRowCommands();
    } else {
        for (QAction* a :
             {ui_->dxAddAlarm2, ui_->dxEditAlarm, ui_->dxDeleteAlarm, ui_->dxTestAlarm})
            a->setEnabled(false);
    }
    if (client) {
        ui_->DuplicateAlarm1->setEnabled(false);
        ui_->dxDeleteAlarm->setEnabled(false);
        ui_->dxAddAlarm2->setEnabled(false);
    }
}

void TfrmAlMain::OpenEditor(bool adding, bool duplicating, int row) {
    if (!hooks_.openEditor) return;
    if (adding && ClientMode()) return;
    if (adding) {
        g_.EditIndex = g_.AlarmCount + 1;
    } else {
        if (row == 0) row = SelectedRow();
        if (row < 1 || row > g_.AlarmCount || Damaged(row)) return;
        if (duplicating && ClientMode()) return;
        g_.EditIndex = row;
    }
    g_.Adding = adding;
    g_.Duplicating = duplicating;
    if (!hooks_.openEditor(this)) return;
    // The editor left EditIndex at the saved alarm's position.
    const int saved = g_.EditIndex;
    BuildSchedule(g_, clock_);
    LoadEvents();
    LoadList();
    if (saved >= 1 && saved <= g_.AlarmCount) ui_->grAlarms->selectRow(saved - 1);
}

// Modal without waiting in a nested loop; in client mode a viewer.
void TfrmAlMain::OpenGlobalExceptions() {
    if (globalExceptions_) {
        globalExceptions_->raise();
        return;
    }
    globalExceptions_ = new Tfrmgexcept(g_, services_, this);
    globalExceptions_->setAttribute(Qt::WA_DeleteOnClose);
    globalExceptions_->setModal(true);
    connect(globalExceptions_, &QDialog::finished, this, [this](int result) {
        if (result != QDialog::Accepted) return;
        BuildSchedule(g_, clock_);
        LoadEvents();
        LoadList();
    });
    globalExceptions_->show();
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
    services_.desktop.OpenUrl(QUrl::fromLocalFile(path));
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
    LoadList();
    BuildSchedule(g_, clock_);
    LoadEvents();
}

void TfrmAlMain::SessionEnding() {
    sessionEnding_ = true;
    alarmCheck_.stop();
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

// The Time Sync page. Its values are the machine's settings, saved at every
// change.
namespace {
const char* const kNoServer = "Please select or enter a time server first.";

// Hour, minute and second as a clock shows them: cut, not rounded.
int SecondOfDay(DateTime moment) {
    const long long ms = std::llround(TimeOf(moment) * kSecondsPerDay * 1000.0);
    return int(ms / 1000 % kSecondsPerDay);
}
}  // namespace

void TfrmAlMain::SetUpTimeSync() {
    timer1_.SetInterval(1000);
    synchTimer_.SetInterval(5000);
    ShowClockTime();
    timer1_.Start();
    const SettingsRec& s = g_.Settings;
    auto* box = ui_->cboTimeServer;
    {
        const QSignalBlocker quiet1(box), quiet2(ui_->dtSynch), quiet3(ui_->chkSynch);
        box->setCurrentIndex(-1);
        if (!s.autoserver.empty()) {
            const QString server = QString::fromStdString(s.autoserver);
            const int at = box->findText(server, Qt::MatchExactly | Qt::MatchCaseSensitive);
            if (at >= 0)
                box->setCurrentIndex(at);
            else
                box->setEditText(server);
        }
        const int at = SplitToSecond(s.autotime).second;
        ui_->dtSynch->setTime(QTime(at / 3600, at / 60 % 60, at % 60));
        ui_->chkSynch->setChecked(s.autosynch);
    }
    SynchChecked(ui_->chkSynch->isChecked());
    connect(ui_->chkSynch, &QCheckBox::clicked, this, &TfrmAlMain::SynchChecked);
    connect(ui_->dtSynch, &QTimeEdit::timeChanged, this, [this] { SynchTimeChanged(); });
    connect(box, &QComboBox::currentTextChanged, this, [this] { ServerChanged(); });
    connect(ui_->Button1, &QPushButton::clicked, this, &TfrmAlMain::UpdateSystemTime);
    if (services_.clockSetter)
        connect(services_.clockSetter, &run::ClockSetter::clockSet, this, &TfrmAlMain::ClockWasSet);
}

QString TfrmAlMain::SelectedServer() const {
    return ui_->cboTimeServer->currentText().trimmed();
}

void TfrmAlMain::SynchChecked(bool checked) {
    if (checked && SelectedServer().isEmpty()) {
        services_.dialogs.Message(this, BoxKind::Warning, QString::fromLatin1(kNoServer),
                                  BoxCorner());
        const QSignalBlocker quiet(ui_->chkSynch);
        ui_->chkSynch->setChecked(false);
        checked = false;
    }
    if (checked) {
        ui_->dtSynch->setEnabled(true);
        g_.Settings.autosynch = true;
        synchTimer_.Start();
    } else {
        synchTimer_.Stop();
        ui_->dtSynch->setEnabled(false);
        g_.Settings.autosynch = false;
    }
    SaveSynchSettings();
}

void TfrmAlMain::SynchTimeChanged() {
    synchTimer_.Stop();
    const QTime t = ui_->dtSynch->time();
    g_.Settings.autotime = EncodeTime(t.hour(), t.minute(), t.second());
    SaveSynchSettings();
    synchTimer_.Start();
}

void TfrmAlMain::ServerChanged() {
    const QString server = SelectedServer();
    if (server.isEmpty()) {
        services_.dialogs.Message(this, BoxKind::Warning, QString::fromLatin1(kNoServer),
                                  BoxCorner());
        if (ui_->chkSynch->isChecked()) {
            const QSignalBlocker quiet(ui_->chkSynch);
            ui_->chkSynch->setChecked(false);
            SynchChecked(false);
        }
        return;
    }
    g_.Settings.autoserver = server.toStdString();
    SaveSynchSettings();
}

void TfrmAlMain::SaveSynchSettings() {
    widgets::MessageBoxReporter boxes(services_.dialogs, this);
    SaveRegistrySettings(g_, services_.settings, boxes);
}

void TfrmAlMain::ShowClockTime() {
    ui_->lblTime->setText(QString::fromStdString(FormatLongTime(clock_.Now())));
}

void TfrmAlMain::UpdateSystemTime() {
    // One fetch at a time: a daily tick or a second click waits its turn.
    if (synchBusy_) return;
    synchBusy_ = true;
    ui_->Button1->setEnabled(false);
    run::InteractiveSynchronize(
        services_, SelectedServer(), this, [this](const QString& text) { SetStatusText(text); },
        [this] { return exiting_; });
    ui_->Button1->setEnabled(true);
    synchBusy_ = false;
}

void TfrmAlMain::SynchTimerTick() {
    if (synchBusy_) return;
    const int now = SecondOfDay(clock_.Now());
    const int at = SplitToSecond(g_.Settings.autotime).second;
    if (now / 60 != at / 60) return;  // hour and minute
    if (now % 60 <= at % 60 || now % 60 >= at % 60 + 10) return;
    synchTimer_.Stop();
    synchBusy_ = true;
    ui_->Button1->setEnabled(false);
    SetStatusText(QStringLiteral("Retrieving Time From Server..."));
    const run::ServerTime time = run::FetchTime(
        services_, QString::fromStdString(g_.Settings.autoserver), [this] { return exiting_; });
    SetStatusText(QString());
    int pauses = 0;
    if (!time.ok) {
        SetStatusText(services_.daytime ? QStringLiteral("Unable to retrieve time from server. Try "
                                                         "selecting a different time server.")
                                        : QString::fromLatin1(run::kSynchUnavailableInteractive));
        pauses = 300;
    } else {
        SetStatusText(run::SetClockFrom(services_, time).line);
        pauses = 900;
    }
    // The pauses keep the 9-second window from firing twice on one day.
    for (int i = 0; i < pauses && !exiting_; ++i) services_.waiting.Pause(50);
    SetStatusText(QString());
    ui_->Button1->setEnabled(true);
    synchBusy_ = false;
    // Unchecked meanwhile: the daily synchronisation stays off.
    if (g_.Settings.autosynch) synchTimer_.Start();
}

// Every entry of the schedule was computed against the old clock.
void TfrmAlMain::ClockWasSet() {
    BuildSchedule(g_, clock_);
    LoadEvents();
}

void TfrmAlMain::SetStatusText(const QString& text) {
    ui_->StatusBar1->showMessage(text);
}

}  // namespace ringmere::ui
