// The in-memory records of alarms, script steps and exception rules. Field
// names are the keys of the alarm file. Records are plain values that own
// their texts and lists, so copying one copies everything.
//
// Texts are 8-bit byte strings kept exactly as read; on Linux they hold UTF-8,
// older files may hold Windows-1252. Nothing in core re-encodes them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/datetime.h"
#include "core/sparse.h"

namespace ringmere {

using Byte = std::uint8_t;
using Integer = std::int32_t;

// The coded values of the records, with the numbers the file stores. Fields
// keep their stored byte, so a damaged file's out-of-range value (an AlType of
// 9) is kept and written back as it was read; compare fields with these names.

enum AlType : Byte {
    kEveryXDays = 0,
    kWeekly = 1,
    kMonthly = 2,
    kSelectedDates = 3,
    kEveryXMinutes = 4,
    kEveryXHours = 5,
    kEveryXYears = 6,
    kEveryXMonths = 7,
};

// 2 and any other value mean no end, as 1 does.
enum AlEndType : Byte {
    kEndOnce = 0,
    kEndNever = 1,
    kEndAtDate = 3,
};

enum AlMType : Byte {
    kFirstDay = 0,
    kLastDay = 1,
    kListedMonthDays = 2,
    kWeekdaysOfWeeks = 3,
};

enum ExType : Byte {
    kExDailyWindow = 0,
    kExDates = 1,
    kExWeekdays = 2,
};

enum ExSelType : Byte {
    kExWholeDay = 0,
    kExWindowOnDates = 1,
};

enum mp3ptype : Byte {
    kInternalPlayer = 0,
    kSystemPlayer = 1,
};

enum wavtype : Byte {
    kWavOnce = 0,
    kWavUntilStopped = 1,
    kWavForSeconds = 2,
};

enum tracktype : Byte {
    kCdListedTrack = 0,
    kCdRandomTrack = 1,
};

enum MuType : Byte {
    kMusicMp3 = 0,
    kMusicWave = 1,
    kMusicCd = 2,
    kMusicSilent = 3,
};

enum ftptransfertype : Byte {
    kFtpSingleFile = 0,
    kFtpAllFiles = 1,
};

enum fop : Byte {
    kFopNone = 0,
    kFopCopy = 1,
    kFopMove = 2,
    kFopDelete = 3,
};

enum reptype : Byte {
    kRepeatTimes = 0,
    kRepeatUntilStopped = 1,
};

// Step kinds (evtype).
enum StepKind : Byte {
    kStepSound = 0,
    kStepDialup = 1,
    kStepLaunch = 2,
    kStepWeb = 3,
    kStepMail = 4,
    kStepSleep = 5,
    kStepSynch = 6,
    kStepFtp = 7,
    kStepRepeat = 8,
    kStepFileOp = 9,
};
using evtype = StepKind;

enum mtype : Byte {
    kSimpleAlarm = 0,
    kScriptedAlarm = 1,
};

// List fields keep a count beside them, as the file does. The reader keeps
// each list sized to its count; the writer writes `count` entries, reading
// missing ones as 0.

struct TimeRec {
    Byte AlType = 0;
    DateTime AlTime = 0;  // time of day only
    Integer AlMDay = 0;   // carried, unused
    Integer AlDayCount = 0;
    Integer AlWeekdaynum = 0;
    std::vector<Integer> AlWeekdays;  // values: 1 Sunday to 7 Saturday
    std::vector<DateTime> AlDays;     // whole dates, ascending
    DateTime AlStartDate = 0;
    Byte AlEndType = 0;
    Integer AlXTimes = 0;  // carried, unused
    DateTime AlEndDate = 0;
    DateTime AlEndTime = 0;
    Integer AlXMin = 0;
    Integer AlXHours = 0;
    Integer AlXDays = 0;
    Integer AlXYears = 0;
    Integer AlXWeeks = 0;  // a stored 0 counts as 1
    Integer AlXMonths = 0;
    Byte AlMType = 0;
    Integer AlMonthdaynum = 0;
    std::vector<Integer> AlMonthDays;  // values: 1-31
    Integer AlMWeekdaynum = 0;
    std::vector<Integer> AlMWeekdays;  // values: 1-7
    Integer AlMWeekDWNum = 0;
    std::vector<Integer> AlMWeekDW;  // values: 1-4, 5 = last week

    bool operator==(const TimeRec&) const = default;
};

struct ExRec {
    Byte ExType = 0;
    DateTime ExTStart = 0;
    DateTime ExTEnd = 0;  // inclusive
    Byte ExSelType = 0;
    Integer ExDayCnt = 0;
    std::vector<DateTime> ExDays;
    Integer ExWeekdayNum = 0;
    std::vector<Integer> ExWeekDays;

    bool operator==(const ExRec&) const = default;
};

// Count is written as ExCnt (an alarm's rules) or gExCnt (the global rules).
// Rule k (numbered from 1) is Items[k - 1].
struct ExList {
    Integer Count = 0;
    std::vector<ExRec> Items;

    bool operator==(const ExList&) const = default;
};

struct MP3Rec {
    std::string mp3file;
    Byte mp3ptype = 0;
    bool operator==(const MP3Rec&) const = default;
};

struct WavRec {
    std::string wavfile;
    Byte wavtype = 0;
    Integer reptimes = 0;
    bool operator==(const WavRec&) const = default;
};

struct CDRec {
    std::string cddrive;  // the drive letter alone
    Byte tracktype = 0;
    Integer cdtrack = 0;
    bool operator==(const CDRec&) const = default;
};

struct MusicType {
    Byte MuType = 0;
    MP3Rec Mp3;
    WavRec Wav;
    CDRec Cd;
    bool operator==(const MusicType&) const = default;
};

struct DialRec {
    bool usedialup = false;
    bool connectm = false;  // true connect, false disconnect
    std::string dialname;
    Integer redialattempts = 0;
    bool operator==(const DialRec&) const = default;
};

struct FileLaunch {
    std::string app1, param1, app2, param2, app3, param3;
    bool operator==(const FileLaunch&) const = default;
};

struct SFileLaunch {
    std::string app1, param1;
    bool operator==(const SFileLaunch&) const = default;
};

struct WebLaunch {
    std::string url1;
    bool opennew = false;
    bool operator==(const WebLaunch&) const = default;
};

struct smtpmessage {
    bool sendmessage = false;
    std::string servername;
    std::string username;
    std::string from;
    std::string mto;  // addresses separated by ";"
    std::string subject;
    std::string msg;  // may hold line breaks
    Integer nAttach = 0;
    std::vector<std::string> Attachment;  // numbered from 0 here, from 1 in the file
    bool operator==(const smtpmessage&) const = default;
};

struct SynchronizeRec {
    bool dosynch = false;
    std::string synchserver;
    bool operator==(const SynchronizeRec&) const = default;
};

struct FTPRecT {
    bool ftpenabled = false;
    std::string ftpserver;
    std::string ftppath;
    std::string ftplocalfile;
    Integer ftpport = 0;
    std::string ftpuser;
    std::string ftppass;  // plain text, as the file keeps it
    bool ftpupload = false;
    bool ftpascmode = false;
    bool ftppassive = false;
    bool ftpretry = false;
    Integer ftpmaxretry = 0;
    Integer ftpdelay = 0;
    bool ftpreconnect = false;
    std::string ftpdialname;
    Integer ftpmaxrecon = 0;
    Integer ftprecondelay = 0;
    Byte ftptransfertype = 0;
    bool operator==(const FTPRecT&) const = default;
};

struct FileOps {
    Byte fop = 0;
    std::string ffrom;
    std::string fto;
    std::string fdel;
    bool operator==(const FileOps&) const = default;
};

struct RepeatRec {
    Integer stepnum = 0;
    Byte reptype = 0;
    Integer repnum = 0;
    bool operator==(const RepeatRec&) const = default;
};

// A step uses the part of its kind (evtype) only; the others stay empty.
struct AlEvent {
    std::string evname;
    Byte evtype = 0;
    Sparse<MusicType> Music;
    Sparse<DialRec> Dial;
    Sparse<SFileLaunch> Launch;
    Sparse<WebLaunch> Web;
    Sparse<smtpmessage> Mail;
    Integer sseconds = 0;
    Sparse<SynchronizeRec> Synch;
    Sparse<FTPRecT> Ftp;
    RepeatRec Repeat;
    Sparse<FileOps> FileOp;
    bool operator==(const AlEvent&) const = default;
};

// Count is written as "Event Count"; step e (from 1) is Items[e - 1].
struct AlEventList {
    Integer Count = 0;
    std::vector<AlEvent> Items;
    bool operator==(const AlEventList&) const = default;
};

struct AlRec {
    std::string AlName;
    std::string AlMessage;  // may hold line breaks (CR LF)
    bool AlHideWindow = false;
    bool AlMinWindow = false;
    bool AlFlashWindow = false;
    bool AlSnooze = false;
    Integer snoozeming = 0;
    Byte mtype = 0;
    TimeRec Schedule;
    // The actions of a simple alarm; a scripted alarm leaves them empty.
    Sparse<MusicType> Music;
    Sparse<DialRec> Dial;
    Sparse<FileLaunch> Launch;
    Sparse<WebLaunch> Web;
    Sparse<smtpmessage> Mail;
    Sparse<FTPRecT> Ftp;
    Sparse<SynchronizeRec> Synch;
    Sparse<FileOps> FileOp;
    bool enabled = false;
    AlEventList Events;
    ExList Exceptions;
    bool operator==(const AlRec&) const = default;
};

// Gives back the memory of every action part, the steps' too, that holds
// only its defaults (after reading, which fills them all in).
void ShrinkParts(AlEvent& step);
void ShrinkParts(AlRec& alarm);

}  // namespace ringmere
