#!/usr/bin/env python3
"""Cross-checks `ringmere-cli schedule` against python3-dateutil's rrule.

Random alarms (fixed seed) of every kind a general recurrence engine can
express are written to alarm files; the table the tool prints at a random
moment is compared with the one built from rrule occurrences, filtered by an
independent reading of the exception rules and merged by (moment, position).

Where our rules and rrule's differ by design, the oracle applies our rule
explicitly; nothing is compared loosely:

  * Listed month days: every February has 28 days, so a listed 29th never
    occurs in February, leap year or not. rrule has it in leap years; those
    dates are dropped from rrule's output (see LISTED_DAY_MONTH_LENGTH).
  * Weekly: weeks run Sunday to Saturday (wkst=SU). When no listed weekday
    falls on or after the start date's weekday, the first cycle week is the
    week after the start week; rrule would count the cycle from the start
    week and skip to week start + X. The oracle starts rrule on the Sunday
    after the start week in that case.
  * Every X minutes / hours: on days after the start date the first
    occurrence lies strictly after Now; on the start date itself one exactly
    at Now still counts. Every other kind counts an occurrence at Now.
  * Every X months from the 29th to 31st takes the month's last day where
    the day does not exist, and every X years from 29 February takes
    28 February in other years; rrule skips those months and years. The
    oracle asks rrule for the last of the days 28..d (bysetpos=-1).
  * The search for a kind's next occurrence ends after 1999 (days) or 999
    (weekly, monthly, months, years) consecutive rejected candidates: the
    alarm then has no further occurrence. The generator only makes rule sets
    that reject either a short run or every candidate, so the oracle stops
    after that many rejected rrule occurrences. Grid alarms (minutes, hours)
    step over a whole excluded stretch per try and the generator never
    excludes all of their moments, so for them the oracle has no limit.

Each difference found while writing this script was one of the rules above,
or a fault of ours that has since been mended (see the schedule tests).
"""

import calendar
import heapq
import os
import random
import subprocess
import sys
import tempfile
from datetime import date, datetime, time, timedelta

from dateutil.rrule import (DAILY, HOURLY, MINUTELY, MONTHLY, WEEKLY, YEARLY, FR, MO, SA,
                            SU, TH, TU, WE, rrule, rruleset)

SEED = 20040310
FILES = 250
CLI = os.environ.get("RINGMERE_CLI", "ringmere-cli")

RRULE_DAYS = [SU, MO, TU, WE, TH, FR, SA]  # index: our weekday number - 1
LISTED_DAY_MONTH_LENGTH = [31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31]
LAST_ENTRY = datetime(9998, 12, 31)
ORACLE_SAFETY = 2_000_000  # raw rrule occurrences; reaching it is a failure of the script


def weekday(d):
    """1 = Sunday ... 7 = Saturday."""
    return d.isoweekday() % 7 + 1


# ---------------------------------------------------------------- the file

def fmt_date(d):
    return f"{d.month}/{d.day}/{d.year}"


def fmt_time(t):
    h12 = t.hour % 12 or 12
    return f"{h12:02d}:{t.minute:02d}:{t.second:02d}{'AM' if t.hour < 12 else 'PM'}"


def flag(v):
    return "0" if v else "1"  # the file's own spelling of booleans


def rule_lines(r):
    out = [f"ExType={r['type']}"]
    if r["type"] == 0:
        out += [f"ExTStart={fmt_time(r['start'])}", f"ExTEnd={fmt_time(r['end'])}"]
    elif r["type"] == 1:
        out.append(f"ExDayCnt={len(r['days'])}")
        out += [f"ExDays({k})={fmt_date(d)}" for k, d in enumerate(r["days"], 1)]
        out.append(f"ExSelType={r['sel']}")
        if r["sel"] == 1:
            out += [f"ExTStart={fmt_time(r['start'])}", f"ExTEnd={fmt_time(r['end'])}"]
    else:
        out.append(f"ExWeekdayNum={len(r['weekdays'])}")
        out += [f"ExWeekDays({k})={w}" for k, w in enumerate(r["weekdays"], 1)]
    return out


def alarm_lines(n, a):
    lst = lambda xs: ",".join(str(x) for x in xs)
    out = [
        f"[Alarm {n}]", f"AlName={a['name']}", "AlMessage=", f"AlHideWindow={flag(False)}",
        "[sw140-3]", f"AlFlashWindow={flag(False)}", f"AlSnooze={flag(False)}", "snoozeming=5",
        f"enabled={flag(a['enabled'])}", "mtype=1", f"AlType={a['type']}",
        f"AlTime={fmt_time(a['time'])}", f"AlStartDate={fmt_date(a['start'])}",
        f"AlEndType={a['end_type']}", "AlXTimes=0", f"AlEndDate={fmt_date(a['end'].date())}",
        f"AlEndTime={fmt_time(a['end'].time())}", f"AlWeekdaynum={len(a['weekdays'])}",
        f"AlWeekdays={lst(a['weekdays'])}", "AlMDay=0", f"AlDayCount={len(a['dates'])}",
        f"AlXMin={a['x']}", f"AlXHours={a['x']}", f"AlXDays={a['x']}", f"AlXYears={a['x']}",
        f"AlXWeeks={a['x']}", f"AlXMonths={a['x']}", f"AlMType={a['mtype']}",
        f"AlMonthdaynum={len(a['monthdays'])}", f"AlMonthDays={lst(a['monthdays'])}",
        f"AlMWeekdaynum={len(a['mweekdays'])}", f"AlMWeekdays={lst(a['mweekdays'])}",
        f"AlMWeekDWNum={len(a['weeks'])}", f"AlMWeekDW={lst(a['weeks'])}", "[Alarm Days]",
    ]
    out += [f"AlDays({k})={fmt_date(d)}" for k, d in enumerate(a["dates"], 1)]
    out += ["[sw120]", f"AlMinWindow={flag(False)}", "[sw129]", f"ExCnt={len(a['rules'])}"]
    for k, r in enumerate(a["rules"], 1):
        out.append(f"[Except {k}]")
        out += rule_lines(r)
    out.append("Event Count=0")  # a scripted alarm without steps keeps the file short
    return out


def file_text(alarms, global_rules, path):
    out = [
        "[Alarm Info]", "Version=2.10", f"UseSMTP={flag(True)}", "SMTP Server=", "[sw201-2]",
        "SMTP User=", "SMTP Pass=", "ReplyTo=", "UserMode=Single", f"AlarmFile={path}",
        "[sw140-3]", f"dldAlarmFile={flag(True)}", "dldInterval=30", f"allowWake={flag(False)}",
        "[sw150-1]", f"enablelogging={flag(False)}", "[sw202-5]", "monthBackColor=-2147483643",
        "textColor=-2147483640", "titleBackColor=-2147483646", "titleTextColor=-2147483643",
        "trailingTextColor=16777215", "[sw129]", f"gExCnt={len(global_rules)}",
    ]
    for k, r in enumerate(global_rules, 1):
        out.append(f"[gExcept {k}]")
        out += rule_lines(r)
    out.append(f"Alarm Count={len(alarms)}")
    for n, a in enumerate(alarms, 1):
        out += alarm_lines(n, a)
    return "\r\n".join(out) + "\r\n"


# ---------------------------------------------------------------- random alarms

def rand_time(rng):
    return time(rng.randrange(24), rng.randrange(60), rng.randrange(60))


def rand_window(rng, longest_hours=16):
    start = rng.randrange(0, 86400 - 60)
    length = rng.randrange(0, longest_hours * 3600)
    if rng.random() < 0.1:
        length = -rng.randrange(1, 3600)  # ends before it starts: excludes nothing
    end = min(max(start + length, 0), 86399)
    as_time = lambda s: time(s // 3600, s // 60 % 60, s % 60)
    return as_time(start), as_time(end)


def rand_rule(rng, now, window_ok=True, longest_window=16):
    kind = rng.choice([0, 1, 1, 2])
    if kind == 0 and window_ok:
        s, e = rand_window(rng, longest_window)
        return {"type": 0, "start": s, "end": e}
    if kind in (0, 1):
        base = now.date()
        days = sorted({base + timedelta(days=rng.randrange(-3, 40))
                       for _ in range(rng.randrange(1, 5))})
        rule = {"type": 1, "days": days, "sel": rng.choice([0, 1])}
        if rule["sel"] == 1:
            rule["start"], rule["end"] = rand_window(rng)
        return rule
    # At most five weekdays, so that no set of weekday rules leaves nothing.
    return {"type": 2, "weekdays": sorted(rng.sample(range(1, 8), rng.randrange(1, 6)))}


def grid_windows_ok(a, global_rules):
    """Whether a grid alarm may get a daily window of its own.

    Daily windows shorter than 8 hours cannot cover every time of day a grid
    reaches, unless the grid reaches only one (a period of whole days); two
    windows could. So a grid gets at most one window, and none on whole days.
    """
    if any(r["type"] == 0 for r in global_rules):
        return False
    return (a["x"] * (1 if a["type"] == 4 else 60)) % 1440 != 0


def rand_alarm(rng, n, now, global_rules):
    kind = rng.choice(["days", "minutes", "hours", "weekly", "months", "years", "first",
                       "last", "monthdays", "weeksweekdays", "dates"])
    a = {"name": f"A{n}", "enabled": rng.random() > 0.08, "time": rand_time(rng),
         "end_type": rng.choice([1, 1, 1, 2, 3, 3, 0]), "x": 1, "weekdays": [], "dates": [],
         "monthdays": [], "mweekdays": [], "weeks": [], "mtype": 0, "rules": [], "kind": kind}
    back = rng.randrange(0, 3 * 366)  # start days before now
    if rng.random() < 0.25:
        back = -rng.randrange(0, 70)  # starts later: nothing may come before the start
    if kind == "days":
        a["type"], a["x"] = 0, rng.choice([1, 1, 2, 3, 7, 10, 30, rng.randrange(1, 366)])
    elif kind in ("minutes", "hours"):
        a["type"] = 4 if kind == "minutes" else 5
        a["x"] = rng.choice([1, 5, 15, 30, rng.randrange(1, 251)]) if kind == "minutes" else \
            rng.choice([1, 2, 24, rng.randrange(1, 73)])
        # Keep rrule's walk from the start to Now within ~60000 steps.
        minutes = a["x"] * (1 if kind == "minutes" else 60)
        back = min(back, 60000 * minutes // 1440)
        if rng.random() < 0.2:
            back = rng.randrange(-2, 2)  # the start day itself, and its neighbours
    elif kind == "weekly":
        a["type"], a["x"] = 1, rng.choice([1, 1, 2, 2, 3, rng.randrange(1, 7)])
        a["weekdays"] = sorted(rng.sample(range(1, 8), rng.randrange(1, 4)))
    elif kind == "months":
        a["type"], a["x"] = 7, rng.choice([1, 2, 3, 6, 12, rng.randrange(1, 101)])
    elif kind == "years":
        a["type"], a["x"] = 6, rng.choice([1, 1, 2, 4, rng.randrange(1, 11)])
        back = rng.randrange(-400, 20 * 366)
    elif kind == "dates":
        a["type"] = 3
    else:
        a["type"] = 2
        a["mtype"] = ["first", "last", "monthdays", "weeksweekdays"].index(kind)
        if kind == "monthdays":
            a["monthdays"] = sorted(rng.sample(range(1, 32), rng.randrange(1, 4)))
            if rng.random() < 0.3:
                a["monthdays"] = sorted(set(a["monthdays"]) | {29})
        elif kind == "weeksweekdays":
            a["mweekdays"] = sorted(rng.sample(range(1, 8), rng.randrange(1, 3)))
            a["weeks"] = sorted(rng.sample(range(1, 6), rng.randrange(1, 3)))
    start = now.date() - timedelta(days=back)
    # Start days that some months or years lack.
    if kind == "months" and rng.random() < 0.4:
        longest = calendar.monthrange(start.year, start.month)[1]
        start = start.replace(day=rng.randrange(28, longest + 1))
    if kind == "years" and rng.random() < 0.3:
        y = start.year - start.year % 4
        start = date(y, 2, 29) if y % 100 or y % 400 == 0 else date(y, 2, 28)
    a["start"] = start
    if kind == "dates":
        a["dates"] = sorted({now.date() + timedelta(days=rng.randrange(-30, 200))
                             for _ in range(rng.randrange(1, 8))})
    a["end"] = now + timedelta(seconds=rng.randrange(-86400 * 30, 86400 * 400))
    if a["type"] in (4, 5):
        if a["type"] == 5 and a["x"] % 24 == 0 and any(r["type"] == 0 for r in global_rules):
            a["x"] -= 1  # a global window could hold the one time of day it rings at
        ok = grid_windows_ok(a, global_rules)
        a["rules"] = []
        for _ in range(rng.choice([0, 0, 1, 1, 2])):
            a["rules"].append(rand_rule(rng, now, ok, 7))
            ok = ok and a["rules"][-1]["type"] != 0
    else:
        a["rules"] = [rand_rule(rng, now) for _ in range(rng.choice([0, 0, 1, 1, 2]))]
    return a


# ---------------------------------------------------------------- the oracle

def excluded(rule, m):
    tod = m.time()
    in_window = lambda: rule["start"] <= rule["end"] and rule["start"] <= tod <= rule["end"]
    if rule["type"] == 0:
        return in_window()
    if rule["type"] == 1:
        if m.date() not in rule["days"]:
            return False
        return rule["sel"] == 0 or in_window()
    return weekday(m) in rule["weekdays"]


def make_rule(a):
    start = datetime.combine(a["start"], a["time"])
    until = a["end"] if a["end_type"] == 3 else None
    x, t = a["x"], a["type"]
    common = {"dtstart": start, "until": until, "interval": x}
    if t == 0:
        return rrule(DAILY, **common)
    if t == 4:
        return rrule(MINUTELY, **common)
    if t == 5:
        return rrule(HOURLY, **common)
    if t == 1:
        if not any(w >= weekday(start) for w in a["weekdays"]):
            sunday = a["start"] - timedelta(days=weekday(start) - 1)
            common["dtstart"] = datetime.combine(sunday + timedelta(days=7), a["time"])
        return rrule(WEEKLY, wkst=SU, byweekday=[RRULE_DAYS[w - 1] for w in a["weekdays"]],
                     **common)
    if t == 7:
        d = a["start"].day
        if d >= 29:
            return rrule(MONTHLY, bymonthday=list(range(28, d + 1)), bysetpos=-1, **common)
        return rrule(MONTHLY, bymonthday=d, **common)
    if t == 6:
        s = a["start"]
        if (s.month, s.day) == (2, 29):
            return rrule(YEARLY, bymonth=2, bymonthday=[28, 29], bysetpos=-1, **common)
        return rrule(YEARLY, bymonth=s.month, bymonthday=s.day, **common)
    if t == 3:
        rs = rruleset()
        for d in a["dates"]:
            m = datetime.combine(d, a["time"])
            if until is None or m <= until:
                rs.rdate(m)
        return rs
    common["interval"] = 1
    if a["mtype"] == 0:
        return rrule(MONTHLY, bymonthday=1, **common)
    if a["mtype"] == 1:
        return rrule(MONTHLY, bymonthday=-1, **common)
    if a["mtype"] == 2:
        return rrule(MONTHLY, bymonthday=a["monthdays"], **common)
    days = [RRULE_DAYS[w - 1](k if k < 5 else -1) for w in a["mweekdays"] for k in a["weeks"]]
    return rrule(MONTHLY, byweekday=days, **common)


def expected_occurrences(a, now, global_rules):
    """Yields the alarm's occurrences from `now` on, as the Part's rules give them."""
    if not a["enabled"]:
        return
    rules = global_rules + a["rules"]
    allowed = lambda m: not any(excluded(r, m) for r in rules)
    start = datetime.combine(a["start"], a["time"])
    if a["end_type"] == 0:
        if start >= now and allowed(start):
            yield start
        return
    grid = a["type"] in (4, 5)
    strictly_after = grid and now.date() > a["start"]
    limit = None if grid else (1999 if a["type"] == 0 else 999)
    if a["type"] == 3:
        limit = None  # a finite list
    rejected = raw = 0
    for m in make_rule(a).xafter(now, inc=not strictly_after):
        raw += 1
        if raw > ORACLE_SAFETY:
            raise RuntimeError(f"oracle found no end for {a}")
        if m > LAST_ENTRY:
            return
        if a["type"] == 2 and a["mtype"] == 2 and m.day > LISTED_DAY_MONTH_LENGTH[m.month - 1]:
            continue  # a listed day beyond the fixed month length: not a candidate
        if allowed(m):
            rejected = 0
            yield m
        else:
            rejected += 1
            if limit is not None and rejected >= limit:
                return


def expected_table(alarms, now, global_rules, count):
    def numbered(n, a):
        for m in expected_occurrences(a, now, global_rules):
            yield m, n

    streams = [numbered(n, a) for n, a in enumerate(alarms, 1)]
    out = []
    for item in heapq.merge(*streams):
        out.append(item)
        if len(out) >= count:
            break
    return out


# ---------------------------------------------------------------- running

def parse_table(text):
    rows = []
    for line in text.splitlines():
        num, when, name = line.split("\t")
        d, t = when.split(" ")
        m = datetime.strptime(f"{d} {t}", "%m/%d/%Y %I:%M:%S%p")
        rows.append((int(num), m, int(name[1:])))
    return rows


def describe(alarms, global_rules, now):
    lines = [f"now {now}", f"global rules {global_rules}"]
    lines += [f"  {n}: {a}" for n, a in enumerate(alarms, 1)]
    return "\n".join(lines)


def land_on_an_occurrence(rng, now, alarms):
    """Sometimes moves Now onto a moment an alarm may ring at, to see which
    side of Now such an occurrence falls on."""
    if rng.random() > 0.3:
        return now
    a = rng.choice(alarms)
    start = datetime.combine(a["start"], a["time"])
    if a["type"] in (4, 5) and start < now:
        p = a["x"] * (60 if a["type"] == 4 else 3600)
        steps = -(-int((now - start).total_seconds()) // p)
        return start + timedelta(seconds=steps * p)
    return datetime.combine(now.date(), a["time"])


def main():
    rng = random.Random(SEED)
    passed = failed = 0
    kinds = {}
    with tempfile.TemporaryDirectory(prefix="ringmere-rrule-") as tmp:
        for case in range(FILES):
            now = datetime(2001, 1, 1) + timedelta(seconds=rng.randrange(0, 30 * 365 * 86400))
            global_rules = [rand_rule(rng, now, True, 7) for _ in range(rng.choice([0, 0, 0, 1]))]
            alarms = [rand_alarm(rng, n, now, global_rules) for n in range(1, rng.randrange(2, 6))]
            now = land_on_an_occurrence(rng, now, alarms)
            count = rng.choice([40, 40, 60])
            path = os.path.join(tmp, f"case{case}.ini")
            with open(path, "w", newline="") as f:
                f.write(file_text(alarms, global_rules, path))
            moment = f"{fmt_date(now)} {fmt_time(now.time())}"
            run = subprocess.run([CLI, "schedule", path, "--now", moment, "--count", str(count)],
                                 capture_output=True, text=True)
            want = expected_table(alarms, now, global_rules, count)
            problem = None
            if run.returncode != 0:
                problem = f"exit {run.returncode}: {run.stderr.strip()}"
            else:
                got = parse_table(run.stdout)
                if [r[0] for r in got] != list(range(1, len(got) + 1)):
                    problem = "rows are not numbered 1, 2, ..."
                got = [(m, n) for _, m, n in got]
                if got != want:
                    first = next((i for i, (g, w) in enumerate(zip(got, want)) if g != w),
                                 min(len(got), len(want)))
                    problem = (f"row {first + 1} differs: got "
                               f"{got[first] if first < len(got) else 'nothing'}, expected "
                               f"{want[first] if first < len(want) else 'nothing'} "
                               f"({len(got)} rows, expected {len(want)})")
            for a in alarms:
                kinds[a["kind"]] = kinds.get(a["kind"], 0) + 1
            if problem:
                failed += 1
                print(f"case {case}: {problem}\n{describe(alarms, global_rules, now)}\n")
            else:
                passed += 1
    print("alarms per kind: " + ", ".join(f"{k} {v}" for k, v in sorted(kinds.items())))
    print(f"{passed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
