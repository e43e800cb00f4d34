// The simple set's action tabs, driven headless over the fake services.
#include <gtest/gtest.h>
#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QStackedWidget>
#include <QTabWidget>

#include "core/datetime.h"
#include "run/actions.h"
#include "tests/run/clock_fakes.h"
#include "tests/run/fake_services.h"
#include "ui/simpleactions.h"

namespace ringmere::ui {
namespace {

class SimpleActionsTest : public ::testing::Test {
protected:
    SimpleActionsTest() {
        tabs_ = new SimpleActionTabs(g_, fakes_.Handed(), &editor_);
        host_ = new QTabWidget(&editor_);
        for (const auto& [page, title] : tabs_->Pages()) host_->addTab(page, title);
    }

    template <class T = QWidget>
    T* Find(const char* name) {
        T* found = editor_.findChild<T*>(QString::fromLatin1(name));
        EXPECT_TRUE(found) << name;
        return found;
    }
    void Click(const char* name) { Find<QAbstractButton>(name)->click(); }
    bool Enabled(const char* name) { return Find(name)->isEnabled(); }
    QString LastBox() {
        return fakes_.dialogs.shown.isEmpty() ? QString() : fakes_.dialogs.shown.last().text;
    }

    Globals g_;
    run::testing::FakeServices fakes_{g_};
    QWidget editor_;
    SimpleActionTabs* tabs_;  // owned by editor_
    QTabWidget* host_;
};

TEST_F(SimpleActionsTest, PagesAndEveryControlOnceWithItsCaption) {
    QStringList titles;
    for (const auto& page : tabs_->Pages()) titles << page.second;
    EXPECT_EQ(titles, run::testing::Lines({"Musical Alarm", "Network Connection", "File/Web",
                                           "Paging/Email", "Time Synch"}));

    const std::pair<const char*, const char*> captioned[] = {
        {"rbMp3", "Launch MP3 Player"}, {"rbWav", "Play .wav File"}, {"rbCD", "Play CD"},
        {"rbSilent", "Silent"}, {"rbOnce", "Play Once"}, {"rbRepeat1", "Repeat Until Stopped"},
        {"rbRepeatM", "Repeat X Seconds (1-60)"}, {"rbSelectedTrack", "Selected Track"},
        {"rbRandomTrack", "Random Track"}, {"rbConnect", "Connect"}, {"rbDisconnect", "Disconnect"},
        {"rbNone", "None"}, {"Button7", "Dial"}, {"Button8", "Hang Up"},
        {"Button12", "Test Application Launch"},
        {"chkOpenNew", "Open in a new browser window"},
        {"Button13", "Test Web Site Launch"}, {"chkEnableFTP", "Perform FTP Transfer"},
        {"btnFTPLocal", "Browse..."}, {"rbSingleFile", "Transfer Single File"},
        {"rbAllFiles", "Transfer All Files In Directory"}, {"rbUpload", "Upload File"},
        {"rbDownload", "Download File"}, {"rbASCII", "Use ASCII Transfer Mode"},
        {"rbBinary", "Use Binary Transfer Mode"}, {"chkPassive", "Use Passive Transfer Mode"},
        {"chkFTPRetry", "Automatically retry failed FTP sessions"},
        {"chkFTPReconnect", "Reconnect Lost Internet Connections"}, {"rbFileCopy", "Copy File"},
        {"rbFileMove", "Move File"}, {"rbFileDelete", "Delete File"}, {"rbNoOp", "No Operation"},
        {"chkSendMessage", "Send an email or page"}, {"btSendMessage", "Send Test Message"},
        {"frmAddAttach", "Add File..."}, {"btnRemove", "Remove File"},
        {"cbSynchTime1", "Synchronize System Time to Atomic Clock"},
        {"btnSynchTime1", "Test Update System Time"},
    };
    for (const auto& [name, caption] : captioned) {
        if (auto* b = Find<QAbstractButton>(name)) {
            EXPECT_EQ(b->text(), caption) << name;
        }
    }

    const char* const named[] = {
        "MP3", "Wav", "CD", "Silent", "teMP3", "teWav", "teRepeat", "UpDown1", "MediaPlayer1",
        "RzDriveComboBox1", "teTrack", "UpDown2", "MediaPlayer2", "cbConnections", "teRedial",
        "UpDown3", "Status", "teApp1", "teApp2", "teApp3", "teParam1", "teParam2", "teParam3",
        "teWeb1", "teFTPServer", "teFTPPort", "teFTPPath", "teLocalFile", "teFTPUser", "teFTPPass",
        "teRetries", "UpDown6", "teRDelay", "UpDown7", "cbFConnections", "teReconnect", "UpDown8",
        "teReconDelay", "UpDown11", "teCopyFrom", "teCopyTo", "teMoveFrom", "teMoveTo",
        "teDeleteFile", "teFrom", "teToo", "teSubject", "MessageText", "ListBox1",
        "cboTimeServer", "lblTime"};
    for (const char* name : named)
        EXPECT_EQ(editor_.findChildren<QWidget*>(QString::fromLatin1(name)).size(), 1) << name;
    EXPECT_EQ(Find<QLineEdit>("teFTPPass")->echoMode(), QLineEdit::Password);
    EXPECT_EQ(Find<QComboBox>("cboTimeServer")->count(), 9);
}

ActionsForm Varied() {
    ActionsForm f;
    f.muType = kMusicCd;
    f.mp3file = "/music/wake.mp3";
    f.mp3ptype = 0;
    f.wavfile = "/sounds/bell.wav";
    f.wavtype = kWavForSeconds;
    f.repeatSeconds = "12";
    f.cddrive = "E";
    f.tracktype = kCdRandomTrack;
    f.track = "7";
    f.dial = DialChoice::Disconnect;
    f.dialname = "Office line";
    f.redial = "3";
    f.app1 = "/usr/bin/backup";
    f.param1 = "--all \"my files\"";
    f.app3 = "notes";
    f.url1 = "https://example.org/status";
    f.opennew = true;
    f.ftpenabled = true;
    f.ftpserver = "ftp.example.org";
    f.ftpport = "2121";
    f.ftppath = "/pub/in";
    f.ftplocalfile = "/home/me/out";
    f.ftpuser = "me";
    f.ftppass = "secret";
    f.ftptransfertype = kFtpAllFiles;
    f.ftpupload = false;
    f.ftpascmode = false;
    f.ftppassive = true;
    f.ftpretry = true;
    f.ftpmaxretry = "9";
    f.ftpdelay = "45";
    f.ftpreconnect = true;
    f.ftpdialname = "Backup line";
    f.ftpmaxrecon = "2";
    f.ftprecondelay = "60";
    f.fop = kFopMove;
    f.copyFrom = "/a/*.doc";
    f.moveFrom = "/b/*.txt";
    f.moveTo = "/c/";
    f.deleteFile = "/tmp/old";
    f.sendmessage = true;
    f.from = "me@example.org";
    f.mto = "a@example.org;b@example.org";
    f.subject = "Caf\xE9 opens";  // Windows-1252 from an older file
    f.msg = "first line\r\nsecond line";
    f.attachments = {"/tmp/one.txt", "/tmp/r\xE9sum\xE9.pdf"};
    f.dosynch = true;
    f.synchserver = "time-c-g.nist.gov";
    return f;
}

TEST_F(SimpleActionsTest, WhatIsLoadedComesBackUnchanged) {
    ActionsForm plain;  // every choice on its other side
    plain.muType = kMusicMp3;
    plain.wavtype = kWavUntilStopped;
    plain.dial = DialChoice::Connect;
    plain.fop = kFopCopy;
    plain.copyTo = "/d/";
    plain.cddrive = "F";
    plain.synchserver = "ntp.example.net";  // typed by hand, not in the list
    for (const ActionsForm& form : {Varied(), plain}) {
        tabs_->Load(form);
        EXPECT_EQ(tabs_->Form(), form);
    }

    tabs_->Load(Varied());
    EXPECT_EQ(Find<QLineEdit>("teSubject")->text(), QStringLiteral("Caf\u00e9 opens"));
    Find<QLineEdit>("teSubject")->setText(QStringLiteral("Caf\u00e9 shuts"));
    EXPECT_EQ(tabs_->Form().subject, "Caf\xC3\xA9 shuts");
}

TEST_F(SimpleActionsTest, AnUnknownWaveChoiceOpensAsRepeatForSeconds) {
    ActionsForm form;
    form.wavtype = 7;
    tabs_->Load(form);
    EXPECT_TRUE(Find<QAbstractButton>("rbRepeatM")->isChecked());
    EXPECT_TRUE(Enabled("teRepeat"));
    EXPECT_EQ(tabs_->Form().wavtype, kWavForSeconds);
}

TEST_F(SimpleActionsTest, TicksAndChoicesEnableTheirControls) {
    tabs_->Load(ActionsForm{});
    struct Row {
        const char* click;  // nullptr: the state after loading a new alarm
        const char* control;
        bool enabled;
    };
    const Row rows[] = {
        {nullptr, "teRepeat", false},          {nullptr, "teTrack", true},
        {nullptr, "cbConnections", false},     {nullptr, "teFTPServer", false},
        {nullptr, "teRetries", false},         {nullptr, "cbFConnections", false},
        {nullptr, "teToo", false},             {nullptr, "cboTimeServer", false},
        {"rbRepeatM", "teRepeat", true},       {"rbRepeatM", "UpDown1", true},
        {"rbRepeat1", "UpDown1", false},       {"rbRandomTrack", "teTrack", false},
        {"rbSelectedTrack", "teTrack", true},  {"rbConnect", "teRedial", true},
        {"rbNone", "cbConnections", false},    {"rbDisconnect", "cbConnections", true},
        {"chkEnableFTP", "btnFTPLocal", true}, {"chkEnableFTP", "teFTPPass", false},
        {"chkFTPRetry", "teRDelay", true},     {"chkFTPReconnect", "teReconDelay", true},
        {"chkFTPReconnect", "UpDown8", false}, {"chkSendMessage", "btSendMessage", true},
        {"chkSendMessage", "MessageText", false}, {"cbSynchTime1", "btnSynchTime1", true},
    };
    for (const Row& r : rows) {
        if (r.click) Click(r.click);
        EXPECT_EQ(Enabled(r.control), r.enabled) << (r.click ? r.click : "loaded") << " " << r.control;
    }

    const std::tuple<const char*, const char*, const char*> pages[] = {
        {"rbWav", "Notebook1", "Wav"},         {"rbCD", "Notebook1", "CD"},
        {"rbMp3", "Notebook1", "MP3"},         {"rbSilent", "Notebook1", "Silent"},
        {"rbFileCopy", "pcFileOps", "tsCopy"}, {"rbFileMove", "pcFileOps", "tsMove"},
        {"rbFileDelete", "pcFileOps", "tsDelete"}, {"rbNoOp", "pcFileOps", "tsNoOp"},
    };
    for (const auto& [click, stack, page] : pages) {
        Click(click);
        EXPECT_EQ(Find<QStackedWidget>(stack)->currentWidget()->objectName(), page) << click;
    }

    Click("chkEnableFTP");
    Click("rbAllFiles");
    EXPECT_EQ(Find<QLabel>("lblLocalFile")->text(), "Local Directory:");
    EXPECT_EQ(Find<QLabel>("lblFTPPath")->text(), "Remote Directory:");
    Click("rbSingleFile");
    EXPECT_EQ(Find<QLabel>("lblLocalFile")->text(), "Local File:");
    EXPECT_EQ(Find<QLabel>("lblFTPPath")->text(), "Remote File:");
}

TEST_F(SimpleActionsTest, RecipientsOfEveryAlarmListedOnceSortedShownTextKept) {
    using run::testing::Simple;
    auto sender = [](const std::string& to, bool send = true) {
        AlRec a = Simple("s");
        a.Mail->sendmessage = send;
        a.Mail->mto = to;
        return a;
    };
    AlEvent step;
    step.evtype = kStepMail;
    step.Mail->mto = "zed@example.org";
    const std::vector<AlRec> alarms = {sender("zed@example.org"), sender("amy@example.org"),
                                       run::testing::Script("x", {step}),
                                       sender("zed@example.org"), sender("off@example.org", false)};
    g_.AlarmCount = Integer(alarms.size());
    g_.ResetAlarmTable(g_.AlarmCount);
    for (std::size_t i = 0; i < alarms.size(); ++i) g_.AlarmTable[i + 1] = alarms[i];

    ActionsForm form;
    form.mto = "typed@example.org";
    tabs_->Load(form);
    auto* to = Find<QComboBox>("teToo");
    QStringList listed;
    for (int i = 0; i < to->count(); ++i) listed << to->itemText(i);
    EXPECT_EQ(listed, run::testing::Lines({"amy@example.org", "zed@example.org"}));
    EXPECT_EQ(to->currentText(), "typed@example.org");
}

TEST_F(SimpleActionsTest, AttachmentsAddAndRemoveOnlyTheSelectedRow) {
    ActionsForm form;
    form.attachments = {"/tmp/a", "/tmp/b"};
    tabs_->Load(form);
    auto* list = Find<QListWidget>("ListBox1");
    EXPECT_TRUE(Enabled("btnRemove"));
    list->clearSelection();
    Click("btnRemove");
    EXPECT_EQ(list->count(), 2);
    for (int left : {1, 0}) {
        list->setCurrentRow(0);
        Click("btnRemove");
        EXPECT_EQ(list->count(), left);
    }
    EXPECT_FALSE(Enabled("btnRemove"));

    fakes_.dialogs.fileNames << QStringLiteral("/tmp/c");
    Click("frmAddAttach");
    EXPECT_TRUE(Enabled("btnRemove"));
    EXPECT_EQ(tabs_->Form().attachments, std::vector<std::string>{"/tmp/c"});
}

TEST_F(SimpleActionsTest, ButtonsOfActionsNotBuiltSayTheyAreNotAvailable) {
    tabs_->Load(ActionsForm{});
    Click("chkSendMessage");
    Click("cbSynchTime1");
    const std::pair<const char*, const char*> rows[] = {
        {"Button7", "Network connections are not available in this build yet."},
        {"Button8", "Network connections are not available in this build yet."},
        {"btSendMessage", "Sending mail is not available in this build yet."},
        {"btnSynchTime1",
         "Setting the clock from a time server is not available in this build yet."},
    };
    for (const auto& [button, text] : rows) {
        Click(button);
        EXPECT_EQ(LastBox(), text) << button;
    }
    EXPECT_EQ(fakes_.dialogs.shown.size(), 4);
}

// With the time services, the test button asks the server as typed, shows
// its time and sets the clock from it only when the box is answered OK.
TEST(SimpleActionsServices, TestUpdateSystemTimeUsesTheServerShown) {
    Globals g;
    run::testing::FakeServices fakes(g);
    run::testing::FakeDaytimeClient daytime;
    run::testing::FakeClockSetter setter;
    Services services = fakes.Handed();
    services.daytime = &daytime;
    services.clockSetter = &setter;
    QWidget editor;
    auto* tabs = new SimpleActionTabs(g, services, &editor);
    QTabWidget host(&editor);
    for (const auto& [page, title] : tabs->Pages()) host.addTab(page, title);
    ActionsForm form;
    form.dosynch = true;
    form.synchserver = "127.0.0.1:1313";
    tabs->Load(form);
    fakes.dialogs.answers = {widgets::Answer::Cancel};
    editor.findChild<QAbstractButton*>(QStringLiteral("btnSynchTime1"))->click();
    ASSERT_EQ(fakes.dialogs.shown.size(), 1);
    EXPECT_EQ(fakes.dialogs.shown[0].kind, widgets::BoxKind::Confirmation);
    EXPECT_TRUE(fakes.dialogs.shown[0].text.startsWith("127.0.0.1:1313 sent 2026-12-08 14:05:06 UTC"))
        << fakes.dialogs.shown[0].text.toStdString();
    EXPECT_TRUE(setter.set.empty());
    editor.findChild<QAbstractButton*>(QStringLiteral("btnSynchTime1"))->click();
    EXPECT_EQ(daytime.asked, QStringList({"127.0.0.1:1313", "127.0.0.1:1313"}));
    ASSERT_EQ(setter.set.size(), 1u);
    EXPECT_EQ(setter.set[0], run::testing::kNistReplyUtc * 1000000);
    ASSERT_FALSE(fakes.dialogs.shown.isEmpty());
    EXPECT_EQ(fakes.dialogs.shown.last().text, "System time updated.");
}

TEST_F(SimpleActionsTest, WavePlayerWarnsWithoutAFileAndStopsTimedLoops) {
    auto& sound = fakes_.sound;
    tabs_->Load(ActionsForm{});
    Click("btnPlay1");
    EXPECT_EQ(LastBox(), "Please select a .wav file");
    EXPECT_TRUE(sound.events.empty());

    sound.files[QStringLiteral("/s/bell.wav")] = 500;
    Find<QLineEdit>("teWav")->setText(QStringLiteral("/s/bell.wav"));
    Click("rbRepeatM");
    Find<QLineEdit>("teRepeat")->setText(QStringLiteral("3"));
    Click("btnPlay1");
    EXPECT_FALSE(Enabled("btnPlay1"));
    fakes_.clock.Advance(2999);
    EXPECT_EQ(sound.What(), std::vector<std::string>{"loop /s/bell.wav"});
    fakes_.clock.Advance(1);
    EXPECT_EQ(sound.What(), (std::vector<std::string>{"loop /s/bell.wav", "loop stopped"}));
    EXPECT_TRUE(Enabled("btnPlay1"));
    EXPECT_FALSE(Enabled("btnStop1"));

    Click("rbOnce");
    Click("btnPlay1");
    Click("btnStop1");
    tabs_->StopTests();
    EXPECT_EQ(sound.What().back(), "once stopped");
    EXPECT_TRUE(Enabled("btnPlay1"));
    // A sound that starts and then fails says why, as one that cannot start.
    sound.broken[QStringLiteral("/s/odd.wav")] = QStringLiteral("no decoder for it");
    Find<QLineEdit>("teWav")->setText(QStringLiteral("/s/odd.wav"));
    for (const char* option : {"rbOnce", "rbRepeat1"}) {
        SCOPED_TRACE(option);
        Click(option);
        Click("btnPlay1");
        EXPECT_FALSE(Enabled("btnPlay1"));
        fakes_.dialogs.shown.clear();
        fakes_.clock.Advance(1);
        EXPECT_EQ(LastBox(), "Unable to play /s/odd.wav: no decoder for it");
        EXPECT_TRUE(Enabled("btnPlay1"));
    }
}

TEST_F(SimpleActionsTest, LaunchTestsGoThroughTheDesktop) {
    auto& desktop = fakes_.desktop;
    desktop.onPath[QStringLiteral("notes")] = QStringLiteral("/usr/bin/notes");
    ActionsForm form;
    form.app2 = "notes";
    form.param2 = "--new \"a b\"";
    form.url1 = "example.org";
    form.mp3file = "/m/song.mp3";
    tabs_->Load(form);
    Click("Button12");
    EXPECT_EQ(desktop.started, run::testing::Lines({"/usr/bin/notes|--new|a b"}));
    Click("Button13");
    Click("btnMP3Test");
    EXPECT_EQ(desktop.opened,
              run::testing::Lines({"http://example.org", "file:///m/song.mp3"}));
    EXPECT_TRUE(fakes_.dialogs.shown.isEmpty());
    desktop.openWorks = false;
    Click("btnMP3Test");
    EXPECT_EQ(LastBox(), "Error starting player program.");

    // A failure is told with its reason, also when the desktop's handler
    // gives up only after the click (xdg-open finds no browser).
    desktop.openWorks = true;
    desktop.laterFailure = QStringLiteral("no web browser was found. Install one.");
    const auto boxes = fakes_.dialogs.shown.size();
    Click("Button13");
    EXPECT_EQ(fakes_.dialogs.shown.size(), boxes);
    desktop.GiveUp();
    EXPECT_EQ(LastBox(), "Unable to open example.org: no web browser was found. Install one.");
    desktop.startWorks = false;
    Click("Button12");
    EXPECT_EQ(LastBox(), "Unable to start notes: the program could not be started.");
}

TEST_F(SimpleActionsTest, ShownTabsTellDialUpIsMissingAndKeepTheClockGoing) {
    tabs_->Load(ActionsForm{});
    editor_.show();
    const auto pages = tabs_->Pages();
    host_->setCurrentWidget(pages[1].first);
    EXPECT_EQ(Find<QLabel>("Status")->text(), run::kDialUnavailable);

    host_->setCurrentWidget(pages[4].first);
    auto* time = Find<QLabel>("lblTime");
    EXPECT_EQ(time->text().toStdString(), FormatLongTime(fakes_.clock.Now()));
    fakes_.clock.Advance(2000);
    EXPECT_EQ(time->text().toStdString(), FormatLongTime(fakes_.clock.Now()));
    EXPECT_EQ(time->text(), "09:00:02AM");
}

TEST_F(SimpleActionsTest, ClientModeAndInnerTabs) {
    tabs_->SetClientMode(true);
    for (const char* off : {"tsMusical", "tsDialUp", "tsFileLaunching", "tsInternet",
                            "tsConfiguration", "tsMessage"})
        EXPECT_FALSE(Enabled(off)) << off;
    for (const char* on : {"tsFTP", "tsFileOps", "tsAttachments", "tsTimeSynch"})
        EXPECT_TRUE(Enabled(on)) << on;

    tabs_->ShowInnerTab(FormTab::FtpRetry);
    EXPECT_EQ(Find<QTabWidget>("pcFileWeb")->currentWidget()->objectName(), "tsFTP");
    EXPECT_EQ(Find<QTabWidget>("pcFTP")->currentWidget()->objectName(), "tsRetry");
    tabs_->ShowInnerTab(FormTab::FileWeb);
    EXPECT_EQ(Find<QTabWidget>("pcFileWeb")->currentWidget()->objectName(), "tsFileOps");
}

}  // namespace
}  // namespace ringmere::ui
