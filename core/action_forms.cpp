#include "core/action_forms.h"

#include <algorithm>
#include <cstddef>

#include "core/alarm_form.h"

namespace ringmere {

std::string DecimalText(Integer value) {
    return std::to_string(value);
}

Integer NumberOr(const std::string& text, Integer fallback) {
    return ParseWholeNumber(text).value_or(fallback);
}

void LoadSound(const MusicType& m, SoundForm& form) {
    form.mp3file = m.Mp3.mp3file;
    form.mp3ptype = m.Mp3.mp3ptype;
    form.wavfile = m.Wav.wavfile;
    form.wavtype = m.Wav.wavtype <= kWavUntilStopped ? m.Wav.wavtype : Byte{kWavForSeconds};
    form.cddrive = m.Cd.cddrive;
    form.tracktype = m.Cd.tracktype == kCdListedTrack ? kCdListedTrack : kCdRandomTrack;
}

void StoreSound(const SoundForm& form, MusicType& m, bool cd) {
    m.MuType = form.muType;
    m.Mp3.mp3ptype = form.mp3ptype;
    m.Mp3.mp3file = form.mp3file;
    m.Wav.wavfile = form.wavfile;
    m.Wav.wavtype = form.wavtype;
    if (form.muType == kMusicWave && form.wavtype == kWavForSeconds)
        m.Wav.reptimes = NumberOr(form.repeatSeconds, m.Wav.reptimes);
    if (!cd) return;
    if (!form.cddrive.empty()) m.Cd.cddrive = form.cddrive.substr(0, 1);
    m.Cd.cdtrack = NumberOr(form.track, m.Cd.cdtrack);
    m.Cd.tracktype = form.tracktype;
}

void LoadMail(const smtpmessage& m, MailForm& form) {
    form.from = m.from;
    form.mto = m.mto;
    form.subject = m.subject;
    form.msg = m.msg;
    const std::size_t n =
        std::min(m.Attachment.size(), std::size_t(std::max<Integer>(m.nAttach, 0)));
    form.attachments.assign(m.Attachment.begin(), m.Attachment.begin() + std::ptrdiff_t(n));
}

void StoreMail(const MailForm& form, smtpmessage& m) {
    m.from = form.from;
    m.mto = form.mto;
    m.subject = form.subject;
    m.msg = form.msg;
    m.Attachment = form.attachments;
    m.nAttach = Integer(form.attachments.size());
}

void LoadFtp(const FTPRecT& t, FtpForm& f) {
    f.ftpserver = t.ftpserver;
    f.ftpport = DecimalText(t.ftpport);
    f.ftppath = t.ftppath;
    f.ftplocalfile = t.ftplocalfile;
    f.ftpuser = t.ftpuser;
    f.ftppass = t.ftppass;
    f.ftptransfertype = t.ftptransfertype == kFtpAllFiles ? kFtpAllFiles : kFtpSingleFile;
    f.ftpupload = t.ftpupload;
    f.ftpascmode = t.ftpascmode;
    f.ftppassive = t.ftppassive;
    f.ftpretry = t.ftpretry;
    f.ftpmaxretry = DecimalText(t.ftpmaxretry);
    f.ftpdelay = DecimalText(t.ftpdelay);
    f.ftpreconnect = t.ftpreconnect;
    if (t.ftpreconnect) {
        f.ftpdialname = t.ftpdialname;
        f.ftpmaxrecon = DecimalText(t.ftpmaxrecon);
        f.ftprecondelay = DecimalText(t.ftprecondelay);
    }
}

void StoreFtp(const FtpForm& f, FTPRecT& t) {
    t.ftpserver = f.ftpserver;
    t.ftpport = NumberOr(f.ftpport, t.ftpport);
    t.ftppath = f.ftppath;
    t.ftplocalfile = f.ftplocalfile;
    t.ftpuser = f.ftpuser;
    t.ftppass = f.ftppass;
    t.ftptransfertype = f.ftptransfertype;
    t.ftpupload = f.ftpupload;
    t.ftpascmode = f.ftpascmode;
    t.ftppassive = f.ftppassive;
    t.ftpretry = f.ftpretry;
    t.ftpmaxretry = NumberOr(f.ftpmaxretry, t.ftpmaxretry);
    t.ftpdelay = NumberOr(f.ftpdelay, t.ftpdelay);
    t.ftpreconnect = f.ftpreconnect;
    if (f.ftpreconnect) {
        t.ftpdialname = f.ftpdialname;
        t.ftpmaxrecon = NumberOr(f.ftpmaxrecon, t.ftpmaxrecon);
        t.ftprecondelay = NumberOr(f.ftprecondelay, t.ftprecondelay);
    }
}

void LoadFileOp(const FileOps& op, FileOpForm& form, Byte otherwise) {
    const bool known = op.fop == kFopCopy || op.fop == kFopMove || op.fop == kFopDelete;
    form.fop = known ? op.fop : otherwise;
    switch (form.fop) {
        case kFopCopy:
            form.copyFrom = op.ffrom;
            form.copyTo = op.fto;
            break;
        case kFopMove:
            form.moveFrom = op.ffrom;
            form.moveTo = op.fto;
            break;
        case kFopDelete:
            form.deleteFile = op.fdel;
            break;
        default:
            break;
    }
}

void StoreFileOp(const FileOpForm& form, FileOps& op) {
    op.fop = form.fop;
    switch (form.fop) {
        case kFopCopy:
            op.ffrom = form.copyFrom;
            op.fto = form.copyTo;
            break;
        case kFopMove:
            op.ffrom = form.moveFrom;
            op.fto = form.moveTo;
            break;
        case kFopDelete:
            op.fdel = form.deleteFile;
            break;
        default:
            op.fop = kFopNone;
            break;
    }
}

}  // namespace ringmere
