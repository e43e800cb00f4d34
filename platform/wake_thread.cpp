#include "platform/wake_thread.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <ctime>
#include <future>
#include <set>
#include <system_error>

#include <poll.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include "core/moment.h"

namespace ringmere {

namespace {

constexpr int kSliceMs = 100;

std::string SystemErrorText(int error) {
    return std::system_category().message(error);
}

// Local wall-clock time at `utc`, as seconds since 1/1/1970 read as if the
// wall clock were UTC. Empty when the system cannot break the moment down.
std::optional<std::int64_t> WallSeconds(std::int64_t utc, long* offset = nullptr) {
    const std::time_t t = static_cast<std::time_t>(utc);
    std::tm tm{};
    if (!localtime_r(&t, &tm)) return std::nullopt;
    if (offset) *offset = tm.tm_gmtoff;
    const std::int64_t day = DayNumber(std::int64_t{tm.tm_year} + 1900, tm.tm_mon + 1, tm.tm_mday);
    return (day - kUnixEpochDay) * kDaySeconds + tm.tm_hour * 3600 + tm.tm_min * 60 + tm.tm_sec;
}

}  // namespace

std::optional<std::int64_t> LocalToUtcSeconds(DateTime local) {
    // The zone may have changed since start-up; localtime_r alone would not
    // look at TZ again.
    tzset();
    const DaySecond split = SplitToSecond(local);
    const std::int64_t wall = (split.day - kUnixEpochDay) * kDaySeconds + split.second;

    // Every offset in force within two days either side holds the answer,
    // whatever the zone's changes (even one that skips a whole day).
    std::set<long> offsets;
    for (int d = -2; d <= 2; ++d) {
        long offset = 0;
        if (!WallSeconds(wall + d * kDaySeconds, &offset)) return std::nullopt;
        offsets.insert(offset);
    }
    std::optional<std::int64_t> first;
    std::int64_t lo = wall - *offsets.rbegin();
    std::int64_t hi = wall - *offsets.begin();
    for (long offset : offsets) {
        const std::int64_t utc = wall - offset;
        if (WallSeconds(utc) == wall && (!first || utc < *first)) first = utc;
    }
    if (first) return first;

    // A time the clocks jump over: the first moment the clock shows it or
    // later is the change itself, between the two readings.
    const auto after = WallSeconds(hi);
    if (!after || *after < wall) return std::nullopt;
    while (lo < hi) {
        const std::int64_t mid = lo + (hi - lo) / 2;
        const auto shown = WallSeconds(mid);
        if (!shown) return std::nullopt;
        if (*shown >= wall)
            hi = mid;
        else
            lo = mid + 1;
    }
    return hi;
}

std::optional<std::int64_t> WakeDueSeconds(DateTime local) {
    const auto utc = LocalToUtcSeconds(local);
    if (!utc) return std::nullopt;
    return *utc - kWakeLeadSeconds;
}

const WakeThread::ClockId WakeThread::kWakeClock = CLOCK_REALTIME_ALARM;

WakeThread::WakeThread(DateTime target, ClockId clock) : target_(target), clock_(clock) {}

WakeThread::WakeThread(DateTime target, std::int64_t utcSeconds, ClockId clock)
    : target_(target), utc_(utcSeconds), clock_(clock) {}

WakeThread::~WakeThread() {
    Stop();
}

WakeThread::Outcome WakeThread::Start() {
    if (outcome_.load() != Outcome::NotStarted) return armResult_;
    running_ = true;
    std::promise<void> armed;
    std::future<void> armedFuture = armed.get_future();
    try {
        thread_ = std::thread([this, armed = std::move(armed)]() mutable {
            Arm();
            armResult_ = outcome_.load();
            const bool wait = armResult_ == Outcome::Waiting;
            armed.set_value();
            if (wait) Wait();
            if (fd_ >= 0) close(fd_);
            fd_ = -1;
            timerOpen_ = false;
            running_ = false;
        });
    } catch (const std::system_error&) {
        error_ = "Error creating thread.";
        armResult_ = Outcome::NoThread;
        outcome_ = Outcome::NoThread;
        running_ = false;
        return armResult_;
    }
    armedFuture.wait();
    // A thread that gave up has nothing left to do: let it end before the
    // caller looks at Running().
    if (armResult_ != Outcome::Waiting) thread_.join();
    // The timer may already have fired; the caller asks whether it was armed.
    return armResult_;
}

void WakeThread::Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
}

void WakeThread::Arm() {
    const auto due = utc_ ? std::optional(*utc_ - kWakeLeadSeconds) : WakeDueSeconds(target_);
    fd_ = timerfd_create(clock_, TFD_CLOEXEC);
    if (fd_ < 0) {
        error_ = SystemErrorText(errno);
        outcome_ = Outcome::NoTimer;
        return;
    }
    timerOpen_ = true;
    if (!due) {
        error_ = SystemErrorText(EINVAL);
        outcome_ = Outcome::NotSet;
        return;
    }
    itimerspec dueAt{};
    // An all-zero time would disarm the timer instead of firing at once.
    dueAt.it_value.tv_sec = static_cast<std::time_t>(*due == 0 ? 1 : *due);
    if (timerfd_settime(fd_, TFD_TIMER_ABSTIME, &dueAt, nullptr) != 0) {
        error_ = SystemErrorText(errno);
        outcome_ = Outcome::NotSet;
        return;
    }
    armedFor_ = dueAt.it_value.tv_sec;
    outcome_ = Outcome::Waiting;
}

void WakeThread::Wait() {
    pollfd p{fd_, POLLIN, 0};
    while (!stop_.load()) {
        const int ready = poll(&p, 1, kSliceMs);
        if (ready > 0) {
            std::uint64_t expirations = 0;
            if (read(fd_, &expirations, sizeof expirations) < 0 && errno == EAGAIN) continue;
            outcome_ = Outcome::Fired;
            return;
        }
        // Keep to the slices even if poll cannot wait.
        if (ready < 0 && errno != EINTR)
            std::this_thread::sleep_for(std::chrono::milliseconds(kSliceMs));
    }
    outcome_ = Outcome::Stopped;
}

}  // namespace ringmere
