// The run window and its runner on a fake clock: the order of actions, the
// lines in the event list and in "allog.txt", repeats, sleeps, snooze,
// closing, and several windows whose runners nest in each other's waits.
#include "run/activealarm.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextLayout>
#include <algorithm>

#include "core/schedule.h"
#include "fake_services.h"
#include "widgets/palette_colours.h"

namespace ringmere::run {
namespace {

using namespace testing;
using Strings = std::vector<std::string>;

class ActiveAlarmTest : public ::testing::Test, public RunFixture {
protected:
    // The launch steps here only mark where a run is: their programs are there.
    void SetUp() override {
        for (const char* name : {"a", "b", "x", "first", "second", "after"})
            desktop.onPath[QString::fromLatin1(name)] = QStringLiteral("/bin/") + name;
    }
    static QStringList Q(const Strings& lines) {
        QStringList out;
        for (const auto& l : lines) out << QString::fromStdString(l);
        return out;
    }
    static void Click(QWidget* w, const char* name) {
        auto* b = w->findChild<QPushButton*>(QString::fromLatin1(name));
        ASSERT_TRUE(b) << name;
        b->click();
    }
    static int CountOf(const QStringList& lines, const QString& line) {
        return int(std::count(lines.begin(), lines.end(), line));
    }
};

TEST_F(ActiveAlarmTest, SimpleAlarmRunsItsActionsInTheFixedOrder) {
    const std::string doomed = QDir(dir.path()).absolutePath().toStdString() + "/gone.txt";
    QFile(QString::fromStdString(doomed)).open(QIODevice::WriteOnly);
    desktop.onPath[QStringLiteral("prog-a")] = QStringLiteral("/usr/bin/prog-a");
    desktop.onPath[QStringLiteral("prog-c")] = QStringLiteral("/usr/bin/prog-c");
    sound.files[QStringLiteral("/s/a.wav")] = 3000;

    AlRec a = Simple("A1");
    a.AlMessage = "line1\r\nline2";
    a.Music = Wave("/s/a.wav", 0);
    a.Dial->usedialup = true;
    a.Dial->connectm = true;
    a.Dial->dialname = "ISP";
    a.Launch->app1 = "prog-a";
    a.Launch->param1 = "-x 'y z'";
    a.Launch->app3 = "prog-c";
    a.Web->url1 = "https://example.org/page";
    a.Synch->dosynch = true;
    a.Ftp->ftpenabled = true;
    a.FileOp->fop = 3;
    a.FileOp->fdel = doomed;
    a.Mail->sendmessage = true;
    QPointer<TfrmActiveAlarm> w = Open(a);
    ASSERT_TRUE(w);
    clock.Advance(1000);

    const Strings shown = {"Playing /s/a.wav.",
                           kDialUnavailable,
                           "Launched /usr/bin/prog-a -x 'y z'",
                           "Launched /usr/bin/prog-c",
                           "Launching https://example.org/page",
                           kSynchUnavailable,
                           kFtpUnavailable,
                           "Deleting " + doomed + ".",
                           kMailUnavailable,
                           "Alarm Completed."};
    EXPECT_EQ(w->EventLines(), Q(shown));
    Strings logged = shown;
    logged.erase(logged.begin() + 4);  // the web page line is only shown
    logged.insert(logged.begin(), "A1 executing.");
    EXPECT_EQ(LogMessages(), logged);

    EXPECT_EQ(desktop.started, Lines({"/usr/bin/prog-a|-x|y z", "/usr/bin/prog-c"}));
    EXPECT_EQ(desktop.opened, Lines({"https://example.org/page"}));
    EXPECT_FALSE(QFile::exists(QString::fromStdString(doomed)));
    EXPECT_EQ(w->findChild<QLabel*>(QStringLiteral("lblAlAct"))->text(),
              QStringLiteral("Alarm Name: A1"));
    EXPECT_EQ(w->findChild<QPlainTextEdit*>(QStringLiteral("memAlarm"))->toPlainText(),
              QStringLiteral("line1\nline2"));
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Alarm Activated"));
    EXPECT_TRUE(w->windowFlags() & Qt::WindowStaysOnTopHint);
}

TEST_F(ActiveAlarmTest, LogFileHoldsADateLineThenTimedEntries) {
    Open(Script("Alarm1", {}));
    clock.Advance(1000);
    EXPECT_EQ(LogText(),
              "3/1/2024\r\n09:00:00AM - Alarm1 executing.\r\n09:00:00AM - Script Completed.\r\n");
}

TEST_F(ActiveAlarmTest, LoggingOffStillShowsEveryLine) {
    g.Settings.enablelogging = false;
    QPointer<TfrmActiveAlarm> w = Open(Script("Quiet", {Sleep(0)}));
    clock.Advance(1000);
    EXPECT_EQ(w->EventLines(), Lines({"Sleeping 0 seconds.", "Script Completed."}));
    EXPECT_EQ(LogText(), "");
}

TEST_F(ActiveAlarmTest, EmptyScriptCompletesAfter200Milliseconds) {
    QPointer<TfrmActiveAlarm> w = Open(Script("Empty", {}));
    QStringList at249, at251;
    clock.At(249, [&] { at249 = w->EventLines(); });
    clock.At(251, [&] { at251 = w->EventLines(); });
    clock.Advance(1000);
    EXPECT_TRUE(at249.isEmpty());
    EXPECT_EQ(at251, Lines({"Script Completed."}));
}

TEST_F(ActiveAlarmTest, SleepZeroReportsItsLineAndDoesNotWait) {
    QPointer<TfrmActiveAlarm> w = Open(Script("Zero", {Sleep(0)}));
    QStringList at251;
    clock.At(251, [&] { at251 = w->EventLines(); });
    clock.Advance(1000);
    EXPECT_EQ(at251, Lines({"Sleeping 0 seconds.", "Script Completed."}));
}

TEST_F(ActiveAlarmTest, SleepTakesTenTicksASecond) {
    QPointer<TfrmActiveAlarm> w = Open(Script("Nap", {Sleep(3)}));
    QStringList before, after;
    clock.At(50 + 3000 + 199, [&] { before = w->EventLines(); });
    clock.At(50 + 3000 + 201, [&] { after = w->EventLines(); });
    clock.Advance(10000);
    EXPECT_EQ(before, Lines({"Sleeping 3 seconds."}));
    EXPECT_EQ(after, Lines({"Sleeping 3 seconds.", "Script Completed."}));
}

TEST_F(ActiveAlarmTest, RepeatTwiceRunsTheStepsThreeTimes) {
    desktop.onPath[QStringLiteral("a")] = QStringLiteral("/bin/a");
    QPointer<TfrmActiveAlarm> w = Open(Script("Rep", {Sleep(0), Launch("a"), Repeat(1, 2)}));
    clock.Advance(1000);
    const Strings pass = {"Sleeping 0 seconds.", "Launching a"};
    Strings expected;
    for (int i = 0; i < 3; ++i) {
        expected.insert(expected.end(), pass.begin(), pass.end());
        if (i < 2) expected.push_back("Repeating to step 1.");
    }
    expected.push_back("Script Completed.");
    EXPECT_EQ(w->EventLines(), Q(expected));
    expected.insert(expected.begin(), "Rep executing.");
    EXPECT_EQ(LogMessages(), expected);
    EXPECT_EQ(desktop.started.size(), 3);
}

TEST_F(ActiveAlarmTest, InnerRepeatRunsItsFullCountAgainForEachOuterPass) {
    QPointer<TfrmActiveAlarm> w =
        Open(Script("Nest", {Launch("a"), Launch("b"), Repeat(2, 1), Repeat(1, 1)}));
    clock.Advance(1000);
    EXPECT_EQ(w->EventLines(),
              Lines({"Launching a", "Launching b", "Repeating to step 2.", "Launching b",
                     "Repeating to step 1.", "Launching a", "Launching b", "Repeating to step 2.",
                     "Launching b", "Script Completed."}));
}

TEST_F(ActiveAlarmTest, RepeatUntilStoppedEndsWithSnoozeAndRunsAgainFromStepOne) {
    QPointer<TfrmActiveAlarm> w = Open(Script("Loop", {Sleep(1), Launch("x"), Repeat(1, 0, 1)}));
    clock.At(3500, [&] { Click(w, "btnSnooze"); });
    QStringList atSnoozeEnd;
    clock.At(3500 + 500 + 5 * 60000 - 1, [&] { atSnoozeEnd = w->EventLines(); });
    // Nothing but the user ends the second run either.
    QStringList all;
    clock.At(3500 + 500 + 5 * 60000 + 1200, [&] {
        all = w->EventLines();
        w->close();
    });
    clock.Advance(3500 + 500 + 5 * 60000 + 1300);

    ASSERT_FALSE(atSnoozeEnd.isEmpty());
    EXPECT_EQ(atSnoozeEnd.last(), QStringLiteral("Snoozing 5 minutes..."));
    EXPECT_EQ(CountOf(atSnoozeEnd, QStringLiteral("Repeating to step 1.")), 3);
    EXPECT_EQ(CountOf(atSnoozeEnd, QStringLiteral("Script Completed.")), 0);
    // The second run starts again at step 1 and goes on until stopped.
    const QStringList second = all.mid(atSnoozeEnd.size());
    ASSERT_GE(second.size(), 3);
    EXPECT_EQ(second.mid(0, 3),
              Lines({"Sleeping 1 seconds.", "Launching x", "Repeating to step 1."}));
    EXPECT_EQ(CountOf(Q(LogMessages()), QStringLiteral("Loop executing.")), 2);
    EXPECT_EQ(CountOf(Q(LogMessages()), QStringLiteral("Snoozing 5 minutes...")), 0);
}

TEST_F(ActiveAlarmTest, RepeatUntilStoppedWithoutAnyWaitStillLetsTimePass) {
    QPointer<TfrmActiveAlarm> w = Open(Script("Spin", {Launch("x"), Repeat(1, 0, 1)}));
    QStringList lines;
    clock.At(1000, [&] {
        lines = w->EventLines();
        w->close();
    });
    clock.Advance(2000);
    Flush();
    EXPECT_FALSE(w);
    // One tick per pass: about ten passes in the second before Close.
    const int passes = CountOf(lines, QStringLiteral("Launching x"));
    EXPECT_GE(passes, 5);
    EXPECT_LE(passes, 11);
}

TEST_F(ActiveAlarmTest, SnoozeDuringASleepStopsTheRunAndReRunsTheWholeAlarm) {
    AlRec a = Script("Nap", {Launch("a"), Sleep(10)});
    a.snoozeming = 2;
    a.AlFlashWindow = true;
    QPointer<TfrmActiveAlarm> w = Open(a);
    bool flashingBefore = false, busyAfter = true, flashingSnoozed = true, flashingAgain = false;
    QStringList beforeRerun;
    clock.At(2000, [&] {
        flashingBefore = w->IsFlashing();
        Click(w, "btnSnooze");
    });
    clock.At(2600, [&] {
        busyAfter = w->IsBusy();
        flashingSnoozed = w->IsFlashing();
    });
    const qint64 rerun = 2000 + 500 + 2 * 60000 + 50;
    clock.At(rerun - 1, [&] { beforeRerun = w->EventLines(); });
    clock.At(rerun + 500, [&] { flashingAgain = w->IsFlashing(); });
    clock.Advance(rerun + 11000);

    EXPECT_TRUE(flashingBefore);
    EXPECT_FALSE(busyAfter);
    EXPECT_FALSE(flashingSnoozed);
    EXPECT_TRUE(flashingAgain);
    EXPECT_EQ(beforeRerun, Lines({"Launching a", "Sleeping 10 seconds.", "Snoozing 2 minutes..."}));
    EXPECT_EQ(w->EventLines(),
              Lines({"Launching a", "Sleeping 10 seconds.", "Snoozing 2 minutes...", "Launching a",
                     "Sleeping 10 seconds.", "Script Completed."}));
    EXPECT_EQ(LogMessages(),
              (Strings{"Nap executing.", "Launching a", "Sleeping 10 seconds.",
                       "Snoozed for 2 minutes.", "Nap executing.", "Launching a",
                       "Sleeping 10 seconds.", "Script Completed."}));
    EXPECT_TRUE(w->isVisible());
}

TEST_F(ActiveAlarmTest, SnoozeOfASimpleAlarmRunsMessageSoundAndActionsAgain) {
    sound.files[QStringLiteral("/s/loop.wav")] = 1000;
    AlRec a = Simple("Wake");
    a.snoozeming = 1;
    a.Music = Wave("/s/loop.wav", 1);
    a.Web->url1 = "example.org";
    QPointer<TfrmActiveAlarm> w = Open(a);
    clock.At(1000, [&] { Click(w, "btnSnooze"); });
    clock.Advance(1000 + 500 + 60000 + 1000);
    EXPECT_EQ(w->EventLines(),
              Lines({"Playing /s/loop.wav.", "Launching example.org", "Alarm Completed.",
                     "Snoozing 1 minute...", "Playing /s/loop.wav.", "Launching example.org",
                     "Alarm Completed."}));
    EXPECT_EQ(sound.What(), (Strings{"loop /s/loop.wav", "loop stopped", "loop /s/loop.wav"}));
    EXPECT_EQ(desktop.opened, Lines({"http://example.org", "http://example.org"}));
}

TEST_F(ActiveAlarmTest, AWaveThatCannotBePlayedIsReportedInTheWindowAndTheLog) {
    for (Byte wavtype : {kWavOnce, kWavUntilStopped, kWavForSeconds}) {
        SCOPED_TRACE(int(wavtype));
        QPointer<TfrmActiveAlarm> w =
            Open(Script("Mute", {Music(Wave("/s/gone.wav", wavtype, 5))}));
        clock.Advance(1000);
        const Strings lines = {"Playing /s/gone.wav.", "Could not play /s/gone.wav: no such file.",
                               "Playing the built-in tone instead.", "Script Completed."};
        EXPECT_EQ(w->EventLines(), Q(lines));
        const Strings logged = LogMessages();
        ASSERT_GE(logged.size(), lines.size());
        EXPECT_EQ(Strings(logged.end() - std::ptrdiff_t(lines.size()), logged.end()), lines);
        w->close();
        Flush();
    }
}

TEST_F(ActiveAlarmTest, HideWindowWaitsForAWavePlayedOnce) {
    sound.files[QStringLiteral("/s/once.wav")] = 3000;
    AlRec a = Simple("Once");
    a.AlHideWindow = true;
    a.Music = Wave("/s/once.wav", 0);
    QPointer<TfrmActiveAlarm> w = Open(a);
    EXPECT_EQ(widgets::VisibleWindowCount(), 1);
    QStringList at3000;
    clock.At(3000, [&] { at3000 = w ? w->EventLines() : QStringList{"gone"}; });
    clock.Advance(5000);
    Flush();
    EXPECT_EQ(at3000, Lines({"Playing /s/once.wav."}));
    EXPECT_FALSE(w);
    EXPECT_EQ(widgets::VisibleWindowCount(), 0);
    ASSERT_EQ(sound.events.size(), 2u);
    EXPECT_EQ(sound.events[1], (SoundEvent{3050, "once ended"}));
    EXPECT_EQ(LogMessages(),
              (Strings{"Once executing.", "Playing /s/once.wav.", "Alarm Completed.",
                       "Window closed."}));
}

TEST_F(ActiveAlarmTest, HideWindowWaitsForAWavePlayedForFiveSeconds) {
    sound.files[QStringLiteral("/s/five.wav")] = 700;
    AlRec a = Script("Five", {Music(Wave("/s/five.wav", 2, 5))});
    a.AlHideWindow = true;
    QPointer<TfrmActiveAlarm> w = Open(a);
    bool openAt5000 = false;
    clock.At(5000, [&] { openAt5000 = bool(w) && !w->IsClosed(); });
    clock.Advance(8000);
    Flush();
    EXPECT_TRUE(openAt5000);
    EXPECT_FALSE(w);
    EXPECT_EQ(sound.events,
              (std::vector<SoundEvent>{{50, "loop /s/five.wav"}, {5050, "loop stopped"}}));
    EXPECT_EQ(LogMessages(),
              (Strings{"Five executing.", "Playing /s/five.wav.", "Script Completed.",
                       "Window closed."}));
}

TEST_F(ActiveAlarmTest, HideWindowWithALoopingWaveReportsCompletionAndStaysOpen) {
    sound.files[QStringLiteral("/s/loop.wav")] = 1000;
    AlRec a = Simple("Forever");
    a.AlHideWindow = true;
    a.Music = Wave("/s/loop.wav", 1);
    QPointer<TfrmActiveAlarm> w = Open(a);
    clock.Advance(60000);
    Flush();
    ASSERT_TRUE(w);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->EventLines(), Lines({"Playing /s/loop.wav.", "Alarm Completed."}));
    EXPECT_TRUE(w->Sound().LoopPlaying());
    w->close();
    Flush();
    EXPECT_FALSE(w);
    EXPECT_EQ(sound.What(), (Strings{"loop /s/loop.wav", "loop stopped"}));
}

TEST_F(ActiveAlarmTest, SnoozeDuringTheWaitBeforeClosingKeepsTheWindowSnoozing) {
    sound.files[QStringLiteral("/s/once.wav")] = 10000;
    AlRec a = Simple("Late");
    a.AlHideWindow = true;
    a.Music = Wave("/s/once.wav", 0);
    QPointer<TfrmActiveAlarm> w = Open(a);
    clock.At(2000, [&] { Click(w, "btnSnooze"); });
    clock.Advance(20000);
    Flush();
    ASSERT_TRUE(w);
    EXPECT_TRUE(w->IsSnoozing());
    EXPECT_EQ(w->EventLines(), Lines({"Playing /s/once.wav.", "Snoozing 5 minutes..."}));
}

TEST_F(ActiveAlarmTest, CloseDuringASleepEndsTheRunAndDestroysTheWindowAfterIt) {
    QPointer<TfrmActiveAlarm> w = Open(Script("Closing", {Sleep(5), Launch("after")}));
    bool aliveWhileRunnerUnwinds = false;
    int countAfterClose = -1;
    clock.At(1000, [&] {
        w->close();
        countAfterClose = widgets::VisibleWindowCount();
        Flush();  // a deletion now would pull the window from under its runner
        aliveWhileRunnerUnwinds = bool(w);
    });
    clock.Advance(10000);
    Flush();
    EXPECT_TRUE(aliveWhileRunnerUnwinds);
    EXPECT_EQ(countAfterClose, 0);
    EXPECT_FALSE(w);
    EXPECT_EQ(LogMessages(),
              (Strings{"Closing executing.", "Sleeping 5 seconds.", "Window closed."}));
    EXPECT_TRUE(desktop.started.isEmpty());
}

TEST_F(ActiveAlarmTest, SnoozeButtonOnlyWithSnoozeAndCloseCentredWithout) {
    AlRec with = Simple("With");
    AlRec without = Simple("Without");
    without.AlSnooze = false;
    QPointer<TfrmActiveAlarm> a = Open(with);
    QPointer<TfrmActiveAlarm> b = Open(without);
    clock.Advance(500);
    auto* snoozeA = a->findChild<QPushButton*>(QStringLiteral("btnSnooze"));
    auto* snoozeB = b->findChild<QPushButton*>(QStringLiteral("btnSnooze"));
    auto* closeA = a->findChild<QPushButton*>(QStringLiteral("btnClose"));
    auto* closeB = b->findChild<QPushButton*>(QStringLiteral("btnClose"));
    EXPECT_TRUE(snoozeA->isVisible());
    EXPECT_FALSE(snoozeB->isVisible());
    EXPECT_GT(closeA->x(), snoozeA->x());
    EXPECT_EQ(closeB->x(), 96);
    EXPECT_EQ(closeA->text(), QStringLiteral("&Close Window"));
}

// A long reason wraps inside the event list: nothing is cut off to the right.
TEST_F(ActiveAlarmTest, LongLinesWrapInTheEventList) {
    QPointer<TfrmActiveAlarm> w = Open(Simple("Long"));
    clock.Advance(500);
    auto* events = w->findChild<QPlainTextEdit*>(QStringLiteral("memEvent"));
    ASSERT_TRUE(events);
    const std::string reason =
        "Error running /home/someone/programs/a-rather-long-directory-name/start-the-backup.sh: "
        "No such file or directory";
    w->Show(reason);
    QCoreApplication::processEvents();
    EXPECT_EQ(events->horizontalScrollBar()->maximum(), 0);
    const QTextBlock last = events->document()->lastBlock();
    EXPECT_EQ(last.text().toStdString(), reason);
    EXPECT_GT(last.layout()->lineCount(), 1);
    for (int i = 0; i < last.layout()->lineCount(); ++i)
        EXPECT_LE(last.layout()->lineAt(i).naturalTextWidth(), events->viewport()->width());
}

TEST_F(ActiveAlarmTest, FlashingTogglesEverySecondUntilClosed) {
    AlRec a = Script("Flash", {Sleep(10)});
    a.AlFlashWindow = true;
    QPointer<TfrmActiveAlarm> w = Open(a);
    std::vector<bool> states;
    for (int t = 1100; t <= 4100; t += 1000) clock.At(t, [&] { states.push_back(w->FlashOn()); });
    clock.Advance(4200);
    EXPECT_EQ(states, (std::vector<bool>{true, false, true, false}));
    w->close();
    EXPECT_FALSE(w->IsFlashing());
}

// Switched to a dark theme while up, the title and its flashing stay readable.
TEST_F(ActiveAlarmTest, TitleReadsAfterASwitchToADarkPalette) {
    AlRec a = Script("Theme", {Sleep(10)});
    a.AlFlashWindow = true;
    QPointer<TfrmActiveAlarm> w = Open(a);
    auto* title = w->findChild<QLabel*>(QStringLiteral("lblAlAct"));
    QPalette dark = w->palette();
    dark.setColor(QPalette::Window, QColor(45, 45, 48));
    dark.setColor(QPalette::WindowText, QColor(225, 225, 225));
    w->setPalette(dark);
    // The text's colour against what the window shows at the title's corner.
    const auto contrast = [&] {
        const QImage shown = w->grab().toImage();
        const QColor behind = shown.pixelColor(title->mapTo(w, QPoint(1, 1)));
        return widgets::ContrastRatio(title->palette().color(title->foregroundRole()), behind);
    };
    EXPECT_GE(contrast(), 4.5);
    std::vector<double> flashing;
    for (int t = 1100; t <= 2100; t += 1000) clock.At(t, [&] { flashing.push_back(contrast()); });
    clock.Advance(2200);
    ASSERT_EQ(flashing.size(), 2u);
    EXPECT_GE(flashing[0], 4.5);
    EXPECT_GE(flashing[1], 4.5);
    w->close();
}

TEST_F(ActiveAlarmTest, WindowsShownRaiseTheVisibleCountAndClosingLowersIt) {
    QPointer<TfrmActiveAlarm> a = Open(Simple("A"));
    QPointer<TfrmActiveAlarm> b = Open(Simple("B"));
    EXPECT_EQ(widgets::VisibleWindowCount(), 2);
    clock.Advance(500);
    a->close();
    a->close();  // a second close changes nothing
    EXPECT_EQ(widgets::VisibleWindowCount(), 1);
    b->close();
    EXPECT_EQ(widgets::VisibleWindowCount(), 0);
}

TEST_F(ActiveAlarmTest, MinimisedWhenAsked) {
    AlRec a = Simple("Min");
    a.AlMinWindow = true;
    QPointer<TfrmActiveAlarm> w = Open(a);
    EXPECT_TRUE(w->windowState() & Qt::WindowMinimized);
}

TEST_F(ActiveAlarmTest, IndexThatNamesNoAlarmOpensNoWindow) {
    Add(Simple("Only"));
    EXPECT_EQ(OpenRunWindow(g, 0, services), nullptr);
    EXPECT_EQ(OpenRunWindow(g, 2, services), nullptr);
    EXPECT_EQ(OpenRunWindow(g, -1, services), nullptr);
    EXPECT_EQ(widgets::VisibleWindowCount(), 0);
}

TEST_F(ActiveAlarmTest, WindowRunsItsOwnCopyWhenTheTableChanges) {
    const int first = Add(Script("First", {Sleep(2), Launch("first")}));
    Add(Script("Second", {Launch("second")}));
    QPointer<TfrmActiveAlarm> w = Open(first);
    clock.At(1000, [&] {
        // The alarm is deleted and the table shrinks while the run sleeps.
        g.AlarmTable.erase(g.AlarmTable.begin() + 1);
        g.AlarmCount = 1;
        g.AlarmTable.shrink_to_fit();
    });
    clock.Advance(5000);
    EXPECT_EQ(w->EventLines(),
              Lines({"Sleeping 2 seconds.", "Launching first", "Script Completed."}));
}

TEST_F(ActiveAlarmTest, DamagedScriptsNeitherCrashNorHang) {
    AlRec a = Script("Damaged", {Repeat(0, 1), Repeat(-3, 2), Sleep(-5)});
    a.Events.Count = 40;  // more than the steps there are
    AlEvent odd;
    odd.evtype = 77;
    a.Events.Items.push_back(odd);
    QPointer<TfrmActiveAlarm> w = Open(a);
    clock.Advance(2000);
    const QStringList lines = w->EventLines();
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_EQ(lines.last(), QStringLiteral("Script Completed."));
    EXPECT_TRUE(lines.contains(QStringLiteral("Sleeping -5 seconds.")));
}

TEST_F(ActiveAlarmTest, SeveralWindowsRunNestedInEachOthersWaits) {
    const int a = Add(Script("A", {Sleep(5), Launch("a")}));
    const int b = Add(Script("B", {Sleep(1), Launch("b")}));
    QPointer<TfrmActiveAlarm> wa = Open(a);
    QPointer<TfrmActiveAlarm> wb;
    int visibleWithBoth = 0;
    clock.At(1000, [&] {
        wb = Open(b);
        visibleWithBoth = widgets::VisibleWindowCount();
    });
    clock.Advance(10000);
    EXPECT_EQ(visibleWithBoth, 2);
    EXPECT_GE(clock.maxDepth, 3);  // B's sleep inside A's sleep inside the test's advance
    EXPECT_EQ(wa->EventLines(), Lines({"Sleeping 5 seconds.", "Launching a", "Script Completed."}));
    EXPECT_EQ(wb->EventLines(), Lines({"Sleeping 1 seconds.", "Launching b", "Script Completed."}));
    EXPECT_EQ(LogMessages(),
              (Strings{"A executing.", "Sleeping 5 seconds.", "B executing.", "Sleeping 1 seconds.",
                       "Launching b", "Script Completed.", "Launching a", "Script Completed."}));
}

TEST_F(ActiveAlarmTest, SnoozeExpiringWhileTheOldRunIsBuriedDoesNotResumeIt) {
    AlRec a = Script("A", {Launch("a"), Sleep(600)});
    a.snoozeming = 1;
    const int ia = Add(a);
    const int ib = Add(Script("B", {Sleep(600)}));
    QPointer<TfrmActiveAlarm> wa = Open(ia);
    QPointer<TfrmActiveAlarm> wb;
    clock.At(1000, [&] { wb = Open(ib); });
    // Pressed while B's runner, started inside A's sleep, holds the stack.
    clock.At(2000, [&] { Click(wa, "btnSnooze"); });
    clock.Advance(900000);
    EXPECT_EQ(wa->EventLines(),
              Lines({"Launching a", "Sleeping 600 seconds.", "Snoozing 1 minute...", "Launching a",
                     "Sleeping 600 seconds.", "Script Completed."}));
    EXPECT_EQ(wb->EventLines(), Lines({"Sleeping 600 seconds.", "Script Completed."}));
}

TEST(RunWindowPositionTest, LeftTenAndBottomFiftyAboveTheScreenBottom) {
    EXPECT_EQ(RunWindowPosition(QRect(0, 0, 1920, 1080), QSize(330, 340)), QPoint(10, 690));
    EXPECT_EQ(RunWindowPosition(QRect(1920, 0, 1280, 1024), QSize(330, 340)), QPoint(1930, 634));
    EXPECT_EQ(RunWindowPosition(QRect(0, 0, 640, 300), QSize(330, 340)), QPoint(10, -90));
}

}  // namespace
}  // namespace ringmere::run
