// Sound of a run: MP3 files handed to the desktop, wave files once, looped
// and timed, audio CD tracks, silence, and what Snooze stops.
#include <gtest/gtest.h>

#include <QPointer>
#include <QPushButton>
#include <QToolButton>
#include <set>

#include "run/activealarm.h"
#include "run_fakes.h"

namespace ringmere::run {
namespace {

using namespace testing;
using Strings = std::vector<std::string>;

class SoundTest : public ::testing::Test, public RunFixture {
protected:
    static MusicType Mp3(const std::string& file, Byte ptype = 1) {
        MusicType m;
        m.MuType = 0;
        m.Mp3.mp3file = file;
        m.Mp3.mp3ptype = ptype;
        return m;
    }
    static MusicType Cd(const std::string& drive, Byte tracktype, int track) {
        MusicType m;
        m.MuType = 2;
        m.Cd.cddrive = drive;
        m.Cd.tracktype = tracktype;
        m.Cd.cdtrack = track;
        return m;
    }
    AlRec WithMusic(const MusicType& m) {
        AlRec a = Simple("S");
        a.Music = m;
        return a;
    }
    TfrmActiveAlarm* RunSimple(const MusicType& m) {
        TfrmActiveAlarm* w = Open(WithMusic(m));
        clock.Advance(1000);
        return w;
    }
    TfrmActiveAlarm* RunStep(const MusicType& m) {
        TfrmActiveAlarm* w = Open(Script("S", {Music(m)}));
        clock.Advance(1000);
        return w;
    }
};

TEST_F(SoundTest, Mp3IsOpenedWithItsProgramAndTheStepNamesItsOwnFile) {
    AlRec a = Script("S", {Music(Mp3("/music/step one.mp3"))});
    a.Music = Mp3("/music/alarm.mp3");  // the alarm's own sound is not the step's
    QPointer<TfrmActiveAlarm> w = Open(a);
    clock.Advance(1000);
    EXPECT_EQ(w->EventLines(), Lines({"Playing /music/step one.mp3.", "Script Completed."}));
    EXPECT_EQ(desktop.opened, Lines({"file:///music/step one.mp3"}));
    EXPECT_TRUE(dialogs.shown.isEmpty());
}

TEST_F(SoundTest, Mp3ThatCannotBeOpenedShowsTheBoxAndTheRunGoesOn) {
    desktop.openWorks = false;
    QPointer<TfrmActiveAlarm> w = RunSimple(Mp3("/music/a.mp3"));
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_EQ(dialogs.shown[0].text, QStringLiteral("Error starting player program."));
    EXPECT_EQ(dialogs.shown[0].kind, ui::BoxKind::Warning);
    EXPECT_EQ(w->EventLines(), Lines({"Playing /music/a.mp3.", "Alarm Completed."}));
    // Message boxes are never logged.
    EXPECT_EQ(LogMessages(),
              (Strings{"S executing.", "Playing /music/a.mp3.", "Alarm Completed."}));
}

TEST_F(SoundTest, Mp3ForTheInternalPlayerPlaysNothing) {
    QPointer<TfrmActiveAlarm> w = RunSimple(Mp3("/music/a.mp3", 0));
    EXPECT_EQ(w->EventLines(), Lines({"Playing /music/a.mp3.", "Alarm Completed."}));
    EXPECT_TRUE(desktop.opened.isEmpty());
}

TEST_F(SoundTest, SilentAlarmPlaysNothingAndReportsNoLine) {
    MusicType silent;
    silent.MuType = 3;
    QPointer<TfrmActiveAlarm> w = RunSimple(silent);
    MusicType unknown;
    unknown.MuType = 9;
    QPointer<TfrmActiveAlarm> w2 = RunSimple(unknown);
    EXPECT_EQ(w->EventLines(), Lines({"Alarm Completed."}));
    EXPECT_EQ(w2->EventLines(), Lines({"Alarm Completed."}));
    EXPECT_TRUE(sound.events.empty());
}

TEST_F(SoundTest, MissingWaveFilePlaysNothingWritesNoLineAndDoesNotHoldTheWindow) {
    AlRec a = WithMusic(Wave("/nowhere.wav", 0));
    a.AlHideWindow = true;
    QPointer<TfrmActiveAlarm> w = Open(a);
    clock.Advance(1000);
    Flush();
    EXPECT_FALSE(w);
    EXPECT_EQ(LogMessages(),
              (Strings{"S executing.", "Playing /nowhere.wav.", "Alarm Completed."}));
}

TEST_F(SoundTest, StopButtonOfTheFilePlayerStopsTheKindThatPlays) {
    sound.files[QStringLiteral("/a.wav")] = 60000;
    QPointer<TfrmActiveAlarm> once = RunSimple(Wave("/a.wav", 0));
    auto* stop = once->findChild<QToolButton*>(QStringLiteral("mediaplayer1Stop"));
    auto* play = once->findChild<QToolButton*>(QStringLiteral("mediaplayer1Play"));
    EXPECT_TRUE(stop->isEnabled());
    EXPECT_FALSE(play->isEnabled());
    stop->click();
    EXPECT_FALSE(once->Sound().FilePlaying());
    EXPECT_TRUE(play->isEnabled());

    QPointer<TfrmActiveAlarm> timed = RunSimple(Wave("/a.wav", 2, 30));
    ASSERT_TRUE(timed->Sound().LoopPlaying());
    timed->findChild<QToolButton*>(QStringLiteral("mediaplayer1Stop"))->click();
    EXPECT_FALSE(timed->Sound().LoopPlaying());
    EXPECT_FALSE(timed->Sound().WavTimerRunning());
}

TEST_F(SoundTest, SnoozeStopsEverySoundOfItsWindowOnly) {
    sound.files[QStringLiteral("/a.wav")] = 60000;
    sound.files[QStringLiteral("/b.wav")] = 60000;
    sound.discs[QStringLiteral("/dev/sr0")] = 5;
    AlRec a =
        Script("A", {Music(Wave("/a.wav", 0)), Music(Wave("/b.wav", 1)), Music(Cd("D", 0, 2))});
    QPointer<TfrmActiveAlarm> wa = Open(a);
    QPointer<TfrmActiveAlarm> wb = Open(WithMusic(Wave("/b.wav", 1)));
    clock.Advance(1000);
    ASSERT_TRUE(wa->Sound().FilePlaying());
    ASSERT_TRUE(wa->Sound().LoopPlaying());
    ASSERT_TRUE(wa->Sound().CdPlaying());
    wa->findChild<QPushButton*>(QStringLiteral("btnSnooze"))->click();
    EXPECT_FALSE(wa->Sound().FilePlaying());
    EXPECT_FALSE(wa->Sound().LoopPlaying());
    EXPECT_FALSE(wa->Sound().CdPlaying());
    EXPECT_TRUE(wb->Sound().LoopPlaying());
}

TEST_F(SoundTest, CdLinesForBlankLettersMissingDiscsAndDataDiscs) {
    sound.discs[QStringLiteral("/dev/sr1")] = 9;  // an audio disc in E only
    const std::string blankSimple =
        std::string("CD drive letter blank.  Re-enter alarm if drive letters changed or contact ") +
        kSupportAddress + ".";
    const struct {
        MusicType music;
        bool step;
        Strings lines;
    } cases[] = {
        {Cd("", 0, 1), false, {blankSimple, "No audio CD detected."}},
        {Cd("", 0, 1), true, {"Script CD drive letter blank.", "No audio CD detected."}},
        {Cd("D", 0, 1), false, {"No audio CD detected."}},  // data disc or none
        {Cd("C", 0, 1), true, {"No audio CD detected."}},   // no CD drive letter
        {Cd("e", 0, 1), true, {"Playing CD."}},
        {Cd("E:\\", 0, 3), false, {"Playing CD."}},
    };
    for (const auto& c : cases) {
        TfrmActiveAlarm* w = c.step ? RunStep(c.music) : RunSimple(c.music);
        Strings lines;
        for (const QString& l : w->EventLines()) lines.push_back(l.toStdString());
        lines.pop_back();  // the completion line
        EXPECT_EQ(lines, c.lines) << c.music.Cd.cddrive << (c.step ? " step" : " alarm");
        w->close();
    }
    EXPECT_EQ(sound.What(),
              (Strings{"cd /dev/sr1 1", "cd stopped", "cd /dev/sr1 3", "cd stopped"}));
}

TEST_F(SoundTest, PlayingCdIsOnlyShownForASimpleAlarmAndLoggedForAStep) {
    sound.discs[QStringLiteral("/dev/sr0")] = 4;
    TfrmActiveAlarm* simple = RunSimple(Cd("D", 0, 2));
    EXPECT_TRUE(simple->findChild<QWidget*>(QStringLiteral("MediaPlayer2"))->isVisible());
    EXPECT_TRUE(simple->findChild<QToolButton*>(QStringLiteral("MediaPlayer2Stop"))->isEnabled());
    EXPECT_FALSE(simple->findChild<QToolButton*>(QStringLiteral("MediaPlayer2Play"))->isEnabled());
    simple->close();
    RunStep(Cd("D", 0, 2));
    EXPECT_EQ(LogMessages(), (Strings{"S executing.", "Alarm Completed.", "S executing.",
                                      "Playing CD.", "Script Completed."}));
}

TEST_F(SoundTest, CdThatCannotBePlayedOrTrackItDoesNotHave) {
    sound.discs[QStringLiteral("/dev/sr0")] = 4;
    sound.cdPlays = false;
    TfrmActiveAlarm* w = RunStep(Cd("D", 0, 2));
    EXPECT_EQ(w->EventLines(),
              Lines({"Playing CD.", "No audio CD detected.", "Script Completed."}));
    sound.cdPlays = true;
    sound.events.clear();
    TfrmActiveAlarm* beyond = RunStep(Cd("D", 0, 7));
    EXPECT_EQ(beyond->EventLines(), Lines({"Playing CD.", "Script Completed."}));
    EXPECT_TRUE(sound.events.empty());
}

TEST_F(SoundTest, RandomTrackStaysOnTheDisc) {
    sound.discs[QStringLiteral("/dev/sr0")] = 12;
    std::set<std::string> tracks;
    for (int i = 0; i < 40; ++i) {
        sound.events.clear();
        TfrmActiveAlarm* w = RunStep(Cd("D", 1, 99));
        ASSERT_FALSE(sound.events.empty());
        const std::string what = sound.events.front().what;
        ASSERT_EQ(what.rfind("cd /dev/sr0 ", 0), 0u) << what;
        const int track = std::stoi(what.substr(12));
        EXPECT_GE(track, 1);
        EXPECT_LE(track, 12);
        tracks.insert(what);
        w->close();
        Flush();
    }
    EXPECT_GT(tracks.size(), 1u);
}

TEST_F(SoundTest, CdIsNotWaitedForAndStopsWhenTheWindowCloses) {
    sound.discs[QStringLiteral("/dev/sr0")] = 3;
    AlRec a = WithMusic(Cd("D", 0, 1));
    a.AlHideWindow = true;
    QPointer<TfrmActiveAlarm> w = Open(a);
    clock.Advance(1000);
    Flush();
    EXPECT_FALSE(w);
    EXPECT_EQ(sound.What(), (Strings{"cd /dev/sr0 1", "cd stopped"}));
}

TEST_F(SoundTest, AudioCDPresentNeedsADriveLetterAndAnAudioDisc) {
    sound.discs[QStringLiteral("/dev/sr0")] = 3;
    EXPECT_TRUE(AudioCDPresent(sound.Drives(), QStringLiteral("D")));
    EXPECT_TRUE(AudioCDPresent(sound.Drives(), QStringLiteral("d:")));
    EXPECT_FALSE(AudioCDPresent(sound.Drives(), QStringLiteral("E")));
    EXPECT_FALSE(AudioCDPresent(sound.Drives(), QString()));
    EXPECT_FALSE(AudioCDPresent(sound.Drives(), QStringLiteral("?")));
}

}  // namespace
}  // namespace ringmere::run
