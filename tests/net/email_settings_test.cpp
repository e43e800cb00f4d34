// The e-mail settings dialog: what it shows, what OK stores and where it is
// written (never into a client's shared file), and that Cancel changes nothing.
#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTemporaryDir>

#include "core/alarmfile.h"
#include "core/fileio.h"
#include "net/alemail.h"
#include "net/alstartup.h"
#include "net/emailpart.h"
#include "run/mail.h"
#include "tests/run/fake_services.h"
#include "tests/run/smtp_peer.h"

namespace ringmere::net {
namespace {

class EmailTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        g_.ProgramDir = QDir(dir_.path()).absolutePath().toStdString() + "/";
        SetDefaultSettings(g_);
        g_.ResetAlarmTable(0);
        SettingsRec& s = g_.Settings;
        s.UseSMTP = true;
        s.SMTPServer = "smtp.example.org";
        s.SMTPUser = "ann";
        s.SMTPPass = "p\xE4ss";  // Windows-1252 from an older file: kept byte for byte
        s.ReplyTo = "ann@example.org";
    }
    template <class T>
    static T* Find(QWidget* w, const char* name) {
        T* found = w->findChild<T*>(QString::fromLatin1(name));
        EXPECT_TRUE(found) << name;
        return found;
    }
    static QString Field(QWidget* w, const char* name) { return Find<QLineEdit>(w, name)->text(); }
    std::string Text(const std::string& path) const {
        return ReadWholeFile(path).value_or("(missing)");
    }
    // A file with one alarm of the given name and mode at `path`.
    void WriteFile(const std::string& path, const std::string& mode, const std::string& alarm,
                   const std::string& alarmFile) {
        Globals f;
        f.ProgramDir = g_.ProgramDir;
        SetDefaultSettings(f);
        f.Settings.UserMode = mode;
        f.Settings.AlarmFile = alarmFile;
        f.AlarmCount = 1;
        f.ResetAlarmTable(1);
        f.AlarmTable[1].AlName = alarm;
        SilentReporter quiet;
        ASSERT_EQ(WriteAlarmFile(f, path, quiet), kFileDone);
    }

    QTemporaryDir dir_;
    Globals g_;
    run::testing::FakeServices fakes_{g_};
};

TEST_F(EmailTest, OpensOnTheStoredMethodAndMapiKeepsTheSmtpValues) {
    Tfrmemail d(g_, fakes_.Handed(), nullptr);
    EXPECT_EQ(d.windowTitle(), "email Settings");
    EXPECT_TRUE(Find<QRadioButton>(&d, "rbSMTP")->isChecked());
    EXPECT_EQ(Find<QStackedWidget>(&d, "nbMethod")->currentWidget()->objectName(), "SMTP");
    EXPECT_EQ(Field(&d, "teHost"), "smtp.example.org");
    EXPECT_EQ(Field(&d, "teSMTPUser"), "ann");
    EXPECT_EQ(Find<QLineEdit>(&d, "teSMTPPass")->echoMode(), QLineEdit::Password);
    EXPECT_EQ(Field(&d, "teReply"), "ann@example.org");
    EXPECT_EQ(Field(&d, "teReplyToM"), "ann@example.org");

    Find<QRadioButton>(&d, "rbMAPI")->setChecked(true);
    EXPECT_EQ(Find<QStackedWidget>(&d, "nbMethod")->currentWidget()->objectName(), "MAPI");
    Find<QLineEdit>(&d, "teReplyToM")->setText("desk@example.org");
    Find<QLineEdit>(&d, "teHost")->setText("ignored");  // not on the chosen page
    d.Ok();
    EXPECT_EQ(d.result(), QDialog::Accepted);
    const SettingsRec& s = g_.Settings;
    EXPECT_FALSE(s.UseSMTP);
    EXPECT_EQ(s.ReplyTo, "desk@example.org");
    EXPECT_EQ(s.SMTPServer, "smtp.example.org");
    EXPECT_EQ(s.SMTPUser, "ann");
    EXPECT_EQ(s.SMTPPass, "p\xE4ss");
    const std::string text = Text(s.AlarmFile);
    EXPECT_NE(text.find("\r\nUseSMTP=1\r\n"), std::string::npos) << text;  // stored inverted
    EXPECT_NE(text.find("\r\nSMTP Pass=p\xE4ss\r\n"), std::string::npos) << text;
}

TEST_F(EmailTest, SmtpStoresAllFourBoxesAndCancelStoresNothing) {
    const SettingsRec before = g_.Settings;
    {
        Tfrmemail d(g_, fakes_.Handed(), nullptr);
        Find<QLineEdit>(&d, "teHost")->setText("other");
        d.reject();
        EXPECT_EQ(g_.Settings, before);
        EXPECT_FALSE(FileExists(g_.Settings.AlarmFile));
    }
    Tfrmemail d(g_, fakes_.Handed(), nullptr);
    Find<QLineEdit>(&d, "teHost")->setText("relay.example.net");
    Find<QLineEdit>(&d, "teSMTPUser")->setText("bob");
    Find<QLineEdit>(&d, "teSMTPPass")->setText("s3cret");
    Find<QLineEdit>(&d, "teReply")->setText("bob@example.net");
    d.Ok();
    const SettingsRec& s = g_.Settings;
    EXPECT_TRUE(s.UseSMTP);
    EXPECT_EQ(s.SMTPServer, "relay.example.net");
    EXPECT_EQ(s.SMTPUser, "bob");
    EXPECT_EQ(s.SMTPPass, "s3cret");
    EXPECT_EQ(s.ReplyTo, "bob@example.net");
    EXPECT_TRUE(FileExists(s.AlarmFile));
}

TEST_F(EmailTest, AClientSavesIntoItsLocalFileAroundItsOwnAlarms) {
    const std::string shared = g_.ProgramDir + "server.ini";
    WriteFile(shared, "Server", "Server alarm", shared);
    WriteFile(g_.LocalAlarmFilePath(), "Client", "Own alarm", shared);
    const std::string sharedBefore = Text(shared);
    CollectingReporter said;
    ASSERT_EQ(ReadAlarmFile(g_, {.followClient = true}, said), kFileDone);
    ASSERT_EQ(g_.AlarmTable[1].AlName, "Server alarm");

    Tfrmemail d(g_, fakes_.Handed(), nullptr);
    Find<QLineEdit>(&d, "teReply")->setText("client@example.org");
    d.Ok();
    EXPECT_TRUE(fakes_.dialogs.shown.isEmpty());
    EXPECT_EQ(Text(shared), sharedBefore);
    Globals local;
    local.ProgramDir = g_.ProgramDir;
    SetDefaultSettings(local);
    ASSERT_EQ(ReadAlarmFile(local, {.followClient = false}, said), kFileDone);
    EXPECT_EQ(local.Settings.ReplyTo, "client@example.org");
    EXPECT_EQ(local.Settings.UserMode, "Client");
    EXPECT_EQ(local.Settings.AlarmFile, shared);
    ASSERT_EQ(local.AlarmCount, 1);
    EXPECT_EQ(local.AlarmTable[1].AlName, "Own alarm");
}

// A web client never writes to its web address: the header goes into its own
// file, around its own alarms.
TEST_F(EmailTest, AWebClientSavesIntoItsLocalFileAroundItsOwnAlarms) {
    const std::string url = "http://127.0.0.1:9/alfile.ini";
    WriteFile(g_.LocalAlarmFilePath(), "WClient", "Own alarm", url);
    g_.Settings.UserMode = "WClient";
    g_.Settings.AlarmFile = url;
    Tfrmemail d(g_, fakes_.Handed(), nullptr);
    Find<QLineEdit>(&d, "teReply")->setText("web@example.org");
    d.Ok();
    EXPECT_TRUE(fakes_.dialogs.shown.isEmpty());
    Globals local;
    local.ProgramDir = g_.ProgramDir;
    SetDefaultSettings(local);
    CollectingReporter said;
    ASSERT_EQ(ReadOwnAlarmFile(local, said), kFileDone);
    EXPECT_EQ(local.Settings.ReplyTo, "web@example.org");
    EXPECT_EQ(local.Settings.UserMode, "WClient");
    EXPECT_EQ(local.Settings.AlarmFile, url);
    ASSERT_EQ(local.AlarmCount, 1);
    EXPECT_EQ(local.AlarmTable[1].AlName, "Own alarm");
}

// Beside the password: what a check of the server found about TLS. The check
// sends no login, and a changed server name forgets what it found.
TEST_F(EmailTest, CheckServerSaysWhetherTheLoginGoesInClearText) {
    if (run::testing::MailPython().isEmpty()) GTEST_SKIP() << "python3-aiosmtpd is missing";
    run::testing::SmtpPeer plain("auth"), starttls("starttls"), smtps("smtps");
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    const std::string refused = "127.0.0.1:" + std::to_string(closed.serverPort());
    closed.close();
    const std::pair<std::string, QString> cases[] = {
        {plain.Address(), "This server offers no TLS: the user name and password are sent in "
                          "clear text."},
        {starttls.Address(), "The server offers TLS (STARTTLS): "},
        {"smtps://" + smtps.Address(), "TLS from the start: "},
        {refused, QString::fromStdString("The server could not be checked: The SMTP server " +
                                         refused + " could not be reached: Connection refused.")},
    };
    Tfrmemail d(g_, fakes_.Handed(), nullptr);
    auto* note = Find<QLabel>(&d, "lblTlsNote");
    const QString unchecked = note->text();
    EXPECT_TRUE(unchecked.contains("clear text")) << unchecked.toStdString();
    for (const auto& [server, said] : cases) {
        SCOPED_TRACE(server);
        run::MailOptions options;
        options.caFile = server.find(smtps.Address()) != std::string::npos ? smtps.Ca() : starttls.Ca();
        const auto sender = run::NewSystemMailSender(g_.Settings, options);
        Services services = fakes_.Handed();
        services.mail = sender.get();
        Tfrmemail checked(g_, services, nullptr);
        Find<QLineEdit>(&checked, "teHost")->setText(QString::fromStdString(server));
        Find<QPushButton>(&checked, "btnCheckTls")->click();
        auto* shown = Find<QLabel>(&checked, "lblTlsNote");
        EXPECT_TRUE(shown->text().startsWith(said)) << shown->text().toStdString();
        Find<QLineEdit>(&checked, "teHost")->textEdited("other.example.org");
        EXPECT_EQ(shown->text(), unchecked);
    }
    EXPECT_EQ(plain.Events("connect").size(), 1u);
    EXPECT_TRUE(plain.Events("auth").empty());
    EXPECT_TRUE(starttls.Events("message").empty());
}

// Until the settings say otherwise, mail goes by SMTP unless a local mail
// program is there, in the dialog and in the wizard.
TEST_F(EmailTest, MethodIsSmtpWithoutALocalMailProgram) {
    const QString program = QDir(dir_.path()).filePath("sendmail");
    QFile f(program);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("#!/bin/sh\nexit 0\n");
    f.close();
    f.setPermissions(f.permissions() | QFileDevice::ExeOwner);
    const std::pair<std::string, bool> cases[] = {
        {"", false}, {program.toStdString(), true}, {program.toStdString() + "-missing", false}};
    for (const auto& [sendmail, local] : cases) {
        SCOPED_TRACE(sendmail);
        std::unique_ptr<run::MailSender> sender;
        Services services = fakes_.Handed();
        if (!sendmail.empty()) {
            run::MailOptions options;
            options.sendmail = sendmail;
            sender = run::NewSystemMailSender(g_.Settings, options);
            services.mail = sender.get();
        }
        EmailPart part(true, services);
        EXPECT_EQ(Find<QRadioButton>(&part, "rbSMTP")->isChecked(), !local);
        EXPECT_EQ(Find<QRadioButton>(&part, "rbMAPI")->isChecked(), local);
        TfrmAStartUp wizard(g_, services, nullptr);
        EXPECT_EQ(Find<QRadioButton>(&wizard, "rbSMTP")->isChecked(), !local);
    }
}

}  // namespace
}  // namespace ringmere::net
