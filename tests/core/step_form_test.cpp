// The step editor's form without a window: every kind loads and stores back
// unchanged, other kinds' fields are kept, the checks come in their order.
#include <gtest/gtest.h>

#include <functional>

#include "core/alarmfile.h"
#include "core/step_form.h"
#include "tests/core/alarmfile_testing.h"

namespace ringmere {
namespace {

// A step with every kind's fields filled in, as the editor could make them.
AlEvent Full(Byte kind) {
    AlEvent e;
    e.evtype = kind;
    *e.Music = {kMusicWave,
                {"/m/wake.mp3", kInternalPlayer},
                {"/s/bell.wav", kWavForSeconds, 12},
                {"E", kCdRandomTrack, 7}};
    *e.Dial = {true, false, "Office line", 3};
    *e.Launch = {"/usr/bin/backup", "--all \"my files\""};
    *e.Web = {"https://example.org/status", true};
    e.Mail->sendmessage = true;
    e.Mail->from = "me@example.org";
    e.Mail->mto = "a@example.org;b@example.org";
    e.Mail->subject = "Caf\xE9 opens";  // Windows-1252 from an older file
    e.Mail->msg = "first\r\nsecond";
    e.Mail->nAttach = 2;
    e.Mail->Attachment = {"/tmp/one.txt", "/tmp/two.pdf"};
    e.sseconds = 45;
    e.Synch->synchserver = "time-c-g.nist.gov";
    *e.Ftp = {false,
              "ftp.example.org",
              "/pub/in",
              "/home/me/out",
              2121,
              "me",
              "secret",
              false,
              false,
              true,
              true,
              5000,
              45,
              true,
              "Backup line",
              2,
              60,
              kFtpAllFiles};
    e.Repeat = {3, kRepeatUntilStopped, 9};
    *e.FileOp = {kFopMove, "/a/*.txt", "/b/", "/tmp/old"};
    e.evname = StepDescription(e);
    return e;
}

TEST(StepForm, EveryKindStoresBackWhatItLoaded) {
    for (Byte kind = kStepSound; kind <= kStepFileOp; ++kind) {
        const AlEvent step = Full(kind);
        AlEvent stored = step;
        StoreStep(LoadStepForm(step, {}), stored);
        EXPECT_EQ(stored, step) << "kind " << int(kind);
    }
}

// Every step of the sample and golden files: the same step, with its
// description as its name.
TEST(StepForm, FileStepsStoreBackUnchanged) {
    for (const char* file : {"sample/alfile.ini", "golden/full.ini"}) {
        testing::ScratchDir dir;
        Globals g;
        testing::Prepare(g, dir);
        CollectingReporter reporter;
        ASSERT_EQ(testing::ReadLocalText(g, dir, testing::ReadDataFile(file), reporter, false),
                  kFileDone)
            << file;
        int steps = 0;
        for (Integer a = 1; a <= g.AlarmCount; ++a) {
            for (AlEvent step : g.AlarmTable[std::size_t(a)].Events.Items) {
                if (step.evtype == kStepFileOp && step.FileOp->fop == kFopNone) continue;
                step.evname = StepDescription(step);
                AlEvent stored = step;
                StoreStep(LoadStepForm(step, g.Settings), stored);
                EXPECT_EQ(stored, step) << file << " alarm " << a << " " << step.evname;
                ++steps;
            }
        }
        EXPECT_GT(steps, 0) << file;
    }
}

TEST(StepForm, ChoosingAnotherKindKeepsTheOldKindsFields) {
    AlEvent step = Full(kStepSleep);
    StepForm form = LoadStepForm(step, {});
    form.kind = kStepWeb;
    form.url1 = "https://example.net";
    form.opennew = false;
    StoreStep(form, step);
    AlEvent expected = Full(kStepWeb);
    *expected.Web = {"https://example.net", false};
    expected.evname = "Open Web Page: https://example.net";
    EXPECT_EQ(step, expected);
}

TEST(StepForm, NewStepsStartAsDescribed) {
    SettingsRec settings;
    settings.ReplyTo = "me@example.org";
    const StepForm f = NewStepForm(settings);
    EXPECT_EQ(f.kind, kStepSound);
    EXPECT_EQ(f.muType, kMusicMp3);
    EXPECT_EQ(f.mp3ptype, kSystemPlayer);
    EXPECT_EQ(f.from, "me@example.org");
    EXPECT_EQ(f.ftpport, "21");
    EXPECT_EQ(f.fop, kFopCopy);
    EXPECT_TRUE(f.ftpupload && f.ftpascmode && !f.ftppassive);

    AlEvent cd;
    cd.Music->MuType = kMusicCd;
    for (Byte track : {kCdListedTrack, kCdRandomTrack}) {
        cd.Music->Cd.tracktype = track;
        EXPECT_EQ(StepDescription(cd), "Play CD");
    }
    AlEvent sleep;
    sleep.evtype = kStepSleep;
    sleep.sseconds = 45;
    EXPECT_EQ(StepDescription(sleep), "Sleep 45 seconds.");
}

TEST(StepForm, ChecksComeInOrderAndOnlyRangesLetTheStepThrough) {
    struct Case {
        const char* what;
        std::function<void(StepForm&)> edit;
        std::vector<std::string> messages;
        bool stops;
    };
    const auto messages = [](std::initializer_list<const char*> m) {
        return std::vector<std::string>(m.begin(), m.end());
    };
    const Case cases[] = {
        {"mp3 without a file", [](StepForm&) {}, messages({"Warning: No MP3 File Selected."}),
         true},
        {"wave without a file", [](StepForm& f) { f.muType = kMusicWave; },
         messages({"Warning: No Wav File Selected."}), true},
        {"wave seconds not a number",
         [](StepForm& f) {
             f.muType = kMusicWave;
             f.wavfile = "/a.wav";
             f.wavtype = kWavForSeconds;
             f.repeatSeconds = "x";
         },
         messages({"Invalid number of seconds."}), true},
        {"repeat without target", [](StepForm& f) { f.kind = kStepRepeat; },
         messages({"Warning: Please select a step to repeat to."}), true},
        {"repeat past the last target",
         [](StepForm& f) {
             f.kind = kStepRepeat;
             f.target = "4";
         },
         messages({"Warning: Invalid step number"}), true},
        {"synch without server", [](StepForm& f) { f.kind = kStepSynch; },
         messages({"Warning: No Time Server Selected."}), true},
        {"ftp retries out of range are stored",
         [](StepForm& f) {
             f.kind = kStepFtp;
             f.ftpretry = true;
             f.ftpmaxretry = "5000";
             f.ftprecondelay = "301";
         },
         messages({"Number of retries should be between 0 and 1000.",
                   "Connection delay value should be between 0 and 300."}),
         false},
        {"ftp delay not a number stops after the retries' range",
         [](StepForm& f) {
             f.kind = kStepFtp;
             f.ftpretry = true;
             f.ftpmaxretry = "-1";
             f.ftpdelay = "soon";
             f.ftpport = "x";
         },
         messages({"Number of retries should be between 0 and 1000.", "Invalid delay value."}),
         true},
        {"ftp port not a number",
         [](StepForm& f) {
             f.kind = kStepFtp;
             f.ftpport = "ftp";
         },
         messages({"Invalid FTP port."}), true},
        {"sleep not a number",
         [](StepForm& f) {
             f.kind = kStepSleep;
             f.seconds = "1O";
         },
         messages({"Invalid number of seconds."}), true},
        {"copy without destination",
         [](StepForm& f) {
             f.kind = kStepFileOp;
             f.copyFrom = "/a/x";
         },
         messages({"Please enter file copy locations."}), true},
        {"delete pattern without folder",
         [](StepForm& f) {
             f.kind = kStepFileOp;
             f.fop = kFopDelete;
             f.deleteFile = "*.tmp";
         },
         messages({"The pattern *.tmp names no folder. Please enter its full path, starting "
                   "with \"/\"."}),
         true},
        {"wildcard move onto a file",
         [](StepForm& f) {
             f.kind = kStepFileOp;
             f.fop = kFopMove;
             f.moveFrom = "/a/*.txt";
             f.moveTo = "/existing/file";
         },
         messages({"Destination should be a directory"}), true},
        {"single move onto a file is fine",
         [](StepForm& f) {
             f.kind = kStepFileOp;
             f.fop = kFopMove;
             f.moveFrom = "/a/one.txt";
             f.moveTo = "/existing/file";
         },
         messages({}), false},
    };
    const StepFiles files{[](const std::string& p) { return p == "/existing/file"; }};
    for (const Case& c : cases) {
        StepForm form = NewStepForm({});
        c.edit(form);
        const std::vector<StepProblem> problems = CheckStepForm(form, 3, files);
        std::vector<std::string> got;
        for (const StepProblem& p : problems) got.push_back(p.message);
        EXPECT_EQ(got, c.messages) << c.what;
        EXPECT_EQ(!problems.empty() && problems.back().stops, c.stops) << c.what;
    }
}

// Each number field on its own: its bounds pass, one beyond either says the
// range, a word says the field's own message.
TEST(StepForm, NumberFieldsKeepTheirRangesAndMessages) {
    struct Row {
        std::function<void(StepForm&)> show;
        std::string StepForm::*field;
        int min, max;
        const char* invalid;
        const char* outside;
        bool stops;  // out of range
    };
    const Row rows[] = {
        {[](StepForm& f) {
             f.muType = kMusicWave;
             f.wavfile = "/a.wav";
             f.wavtype = kWavForSeconds;
         },
         &StepForm::repeatSeconds, 1, 60, "Invalid number of seconds.",
         "Number of seconds should be between 1 and 60.", true},
        {[](StepForm& f) {
             f.muType = kMusicCd;
             f.tracktype = kCdListedTrack;
         },
         &StepForm::track, 1, 30, "Invalid track number.",
         "Track number should be between 1 and 30.", true},
        {[](StepForm& f) { f.kind = kStepDialup; }, &StepForm::redial, 0, 10,
         "Invalid number of redial attempts.",
         "Number of redial attempts should be between 0 and 10.", true},
        {[](StepForm& f) { f.kind = kStepSleep; }, &StepForm::seconds, 1, 300,
         "Invalid number of seconds.", "Number of seconds should be between 1 and 300.", true},
        {[](StepForm& f) { f.kind = kStepFtp; }, &StepForm::ftpport, 1, 65535, "Invalid FTP port.",
         "FTP port should be between 1 and 65535.", true},
        {[](StepForm& f) {
             f.kind = kStepRepeat;
             f.target = "1";
         },
         &StepForm::repnum, 1, 1000, "Invalid repeat count.",
         "Repeat count should be between 1 and 1000.", true},
        {[](StepForm& f) {
             f.kind = kStepFtp;
             f.ftpretry = true;
         },
         &StepForm::ftpdelay, 0, 300, "Invalid delay value.",
         "Delay value should be between 0 and 300.", false},
        {[](StepForm& f) {
             f.kind = kStepFtp;
             f.ftpreconnect = true;
         },
         &StepForm::ftpmaxrecon, 0, 1000, "Invalid value for number of reconnection attempts.",
         "Number of reconnection attempts should be between 0 and 1000.", false},
    };
    const StepFiles files{[](const std::string&) { return false; }};
    for (const Row& row : rows) {
        const std::pair<int, const char*> typed[] = {{row.min, nullptr},
                                                     {row.max, nullptr},
                                                     {row.min - 1, row.outside},
                                                     {row.max + 1, row.outside}};
        StepForm form = NewStepForm({});
        row.show(form);
        for (const auto& [value, message] : typed) {
            form.*row.field = std::to_string(value);
            const auto problems = CheckStepForm(form, 3, files);
            ASSERT_EQ(problems.size(), message ? 1u : 0u) << row.invalid << " " << value;
            if (!message) continue;
            EXPECT_EQ(problems[0].message, message);
            EXPECT_EQ(problems[0].stops, row.stops) << message;
        }
        form.*row.field = "ten";
        const auto problems = CheckStepForm(form, 3, files);
        ASSERT_EQ(problems.size(), 1u) << row.invalid;
        EXPECT_EQ(problems[0].message, row.invalid);
        EXPECT_TRUE(problems[0].stops) << row.invalid;
    }
}

TEST(StepForm, RepeatTargetsLieBeforeTheStep) {
    EXPECT_EQ(LastRepeatTarget(5, 4, false), 3);  // editing step 4
    EXPECT_EQ(LastRepeatTarget(5, 3, true), 5);   // adding after step 5
    EXPECT_EQ(LastRepeatTarget(5, 1, true), 0);   // step 1 selected
    EXPECT_EQ(LastRepeatTarget(0, 0, true), 0);   // nothing to go back to
    EXPECT_FALSE(RepeatAllowed(0, 0));
    EXPECT_TRUE(RepeatAllowed(2, 2));
}

}  // namespace
}  // namespace ringmere
