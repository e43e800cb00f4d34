// The wake-up thread: when the system is about to suspend, it arms a timer
// that resumes the machine shortly before the next alarm, and waits on it
// until it fires or the thread is stopped.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <thread>

#include "core/datetime.h"

namespace ringmere {

// The machine is woken this long before the alarm.
inline constexpr int kWakeLeadSeconds = 15;

// The first moment (seconds since 1/1/1970 UTC) at which the local clock
// shows `local` or later, by the zone rules in force on that date. A time the
// clocks skip gives the moment of the change; a time they show twice gives the
// first of the two. Empty when the system cannot convert it.
std::optional<std::int64_t> LocalToUtcSeconds(DateTime local);

// When the wake-up timer is due for an alarm at `local`.
std::optional<std::int64_t> WakeDueSeconds(DateTime local);

class WakeThread {
public:
    // A clockid_t. Only the alarm clock wakes a suspended machine, and the
    // program needs CAP_WAKE_ALARM for it; tests count on a plain clock.
    using ClockId = int;
    static const ClockId kWakeClock;

    enum class Outcome {
        NotStarted,
        Waiting,   // armed; the thread waits
        Fired,     // the timer went off; the thread has ended
        Stopped,   // Stop() ended the wait
        NoTimer,   // the timer could not be created; the thread ended quietly
        NotSet,    // the timer could not be set: tell the user ErrorText()
        NoThread,  // the thread could not be created: "Error creating thread."
    };

    explicit WakeThread(DateTime target, ClockId clock = kWakeClock);
    // For a target known in universal time (seconds since 1970), as the
    // schedule knows it: in the hour the clock repeats, `target` alone
    // would be read as the first pass.
    WakeThread(DateTime target, std::int64_t utcSeconds, ClockId clock = kWakeClock);
    ~WakeThread();  // stops the thread and waits for it
    WakeThread(const WakeThread&) = delete;
    WakeThread& operator=(const WakeThread&) = delete;

    // Starts the thread and returns once the timer is armed or the thread has
    // given up, so the system may sleep as soon as a power handler returns.
    // Waiting (armed; it may have fired since), or the failure. An object
    // starts once: a second call returns the first one's answer.
    Outcome Start();

    // Sets the stop flag and waits for the thread: at most one 100 ms slice.
    void Stop();

    // WakeThreadRunning: from Start() until the thread has ended, whether it
    // was stopped, its timer fired or it gave up. The owner may drop the
    // object at any time.
    bool Running() const { return running_.load(); }
    Outcome outcome() const { return outcome_.load(); }
    // The system's error text when the outcome is NoTimer, NotSet or NoThread.
    const std::string& ErrorText() const { return error_; }
    DateTime Target() const { return target_; }
    // The moment (seconds since 1970, UTC) the timer was set for; empty when
    // it was not set. Known once Start() has returned.
    std::optional<std::int64_t> ArmedFor() const { return armedFor_; }
    // Whether the thread still holds its timer; false once it has ended.
    bool HoldsTimer() const { return timerOpen_.load(); }

private:
    void Execute();
    void Arm();
    void Wait();

    const DateTime target_;
    const std::optional<std::int64_t> utc_;
    const ClockId clock_;
    int fd_ = -1;
    // Written by the thread before Start() returns, read-only after.
    std::string error_;
    Outcome armResult_ = Outcome::NotStarted;
    std::optional<std::int64_t> armedFor_;
    std::atomic<bool> timerOpen_{false};
    std::atomic<bool> stop_{false};
    std::atomic<bool> running_{false};
    std::atomic<Outcome> outcome_{Outcome::NotStarted};
    std::thread thread_;
};

}  // namespace ringmere
