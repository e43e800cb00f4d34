// Sound of a run: MP3 files handed to the desktop, wave files once, looped
// and timed, audio CD tracks, silence, and what Snooze stops.
#include <gtest/gtest.h>

#include <QAudioDevice>
#include <QDeadlineTimer>
#include <QFile>
#include <QMediaDevices>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>
#include <QToolButton>
#include <set>

#include "fake_services.h"
#include "run/activealarm.h"

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
    EXPECT_EQ(dialogs.shown[0].kind, widgets::BoxKind::Warning);
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

TEST_F(SoundTest, MissingWaveFilePlaysNothingSaysWhyAndDoesNotHoldTheWindow) {
    AlRec a = WithMusic(Wave("/nowhere.wav", 0));
    a.AlHideWindow = true;
    QPointer<TfrmActiveAlarm> w = Open(a);
    clock.Advance(1000);
    Flush();
    EXPECT_FALSE(w);
    EXPECT_EQ(LogMessages(),
              (Strings{"S executing.", "Playing /nowhere.wav.",
                       "Could not play /nowhere.wav: no such file.", "Alarm Completed.",
                       "Window closed."}));
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
    EXPECT_EQ(LogMessages(), (Strings{"S executing.", "Alarm Completed.", "Window closed.",
                                      "S executing.", "Playing CD.", "Script Completed."}));
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

namespace ringmere::run {
namespace {

// A PCM wave file: `ms` of 8 kHz mono 16-bit silence, with an extra chunk
// before the format when asked.
QByteArray WaveBytes(int ms, bool listChunk = false) {
    auto le32 = [](quint32 v) {
        QByteArray b(4, 0);
        for (int i = 0; i < 4; ++i) b[i] = char((v >> (8 * i)) & 0xff);
        return b;
    };
    auto le16 = [](quint16 v) {
        QByteArray b(2, 0);
        b[0] = char(v & 0xff);
        b[1] = char(v >> 8);
        return b;
    };
    const quint32 dataSize = quint32(8000 * 2 * ms / 1000);
    QByteArray body = "WAVE";
    if (listChunk) body += "LIST" + le32(3) + "abc" + QByteArray(1, 0);  // padded to even
    body += "fmt " + le32(16) + le16(1) + le16(1) + le32(8000) + le32(16000) + le16(2) + le16(16);
    body += "data" + le32(dataSize) + QByteArray(int(dataSize), 0);
    return "RIFF" + le32(quint32(body.size())) + body;
}

TEST(WaveDurationTest, FromTheHeader) {
    EXPECT_EQ(WaveDurationMs(WaveBytes(500)), 500);
    EXPECT_EQ(WaveDurationMs(WaveBytes(1250, true)), 1250);
    EXPECT_EQ(WaveDurationMs(WaveBytes(500).left(44)), 500);  // the header alone will do
    EXPECT_FALSE(WaveDurationMs(WaveBytes(500).left(30)));
    EXPECT_FALSE(WaveDurationMs(QByteArray("ID3\x03 an mp3 file")));
    EXPECT_FALSE(WaveDurationMs(QByteArray()));
    QByteArray noRate = WaveBytes(100);
    noRate.replace(28, 4, QByteArray(4, 0));  // byte rate 0
    EXPECT_FALSE(WaveDurationMs(noRate));
}

TEST(QtSoundBackendTest, AWavePlayedOnceAlwaysEndsOrSaysWhyItCannotStart) {
    QTemporaryDir dir;
    const QString wav = dir.filePath(QStringLiteral("short one.wav"));
    const QString junk = dir.filePath(QStringLiteral("junk.wav"));
    {
        QFile f(wav);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(WaveBytes(200));
        QFile j(junk);
        ASSERT_TRUE(j.open(QIODevice::WriteOnly));
        j.write("not a wave file at all");
    }
    QtSoundBackend backend;
    auto player = backend.NewFilePlayer();
    EXPECT_FALSE(player->Play(junk, [] {}));
    EXPECT_EQ(player->ErrorText(), "not a PCM wave file");
    EXPECT_FALSE(player->Play(dir.filePath(QStringLiteral("missing.wav")), [] {}));
    EXPECT_EQ(player->ErrorText(), "the file does not exist");
    if (QMediaDevices::audioOutputs().isEmpty()) {
        EXPECT_FALSE(player->Play(wav, [] {}));
        EXPECT_EQ(player->ErrorText(), "no audio output device");
        return;
    }
    bool ended = false;
    ASSERT_TRUE(player->Play(wav, [&] { ended = true; }));
    EXPECT_TRUE(player->IsPlaying());
    QDeadlineTimer deadline(10000);
    while (!ended && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    EXPECT_TRUE(ended);
    EXPECT_FALSE(player->IsPlaying());

    auto loop = backend.NewLoopPlayer();
    loop->Loop(junk);
    EXPECT_FALSE(loop->IsPlaying());
    loop->Loop(wav);
    EXPECT_TRUE(loop->IsPlaying());
    loop->Stop();
    EXPECT_FALSE(loop->IsPlaying());
}

}  // namespace
}  // namespace ringmere::run
