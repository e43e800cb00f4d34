// Mail and pages: the texts of a message, and whole sends from run windows
// to a real SMTP server on 127.0.0.1 (tests/run/smtp_server.py) or to a
// stand-in sendmail program that records what it was given.
#include "run/mail.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QPointer>
#include <QTcpServer>
#include <QTimer>

#include "fake_services.h"
#include "ftp_peer.h"
#include "smtp_peer.h"
#include "run/ftp_client.h"
#include "run/mail_text.h"

namespace ringmere::run {
namespace {

using namespace testing;

TEST(MailTextTest, RecipientListsSplitAsEachWayReadsThem) {
    struct Case {
        std::string mto;
        std::vector<std::string> smtp, mapi;
    };
    const Case cases[] = {
        {"a@x.org; b@y.org", {"a@x.org", "b@y.org"}, {"a@x.org", "b@y.org"}},
        {"a@x.org;", {"a@x.org"}, {"a@x.org", ""}},
        {"", {}, {""}},
        {"\"Doe, Ann\" <ann@x.org>; b@y.org\r\n",
         {"\"Doe, Ann\" <ann@x.org>", "b@y.org"},
         {"\"Doe, Ann\" <ann@x.org>", "b@y.org"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SplitAddressList(SplitRecipientsForSMTP(c.mto)), c.smtp) << c.mto;
        std::vector<std::string> list{"kept"};
        EXPECT_EQ(SplitRecipientsForMAPI(c.mto, list), int(c.mapi.size())) << c.mto;
        list.erase(list.begin());
        EXPECT_EQ(list, c.mapi) << c.mto;
    }
}

TEST(MailTextTest, MailboxesKeepTheirNamesAndRefuseInjectedText) {
    EXPECT_EQ(ParseMailbox(" ann@x.org "), (Mailbox{"", "ann@x.org"}));
    EXPECT_EQ(ParseMailbox("Ann Lee <ann@x.org>"), (Mailbox{"Ann Lee", "ann@x.org"}));
    EXPECT_EQ(ParseMailbox(R"("Lee, \"Ann\"" <ann@x.org>)"), (Mailbox{"Lee, \"Ann\"", "ann@x.org"}));
    for (const char* bad : {"", "<>", "ann@x.org>", "a b@x.org", "ann@x.org\r\nRCPT TO:<e@v.org>",
                            "Ann <ann@x.org\nBcc: e@v.org>", "<a@x.org>evil@v.org>"})
        EXPECT_FALSE(ParseMailbox(bad)) << bad;
}

TEST(MailTextTest, ServerTextGivesTheUrlPortAndTls) {
    const std::pair<const char*, const char*> cases[] = {
        {"mail.example.org", "smtp://mail.example.org:25"},
        {" mail.example.org:587 ", "smtp://mail.example.org:587"},
        {"mail.example.org:465", "smtps://mail.example.org:465"},
        {"smtps://mail.example.org", "smtps://mail.example.org:465"},
        {"SMTP://mail.example.org:2525/", "smtp://mail.example.org:2525"},
        {"[::1]:2525", "smtp://[::1]:2525"},
        {"::1", "smtp://[::1]:25"},
        {"", nullptr},
        {"mail.example.org:", nullptr},
        {"mail.example.org:0", nullptr},
        {"mail.example.org:70000", nullptr},
        {"mail.example.org/x", nullptr},
        {"user@mail.example.org", nullptr},
        {"mail example.org", nullptr},
    };
    for (const auto& [text, url] : cases) {
        const auto server = ParseSmtpServer(text);
        if (!url) {
            EXPECT_FALSE(server) << text;
            continue;
        }
        ASSERT_TRUE(server) << text;
        EXPECT_EQ(server->url, url);
        EXPECT_EQ(server->implicitTls, server->url.rfind("smtps", 0) == 0);
    }
}

std::vector<std::string> HeaderLines(const std::string& message) {
    std::vector<std::string> out;
    std::size_t pos = 0;
    for (std::size_t end; (end = message.find("\r\n", pos)) != pos && end != std::string::npos;
         pos = end + 2)
        out.push_back(message.substr(pos, end - pos));
    return out;
}

int CountStarting(const std::vector<std::string>& lines, const std::string& start) {
    return int(std::count_if(lines.begin(), lines.end(),
                             [&](const std::string& l) { return l.rfind(start, 0) == 0; }));
}

TEST(MailTextTest, MimeMessageEncodesWhatItCannotCarryPlain) {
    MailContent m;
    m.from = {"Zoë\r\nBcc: e@v.org", "me@x.org"};
    m.to = {{"", "a@x.org"}, {"Lee, Ann", "ann@x.org"}};
    m.subject = "Grüße\r\nBcc: evil@v.org";
    m.body = "cafe --=_b\nline two";  // holding the boundary
    m.attachments = {{"r\xc3\xa9sum\xc3\xa9.txt", "text/plain", std::string("\0\xff\x01", 3)}};
    m.date = "Tue, 8 Dec 2026 14:05:06 +0000";
    m.messageId = "id@x.org";
    m.boundary = "=_b";
    const std::string mime = BuildMime(m);
    const auto headers = HeaderLines(mime);

    EXPECT_EQ(CountStarting(headers, "Bcc:"), 0);
    EXPECT_EQ(CountStarting(headers, "Subject:"), 1);
    EXPECT_EQ(CountStarting(headers, "From:"), 1);
    EXPECT_EQ(mime.find("\nBcc"), std::string::npos);
    // The encoded subject decodes to the text, its line break a blank.
    const std::size_t s = mime.find("Subject: =?UTF-8?B?") + 19;
    const std::string word = mime.substr(s, mime.find("?=", s) - s);
    EXPECT_EQ(QByteArray::fromBase64(QByteArray::fromStdString(word)).toStdString(),
              "Grüße  Bcc: evil@v.org");
    EXPECT_NE(mime.find("To: a@x.org,\r\n \"Lee, Ann\" <ann@x.org>\r\n"), std::string::npos);
    EXPECT_NE(mime.find("Message-ID: <id@x.org>\r\n"), std::string::npos);
    // A boundary the body holds is lengthened.
    EXPECT_NE(mime.find("boundary=\"=_b_\""), std::string::npos);
    EXPECT_NE(mime.find("filename*=UTF-8''r%C3%A9sum%C3%A9.txt"), std::string::npos);
    EXPECT_NE(mime.find("\r\n\r\nAP8B\r\n--=_b_--\r\n"), std::string::npos);

    m.attachments.clear();
    m.body = "caf\xe9 = 1 \r\n" + std::string(80, 'x');  // Windows-1252
    const std::string plain = BuildMime(m);
    EXPECT_NE(plain.find("charset=windows-1252\r\nContent-Transfer-Encoding: quoted-printable\r\n"
                         "\r\ncaf=E9 =3D 1=20\r\n" + std::string(75, 'x') + "=\r\nxxxxx\r\n"),
              std::string::npos);
}

TEST(MailTextTest, CutCountsCharactersNotBytes) {
    EXPECT_EQ(CutCharacters("äöü", 2), "äö");
    EXPECT_EQ(CutCharacters("\xe4\xf6\xfc", 2), "\xe4\xf6");
    EXPECT_EQ(CutCharacters("ab", 5), "ab");
}

std::vector<std::string> Strings(const QJsonValue& v) {
    std::vector<std::string> out;
    for (const auto& s : v.toArray()) out.push_back(s.toString().toStdString());
    return out;
}

AlRec MailAlarm(const std::string& to, const std::string& subject = "Hello") {
    AlRec a = Simple("Mailer");
    a.Mail->sendmessage = true;
    a.Mail->from = "Me <me@example.org>";
    a.Mail->mto = to;
    a.Mail->subject = subject;
    a.Mail->msg = "First line\r\nSecond line";
    return a;
}

AlEvent MailStep(const std::string& to) {
    AlEvent e;
    e.evtype = kStepMail;
    e.Mail = MailAlarm(to).Mail;
    return e;
}

class MailTest : public ::testing::Test, public RunFixture {
protected:
    void SetUp() override {
        if (MailPython().isEmpty()) GTEST_SKIP() << "python3-aiosmtpd is missing";
    }
    void UseSmtp(const std::string& server, MailOptions options = {}) {
        g.Settings.UseSMTP = true;
        g.Settings.SMTPServer = server;
        Use(std::move(options));
    }
    void Use(MailOptions options) {
        sender = NewSystemMailSender(g.Settings, std::move(options));
        services.mail = sender.get();
    }
    // Runs the alarm to its end; the event lines.
    QStringList Run(const AlRec& alarm) {
        window = Open(alarm);
        clock.Advance(1000);
        return window ? window->EventLines() : QStringList();
    }
    std::string Path(const char* name) const { return dir.filePath(name).toStdString(); }

    std::unique_ptr<MailSender> sender;
    QPointer<TfrmActiveAlarm> window;
};

TEST_F(MailTest, AlarmSendsOneMessageWithNamesAndAnInjectedSubjectKeptInItsHeader) {
    SmtpPeer peer("plain");
    UseSmtp(peer.Address());
    EXPECT_EQ(Run(MailAlarm("Ann Lee <ann@example.org>; bob@example.org",
                            "Hi\r\nBcc: evil@example.org")),
              Lines({kSendingMessage, kSentSuccessfully, "Alarm Completed."}));

    const auto messages = peer.Events("message");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].value("mail_from").toString(), QStringLiteral("me@example.org"));
    EXPECT_EQ(Strings(messages[0].value("rcpt")),
              (std::vector<std::string>{"ann@example.org", "bob@example.org"}));
    const auto headers = HeaderLines(peer.Data());
    EXPECT_EQ(CountStarting(headers, "Bcc:"), 0);
    EXPECT_EQ(CountStarting(headers, "Subject:"), 1);
    EXPECT_EQ(CountStarting(headers, "Date:"), 1);
    EXPECT_EQ(CountStarting(headers, "Message-ID: <"), 1);
    EXPECT_NE(peer.Data().find("From: Me <me@example.org>\r\nTo: Ann Lee <ann@example.org>,"),
              std::string::npos);
    EXPECT_NE(peer.Data().find("\r\n\r\nFirst line\r\nSecond line\r\n"), std::string::npos);
}

TEST_F(MailTest, TwoMessageStepsAreBothDeliveredOverOneConnection) {
    SmtpPeer peer("plain");
    UseSmtp(peer.Address());
    EXPECT_EQ(Run(Script("Two", {MailStep("a@example.org"), MailStep("b@example.org")})),
              Lines({kSendingMessage, kSendingMessage, "Script Completed."}));
    const auto messages = peer.Events("message");
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(Strings(messages[1].value("rcpt")), std::vector<std::string>{"b@example.org"});
    EXPECT_EQ(peer.Events("connect").size(), 1u);
}

TEST_F(MailTest, LogsInOnlyWithUserAndPasswordAndNeverShowsThePassword) {
    for (const bool withPassword : {true, false}) {
        SmtpPeer peer("auth");
        g.Settings.SMTPUser = "ann";
        g.Settings.SMTPPass = withPassword ? "s3cret-pw" : "";
        UseSmtp(peer.Address());
        EXPECT_TRUE(Run(MailAlarm("a@example.org")).contains(kSentSuccessfully));
        const auto logins = peer.Events("auth");
        ASSERT_EQ(logins.size(), withPassword ? 1u : 0u);
        if (withPassword) {
            EXPECT_EQ(logins[0].value("mechanism").toString(), QStringLiteral("LOGIN"));
            EXPECT_EQ(logins[0].value("password").toString(), QStringLiteral("s3cret-pw"));
        }
        EXPECT_EQ(peer.Events("message").size(), 1u);
    }
    EXPECT_EQ(LogText().find("s3cret"), std::string::npos);
}

TEST_F(MailTest, TlsByStartTlsWhenOfferedAndFromTheStartForSmtps) {
    for (const char* mode : {"starttls", "smtps"}) {
        SmtpPeer peer(mode);
        MailOptions options;
        options.caFile = peer.Ca();
        UseSmtp((mode == std::string("smtps") ? "smtps://" : "") + peer.Address(), options);
        EXPECT_TRUE(Run(MailAlarm("a@example.org")).contains(kSentSuccessfully)) << mode;
        const auto messages = peer.Events("message");
        ASSERT_EQ(messages.size(), 1u) << mode;
        EXPECT_TRUE(messages[0].value("tls").toBool()) << mode;
    }
}

TEST_F(MailTest, MissingAttachmentIsReportedAndTheRestIsSent) {
    SmtpPeer peer("plain");
    UseSmtp(peer.Address());
    QFile note(dir.filePath("note.txt"));
    ASSERT_TRUE(note.open(QIODevice::WriteOnly));
    note.write("hello");
    note.close();
    AlRec a = MailAlarm("a@example.org");
    a.Mail->Attachment = {Path("gone.pdf"), Path("note.txt")};
    a.Mail->nAttach = 2;
    EXPECT_EQ(Run(a), QStringList({QString::fromLatin1(kSendingMessage),
                                   QString::fromStdString(kMissingAttachment + Path("gone.pdf")),
                                   QString::fromLatin1(kSentSuccessfully),
                                   QStringLiteral("Alarm Completed.")}));
    EXPECT_NE(peer.Data().find("filename=\"note.txt\""), std::string::npos);
    EXPECT_NE(peer.Data().find("aGVsbG8=\r\n"), std::string::npos);
    EXPECT_EQ(peer.Data().find("gone.pdf"), std::string::npos);
}

// Each failure says why; a wrong password is told from a refused connection
// and is not tried again.
TEST_F(MailTest, FailuresSayWhyAndAWrongPasswordIsNotARefusedConnection) {
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    const std::string refused = "127.0.0.1:" + std::to_string(closed.serverPort());
    closed.close();
    SmtpPeer rejecting("reject");
    SmtpPeer silent("stall");
    SmtpPeer login("auth");
    MailOptions quick;  // for the server that never answers
    quick.connectTimeoutMs = 500;
    quick.sendTimeoutMs = 1000;
    struct Case {
        std::string server, password;
        MailOptions options;
        std::vector<std::string> lines;
    };
    const auto at = [](const std::string& where) { return "The SMTP server " + where; };
    const Case cases[] = {
        {refused, "", {}, {kUnableToConnect, at(refused) + " could not be reached: Connection refused."}},
        {login.Address(), "wrong-pw-77", {},
         {at(login.Address()) + " refused the login (authentication refused): 535 5.7.8 "
                                "Authentication credentials invalid"}},
        {login.Address(), "good-pw-77", {}, {kSentSuccessfully, "Alarm Completed."}},
        {rejecting.Address(), "", {}, {kUnableToConnect, at(rejecting.Address()) + " replied: 554 no service here"}},
        {silent.Address(), "", quick,
         {kUnableToConnect, at(silent.Address()) + " did not answer: timed out after 0.5 s."}},
        {"not a host", "", {}, {kUnableToConnect, "\"not a host\" is not an SMTP server's address."}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.server + " " + c.password);
        g.Settings.SMTPUser = c.password.empty() ? "" : "ann";
        g.Settings.SMTPPass = c.password;
        UseSmtp(c.server, c.options);
        QStringList want{QString::fromLatin1(kSendingMessage)};
        for (const std::string& l : c.lines) want << QString::fromStdString(l);
        EXPECT_EQ(Run(MailAlarm("a@example.org")), want);
    }
    EXPECT_EQ(rejecting.Events("connect").size(), 2u);
    EXPECT_EQ(login.Events("connect").size(), 2u);  // once for each password
    EXPECT_EQ(login.Events("message").size(), 1u);
}

// A message bigger than the sockets hold, to a server that stops reading it:
// a close never ends the message, and the server takes nothing once it reads
// on.
TEST_F(MailTest, ClosingDuringAStalledMessageDropsItUnended) {
    SmtpPeer peer("stalldata");
    UseSmtp(peer.Address());
    QFile big(dir.filePath("big.bin"));
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    big.write(QByteArray(12 << 20, 'b'));
    big.close();
    AlRec a = MailAlarm("a@example.org");
    a.Mail->Attachment = {Path("big.bin")};
    a.Mail->nAttach = 1;
    window = Open(a);
    // Looks at the server in the send's own pauses; closes once it stalled.
    std::function<void()> look = [&] {
        if (peer.Events("data").empty()) return clock.At(clock.NowMs() + 20, look);
        QTimer::singleShot(0, window.data(), [&] { window->close(); });
    };
    clock.At(100, look);
    clock.Advance(1000);
    ASSERT_TRUE(window);
    EXPECT_EQ(window->EventLines(), Lines({kSendingMessage, kSendingCancelled}));
    Flush();
    peer.Tell("resume");
    ASSERT_TRUE(peer.AwaitEvent("disconnect"));
    EXPECT_TRUE(peer.Events("message").empty());
    const auto logged = LogMessages();
    EXPECT_NE(std::find(logged.begin(), logged.end(), kSendingCancelled), logged.end());
}

// Quitting ends a send that waits for a server at once, and the program's
// end leaves no connection behind.
TEST_F(MailTest, QuittingDuringAStuckSendCancelsItAndDropsTheConnection) {
    SmtpPeer silent("stall");
    MailOptions patient;  // time-outs of 30 s and 120 s, and a minute for the end
    patient.quitBoundMs = 60000;
    UseSmtp(silent.Address(), patient);
    window = Open(MailAlarm("a@example.org"));
    // Quits once the server holds the connection.
    std::function<void()> look = [&] {
        if (silent.Events("connect").empty()) return clock.At(clock.NowMs() + 20, look);
        clock.Quit();
    };
    clock.At(100, look);
    clock.Advance(1000);
    ASSERT_TRUE(window);
    EXPECT_EQ(window->EventLines(), Lines({kSendingMessage, kSendingCancelled}));
    window->close();
    Flush();
    services.mail = nullptr;
    sender.reset();
    EXPECT_TRUE(silent.AwaitEvent("disconnect"));
}

TEST_F(MailTest, RefusedSendIsALineForAnAlarmAndABoxForAStep) {
    SmtpPeer peer("plain");
    UseSmtp(peer.Address());
    // Refused by the server after the connect: not tried again.
    EXPECT_EQ(Run(MailAlarm("nobody@example.org")),
              QStringList({kSendingMessage, kErrorSending,
                           QString::fromStdString("The SMTP server " + peer.Address() +
                                                  " replied: 550 no such user here")}));
    EXPECT_EQ(peer.Events("connect").size(), 1u);
    // An address the envelope cannot carry fails before any connection.
    EXPECT_EQ(Run(Script("S", {MailStep("x@example.org\r\nRCPT TO:<e@v.org>"), Sleep(0)})),
              Lines({kSendingMessage}));
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_EQ(dialogs.shown[0].kind, widgets::BoxKind::Warning);
    EXPECT_EQ(dialogs.shown[0].text, QString::fromLatin1(kErrorSending));
    EXPECT_TRUE(peer.Events("message").empty());
}

TEST_F(MailTest, ClosingTheWindowDuringAStalledSendEndsTheRunAndThenTheWindow) {
    SmtpPeer silent("stall");
    UseSmtp(silent.Address());  // time-outs of 30 s and 120 s
    bool busyAtClose = false;
    window = Open(MailAlarm("a@example.org"));
    // The runner starts at 50 ms and the send waits in pauses from then on;
    // the close arrives as a window event during that wait.
    clock.At(100, [&] {
        QTimer::singleShot(0, window.data(), [&] {
            busyAtClose = window->IsBusy();
            window->close();
        });
    });
    clock.Advance(1000);
    EXPECT_TRUE(busyAtClose);
    ASSERT_TRUE(window);
    EXPECT_EQ(window->EventLines(), Lines({kSendingMessage, kSendingCancelled}));
    Flush();
    EXPECT_FALSE(window);
}

// Mail and FTP logins, accepted and refused: no password reaches the log.
TEST_F(MailTest, TheLogNeverHoldsAPassword) {
    if (PeerPython().isEmpty()) GTEST_SKIP() << "python3-pyftpdlib is missing";
    SmtpPeer smtp("auth");
    FtpPeer ftp;
    ASSERT_NE(ftp.port, 0);
    FtpClient ftpClient;
    services.ftp = &ftpClient;
    QFile up(dir.filePath("up.txt"));
    ASSERT_TRUE(up.open(QIODevice::WriteOnly));
    up.write("data");
    up.close();
    g.Settings.SMTPUser = "ann";
    for (const char* password : {"mail-pw-1517", "wrong-pw-2931"}) {
        g.Settings.SMTPPass = password;
        UseSmtp(smtp.Address());
        Run(MailAlarm("a@example.org"));
    }
    ASSERT_EQ(smtp.Events("auth").size(), 2u);
    ASSERT_EQ(smtp.Events("message").size(), 1u);
    for (const char* password : {"secret", "ftp-pw-4021"}) {  // the server takes "secret"
        AlRec a = Simple("Put");
        FTPRecT f;
        f.ftpenabled = true;
        f.ftpserver = "127.0.0.1";
        f.ftpport = ftp.port;
        f.ftpuser = "user";
        f.ftppass = password;
        f.ftppath = "up.txt";
        f.ftplocalfile = Path("up.txt");
        f.ftpupload = true;
        f.ftppassive = true;
        a.Ftp = f;
        Run(a);
    }
    ASSERT_TRUE(QFile::exists(ftp.Root() + "/up.txt"));
    ASSERT_TRUE(ftp.Got("PASS ftp-pw-4021"));
    const std::string log = LogText();
    ASSERT_NE(log.find("authentication refused"), std::string::npos) << log;
    for (const char* password : {"mail-pw-1517", "wrong-pw-2931", "secret", "ftp-pw-4021"})
        EXPECT_EQ(log.find(password), std::string::npos) << password << " in\n" << log;
}

// A stand-in for /usr/sbin/sendmail that records its arguments and input.
class LocalMailTest : public MailTest {
protected:
    void Install(int exitCode) {
        const QString script = dir.filePath("sendmail");
        QFile f(script);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QStringLiteral("#!/bin/sh\nprintf '%s|' \"$@\" >> '%1/args'\necho >> '%1/args'\n"
                               "cat >> '%1/input'\nexit %2\n")
                    .arg(dir.path())
                    .arg(exitCode)
                    .toUtf8());
        f.close();
        f.setPermissions(f.permissions() | QFileDevice::ExeOwner);
        UseLocal(script.toStdString());
    }
    void UseLocal(const std::string& program) {
        g.Settings.UseSMTP = false;
        MailOptions options;
        options.sendmail = program;
        Use(options);
    }
    std::string Recorded(const char* name) const {
        QFile f(dir.filePath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll().toStdString() : "";
    }
};

TEST_F(LocalMailTest, SendmailGetsTheBareAddressesAndTheMessageOnItsInput) {
    Install(0);
    EXPECT_EQ(Run(MailAlarm("Ann Lee <ann@example.org>;  -bob@example.org ;")),
              Lines({kSendingMessage, kLocalSent, "Alarm Completed."}));
    EXPECT_EQ(Recorded("args"), "-oi|-f|me@example.org|--|ann@example.org|-bob@example.org|\n");
    EXPECT_NE(Recorded("input").find("To: Ann Lee <ann@example.org>,\r\n -bob@example.org\r\n"),
              std::string::npos);
}

TEST_F(LocalMailTest, TwoStepsSendEachToItsOwnRecipients) {
    Install(0);
    EXPECT_EQ(Run(Script("Two", {MailStep("a@example.org"), MailStep("b@example.org")})),
              Lines({kLocalSent, kLocalSent, "Script Completed."}));
    EXPECT_EQ(Recorded("args"), "-oi|-f|me@example.org|--|a@example.org|\n"
                                "-oi|-f|me@example.org|--|b@example.org|\n");
}

TEST_F(LocalMailTest, FailureIsALineAndTheRunGoesOn) {
    Install(75);
    EXPECT_EQ(Run(MailAlarm("a@example.org")),
              Lines({kSendingMessage, kLocalFailed, "Alarm Completed."}));
    UseLocal(Path("no-such-sendmail"));
    EXPECT_EQ(Run(MailAlarm("a@example.org")),
              QStringList({QString::fromLatin1(kSendingMessage),
                           QString::fromStdString("The local mail program " +
                                                  Path("no-such-sendmail") + " was not found."),
                           QString::fromLatin1(kLocalFailed), QStringLiteral("Alarm Completed.")}));
}

TEST_F(LocalMailTest, TestMessageBoxesOfTheEditors) {
    using widgets::BoxKind;
    std::shared_ptr<SmtpClient> own;
    smtpmessage m = *MailAlarm("a@example.org").Mail;
    Install(0);
    auto sent = SendTestMessage(services, own, m);
    ASSERT_EQ(sent.boxes.size(), 1u);
    EXPECT_EQ(sent.boxes[0].kind, BoxKind::Information);
    EXPECT_EQ(sent.boxes[0].text, kLocalSentBox);
    EXPECT_TRUE(sent.localSent);

    m.mto = " ";
    const auto empty = SendTestMessage(services, own, m);
    ASSERT_EQ(empty.boxes.size(), 1u);
    EXPECT_EQ(empty.boxes[0].text, kNoName);
    EXPECT_EQ(Recorded("args").size(), std::string("-oi|-f|me@example.org|--|a@example.org|\n").size());

    Install(75);
    m.mto = "a@example.org";
    const auto failed = SendTestMessage(services, own, m);
    ASSERT_FALSE(failed.boxes.empty());
    EXPECT_EQ(failed.boxes.back().kind, BoxKind::Warning);
    EXPECT_EQ(failed.boxes.back().text, kLocalFailedBox);
    EXPECT_FALSE(failed.localSent);

    SmtpPeer peer("plain");
    m.mto = "a@example.org";
    m.Attachment = {Path("gone")};
    m.nAttach = 1;
    UseSmtp(peer.Address());
    const auto smtp = SendTestMessage(services, own, m);
    ASSERT_EQ(smtp.boxes.size(), 2u);
    EXPECT_EQ(smtp.boxes[0].text, kMissingAttachment + Path("gone"));
    EXPECT_EQ(smtp.boxes[1].kind, BoxKind::Confirmation);
    EXPECT_EQ(smtp.boxes[1].text, kSentSuccessfully);
    EXPECT_FALSE(smtp.localSent);
}

}  // namespace
}  // namespace ringmere::run
