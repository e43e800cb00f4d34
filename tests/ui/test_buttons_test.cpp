// The dial-up and message Test buttons and the connection lists, alike in
// the alarm editor's action tabs and in the step editor: over connections
// that record every call, and a real mail server on 127.0.0.1.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QFile>
#include <QJsonArray>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QTemporaryDir>

#include "run/connections.h"
#include "run/dialup.h"
#include "run/mail.h"
#include "tests/run/fake_services.h"
#include "tests/run/smtp_peer.h"
#include "ui/AddEvent.h"
#include "ui/simpleactions.h"

namespace ringmere::ui {
namespace {

using run::DialStarted;
using widgets::BoxKind;

class RecordingConnections final : public run::NetworkConnections {
public:
    bool ListEntries(std::vector<std::string>& entries, std::string& error) override {
        calls.push_back("list");
        if (!works) {
            error = "no back-end";
            return false;
        }
        entries = profiles;
        return true;
    }
    DialStarted DialEntry(const std::string& entry, Progress report) override {
        calls.push_back("dial " + entry);
        progress = std::move(report);
        DialStarted started;
        started.result = dialResult;
        if (dialResult == DialStarted::Started) {
            started.handle = "h-" + entry;
            started.ticket = 1;
        } else {
            started.error = "line busy";
        }
        return started;
    }
    void Detach(quint64) override {}
    bool ListActiveConnections(std::vector<run::ActiveConnection>& active,
                               std::string& error) override {
        active = up;
        if (!works) error = "no back-end";
        return works;
    }
    bool HangUpConnection(const std::string& handle) override {
        calls.push_back("hang up " + handle);
        return true;
    }
    run::ConnectionAddresses QueryAddresses(const std::string&) override { return {}; }

    std::vector<std::string> profiles;
    std::vector<run::ActiveConnection> up;
    DialStarted::Result dialResult = DialStarted::Started;
    bool works = true;
    std::vector<std::string> calls;
    Progress progress;
};

// The alarm editor's action tabs in a tab control of their own.
struct AlarmTabs {
    using Form = ActionsForm;
    AlarmTabs(Globals& g, const Services& services)
        : tabs(new SimpleActionTabs(g, services, &editor)), host(new QTabWidget(&editor)) {
        for (const auto& [page, title] : tabs->Pages()) host->addTab(page, title);
    }
    QWidget* Root() { return &editor; }
    void Load(const Form& form) { tabs->Load(form); }
    Form Saved() const { return tabs->Form(); }
    void ShowDialPage() {
        editor.show();
        host->setCurrentWidget(tabs->Pages()[1].first);
    }

    QWidget editor;
    SimpleActionTabs* tabs;
    QTabWidget* host;
};

struct StepEditor {
    using Form = StepForm;
    StepEditor(Globals& g, const Services& services) {
        dialog = std::make_unique<TfrmAddEvent>(g, services, StepEditRequest{{}, 0, true}, nullptr);
    }
    QWidget* Root() { return dialog.get(); }
    void Load(const Form& form) { dialog->Load(form); }
    Form Saved() const { return dialog->Form(); }
    void ShowDialPage() {
        Root()->findChild<QAbstractButton*>(QStringLiteral("rbDialup"))->click();
    }

    std::unique_ptr<TfrmAddEvent> dialog;
};

template <class T>
T* Find(QWidget* root, const char* name) {
    T* found = root->findChild<T*>(QString::fromLatin1(name));
    EXPECT_TRUE(found) << name;
    return found;
}

template <class Editor>
class TestButtonsTest : public ::testing::Test {
protected:
    TestButtonsTest() {
        g_.ProgramDir = QDir(dir_.path()).absolutePath().toStdString() + "/";
        SetDefaultSettings(g_);
        g_.ResetAlarmTable(0);
        services_.connections = &connections_;
    }
    Editor& Open() {
        fakes_.dialogs.shown.clear();
        editor_ = std::make_unique<Editor>(g_, services_);
        return *editor_;
    }
    QWidget* Root() { return editor_->Root(); }
    void Click(const char* name) { Find<QAbstractButton>(Root(), name)->click(); }
    QStringList Boxes() const {
        QStringList out;
        for (const auto& box : fakes_.dialogs.shown) out << box.text;
        return out;
    }
    static QStringList Items(QComboBox* list) {
        QStringList out;
        for (int i = 0; i < list->count(); ++i) out << list->itemText(i);
        return out;
    }

    QTemporaryDir dir_;
    Globals g_;
    run::testing::FakeServices fakes_{g_};
    RecordingConnections connections_;
    Services services_ = fakes_.Handed();
    std::unique_ptr<Editor> editor_;
};

using Editors = ::testing::Types<AlarmTabs, StepEditor>;
TYPED_TEST_SUITE(TestButtonsTest, Editors);

TYPED_TEST(TestButtonsTest, DialAndHangUpActOnTheConnectionShown) {
    using Form = typename TypeParam::Form;
    struct Row {
        const char* button;
        DialStarted::Result result;
        const char* redial;
        std::vector<std::string> calls;
        const char* status;  // after the dial's "Connected", when it started; after a hang-up
        const char* box;
    };
    const Row rows[] = {
        {"Button7", DialStarted::Started, "0", {"dial Office line"}, "Connected", nullptr},
        {"Button7",
         DialStarted::Failed,
         "2",
         {"dial Office line", "dial Office line", "dial Office line"},
         "Error. line busy",
         nullptr},
        {"Button7",
         DialStarted::Unavailable,
         "0",
         {"dial Office line"},
         "",
         run::kNoConnectionsWarning},
        {"Button8", DialStarted::Started, "0", {"hang up h1", "hang up h3"}, "Disconnected",
         nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.button) + " " + row.calls.front());
        this->connections_.calls.clear();
        this->connections_.dialResult = row.result;
        this->connections_.up = {{"h1", "", "", "Office line", "", 0},
                                 {"h2", "", "", "Home", "", 0},
                                 {"h3", "", "", "Office line", "", 0}};
        auto& editor = this->Open();
        Form form;
        form.dialname = "Office line";
        form.redial = row.redial;
        editor.Load(form);
        Find<QLabel>(this->Root(), "Status")->clear();
        this->Click(row.button);
        if (row.result == DialStarted::Started && this->connections_.progress)
            this->connections_.progress({run::kDialConnected, "Connected", 0});
        EXPECT_EQ(this->connections_.calls, row.calls);
        EXPECT_EQ(Find<QLabel>(this->Root(), "Status")->text(), row.status);
        EXPECT_EQ(this->Boxes(), row.box ? QStringList{row.box} : QStringList{});
    }
}

// Each list is filled once, on first need: the dial-up page shown, the
// reconnect tick set (by a click or by the record loaded).
TYPED_TEST(TestButtonsTest, ConnectionListsListTheSystemsOnceKeepingTheStoredName) {
    using Form = typename TypeParam::Form;
    struct Row {
        const char* stored;
        bool works;
        QStringList items;
        const char* chosen;
    };
    const Row rows[] = {
        {"Backup line", true, {"Backup line", "Home", "Office"}, "Backup line"},
        {"Office", true, {"Office", "Home"}, "Office"},
        {"", true, {"Home", "Office"}, "Home"},
        {"Backup line", false, {"Backup line"}, "Backup line"},
    };
    enum Need { DialPage, ReconnectClick, ReconnectLoaded };
    for (const Need need : {DialPage, ReconnectClick, ReconnectLoaded})
        for (const Row& row : rows) {
            SCOPED_TRACE(std::to_string(need) + " '" + row.stored + "'");
            this->connections_.calls.clear();
            this->connections_.profiles = {"Home", "Office"};
            this->connections_.works = row.works;
            auto& editor = this->Open();
            Form form;
            form.dialname = form.ftpdialname = row.stored;
            form.ftpreconnect = need == ReconnectLoaded;
            editor.Load(form);
            const char* name = need == DialPage ? "cbConnections" : "cbFConnections";
            auto* list = Find<QComboBox>(this->Root(), name);
            if (need == ReconnectClick) {
                EXPECT_EQ(this->Items(list), *row.stored ? QStringList{row.stored} : QStringList{});
                this->Click("chkFTPReconnect");
                this->Click("chkFTPReconnect");
                this->Click("chkFTPReconnect");
            } else if (need == DialPage) {
                editor.ShowDialPage();
            }
            EXPECT_EQ(this->connections_.calls, std::vector<std::string>{"list"});
            EXPECT_EQ(this->Items(list), row.items);
            EXPECT_EQ(list->currentText(), row.chosen);
            EXPECT_EQ(this->Boxes(),
                      row.works ? QStringList{} : QStringList{run::kNoConnectionsWarning});
            auto shownName = [&] {
                const Form saved = editor.Saved();
                return need == DialPage ? saved.dialname : saved.ftpdialname;
            };
            EXPECT_EQ(shownName(), row.chosen);

            // Another record's name, though the system lacks it, is not lost.
            form.dialname = form.ftpdialname = "Elsewhere";
            editor.Load(form);
            EXPECT_EQ(shownName(), "Elsewhere");
            EXPECT_EQ(this->connections_.calls.size(), 1u);
        }
}

TYPED_TEST(TestButtonsTest, BrowseButtonsFillTheirOwnFieldAndCancelKeepsIt) {
    using Form = typename TypeParam::Form;
    const std::pair<const char*, const char*> rows[] = {
        {"btnMP3Browse", "teMP3"},       {"btnWavBrowse", "teWav"},
        {"btnApp1Browse", "teApp1"},     {"btnCopyFromBrowse", "teCopyFrom"},
        {"btnCopyToBrowse", "teCopyTo"}, {"btnMoveFromBrowse", "teMoveFrom"},
        {"btnMoveToBrowse", "teMoveTo"}, {"btnDeleteFileBrowse", "teDeleteFile"},
        {"btnFTPLocal", "teLocalFile"},
    };
    auto& editor = this->Open();
    Form form;
    if constexpr (requires { form.ftpenabled; }) form.ftpenabled = true;
    editor.Load(form);
    for (const auto& [button, field] : rows) {
        auto* edit = Find<QLineEdit>(this->Root(), field);
        edit->setText(QStringLiteral("/kept"));
        this->Click(button);  // cancelled
        EXPECT_EQ(edit->text(), "/kept") << button;
        this->fakes_.dialogs.fileNames = {QString::fromLatin1(button)};
        this->Click(button);
        EXPECT_EQ(edit->text(), button);
    }
}

TYPED_TEST(TestButtonsTest, SendTestMessageSendsTheFieldsShownAndSaysHowItWent) {
    using Form = typename TypeParam::Form;
    if (run::testing::MailPython().isEmpty()) GTEST_SKIP() << "python3-aiosmtpd is missing";
    const std::string kept = this->dir_.filePath("notes.txt").toStdString();
    const std::string gone = this->dir_.filePath("gone.txt").toStdString();
    QFile file(QString::fromStdString(kept));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("attached text");
    file.close();
    struct Row {
        const char* mode;
        std::string to;
        std::vector<std::string> attachments;
        std::vector<std::pair<BoxKind, std::string>> boxes;
        std::vector<std::string> rcpt;  // of the one message delivered, if any
    };
    const Row rows[] = {
        {"plain",
         "Ann Lee <ann@example.org>; bob@example.org",
         {kept},
         {{BoxKind::Confirmation, run::kSentSuccessfully}},
         {"ann@example.org", "bob@example.org"}},
        {"plain",
         "ann@example.org",
         {gone},
         {{BoxKind::Warning, run::kMissingAttachment + gone},
          {BoxKind::Confirmation, run::kSentSuccessfully}},
         {"ann@example.org"}},
        {"plain", "nobody@example.org", {}, {{BoxKind::Warning, run::kErrorSending}}, {}},
        {"reject", "ann@example.org", {}, {{BoxKind::Warning, run::kUnableToConnect}}, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.mode) + " " + row.to);
        run::testing::SmtpPeer peer(row.mode);
        this->g_.Settings.UseSMTP = true;
        this->g_.Settings.SMTPServer = peer.Address();
        const auto sender = run::NewSystemMailSender(this->g_.Settings);
        this->services_.mail = sender.get();
        auto& editor = this->Open();
        Form form;
        if constexpr (requires { form.sendmessage; }) form.sendmessage = true;
        form.from = "me@example.org";
        form.mto = "someone.else@example.org";
        form.subject = "Test of the alarm";
        form.msg = "Line one\r\nLine two";
        form.attachments = row.attachments;
        editor.Load(form);
        // What is shown is what is sent, not what was loaded.
        Find<QComboBox>(this->Root(), "teToo")->setEditText(QString::fromStdString(row.to));
        this->Click("btSendMessage");

        std::vector<std::pair<BoxKind, std::string>> boxes;
        // A failure's box says why below its text; the mail tests check the reasons.
        for (const auto& box : this->fakes_.dialogs.shown)
            boxes.emplace_back(box.kind, box.text.section("\n\n", 0, 0).toStdString());
        EXPECT_EQ(boxes, row.boxes);
        if (row.rcpt.empty() && !this->fakes_.dialogs.shown.isEmpty())
            EXPECT_TRUE(this->fakes_.dialogs.shown.back().text.contains("\n\nThe SMTP server "));
        const auto messages = peer.Events("message");
        ASSERT_EQ(messages.size(), row.rcpt.empty() ? 0u : 1u);
        if (row.rcpt.empty()) continue;
        std::vector<std::string> rcpt;
        for (const auto& r : messages[0].value("rcpt").toArray())
            rcpt.push_back(r.toString().toStdString());
        EXPECT_EQ(rcpt, row.rcpt);
        EXPECT_EQ(messages[0].value("mail_from").toString(), "me@example.org");
        const std::string data = peer.Data();
        EXPECT_NE(data.find("Subject: Test of the alarm\r\n"), std::string::npos);
        EXPECT_NE(data.find("Line one\r\nLine two"), std::string::npos);
        EXPECT_EQ(data.find("notes.txt") != std::string::npos,
                  row.attachments == std::vector{kept});
    }
}

}  // namespace
}  // namespace ringmere::ui
