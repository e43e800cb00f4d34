// The main window driven headless: its lists, command states, the check
// loop with a fixed clock, and the commands that change the alarm table.
#include <gtest/gtest.h>
#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPointer>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include "core/alarmfile.h"
#include "core/clock.h"
#include "core/fileio.h"
#include "core/schedule.h"
#include "run/activealarm.h"
#include "tests/run/fake_services.h"
#include "tests/ui/list_cells.h"
#include "ui/alarm.h"
#include "widgets/dialogs.h"
#include "widgets/window_count.h"

namespace ringmere::ui {
namespace {

using namespace testing;

std::string ReadFileText(const std::string& path) {
    return ReadWholeFile(path).value_or("(missing)");
}

AlRec Daily(const std::string& name, int hour, int minute, int second = 0) {
    AlRec a;
    a.AlName = name;
    a.enabled = true;
    a.Music->MuType = 3;
    a.Schedule.AlType = 0;
    a.Schedule.AlXDays = 1;
    a.Schedule.AlEndType = 1;
    a.Schedule.AlStartDate = EncodeDate(2026, 1, 1);
    a.Schedule.AlTime = EncodeTime(hour, minute, second);
    return a;
}

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        g_.ProgramDir = QDir(dir_.path()).absolutePath().toStdString() + "/";
        SetDefaultSettings(g_);
        clock_.SetNow(EncodeDate(2026, 12, 9) + EncodeTime(8, 0, 0));
    }

    void SetAlarms(const std::vector<AlRec>& alarms) {
        g_.AlarmCount = static_cast<Integer>(alarms.size());
        g_.ResetAlarmTable(g_.AlarmCount);
        for (std::size_t i = 0; i < alarms.size(); ++i) g_.AlarmTable[i + 1] = alarms[i];
    }

    std::unique_ptr<TfrmAlMain> Make(bool withEditor = true) {
        MainWindowHooks hooks;
        hooks.openRunWindow = [this](int index, const QString& text) {
            opened_.push_back(index);
            auto* w = new QWidget;
            w->setAttribute(Qt::WA_DeleteOnClose);
            auto* title = new QLabel(text, w);
            title->setObjectName(QStringLiteral("lblAlAct"));
            titles_.push_back(title);
        };
        hooks.trayAvailable = [this] { return trayAvailable_; };
        hooks.quit = [this] { ++quits_; };
        if (withEditor)
            hooks.openEditor = [this](QWidget*, const AlarmEditRequest&) {
                ++editorOpened_;
                return std::nullopt;
            };
        return std::make_unique<TfrmAlMain>(g_, fakes_.Handed(), hooks);
    }

    template <class T>
    static T* Find(QWidget* w, const char* name) {
        T* found = w->findChild<T*>(QString::fromLatin1(name));
        EXPECT_TRUE(found) << name;
        return found;
    }
    static bool Enabled(QWidget* w, const char* action) {
        return Find<QAction>(w, action)->isEnabled();
    }

    QTemporaryDir dir_;
    Globals g_;
    run::testing::FakeServices fakes_{g_};
    run::testing::FakeWaiting& clock_ = fakes_.clock;
    widgets::ScriptedDialogs& dialogs_ = fakes_.dialogs;
    QStringList& desktopOpened_ = fakes_.desktop.opened;  // as file addresses
    std::vector<int> opened_;
    std::vector<QLabel*> titles_;
    int editorOpened_ = 0;
    bool trayAvailable_ = false;
    int quits_ = 0;
};

TEST_F(MainWindowTest, EmptyTableShowsThePlaceholderAndDisablesCommands) {
    auto w = Make();
    auto* list = Find<QTableView>(w.get(), "grAlarms");
    ASSERT_EQ(RowCount(list), 1);
    EXPECT_EQ(CellText(list, 0, 2), "Please click on Add Alarms to create alarms.");
    EXPECT_FALSE(Find<QLabel>(w.get(), "pnNoAlarms")->isHidden());
    EXPECT_FALSE(Find<QLabel>(w.get(), "pnNoAlarms2")->isHidden());
    EXPECT_TRUE(Enabled(w.get(), "dxAddAlarm2"));
    for (const char* a : {"dxEditAlarm", "dxDeleteAlarm", "dxTestAlarm"})
        EXPECT_FALSE(Enabled(w.get(), a)) << a;
    EXPECT_EQ(RowCount(Find<QTableView>(w.get(), "grEvents")), 0);
    // Nothing can start a command on the placeholder row.
    emit list->doubleClicked(list->model()->index(0, 2));
    EXPECT_EQ(editorOpened_, 0);
    w->DeleteSelectedAlarm();
    EXPECT_EQ(g_.AlarmCount, 0);
    EXPECT_EQ(w->windowTitle(), "Ringmere");
}

TEST_F(MainWindowTest, ListAndScheduleViewShowTheAlarms) {
    AlRec off = Daily("Off", 9, 0);
    off.enabled = false;
    AlRec once = Daily("Once", 0, 0);
    once.Schedule.AlEndType = 0;
    once.Schedule.AlStartDate = EncodeDate(2026, 12, 10);
    SetAlarms({Daily("Tea", 9, 5), off, once});
    auto w = Make();
    auto* list = Find<QTableView>(w.get(), "grAlarms");
    ASSERT_EQ(RowCount(list), 3);
    EXPECT_EQ(CellText(list, 0, 2), "Tea");
    EXPECT_EQ(CellCheck(list, 0, 0), Qt::Checked);
    EXPECT_EQ(CellCheck(list, 1, 0), Qt::Unchecked);
    EXPECT_TRUE(Find<QLabel>(w.get(), "pnNoAlarms")->isHidden());
    // Delete and Test wait for a row.
    for (const char* a : {"dxDeleteAlarm", "dxTestAlarm", "popDelete", "popTest"})
        EXPECT_FALSE(Enabled(w.get(), a)) << a;
    list->selectRow(2);
    for (const char* a :
         {"dxEditAlarm", "dxDeleteAlarm", "dxTestAlarm", "dxAddAlarm2", "popDelete", "popTest"})
        EXPECT_TRUE(Enabled(w.get(), a)) << a;

    auto* view = Find<QTableView>(w.get(), "grEvents");
    ASSERT_GE(RowCount(view), 2);
    EXPECT_EQ(CellText(view, 0, 1), "12/9/2026  9:05:00AM");
    EXPECT_EQ(CellText(view, 0, 2), "Tea");
    EXPECT_EQ(CellText(view, 1, 1), "12/10/2026 12:00:00AM");
    EXPECT_EQ(CellText(view, 1, 2), "Once");
    EXPECT_EQ(RowCount(view), 40);
}

TEST_F(MainWindowTest, EditorCommandsStayOffUntilTheEditorIsThere) {
    SetAlarms({Daily("Tea", 9, 5)});
    auto w = Make(false);
    Find<QTableView>(w.get(), "grAlarms")->selectRow(0);
    EXPECT_FALSE(Enabled(w.get(), "dxAddAlarm2"));
    EXPECT_FALSE(Enabled(w.get(), "dxEditAlarm"));
    EXPECT_FALSE(Enabled(w.get(), "DuplicateAlarm1"));
    EXPECT_TRUE(Enabled(w.get(), "dxTestAlarm"));
    EXPECT_TRUE(Enabled(w.get(), "dxDeleteAlarm"));
}

TEST_F(MainWindowTest, SideBarPagesSwitchTheToolbar) {
    SetAlarms({Daily("Tea", 9, 5)});
    auto w = Make();
    Find<QTableView>(w.get(), "grAlarms")->selectRow(0);
    const char* toolbar[] = {"dxAddAlarm2", "dxEditAlarm", "dxDeleteAlarm", "dxTestAlarm"};
    for (int page : {1, 2}) {
        w->ShowPage(page);
        for (const char* a : toolbar) EXPECT_FALSE(Enabled(w.get(), a)) << page << a;
    }
    w->ShowPage(0);
    for (const char* a : toolbar) EXPECT_TRUE(Enabled(w.get(), a)) << a;
}

// Every command's state over the mode, the editor's presence, the page, the
// alarm count and the selected row (alarm 3 damaged), and after a refill on
// the page it was taken on: enabled only where it would act. Columns:
// dxAddAlarm2, dxEditAlarm, popEdit, DuplicateAlarm1, dxDeleteAlarm,
// popDelete, dxTestAlarm, popTest.
TEST_F(MainWindowTest, CommandStatesFollowModePageCountAndSelection) {
    struct Case {
        const char* mode;
        bool editor;
        int alarms, page, row;  // row 0: none selected
        const char* enabled;
    };
    const Case cases[] = {
        {"Single", true, 0, 0, 0, "10000000"},  {"Single", true, 3, 0, 0, "10000000"},
        {"Single", true, 3, 0, 1, "11111111"},  {"Single", true, 3, 0, 3, "10001100"},
        {"Single", true, 3, 1, 1, "00000000"},  {"Single", true, 3, 2, 2, "00000000"},
        {"Single", true, 0, 1, 0, "00000000"},  {"Single", false, 3, 0, 1, "00001111"},
        {"Single", false, 0, 0, 0, "00000000"}, {"Client", true, 3, 0, 1, "01100011"},
        {"Client", true, 3, 0, 3, "00000000"},  {"WClient", true, 0, 0, 0, "00000000"},
        {"Client", true, 3, 2, 1, "00000000"},  {"Server", true, 3, 0, 2, "11111111"},
    };
    const char* actions[] = {"dxAddAlarm2",   "dxEditAlarm", "popEdit",     "DuplicateAlarm1",
                             "dxDeleteAlarm", "popDelete",   "dxTestAlarm", "popTest"};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.mode) + (c.editor ? " editor" : " no editor") + ", " +
                     std::to_string(c.alarms) + " alarms, page " + std::to_string(c.page) +
                     ", row " + std::to_string(c.row));
        g_.Settings.UserMode = c.mode;
        std::vector<AlRec> alarms;
        for (int i = 1; i <= c.alarms; ++i) alarms.push_back(Daily("A" + std::to_string(i), 9, i));
        SetAlarms(alarms);
        g_.FirstDamagedAlarm = c.alarms >= 3 ? 3 : 0;
        auto w = Make(c.editor);
        if (c.row > 0) Find<QTableView>(w.get(), "grAlarms")->selectRow(c.row - 1);
        w->ShowPage(c.page);
        const auto states = [&] {
            std::string out;
            for (const char* a : actions) out += Enabled(w.get(), a) ? '1' : '0';
            return out;
        };
        EXPECT_EQ(states(), c.enabled);
        // A refill drops the selection: only Add may stand.
        w->Refill();
        std::string unselected = c.enabled;
        for (int k = 1; k < 8; ++k) unselected[std::size_t(k)] = '0';
        EXPECT_EQ(states(), unselected) << "after a refill";
    }
}

// Started with alarms and nothing selected, Edit waits for a row; a click on
// one enables it, and it edits that alarm.
TEST_F(MainWindowTest, EditWaitsForARowClickedAfterAFreshStart) {
    SetAlarms({Daily("Tea", 9, 5), Daily("Lunch", 12, 0)});
    std::vector<AlarmEditRequest> asked;
    MainWindowHooks hooks;
    hooks.openEditor = [&asked](QWidget*, const AlarmEditRequest& r) {
        asked.push_back(r);
        return std::nullopt;
    };
    TfrmAlMain w(g_, fakes_.Handed(), hooks);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    auto* edit = Find<QAction>(&w, "dxEditAlarm");
    EXPECT_FALSE(edit->isEnabled());
    edit->trigger();
    EXPECT_TRUE(asked.empty());

    auto* list = Find<QTableView>(&w, "grAlarms");
    const QRect row = list->visualRect(list->model()->index(1, 2));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row.center());
    ASSERT_TRUE(edit->isEnabled());
    edit->trigger();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].index, 2);
}

TEST_F(MainWindowTest, ClientModeOnlyViews) {
    g_.Settings.UserMode = "WClient";
    SetAlarms({Daily("Tea", 9, 5)});
    auto w = Make();
    EXPECT_EQ(w->windowTitle(), "Ringmere (Client Mode)");
    EXPECT_EQ(Find<QAction>(w.get(), "dxEditAlarm")->text(), "View Alarm");
    EXPECT_EQ(Find<QAction>(w.get(), "popEdit")->text(), "View Alarm");
    for (const char* a : {"dxAddAlarm2", "dxDeleteAlarm", "popDelete", "DuplicateAlarm1"})
        EXPECT_FALSE(Enabled(w.get(), a)) << a;
    w->ShowPage(1);
    w->ShowPage(0);
    EXPECT_FALSE(Enabled(w.get(), "dxDeleteAlarm"));

    auto* list = Find<QTableView>(w.get(), "grAlarms");
    SetCellCheck(list, 0, 0, Qt::Unchecked);
    ASSERT_EQ(dialogs_.shown.size(), 1);
    EXPECT_EQ(dialogs_.shown[0].text,
              "Running in client mode. Alarms can only be enabled/disabled by server");
    EXPECT_TRUE(g_.AlarmTable[1].enabled);
    EXPECT_EQ(CellCheck(list, 0, 0), Qt::Checked);
    EXPECT_FALSE(FileExists(g_.Settings.AlarmFile));
}

TEST_F(MainWindowTest, CheckBoxWritesTheFileAndRebuildsTheSchedule) {
    SetAlarms({Daily("Tea", 9, 5), Daily("Lunch", 12, 0)});
    auto w = Make();
    auto* list = Find<QTableView>(w.get(), "grAlarms");
    SetCellCheck(list, 0, 0, Qt::Unchecked);
    EXPECT_FALSE(g_.AlarmTable[1].enabled);
    EXPECT_EQ(CellText(Find<QTableView>(w.get(), "grEvents"), 0, 2), "Lunch");
    Globals reread;
    reread.ProgramDir = g_.ProgramDir;
    SetDefaultSettings(reread);
    SilentReporter quiet;
    ASSERT_EQ(ReadAlarmFile(reread, {.followClient = true}, quiet), kFileDone);
    EXPECT_FALSE(reread.AlarmTable[1].enabled);
    EXPECT_TRUE(reread.AlarmTable[2].enabled);
}

TEST_F(MainWindowTest, DeleteAsksThenRenumbersAndRebuilds) {
    SetAlarms({Daily("A", 9, 0), Daily("B", 10, 0), Daily("C", 11, 0)});
    auto w = Make();
    auto* list = Find<QTableView>(w.get(), "grAlarms");
    list->selectRow(1);

    dialogs_.answers = {widgets::Answer::Cancel};
    w->DeleteSelectedAlarm();
    EXPECT_EQ(g_.AlarmCount, 3);
    ASSERT_EQ(dialogs_.shown.size(), 1);
    EXPECT_EQ(dialogs_.shown[0].text, "Are you sure you want to delete the alarm \"B\"?");
    EXPECT_EQ(dialogs_.shown[0].topLeft, w->frameGeometry().topLeft());

    w->DeleteSelectedAlarm();
    ASSERT_EQ(g_.AlarmCount, 2);
    EXPECT_EQ(g_.AlarmTable[2].AlName, "C");
    EXPECT_EQ(g_.AlarmTable.size(), 4u);  // slot 0, two alarms, the spare
    EXPECT_EQ(RowCount(list), 2);
    EXPECT_EQ(CellText(list, 1, 2), "C");
    // The schedule refers to C by its new position.
    for (int i = 1; i <= g_.ScheduleCount; ++i) EXPECT_LE(g_.ScheduleTable[i].AlarmIndex, 2);
    EXPECT_EQ(g_.AlarmTable[g_.ScheduleTable[2].AlarmIndex].AlName, "C");
    EXPECT_TRUE(FileExists(g_.Settings.AlarmFile));

    list->selectRow(0);
    w->DeleteSelectedAlarm();
    list->selectRow(0);
    w->DeleteSelectedAlarm();
    EXPECT_EQ(g_.AlarmCount, 0);
    EXPECT_FALSE(Find<QLabel>(w.get(), "pnNoAlarms")->isHidden());
}

TEST_F(MainWindowTest, CheckLoopStartsDueAlarmsInPositionOrderSixASecond) {
    std::vector<AlRec> alarms;
    for (int i = 1; i <= 8; ++i) alarms.push_back(Daily("Alarm " + std::to_string(i), 9, 0));
    alarms.push_back(Daily("Later", 9, 0, 1));
    SetAlarms(alarms);
    auto w = Make();
    clock_.SetNow(EncodeDate(2026, 12, 9) + EncodeTime(8, 59, 59));
    w->CheckAlarms();
    EXPECT_TRUE(opened_.empty());

    // The tick lands exactly on the second: nothing may start twice.
    clock_.SetNow(EncodeDate(2026, 12, 9) + EncodeTime(9, 0, 0));
    w->CheckAlarms();
    EXPECT_EQ(opened_, (std::vector<int>{1, 2, 3, 4, 5, 6}));
    w->CheckAlarms();
    EXPECT_EQ(opened_.size(), 6u);
    ASSERT_EQ(titles_.size(), 6u);
    EXPECT_EQ(titles_[0]->text(), "Alarm, Alarm 1, Activated.");
    EXPECT_TRUE(w->AlarmCheck().isActive());
    // 7 and 8 wait for the next second, ahead of "Later", which is next in the table.
    EXPECT_EQ(g_.AlarmTable[g_.ScheduleTable[1].AlarmIndex].AlName, "Later");
    clock_.SetNow(EncodeDate(2026, 12, 9) + EncodeTime(9, 0, 1));
    w->CheckAlarms();
    EXPECT_EQ(opened_, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
    for (QLabel* t : titles_) delete t->parentWidget();
}

TEST_F(MainWindowTest, TestOpensTheSelectedAlarm) {
    SetAlarms({Daily("A", 9, 0), Daily("B", 10, 0)});
    auto w = Make();
    Find<QTableView>(w.get(), "grAlarms")->selectRow(1);
    w->TestSelectedAlarm();
    EXPECT_EQ(opened_, (std::vector<int>{2}));
    EXPECT_EQ(titles_.back()->text(), "Alarm, B, Activated.");
    delete titles_.back()->parentWidget();
}

TEST_F(MainWindowTest, ViewLogFileOpensAnExistingLogWhateverTheSetting) {
    auto w = Make();
    w->ViewLogFile();
    ASSERT_EQ(dialogs_.shown.size(), 1);
    EXPECT_EQ(dialogs_.shown[0].text,
              "Logging not enabled.\rTo enable logging, click on Options and select Additional "
              "Options.\rThen, check the Enable Logging checkbox and click the OK button");
    EXPECT_TRUE(desktopOpened_.isEmpty());

    std::string error;
    WriteFileAtomically(g_.ProgramDir + "allog.txt", "old\r\n", error);
    g_.Settings.enablelogging = false;
    w->ViewLogFile();
    EXPECT_EQ(
        desktopOpened_,
        QStringList{
            QUrl::fromLocalFile(QString::fromStdString(g_.ProgramDir + "allog.txt")).toString()});

    // The log viewer and the help (F1) open alike; a handler that gives up
    // says why.
    fakes_.desktop.laterFailure = QStringLiteral("no program that opens it was found.");
    w->ViewLogFile();
    ASSERT_EQ(dialogs_.shown.size(), 1);
    fakes_.desktop.GiveUp();
    ASSERT_EQ(dialogs_.shown.size(), 2);
    EXPECT_EQ(dialogs_.shown[1].text, "Could not open " +
                                          QString::fromStdString(g_.ProgramDir + "allog.txt") +
                                          ": no program that opens it was found.");
}

TEST_F(MainWindowTest, ClosingHidesOnlyTheSessionEndCloses) {
    trayAvailable_ = true;
    auto w = Make();
    w->show();
    widgets::SetVisibleWindowCount(1);
    EXPECT_FALSE(w->close());
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(widgets::VisibleWindowCount(), 0);
    w->ShowMainWindow();
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(widgets::VisibleWindowCount(), 1);
    w->SessionEnding();
    EXPECT_FALSE(w->AlarmCheck().isActive());
    EXPECT_TRUE(w->close());
    EXPECT_EQ(quits_, 0);
    EXPECT_FALSE(
        Find<QMenu>(w.get(), "File1")->actions().contains(Find<QAction>(w.get(), "Exit1")));
}

TEST_F(MainWindowTest, WithoutATrayClosingEndsTheProgramAndFileOffersExit) {
    auto w = Make();
    w->show();
    EXPECT_TRUE(Find<QMenu>(w.get(), "File1")->actions().contains(Find<QAction>(w.get(), "Exit1")));
    w->close();
    EXPECT_EQ(quits_, 1);
}

TEST_F(MainWindowTest, DeleteAndTestActOnlyOnASelectedRow) {
    SetAlarms({Daily("A", 9, 0), Daily("B", 10, 0)});
    auto w = Make();
    w->DeleteSelectedAlarm();
    w->TestSelectedAlarm();
    EXPECT_TRUE(dialogs_.shown.isEmpty());
    EXPECT_EQ(g_.AlarmCount, 2);
    EXPECT_TRUE(opened_.empty());
}

TEST_F(MainWindowTest, AFailedSaveIsReportedAndTheTableKeepsWhatTheFileHas) {
    const std::function<void(TfrmAlMain&, QTableView&)> changes[] = {
        [](TfrmAlMain&, QTableView& list) { SetCellCheck(&list, 1, 0, Qt::Unchecked); },
        [](TfrmAlMain& w, QTableView& list) {
            list.selectRow(1);
            w.DeleteSelectedAlarm();
        },
    };
    for (const auto& change : changes) {
        SetAlarms({Daily("A", 9, 0), Daily("B", 10, 0)});
        g_.Settings.AlarmFile = g_.ProgramDir + "no such folder/alfile.ini";
        dialogs_.shown.clear();
        auto w = Make();
        auto* list = Find<QTableView>(w.get(), "grAlarms");
        change(*w, *list);
        ASSERT_FALSE(dialogs_.shown.isEmpty());
        EXPECT_EQ(dialogs_.shown.last().kind, widgets::BoxKind::Warning);
        EXPECT_TRUE(dialogs_.shown.last().text.endsWith("The change was not saved."))
            << dialogs_.shown.last().text.toStdString();
        ASSERT_EQ(g_.AlarmCount, 2);
        EXPECT_EQ(g_.AlarmTable[2].AlName, "B");
        EXPECT_TRUE(g_.AlarmTable[2].enabled);
        ASSERT_EQ(RowCount(list), 2);
        EXPECT_EQ(CellText(list, 1, 2), "B");
        EXPECT_EQ(CellCheck(list, 1, 0), Qt::Checked);
    }
}

TEST_F(MainWindowTest, DamagedRecordsShowAsDamagedRowsThatCanOnlyBeDeleted) {
    SetAlarms({Daily("A", 9, 0), Daily("B", 10, 0), AlRec{}});
    g_.AlarmFileDamaged = true;
    g_.FirstDamagedAlarm = 2;
    std::string error;
    ASSERT_EQ(WriteFileAtomically(g_.Settings.AlarmFile, "original", error), kWriteDone);
    auto w = Make();
    auto* list = Find<QTableView>(w.get(), "grAlarms");
    ASSERT_EQ(RowCount(list), 3);
    EXPECT_EQ(CellText(list, 0, 2), "A");
    for (int row : {1, 2}) {
        EXPECT_EQ(CellText(list, row, 2), "(damaged: could not be read)");
        EXPECT_FALSE(CellFlags(list, row, 0) & Qt::ItemIsUserCheckable);
        EXPECT_FALSE(CellData(list, row, 0, Qt::CheckStateRole).isValid());
    }
    list->selectRow(1);
    EXPECT_FALSE(Enabled(w.get(), "dxTestAlarm"));
    EXPECT_TRUE(Enabled(w.get(), "dxDeleteAlarm"));
    w->TestSelectedAlarm();
    EXPECT_TRUE(opened_.empty());
    w->SetAlarmEnabled(2, false);
    EXPECT_TRUE(g_.AlarmTable[2].enabled);
    EXPECT_EQ(ReadFileText(g_.Settings.AlarmFile), "original");

    // Deleting the readable alarm moves the damaged ones up.
    list->selectRow(0);
    w->DeleteSelectedAlarm();
    EXPECT_EQ(g_.FirstDamagedAlarm, 1);
    ASSERT_EQ(RowCount(list), 2);
    for (int row : {0, 1}) EXPECT_EQ(CellText(list, row, 2), "(damaged: could not be read)");
    EXPECT_EQ(ReadFileText(g_.Settings.AlarmFile + ".damaged"), "original");
    ASSERT_EQ(dialogs_.shown.size(), 2);  // the confirmation, then where the original went
    EXPECT_TRUE(dialogs_.shown[1].text.contains("alfile.ini.damaged"));
    // A damaged row may go too; the confirmation names it as it is shown.
    list->selectRow(1);
    w->DeleteSelectedAlarm();
    EXPECT_EQ(dialogs_.shown[2].text,
              "Are you sure you want to delete the alarm \"(damaged: could not be read)\"?");
    EXPECT_EQ(g_.AlarmCount, 1);
    EXPECT_EQ(g_.FirstDamagedAlarm, 1);
}

// A file damaged in alarm 2 of 3, then one click on an enable box: the
// original stays beside the file, byte for byte.
TEST_F(MainWindowTest, AnEnableClickAfterADamagedReadKeepsTheOriginal) {
    SetAlarms({Daily("A", 9, 0), Daily("B", 10, 0), Daily("C", 11, 0)});
    SilentReporter quiet;
    ASSERT_EQ(WriteAlarmFile(g_, g_.Settings.AlarmFile, quiet), kFileDone);
    std::string text = ReadFileText(g_.Settings.AlarmFile);
    const std::size_t first = text.find("snoozeming=");
    const std::size_t second = text.find("snoozeming=", first + 1);
    ASSERT_NE(second, std::string::npos);
    text.replace(second, text.find("\r\n", second) - second, "snoozeming=five");
    std::string error;
    ASSERT_EQ(WriteFileAtomically(g_.Settings.AlarmFile, text, error), kWriteDone);

    Globals read;
    read.ProgramDir = g_.ProgramDir;
    SetDefaultSettings(read);
    CollectingReporter said;
    ReadAlarmFile(read, {.followClient = true}, said);
    EXPECT_FALSE(said.messages.empty());
    EXPECT_TRUE(read.AlarmFileDamaged);
    EXPECT_EQ(read.FirstDamagedAlarm, 2);
    run::testing::FakeServices fakes(read);
    TfrmAlMain w(read, fakes.Handed());
    SetCellCheck(Find<QTableView>(&w, "grAlarms"), 0, 0, Qt::Unchecked);
    EXPECT_EQ(ReadFileText(read.Settings.AlarmFile + ".damaged"), text);
    EXPECT_NE(ReadFileText(read.Settings.AlarmFile), text);
    ASSERT_FALSE(fakes.dialogs.shown.isEmpty());
    EXPECT_TRUE(fakes.dialogs.shown.last().text.contains("alfile.ini.damaged"));
}

TEST_F(MainWindowTest, PlacementSavedThenRestoredIsTheSame) {
    SettingsRec& s = g_.Settings;
    s.Status = 0;
    s.Left = 40;
    s.Top = 50;
    s.Width = 500;
    s.Height = 400;
    for (int start = 0; start < 2; ++start) {
        auto w = Make();
        w->show();
        w->ExitProgram();
        EXPECT_EQ((std::vector<int>{s.Left, s.Top, s.Width, s.Height}),
                  (std::vector<int>{40, 50, 500, 400}))
            << "start " << start;
    }
}

TEST_F(MainWindowTest, ExitEndsTheRunsWaitingInNestedLoops) {
    SetAlarms({run::testing::Script("Nap", {run::testing::Sleep(3600)})});
    MainWindowHooks hooks;
    TfrmAlMain* window = nullptr;
    bool closedOnQuit = false;
    // Quitting closes the windows first; a refusal would keep the program.
    hooks.quit = [&] {
        ++quits_;
        closedOnQuit = window->close();
    };
    hooks.trayAvailable = [] { return true; };
    TfrmAlMain w(g_, fakes_.Handed(), hooks);
    window = &w;
    w.show();
    Find<QTableView>(&w, "grAlarms")->selectRow(0);
    w.TestSelectedAlarm();
    QPointer<run::TfrmActiveAlarm> runWindow;
    for (QWidget* t : QApplication::topLevelWidgets())
        if (auto* r = qobject_cast<run::TfrmActiveAlarm*>(t)) runWindow = r;
    ASSERT_TRUE(runWindow);
    bool ranOn = false;
    clock_.At(5000, [&] { w.ExitProgram(); });
    clock_.At(6000, [&] { ranOn = runWindow && !runWindow->IsClosed(); });
    clock_.Advance(2 * 3600 * 1000);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(ranOn);
    EXPECT_FALSE(runWindow);
    EXPECT_TRUE(clock_.quitting);
    EXPECT_EQ(quits_, 1);
    EXPECT_TRUE(closedOnQuit);
}

TEST_F(MainWindowTest, ActionHintsFollowTheSetting) {
    AlRec a = Daily("Tea", 9, 5);
    a.Web->url1 = "https://example.org";
    SetAlarms({a});
    auto w = Make();
    w->resize(800, 400);
    w->show();
    auto* list = Find<QTableView>(w.get(), "grAlarms");
    const int x = list->columnViewportPosition(3) + 8;
    const int y = list->rowViewportPosition(0) + 2;
    EXPECT_EQ(w->ActionHintAt({x, y}), "Launch https://example.org");
    EXPECT_EQ(w->ActionHintAt({x + 18, y}), "");
    EXPECT_EQ(w->ActionHintAt({list->columnViewportPosition(2) + 4, y}), "");
    g_.Settings.dispevdesc = false;
    EXPECT_EQ(w->ActionHintAt({x, y}), "");
}

}  // namespace
}  // namespace ringmere::ui

namespace ringmere::ui {
namespace {

class PowerTest : public MainWindowTest {
protected:
    std::unique_ptr<TfrmAlMain> MakeWithWake(bool canCreate = true) {
        MainWindowHooks hooks;
        hooks.startWakeThread = [this, canCreate](DateTime target) {
            starts_.push_back(target);
            return canCreate;
        };
        hooks.stopWakeThread = [this] { ++stops_; };
        return std::make_unique<TfrmAlMain>(g_, fakes_.Handed(), hooks);
    }
    std::vector<DateTime> starts_;
    int stops_ = 0;
};

TEST_F(PowerTest, SuspendArmsTheThreadForTheFirstEntryAndResumeStopsIt) {
    g_.Settings.allowWake = true;
    SetAlarms({Daily("Tea", 9, 5)});
    auto w = MakeWithWake();
    w->PowerEvent(kPowerSuspend);
    ASSERT_EQ(starts_.size(), 1u);
    EXPECT_EQ(starts_[0], g_.ScheduleTable[1].When);
    EXPECT_TRUE(w->WakeThreadRunning());
    // A second suspend replaces the thread.
    w->PowerEvent(kPowerSuspend);
    EXPECT_EQ(stops_, 1);
    EXPECT_EQ(starts_.size(), 2u);
    for (int code : {kPowerResumeSuspend, kPowerSuspendFailed}) {
        w->PowerEvent(code);
        EXPECT_FALSE(w->WakeThreadRunning());
    }
    EXPECT_EQ(stops_, 2);  // the second resume had nothing to stop
    w->PowerEvent(kPowerSuspend);
    w.reset();  // the window's end stops a running thread
    EXPECT_EQ(stops_, 3);
}

TEST_F(PowerTest, NoThreadWithoutWakeOrWithoutEntries) {
    SetAlarms({Daily("Tea", 9, 5)});
    auto w = MakeWithWake();
    w->PowerEvent(kPowerSuspend);  // allowWake off
    EXPECT_TRUE(starts_.empty());

    g_.Settings.allowWake = true;
    g_.AlarmTable[1].enabled = false;
    BuildSchedule(g_, clock_);
    w->PowerEvent(kPowerSuspend);
    EXPECT_TRUE(starts_.empty());
}

TEST_F(PowerTest, AThreadThatEndsAtOnceIsNotRunning) {
    g_.Settings.allowWake = true;
    SetAlarms({Daily("Tea", 9, 5)});
    TfrmAlMain* window = nullptr;
    MainWindowHooks hooks;
    // As start-up does when the thread could not set its timer.
    hooks.startWakeThread = [&window](DateTime) {
        window->WakeThreadEnded();
        return true;
    };
    TfrmAlMain w(g_, fakes_.Handed(), hooks);
    window = &w;
    w.PowerEvent(kPowerSuspend);
    EXPECT_FALSE(w.WakeThreadRunning());
}

TEST_F(PowerTest, AThreadThatCannotBeCreatedIsReported) {
    g_.Settings.allowWake = true;
    SetAlarms({Daily("Tea", 9, 5)});
    auto w = MakeWithWake(false);
    w->PowerEvent(kPowerSuspend);
    EXPECT_FALSE(w->WakeThreadRunning());
    EXPECT_TRUE(dialogs_.shown.isEmpty());  // not while the system waits for the handler
    QCoreApplication::processEvents();
    ASSERT_EQ(dialogs_.shown.size(), 1);
    EXPECT_EQ(dialogs_.shown[0].text, "Error creating thread.");
}

}  // namespace
}  // namespace ringmere::ui

namespace ringmere::ui {
namespace {

TEST_F(MainWindowTest, HelpOpensTheShippedPageOrNamesTheMissingFile) {
    auto w = Make();
    const QString page = HelpPage(QStringLiteral("index.html"));
    w->HelpContents();
    if (QFileInfo::exists(page)) {
        EXPECT_EQ(desktopOpened_, QStringList{QUrl::fromLocalFile(page).toString()});
    } else {
        ASSERT_EQ(dialogs_.shown.size(), 1);
        EXPECT_EQ(dialogs_.shown[0].text, "Unable to find help file: " + page);
        EXPECT_TRUE(QFileInfo(page).isAbsolute());
    }
}

}  // namespace
}  // namespace ringmere::ui
