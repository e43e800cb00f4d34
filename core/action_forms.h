// One plain form per action, as the controls of its page show it, with the
// moves between it and the action's record. The alarm editor's and the
// step editor's forms are made of these, so both load and store an action
// the same way.
//
// Texts are the bytes of the alarm file; numbers typed into text fields stay
// texts until the checks have passed (see alarm_form.h).
#pragma once

#include <string>
#include <vector>

#include "core/globals.h"

namespace ringmere {

// Choices carry the numbers the record stores.
struct SoundForm {
    Byte muType = kMusicMp3;
    std::string mp3file;
    Byte mp3ptype = kSystemPlayer;  // no control: a new action's, or the loaded value
    std::string wavfile;
    Byte wavtype = kWavOnce;  // 0, 1, or 2 for "Repeat X Seconds (1-60)"
    std::string repeatSeconds = "1";
    std::string cddrive;  // the drive list's text; its first letter is stored
    Byte tracktype = kCdListedTrack;
    std::string track = "1";

    bool operator==(const SoundForm&) const = default;
};

struct DialForm {
    std::string dialname;  // the selected connection, empty when none
    std::string redial = "0";

    bool operator==(const DialForm&) const = default;
};

// Programs and the web page; a step has one program only.
struct LaunchForm {
    std::string app1, param1, app2, param2, app3, param3;
    std::string url1;
    bool opennew = false;

    bool operator==(const LaunchForm&) const = default;
};

struct MailForm {
    std::string from, mto, subject, msg;
    std::vector<std::string> attachments;

    bool operator==(const MailForm&) const = default;
};

struct SynchForm {
    std::string synchserver;  // the selected server, empty when none

    bool operator==(const SynchForm&) const = default;
};

struct FtpForm {
    std::string ftpserver;
    std::string ftpport = "21";
    std::string ftppath;
    std::string ftplocalfile;
    std::string ftpuser;
    std::string ftppass;
    Byte ftptransfertype = kFtpSingleFile;
    bool ftpupload = true;
    bool ftpascmode = true;
    bool ftppassive = false;
    bool ftpretry = false;
    std::string ftpmaxretry = "5";
    std::string ftpdelay = "30";
    bool ftpreconnect = false;
    std::string ftpdialname;
    std::string ftpmaxrecon = "5";
    std::string ftprecondelay = "30";

    bool operator==(const FtpForm&) const = default;
};

struct FileOpForm {
    Byte fop = kFopCopy;
    std::string copyFrom, copyTo, moveFrom, moveTo, deleteFile;

    bool operator==(const FileOpForm&) const = default;
};

// A number as its field shows it, and a field's number (`fallback` when
// the text is no whole number).
std::string DecimalText(Integer value);
Integer NumberOr(const std::string& text, Integer fallback);

// The sound's files, player and choices; a wave choice other than 0 and 1
// shows as "Repeat X Seconds (1-60)", a track choice other than 0 as random.
// The choice of sound and the numbers are the caller's: the editors differ.
void LoadSound(const MusicType& music, SoundForm& form);
// The choice, files and wave choice; the seconds only for timed waves, the
// CD fields only with `cd`. Unparsable numbers keep the record's.
void StoreSound(const SoundForm& form, MusicType& music, bool cd);

void LoadDial(const DialRec& dial, DialForm& form);
// The connection and the redials (unparsable: the record's).
void StoreDial(const DialForm& form, DialRec& dial);

// Sender, recipients, subject, message and the attachments up to the count.
void LoadMail(const smtpmessage& mail, MailForm& form);
void StoreMail(const MailForm& form, smtpmessage& mail);

// Every field but `ftpenabled`; the reconnection's only when it is on
// (otherwise the form keeps its own).
void LoadFtp(const FTPRecT& ftp, FtpForm& form);
// The same fields; unparsable numbers keep the record's.
void StoreFtp(const FtpForm& form, FTPRecT& ftp);

// `fop` 1 to 3 with its own fields; any other number chooses `otherwise`
// (a copy then shows the source and destination the record holds).
void LoadFileOp(const FileOps& op, FileOpForm& form, Byte otherwise);
// The operation and its own fields; a number other than 1 to 3 stores 0.
void StoreFileOp(const FileOpForm& form, FileOps& op);

}  // namespace ringmere
