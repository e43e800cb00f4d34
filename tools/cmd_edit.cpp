// list, add, enable, disable, delete and rename: the alarm list as the main
// window shows and changes it, for scripts.
#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <iostream>
#include <map>

#include <nlohmann/json.hpp>

#include "core/alarm_form.h"
#include "core/alarmtable.h"
#include "core/clock.h"
#include "core/text.h"
#include "tools/cli.h"

namespace ringmere::cli {

namespace {

std::optional<int> WholeNumber(const std::string& text) {
    int n = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
    if (text.empty() || ec != std::errc{} || ptr != text.data() + text.size()) return std::nullopt;
    return n;
}

// The alarm a NAME_OR_NUMBER argument means: an exact name first (an alarm
// may be called "3"), else a position in the list.
std::optional<Integer> FindAlarm(const Globals& g, const std::string& which) {
    for (Integer i = 1; i <= g.AlarmCount; ++i)
        if (g.AlarmTable[i].AlName == which) return i;
    if (const auto n = WholeNumber(which); n && *n >= 1 && *n <= g.AlarmCount) return *n;
    return std::nullopt;
}

int NoSuchAlarm(const std::string& which) {
    return Fail("nothing changed: no alarm is named or numbered '" + which + "'");
}

// "2026-12-11T09:00:00", for JSON.
std::string IsoText(DateTime moment) {
    const CivilDate d = DecodeDate(moment);
    const int second = SplitToSecond(moment).second;
    char buf[40];
    std::snprintf(buf, sizeof buf, "%04lld-%02d-%02dT%02d:%02d:%02d",
                  static_cast<long long>(d.year), d.month, d.day, second / 3600, second / 60 % 60,
                  second % 60);
    return buf;
}

int RunList(const std::vector<std::string>& args) {
    std::string file;
    bool json = false;
    std::optional<DateTime> now;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--json") {
            json = true;
        } else if (a == "--now") {
            if (i + 1 >= args.size()) return Fail("--now needs a value");
            now = ParseMoment(args[++i]);
            if (!now) return Fail("--now takes \"M/d/yyyy hh:mm:ssAM\", not '" + args[i] + "'");
        } else if (!a.empty() && a[0] == '-') {
            return Fail("unknown option '" + a + "' (see ringmere-cli list --help)");
        } else if (file.empty()) {
            file = a;
        } else {
            return Fail("list takes one FILE (see ringmere-cli list --help)");
        }
    }
    if (file.empty()) return Fail("list takes one FILE (see ringmere-cli list --help)");
    Globals g;
    StderrReporter reporter;
    const LoadedFile loaded = LoadAsLocalFile(g, file, reporter);
    if (loaded.result == kFileCannotOpen && ExplainSilentFailure(g, file, loaded) == kExitError)
        return kExitError;
    const DateTime at = now ? *now : CurrentClock().Now();
    nlohmann::json rows = nlohmann::json::array();
    std::string out;
    for (Integer i = 1; i <= g.AlarmCount; ++i) {
        const AlRec& a = g.AlarmTable[i];
        const bool damaged = g.FirstDamagedAlarm != 0 && i >= g.FirstDamagedAlarm;
        std::optional<DateTime> next;
        if (a.enabled && !damaged)
            if (const auto m = NextOccurrences(a, g.GlobalExceptions, at, 1); !m.empty())
                next = m.front();
        const char* kind = damaged ? "damaged" : a.mtype == kScriptedAlarm ? "scripted" : "simple";
        if (json) {
            rows.push_back({{"number", i},
                            {"enabled", a.enabled},
                            {"name", ToDisplayUtf8(a.AlName)},
                            {"kind", kind},
                            {"next", next ? nlohmann::json(IsoText(*next)) : nlohmann::json()}});
            continue;
        }
        out += std::to_string(i) + '\t' + (a.enabled ? "on" : "off") + '\t' +
               ToDisplayUtf8(a.AlName) + '\t' + kind + '\t' +
               (next ? FormatDateTime(*next) : std::string("-")) + '\n';
    }
    std::cout << (json ? rows.dump(2) + "\n" : out);
    return loaded.messages == 0 && loaded.result == kFileDone ? kExitOk : kExitProblems;
}

int SetEnabled(const std::vector<std::string>& args, bool enabled) {
    const char* name = enabled ? "enable" : "disable";
    if (args.size() != 2)
        return Fail(std::string(name) + " takes FILE and NAME_OR_NUMBER (see ringmere-cli " + name +
                    " --help)");
    return EditAlarmFile(args[0], [&](Globals& g) {
        const auto row = FindAlarm(g, args[1]);
        if (!row) return NoSuchAlarm(args[1]);
        g.AlarmTable[*row].enabled = enabled;
        return kExitOk;
    });
}

int RunEnable(const std::vector<std::string>& args) {
    return SetEnabled(args, true);
}

int RunDisable(const std::vector<std::string>& args) {
    return SetEnabled(args, false);
}

int RunDelete(const std::vector<std::string>& args) {
    if (args.size() != 2)
        return Fail("delete takes FILE and NAME_OR_NUMBER (see ringmere-cli delete --help)");
    return EditAlarmFile(args[0], [&](Globals& g) {
        const auto row = FindAlarm(g, args[1]);
        if (!row) return NoSuchAlarm(args[1]);
        return DeleteAlarm(g, *row) ? kExitOk : Fail("nothing changed: the alarm was not deleted");
    });
}

constexpr const char* kNameTaken = "Alarm name is already being used by another alarm.";

int RunRename(const std::vector<std::string>& args) {
    if (args.size() != 3)
        return Fail("rename takes FILE, NAME and NEWNAME (see ringmere-cli rename --help)");
    return EditAlarmFile(args[0], [&](Globals& g) {
        const auto row = FindAlarm(g, args[1]);
        if (!row) return NoSuchAlarm(args[1]);
        if (args[2].empty()) return Fail("nothing changed: NEWNAME is empty");
        if (NameTaken(g, args[2], *row)) return Fail(kNameTaken);
        g.AlarmTable[*row].AlName = args[2];
        return kExitOk;
    });
}

// "yyyy-MM-dd": the day; nothing for anything else.
std::optional<DateTime> IsoDate(const std::string& text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
    const auto y = WholeNumber(text.substr(0, 4)), m = WholeNumber(text.substr(5, 2)),
               d = WholeNumber(text.substr(8, 2));
    if (!y || !m || !d) return std::nullopt;
    return TryEncodeDate(*y, *m, *d);
}

// "HH:mm" or "HH:mm:ss": the time of day.
std::optional<DateTime> IsoTime(const std::string& text) {
    if ((text.size() != 5 && text.size() != 8) || text[2] != ':' ||
        (text.size() == 8 && text[5] != ':'))
        return std::nullopt;
    const auto h = WholeNumber(text.substr(0, 2)), m = WholeNumber(text.substr(3, 2));
    const auto s = text.size() == 8 ? WholeNumber(text.substr(6, 2)) : std::optional<int>(0);
    if (!h || !m || !s || *h > 23 || *m > 59 || *s > 59) return std::nullopt;
    return EncodeTime(*h, *m, *s);
}

struct Unit {
    const char* name;
    std::string ScheduleForm::*text;  // null: weeks, which have a page of their own
    IntervalChoice interval;
};

constexpr std::array<Unit, 6> kUnits{{
    {"minutes", &ScheduleForm::minutes, IntervalChoice::Minutes},
    {"hours", &ScheduleForm::hours, IntervalChoice::Hours},
    {"days", &ScheduleForm::days, IntervalChoice::Days},
    {"weeks", nullptr, IntervalChoice::Days},
    {"months", &ScheduleForm::months, IntervalChoice::Months},
    {"years", &ScheduleForm::years, IntervalChoice::Years},
}};

const Unit* FindUnit(std::string word) {
    for (const Unit& u : kUnits)
        if (word == u.name || word + "s" == u.name) return &u;
    return nullptr;
}

// Sunday first, as the form's weekdays.
constexpr std::array<const char*, 7> kWeekdays{"sun", "mon", "tue", "wed", "thu", "fri", "sat"};

std::optional<std::array<bool, 7>> ParseWeekdays(const std::string& list) {
    std::array<bool, 7> ticked{};
    std::size_t start = 0;
    while (start <= list.size() && !list.empty()) {
        const auto comma = std::min(list.find(',', start), list.size());
        const std::string day = list.substr(start, comma - start);
        std::size_t d = 0;
        while (d < kWeekdays.size() && day != kWeekdays[d]) ++d;
        if (d == kWeekdays.size()) return std::nullopt;
        ticked[d] = true;
        start = comma + 1;
    }
    return ticked;
}

int RunAdd(const std::vector<std::string>& args) {
    std::string file;
    std::map<std::string, std::string> options;
    bool disabled = false;
    constexpr std::array<const char*, 8> kValued{"--name",  "--at",      "--every", "--weekdays",
                                                 "--until", "--message", "--sound", "--run"};
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool valued = std::find(kValued.begin(), kValued.end(), a) != kValued.end();
        if (a == "--disabled") {
            disabled = true;
        } else if (valued) {
            if (i + 1 >= args.size()) return Fail(a + " needs a value");
            // --every takes two words: N and the unit.
            if (a == "--every" && args[i + 1].find(' ') != std::string::npos) {
                options[a] = args[++i];
            } else if (a == "--every") {
                if (i + 2 >= args.size()) return Fail("--every takes N and a unit, e.g. 2 hours");
                options[a] = args[i + 1] + ' ' + args[i + 2];
                i += 2;
            } else {
                options[a] = args[++i];
            }
        } else if (!a.empty() && a[0] == '-') {
            return Fail("unknown option '" + a + "' (see ringmere-cli add --help)");
        } else if (file.empty()) {
            file = a;
        } else {
            return Fail("add takes one FILE (see ringmere-cli add --help)");
        }
    }
    if (file.empty()) return Fail("add takes one FILE (see ringmere-cli add --help)");
    if (!options.count("--name") || options["--name"].empty()) return Fail("add needs --name NAME");
    if (!options.count("--at")) return Fail("add needs --at \"yyyy-MM-dd HH:mm[:ss]\"");

    const std::string& atText = options["--at"];
    const auto space = atText.find(' ');
    const auto day = IsoDate(atText.substr(0, space));
    const auto time = space == std::string::npos ? std::nullopt : IsoTime(atText.substr(space + 1));
    if (!day || !time) return Fail("--at takes \"yyyy-MM-dd HH:mm[:ss]\", not '" + atText + "'");

    AlarmForm form;
    form.schedule = NewScheduleForm(CurrentClock().Now());
    ScheduleForm& s = form.schedule;
    s.startDate = s.endDate = *day;
    s.startTime = s.endTime = *time;
    form.info.name = options["--name"];
    form.info.message = options["--message"];

    const bool weekdays = options.count("--weekdays") != 0;
    if (options.count("--every")) {
        const std::string& every = options["--every"];
        const std::string count = every.substr(0, every.find(' '));
        const Unit* unit = FindUnit(every.substr(every.find(' ') + 1));
        if (!unit)
            return Fail("--every takes minutes, hours, days, weeks, months or years, not '" +
                        every.substr(every.find(' ') + 1) + "'");
        if (weekdays && unit->text) return Fail("--weekdays goes with --every N weeks only");
        s.end = EndChoice::NoEnd;
        if (unit->text) {
            s.frequency = FrequencyChoice::Other;
            s.interval = unit->interval;
            s.*unit->text = count;
        } else {
            s.frequency = FrequencyChoice::Weekly;
            s.weeks = count == "1"   ? WeeksChoice::EveryWeek
                      : count == "2" ? WeeksChoice::BiWeekly
                                     : WeeksChoice::EveryX;
            s.xWeeks = count;
        }
    }
    if (weekdays) {
        const auto ticked = ParseWeekdays(options["--weekdays"]);
        if (!ticked)
            return Fail("--weekdays takes days such as mon,tue,wed (sun to sat), not '" +
                        options["--weekdays"] + "'");
        s.frequency = FrequencyChoice::Weekly;
        s.weekdays = *ticked;
        s.end = EndChoice::NoEnd;
    } else if (s.frequency == FrequencyChoice::Weekly) {
        s.weekdays[DayOfWeek(*day) - 1] = true;  // the day of --at
    }
    if (options.count("--until")) {
        const auto until = IsoDate(options["--until"]);
        if (!until) return Fail("--until takes \"yyyy-MM-dd\", not '" + options["--until"] + "'");
        if (s.end != EndChoice::NoEnd) return Fail("--until needs --every or --weekdays");
        s.end = EndChoice::EndDate;
        s.endDate = *until;
        s.endTime = EncodeTime(23, 59, 59);  // through the whole day
    }

    return EditAlarmFile(file, [&](Globals& g) {
        form.actions = NewActionsForm(g.Settings);
        if (options.count("--sound")) {
            const std::string& sound = options["--sound"];
            const bool wave = sound.size() >= 4 && (sound.substr(sound.size() - 4) == ".wav" ||
                                                    sound.substr(sound.size() - 4) == ".WAV");
            form.actions.muType = wave ? kMusicWave : kMusicMp3;
            (wave ? form.actions.wavfile : form.actions.mp3file) = sound;
        }
        form.actions.app1 = options["--run"];
        for (const FormProblem& p : CheckAlarmForm(form)) {
            if (p.stops) return Fail(p.message);
            std::cerr << p.message << '\n';
        }
        const Integer index = g.AlarmCount + 1;
        if (NameTaken(g, form.info.name, index)) return Fail(kNameTaken);
        AlRec alarm = ComposeAlarm(AlRec{}, form, {}, {}, true);
        if (disabled) alarm.enabled = false;
        if (g.AlarmTable.size() < std::size_t(index) + 2)
            g.AlarmTable.resize(std::size_t(index) + 2);
        g.AlarmTable[index] = std::move(alarm);
        g.AlarmCount = index;
        std::cout << index << '\n';
        return kExitOk;
    });
}

constexpr const char* kEditStatus =
    "Exit status: 0 changed, 2 nothing changed (bad arguments, no such alarm, FILE cannot be\n"
    "read cleanly or written, or another program held the file's lock for 5 seconds).\n";

constexpr const char* kLockNote =
    "The change is made under the lock \"FILE.lock\" (flock, owner-only) that the program\n"
    "takes too, and FILE is replaced atomically; it keeps the program's file permissions.\n";

const Register list{{
    "list",
    "FILE [--json] [--now \"M/d/yyyy hh:mm:ssAM\"]",
    "Print the alarms of FILE: number, state, name, kind and next activation.",
    "One line per alarm, fields separated by tabs: its number, \"on\" or \"off\", its name,\n"
    "\"simple\", \"scripted\" or \"damaged\" (not read whole), and when it goes off next\n"
    "(\"3/12/2004 09:00:00AM\"), or \"-\" for never (a disabled alarm never does).\n"
    "\n"
    "  --json        an array of {\"number\", \"enabled\", \"name\", \"kind\", \"next\"}, with\n"
    "                \"next\" as \"2004-03-12T09:00:00\" or null\n"
    "  --now MOMENT  the next activations from MOMENT instead of the current time\n"
    "\n"
    "Exit status: 0 no messages, 1 the reader reported messages, 2 bad arguments or FILE\n"
    "cannot be read.\n",
    RunList,
}};

std::string AddHelp() {
    return std::string(
               "Adds a simple alarm as the alarm editor makes it, with the editor's defaults\n"
               "and checks; its number is printed. Without --every or --weekdays it goes off\n"
               "once.\n"
               "\n"
               "  --name NAME        the alarm's name, not used by another alarm\n"
               "  --at WHEN          the first activation, \"yyyy-MM-dd HH:mm\" or with \":ss\"\n"
               "  --every N UNIT     repeat every N minutes, hours, days, weeks, months or years\n"
               "                     (weeks on the weekday of --at unless --weekdays says)\n"
               "  --weekdays LIST    weekly on these days: sun,mon,tue,wed,thu,fri,sat\n"
               "  --until DATE       the last day of a repeating alarm, \"yyyy-MM-dd\"\n"
               "  --message TEXT     the message shown when it goes off\n"
               "  --sound FILE       an MP3 file, or a wave file (.wav) played once\n"
               "  --run PROGRAM      the first program to launch\n"
               "  --disabled         added switched off\n"
               "\n"
               "A value the editor refuses gives the editor's message and writes nothing.\n") +
           kLockNote + kEditStatus;
}

const std::string kAddHelp = AddHelp();
const std::string kStateHelp = std::string(
                                   "NAME_OR_NUMBER is an alarm's exact name or, when no alarm "
                                   "has that name, its number\nin 'list'.\n") +
                               kLockNote + kEditStatus;

const Register add{{
    "add",
    "FILE --name NAME --at \"yyyy-MM-dd HH:mm[:ss]\" [--every N UNIT] [--weekdays LIST]\n"
    "       [--until \"yyyy-MM-dd\"] [--message TEXT] [--sound FILE] [--run PROGRAM] "
    "[--disabled]",
    "Add a simple alarm to FILE.",
    kAddHelp.c_str(),
    RunAdd,
}};

const Register enable{{
    "enable",
    "FILE NAME_OR_NUMBER",
    "Switch an alarm of FILE on.",
    kStateHelp.c_str(),
    RunEnable,
}};

const Register disable{{
    "disable",
    "FILE NAME_OR_NUMBER",
    "Switch an alarm of FILE off.",
    kStateHelp.c_str(),
    RunDisable,
}};

const Register remove{{
    "delete",
    "FILE NAME_OR_NUMBER",
    "Delete an alarm from FILE.",
    kStateHelp.c_str(),
    RunDelete,
}};

const Register rename{{
    "rename",
    "FILE NAME NEWNAME",
    "Give an alarm of FILE another name.",
    kStateHelp.c_str(),
    RunRename,
}};

}  // namespace

}  // namespace ringmere::cli
