// Every wait inside a run, and every timer of a run window, goes through
// one waiting service. In the program a pause is a nested event loop, so
// the main window's check loop, other run windows and their runners go on
// inside it; tests install a service whose clock they advance.
#pragma once

#include <QtGlobal>
#include <functional>
#include <memory>

namespace ringmere::run {

class Waiting {
public:
    virtual ~Waiting() = default;
    // One pause of `ms` milliseconds in which pending events are processed.
    virtual void Pause(int ms) = 0;
    // Processes the events that are pending now, without pausing.
    virtual void ProcessEvents() = 0;
    // Calls `fire` once, `ms` milliseconds from now, on this thread; the id
    // is for Cancel and never 0.
    virtual quint64 CallAfter(int ms, std::function<void()> fire) = 0;
    virtual void Cancel(quint64 id) = 0;
    // The program is ending: the pauses under way return, and every later
    // one returns at once, so that no run keeps the program alive.
    virtual void Quit() = 0;
    // Quit was called: a loop that waits for something else gives up.
    virtual bool Quitting() const { return false; }
};

// The program's service: nested event loops and Qt timers.
class EventLoopWaiting final : public Waiting {
public:
    EventLoopWaiting();
    ~EventLoopWaiting() override;
    void Pause(int ms) override;
    void ProcessEvents() override;
    quint64 CallAfter(int ms, std::function<void()> fire) override;
    void Cancel(quint64 id) override;
    void Quit() override;
    bool Quitting() const override;

private:
    struct Timers;
    std::unique_ptr<Timers> timers_;
};

// A window timer in the manner of the run window's: it repeats until
// stopped, and its handler usually stops it first. Ticks come from the
// waiting service, so a fake clock drives them in tests.
class WaitTimer {
public:
    WaitTimer(Waiting& waiting, std::function<void()> onTick);
    ~WaitTimer();
    WaitTimer(const WaitTimer&) = delete;
    WaitTimer& operator=(const WaitTimer&) = delete;

    void SetInterval(int ms);
    int Interval() const { return interval_; }
    void Start();
    void Stop();
    bool IsActive() const { return active_; }

private:
    void Arm();

    Waiting& waiting_;
    std::function<void()> onTick_;
    int interval_ = 1000;
    bool active_ = false;
    quint64 pending_ = 0;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace ringmere::run
