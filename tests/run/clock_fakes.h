// A time server and a clock setter that only record: no test reaches the
// network's time servers or the machine's clock.
#pragma once

#include <QStringList>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "run/daytime.h"

namespace ringmere::run::testing {

inline ServerTime Answer(const char* text) {
    ServerTime t;
    t.ok = true;
    t.text = text;
    return t;
}

inline ServerTime NoAnswer() {
    ServerTime t;
    t.error = QStringLiteral("no connection");
    return t;
}

// "\n61382 26-12-08 14:05:06 ...": 8 December 2026, 14:05:06 UTC.
inline constexpr const char* kNistReply = "\n61382 26-12-08 14:05:06 00 0 0 50.0 UTC(NIST) *\n";
inline constexpr qint64 kNistReplyUtc = 1796738706;

class FakeDaytimeClient final : public DaytimeClient {
public:
    ServerTime Fetch(const QString& server, const std::function<bool()>&) override {
        asked << server;
        if (during) during();
        return answer;
    }
    ServerTime answer = Answer(kNistReply);
    QStringList asked;
    std::function<void()> during;  // runs while the fetch waits
};

// The build date the fake setter holds: 1 January 2026.
inline constexpr qint64 kTestBuildUtc = 1767225600;

class FakeClockSetter final : public ClockSetter {
public:
    FakeClockSetter() { builtUtcSeconds = kTestBuildUtc; }
    std::vector<qint64> set;  // UTC microseconds, one per call
    ClockResult result{true, {}};
    std::function<void()> onSet;

protected:
    ClockResult Apply(qint64 utcMicroseconds) override {
        set.push_back(utcMicroseconds);
        if (onSet) onSet();
        return result;
    }
};

// TZ=UTC while it lives, so that offsets from the local clock read the same
// on every machine.
class UtcZone {
public:
    UtcZone() {
        if (const char* tz = std::getenv("TZ")) saved_ = tz;
        setenv("TZ", "UTC", 1);
        tzset();
    }
    ~UtcZone() {
        if (saved_)
            setenv("TZ", saved_->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    UtcZone(const UtcZone&) = delete;
    UtcZone& operator=(const UtcZone&) = delete;

private:
    std::optional<std::string> saved_;
};

}  // namespace ringmere::run::testing
