#include "core/schedule.h"

#include <algorithm>
#include <functional>
#include <queue>
#include <utility>

#include "core/occurrence.h"

namespace ringmere {

namespace {

std::vector<ScheduleEntry> Compute(OccurrenceCursors& cursors, int size) {
    std::vector<ScheduleEntry> table;
    if (size <= 0 || cursors.AlarmCount() == 0 || !cursors.NowIsValid()) return table;
    cursors.InitCursors();
    // A candidate only changes when its own cursor moves, so each alarm is
    // computed once and then again only after its candidate was taken. The
    // queue orders by moment, then by position: among equal candidates the
    // lowest position wins. Moments are universal: the clock shows the
    // hour it repeats twice, and an every-15-minutes alarm rings in both.
    using Item = std::pair<Moment, Integer>;
    std::vector<Item> items;
    items.reserve(static_cast<std::size_t>(cursors.AlarmCount()));
    for (Integer a = 1; a <= cursors.AlarmCount(); ++a) {
        cursors.ComputeCandidate(a);
        if (cursors.HasCandidate(a)) items.emplace_back(cursors.CursorOf(a).CandidateUtc, a);
    }
    std::priority_queue<Item, std::vector<Item>, std::greater<Item>> queue(std::greater<Item>{},
                                                                           std::move(items));
    table.reserve(static_cast<std::size_t>(std::min<std::size_t>(size, 4096)));
    while (static_cast<int>(table.size()) < size && !queue.empty()) {
        const auto [utc, alarm] = queue.top();
        queue.pop();
        table.push_back({alarm, cursors.Candidate(alarm), utc});
        cursors.AdvanceCursor(alarm);
        cursors.ComputeCandidate(alarm);
        if (cursors.HasCandidate(alarm)) queue.emplace(cursors.CursorOf(alarm).CandidateUtc, alarm);
    }
    return table;
}

}  // namespace

std::vector<ScheduleEntry> ComputeSchedule(const Globals& g, Instant now, int size) {
    OccurrenceCursors cursors(g, now);
    return Compute(cursors, size);
}

std::vector<ScheduleEntry> ComputeSchedule(const Globals& g, DateTime now, int size) {
    OccurrenceCursors cursors(g, now);
    return Compute(cursors, size);
}

void BuildSchedule(Globals& g, const Clock& clock, int size) {
    const int slots = std::clamp(size, 0, kScheduleSlots);
    const std::vector<ScheduleEntry> table = ComputeSchedule(g, clock.NowInstant(), slots);
    g.ScheduleTable.fill(ScheduleEntry{});
    for (std::size_t i = 0; i < table.size(); ++i) g.ScheduleTable[i + 1] = table[i];
    g.ScheduleCount = static_cast<Integer>(table.size());
}

std::string ScheduleViewTime(DateTime when) {
    const std::string date = FormatShortDate(when);
    // At midnight the date alone would have no time part.
    if (SplitToSecond(when).second == 0) return date + " 12:00:00AM";
    std::string time = FormatLongTime(when);
    if (time[0] == '0') time[0] = ' ';
    return date + " " + time;
}

std::vector<ScheduleViewRow> ScheduleViewRows(const Globals& g) {
    std::vector<ScheduleViewRow> rows;
    const Integer count = std::clamp(g.ScheduleCount, 0, kScheduleSlots);
    for (Integer r = 1; r <= count; ++r) {
        const ScheduleEntry& e = g.ScheduleTable[r];
        const bool known = e.AlarmIndex >= 1 && e.AlarmIndex <= g.AlarmCount &&
                           static_cast<std::size_t>(e.AlarmIndex) < g.AlarmTable.size();
        rows.push_back(
            {r, ScheduleViewTime(e.When), known ? g.AlarmTable[e.AlarmIndex].AlName : ""});
    }
    return rows;
}

}  // namespace ringmere
