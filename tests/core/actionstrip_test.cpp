#include "core/actionstrip.h"

#include <gtest/gtest.h>

namespace ringmere {
namespace {

using I = ActionIcon;

AlEvent Step(Byte kind) {
    AlEvent e;
    e.evtype = kind;
    return e;
}

TEST(ActionStrip, SimpleAlarmShowsOneIconPerActionSwitchedOn) {
    AlRec a;
    a.Music->MuType = 3;
    EXPECT_TRUE(ActionStrip(a).empty());
    EXPECT_EQ(ActionHint(a, 0), "");

    a.Music->MuType = 2;
    a.Dial->usedialup = true;
    a.Launch->app1 = "/usr/bin/gedit";
    a.Web->url1 = "https://example.org";
    a.Mail->sendmessage = true;
    a.Synch->dosynch = true;
    a.Ftp->ftpenabled = true;
    a.FileOp->fop = 3;
    EXPECT_EQ(ActionStrip(a), (std::vector<I>{I::kAudioCd, I::kDialup, I::kLaunch, I::kWebPage,
                                              I::kMail, I::kTimeSync, I::kFtp, I::kFileOp}));
    a.Music->MuType = 0;
    EXPECT_EQ(ActionStrip(a).front(), I::kSoundFile);
    a.Music->MuType = 1;
    EXPECT_EQ(ActionStrip(a).front(), I::kSoundFile);
    // Only app1 decides; a second program alone shows nothing.
    a.Launch->app1.clear();
    a.Launch->app2 = "/usr/bin/xterm";
    EXPECT_EQ(ActionStrip(a).size(), 7u);
}

TEST(ActionStrip, SlotsOfASimpleAlarmCountOnlyThePresentActions) {
    AlRec a;
    a.Music->MuType = 3;
    a.Ftp->ftpenabled = true;
    a.Ftp->ftpserver = "ftp.example.org";
    a.Ftp->ftppath = "/pub/file.txt";
    a.Ftp->ftplocalfile = "/home/me/file.txt";
    EXPECT_EQ(ActionHint(a, 0), "Launch FTP\rServer: ftp.example.org\rDownload /pub/file.txt");
    a.Ftp->ftpupload = true;
    EXPECT_EQ(ActionHint(a, 0), "Launch FTP\rServer: ftp.example.org\rUpload /home/me/file.txt");
    EXPECT_EQ(ActionHint(a, 1), "");

    a.Music->MuType = 1;
    a.Music->Wav.wavfile = "/snd/bell.wav";
    *a.Launch = {"/bin/a", "", "/bin/b", "", "/bin/c", ""};
    EXPECT_EQ(ActionHint(a, 0), "Play /snd/bell.wav");
    EXPECT_EQ(ActionHint(a, 1), "Launch /bin/a\rLaunch /bin/b\rLaunch /bin/c");
    EXPECT_EQ(ActionHint(a, 2), "Launch FTP\rServer: ftp.example.org\rUpload /home/me/file.txt");
    EXPECT_EQ(ActionHint(a, -1), "");
}

TEST(ActionStrip, HintTexts) {
    AlRec a;
    a.Music->MuType = 3;
    struct Case {
        void (*set)(AlRec&);
        const char* hint;
    } cases[] = {
        {[](AlRec& r) {
             *r.Music = {0, {"/m/song.mp3", 0}, {}, {}};
         },
         "Play /m/song.mp3"},
        {[](AlRec& r) { r.Music->MuType = 2; }, "Play CD"},
        {[](AlRec& r) {
             *r.Dial = {true, true, "Office", 3};
         },
         "Dial Office"},
        {[](AlRec& r) {
             *r.Dial = {true, false, "Office", 3};
         },
         "Disconnect from Office"},
        {[](AlRec& r) { r.Web->url1 = "https://x.org"; }, "Launch https://x.org"},
        {[](AlRec& r) {
             r.Mail->sendmessage = true;
             r.Mail->mto = "a@x.org;b@x.org";
         },
         "Send email/Page to a@x.org;b@x.org"},
        {[](AlRec& r) { r.Synch->dosynch = true; }, "Perform Time Synchronization"},
        {[](AlRec& r) {
             *r.FileOp = {1, "/a/*.doc", "/b", ""};
         },
         "Copy file\rfrom /a/*.doc to /b."},
        {[](AlRec& r) {
             *r.FileOp = {2, "/a/x", "/b/y", ""};
         },
         "Move file\rfrom /a/x to /b/y."},
        {[](AlRec& r) {
             *r.FileOp = {3, "", "", "/tmp/old"};
         },
         "Delete file: /tmp/old."},
    };
    for (const Case& c : cases) {
        AlRec r = a;
        c.set(r);
        EXPECT_EQ(ActionHint(r, 0), c.hint);
    }
}

TEST(ActionStrip, ScriptShowsOneIconPerStepButRepeatsStillCountAsSlots) {
    AlRec a;
    a.mtype = 1;
    AlEvent sound = Step(kStepSound);
    sound.Music->MuType = 3;  // silent: no icon, empty hint
    AlEvent sleep = Step(kStepSleep);
    sleep.sseconds = 30;
    AlEvent repeat = Step(kStepRepeat);
    AlEvent launch = Step(kStepLaunch);
    launch.Launch->app1 = "/usr/bin/backup";
    a.Events.Items = {sound, sleep, repeat, launch, Step(kStepFtp), Step(kStepFileOp)};
    a.Events.Count = 6;
    EXPECT_EQ(ActionStrip(a), (std::vector<I>{I::kSleep, I::kLaunch, I::kFtp, I::kFileOp}));
    EXPECT_EQ(ActionHint(a, 0), "");
    EXPECT_EQ(ActionHint(a, 1), "Sleep 30 seconds");
    EXPECT_EQ(ActionHint(a, 2), "");
    EXPECT_EQ(ActionHint(a, 3), "Launch /usr/bin/backup");
    EXPECT_EQ(ActionHint(a, 6), "");
    // A scripted alarm ignores its simple-alarm actions.
    a.Web->url1 = "https://x.org";
    EXPECT_EQ(ActionStrip(a).size(), 4u);
}

TEST(ActionStrip, SlotsAreEighteenPixelsFromSixPixelsIn) {
    // Columns before the strip: 100 pixels.
    EXPECT_EQ(ActionSlotAt(100, 100), 0);
    EXPECT_EQ(ActionSlotAt(106, 100), 0);
    EXPECT_EQ(ActionSlotAt(123, 100), 0);
    EXPECT_EQ(ActionSlotAt(124, 100), 1);
    EXPECT_EQ(ActionSlotAt(106 + 18 * 5, 100), 5);
}

}  // namespace
}  // namespace ringmere
