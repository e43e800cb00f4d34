// The program's sound devices on Qt Multimedia.
#include <QAudioDevice>
#include <QAudioOutput>
#include <QFile>
#include <QFileInfo>
#include <QMediaDevices>
#include <QMediaPlayer>
#include <QSoundEffect>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <memory>

#include "run/sound.h"

namespace ringmere::run {

namespace {

// One media player with its audio output; `playing` follows the playback
// so that a file that fails to load never counts as playing. The media
// objects are made on the first playback: once made, the media framework
// watches the audio devices for as long as the program runs, and most run
// windows play nothing.
class Player {
public:
    bool Start(const QUrl& url, int loops, std::function<void()> ended) {
        Stop();
        Make();
        if (!player_->isAvailable()) return false;
        // Set before the source: a file that fails to load may say so at once.
        ended_ = std::move(ended);
        playing_ = true;
        player_->setLoops(loops);
        player_->setSource(url);
        if (playing_) player_->play();
        return true;
    }
    void Stop() {
        ended_ = nullptr;
        playing_ = false;
        if (!player_) return;
        player_->stop();
        player_->setSource(QUrl());
    }
    bool IsPlaying() const { return playing_; }

private:
    void Finish() {
        if (!playing_) return;
        playing_ = false;
        if (auto ended = std::move(ended_)) ended();
    }

    void Make() {
        if (player_) return;
        player_ = std::make_unique<QMediaPlayer>();
        output_ = std::make_unique<QAudioOutput>();
        player_->setAudioOutput(output_.get());
        QMediaPlayer* p = player_.get();
        QObject::connect(
            p, &QMediaPlayer::mediaStatusChanged, p, [this](QMediaPlayer::MediaStatus status) {
                if (status == QMediaPlayer::EndOfMedia || status == QMediaPlayer::InvalidMedia)
                    Finish();
            });
        QObject::connect(p, &QMediaPlayer::errorOccurred, p,
                         [this](QMediaPlayer::Error, const QString&) { Finish(); });
    }

    // The output before the player: the player holds a pointer to it.
    std::unique_ptr<QAudioOutput> output_;
    std::unique_ptr<QMediaPlayer> player_;
    bool playing_ = false;
    std::function<void()> ended_;
};

// Wave files through QSoundEffect, which reads PCM wave files itself and
// needs no decoder of the media framework. Made on the first playback, as
// the media player is.
class Effect {
public:
    Effect() {
        watchdog_.setSingleShot(true);
        QObject::connect(&watchdog_, &QTimer::timeout, &watchdog_, [this] { Finish(); });
    }
    bool Start(const QString& path, int loops, std::function<void()> ended) {
        Stop();
        error_.clear();
        const QFileInfo file(path);
        if (!file.exists()) return Fail(QStringLiteral("the file does not exist"));
        if (!file.isFile()) return Fail(QStringLiteral("not a regular file"));
        QFile in(file.absoluteFilePath());
        if (!in.open(QIODevice::ReadOnly)) return Fail(in.errorString());
        const std::optional<qint64> length = WaveDurationMs(in.read(64 * 1024));
        if (!length) return Fail(QStringLiteral("not a PCM wave file"));
        if (QMediaDevices::audioOutputs().isEmpty())
            return Fail(QStringLiteral("no audio output device"));
        // The device may never say that a playback ended (none there, or
        // one that fails quietly): the wave's own length ends it too.
        if (loops == 1) watchdog_.start(int(std::min<qint64>(*length + 500, 0x7fffffff)));
        Make();
        ended_ = std::move(ended);
        playing_ = true;
        started_ = false;
        effect_->setLoopCount(loops);
        effect_->setSource(QUrl::fromLocalFile(file.absoluteFilePath()));
        if (!playing_) return true;  // failed while loading
        effect_->play();
        started_ = true;
        return true;
    }
    void Stop() {
        ended_ = nullptr;
        playing_ = false;
        started_ = false;
        watchdog_.stop();
        if (effect_) effect_->stop();
    }
    bool IsPlaying() const { return playing_; }
    QString ErrorText() const { return error_; }

private:
    bool Fail(const QString& why) {
        error_ = why;
        return false;
    }
    void Finish() {
        if (!playing_) return;
        playing_ = false;
        started_ = false;
        watchdog_.stop();
        if (effect_) effect_->stop();
        if (auto ended = std::move(ended_)) ended();
    }
    void Make() {
        if (effect_) return;
        effect_ = std::make_unique<QSoundEffect>();
        QSoundEffect* e = effect_.get();
        QObject::connect(e, &QSoundEffect::playingChanged, e, [this] {
            if (!effect_->isPlaying() && started_) Finish();
        });
        QObject::connect(e, &QSoundEffect::statusChanged, e, [this] {
            if (effect_->status() == QSoundEffect::Error) Finish();
        });
    }

    std::unique_ptr<QSoundEffect> effect_;
    QTimer watchdog_;
    bool playing_ = false;
    bool started_ = false;
    std::function<void()> ended_;
    QString error_;
};

class QtFilePlayer final : public FilePlayer {
public:
    bool Play(const QString& path, std::function<void()> ended) override {
        return effect_.Start(path, 1, std::move(ended));
    }
    void Stop() override { effect_.Stop(); }
    bool IsPlaying() const override { return effect_.IsPlaying(); }
    QString ErrorText() const override { return effect_.ErrorText(); }

private:
    Effect effect_;
};

class QtLoopPlayer final : public LoopPlayer {
public:
    bool Loop(const QString& path) override {
        return effect_.Start(path, QSoundEffect::Infinite, nullptr);
    }
    void Stop() override { effect_.Stop(); }
    bool IsPlaying() const override { return effect_.IsPlaying(); }
    QString ErrorText() const override { return effect_.ErrorText(); }

private:
    Effect effect_;
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

quint32 Le32(const QByteArray& b, qsizetype at) {
    const auto* p = reinterpret_cast<const unsigned char*>(b.constData() + at);
    return quint32(p[0]) | quint32(p[1]) << 8 | quint32(p[2]) << 16 | quint32(p[3]) << 24;
}

}  // namespace

std::optional<qint64> WaveDurationMs(const QByteArray& head) {
    if (head.size() < 12 || !head.startsWith("RIFF") || head.mid(8, 4) != "WAVE")
        return std::nullopt;
    quint32 byteRate = 0;
    qsizetype at = 12;
    while (at + 8 <= head.size()) {
        const QByteArray id = head.mid(at, 4);
        const quint32 size = Le32(head, at + 4);
        if (id == "fmt " && at + 8 + 12 <= head.size()) byteRate = Le32(head, at + 8 + 8);
        if (id == "data") {
            if (byteRate == 0) return std::nullopt;
            return qint64(size) * 1000 / byteRate;
        }
        // Chunks are padded to an even length.
        at += 8 + qsizetype(size) + (size & 1);
    }
    return std::nullopt;
}

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

bool AudioCDPresent(CdDrives& drives, const QString& driveLetter) {
    const QString device = CdDevicePath(driveLetter);
    return !device.isEmpty() && drives.AudioTracks(device).has_value();
}

}  // namespace ringmere::run
