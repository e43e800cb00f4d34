#include "core/step_form.h"

#include <algorithm>
#include <cstddef>
#include <optional>

#include "core/fileops.h"
#include "core/form_checks.h"
#include "core/script_list.h"

namespace ringmere {

namespace {

using Checks = FormChecks<StepProblem, StepTab>;

constexpr NumberField kReconnectsField{{0, 1000},
                                       "Invalid value for number of reconnection attempts.",
                                       "Number of reconnection attempts"};
constexpr NumberField kReconnectDelayField{
    {0, 300}, "Invalid connection delay value.", "Connection delay value"};

// A pattern without a folder would match names wherever the program happens
// to run.
std::string PatternWithoutFolder(const std::string& path) {
    if (!HasWildcards(path) || path.find('/') != std::string::npos) return {};
    return "The pattern " + path +
           " names no folder. Please enter its full path, starting with \"/\".";
}

void CheckFileOp(Checks& c, const StepForm& f, const StepFiles& files) {
    switch (f.fop) {
        case kFopCopy:
        case kFopMove: {
            const bool copy = f.fop == kFopCopy;
            const std::string& from = copy ? f.copyFrom : f.moveFrom;
            const std::string& to = copy ? f.copyTo : f.moveTo;
            c.Fail(from.empty() || to.empty(), copy ? "Please enter file copy locations."
                                                    : "Please enter file move locations.");
            const std::string noFolder = PatternWithoutFolder(from);
            c.Fail(!noFolder.empty(), noFolder);
            c.Fail(HasWildcards(from) && files.isFile && files.isFile(to),
                   "Destination should be a directory");
            break;
        }
        case kFopDelete: {
            c.Fail(f.deleteFile.empty(), "Please enter file to delete.");
            const std::string noFolder = PatternWithoutFolder(f.deleteFile);
            c.Fail(!noFolder.empty(), noFolder);
            break;
        }
        default:
            break;
    }
}

void CheckReconnection(Checks& c, const StepForm& f) {
    // An unreadable number does not take the user to the retry tab.
    c.Number(f.ftpmaxrecon, kReconnectsField, StepTab::FtpRetry, true, StepTab::None);
    c.Number(f.ftprecondelay, kReconnectDelayField, StepTab::FtpRetry, true, StepTab::None);
}

}  // namespace

StepForm NewStepForm(const SettingsRec& settings) {
    StepForm form;
    form.from = settings.ReplyTo;
    return form;
}

StepForm LoadStepForm(const AlEvent& e, const SettingsRec& settings) {
    StepForm f = NewStepForm(settings);
    f.kind = e.evtype <= kStepFileOp ? e.evtype : Byte{kStepSound};
    switch (e.evtype) {
        case kStepSound: {
            const MusicType& m = *e.Music;
            f.muType = m.MuType == kMusicWave || m.MuType == kMusicCd ? m.MuType : Byte{kMusicMp3};
            LoadSound(m, f);
            // A number no one chose shows the arrows' start.
            if (m.Wav.reptimes != 0 || f.wavtype == kWavForSeconds)
                f.repeatSeconds = DecimalText(m.Wav.reptimes);
            if (m.Cd.cdtrack != 0 || f.muType == kMusicCd) f.track = DecimalText(m.Cd.cdtrack);
            break;
        }
        case kStepDialup:
            f.connect = e.Dial->connectm;
            f.dialname = e.Dial->dialname;
            f.redial = DecimalText(e.Dial->redialattempts);
            break;
        case kStepLaunch:
            f.app1 = e.Launch->app1;
            f.param1 = e.Launch->param1;
            break;
        case kStepWeb:
            f.url1 = e.Web->url1;
            f.opennew = e.Web->opennew;
            break;
        case kStepMail:
            LoadMail(*e.Mail, f);
            break;
        case kStepSleep:
            f.seconds = DecimalText(e.sseconds);
            break;
        case kStepSynch:
            f.synchserver = e.Synch->synchserver;
            break;
        case kStepFtp:
            LoadFtp(*e.Ftp, f);
            break;
        case kStepRepeat:
            if (e.Repeat.stepnum >= 1) f.target = DecimalText(e.Repeat.stepnum);
            // Only 1 repeats until stopped when the script runs.
            f.reptype =
                e.Repeat.reptype == kRepeatUntilStopped ? kRepeatUntilStopped : kRepeatTimes;
            f.repnum = DecimalText(e.Repeat.repnum);
            break;
        case kStepFileOp:
            LoadFileOp(*e.FileOp, f, kFopCopy);
            break;
        default:
            break;  // a kind the program does not know shows as a new step
    }
    return f;
}

std::vector<StepProblem> CheckStepForm(const StepForm& f, Integer lastTarget,
                                       const StepFiles& files) {
    Checks c;
    const bool music = f.kind == kStepSound;
    c.Fail(music && f.muType == kMusicMp3 && f.mp3file.empty(), "Warning: No MP3 File Selected.");
    c.Fail(music && f.muType == kMusicWave && f.wavfile.empty(), "Warning: No Wav File Selected.");
    if (f.kind == kStepRepeat) {
        c.Fail(f.target.empty(), "Warning: Please select a step to repeat to.");
        const std::optional<Integer> target = ParseWholeNumber(f.target);
        c.Fail(!target || *target < 1 || *target > lastTarget, "Warning: Invalid step number");
    }
    c.Fail(f.kind == kStepSynch && f.synchserver.empty(), "Warning: No Time Server Selected.");
    const bool ftp = f.kind == kStepFtp;
    if (ftp && f.ftpretry) {
        c.Number(f.ftpmaxretry, kRetriesField, StepTab::FtpRetry, true, StepTab::None);
        c.Number(f.ftpdelay, kRetryDelayField, StepTab::FtpRetry, true, StepTab::None);
        CheckReconnection(c, f);
    }
    if (f.kind == kStepFileOp) CheckFileOp(c, f, files);

    // Numbers without a check of their own: nothing is stored from a form
    // that one of them would leave half converted.
    if (music && f.muType == kMusicWave && f.wavtype == kWavForSeconds)
        c.Number(f.repeatSeconds, kWaveSecondsField);
    if (music && f.muType == kMusicCd && f.tracktype == kCdListedTrack)
        c.Number(f.track, kTrackField);
    if (f.kind == kStepDialup) c.Number(f.redial, kRedialField);
    if (f.kind == kStepSleep)
        c.Number(f.seconds, {kStepSleepRange, "Invalid number of seconds.", "Number of seconds"});
    if (ftp) {
        c.Number(f.ftpport, kPortField);
        if (f.ftpreconnect && !f.ftpretry) CheckReconnection(c, f);
    }
    if (f.kind == kStepRepeat && f.reptype == kRepeatTimes)
        c.Number(f.repnum, {kStepRepeatCountRange, "Invalid repeat count.", "Repeat count"});
    return c.take();
}

void StoreStep(const StepForm& f, AlEvent& e) {
    e.evtype = f.kind;
    switch (f.kind) {
        case kStepSound:
            StoreSound(f, *e.Music, f.muType == kMusicCd);
            break;
        case kStepDialup:
            e.Dial->usedialup = true;
            e.Dial->connectm = f.connect;
            e.Dial->dialname = f.dialname;
            e.Dial->redialattempts = NumberOr(f.redial, e.Dial->redialattempts);
            break;
        case kStepLaunch:
            e.Launch->app1 = f.app1;
            e.Launch->param1 = f.param1;
            break;
        case kStepWeb:
            e.Web->url1 = f.url1;
            e.Web->opennew = f.opennew;
            break;
        case kStepMail:
            e.Mail->sendmessage = true;
            StoreMail(f, *e.Mail);
            break;
        case kStepSleep:
            e.sseconds = NumberOr(f.seconds, e.sseconds);
            break;
        case kStepSynch:
            e.Synch->synchserver = f.synchserver;
            break;
        case kStepFtp:
            StoreFtp(f, *e.Ftp);
            break;
        case kStepRepeat:
            e.Repeat.stepnum = NumberOr(f.target, e.Repeat.stepnum);
            e.Repeat.reptype = f.reptype;
            e.Repeat.repnum = NumberOr(f.repnum, e.Repeat.repnum);
            break;
        case kStepFileOp:
            StoreFileOp(f, *e.FileOp);
            break;
        default:
            break;
    }
    e.evname = StepDescription(e);
}

std::string StepDescription(const AlEvent& e) {
    switch (e.evtype) {
        case kStepSound:
            if (e.Music->MuType == kMusicCd) return "Play CD";
            return "Play " +
                   (e.Music->MuType == kMusicWave ? e.Music->Wav.wavfile : e.Music->Mp3.mp3file);
        case kStepDialup:
            return (e.Dial->connectm ? "Connect to " : "Disconnect from ") + e.Dial->dialname;
        case kStepLaunch:
            return "Open " + e.Launch->app1;
        case kStepWeb:
            return "Open Web Page: " + e.Web->url1;
        case kStepMail:
            return "Send email/page to " + e.Mail->mto;
        case kStepSleep:
            return "Sleep " + DecimalText(e.sseconds) + " seconds.";
        case kStepSynch:
            return "Synchronize System Time";
        case kStepFtp:
            return "Open FTP session to " + e.Ftp->ftpserver;
        case kStepRepeat:
            return RepeatName(e.Repeat.stepnum);
        case kStepFileOp:
            return e.FileOp->fop == kFopMove     ? "Move File."
                   : e.FileOp->fop == kFopDelete ? "Delete File."
                                                 : "Copy File.";
        default:
            return e.evname;
    }
}

Integer LastRepeatTarget(Integer stepCount, Integer stepIndex, bool adding) {
    if (!RepeatAllowed(stepCount, stepIndex)) return 0;
    return adding ? stepCount : std::min(stepIndex - 1, stepCount);
}

bool RepeatAllowed(Integer stepCount, Integer stepIndex) {
    return stepCount > 0 && stepIndex != 1;
}

}  // namespace ringmere
