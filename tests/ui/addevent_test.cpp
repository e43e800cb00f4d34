// The script step editor and the alarm editor's step list, driven headless
// over the fake services.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

#include "core/script_list.h"
#include "tests/run/fake_services.h"
#include "ui/AddEvent.h"
#include "ui/alarmset.h"

namespace ringmere::ui {
namespace {

// A step of `kind` with every kind's fields filled in.
AlEvent Full(Byte kind) {
    AlEvent e;
    e.evtype = kind;
    *e.Music = {kMusicWave,
                {"/m/wake.mp3", kInternalPlayer},
                {"/s/bell.wav", kWavForSeconds, 12},
                {"E", kCdRandomTrack, 7}};
    *e.Dial = {true, false, "Office line", 3};
    *e.Launch = {"/usr/bin/backup", "--all \"my files\""};
    *e.Web = {"https://example.org/status", true};
    *e.Mail = {true,
               "",
               "",
               "me@example.org",
               "a@example.org;b@example.org",
               "Caf\xE9 opens",
               "first\r\nsecond",
               2,
               {"/tmp/one.txt", "/tmp/r\xE9sum\xE9.pdf"}};
    e.sseconds = 45;
    e.Synch->synchserver = "ntp.example.net";  // not in the list
    *e.Ftp = {false,
              "ftp.example.org",
              "/pub/in",
              "/home/me/out",
              2121,
              "me",
              "secret",
              false,
              false,
              true,
              true,
              9,
              45,
              true,
              "Backup line",
              2,
              60,
              kFtpAllFiles};
    e.Repeat = {3, kRepeatUntilStopped, 9};
    *e.FileOp = {kFopMove, "/a/*.txt", "/b/", "/tmp/old"};
    e.evname = StepDescription(e);
    return e;
}

AlEventList Script(std::vector<AlEvent> steps) {
    return {Integer(steps.size()), std::move(steps)};
}

class StepEditorTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_.ProgramDir = QDir(dir_.path()).absolutePath().toStdString() + "/";
        SetDefaultSettings(g_);
        g_.Settings.ReplyTo = "me@example.org";
        g_.ResetAlarmTable(0);
    }

    std::unique_ptr<TfrmAddEvent> Open(bool adding, Integer index) {
        return std::make_unique<TfrmAddEvent>(g_, fakes_.Handed(),
                                              StepEditRequest{script_, index, adding}, nullptr);
    }
    // What the alarm editor does after the step editor closes: an accepted
    // step goes into the script. The step's number, 0 when none was kept.
    Integer Kept(const TfrmAddEvent& editor) {
        if (editor.result() != QDialog::Accepted) return 0;
        return PutStep(script_, editor.Request(), editor.Result());
    }

    template <class T = QWidget>
    static T* Find(QWidget* w, const char* name) {
        T* found = w->findChild<T*>(QString::fromLatin1(name));
        EXPECT_TRUE(found) << name;
        return found;
    }
    static void Click(QWidget* w, const char* name) { Find<QAbstractButton>(w, name)->click(); }
    static void Type(QWidget* w, const char* name, const char* text) {
        Find<QLineEdit>(w, name)->setText(QString::fromUtf8(text));
    }
    QStringList Shown() const {
        QStringList out;
        for (const auto& s : fakes_.dialogs.shown) out << s.text;
        return out;
    }

    QTemporaryDir dir_;
    Globals g_;
    run::testing::FakeServices fakes_{g_};
    AlEventList script_;  // the alarm editor's working script
};

// Every kind, opened on its own step and saved: the same step, byte for byte.
const char* const kPages[] = {"Music", "Dialup", "File", "Web",    "Page",
                              "Sleep", "SynchP", "FTP",  "Repeat", "FileOp"};
TEST_F(StepEditorTest, EveryKindOpensAndSavesUnchanged) {
    std::vector<AlEvent> steps;
    for (Byte kind = kStepSound; kind <= kStepFileOp; ++kind) steps.push_back(Full(kind));
    script_ = Script(steps);
    const AlEventList before = script_;
    for (Integer k = 1; k <= before.Count; ++k) {
        auto editor = Open(false, k);
        EXPECT_EQ(editor->windowTitle(), "Edit Alarm");
        EXPECT_EQ(Find<QStackedWidget>(editor.get(), "Notebook1")->currentWidget()->objectName(),
                  kPages[k - 1]);
        editor->BitBtn1Click();
        EXPECT_EQ(editor->result(), QDialog::Accepted) << k;
        EXPECT_EQ(Kept(*editor), k);
        EXPECT_EQ(script_, before) << "step " << k << " " << before.Items[k - 1].evname;
    }
    EXPECT_TRUE(Shown().isEmpty()) << Shown().join(QLatin1Char('|')).toStdString();
}

TEST_F(StepEditorTest, AddingStartsWithDefaultsAndAppends) {
    script_ = Script({Full(kStepLaunch), Full(kStepWeb)});
    auto editor = Open(true, 2);
    QWidget* w = editor.get();
    EXPECT_EQ(w->windowTitle(), "Add Event");
    EXPECT_TRUE(Find<QRadioButton>(w, "rbMusic")->isChecked());
    EXPECT_TRUE(Find<QRadioButton>(w, "rbMp3")->isChecked());
    EXPECT_EQ(Find<QLineEdit>(w, "teFTPPort")->text(), "21");
    EXPECT_EQ(Find<QLineEdit>(w, "teFrom")->text(), "me@example.org");
    EXPECT_FALSE(Find<QPushButton>(w, "btnRemove")->isEnabled());

    Click(w, "rbSleep");
    Type(w, "teSleep", "45");
    editor->BitBtn1Click();
    ASSERT_EQ(editor->result(), QDialog::Accepted);
    EXPECT_EQ(Kept(*editor), 3);
    ASSERT_EQ(script_.Count, 3);
    const AlEvent& added = script_.Items[2];
    EXPECT_EQ(added.evtype, kStepSleep);
    EXPECT_EQ(added.sseconds, 45);
    EXPECT_EQ(added.evname, "Sleep 45 seconds.");
}

// A number that does not convert stores nothing and keeps the editor open;
// the retry ranges are told and the step is stored as typed.
TEST_F(StepEditorTest, ConversionFailuresStoreNothingRangesStoreAsTyped) {
    script_ = Script({Full(kStepLaunch)});
    const AlEventList before = script_;
    auto editor = Open(true, 1);
    QWidget* w = editor.get();
    Click(w, "rbFTP");
    Type(w, "teFTPPort", "twenty-one");
    editor->BitBtn1Click();
    EXPECT_EQ(Shown(), QStringList{"Invalid FTP port."});
    EXPECT_NE(editor->result(), QDialog::Accepted);
    EXPECT_EQ(editor->Result(), AlEvent{});
    EXPECT_EQ(Kept(*editor), 0);
    EXPECT_EQ(script_, before);

    Type(w, "teFTPPort", "21");
    Click(w, "chkFTPRetry");
    Type(w, "teRetries", "5000");
    editor->BitBtn1Click();
    EXPECT_EQ(Shown().last(), "Number of retries should be between 0 and 1000.");
    EXPECT_EQ(Find<QTabWidget>(w, "pcFTP")->currentWidget(), Find<QWidget>(w, "tsRetry"));
    ASSERT_EQ(editor->result(), QDialog::Accepted);
    EXPECT_EQ(Kept(*editor), 2);
    ASSERT_EQ(script_.Count, 2);
    EXPECT_EQ(script_.Items[1].Ftp->ftpmaxretry, 5000);
}

TEST_F(StepEditorTest, RepeatTargetsAreTheStepsBefore) {
    script_ = Script(
        {Full(kStepLaunch), Full(kStepWeb), Full(kStepSleep), Full(kStepSynch), Full(kStepMail)});
    auto editor = Open(false, 4);
    QWidget* w = editor.get();
    auto* targets = Find<QListWidget>(w, "lstSteps");
    QStringList offered;
    for (int i = 0; i < targets->count(); ++i) offered << targets->item(i)->text();
    EXPECT_EQ(offered, (QStringList{"1", "2", "3"}));
    Click(w, "rbRepeat");
    editor->BitBtn1Click();
    EXPECT_EQ(Shown(), QStringList{"Warning: Please select a step to repeat to."});
    targets->setCurrentRow(1);
    EXPECT_EQ(Find<QLabel>(w, "lblTargetName")->text(),
              "Open Web Page: https://example.org/status");
    editor->BitBtn1Click();
    ASSERT_EQ(editor->result(), QDialog::Accepted);
    EXPECT_EQ(Kept(*editor), 4);
    EXPECT_EQ(script_.Items[3].evname, "Repeat to step 2");

    struct Case {
        Integer steps, selected;
        bool allowed;
    };
    for (const Case& c : {Case{0, 0, false}, Case{3, 1, false}, Case{3, 2, true}}) {
        script_ = Script(std::vector<AlEvent>(std::size_t(c.steps), Full(kStepSleep)));
        auto adder = Open(true, c.selected);
        EXPECT_EQ(Find<QRadioButton>(adder.get(), "rbRepeat")->isEnabled(), c.allowed)
            << c.steps << " steps, " << c.selected << " selected";
    }
}

TEST_F(StepEditorTest, ClientModeOnlyShows) {
    g_.Settings.UserMode = "Client";
    script_ = Script({Full(kStepSleep)});
    const AlEventList before = script_;
    auto editor = Open(false, 1);
    QWidget* w = editor.get();
    EXPECT_EQ(w->windowTitle(), "View Event (Client Mode)");
    EXPECT_TRUE(Find<QPushButton>(w, "BitBtn2")->isHidden());
    EXPECT_FALSE(Find<QWidget>(w, "rgEventType")->isEnabled());
    Type(w, "teSleep", "99");
    editor->BitBtn1Click();
    EXPECT_EQ(Kept(*editor), 0);
    EXPECT_EQ(script_, before);
}

TEST_F(StepEditorTest, TestButtonsUseTheFieldsAsShown) {
    script_ = Script({});
    auto editor = Open(true, 0);
    QWidget* w = editor.get();
    const std::pair<const char*, const char*> missing[] = {
        {"Button7", "Network connections are not available in this build yet."},
        {"Button8", "Network connections are not available in this build yet."},
        {"btSendMessage", "Sending mail is not available in this build yet."},
        {"btnSynchTime1",
         "Setting the clock from a time server is not available in this build yet."},
    };
    for (const auto& [button, text] : missing) {
        Click(w, button);
        EXPECT_EQ(Shown().last(), text) << button;
    }

    auto& desktop = fakes_.desktop;
    desktop.onPath[QStringLiteral("notes")] = QStringLiteral("/usr/bin/notes");
    Type(w, "teApp1", "notes");
    Type(w, "teParam1", "--new \"a b\"");
    Click(w, "Button12");
    EXPECT_EQ(desktop.started, run::testing::Lines({"/usr/bin/notes|--new|a b"}));
    Type(w, "teWeb1", "example.org");
    Click(w, "Button13");
    EXPECT_EQ(desktop.opened, run::testing::Lines({"http://example.org"}));

    fakes_.sound.files[QStringLiteral("/s/bell.wav")] = 500;
    Click(w, "rbWav");
    Type(w, "teWav", "/s/bell.wav");
    Click(w, "btnPlay1");
    editor->reject();  // closing stops the sound
    EXPECT_EQ(fakes_.sound.What(), (std::vector<std::string>{"once /s/bell.wav", "once stopped"}));
}

// The alarm editor's "Alarm Script" tab: one row per step, and the buttons
// act on the step selected.
class ScriptTabTest : public StepEditorTest {
protected:
    std::unique_ptr<TfrmAddAlarm> OpenAlarm(const AlEventList& steps) {
        AlRec a;
        a.AlName = "Script";
        a.mtype = kScriptedAlarm;
        a.Schedule.AlEndType = kEndNever;
        a.Schedule.AlXDays = 1;
        a.snoozeming = 10;
        a.Events = steps;
        g_.AlarmCount = 1;
        g_.ResetAlarmTable(1);
        g_.AlarmTable[1] = a;
        return std::make_unique<TfrmAddAlarm>(g_, fakes_.Handed(),
                                              AlarmEditRequest{AlarmEditRequest::Mode::Edit, 1},
                                              nullptr);
    }
    static QStringList Rows(QWidget* w) {
        auto* list = Find<QListWidget>(w, "clEvents");
        QStringList rows;
        for (int i = 0; i < list->count(); ++i) rows << list->item(i)->text();
        return rows;
    }
    static std::string Enabled(QWidget* w) {
        std::string out;
        for (const char* b : {"Button16", "btnEdit", "btnDelete", "btnUp", "btnDown"})
            out += Find<QPushButton>(w, b)->isEnabled() ? '1' : '0';
        return out;
    }
    // Runs `fill` on the step editor the next click opens, then presses OK.
    static void OnStepEditor(std::function<void(QWidget*)> fill) {
        QTimer::singleShot(0, [fill] {
            auto* editor = qobject_cast<TfrmAddEvent*>(QApplication::activeModalWidget());
            ASSERT_TRUE(editor);
            fill(editor);
            editor->BitBtn1Click();
            if (editor->isVisible()) editor->reject();
        });
    }
};

TEST_F(ScriptTabTest, ButtonsEditTheWorkingScriptOnly) {
    AlEvent sleep = Full(kStepSleep);
    AlEvent repeat = Full(kStepRepeat);
    repeat.Repeat.stepnum = 1;
    repeat.evname = RepeatName(1);
    AlEvent play = Full(kStepSound);
    const AlEventList original = Script({sleep, repeat, play});
    auto alarm = OpenAlarm(original);
    QWidget* w = alarm.get();
    EXPECT_EQ(Rows(w), (QStringList{"Sleep 45 seconds.", "Repeat to step 1", "Play /s/bell.wav"}));
    EXPECT_EQ(Enabled(w), "11101");

    Click(w, "btnDown");  // the repeat step would lead: it goes
    EXPECT_EQ(Rows(w), (QStringList{"Sleep 45 seconds.", "Play /s/bell.wav"}));
    EXPECT_EQ(Enabled(w), "11101");
    Click(w, "btnDown");
    EXPECT_EQ(Rows(w), (QStringList{"Play /s/bell.wav", "Sleep 45 seconds."}));
    EXPECT_EQ(Enabled(w), "11110");
    Click(w, "btnUp");
    EXPECT_EQ(Rows(w), (QStringList{"Sleep 45 seconds.", "Play /s/bell.wav"}));
    EXPECT_EQ(Find<QListWidget>(w, "clEvents")->currentRow(), 0);

    OnStepEditor([](QWidget* e) {
        Click(e, "rbRepeat");
        Find<QListWidget>(e, "lstSteps")->setCurrentRow(1);
    });
    Click(w, "btnDown");  // step 2 selected, so a repeat may be added
    Click(w, "Button16");
    EXPECT_EQ(Rows(w), (QStringList{"Play /s/bell.wav", "Sleep 45 seconds.", "Repeat to step 2"}));
    EXPECT_EQ(Find<QListWidget>(w, "clEvents")->currentRow(), 2);

    Find<QListWidget>(w, "clEvents")->setCurrentRow(1);
    OnStepEditor([](QWidget* e) { Type(e, "teSleep", "7"); });
    Click(w, "btnEdit");
    EXPECT_EQ(Rows(w)[1], "Sleep 7 seconds.");
    Click(w, "btnDelete");  // the sleep step; the repeat now goes back to step 1
    EXPECT_EQ(Rows(w), (QStringList{"Play /s/bell.wav", "Repeat to step 1"}));
    EXPECT_EQ(g_.AlarmTable[1].Events, original);

    alarm->BitBtn1Click();
    ASSERT_EQ(alarm->result(), QDialog::Accepted) << Shown().join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(g_.AlarmTable[1].Events, alarm->WorkingScript());
    Click(w, "btnDelete");
    Click(w, "btnDelete");
    EXPECT_TRUE(Rows(w).isEmpty());
    EXPECT_EQ(Enabled(w), "10000");
}

// The buttons follow the selected step whether a click or an arrow key chose
// it: real mouse events on the list's rows.
TEST_F(ScriptTabTest, AClickedStepEnablesItsButtonsAsTheArrowKeysDo) {
    auto alarm = OpenAlarm(Script({Full(kStepSleep), Full(kStepSound), Full(kStepSleep)}));
    alarm->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(alarm.get()));
    auto* list = Find<QListWidget>(alarm.get(), "clEvents");
    ASSERT_TRUE(list->isVisible());
    const auto click = [list](int row) {
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(row)).center());
    };
    struct Case {
        int row;
        const char* enabled;  // Add, Edit, Delete, Up, Down
    };
    for (const Case& c : {Case{1, "11111"}, Case{0, "11101"}, Case{2, "11110"}, Case{1, "11111"}}) {
        click(c.row);
        EXPECT_EQ(list->currentRow(), c.row);
        EXPECT_EQ(Enabled(alarm.get()), c.enabled) << "clicked row " << c.row;
    }
    QTest::keyClick(list, Qt::Key_Down);
    EXPECT_EQ(Enabled(alarm.get()), "11110") << "Down to the last row";
    // Ctrl+click takes the row out of the selection: nothing to act on.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier,
                      list->visualItemRect(list->item(2)).center());
    EXPECT_EQ(Enabled(alarm.get()), "10000") << "the row unselected";
}

}  // namespace
}  // namespace ringmere::ui
