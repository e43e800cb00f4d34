#include "ui/alarm_keys.h"

#include <QAction>
#include <QKeySequence>
#include <QListWidget>
#include <QShortcut>
#include <QTableView>
#include <QToolTip>

#include "core/actionstrip.h"
#include "ui/alarm.h"
#include "ui_alarm.h"
#include "widgets/file_text.h"

namespace ringmere::ui {

namespace {

using UiForm = Ui::TfrmAlMain;

struct Shortcut {
    QAction* UiForm::*action;
    QList<QKeySequence> keys;
};

// Names and hints of the columns that show only an icon or a check box.
struct ColumnName {
    QTableView* UiForm::*list;
    int column;
    const char* name;
    const char* hint;
};

const ColumnName kColumnNames[] = {
    {&UiForm::grAlarms, 0, "Enabled", "Enabled: the alarm goes off at its times"},
    {&UiForm::grAlarms, 1, "Ends", "When the alarm ends: once, on a date, or never"},
    {&UiForm::grAlarms, 3, "Events", "What the alarm does, one icon per action"},
    {&UiForm::grEvents, 0, "Number", "Number in the list of coming alarms"},
};

// Every hint of the alarm's strip, one block per action.
QString StripHints(const AlRec& alarm) {
    const std::size_t count =
        alarm.mtype == kSimpleAlarm ? ActionStrip(alarm).size() : alarm.Events.Items.size();
    QStringList hints;
    for (std::size_t slot = 0; slot < count; ++slot) {
        const std::string hint = ActionHint(alarm, static_cast<int>(slot));
        if (!hint.empty())
            hints << widgets::FromFileText(hint).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    }
    return hints.join(QStringLiteral("\n\n"));
}

void ShowStripHints(TfrmAlMain& window, QTableView& list, const Globals& g) {
    const int row = window.SelectedRow();
    if (!g.Settings.dispevdesc || row < 1 || row > g.AlarmCount ||
        (g.FirstDamagedAlarm > 0 && row >= g.FirstDamagedAlarm))
        return;
    const QString hints = StripHints(g.AlarmTable[row]);
    if (hints.isEmpty()) return;
    const QRect cell = list.visualRect(list.model()->index(row - 1, 3));
    QToolTip::showText(list.viewport()->mapToGlobal(cell.bottomLeft()), hints, &list);
}

}  // namespace

void SetUpKeyboard(TfrmAlMain& window, const Ui::TfrmAlMain& ui, const Globals& g) {
    const Shortcut shortcuts[] = {
        {&UiForm::dxAddAlarm2, {QKeySequence(Qt::CTRL | Qt::Key_N)}},
        {&UiForm::dxEditAlarm, {QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)}},
        {&UiForm::dxDeleteAlarm, {QKeySequence(Qt::Key_Delete)}},
        {&UiForm::DuplicateAlarm1, {QKeySequence(Qt::CTRL | Qt::Key_D)}},
        {&UiForm::dxTestAlarm, {QKeySequence(Qt::CTRL | Qt::Key_T)}},
        {&UiForm::Contents1, {QKeySequence(Qt::Key_F1)}},
        {&UiForm::Exit1, {QKeySequence(Qt::CTRL | Qt::Key_Q)}},
    };
    for (const Shortcut& s : shortcuts) {
        QAction* action = ui.*s.action;
        action->setShortcuts(s.keys);
        // Some live only in a context or tray menu, which is not part of the
        // window: the window itself must hold them for the keys to reach them.
        window.addAction(action);
    }

    // Arrow keys move the side bar's highlight; the page follows it.
    QObject::connect(ui.dxSideBar1, &QListWidget::currentRowChanged, &window,
                     [&window](int row) { window.ShowPage(row); });

    QTableView* alarms = ui.grAlarms;
    auto* hints = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F1), alarms);
    hints->setContext(Qt::WidgetWithChildrenShortcut);
    QObject::connect(hints, &QShortcut::activated, alarms,
                     [&window, alarms, &g] { ShowStripHints(window, *alarms, g); });

    for (const ColumnName& c : kColumnNames) {
        QAbstractItemModel* model = (ui.*c.list)->model();
        model->setHeaderData(c.column, Qt::Horizontal, QString::fromLatin1(c.name),
                             Qt::AccessibleTextRole);
        model->setHeaderData(c.column, Qt::Horizontal, QString::fromLatin1(c.hint),
                             Qt::ToolTipRole);
    }
}

}  // namespace ringmere::ui
