// The alarm editor driven headless: opening modes, the round trip of real
// files, the order of the checks, the name prompts and the save.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "core/alarmfile.h"
#include "core/fileio.h"
#include "tests/core/record_generator.h"
#include "tests/run/fake_services.h"
#include "tests/ui/list_cells.h"
#include "ui/AddException.h"
#include "ui/alarm.h"
#include "ui/alarminfo.h"
#include "ui/alarmset.h"
#include "ui/alarmtime.h"
#include "widgets/dialogs.h"

namespace ringmere::ui {
namespace {

using namespace testing;

using widgets::BoxKind;

AlRec Weekly(const std::string& name) {
    AlRec a;
    a.AlName = name;
    a.enabled = true;
    a.snoozeming = 10;
    a.Music->MuType = kMusicSilent;
    a.Schedule.AlType = kWeekly;
    a.Schedule.AlXWeeks = 1;
    a.Schedule.AlWeekdays = {2, 6};
    a.Schedule.AlWeekdaynum = 2;
    a.Schedule.AlEndType = kEndNever;
    a.Schedule.AlStartDate = EncodeDate(2026, 1, 1);
    a.Schedule.AlTime = EncodeTime(8, 30, 0);
    return a;
}

class AlarmEditorTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        g_.ProgramDir = QDir(dir_.path()).absolutePath().toStdString() + "/";
        SetDefaultSettings(g_);
        fakes_.clock.SetNow(EncodeDate(2026, 12, 9) + EncodeTime(8, 0, 0));
    }

    void SetAlarms(const std::vector<AlRec>& alarms) {
        g_.AlarmCount = Integer(alarms.size());
        g_.ResetAlarmTable(g_.AlarmCount);
        for (std::size_t i = 0; i < alarms.size(); ++i) g_.AlarmTable[i + 1] = alarms[i];
    }

    std::unique_ptr<TfrmAddAlarm> Open(int index, bool adding = false, bool duplicating = false) {
        using Mode = AlarmEditRequest::Mode;
        const AlarmEditRequest request{adding        ? Mode::Add
                                       : duplicating ? Mode::Duplicate
                                                     : Mode::Edit,
                                       adding ? 0 : index};
        return std::make_unique<TfrmAddAlarm>(g_, fakes_.Handed(), request, nullptr);
    }

    template <class T>
    static T* Find(QWidget* w, const char* name) {
        T* found = w->findChild<T*>(QString::fromLatin1(name));
        EXPECT_TRUE(found) << name;
        return found;
    }

    std::string FileText() const { return ReadWholeFile(g_.Settings.AlarmFile).value_or("(none)"); }
    bool FileExists() const { return std::filesystem::exists(g_.Settings.AlarmFile); }
    QStringList Shown() const {
        QStringList out;
        for (const auto& s : fakes_.dialogs.shown) out << s.text;
        return out;
    }

    QTemporaryDir dir_;
    Globals g_;
    run::testing::FakeServices fakes_{g_};
};

// Every alarm of the sample, the golden and the older-version files, opened
// and saved without a change: the same record and the same file bytes. An
// alarm the checks refuse changes nothing either.
TEST_F(AlarmEditorTest, OpeningAndSavingChangesNothing) {
    QStringList files = {QStringLiteral("sample/alfile.ini"), QStringLiteral("golden/full.ini")};
    for (const QString& v : QDir(QStringLiteral(RINGMERE_TEST_DATA "/versions")).entryList({"*.ini"}))
        files << QStringLiteral("versions/") + v;
    int saved = 0, refused = 0;
    for (const QString& file : files) {
        SCOPED_TRACE(file.toStdString());
        Globals& g = g_;
        g = Globals();
        g.ProgramDir = QDir(dir_.path()).absolutePath().toStdString() + "/";
        SetDefaultSettings(g);
        QFile::remove(QString::fromStdString(g.LocalAlarmFilePath()));
        ASSERT_TRUE(QFile::copy(QStringLiteral(RINGMERE_TEST_DATA "/") + file,
                                QString::fromStdString(g.LocalAlarmFilePath())));
        SilentReporter silent;
        ASSERT_EQ(ReadAlarmFile(g, {.followClient = false}, silent), kFileDone);
        ASSERT_EQ(SaveAlarmFile(g, g.Settings.AlarmFile, silent), kFileDone);
        const std::string before = FileText();
        for (int i = 1; i <= g.AlarmCount; ++i) {
            SCOPED_TRACE(i);
            const AlRec record = g.AlarmTable[i];
            fakes_.dialogs.shown.clear();
            auto editor = Open(i);
            editor->BitBtn1Click();
            EXPECT_EQ(g.AlarmTable[i], record);
            EXPECT_EQ(FileText(), before);
            if (editor->result() == QDialog::Accepted) {
                ++saved;
            } else {
                // Only what the checks must refuse: an older file's snooze of 0, or
                // every X months with no months.
                ++refused;
                const bool badSnooze = record.snoozeming < 1 || record.snoozeming > 90;
                const bool badMonths = record.Schedule.AlType == kEveryXMonths &&
                                       (record.Schedule.AlXMonths < 1 || record.Schedule.AlXMonths > 100);
                EXPECT_TRUE(badSnooze || badMonths) << Shown().join("|").toStdString();
                EXPECT_EQ(fakes_.dialogs.shown.size(), 1);
            }
        }
    }
    EXPECT_GE(saved, 12);
    EXPECT_GE(refused, 1);
}

// Random records, damaged values included. The first save may put a value
// the editor cannot show into its nearest form (an end type of 188 saves as
// no end); from then on opening and saving without a change keeps the record
// and the file as they are. A record the checks refuse is never changed.
TEST_F(AlarmEditorTest, RandomRecordsOpenAndSaveUnchanged) {
    ringmere::testing::Generator gen(20261209);
    int saved = 0;
    for (int round = 0; round < 30; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        ringmere::testing::ScratchDir dir;
        ringmere::testing::Pair p;
        ringmere::testing::Generate(gen, dir, p);
        Globals& g = p.expected;
        g.Settings.UserMode = "Single";
        g.Settings.AlarmFile = g.ProgramDir + "alfile.ini";
        const auto save = [&](int i) {
            fakes_.dialogs.shown.clear();
            TfrmAddAlarm editor(g, fakes_.Handed(), {AlarmEditRequest::Mode::Edit, i}, nullptr);
            editor.BitBtn1Click();
            return editor.result() == QDialog::Accepted;
        };
        for (int i = 1; i <= g.AlarmCount; ++i) {
            SCOPED_TRACE("alarm " + std::to_string(i));
            const AlRec record = g.AlarmTable[i];
            if (!save(i)) {
                EXPECT_EQ(g.AlarmTable[i], record);
                EXPECT_FALSE(fakes_.dialogs.shown.isEmpty());
                continue;
            }
            const AlRec first = g.AlarmTable[i];
            const std::string file = ReadWholeFile(g.Settings.AlarmFile).value_or("");
            ASSERT_TRUE(save(i));
            EXPECT_EQ(g.AlarmTable[i], first);
            EXPECT_EQ(ReadWholeFile(g.Settings.AlarmFile).value_or(""), file);
            ++saved;
            if (HasFailure()) return;
        }
    }
    EXPECT_GT(saved, 10);
}

TEST_F(AlarmEditorTest, AddingStoresANewEnabledAlarmAndWritesTheFileOnce) {
    SetAlarms({Weekly("Tea")});
    auto editor = Open(0, /*adding=*/true);
    EXPECT_EQ(editor->windowTitle(), "Add Alarm");
    Find<QLineEdit>(editor.get(), "teAlName")->setText(QStringLiteral("Walk"));
    Find<QRadioButton>(editor.get(), "rbWeekly")->click();
    Find<QCheckBox>(editor.get(), "cbTuesday")->click();
    Find<QRadioButton>(editor.get(), "rbNoEnd")->click();
    editor->BitBtn1Click();
    ASSERT_EQ(editor->result(), QDialog::Accepted) << Shown().join("|").toStdString();
    ASSERT_EQ(g_.AlarmCount, 2);
    const AlRec& a = g_.AlarmTable[2];
    EXPECT_EQ(a.AlName, "Walk");
    EXPECT_TRUE(a.enabled);
    EXPECT_EQ(a.Schedule.AlType, kWeekly);
    EXPECT_EQ(a.Schedule.AlWeekdays, std::vector<Integer>{3});
    EXPECT_EQ(a.Schedule.AlEndType, kEndNever);
    EXPECT_EQ(a.Schedule.AlStartDate, EncodeDate(2026, 12, 9));
    EXPECT_EQ(editor->Saved(), 2);
    // The file holds both alarms; the scheduler sees a Tuesday at 8:15.
    EXPECT_NE(FileText().find("AlName=Walk"), std::string::npos);
    const auto next = NextOccurrences(a, g_.GlobalExceptions, fakes_.clock.Now(), 1);
    ASSERT_EQ(next.size(), 1u);
    EXPECT_EQ(next[0], EncodeDate(2026, 12, 15) + EncodeTime(8, 15, 0));
}

// The file could not take the alarm: the user is told, the table keeps it.
TEST_F(AlarmEditorTest, AFailedWriteIsToldAndTheAlarmKept) {
    SetAlarms({Weekly("Tea")});
    g_.Settings.AlarmFile = g_.ProgramDir + "missing/alfile.ini";
    auto editor = Open(0, true);
    Find<QLineEdit>(editor.get(), "teAlName")->setText(QStringLiteral("Walk"));
    editor->BitBtn1Click();
    EXPECT_EQ(editor->result(), QDialog::Accepted);
    ASSERT_EQ(g_.AlarmCount, 2);
    EXPECT_EQ(g_.AlarmTable[2].AlName, "Walk");
    ASSERT_EQ(fakes_.dialogs.shown.size(), 1);
    EXPECT_EQ(fakes_.dialogs.shown[0].kind, BoxKind::Warning);
    EXPECT_TRUE(fakes_.dialogs.shown[0].text.contains("The change was not saved."));
}

// Both sets start a new alarm at the next full quarter hour by the program's
// clock, and would end there: an end date chosen without touching it never
// lies in the past.
TEST_F(AlarmEditorTest, ANewAlarmStartsAtTheNextQuarterHour) {
    struct Case {
        int hour, minute, second;
        int day, startHour, startMinute;  // of December 2026
    };
    for (const Case& c :
         {Case{8, 0, 0, 9, 8, 15}, Case{8, 7, 30, 9, 8, 15}, Case{8, 44, 59, 9, 8, 45},
          Case{0, 0, 1, 9, 0, 15}, Case{23, 45, 0, 10, 0, 0}, Case{23, 59, 59, 10, 0, 0}}) {
        fakes_.clock.SetNow(EncodeDate(2026, 12, 9) + EncodeTime(c.hour, c.minute, c.second));
        auto editor = Open(0, true);
        for (FormSet set : {FormSet::Simple, FormSet::Scripted}) {
            SCOPED_TRACE(std::to_string(c.hour) + ":" + std::to_string(c.minute) + ":" +
                         std::to_string(c.second) +
                         (set == FormSet::Simple ? " simple" : " scripted"));
            const ScheduleForm form = editor->TimePage(set)->Form();
            EXPECT_EQ(form.startDate, EncodeDate(2026, 12, c.day));
            EXPECT_EQ(form.startTime, EncodeTime(c.startHour, c.startMinute, 0));
            EXPECT_EQ(form.endDate, form.startDate);
            EXPECT_EQ(form.endTime, form.startTime);
        }
    }
}

// A form failing two checks shows the first, brings its tab forward and
// stores and writes nothing.
TEST_F(AlarmEditorTest, TheFirstFailingCheckStopsTheSave) {
    SetAlarms({Weekly("Tea")});
    auto editor = Open(1);
    for (const char* box : {"cbMonday", "cbFriday"}) Find<QCheckBox>(editor.get(), box)->click();
    Find<QLineEdit>(editor.get(), "teSnoozeMin2")->setText(QStringLiteral("ten"));
    editor->BitBtn1Click();
    EXPECT_NE(editor->result(), QDialog::Accepted);
    EXPECT_EQ(Shown(), QStringList{"Warning: No days of week selected. Please select at least one "
                                   "day of the week."});
    auto* tabs = Find<QTabWidget>(editor.get(), "pcSimple");
    EXPECT_EQ(tabs->currentWidget(), editor->TimePage(FormSet::Simple));
    EXPECT_EQ(editor->TimePage(FormSet::Simple)->InnerTabs()->currentIndex(), AlarmTimePage::kRepeat);
    EXPECT_EQ(g_.AlarmTable[1], Weekly("Tea"));
    EXPECT_FALSE(FileExists());

    fakes_.dialogs.shown.clear();
    Find<QCheckBox>(editor.get(), "cbMonday")->click();
    editor->BitBtn1Click();
    EXPECT_EQ(Shown(), QStringList{"Invalid number of minutes to snooze."});
    EXPECT_EQ(tabs->currentWidget(), editor->InfoPage(FormSet::Simple));
    EXPECT_FALSE(FileExists());
}

TEST_F(AlarmEditorTest, NeverOccursWarnsAndStillSaves) {
    AlRec a = Weekly("Tea");
    a.Exceptions.Count = 1;
    a.Exceptions.Items.resize(1);
    a.Exceptions.Items[0].ExType = kExWeekdays;
    a.Exceptions.Items[0].ExWeekDays = {2, 4, 6};
    a.Exceptions.Items[0].ExWeekdayNum = 3;
    SetAlarms({a});
    auto editor = Open(1);
    editor->BitBtn1Click();
    EXPECT_EQ(editor->result(), QDialog::Accepted);
    EXPECT_EQ(Shown(), QStringList{"Warning: Alarm exception causes alarm to never occur."});
    EXPECT_TRUE(FileExists());
}

TEST_F(AlarmEditorTest, NamesAreProposedAndTakenNamesAskedAgain) {
    SetAlarms({Weekly("Tea"), Weekly("Alarm 3")});
    {
        // Empty name, box closed: the proposal "Alarm 3" is taken, so asked
        // again; "tea" differs from "Tea" only in case and is free.
        auto editor = Open(0, true);
        fakes_.dialogs.inputs = {std::nullopt, QStringLiteral("Tea"), QStringLiteral("tea")};
        editor->BitBtn1Click();
        ASSERT_EQ(editor->result(), QDialog::Accepted);
        EXPECT_EQ(g_.AlarmTable[3].AlName, "tea");
    }
    {
        // Giving up while the proposal is taken returns to the editor.
        auto editor = Open(0, true);
        Find<QLineEdit>(editor.get(), "teAlName")->setText(QStringLiteral("Tea"));
        g_.AlarmTable[3].AlName = "Alarm 4";
        fakes_.dialogs.inputs = {std::nullopt};
        editor->BitBtn1Click();
        EXPECT_NE(editor->result(), QDialog::Accepted);
        EXPECT_EQ(g_.AlarmCount, 3);
    }
}

// A duplicate keeps what the form does not show, gets a name of its own and
// comes last, enabled; the next Add composes an empty alarm.
TEST_F(AlarmEditorTest, DuplicateCopiesEverythingButTheName) {
    AlRec a = Weekly("Tea");
    a.enabled = false;
    a.Mail->servername = "kept.example.org";
    a.Schedule.AlXTimes = 7;
    a.mtype = kScriptedAlarm;
    a.Events.Count = 1;
    a.Events.Items.resize(1);
    a.Events.Items[0].evname = "Sleep";
    a.Events.Items[0].evtype = kStepSleep;
    SetAlarms({a});
    auto editor = Open(1, false, true);
    EXPECT_EQ(editor->windowTitle(), "Duplicate Alarm");
    EXPECT_TRUE(Find<QLineEdit>(editor.get(), "teAlName2")->text().isEmpty());
    fakes_.dialogs.inputs = {QStringLiteral("Tea again")};
    editor->BitBtn1Click();
    ASSERT_EQ(editor->result(), QDialog::Accepted);
    ASSERT_EQ(g_.AlarmCount, 2);
    AlRec expected = a;
    expected.AlName = "Tea again";
    expected.enabled = true;
    EXPECT_EQ(g_.AlarmTable[2], expected);
    EXPECT_EQ(g_.AlarmTable[1], a);

    auto next = Open(0, true);
    EXPECT_TRUE(Find<QLineEdit>(next.get(), "teAlName")->text().isEmpty());
    EXPECT_EQ(next->WorkingScript().Count, 0);
    EXPECT_EQ(next->WorkingExceptions().Count, 0);
    EXPECT_TRUE(Find<QRadioButton>(next.get(), "rbSimple")->isChecked());
}

TEST_F(AlarmEditorTest, ClientModeOnlyShows) {
    SetAlarms({Weekly("Tea")});
    g_.Settings.UserMode = "Client";
    g_.Settings.AlarmFile = g_.ProgramDir + "shared.ini";
    auto editor = Open(1);
    EXPECT_EQ(editor->windowTitle(), "View Alarm (Client Mode)");
    EXPECT_EQ(Find<QPushButton>(editor.get(), "btnExcept2")->text(), "View Exception");
    EXPECT_FALSE(Find<QRadioButton>(editor.get(), "rbScripted")->isEnabled());
    Find<QLineEdit>(editor.get(), "teAlName")->setText(QStringLiteral("Changed"));
    editor->BitBtn1Click();
    EXPECT_EQ(g_.AlarmTable[1], Weekly("Tea"));
    EXPECT_FALSE(FileExists());
    EXPECT_TRUE(fakes_.dialogs.shown.isEmpty());
}

// Both exception lists show the same rules; a delete renumbers them; Cancel
// leaves the alarm's own rules as they were.
TEST_F(AlarmEditorTest, ExceptionListsStayTogetherAndCancelDiscards) {
    AlRec a = Weekly("Tea");
    a.Exceptions.Count = 3;
    a.Exceptions.Items.resize(3);
    a.Exceptions.Items[0].ExType = kExDailyWindow;
    a.Exceptions.Items[1].ExType = kExDates;
    a.Exceptions.Items[2].ExType = kExWeekdays;
    a.Exceptions.Items[2].ExWeekDays = {1};
    a.Exceptions.Items[2].ExWeekdayNum = 1;
    SetAlarms({a});
    auto editor = Open(1);
    auto* simple = Find<QListWidget>(editor.get(), "clExcepts2");
    auto* scripted = Find<QListWidget>(editor.get(), "clExcepts");
    simple->setCurrentRow(0);
    Find<QPushButton>(editor.get(), "btndexcept2")->click();
    for (QListWidget* list : {simple, scripted}) {
        ASSERT_EQ(list->count(), 2);
        EXPECT_EQ(list->item(0)->text(), "1: Selected Dates");
        EXPECT_EQ(list->item(1)->text(), "2: Weekly");
    }

    // A rule chosen with the arrow keys is the one Edit opens.
    QTest::keyClick(scripted, Qt::Key_Down);
    Integer opened = 0;
    QTimer::singleShot(0, [&opened] {
        auto* rule = qobject_cast<TfrmExceptions*>(QApplication::activeModalWidget());
        if (!rule) return;
        opened = rule->Request().index;
        rule->reject();
    });
    Find<QPushButton>(editor.get(), "btnExcept")->click();
    EXPECT_EQ(opened, 2);

    editor->reject();
    EXPECT_EQ(g_.AlarmTable[1].Exceptions, a.Exceptions);
}

TEST_F(AlarmEditorTest, TheRepeatNoteShowsOnceForANewIndividualAlarm) {
    {
        auto editor = Open(0, true);
        QTabWidget* inner = editor->TimePage(FormSet::Simple)->InnerTabs();
        inner->setCurrentIndex(AlarmTimePage::kRepeat);
        EXPECT_EQ(inner->currentIndex(), AlarmTimePage::kStartEnd);
        ASSERT_EQ(fakes_.dialogs.shown.size(), 1);
        EXPECT_TRUE(fakes_.dialogs.shown[0].text.startsWith("Note: To set up a repeating alarm"));
        inner->setCurrentIndex(AlarmTimePage::kRepeat);
        EXPECT_EQ(inner->currentIndex(), AlarmTimePage::kRepeat);
    }
    g_.RepeatNoteShown = false;
    SetAlarms({Weekly("Tea")});
    g_.AlarmTable[1].Schedule.AlEndType = kEndOnce;
    auto editor = Open(1);
    editor->TimePage(FormSet::Simple)->InnerTabs()->setCurrentIndex(AlarmTimePage::kRepeat);
    EXPECT_EQ(fakes_.dialogs.shown.size(), 1);  // only the first one's
}

// The main window refills its lists after a save and selects the alarm.
TEST_F(AlarmEditorTest, MainWindowSelectsTheSavedAlarm) {
    SetAlarms({Weekly("Tea")});
    MainWindowHooks hooks;
    hooks.trayAvailable = [] { return false; };
    int opened = 0;
    hooks.openEditor = [&](QWidget*, const AlarmEditRequest&) -> std::optional<Integer> {
        ++opened;
        AlRec added = Weekly("Walk");
        g_.AlarmTable.resize(4);
        g_.AlarmTable[2] = added;
        g_.AlarmCount = 2;
        return 2;
    };
    TfrmAlMain main(g_, fakes_.Handed(), hooks);
    main.findChild<QAction*>(QStringLiteral("dxAddAlarm2"))->trigger();
    EXPECT_EQ(opened, 1);
    auto* list = Find<QTableView>(&main, "grAlarms");
    ASSERT_EQ(RowCount(list), 2);
    EXPECT_EQ(CellText(list, 1, 2), "Walk");
    EXPECT_EQ(main.SelectedRow(), 2);
    EXPECT_GT(RowCount(Find<QTableView>(&main, "grEvents")), 0);
}

}  // namespace
}  // namespace ringmere::ui
