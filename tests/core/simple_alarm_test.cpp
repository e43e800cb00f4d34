// A simple alarm from named fields: what each field makes of the record, and
// the editor's refusals (nothing is made then).
#include "core/simple_alarm.h"

#include <gtest/gtest.h>

#include "core/alarm_form.h"
#include "core/datetime.h"

namespace ringmere {
namespace {

const DateTime kNow = EncodeDate(2026, 12, 9) + EncodeTime(8, 0, 0);  // a Wednesday

Globals WithAlarm(const std::string& name) {
    Globals g;
    SetDefaultSettings(g);
    g.AlarmCount = 1;
    g.ResetAlarmTable(1);
    g.AlarmTable[1].AlName = name;
    return g;
}

SimpleAlarmFields At(const std::string& at) {
    SimpleAlarmFields f;
    f.name = "Walk";
    f.at = at;
    return f;
}

TEST(SimpleAlarm, FieldsMakeTheRecordTheEditorWould) {
    struct Case {
        const char* what;
        SimpleAlarmFields fields;
        Byte type;
        Byte end;
        std::vector<DateTime> next;  // the first occurrences from kNow
    };
    auto every = [](std::string e, std::optional<std::string> days = {},
                    std::optional<std::string> until = {}) {
        SimpleAlarmFields f = At("2026-12-10 07:30");
        f.every = std::move(e);
        f.weekdays = std::move(days);
        f.until = std::move(until);
        return f;
    };
    const DateTime d10 = EncodeDate(2026, 12, 10);
    const Case cases[] = {
        {"once", At("2026-12-10 07:30:15"), kEveryXDays, kEndOnce,
         {d10 + EncodeTime(7, 30, 15)}},
        {"every 2 days", every("2 days"), kEveryXDays, kEndNever,
         {d10 + EncodeTime(7, 30, 0), d10 + 2 + EncodeTime(7, 30, 0)}},
        {"every 90 minutes", every("90 minutes"), kEveryXMinutes, kEndNever,
         {d10 + EncodeTime(7, 30, 0), d10 + EncodeTime(9, 0, 0)}},
        {"every 1 month", every("1 month"), kEveryXMonths, kEndNever,
         {d10 + EncodeTime(7, 30, 0), EncodeDate(2027, 1, 10) + EncodeTime(7, 30, 0)}},
        {"weekly on the start's weekday", every("1 weeks"), kWeekly, kEndNever,
         {d10 + EncodeTime(7, 30, 0), d10 + 7 + EncodeTime(7, 30, 0)}},
        {"weekdays alone mean every week", every("1 week", "mon,Fri"), kWeekly, kEndNever,
         {d10 + 1 + EncodeTime(7, 30, 0), d10 + 4 + EncodeTime(7, 30, 0)}},
        {"until its last day", every("1 days", {}, "2026-12-11"), kEveryXDays, kEndAtDate,
         {d10 + EncodeTime(7, 30, 0), d10 + 1 + EncodeTime(7, 30, 0)}},
    };
    const Globals g = WithAlarm("Tea");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const SimpleAlarmResult r = MakeSimpleAlarm(c.fields, g, kNow);
        ASSERT_TRUE(r.alarm) << r.error;
        const AlRec& a = *r.alarm;
        EXPECT_EQ(a.AlName, "Walk");
        EXPECT_TRUE(a.enabled);
        EXPECT_EQ(a.mtype, kSimpleAlarm);
        EXPECT_EQ(a.Schedule.AlType, c.type);
        EXPECT_EQ(a.Schedule.AlEndType, c.end);
        EXPECT_EQ(NextOccurrences(a, g.GlobalExceptions, kNow, int(c.next.size())), c.next);
    }
}

TEST(SimpleAlarm, ActionsAndTheDisabledMark) {
    SimpleAlarmFields f = At("2026-12-10 07:30");
    f.message = "Stretch";
    f.run = "/usr/bin/true";
    f.disabled = true;
    for (const auto& [sound, kind] :
         {std::pair{std::string("bell.WAV"), kMusicWave}, std::pair{std::string("song.mp3"), kMusicMp3}}) {
        f.sound = sound;
        const SimpleAlarmResult r = MakeSimpleAlarm(f, WithAlarm("Tea"), kNow);
        ASSERT_TRUE(r.alarm) << r.error;
        EXPECT_FALSE(r.alarm->enabled);
        EXPECT_EQ(r.alarm->AlMessage, "Stretch");
        EXPECT_EQ(r.alarm->Launch->app1, "/usr/bin/true");
        EXPECT_EQ(r.alarm->Music->MuType, kind);
        EXPECT_EQ(kind == kMusicWave ? r.alarm->Music->Wav.wavfile : r.alarm->Music->Mp3.mp3file,
                  sound);
    }
    f.sound.reset();
    EXPECT_EQ(MakeSimpleAlarm(f, WithAlarm("Tea"), kNow).alarm->Music->MuType, kMusicSilent);
}

TEST(SimpleAlarm, BadFieldsAreRefusedWithTheReason) {
    struct Case {
        SimpleAlarmFields fields;
        const char* says;
    };
    auto with = [](auto change) {
        SimpleAlarmFields f = At("2026-12-10 07:30");
        change(f);
        return f;
    };
    const Case cases[] = {
        {with([](auto& f) { f.name.clear(); }), "needs a name"},
        {with([](auto& f) { f.name = "Tea"; }), "Alarm name is already being used"},
        {At("10/12/2026 07:30"), "yyyy-MM-dd HH:mm"},
        {At("2026-02-30 07:30"), "yyyy-MM-dd HH:mm"},
        {At("2026-12-10 24:00"), "yyyy-MM-dd HH:mm"},
        {At("2026-12-10"), "yyyy-MM-dd HH:mm"},
        {with([](auto& f) { f.every = "2 fortnights"; }), "minutes, hours, days"},
        {with([](auto& f) { f.every = "999 minutes"; }), "Number of minutes should be between 1 and 250."},
        {with([](auto& f) { f.every = "x days"; }), "Invalid number of days."},
        {with([](auto& f) { f.every = "0 weeks"; }), "Number of weeks should be between 3 and 52."},
        {with([](auto& f) { f.weekdays = "mon,funday"; }), "sun, mon, tue"},
        {with([](auto& f) { f.weekdays = ""; }), "sun, mon, tue"},
        {with([](auto& f) { f.every = "2 days"; f.weekdays = "mon"; }), "repetition in weeks"},
        {with([](auto& f) { f.until = "2027-01-01"; }), "goes with a repetition"},
        {with([](auto& f) { f.every = "1 days"; f.until = "2026-12-01"; }), "before the start"},
        {with([](auto& f) { f.every = "1 days"; f.until = "soon"; }), "yyyy-MM-dd"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.says);
        const SimpleAlarmResult r = MakeSimpleAlarm(c.fields, WithAlarm("Tea"), kNow);
        EXPECT_FALSE(r.alarm);
        EXPECT_NE(r.error.find(c.says), std::string::npos) << r.error;
    }
}

}  // namespace
}  // namespace ringmere
