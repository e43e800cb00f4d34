// Test doubles of the program's services: a clock that tests advance
// and that drives every wait and timer, sound devices and CD drives that
// only record, and a desktop that records what it was asked to open. All of
// them together: fake_services.h.
#pragma once

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <functional>
#include <map>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "core/clock.h"
#include "core/globals.h"
#include "run/desktop.h"
#include "run/sound.h"
#include "run/waiting.h"

// Readable failures for Qt texts.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace ringmere::run::testing {

// Fake time in milliseconds from a start moment. A pause moves the clock
// on and fires every callback that falls due meanwhile, in time order;
// those may pause themselves, so runners nest as in the program.
class FakeWaiting final : public Waiting, public Clock {
public:
    explicit FakeWaiting(DateTime start) : start_(start) {}

    void Pause(int ms) override {
        ++pauses;
        if (quitting) return;
        RunUntil(now_ + (ms < 0 ? 0 : ms));
        QCoreApplication::processEvents();
    }
    void ProcessEvents() override { QCoreApplication::processEvents(); }
    quint64 CallAfter(int ms, std::function<void()> fire) override {
        const quint64 id = next_++;
        const Key key{now_ + (ms < 0 ? 0 : ms), id};
        queue_.emplace(key, std::move(fire));
        keys_.emplace(id, key);
        return id;
    }
    void Cancel(quint64 id) override {
        const auto it = keys_.find(id);
        if (it == keys_.end()) return;
        queue_.erase(it->second);
        keys_.erase(it);
    }
    void Quit() override { quitting = true; }
    bool Quitting() const override { return quitting; }
    DateTime Now() const override { return start_ + double(now_) / (kSecondsPerDay * 1000.0); }

    // Lets `ms` of fake time pass.
    void Advance(qint64 ms) { RunUntil(now_ + ms); }
    // Calls `fire` when the fake time reaches `atMs`.
    void At(qint64 atMs, std::function<void()> fire) {
        CallAfter(int(atMs - now_), std::move(fire));
    }
    qint64 NowMs() const { return now_; }
    // Moves the moment Now() tells without letting time pass for the waits.
    void SetNow(DateTime now) { start_ = now - double(now_) / (kSecondsPerDay * 1000.0); }

    int pauses = 0;
    bool quitting = false;
    int depth = 0;
    int maxDepth = 0;

private:
    using Key = std::pair<qint64, quint64>;
    void RunUntil(qint64 target) {
        ++depth;
        maxDepth = std::max(maxDepth, depth);
        while (!queue_.empty() && queue_.begin()->first.first <= target) {
            auto node = queue_.extract(queue_.begin());
            keys_.erase(node.key().second);
            now_ = std::max(now_, node.key().first);
            node.mapped()();
        }
        now_ = std::max(now_, target);
        --depth;
    }

    DateTime start_;
    qint64 now_ = 0;
    quint64 next_ = 1;
    std::map<Key, std::function<void()>> queue_;
    std::map<quint64, Key> keys_;
};

// What the fake devices were asked, with the fake time of each request.
struct SoundEvent {
    qint64 atMs;
    std::string what;
    bool operator==(const SoundEvent&) const = default;
};

class FakeSound final : public SoundBackend {
public:
    explicit FakeSound(FakeWaiting& clock) : clock_(clock) { files[kTone] = 1500; }

    // What TonePath hands out; it plays (for 1.5 s) unless a test takes it
    // out of `files`.
    static constexpr const char* kTone = "/built-in tone.wav";

    // Wave files that exist, with how long one playback lasts.
    std::map<QString, int> files;
    // Files that start and then fail, with the reason: after their time in
    // `files`, or at the next moment.
    std::map<QString, QString> broken;
    // Discs in the drives: device to track count.
    std::map<QString, int> discs;
    bool cdPlays = true;
    QString cdFailsLater;  // a CD track that starts and then fails, why
    QString toneError;     // TonePath fails with it
    int beeps = 0;
    std::vector<SoundEvent> events;
    // The volumes set on each kind of device ("once", "loop", "cd"), in order.
    std::map<std::string, std::vector<SoundEvent>> levels;

    std::vector<std::string> What() const {
        std::vector<std::string> out;
        for (const auto& e : events) out.push_back(e.what);
        return out;
    }
    void Record(const std::string& what) { events.push_back({clock_.NowMs(), what}); }
    void Level(const std::string& kind, double level) {
        levels[kind].push_back({clock_.NowMs(), std::to_string(level).substr(0, 5)});
    }

    // A failure scheduled by a device, dropped when the device stops.
    class Later {
    public:
        explicit Later(FakeWaiting& clock) : clock_(clock) {}
        ~Later() { Cancel(); }
        void After(int ms, std::function<void()> fire) {
            Cancel();
            id_ = clock_.CallAfter(ms, [this, fire] {
                id_ = 0;
                fire();
            });
        }
        void Cancel() {
            if (id_) clock_.Cancel(id_);
            id_ = 0;
        }

    private:
        FakeWaiting& clock_;
        quint64 id_ = 0;
    };

    class FileDev final : public FilePlayer {
    public:
        explicit FileDev(FakeSound& s) : s_(s), later_(s.clock_) {}
        ~FileDev() override { Stop(); }
        bool Play(const QString& path, std::function<void()> ended) override {
            s_.Record("once " + path.toStdString());
            const auto it = s_.files.find(path);
            const auto broken = s_.broken.find(path);
            if (it == s_.files.end() && broken == s_.broken.end()) return false;
            Stop();
            playing_ = true;
            const int ms = it == s_.files.end() ? 0 : it->second;
            const QString why = broken == s_.broken.end() ? QString() : broken->second;
            later_.After(ms, [this, ended, why] {
                playing_ = false;
                s_.Record(why.isEmpty() ? "once ended" : "once failed");
                ended();
                if (!why.isEmpty()) Failed(why);
            });
            return true;
        }
        void Stop() override {
            later_.Cancel();
            if (playing_) s_.Record("once stopped");
            playing_ = false;
        }
        bool IsPlaying() const override { return playing_; }
        void SetVolume(double level) override { s_.Level("once", level); }
        QString ErrorText() const override { return QStringLiteral("no such file"); }

    private:
        FakeSound& s_;
        Later later_;
        bool playing_ = false;
    };

    class LoopDev final : public LoopPlayer {
    public:
        explicit LoopDev(FakeSound& s) : s_(s), later_(s.clock_) {}
        bool Loop(const QString& path) override {
            s_.Record("loop " + path.toStdString());
            later_.Cancel();
            const auto broken = s_.broken.find(path);
            playing_ = s_.files.count(path) > 0 || broken != s_.broken.end();
            if (broken != s_.broken.end()) {
                const auto it = s_.files.find(path);
                const QString why = broken->second;
                later_.After(it == s_.files.end() ? 0 : it->second, [this, why] {
                    playing_ = false;
                    s_.Record("loop failed");
                    Failed(why);
                });
            }
            return playing_;
        }
        QString ErrorText() const override { return QStringLiteral("no such file"); }
        void Stop() override {
            later_.Cancel();
            if (playing_) s_.Record("loop stopped");
            playing_ = false;
        }
        bool IsPlaying() const override { return playing_; }
        void SetVolume(double level) override { s_.Level("loop", level); }

    private:
        FakeSound& s_;
        Later later_;
        bool playing_ = false;
    };

    class CdDev final : public CdPlayer {
    public:
        explicit CdDev(FakeSound& s) : s_(s), later_(s.clock_) {}
        bool Play(const QString& device, int track) override {
            s_.Record("cd " + device.toStdString() + " " + std::to_string(track));
            playing_ = s_.cdPlays;
            if (playing_ && !s_.cdFailsLater.isEmpty()) {
                const QString why = s_.cdFailsLater;
                later_.After(0, [this, why] {
                    playing_ = false;
                    s_.Record("cd failed");
                    Failed(why);
                });
            }
            return playing_;
        }
        void Stop() override {
            later_.Cancel();
            if (playing_) s_.Record("cd stopped");
            playing_ = false;
        }
        bool IsPlaying() const override { return playing_; }
        void SetVolume(double level) override { s_.Level("cd", level); }

    private:
        FakeSound& s_;
        Later later_;
        bool playing_ = false;
    };

    class DrivesDev final : public CdDrives {
    public:
        explicit DrivesDev(FakeSound& s) : s_(s) {}
        std::optional<int> AudioTracks(const QString& device) override {
            const auto it = s_.discs.find(device);
            if (it == s_.discs.end()) return std::nullopt;
            return it->second;
        }

    private:
        FakeSound& s_;
    };

    std::unique_ptr<FilePlayer> NewFilePlayer() override {
        return std::make_unique<FileDev>(*this);
    }
    std::unique_ptr<LoopPlayer> NewLoopPlayer() override {
        return std::make_unique<LoopDev>(*this);
    }
    std::unique_ptr<CdPlayer> NewCdPlayer() override { return std::make_unique<CdDev>(*this); }
    CdDrives& Drives() override { return drives_; }
    QString TonePath(QString& error) override {
        error = toneError;
        return toneError.isEmpty() ? QString::fromLatin1(kTone) : QString();
    }
    void Beep() override {
        ++beeps;
        Record("beep");
    }

private:
    FakeWaiting& clock_;
    DrivesDev drives_{*this};
};

class FakeDesktop final : public Desktop {
public:
    bool OpenUrl(const QUrl& url, const OpenFailed& failed) override {
        opened << url.toString();
        if (!laterFailure.isEmpty()) {
            giveUps.push_back([failed, why = laterFailure] {
                if (failed) failed(why);
            });
            return true;
        }
        if (!openWorks && failed) failed(QStringLiteral("no handler"));
        return openWorks;
    }
    // The handlers started with `laterFailure` set give up now, each telling it.
    void GiveUp() {
        auto pending = std::move(giveUps);
        giveUps.clear();
        for (const auto& g : pending) g();
    }
    bool StartDetached(const QString& program, const QStringList& arguments) override {
        started << (QStringList{program} + arguments).join(QLatin1Char('|'));
        return startWorks;
    }
    QString FindExecutable(const QString& name) override { return onPath.value(name); }

    QStringList opened;
    QStringList started;  // program|arg|arg
    QMap<QString, QString> onPath;
    bool openWorks = true;
    bool startWorks = true;
    QString laterFailure;  // set: OpenUrl starts a handler that gives up at GiveUp()
    std::vector<std::function<void()>> giveUps;
};

// 09:00:00 on 1 March 2024.
inline DateTime StartMoment() {
    return EncodeDate(2024, 3, 1) + EncodeTime(9, 0, 0);
}

inline QStringList Lines(std::initializer_list<const char*> lines) {
    QStringList out;
    for (const char* l : lines) out << QString::fromUtf8(l);
    return out;
}

inline AlRec Simple(const std::string& name) {
    AlRec a;
    a.AlName = name;
    a.enabled = true;
    a.mtype = 0;
    a.Music->MuType = 3;
    a.AlSnooze = true;
    a.snoozeming = 5;
    return a;
}

inline AlRec Script(const std::string& name, std::vector<AlEvent> steps) {
    AlRec a = Simple(name);
    a.mtype = 1;
    a.Events.Count = Integer(steps.size());
    a.Events.Items = std::move(steps);
    return a;
}

inline AlEvent Sleep(int seconds) {
    AlEvent e;
    e.evtype = kStepSleep;
    e.sseconds = seconds;
    return e;
}

inline AlEvent Launch(const std::string& app, const std::string& params = {}) {
    AlEvent e;
    e.evtype = kStepLaunch;
    e.Launch->app1 = app;
    e.Launch->param1 = params;
    return e;
}

inline AlEvent Repeat(int stepnum, int repnum, Byte reptype = 0) {
    AlEvent e;
    e.evtype = kStepRepeat;
    e.Repeat.stepnum = stepnum;
    e.Repeat.repnum = repnum;
    e.Repeat.reptype = reptype;
    return e;
}

inline AlEvent Music(const MusicType& m) {
    AlEvent e;
    e.evtype = kStepSound;
    e.Music = m;
    return e;
}

inline MusicType Wave(const std::string& file, Byte wavtype, int reptimes = 0) {
    MusicType m;
    m.MuType = 1;
    m.Wav.wavfile = file;
    m.Wav.wavtype = wavtype;
    m.Wav.reptimes = reptimes;
    return m;
}

}  // namespace ringmere::run::testing
