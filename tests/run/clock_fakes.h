// A time server and a clock setter that only record: no test reaches the
// network's time servers or the machine's clock.
#pragma once

#include <QStringList>
#include <functional>
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

class FakeClockSetter final : public ClockSetter {
public:
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

}  // namespace ringmere::run::testing
