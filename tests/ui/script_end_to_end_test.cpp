// A scripted alarm made entirely through the editors: a file copy, a sleep of
// one second and a repeat to step 1 once, due two seconds after it is saved.
// It fires from the main window's check and writes its lines to the log.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTimeEdit>
#include <QTimer>
#include <functional>

#include "core/schedule.h"
#include "tests/run/fake_services.h"
#include "ui/AddEvent.h"
#include "ui/alarm.h"
#include "ui/alarmset.h"

namespace ringmere::ui {
namespace {

template <class T>
T* Find(QWidget* w, const char* name) {
    T* found = w->findChild<T*>(QString::fromLatin1(name));
    EXPECT_TRUE(found) << name;
    return found;
}

// Fills the step editor that the next click opens, then presses its OK.
void OnStepEditor(std::function<void(QWidget*)> fill) {
    QTimer::singleShot(0, [fill] {
        auto* editor = qobject_cast<TfrmAddEvent*>(QApplication::activeModalWidget());
        ASSERT_TRUE(editor);
        fill(editor);
        editor->BitBtn1Click();
        if (editor->isVisible()) editor->reject();
    });
}

TEST(ScriptMadeInTheEditors, FiresAndLogsItsSteps) {
    run::testing::RunFixture f;
    const QString dir = f.dir.path();
    ASSERT_TRUE(QDir(dir).mkdir(QStringLiteral("out")));
    QFile source(dir + QStringLiteral("/notes.txt"));
    ASSERT_TRUE(source.open(QIODevice::WriteOnly));
    source.write("kept\n");
    source.close();
    f.g.Settings.AlarmFile = f.g.ProgramDir + "alfile.ini";

    MainWindowHooks hooks;
    hooks.trayAvailable = [] { return false; };
    TfrmAlMain main(f.g, f.services, hooks);
    f.g.EditIndex = 1;
    f.g.Adding = true;
    f.g.Duplicating = false;
    TfrmAddAlarm editor(f.g, f.services, &main);
    Find<QRadioButton>(&editor, "rbScripted")->click();
    Find<QLineEdit>(&editor, "teAlName2")->setText(QStringLiteral("Copy twice"));
    const DateTime due = f.clock.Now() + 2.0 / kSecondsPerDay;
    const DaySecond at = SplitToSecond(due);
    ASSERT_EQ(DateOf(due), DateOf(f.clock.Now())) << "the test's start lies too close to midnight";
    Find<QTimeEdit>(&editor, "dtStartTime2")
        ->setTime(QTime(at.second / 3600, at.second / 60 % 60, at.second % 60));

    auto* add = Find<QPushButton>(&editor, "Button16");
    OnStepEditor([&](QWidget* step) {
        Find<QRadioButton>(step, "rbFileOp")->click();
        Find<QRadioButton>(step, "rbFileCopy")->click();
        Find<QLineEdit>(step, "teCopyFrom")->setText(dir + QStringLiteral("/notes.txt"));
        Find<QLineEdit>(step, "teCopyTo")->setText(dir + QStringLiteral("/out/copy.txt"));
    });
    add->click();
    OnStepEditor([](QWidget* step) {
        Find<QRadioButton>(step, "rbSleep")->click();
        Find<QLineEdit>(step, "teSleep")->setText(QStringLiteral("1"));
    });
    add->click();
    OnStepEditor([](QWidget* step) {
        Find<QRadioButton>(step, "rbRepeat")->click();
        Find<QListWidget>(step, "lstSteps")->setCurrentRow(0);
        Find<QRadioButton>(step, "rbRepeatTimes")->click();
        Find<QLineEdit>(step, "teRepNum")->setText(QStringLiteral("1"));
    });
    add->click();
    ASSERT_EQ(Find<QListWidget>(&editor, "clEvents")->count(), 3);

    editor.BitBtn1Click();
    ASSERT_EQ(editor.result(), QDialog::Accepted);
    ASSERT_EQ(f.g.AlarmCount, 1);
    EXPECT_EQ(f.g.AlarmTable[1].Events.Count, 3);
    BuildSchedule(f.g, f.clock);
    main.LoadScheduleView();
    ASSERT_GE(f.g.ScheduleCount, 1);

    f.clock.Advance(2000);
    main.CheckAlarms();
    f.clock.Advance(10000);

    const std::vector<std::string> log = f.LogMessages();
    const auto count = [&](const std::string& prefix) {
        return std::count_if(log.begin(), log.end(),
                             [&](const std::string& m) { return m.rfind(prefix, 0) == 0; });
    };
    EXPECT_EQ(count("Copy twice executing."), 1);
    EXPECT_EQ(count("Copying "), 2);
    EXPECT_EQ(count("Could not"), 0);
    EXPECT_EQ(count("Script Completed."), 1);
    EXPECT_TRUE(QFile::exists(dir + QStringLiteral("/out/copy.txt")));
}

}  // namespace
}  // namespace ringmere::ui
