// The exception rule editor and the global exception list, driven headless.
#include <gtest/gtest.h>
#include <QAction>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTimeEdit>

#include "core/alarmfile.h"
#include "core/exception_form.h"
#include "core/fileio.h"
#include "tests/core/rules_testing.h"
#include "tests/run/fake_services.h"
#include "tests/ui/list_cells.h"
#include "ui/AddException.h"
#include "ui/alarm.h"
#include "ui/gexcept.h"

namespace ringmere::ui {
namespace {

using namespace testing;

using fixtures::DatesRule;
using fixtures::WeekdaysRule;
using fixtures::WindowRule;

ExList Rules(std::vector<ExRec> rules) {
    ExList l;
    l.Count = static_cast<Integer>(rules.size());
    l.Items = std::move(rules);
    return l;
}

QStringList Texts(QListWidget* list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i) out << list->item(i)->text();
    return out;
}

// Press, release and the double click, as a user's double click arrives.
void DoubleClick(QWidget* w, QPoint at) {
    const QPointF global = w->mapToGlobal(QPointF(at));
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease,
                              QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease}) {
        const bool down = type != QEvent::MouseButtonRelease;
        QMouseEvent e(type, QPointF(at), global, Qt::LeftButton,
                      down ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(w, &e);
    }
}

class ExceptionsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        g_.ProgramDir = QDir(dir_.path()).absolutePath().toStdString() + "/";
        SetDefaultSettings(g_);
        g_.ResetAlarmTable(0);
        owner_.resize(600, 500);
    }
    void TearDown() override { Flush(); }

    static void Flush() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    template <class T>
    static T* Find(QWidget* w, const char* name) {
        T* found = w->findChild<T*>(QString::fromLatin1(name));
        EXPECT_TRUE(found) << name;
        return found;
    }
    static void Click(QWidget* w, const char* button) {
        QPushButton* b = Find<QPushButton>(w, button);
        ASSERT_TRUE(b->isEnabled()) << button;
        b->click();
    }

    std::unique_ptr<Tfrmgexcept> OpenList() {
        auto w = std::make_unique<Tfrmgexcept>(g_, fakes_.Handed(), &owner_);
        w->show();
        return w;
    }
    // The editor the list opened, with Cancel or OK still to press.
    TfrmExceptions* EditorOf(Tfrmgexcept* list) {
        TfrmExceptions* e = list->Editor();
        EXPECT_TRUE(e && e->isVisible());
        return e;
    }
    bool FileWritten() const {
        return QFile::exists(QString::fromStdString(g_.Settings.AlarmFile));
    }

    QTemporaryDir dir_;
    Globals g_;
    run::testing::FakeServices fakes_{g_};
    widgets::ScriptedDialogs& dialogs_ = fakes_.dialogs;
    QWidget owner_;
    const ExList five_ =
        Rules({WindowRule(EncodeTime(1, 0, 0), EncodeTime(2, 0, 0)),
               DatesRule({EncodeDate(2026, 1, 1)}), WeekdaysRule({2}),
               WindowRule(EncodeTime(4, 0, 0), EncodeTime(5, 0, 0)), WeekdaysRule({6})});
};

TEST_F(ExceptionsTest, ListAddsEditsAndDeletesOnACopyThatOkSaves) {
    g_.GlobalExceptions = five_;
    auto w = OpenList();
    auto* list = Find<QListWidget>(w.get(), "clExcepts");
    EXPECT_EQ(Texts(list),
              (QStringList{"1: Daily", "2: Selected Dates", "3: Weekly", "4: Daily", "5: Weekly"}));
    EXPECT_EQ(list->currentRow(), 0);

    list->setCurrentRow(1);
    EXPECT_EQ(w->SelectedRule(), 2);
    Click(w.get(), "btnDeleteException");
    EXPECT_EQ(Texts(list), (QStringList{"1: Daily", "2: Weekly", "3: Daily", "4: Weekly"}));
    EXPECT_EQ(list->currentRow(), 0);
    EXPECT_EQ(g_.GlobalExceptions, five_);

    // Add a weekly rule on Monday.
    Click(w.get(), "btnAddException");
    TfrmExceptions* add = EditorOf(w.get());
    ASSERT_TRUE(add);
    EXPECT_EQ(add->windowTitle(), "Add Exception");
    EXPECT_EQ(add->Request().rules, w->Rules());
    Find<QRadioButton>(add, "rbWeekly")->click();
    Find<QCheckBox>(add, "cbMonday")->click();
    Click(add, "btnOK");
    EXPECT_FALSE(add->isVisible());
    EXPECT_EQ(Texts(list).last(), "5: Weekly");
    EXPECT_EQ(w->Rules().Count, 5);
    EXPECT_EQ(w->Rules().Items[4].ExWeekDays, std::vector<Integer>{2});
    Flush();

    // Edit rule 3, the later daily one.
    list->setCurrentRow(2);
    Click(w.get(), "btnEditException");
    TfrmExceptions* edit = EditorOf(w.get());
    ASSERT_TRUE(edit);
    EXPECT_EQ(edit->windowTitle(), "Edit Exception");
    EXPECT_TRUE(Find<QRadioButton>(edit, "rbDaily")->isChecked());
    EXPECT_EQ(Find<QTimeEdit>(edit, "dtStart")->time(), QTime(4, 0));
    Find<QTimeEdit>(edit, "dtEnd")->setTime(QTime(6, 30));
    Click(edit, "btnOK");
    EXPECT_EQ(w->Rules().Items[2].ExTEnd, EncodeTime(6, 30, 0));
    EXPECT_EQ(w->Rules().Count, 5);
    Flush();

    EXPECT_EQ(g_.GlobalExceptions, five_);
    EXPECT_FALSE(FileWritten());
    Click(w.get(), "btnOK");
    EXPECT_EQ(w->result(), QDialog::Accepted);
    EXPECT_EQ(g_.GlobalExceptions, w->Rules());
    EXPECT_EQ(ReadWholeFile(g_.Settings.AlarmFile).value_or(""), FormatAlarmFile(g_));
    EXPECT_TRUE(dialogs_.shown.isEmpty());
}

TEST_F(ExceptionsTest, CancelAnywhereChangesNothing) {
    g_.GlobalExceptions = five_;
    auto w = OpenList();
    Click(w.get(), "btnAddException");
    Find<QRadioButton>(EditorOf(w.get()), "rbDaily")->click();
    Click(EditorOf(w.get()), "btnCancel");
    EXPECT_EQ(w->Rules(), five_);
    Flush();

    Click(w.get(), "btnAddException");
    Find<QRadioButton>(EditorOf(w.get()), "rbDaily")->click();
    Click(EditorOf(w.get()), "btnOK");
    Click(w.get(), "btnDeleteException");
    Click(w.get(), "btnCancel");
    EXPECT_EQ(w->result(), QDialog::Rejected);
    EXPECT_EQ(g_.GlobalExceptions, five_);
    EXPECT_FALSE(FileWritten());
}

TEST_F(ExceptionsTest, ClientModeOnlyShows) {
    g_.Settings.UserMode = "Client";
    g_.Settings.AlarmFile = g_.ProgramDir + "shared.ini";
    g_.GlobalExceptions = five_;
    auto w = OpenList();
    EXPECT_FALSE(Find<QPushButton>(w.get(), "btnAddException")->isEnabled());
    EXPECT_FALSE(Find<QPushButton>(w.get(), "btnDeleteException")->isEnabled());

    Find<QListWidget>(w.get(), "clExcepts")->setCurrentRow(1);
    Click(w.get(), "btnEditException");
    TfrmExceptions* view = EditorOf(w.get());
    ASSERT_TRUE(view);
    EXPECT_EQ(view->windowTitle(), "View Exception");
    EXPECT_TRUE(Find<QPushButton>(view, "btnCancel")->isHidden());
    EXPECT_FALSE(Find<QGroupBox>(view, "gbExceptionType")->isEnabled());
    EXPECT_EQ(Find<QListWidget>(view, "lstDates")->item(0)->text(), "1/1/2026");
    Click(view, "btnOK");
    EXPECT_FALSE(view->isVisible());
    EXPECT_EQ(view->result(), QDialog::Rejected);
    Flush();

    Click(w.get(), "btnOK");
    EXPECT_EQ(w->result(), QDialog::Rejected);
    EXPECT_FALSE(FileWritten());
    EXPECT_EQ(g_.GlobalExceptions, five_);
}

TEST_F(ExceptionsTest, EditorChecksKeepItOpen) {
    auto w = OpenList();
    Click(w.get(), "btnAddException");
    TfrmExceptions* e = EditorOf(w.get());
    ASSERT_TRUE(e);
    Click(e, "btnOK");
    Find<QRadioButton>(e, "rbDaily")->click();
    Find<QTimeEdit>(e, "dtStart")->setTime(QTime(23, 0));
    Find<QTimeEdit>(e, "dtEnd")->setTime(QTime(1, 0));
    Click(e, "btnOK");
    Find<QRadioButton>(e, "rbWeekly")->click();
    Click(e, "btnOK");
    ASSERT_EQ(dialogs_.shown.size(), 3);
    EXPECT_EQ(dialogs_.shown[0].text, "Please select at least one date to exclude");
    EXPECT_EQ(dialogs_.shown[1].text, "Warning: End time is before start time");
    EXPECT_EQ(dialogs_.shown[2].text,
              "Warning: No days of week selected. Please select at least one day of the week.");
    for (const auto& box : dialogs_.shown) {
        EXPECT_EQ(box.kind, widgets::BoxKind::Warning);
        EXPECT_EQ(box.topLeft, e->frameGeometry().topLeft());
    }
    EXPECT_TRUE(e->isVisible());
    EXPECT_EQ(w->Rules().Count, 0);
}

TEST_F(ExceptionsTest, DatesListAscendingOnce) {
    fakes_.clock.SetNow(EncodeDate(2026, 12, 9) + EncodeTime(8, 0, 0));
    auto w = OpenList();
    Click(w.get(), "btnAddException");
    TfrmExceptions* e = EditorOf(w.get());
    ASSERT_TRUE(e);
    auto* calendar = Find<QCalendarWidget>(e, "MonthCalendar1");
    auto* dates = Find<QListWidget>(e, "lstDates");
    EXPECT_EQ(calendar->selectedDate(), QDate(2026, 12, 9));  // today
    for (QDate d : {QDate(2026, 3, 1), QDate(2026, 1, 15), QDate(2026, 2, 1), QDate(2026, 2, 1)}) {
        calendar->setSelectedDate(d);
        Click(e, "btnAddDate");
    }
    calendar->setSelectedDate(QDate(2026, 1, 20));
    emit calendar->activated(calendar->selectedDate());  // a double click on a day
    EXPECT_EQ(Texts(dates), (QStringList{"1/15/2026", "1/20/2026", "2/1/2026", "3/1/2026"}));

    dates->clearSelection();
    Click(e, "btnRemoveDate");
    EXPECT_EQ(dates->count(), 4);
    dates->item(1)->setSelected(true);
    Click(e, "btnRemoveDate");
    EXPECT_EQ(Texts(dates), (QStringList{"1/15/2026", "2/1/2026", "3/1/2026"}));

    Find<QRadioButton>(e, "rbBetweenTimes")->click();
    EXPECT_TRUE(Find<QTimeEdit>(e, "dtsStart")->isEnabled());
    Click(e, "btnOK");
    const ExRec& rule = w->Rules().Items.at(0);
    EXPECT_EQ(rule.ExDays, (std::vector<DateTime>{EncodeDate(2026, 1, 15), EncodeDate(2026, 2, 1),
                                                  EncodeDate(2026, 3, 1)}));
    EXPECT_EQ(rule.ExSelType, 1);
}

TEST_F(ExceptionsTest, DoubleClickOnlyOnARow) {
    auto w = OpenList();
    auto* list = Find<QListWidget>(w.get(), "clExcepts");
    DoubleClick(list->viewport(), QPoint(10, 10));
    EXPECT_FALSE(w->Editor());

    w.reset();
    g_.GlobalExceptions = five_;
    w = OpenList();
    list = Find<QListWidget>(w.get(), "clExcepts");
    const QRect last = list->visualItemRect(list->item(4));
    ASSERT_LT(last.bottom() + 10, list->viewport()->height());
    DoubleClick(list->viewport(), QPoint(10, last.bottom() + 8));
    EXPECT_FALSE(w->Editor());

    const QRect second = list->visualItemRect(list->item(1));
    DoubleClick(list->viewport(), second.center());
    ASSERT_TRUE(w->Editor());
    EXPECT_EQ(w->SelectedRule(), 2);
    EXPECT_EQ(w->Editor()->Request().index, 2);
    EXPECT_FALSE(w->Editor()->Request().adding);
    EXPECT_TRUE(Find<QRadioButton>(w->Editor(), "rbSelectedDates")->isChecked());
}

TEST_F(ExceptionsTest, MainWindowRebuildsTheScheduleAfterOk) {
    AlRec noon;
    noon.AlName = "Noon";
    noon.enabled = true;
    noon.Music->MuType = kMusicSilent;
    noon.Schedule.AlType = kEveryXDays;
    noon.Schedule.AlXDays = 1;
    noon.Schedule.AlEndType = kEndNever;
    noon.Schedule.AlStartDate = EncodeDate(2004, 1, 1);
    noon.Schedule.AlTime = EncodeTime(12, 0, 0);
    g_.AlarmCount = 1;
    g_.ResetAlarmTable(1);
    g_.AlarmTable[1] = noon;
    MainWindowHooks hooks;
    hooks.trayAvailable = [] { return false; };
    TfrmAlMain main(g_, fakes_.Handed(), hooks);
    auto* events = Find<QTableView>(&main, "grEvents");
    ASSERT_GT(RowCount(events), 0);

    QAction* open = Find<QAction>(&main, "GlobalExceptions1");
    ASSERT_TRUE(open->isEnabled());
    open->trigger();
    auto* list = main.findChild<Tfrmgexcept*>();
    ASSERT_TRUE(list);
    Click(list, "btnAddException");
    // The default daily window, 11:00 AM to 1:00 PM, covers every occurrence.
    Find<QRadioButton>(list->Editor(), "rbDaily")->click();
    Click(list->Editor(), "btnOK");
    Click(list, "btnOK");
    EXPECT_EQ(g_.GlobalExceptions.Count, 1);
    EXPECT_EQ(g_.ScheduleCount, 0);
    EXPECT_EQ(RowCount(events), 0);
}

}  // namespace
}  // namespace ringmere::ui
