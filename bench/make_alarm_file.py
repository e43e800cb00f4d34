#!/usr/bin/env python3
"""Prints an alarm file of N alarms (half simple, half scripted with ten steps;
all simple with --simple). They start in 2026, or in the year given with
--start-year YEAR: a later year keeps every alarm from ringing while a
benchmark measures the idle program."""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "tests", "scripts"))
import alarmfiles  # noqa: E402


def alarm(n, lines, simple, year):
    scripted = n % 2 == 0 and not simple
    lines += [f"[Alarm {n}]", f"AlName=Alarm {n}", "AlMessage=Line one", "Line two", "eom1",
              "AlHideWindow=1", "[sw140-3]", "AlFlashWindow=1", "AlSnooze=0", "snoozeming=5",
              "enabled=0", f"mtype={1 if scripted else 0}", f"AlType={n % 8 if n % 8 != 3 else 0}",
              f"AlTime={(n % 12) + 1:02d}:{n % 60:02d}:00AM", f"AlStartDate=1/{1 + n % 28}/{year}",
              "AlEndType=1", "AlXTimes=0", "AlEndDate=12/30/1899", "AlEndTime=12:00:00AM",
              "AlWeekdaynum=3", "AlWeekdays=2,4,6", "AlMDay=0", "AlDayCount=0",
              "AlXMin=15", "AlXHours=2", "AlXDays=1", "AlXYears=1", "AlXWeeks=1", "AlXMonths=1",
              "AlMType=0", "AlMonthdaynum=0", "AlMonthDays=", "AlMWeekdaynum=0", "AlMWeekdays=",
              "AlMWeekDWNum=0", "AlMWeekDW=", "[Alarm Days]", "[sw120]", "AlMinWindow=1",
              "[sw129]", "ExCnt=1", "[Except 1]", "ExType=0", "ExTStart=12:00:00PM",
              "ExTEnd=01:00:00PM"]
    if scripted:
        lines.append("Event Count=10")
        for e in range(1, 11):
            lines += [f"[Event {e}]", "[Event Info]", f"evname=Sleep {e}", "evtype=5",
                      "[sleep]", "sseconds=1"]
        return
    lines += alarmfiles.NO_ACTIONS


def main():
    args = sys.argv[1:]
    simple = "--simple" in args
    year = 2026
    if "--start-year" in args:
        at = args.index("--start-year")
        year = int(args[at + 1])
        del args[at:at + 2]
    args = [a for a in args if a != "--simple"]
    count = int(args[0]) if args else 1000
    lines = alarmfiles.header(logging=False, wake=False) + [f"Alarm Count={count}"]
    for n in range(1, count + 1):
        alarm(n, lines, simple, year)
    sys.stdout.write("".join(line + "\r\n" for line in lines))


if __name__ == "__main__":
    main()
