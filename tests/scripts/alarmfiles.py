"""Alarm files for the script tests and benchmarks, in the program's layout."""
import datetime
import os
import shutil
import signal
import subprocess
import time

# The action blocks of a simple alarm that does nothing but show its message.
NO_ACTIONS = ["[Music Settings]", "MuType=3", "[MP3 Rec]", "mp3file=", "mp3ptype=0",
    "[Wav Rec]", "wavfile=", "wavtype=0", "reptimes=1", "[CD Rec]", "cddrive=",
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


def b(v):  # booleans are stored inverted
    return "0" if v else "1"


def long_time(t):
    h = t.hour % 12 or 12
    return f"{h:02d}:{t.minute:02d}:{t.second:02d}{'AM' if t.hour < 12 else 'PM'}"


def short_date(d):
    return f"{d.month}/{d.day}/{d.year:04d}"


def header(logging=True, wake=False, mode="Single", alarm_file="", download=True, interval=30):
    return ["[Alarm Info]", "Version=2.10", "UseSMTP=0", "SMTP Server=", "[sw201-2]",
            "SMTP User=", "SMTP Pass=", "ReplyTo=", f"UserMode={mode}", f"AlarmFile={alarm_file}",
            "[sw140-3]", f"dldAlarmFile={b(download)}", f"dldInterval={interval}",
            f"allowWake={b(wake)}",
            "[sw150-1]", f"enablelogging={b(logging)}", "[sw202-5]",
            "monthBackColor=-2147483643", "textColor=-2147483640",
            "titleBackColor=-2147483646", "titleTextColor=-2147483643",
            "trailingTextColor=16777215", "[sw129]", "gExCnt=0"]


def once(n, name, when, steps=None, message="", hide=True, enabled=True):
    """Alarm n, once at `when` (a datetime); scripted when `steps` is a list of
    (evname, evtype, block lines)."""
    lines = [f"[Alarm {n}]", f"AlName={name}", f"AlMessage={message}"]
    if message:
        lines.append("eom1")
    lines += [f"AlHideWindow={b(hide)}", "[sw140-3]", "AlFlashWindow=1", "AlSnooze=1",
              "snoozeming=5", f"enabled={b(enabled)}", f"mtype={1 if steps is not None else 0}",
              "AlType=0", f"AlTime={long_time(when)}", f"AlStartDate={short_date(when)}",
              "AlEndType=0", "AlXTimes=0", "AlEndDate=12/30/1899", "AlEndTime=12:00:00AM",
              "AlWeekdaynum=0", "AlWeekdays=", "AlMDay=0", "AlDayCount=0", "AlXMin=1",
              "AlXHours=1", "AlXDays=1", "AlXYears=1", "AlXWeeks=1", "AlXMonths=1",
              "AlMType=0", "AlMonthdaynum=0", "AlMonthDays=", "AlMWeekdaynum=0",
              "AlMWeekdays=", "AlMWeekDWNum=0", "AlMWeekDW=", "[Alarm Days]", "[sw120]",
              "AlMinWindow=0", "[sw129]", "ExCnt=0"]
    if steps is not None:
        lines.append(f"Event Count={len(steps)}")
        for e, (evname, evtype, block) in enumerate(steps, 1):
            lines += [f"[Event {e}]", "[Event Info]", f"evname={evname}", f"evtype={evtype}"]
            lines += block
        return lines
    return lines + NO_ACTIONS


def every_minutes(n, name, start, minutes, steps=None, enabled=True):
    """Alarm n, every `minutes` minutes from `start` on, without end."""
    swap = {"AlType=0": "AlType=4", "AlEndType=0": "AlEndType=1", "AlXMin=1": f"AlXMin={minutes}"}
    return [swap.get(line, line) for line in once(n, name, start, steps, enabled=enabled)]


def sleep_step(seconds):
    return (f"Sleep {seconds} seconds", 5, ["[sleep]", f"sseconds={seconds}"])


def repeat_step(step, times):
    return (f"Repeat step {step}", 8, ["[REPEAT]", "reptype=0", f"stepnum={step}",
                                      f"repnum={times}"])


def write(path, alarms, **kw):
    lines = header(**kw) + [f"Alarm Count={len(alarms)}"]
    for a in alarms:
        lines += a
    with open(path, "wb") as f:
        f.write("".join(line + "\r\n" for line in lines).encode())


def replace(path, alarms, **kw):
    """As write, but atomically, as the program saves: readers see the old
    file or the new one, never a part."""
    scratch = path + ".new"
    write(scratch, alarms, **kw)
    os.replace(scratch, path)


def next_whole_second(after_seconds):
    now = datetime.datetime.now()
    return (now + datetime.timedelta(seconds=after_seconds + 1)).replace(microsecond=0)


def stop(proc):
    """Ends a program started in a session of its own, with everything it
    started (a virtual display too): the whole process group."""
    for sig in (signal.SIGTERM, signal.SIGKILL):
        try:
            os.killpg(proc.pid, sig)
        except ProcessLookupError:
            return
        try:
            proc.wait(5)
            return
        except subprocess.TimeoutExpired:
            pass


def start_program(program, work, alarms, hidden=True, virtual_display=True, extra_env=None):
    """Writes `alarms` (with logging on) into a program folder under `work` and
    starts the program there with folders of its own, in a session of its own:
    on a virtual display where xvfb-run is there and wanted, else on the
    offscreen platform; `extra_env` is added to its environment. Returns the
    process and the program folder."""
    data = os.path.join(work, "data")
    for sub in ("data", "config", "sys", "run"):
        os.makedirs(os.path.join(work, sub), mode=0o700, exist_ok=True)
    write(os.path.join(data, "alfile.ini"), alarms, logging=True)
    env = dict(os.environ, RINGMERE_DIR=data, XDG_CONFIG_HOME=os.path.join(work, "config"),
               XDG_CONFIG_DIRS=os.path.join(work, "sys"), XDG_RUNTIME_DIR=os.path.join(work, "run"),
               **(extra_env or {}))
    command = [program] + (["startup"] if hidden else [])
    if virtual_display and shutil.which("xvfb-run"):
        command = ["xvfb-run", "-a", "-s", "-screen 0 1024x768x24"] + command
        env.pop("QT_QPA_PLATFORM", None)
    else:
        env["QT_QPA_PLATFORM"] = "offscreen"
    proc = subprocess.Popen(command, env=env, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL, start_new_session=True)
    return proc, data


def wait_for_log(data, want, limit=60):
    """The program's log once it holds `want`, or what it holds after `limit`
    seconds (a guard against hangs, never a measure)."""
    log_path = os.path.join(data, "allog.txt")
    log = ""
    deadline = time.time() + limit
    while time.time() < deadline:
        if os.path.exists(log_path):
            with open(log_path, "rb") as f:
                log = f.read().decode("utf-8", "replace")
            if want in log:
                break
        time.sleep(0.2)
    return log


def run_program_until_logged(program, work, alarms, want, limit=60):
    """Starts the program hidden over `alarms` and returns its log once it
    holds `want` (see wait_for_log); the program is stopped."""
    proc, data = start_program(program, work, alarms)
    log = wait_for_log(data, want, limit)
    stop(proc)
    return log
