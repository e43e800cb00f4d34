// The sound devices of a run window, behind small interfaces so that tests
// put fakes in their place: the file player (one wave file played once, its
// end reported), the loop player (a wave file repeated until stopped), and
// the audio CD drives with their player.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

namespace ringmere::run {

// What every player shares: its volume, and who hears of a playback that
// started and then failed (the decoder or the output gave up).
class SoundDevice {
public:
    virtual ~SoundDevice() = default;
    virtual void Stop() = 0;
    virtual bool IsPlaying() const = 0;
    // 0 to 1, for what plays now and what plays next.
    virtual void SetVolume(double level) = 0;
    // Why the last start failed.
    virtual QString ErrorText() const { return {}; }
    // Called, with the reason, when a playback fails after it started; the
    // device has stopped then. Never from inside Play, Loop or Stop.
    void OnFailure(std::function<void(const QString& why)> failed) { failed_ = std::move(failed); }

protected:
    void Failed(const QString& why) const {
        if (failed_) failed_(why);
    }

private:
    std::function<void(const QString&)> failed_;
};

class FilePlayer : public SoundDevice {
public:
    // Plays the file once; `ended` is called when the playback ends or
    // fails (before the failure is told). False when the file cannot be
    // played at all (then `ended` is never called).
    virtual bool Play(const QString& path, std::function<void()> ended) = 0;
};

class LoopPlayer : public SoundDevice {
public:
    // Replaces whatever this player plays by `path`, repeated until Stop.
    // A file that cannot be played plays nothing, and false is returned.
    virtual bool Loop(const QString& path) = 0;
};

class CdPlayer : public SoundDevice {
public:
    // Plays track `track` (from 1) of the disc in `device`; false when the
    // media framework cannot play it.
    virtual bool Play(const QString& device, int track) = 0;
};

class CdDrives {
public:
    virtual ~CdDrives() = default;
    // The number of tracks of the audio disc in `device`; nothing when the
    // device is no CD drive, holds no disc or holds a data disc.
    virtual std::optional<int> AudioTracks(const QString& device) = 0;
};

class SoundBackend {
public:
    virtual ~SoundBackend() = default;
    virtual std::unique_ptr<FilePlayer> NewFilePlayer() = 0;
    virtual std::unique_ptr<LoopPlayer> NewLoopPlayer() = 0;
    virtual std::unique_ptr<CdPlayer> NewCdPlayer() = 0;
    virtual CdDrives& Drives() = 0;
    // A wave file of the program's own tone, for when an alarm's sound
    // cannot play; empty with `error` when it cannot be made.
    virtual QString TonePath(QString& error) = 0;
    // The desktop's bell: what is left when not even the tone plays.
    virtual void Beep() = 0;
};

// Qt Multimedia for files and CD tracks ("cdda://" through GStreamer), the
// Linux CD-ROM calls for the drives.
class QtSoundBackend final : public SoundBackend {
public:
    std::unique_ptr<FilePlayer> NewFilePlayer() override;
    std::unique_ptr<LoopPlayer> NewLoopPlayer() override;
    std::unique_ptr<CdPlayer> NewCdPlayer() override;
    CdDrives& Drives() override;
    QString TonePath(QString& error) override;
    void Beep() override;

private:
    std::unique_ptr<QFile> toneFile_;  // removed when the program ends
    QString tonePath_;
};

// CD drives keep the letters of the system the alarm files come from: the
// first drive, /dev/sr0, is "D", /dev/sr1 is "E", up to "Z". Empty for a
// letter that names no drive slot (A to C, or no letter).
QString CdDevicePath(const QString& driveLetter);
// The letters of the CD drives present, in device order.
QStringList CdDriveLetters(const QString& deviceDir = QStringLiteral("/dev"));

// True when the drive named by the first character of `driveLetter` holds
// an audio CD.
bool AudioCDPresent(CdDrives& drives, const QString& driveLetter);

// The playing time of a PCM wave file from its first bytes (up to its
// "data" chunk); nothing when they are no wave file.
std::optional<qint64> WaveDurationMs(const QByteArray& head);

// The encoding of a wave file's first bytes when the program has no decoder
// for it ("MPEG layer 3"); empty for one it plays or for no wave file.
QString UnplayableWaveEncoding(const QByteArray& head);

// The program's tone: a few short beeps as a 16-bit mono PCM wave file.
QByteArray ToneWave();

// The Linux CD-ROM calls: the track count of an audio disc in `device`.
std::optional<int> ReadAudioTrackCount(const QString& device);

}  // namespace ringmere::run
