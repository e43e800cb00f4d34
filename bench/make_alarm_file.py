#!/usr/bin/env python3
"""Prints an alarm file of N alarms (half simple, half scripted with ten steps)."""
import sys


def b(v):  # booleans are stored inverted
    return "0" if v else "1"


def alarm(n, lines):
    scripted = n % 2 == 0
    lines += [f"[Alarm {n}]", f"AlName=Alarm {n}", "AlMessage=Line one", "Line two", "eom1",
              "AlHideWindow=1", "[sw140-3]", "AlFlashWindow=1", "AlSnooze=0", "snoozeming=5",
              "enabled=0", f"mtype={1 if scripted else 0}", f"AlType={n % 8 if n % 8 != 3 else 0}",
              f"AlTime={(n % 12) + 1:02d}:{n % 60:02d}:00AM", f"AlStartDate=1/{1 + n % 28}/2026",
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
    lines += ["[Music Settings]", "MuType=3", "[MP3 Rec]", "mp3file=", "mp3ptype=0",
              "[Wav Rec]", "wavfile=", "wavtype=0", "reptimes=1", "[CD Rec]", "cddrive=D",
              "tracktype=0", "cdtrack=1", "[DialUp Settings]", "usedialup=1", "dialname=",
              "redialattempts=0", "connectm=1", "[File Launch]", "app1=", "app2=", "app3=",
              "param1=", "param2=", "param3=", "[Web Launch]", "url1=", "opennew=1", "[smtp]",
              "sendmessage=1", "servername=", "username=", "from=", "mto=", "subject=", "msg=",
              "[Attachments]", "nAttach=0", "[Synch]", "dosynch=1", "synchserver=", "[FTP]",
              "ftpenabled=1", "ftpserver=", "ftpport=21", "ftplocalfile=", "ftppath=",
              "ftpuser=", "ftppass=", "ftpupload=1", "ftpascmode=1", "[sw141-1]",
              "ftppassive=1", "[sw150-8]", "ftpretry=1", "ftpmaxretry=0", "ftpdelay=0",
              "ftpreconnect=1", "ftpdialname=", "ftpmaxrecon=0", "ftprecondelay=0",
              "ftptransfertype=0", "[sw150-1]", "[fileop]", "fop=0"]


def main():
    count = int(sys.argv[1]) if len(sys.argv) > 1 else 1000
    lines = ["[Alarm Info]", "Version=2.10", "UseSMTP=0", "SMTP Server=", "[sw201-2]",
             "SMTP User=", "SMTP Pass=", "ReplyTo=", "UserMode=Single", "AlarmFile=",
             "[sw140-3]", "dldAlarmFile=0", "dldInterval=30", "allowWake=1", "[sw150-1]",
             "enablelogging=1", "[sw202-5]", "monthBackColor=-2147483643",
             "textColor=-2147483640", "titleBackColor=-2147483646",
             "titleTextColor=-2147483643", "trailingTextColor=16777215", "[sw129]",
             "gExCnt=0", f"Alarm Count={count}"]
    for n in range(1, count + 1):
        alarm(n, lines)
    sys.stdout.write("".join(line + "\r\n" for line in lines))


if __name__ == "__main__":
    main()
