// The program's sound devices on Qt Multimedia.
#include <QApplication>
#include <QAudioDevice>
#include <QAudioOutput>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMediaDevices>
#include <QMediaPlayer>
#include <QPointer>
#include <QSoundEffect>
#include <QTemporaryFile>
#include <QTimer>
#include <QUrl>
#include <QtMath>
#include <algorithm>
#include <cmath>
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
    // `failed` hears why a playback that started went wrong.
    explicit Player(std::function<void(const QString&)> failed) : failed_(std::move(failed)) {}

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
    // A stop or a new start voids a failure not yet told.
    void Stop() {
        ++serial_;
        ended_ = nullptr;
        playing_ = false;
        if (!player_) return;
        player_->stop();
        player_->setSource(QUrl());
    }
    bool IsPlaying() const { return playing_; }
    void SetVolume(double level) {
        volume_ = level;
        if (output_) output_->setVolume(float(level));
    }

private:
    void Finish(const QString& why = {}) {
        if (!playing_) return;
        playing_ = false;
        if (auto ended = std::move(ended_)) ended();
        // Told from the event loop: the listener may start another sound,
        // which the player's own signal is no place for.
        if (!why.isEmpty())
            QTimer::singleShot(0, player_.get(), [this, why, serial = serial_] {
                if (serial == serial_) failed_(why);
            });
    }

    void Make() {
        if (player_) return;
        player_ = std::make_unique<QMediaPlayer>();
        output_ = std::make_unique<QAudioOutput>();
        output_->setVolume(float(volume_));
        player_->setAudioOutput(output_.get());
        QMediaPlayer* p = player_.get();
        QObject::connect(
            p, &QMediaPlayer::mediaStatusChanged, p, [this](QMediaPlayer::MediaStatus status) {
                if (status == QMediaPlayer::EndOfMedia) Finish();
                if (status == QMediaPlayer::InvalidMedia)
                    Finish(QStringLiteral("the media framework cannot read it"));
            });
        QObject::connect(p, &QMediaPlayer::errorOccurred, p,
                         [this](QMediaPlayer::Error, const QString& text) {
                             Finish(text.isEmpty() ? QStringLiteral("the media framework failed")
                                                   : text);
                         });
    }

    // The output before the player: the player holds a pointer to it.
    std::unique_ptr<QAudioOutput> output_;
    std::unique_ptr<QMediaPlayer> player_;
    bool playing_ = false;
    double volume_ = 1.0;
    quint64 serial_ = 0;
    std::function<void()> ended_;
    std::function<void(const QString&)> failed_;
};

// Wave files through QSoundEffect, which reads PCM wave files itself and
// needs no decoder of the media framework. Made on the first playback, as
// the media player is.
class Effect {
public:
    explicit Effect(std::function<void(const QString&)> failed) : failed_(std::move(failed)) {
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
        const QByteArray head = in.read(64 * 1024);
        const std::optional<qint64> length = WaveDurationMs(head);
        if (!length) return Fail(QStringLiteral("not a PCM wave file"));
        const QString encoding = UnplayableWaveEncoding(head);
        if (!encoding.isEmpty())
            return Fail(QStringLiteral("there is no decoder for its encoding (%1)").arg(encoding));
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
        ++serial_;
        ended_ = nullptr;
        playing_ = false;
        started_ = false;
        watchdog_.stop();
        if (effect_) effect_->stop();
    }
    bool IsPlaying() const { return playing_; }
    QString ErrorText() const { return error_; }
    void SetVolume(double level) {
        volume_ = level;
        if (effect_) effect_->setVolume(float(level));
    }

private:
    bool Fail(const QString& why) {
        error_ = why;
        return false;
    }
    void Finish(const QString& why = {}) {
        if (!playing_) return;
        playing_ = false;
        started_ = false;
        watchdog_.stop();
        if (effect_) effect_->stop();
        if (auto ended = std::move(ended_)) ended();
        // From the event loop: the listener may start another sound, which
        // the effect's own signal is no place for.
        if (!why.isEmpty())
            QTimer::singleShot(0, &watchdog_, [this, why, serial = serial_] {
                if (serial == serial_) failed_(why);
            });
    }
    void Make() {
        if (effect_) return;
        effect_ = std::make_unique<QSoundEffect>();
        effect_->setVolume(float(volume_));
        QSoundEffect* e = effect_.get();
        QObject::connect(e, &QSoundEffect::playingChanged, e, [this] {
            if (!effect_->isPlaying() && started_) Finish();
        });
        QObject::connect(e, &QSoundEffect::statusChanged, e, [this] {
            // The effect gives no reason; its decoder or the output refused.
            if (effect_->status() == QSoundEffect::Error)
                Finish(QStringLiteral("the sound system could not decode or play it"));
        });
    }

    std::unique_ptr<QSoundEffect> effect_;
    QTimer watchdog_;
    bool playing_ = false;
    bool started_ = false;
    double volume_ = 1.0;
    quint64 serial_ = 0;
    std::function<void()> ended_;
    std::function<void(const QString&)> failed_;
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
    void SetVolume(double level) override { effect_.SetVolume(level); }

private:
    Effect effect_{[this](const QString& why) { Failed(why); }};
};

class QtLoopPlayer final : public LoopPlayer {
public:
    bool Loop(const QString& path) override {
        return effect_.Start(path, QSoundEffect::Infinite, nullptr);
    }
    void Stop() override { effect_.Stop(); }
    bool IsPlaying() const override { return effect_.IsPlaying(); }
    QString ErrorText() const override { return effect_.ErrorText(); }
    void SetVolume(double level) override { effect_.SetVolume(level); }

private:
    Effect effect_{[this](const QString& why) { Failed(why); }};
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
    void SetVolume(double level) override { player_.SetVolume(level); }

private:
    Player player_{[this](const QString& why) { Failed(why); }};
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

struct WaveHead {
    quint32 byteRate = 0;
    int encoding = -1;  // the format tag; -1 without a format chunk
    quint32 dataSize = 0;
};

// The wave header up to the "data" chunk; nothing when the bytes are no
// wave file or end before it.
std::optional<WaveHead> ReadWaveHead(const QByteArray& head) {
    if (head.size() < 12 || !head.startsWith("RIFF") || head.mid(8, 4) != "WAVE")
        return std::nullopt;
    WaveHead w;
    qsizetype at = 12;
    while (at + 8 <= head.size()) {
        const QByteArray id = head.mid(at, 4);
        const quint32 size = Le32(head, at + 4);
        if (id == "fmt " && at + 8 + 12 <= head.size()) {
            const auto* p = reinterpret_cast<const unsigned char*>(head.constData() + at + 8);
            w.encoding = p[0] | p[1] << 8;
            w.byteRate = Le32(head, at + 8 + 8);
        }
        if (id == "data") {
            w.dataSize = size;
            return w;
        }
        // Chunks are padded to an even length.
        at += 8 + qsizetype(size) + (size & 1);
    }
    return std::nullopt;
}

}  // namespace

std::optional<qint64> WaveDurationMs(const QByteArray& head) {
    const std::optional<WaveHead> w = ReadWaveHead(head);
    if (!w || w->byteRate == 0) return std::nullopt;
    return qint64(w->dataSize) * 1000 / w->byteRate;
}

QString UnplayableWaveEncoding(const QByteArray& head) {
    const std::optional<WaveHead> w = ReadWaveHead(head);
    if (!w) return {};
    // What the sound effect's own decoder reads: integer PCM, float, and
    // the extensible header around them.
    switch (w->encoding) {
        case 1:
        case 3:
        case 0xfffe:
            return {};
        case 2:
            return QStringLiteral("Microsoft ADPCM");
        case 6:
            return QStringLiteral("A-law");
        case 7:
            return QStringLiteral("mu-law");
        case 0x11:
            return QStringLiteral("IMA ADPCM");
        case 0x31:
            return QStringLiteral("GSM 6.10");
        case 0x50:
            return QStringLiteral("MPEG");
        case 0x55:
            return QStringLiteral("MPEG layer 3");
        case -1:
            return QStringLiteral("no format chunk");
        default:
            return QStringLiteral("format 0x%1").arg(w->encoding, 4, 16, QLatin1Char('0'));
    }
}

QByteArray ToneWave() {
    // Four 880 Hz beeps of 150 ms, 100 ms apart, then half a second's rest,
    // so that a looped tone is not one endless whine.
    constexpr int kRate = 16000;
    constexpr int kBeepMs = 150;
    constexpr int kGapMs = 100;
    constexpr int kRestMs = 500;
    constexpr int kBeeps = 4;
    constexpr int kRampSamples = kRate / 200;  // 5 ms, against clicks
    const int beep = kRate * kBeepMs / 1000;
    const int gap = kRate * kGapMs / 1000;
    const int total = kBeeps * (beep + gap) + kRate * kRestMs / 1000;
    QByteArray pcm(total * 2, 0);
    auto* out = reinterpret_cast<unsigned char*>(pcm.data());
    for (int b = 0; b < kBeeps; ++b) {
        const int start = b * (beep + gap);
        for (int i = 0; i < beep; ++i) {
            const double ramp = std::min({1.0, double(i) / kRampSamples,
                                          double(beep - 1 - i) / kRampSamples});
            const double v = 0.6 * ramp * std::sin(2 * M_PI * 880.0 * i / kRate);
            const auto sample = qint16(std::lround(v * 32767));
            out[2 * (start + i)] = quint8(quint16(sample) & 0xff);
            out[2 * (start + i) + 1] = quint8(quint16(sample) >> 8);
        }
    }
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
    QByteArray body = "WAVE";
    body += "fmt " + le32(16) + le16(1) + le16(1) + le32(kRate) + le32(kRate * 2) + le16(2) +
            le16(16);
    body += "data" + le32(quint32(pcm.size())) + pcm;
    return "RIFF" + le32(quint32(body.size())) + body;
}

QString QtSoundBackend::TonePath(QString& error) {
    if (!tonePath_.isEmpty() && QFileInfo::exists(tonePath_)) return tonePath_;
    // Written once for the program's run; the sound effect reads files only.
    auto file = std::make_unique<QTemporaryFile>(
        QDir::temp().filePath(QStringLiteral("ringmere-tone-XXXXXX.wav")));
    const QByteArray wave = ToneWave();
    if (!file->open() || file->write(wave) != wave.size() || !file->flush()) {
        error = file->errorString();
        return {};
    }
    file->close();
    tonePath_ = file->fileName();
    toneFile_ = std::move(file);
    return tonePath_;
}

void QtSoundBackend::Beep() {
    QApplication::beep();
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
