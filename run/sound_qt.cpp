// The program's sound devices on Qt Multimedia.
#include <QAudioOutput>
#include <QFileInfo>
#include <QMediaPlayer>
#include <QUrl>

#include "run/sound.h"

namespace ringmere::run {

namespace {

// One media player with its audio output; `playing` follows the playback
// so that a file that fails to load never counts as playing.
class Player {
public:
    Player() {
        player_.setAudioOutput(&output_);
        QObject::connect(
            &player_, &QMediaPlayer::mediaStatusChanged, &player_,
            [this](QMediaPlayer::MediaStatus status) {
                if (status == QMediaPlayer::EndOfMedia || status == QMediaPlayer::InvalidMedia)
                    Finish();
            });
        QObject::connect(&player_, &QMediaPlayer::errorOccurred, &player_,
                         [this](QMediaPlayer::Error, const QString&) { Finish(); });
    }

    bool Start(const QUrl& url, int loops, std::function<void()> ended) {
        Stop();
        if (!player_.isAvailable()) return false;
        // Set before the source: a file that fails to load may say so at once.
        ended_ = std::move(ended);
        playing_ = true;
        player_.setLoops(loops);
        player_.setSource(url);
        if (playing_) player_.play();
        return true;
    }
    void Stop() {
        ended_ = nullptr;
        playing_ = false;
        player_.stop();
        player_.setSource(QUrl());
    }
    bool IsPlaying() const { return playing_; }

private:
    void Finish() {
        if (!playing_) return;
        playing_ = false;
        if (auto ended = std::move(ended_)) ended();
    }

    QMediaPlayer player_;
    QAudioOutput output_;
    bool playing_ = false;
    std::function<void()> ended_;
};

class QtFilePlayer final : public FilePlayer {
public:
    bool Play(const QString& path, std::function<void()> ended) override {
        if (!QFileInfo(path).isFile()) return false;
        return player_.Start(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()), 1,
                             std::move(ended));
    }
    void Stop() override { player_.Stop(); }
    bool IsPlaying() const override { return player_.IsPlaying(); }

private:
    Player player_;
};

class QtLoopPlayer final : public LoopPlayer {
public:
    void Loop(const QString& path) override {
        player_.Stop();
        if (!QFileInfo(path).isFile()) return;
        player_.Start(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()),
                      QMediaPlayer::Infinite, nullptr);
    }
    void Stop() override { player_.Stop(); }
    bool IsPlaying() const override { return player_.IsPlaying(); }

private:
    Player player_;
};

class QtCdPlayer final : public CdPlayer {
public:
    bool Play(const QString& device, int track) override {
        // GStreamer's CD source reads "cdda://<device>#<track>".
        QUrl url;
        url.setScheme(QStringLiteral("cdda"));
        url.setPath(device);
        url.setFragment(QString::number(track));
        return player_.Start(url, 1, nullptr);
    }
    void Stop() override { player_.Stop(); }
    bool IsPlaying() const override { return player_.IsPlaying(); }

private:
    Player player_;
};

class LinuxCdDrives final : public CdDrives {
public:
    std::optional<int> AudioTracks(const QString& device) override {
        return ReadAudioTrackCount(device);
    }
};

SoundBackend* g_backend = nullptr;

}  // namespace

std::unique_ptr<FilePlayer> QtSoundBackend::NewFilePlayer() {
    return std::make_unique<QtFilePlayer>();
}

std::unique_ptr<LoopPlayer> QtSoundBackend::NewLoopPlayer() {
    return std::make_unique<QtLoopPlayer>();
}

std::unique_ptr<CdPlayer> QtSoundBackend::NewCdPlayer() {
    return std::make_unique<QtCdPlayer>();
}

CdDrives& QtSoundBackend::Drives() {
    static LinuxCdDrives drives;
    return drives;
}

SoundBackend& Sound() {
    static QtSoundBackend program;
    return g_backend ? *g_backend : program;
}

void SetSoundBackend(SoundBackend* backend) {
    g_backend = backend;
}

bool AudioCDPresent(CdDrives& drives, const QString& driveLetter) {
    const QString device = CdDevicePath(driveLetter);
    return !device.isEmpty() && drives.AudioTracks(device).has_value();
}

bool AudioCDPresent(const QString& driveLetter) {
    return AudioCDPresent(Sound().Drives(), driveLetter);
}

}  // namespace ringmere::run
