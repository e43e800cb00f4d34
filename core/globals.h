// Program-wide state and the chief header of core: records, the settings
// record, the schedule table and the alarm file routines.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "core/alarmfile.h"
#include "core/datetime.h"
#include "core/records.h"
#include "core/report.h"

namespace ringmere {

// A colour is 0x80000000 + n for system colour n, otherwise 0x00BBGGRR.
inline constexpr Integer kColorWindow = -2147483643;         // system colour 5
inline constexpr Integer kColorWindowText = -2147483640;     // system colour 8
inline constexpr Integer kColorActiveCaption = -2147483646;  // system colour 2
inline constexpr Integer kColorWhite = 16777215;

struct SettingsRec {
    bool UseSMTP = true;
    std::string SMTPServer;
    std::string SMTPUser;
    std::string SMTPPass;  // plain text, as the file keeps it
    std::string ReplyTo;
    std::string UserMode = "Single";  // "Single", "Server", "Client" or "WClient"
    std::string AlarmFile;            // ProgramDir + "alfile.ini" unless a client
    bool dldAlarmFile = true;
    Integer dldInterval = 30;  // minutes
    bool allowWake = false;
    bool enablelogging = false;
    Integer monthBackColor = kColorWindow;
    Integer textColor = kColorWindowText;
    Integer titleBackColor = kColorActiveCaption;
    Integer titleTextColor = kColorWindow;
    Integer trailingTextColor = kColorWhite;
    bool AutoStart = true;
    Integer TimeServerTO = 30;  // seconds
    bool autosynch = false;
    DateTime autotime = 0;
    std::string autoserver;
    Integer Status = 0;  // 1 = main window was maximised
    Integer Left = 50;
    Integer Top = 50;
    Integer Width = 440;
    Integer Height = 400;
    bool dispevdesc = true;

    // Simple alarms as desktop notifications instead of their run window.
    bool shownotifications = false;

    bool operator==(const SettingsRec&) const = default;
};

struct ScheduleEntry {
    Integer AlarmIndex = 0;  // position in AlarmTable
    DateTime When = 0;     // as the local clock shows it
    std::int64_t Utc = 0;  // the same moment, seconds since 30/12/1899 00:00 UTC
    bool operator==(const ScheduleEntry&) const = default;
};

inline constexpr int kScheduleSlots = 50;
inline constexpr int kScheduleSize = 40;

// What Help > About and the wizard show: the program's version, then the
// alarm file layout it writes ("Version 0.1.0 (alarm file 2.10)").
std::string ProgramVersionText();

struct Globals {
    Globals();

    // Slot 0 is unused; alarms are 1..AlarmCount, and slot AlarmCount + 1 is
    // the spare in which the editor composes a new alarm.
    std::vector<AlRec> AlarmTable;
    Integer AlarmCount = 0;
    ExList GlobalExceptions;
    SettingsRec Settings;
    std::array<ScheduleEntry, kScheduleSlots + 1> ScheduleTable{};  // slot 0 unused
    Integer ScheduleCount = 0;
    std::string ProgramDir;                    // ends with "/"
    std::string LocalFileName = "alfile.ini";  // ringmere-cli reads other names
    double FileVersion = 0;
    std::string VersionText = ProgramVersionText();
    bool NoAlarmFile = false;
    DateTime WebFileDate = 0;
    // The last read of the program's own file was not clean (a message, or an
    // abandoned read): SaveAlarmFile keeps the original before writing over it.
    bool AlarmFileDamaged = false;
    // What this program last read from or wrote to its own file.
    std::shared_ptr<OwnFileStamp> OwnFile = std::make_shared<OwnFileStamp>();
    // The first alarm that could not be read whole: the one being read when
    // the reading was abandoned or ran past the end of the file (it and those
    // after it hold only what was read). 0 when every alarm was, and when the
    // reading stopped before the alarms (the table is then left as it was).
    // Filled from the shared file in client modes.
    Integer FirstDamagedAlarm = 0;

    // The alarm editor's note on repeating alarms has been shown: once a run.
    bool RepeatNoteShown = false;

    // Resizes the table to `count` alarms plus the spare, all fresh records.
    void ResetAlarmTable(Integer count);
    std::string LocalAlarmFilePath() const { return ProgramDir + LocalFileName; }
};

// The program's one instance. Tests make their own Globals and pass it.
Globals& G();

// The defaults of every setting, AlarmFile included (ProgramDir must be set).
void SetDefaultSettings(Globals& g);

}  // namespace ringmere
