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

#include "core/settings.h"
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

TEST_F(SoundTest, MissingWaveFileSaysWhyAndTheToneInItsPlaceHoldsTheWindow) {
    AlRec a = WithMusic(Wave("/nowhere.wav", 0));
    a.AlHideWindow = true;
    QPointer<TfrmActiveAlarm> w = Open(a);
    clock.Advance(1000);
    ASSERT_TRUE(w);  // the tone plays for 1.5 s
    clock.Advance(1000);
    Flush();
    EXPECT_FALSE(w);
    EXPECT_EQ(LogMessages(),
              (Strings{"S executing.", "Playing /nowhere.wav.",
                       "Could not play /nowhere.wav: no such file.",
                       "Playing the built-in tone instead.", "Alarm Completed.", "Window closed."}));
}

// Every way a sound fails is told with its reason, in the window and the
// log; the tone takes the sound's place, and the bell and a flashing window
// the tone's when that fails too.
TEST_F(SoundTest, EveryFailureIsToldAndSomethingAlwaysSounds) {
    const std::string tone = std::string("once ") + FakeSound::kTone;
    const std::string toneLoop = std::string("loop ") + FakeSound::kTone;
    const QString toneFile = QString::fromLatin1(FakeSound::kTone);
    sound.discs[QStringLiteral("/dev/sr0")] = 4;
    const struct {
        const char* name;
        MusicType music;
        std::function<void()> setUp;
        Strings lines;  // after the run's own
        Strings devices;
        bool flashes;
    } cases[] = {
        {"missing, until stopped",
         Wave("/gone.wav", 1),
         [] {},
         {"Playing /gone.wav.", "Could not play /gone.wav: no such file.",
          "Playing the built-in tone instead."},
         {"loop /gone.wav", toneLoop},
         false},
        {"decoder gives up after it started",
         Wave("/odd.wav", 0),
         [&] {
             sound.files[QStringLiteral("/odd.wav")] = 300;
             sound.broken[QStringLiteral("/odd.wav")] = QStringLiteral("no decoder for it");
         },
         {"Playing /odd.wav.", "Could not play /odd.wav: no decoder for it.",
          "Playing the built-in tone instead."},
         {"once /odd.wav", "once failed", tone},
         false},
        {"output fails while looping for seconds",
         Wave("/odd.wav", 2, 5),
         [&] { sound.broken[QStringLiteral("/odd.wav")] = QStringLiteral("the device was unplugged"); },
         {"Playing /odd.wav.", "Could not play /odd.wav: the device was unplugged.",
          "Playing the built-in tone instead."},
         {"loop /odd.wav", "loop failed", toneLoop},
         false},
        {"no disc",
         Cd("E", 0, 1),
         [] {},
         {"No audio CD detected.", "Playing the built-in tone instead."},
         {tone},
         false},
        {"CD fails after it started",
         Cd("D", 0, 2),
         [&] { sound.cdFailsLater = QStringLiteral("the drive is busy"); },
         {"Playing CD.", "Could not play the CD: the drive is busy.",
          "Playing the built-in tone instead."},
         {"cd /dev/sr0 2", "cd failed", tone},
         false},
        {"the tone cannot be made",
         Wave("/gone.wav", 0),
         [&] { sound.toneError = QStringLiteral("disk full"); },
         {"Playing /gone.wav.", "Could not play /gone.wav: no such file.",
          "Could not play the built-in tone: disk full."},
         {"once /gone.wav", "beep"},
         true},
        {"the tone fails as it plays",
         Wave("/gone.wav", 1),
         [&] {
             sound.files[toneFile] = 200;
             sound.broken[toneFile] = QStringLiteral("no audio output device");
         },
         {"Playing /gone.wav.", "Could not play /gone.wav: no such file.",
          "Playing the built-in tone instead.",
          "Could not play the built-in tone: no audio output device."},
         {"loop /gone.wav", toneLoop, "loop failed", "beep"},
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sound.broken.clear();
        sound.files.erase(QStringLiteral("/odd.wav"));
        sound.files[toneFile] = 1500;
        sound.cdFailsLater.clear();
        sound.toneError.clear();
        sound.events.clear();
        c.setUp();
        const bool cd = c.music.MuType == 2;
        TfrmActiveAlarm* w = cd ? RunStep(c.music) : RunSimple(c.music);
        Strings lines;
        for (const QString& l : w->EventLines())
            if (!l.endsWith(QStringLiteral("Completed."))) lines.push_back(l.toStdString());
        EXPECT_EQ(lines, c.lines);
        EXPECT_EQ(sound.What(), c.devices);
        EXPECT_EQ(w->IsFlashing(), c.flashes);
        const Strings logged = LogMessages();
        EXPECT_NE(std::find(logged.begin(), logged.end(), c.lines.back()), logged.end());
        w->close();
        Flush();
    }
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
    const std::string kTone = "Playing the built-in tone instead.";
    const std::string blankSimple =
        std::string("CD drive letter blank.  Re-enter alarm if drive letters changed or contact ") +
        kSupportAddress + ".";
    const struct {
        MusicType music;
        bool step;
        Strings lines;
    } cases[] = {
        {Cd("", 0, 1), false, {blankSimple, "No audio CD detected.", kTone}},
        {Cd("", 0, 1), true, {"Script CD drive letter blank.", "No audio CD detected.", kTone}},
        {Cd("D", 0, 1), false, {"No audio CD detected.", kTone}},  // data disc or none
        {Cd("C", 0, 1), true, {"No audio CD detected.", kTone}},   // no CD drive letter
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
    const std::string tone = std::string("once ") + FakeSound::kTone;
    EXPECT_EQ(sound.What(), (Strings{tone, "once stopped", tone, "once stopped", tone,
                                     "once stopped", tone, "once stopped", "cd /dev/sr1 1",
                                     "cd stopped", "cd /dev/sr1 3", "cd stopped"}));
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
    EXPECT_EQ(w->EventLines(), Lines({"Playing CD.", "No audio CD detected.",
                                      "Playing the built-in tone instead.", "Script Completed."}));
    w->close();
    sound.cdPlays = true;
    sound.events.clear();
    TfrmActiveAlarm* beyond = RunStep(Cd("D", 0, 7));
    EXPECT_EQ(beyond->EventLines(),
              Lines({"Playing CD.", "Could not play the CD: it has no track 7.",
                     "Playing the built-in tone instead.", "Script Completed."}));
    EXPECT_EQ(sound.What(), Strings{std::string("once ") + FakeSound::kTone});
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

TEST_F(SoundTest, FadeInRaisesTheVolumeFromATenthInSteps) {
    sound.files[QStringLiteral("/a.wav")] = 60000;
    std::string error;
    const struct {
        qint64 stored;  // as the store holds it
        Strings levels;
    } cases[] = {
        {-1, {"1.000"}},  // nothing stored: off
        {0, {"1.000"}},
        {1, {"0.100", "0.325", "0.550", "0.775", "1.000"}},
        {0xfffffffc, {"1.000"}},  // -4: held to the range
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored);
        sound.levels.clear();
        if (c.stored >= 0)
            ASSERT_TRUE(fakes.settings.WriteValue(kSettingsKey, kFadeInValue,
                                                  RegValue::Number(quint32(c.stored)), error));
        TfrmActiveAlarm* w = Open(WithMusic(Wave("/a.wav", 1)));
        clock.Advance(3000);
        Strings levels;
        const auto& set = sound.levels["loop"];
        for (const SoundEvent& e : set) levels.push_back(e.what);
        EXPECT_EQ(levels, c.levels);
        for (std::size_t i = 1; i < set.size(); ++i)
            EXPECT_EQ(set[i].atMs - set[i - 1].atMs, FadeIn::kStepMs);
        EXPECT_FALSE(w->Sound().Fading());
        w->close();
    }
    ASSERT_TRUE(fakes.settings.WriteValue(kSettingsKey, kFadeInValue, RegValue::Number(1000), error));
    EXPECT_EQ(ReadFadeInSeconds(fakes.settings), kFadeInMaxSeconds);

    // The tone in a missing file's place fades in too; Snooze ends the fade.
    ASSERT_TRUE(fakes.settings.WriteValue(kSettingsKey, kFadeInValue, RegValue::Number(10), error));
    sound.levels.clear();
    TfrmActiveAlarm* w = Open(WithMusic(Wave("/gone.wav", 1)));
    clock.Advance(1000);
    ASSERT_TRUE(w->Sound().Fading());
    ASSERT_FALSE(sound.levels["loop"].empty());
    EXPECT_EQ(sound.levels["loop"].front().what, "0.100");
    w->findChild<QPushButton*>(QStringLiteral("btnSnooze"))->click();
    EXPECT_FALSE(w->Sound().Fading());
    const std::size_t steps = sound.levels["loop"].size();
    clock.Advance(10000);
    EXPECT_EQ(sound.levels["loop"].size(), steps);
    EXPECT_LT(sound.levels["loop"].back().what, "1.000");
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

// The same header with another format tag.
QByteArray Encoded(quint16 tag) {
    QByteArray b = WaveBytes(100);
    b[20] = char(tag & 0xff);
    b[21] = char(tag >> 8);
    return b;
}

TEST(WaveDurationTest, EncodingsWithoutADecoderAreNamed) {
    const struct {
        QByteArray head;
        const char* problem;
    } cases[] = {
        {Encoded(1), ""},       {Encoded(3), ""},
        {Encoded(0xfffe), ""},  {Encoded(0x55), "MPEG layer 3"},
        {Encoded(0x11), "IMA ADPCM"}, {Encoded(0x1234), "format 0x1234"},
        {QByteArray("ID3\x03 an mp3 file"), ""},  // no wave file: told otherwise
    };
    for (const auto& c : cases)
        EXPECT_EQ(UnplayableWaveEncoding(c.head), QString::fromLatin1(c.problem));
}

TEST(WaveDurationTest, TheToneIsAnAudibleWaveTheProgramPlays) {
    const QByteArray tone = ToneWave();
    EXPECT_EQ(WaveDurationMs(tone), 1500);
    EXPECT_TRUE(UnplayableWaveEncoding(tone).isEmpty());
    int peak = 0;
    for (qsizetype i = 44; i + 1 < tone.size(); i += 2)
        peak = std::max(peak, std::abs(int(qint16(quint8(tone[i]) | quint8(tone[i + 1]) << 8))));
    EXPECT_GT(peak, 16000);
    EXPECT_LT(peak, 32767);  // no clipping
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
    const QString mp3 = dir.filePath(QStringLiteral("mp3 inside.wav"));
    {
        QFile f(mp3);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(Encoded(0x55));
    }
    EXPECT_FALSE(player->Play(mp3, [] {}));
    EXPECT_EQ(player->ErrorText(), "there is no decoder for its encoding (MPEG layer 3)");
    QString error;
    const QString tone = backend.TonePath(error);
    ASSERT_FALSE(tone.isEmpty()) << error.toStdString();
    EXPECT_EQ(backend.TonePath(error), tone);  // made once
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

namespace ringmere::run {
namespace {

// The run window over the real Qt back-end: a sound the program cannot
// decode is told, and the tone plays instead, or, on a machine without an
// audio output, the reason for that is told and the window flashes.
TEST(QtSoundBackendTest, AnUndecodableSoundIsToldAndTheToneOrTheBellTakesOver) {
    testing::RunFixture run;
    QtSoundBackend backend;
    Services services = run.fakes.Handed();
    Services real{.clock = services.clock,
                  .dialogs = services.dialogs,
                  .waiting = services.waiting,
                  .log = services.log,
                  .desktop = services.desktop,
                  .sound = backend,
                  .settings = services.settings};
    const QString file = QDir(run.dir.path()).filePath(QStringLiteral("song.wav"));
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("ID3\x03\x00\x00\x00\x00\x00\x21 frames of an mp3 file");
    }
    AlRec a = testing::Simple("S");
    a.Music->MuType = kMusicWave;
    a.Music->Wav.wavfile = file.toStdString();
    a.Music->Wav.wavtype = kWavOnce;
    QPointer<TfrmActiveAlarm> w =
        static_cast<TfrmActiveAlarm*>(OpenRunWindow(run.g, run.Add(a), real));
    run.clock.Advance(1000);
    ASSERT_TRUE(w);
    const bool output = !QMediaDevices::audioOutputs().isEmpty();
    QStringList expected = {"Playing " + file + ".",
                            "Could not play " + file + ": not a PCM wave file."};
    expected << (output ? QStringLiteral("Playing the built-in tone instead.")
                        : QStringLiteral("Could not play the built-in tone: no audio output device."));
    expected << QStringLiteral("Alarm Completed.");
    EXPECT_EQ(w->EventLines(), expected);
    EXPECT_EQ(w->IsFlashing(), !output);
    w->close();
}

}  // namespace
}  // namespace ringmere::run
