// The sound devices of a run window, behind small interfaces so that tests
// put fakes in their place: the file player (one wave file played once, its
// end reported), the loop player (a wave file repeated until stopped), and
// the audio CD drives with their player.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

namespace ringmere::run {

class FilePlayer {
public:
    virtual ~FilePlayer() = default;
    // Plays the file once; `ended` is called when the playback ends or
    // fails. False when the file cannot be played at all (then `ended` is
    // never called).
    virtual bool Play(const QString& path, std::function<void()> ended) = 0;
    virtual void Stop() = 0;
    virtual bool IsPlaying() const = 0;
    // Why the last Play or Loop failed.
    virtual QString ErrorText() const { return {}; }
};

class LoopPlayer {
public:
    virtual ~LoopPlayer() = default;
    // Replaces whatever this player plays by `path`, repeated until Stop.
    // A file that cannot be played plays nothing, and false is returned.
    virtual bool Loop(const QString& path) = 0;
    virtual void Stop() = 0;
    virtual bool IsPlaying() const = 0;
    virtual QString ErrorText() const { return {}; }
};

class CdPlayer {
public:
    virtual ~CdPlayer() = default;
    // Plays track `track` (from 1) of the disc in `device`; false when the
    // media framework cannot play it.
    virtual bool Play(const QString& device, int track) = 0;
    virtual void Stop() = 0;
    virtual bool IsPlaying() const = 0;
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
};

// Qt Multimedia for files and CD tracks ("cdda://" through GStreamer), the
// Linux CD-ROM calls for the drives.
class QtSoundBackend final : public SoundBackend {
public:
    std::unique_ptr<FilePlayer> NewFilePlayer() override;
    std::unique_ptr<LoopPlayer> NewLoopPlayer() override;
    std::unique_ptr<CdPlayer> NewCdPlayer() override;
    CdDrives& Drives() override;
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

// The Linux CD-ROM calls: the track count of an audio disc in `device`.
std::optional<int> ReadAudioTrackCount(const QString& device);

}  // namespace ringmere::run
