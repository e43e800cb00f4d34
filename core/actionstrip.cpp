#include "core/actionstrip.h"

#include <cmath>

namespace ringmere {

namespace {

constexpr const char* kBreak = "\r";

bool SoundIcon(const MusicType& m, std::vector<ActionIcon>& out) {
    if (m.MuType == kMusicMp3 || m.MuType == kMusicWave) {
        out.push_back(ActionIcon::kSoundFile);
        return true;
    }
    if (m.MuType == kMusicCd) {
        out.push_back(ActionIcon::kAudioCd);
        return true;
    }
    return false;
}

std::string SoundHint(const MusicType& m) {
    switch (m.MuType) {
        case kMusicMp3:
            return "Play " + m.Mp3.mp3file;
        case kMusicWave:
            return "Play " + m.Wav.wavfile;
        case kMusicCd:
            return "Play CD";
        default:
            return "";
    }
}

std::string DialHint(const DialRec& d) {
    return d.connectm ? "Dial " + d.dialname : "Disconnect from " + d.dialname;
}

std::string FtpHint(const FTPRecT& f) {
    return std::string("Launch FTP") + kBreak + "Server: " + f.ftpserver + kBreak +
           (f.ftpupload ? "Upload " + f.ftplocalfile : "Download " + f.ftppath);
}

std::string FileOpHint(const FileOps& o) {
    switch (o.fop) {
        case kFopCopy:
            return std::string("Copy file") + kBreak + "from " + o.ffrom + " to " + o.fto + ".";
        case kFopMove:
            return std::string("Move file") + kBreak + "from " + o.ffrom + " to " + o.fto + ".";
        case kFopDelete:
            return "Delete file: " + o.fdel + ".";
        default:
            return "";
    }
}

// The actions of a simple alarm that are switched on, in strip order, each
// with its hint.
struct SimpleAction {
    ActionIcon icon;
    std::string hint;
};

std::vector<SimpleAction> SimpleActions(const AlRec& a) {
    std::vector<SimpleAction> out;
    std::vector<ActionIcon> icon;
    if (SoundIcon(*a.Music, icon)) out.push_back({icon.back(), SoundHint(*a.Music)});
    if (a.Dial->usedialup) out.push_back({ActionIcon::kDialup, DialHint(*a.Dial)});
    if (!a.Launch->app1.empty()) {
        std::string hint = "Launch " + a.Launch->app1;
        for (const std::string* app : {&a.Launch->app2, &a.Launch->app3})
            if (!app->empty()) hint += kBreak + ("Launch " + *app);
        out.push_back({ActionIcon::kLaunch, hint});
    }
    if (!a.Web->url1.empty()) out.push_back({ActionIcon::kWebPage, "Launch " + a.Web->url1});
    if (a.Mail->sendmessage)
        out.push_back({ActionIcon::kMail, "Send email/Page to " + a.Mail->mto});
    if (a.Synch->dosynch) out.push_back({ActionIcon::kTimeSync, "Perform Time Synchronization"});
    if (a.Ftp->ftpenabled) out.push_back({ActionIcon::kFtp, FtpHint(*a.Ftp)});
    if (a.FileOp->fop != kFopNone) out.push_back({ActionIcon::kFileOp, FileOpHint(*a.FileOp)});
    return out;
}

std::string StepHint(const AlEvent& e) {
    switch (e.evtype) {
        case kStepSound:
            return SoundHint(*e.Music);
        case kStepDialup:
            return DialHint(*e.Dial);
        case kStepLaunch:
            return "Launch " + e.Launch->app1;
        case kStepWeb:
            return "Launch " + e.Web->url1;
        case kStepMail:
            return "Send email/Page to " + e.Mail->mto;
        case kStepSleep:
            return "Sleep " + std::to_string(e.sseconds) + " seconds";
        case kStepSynch:
            return "Perform Time Synchronization";
        case kStepFtp:
            return FtpHint(*e.Ftp);
        case kStepFileOp:
            return FileOpHint(*e.FileOp);
        default:
            return "";  // repeat steps and unknown kinds
    }
}

}  // namespace

std::vector<ActionIcon> ActionStrip(const AlRec& alarm) {
    std::vector<ActionIcon> out;
    if (alarm.mtype == kSimpleAlarm) {
        for (const SimpleAction& a : SimpleActions(alarm)) out.push_back(a.icon);
        return out;
    }
    for (const AlEvent& e : alarm.Events.Items) {
        switch (e.evtype) {
            case kStepSound:
                SoundIcon(*e.Music, out);
                break;
            case kStepDialup:
                out.push_back(ActionIcon::kDialup);
                break;
            case kStepLaunch:
                out.push_back(ActionIcon::kLaunch);
                break;
            case kStepWeb:
                out.push_back(ActionIcon::kWebPage);
                break;
            case kStepMail:
                out.push_back(ActionIcon::kMail);
                break;
            case kStepSleep:
                out.push_back(ActionIcon::kSleep);
                break;
            case kStepSynch:
                out.push_back(ActionIcon::kTimeSync);
                break;
            case kStepFtp:
                out.push_back(ActionIcon::kFtp);
                break;
            case kStepFileOp:
                out.push_back(ActionIcon::kFileOp);
                break;
            default:
                break;  // a repeat step has no icon
        }
    }
    return out;
}

std::string ActionHint(const AlRec& alarm, int slot) {
    if (slot < 0) return "";
    if (alarm.mtype == kSimpleAlarm) {
        const std::vector<SimpleAction> actions = SimpleActions(alarm);
        return static_cast<std::size_t>(slot) < actions.size() ? actions[slot].hint : "";
    }
    const auto& steps = alarm.Events.Items;
    return static_cast<std::size_t>(slot) < steps.size() ? StepHint(steps[slot]) : "";
}

int ActionSlotAt(int x, int columnsBeforeStrip) {
    // The whole part, as the strip was always measured: a point just left of
    // the first icon still counts as slot 0.
    return static_cast<int>(std::trunc((x - columnsBeforeStrip - 6) / 18.0));
}

}  // namespace ringmere
