// The network configuration dialog, and what a client may write.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <filesystem>

#include "core/alarmfile.h"
#include "net/netconfig.h"
#include "net/shared_reload.h"
#include "tests/net/net_testing.h"
#include "tests/run/fake_services.h"
#include "widgets/settings_save.h"

namespace ringmere::net {
namespace {

namespace fs = std::filesystem;
using ringmere::testing::ReadText;
using testing::ScratchDir;
using testing::ServerText;
using testing::WriteText;

class NetConfig : public ::testing::Test {
protected:
    NetConfig() : fakes(g) {
        g.ProgramDir = dir.dir();
        SetDefaultSettings(g);
        WriteText(g.LocalAlarmFilePath(), ServerText("Own"));
        CollectingReporter said;
        EXPECT_EQ(ReadAlarmFile(g, {.followClient = true}, said), kFileDone);
        WriteText(shared, ServerText("Shared"));
        reload.busy = [] { return false; };
    }
    template <class W>
    W* Find(TfrmNetConfig& d, const char* name) {
        W* w = d.findChild<W*>(QLatin1String(name));
        EXPECT_TRUE(w) << name;
        return w;
    }
    // Opens the dialog, picks `mode`, lets `fill` set its fields, presses OK.
    bool Ok(const char* mode, const std::function<void(TfrmNetConfig&)>& fill = {}) {
        TfrmNetConfig d(g, services, &reload);
        Find<QRadioButton>(d, mode)->setChecked(true);
        if (fill) fill(d);
        d.accept();
        return d.result() == QDialog::Accepted;
    }
    QStringList Shown() const {
        QStringList out;
        for (const auto& s : fakes.dialogs.shown) out << s.text;
        return out;
    }

    ScratchDir dir;
    ScratchDir share;
    std::string shared = share.file("alfile.ini");
    Globals g;
    run::testing::FakeServices fakes;
    Services services = fakes.Handed();
    SharedFileReload reload{g, services};
};

TEST_F(NetConfig, ClientPageChecksItsFieldsAndStaysOpen) {
    struct Case {
        QString location;
        QString minutes;
        const char* says;
    } cases[] = {
        {"", "30", "Alarm file location required for client setup"},
        {"/x/alfile.ini", "ten", "Web check interval not a number value"},
        {QString::fromStdString(g.LocalAlarmFilePath()), "30", "Warning: Invalid file."},
    };
    for (const Case& c : cases) {
        fakes.dialogs.shown.clear();
        EXPECT_FALSE(Ok("rbClient", [&](TfrmNetConfig& d) {
            Find<QLineEdit>(d, "teLoc")->setText(c.location);
            Find<QLineEdit>(d, "teFileDelay")->setText(c.minutes);
        }));
        ASSERT_EQ(Shown().size(), 1);
        EXPECT_TRUE(Shown()[0].startsWith(QLatin1String(c.says))) << Shown()[0].toStdString();
        EXPECT_EQ(g.Settings.UserMode, "Single");
    }
    fakes.dialogs.shown.clear();
    EXPECT_FALSE(Ok("rbWebClient", [&](TfrmNetConfig& d) { Find<QLineEdit>(d, "teURL")->clear(); }));
    EXPECT_EQ(Shown(), QStringList{"Alarm file URL required for web client setup"});
}

TEST_F(NetConfig, ClientAndBackRestoresTheOwnAlarmsAndNeverWritesTheSharedFile) {
    const std::string sharedBefore = ReadText(shared);
    const auto sharedTime = fs::last_write_time(shared);
    ASSERT_TRUE(Ok("rbClient", [&](TfrmNetConfig& d) {
        Find<QLineEdit>(d, "teLoc")->setText(QString::fromStdString(shared));
        Find<QLineEdit>(d, "teFileDelay")->setText("5000");  // as typed
    }));
    EXPECT_EQ(Shown(), QStringList{});
    EXPECT_EQ(g.Settings.UserMode, "Client");
    EXPECT_EQ(g.Settings.dldInterval, 5000);
    EXPECT_EQ(g.AlarmTable[1].AlName, "Shared");
    EXPECT_EQ(reload.Timer().interval(), ReloadPeriodMs(2400));
    EXPECT_TRUE(reload.Timer().isActive());

    // The settings dialogs' save in client mode: the header only.
    g.Settings.SMTPServer = "changed.by.client";
    g.Settings.enablelogging = true;
    ASSERT_TRUE(widgets::SaveSettingsTelling(g, fakes.dialogs, nullptr, std::nullopt));
    Globals own;
    own.ProgramDir = g.ProgramDir;
    CollectingReporter said;
    ASSERT_EQ(ReadOwnAlarmFile(own, said), kFileDone);
    EXPECT_EQ(own.AlarmTable[1].AlName, "Own");
    EXPECT_TRUE(own.Settings.enablelogging);
    EXPECT_EQ(own.Settings.UserMode, "Client");

    ASSERT_TRUE(Ok("rbSingle"));
    EXPECT_EQ(g.Settings.UserMode, "Single");
    EXPECT_EQ(g.Settings.AlarmFile, g.LocalAlarmFilePath());
    EXPECT_EQ(g.AlarmTable[1].AlName, "Own");
    EXPECT_FALSE(reload.Timer().isActive());
    EXPECT_EQ(ReadText(shared), sharedBefore);
    EXPECT_EQ(fs::last_write_time(shared), sharedTime);
}

TEST_F(NetConfig, SameModeWritesNothingAndAnUnreadableSharedFileIsSaid) {
    const auto before = fs::last_write_time(g.LocalAlarmFilePath());
    ASSERT_TRUE(Ok("rbSingle"));
    EXPECT_EQ(fs::last_write_time(g.LocalAlarmFilePath()), before);

    ASSERT_TRUE(Ok("rbClient", [&](TfrmNetConfig& d) {
        Find<QLineEdit>(d, "teLoc")->setText(QString::fromStdString(share.file("gone.ini")));
        Find<QCheckBox>(d, "chkFileUpdate")->setChecked(false);
    }));
    EXPECT_EQ(g.Settings.UserMode, "Client");  // set all the same
    EXPECT_EQ(g.AlarmTable[1].AlName, "Own");
    ASSERT_EQ(Shown().size(), 1);
    EXPECT_TRUE(Shown()[0].contains("could not be read"));
    EXPECT_FALSE(reload.Timer().isActive());
}

TEST_F(NetConfig, WebClientStartsTheCheckTimerAtItsInterval) {
    testing::WebServer server(shared);
    ASSERT_TRUE(Ok("rbWebClient", [&](TfrmNetConfig& d) {
        Find<QLineEdit>(d, "teURL")->setText(QString::fromStdString(server.Url("/alfile.ini")));
    }));
    // No downloader in the fakes: the download fails and says so.
    EXPECT_EQ(g.Settings.UserMode, "WClient");
    EXPECT_EQ(reload.Timer().interval(), 29 * 60000 + 50000);
    EXPECT_TRUE(reload.Timer().isActive());
}

TEST_F(NetConfig, BrowseAndCreateKnowTheOwnFileByIdentity) {
    const std::string link = dir.file("link.ini");
    fs::create_symlink(g.LocalAlarmFilePath(), link);
    const std::string ownBefore = ReadText(g.LocalAlarmFilePath());
    TfrmNetConfig d(g, services, &reload);
    EXPECT_EQ(Find<QPushButton>(d, "btnCreate")->text(), "Create Configuration File...");
    EXPECT_TRUE(Find<QPushButton>(d, "btnBrowseWeb")->isHidden());
    auto* loc = Find<QLineEdit>(d, "teLoc");
    fakes.dialogs.fileNames = {QString::fromStdString(link)};
    d.Browse();
    EXPECT_EQ(loc->text(), "");
    ASSERT_EQ(Shown().size(), 1);
    fakes.dialogs.fileNames = {QString::fromStdString(shared)};
    d.Browse();
    EXPECT_EQ(loc->text().toStdString(), shared);

    fakes.dialogs.shown.clear();
    d.CreateConfigurationFile();  // no location for the clients yet
    EXPECT_EQ(Shown().size(), 1);
    Find<QLineEdit>(d, "teRemLoc")->setText("/mnt/server/alfile.ini");
    fakes.dialogs.shown.clear();
    fakes.dialogs.fileNames = {QString::fromStdString(dir.dir() + "./link.ini")};
    d.CreateConfigurationFile();
    EXPECT_EQ(Shown(), QStringList{"Warning: Please select a different file name.\r\n"
                                   "The selected file is the configuration for the server program"});
    EXPECT_EQ(ReadText(g.LocalAlarmFilePath()), ownBefore);

    fakes.dialogs.shown.clear();
    const std::string config = share.file("client.ini");
    fakes.dialogs.fileNames = {QString::fromStdString(config)};
    d.CreateConfigurationFile();
    EXPECT_EQ(Shown(), QStringList{"File successfully saved."});
    EXPECT_NE(ReadText(config).find("AlarmFile=/mnt/server/alfile.ini\r\n"), std::string::npos);
    EXPECT_NE(ReadText(config).find("Alarm Count=0\r\n"), std::string::npos);
}

}  // namespace
}  // namespace ringmere::net
