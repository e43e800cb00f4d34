// Options > "Network Configuration..." as start-up wires it: a mode chosen in
// the dialog reaches the main window, and so does the shared file's reload.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <functional>

#include "app/net_wiring.h"
#include "core/alarmfile.h"
#include "net/alstartup.h"
#include "net/http_downloader.h"
#include "net/netconfig.h"
#include "tests/net/net_testing.h"
#include "tests/run/fake_services.h"

namespace ringmere::app {
namespace {

using net::testing::ScratchDir;
using net::testing::WriteText;
using ringmere::testing::ReadText;

// A server's file with one daily alarm called `name`.
std::string FileOf(const std::string& name) {
    Globals server;
    SetDefaultSettings(server);
    server.AlarmCount = 1;
    server.ResetAlarmTable(1);
    AlRec& a = server.AlarmTable[1];
    a.AlName = name;
    a.enabled = true;
    a.Schedule.AlType = 0;
    a.Schedule.AlXDays = 1;
    a.Schedule.AlEndType = 1;
    a.Schedule.AlStartDate = EncodeDate(2024, 1, 1);
    a.Schedule.AlTime = EncodeTime(9, 5, 0);
    return FormatAlarmFile(server);
}

class NetWiring : public ::testing::Test {
protected:
    NetWiring() : fakes(g) {
        g.ProgramDir = dir.dir();
        SetDefaultSettings(g);
        WriteText(g.LocalAlarmFilePath(), FileOf("Own"));
        CollectingReporter said;
        EXPECT_EQ(ReadAlarmFile(g, {.followClient = true}, said), kFileDone);
        WriteText(shared, FileOf("Shared"));
        ui::MainWindowHooks hooks;
        hooks.trayAvailable = [] { return false; };
        hooks.openEditor = [](QWidget*, const AlarmEditRequest&) { return std::nullopt; };
        hooks.openNetConfig = NetConfigHook(g, services, reload);
        hooks.runStartupWizard = StartupWizardHook(g, services, reload);
        hooks.reloadNow = [this] { reload.ReloadNow(); };
        window = std::make_unique<ui::TfrmAlMain>(g, services, hooks);
        ShowReloadIn(reload, *window);
    }

    // Chooses the menu item; the dialog, once open, gets `mode` and `fill`
    // and ends with OK or Cancel.
    void NetworkConfiguration(const char* mode, bool ok,
                              const std::function<void(QDialog&)>& fill = {}) {
        QAction* item = window->findChild<QAction*>(QStringLiteral("NetworkConfiguration1"));
        ASSERT_TRUE(item && item->isEnabled());
        bool opened = false;
        QTimer::singleShot(0, window.get(), [&] {
            QWidget* modal = QApplication::activeModalWidget();
            auto* d = qobject_cast<net::TfrmNetConfig*>(modal);
            if (!d) {
                if (modal) modal->close();
                return;
            }
            opened = true;
            d->findChild<QRadioButton*>(QLatin1String(mode))->setChecked(true);
            if (fill) fill(*d);
            ok ? d->accept() : d->reject();
            if (d->isVisible()) d->reject();  // refused: the test fails below
        });
        item->trigger();
        EXPECT_TRUE(opened);
    }
    QString Cell(const char* table, int row, int column) const {
        const QAbstractItemModel* cells =
            window->findChild<QTableView*>(QLatin1String(table))->model();
        return cells->index(row, column).data().toString();
    }
    QStringList Scheduled() const {
        auto* events = window->findChild<QTableView*>(QStringLiteral("grEvents"));
        QStringList names;
        for (int r = 0; r < events->model()->rowCount(); ++r) names << Cell("grEvents", r, 2);
        return names;
    }
    Services WithWeb(Services s) {
        s.downloader = &web;
        return s;
    }
    QString Refreshed() const {
        auto* label = window->findChild<QLabel*>(QStringLiteral("lblRefreshed"));
        return label && !label->isHidden() ? label->text() : QString();
    }
    bool Enabled(const char* action) const {
        return window->findChild<QAction*>(QLatin1String(action))->isEnabled();
    }

    ScratchDir dir;
    ScratchDir share;
    std::string shared = share.file("alfile.ini");
    Globals g;
    run::testing::FakeServices fakes;
    net::HttpDownloader web{{.timeoutMs = 5000, .totalMs = 20000}};
    Services services = WithWeb(fakes.Handed());
    net::SharedFileReload reload{g, services};
    std::unique_ptr<ui::TfrmAlMain> window;
};

TEST_F(NetWiring, AModeChosenInTheDialogReachesTheMainWindow) {
    ASSERT_EQ(window->windowTitle(), "Ringmere");
    ASSERT_EQ(Cell("grAlarms", 0, 2), "Own");
    const std::string sharedBefore = ReadText(shared);
    const auto toShared = [&](QDialog& d) {
        d.findChild<QLineEdit*>(QStringLiteral("teLoc"))->setText(QString::fromStdString(shared));
    };

    NetworkConfiguration("rbClient", false, toShared);
    EXPECT_EQ(g.Settings.UserMode, "Single");
    EXPECT_EQ(window->windowTitle(), "Ringmere");

    NetworkConfiguration("rbClient", true, toShared);
    EXPECT_EQ(window->windowTitle(), "Ringmere (Client Mode)");
    EXPECT_EQ(Cell("grAlarms", 0, 2), "Shared");
    EXPECT_TRUE(Scheduled().contains("Shared")) << Scheduled().join(',').toStdString();
    EXPECT_FALSE(Scheduled().contains("Own"));
    EXPECT_EQ(window->findChild<QAction*>(QStringLiteral("dxEditAlarm"))->text(), "View Alarm");
    window->findChild<QTableView*>(QStringLiteral("grAlarms"))->selectRow(0);
    for (const char* a : {"dxAddAlarm2", "dxDeleteAlarm", "DuplicateAlarm1"})
        EXPECT_FALSE(Enabled(a)) << a;
    fakes.dialogs.shown.clear();
    window->SetAlarmEnabled(1, false);
    ASSERT_EQ(fakes.dialogs.shown.size(), 1u);
    EXPECT_EQ(fakes.dialogs.shown[0].text,
              "Running in client mode. Alarms can only be enabled/disabled by server");

    // The server changes its file; the next reload shows it.
    EXPECT_TRUE(reload.Timer().isActive());
    WriteText(shared, FileOf("Renamed"));
    const std::string sharedNow = ReadText(shared);
    reload.Tick();
    EXPECT_EQ(Cell("grAlarms", 0, 2), "Renamed");
    EXPECT_TRUE(Scheduled().contains("Renamed"));

    NetworkConfiguration("rbSingle", true);
    EXPECT_EQ(window->windowTitle(), "Ringmere");
    EXPECT_EQ(Cell("grAlarms", 0, 2), "Own");
    EXPECT_TRUE(Scheduled().contains("Own"));
    EXPECT_TRUE(Enabled("dxAddAlarm2"));
    EXPECT_FALSE(reload.Timer().isActive());
    EXPECT_EQ(ReadText(shared), sharedNow);  // no client wrote it
    EXPECT_NE(sharedNow, sharedBefore);
}

// The first start's wizard sets up a web client: the reload runs as after
// the dialog, a request reaches the server, and the window says when the
// shared alarms were refreshed and offers Reload Now.
TEST_F(NetWiring, AWebClientSetUpByTheWizardReloads) {
    ScratchDir site;
    const std::string served = site.file("alfile.ini");
    WriteText(served, FileOf("Shared"));
    WriteText(served + ".headers", R"({"ETag": "\"1\""})");
    net::testing::WebServer server(served);
    const auto requests = [&](const char* method) {
        std::string body;
        EXPECT_TRUE(web.Get(server.Url("/stats"), body)) << web.LastError();
        return QJsonDocument::fromJson(QByteArray::fromStdString(body)).object()[method].toInt();
    };
    EXPECT_FALSE(Enabled("ReloadNow1"));

    g.NoAlarmFile = true;
    bool finished = false;
    QTimer::singleShot(0, window.get(), [&] {
        auto* w = qobject_cast<net::TfrmAStartUp*>(QApplication::activeModalWidget());
        if (!w) return;
        w->Next();
        w->Next();
        w->findChild<QRadioButton*>(QStringLiteral("rbWebClient"))->setChecked(true);
        w->findChild<QLineEdit*>(QStringLiteral("teURL"))
            ->setText(QString::fromStdString(server.Url("/headers")));
        w->findChild<QLineEdit*>(QStringLiteral("teWebDelay"))->setText(QStringLiteral("1"));
        w->findChild<QCheckBox*>(QStringLiteral("chkWebUpdate"))->setChecked(true);
        w->Next();
        finished = w->Page() == net::TfrmAStartUp::kFinish;
        w->accept();
    });
    window->FirstShowing();
    ASSERT_TRUE(finished);
    ASSERT_EQ(g.Settings.UserMode, "WClient");
    EXPECT_EQ(Cell("grAlarms", 0, 2), "Shared");
    EXPECT_TRUE(Enabled("ReloadNow1"));
    EXPECT_FALSE(window->findChild<QLabel*>(QStringLiteral("lblScheduleText"))
                     ->text()
                     .contains("Add Alarm"));

    // Armed for the minute chosen; fired early so that the test does not wait it out.
    ASSERT_TRUE(reload.Timer().isActive());
    EXPECT_EQ(reload.Timer().interval(), 50000);
    const int heads = requests("HEAD");
    const int gets = requests("GET");
    reload.Timer().start(0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !Refreshed().isEmpty(); }, 20000));
    EXPECT_EQ(requests("HEAD"), heads + 1);
    EXPECT_EQ(requests("GET"), gets);  // the wizard's download left its ETag
    EXPECT_TRUE(Refreshed().startsWith("Shared alarms refreshed: ")) << Refreshed().toStdString();
    EXPECT_TRUE(reload.Timer().isActive());

    // Reload Now takes a changed file at once.
    WriteText(served, FileOf("Renamed"));
    WriteText(served + ".headers", R"({"ETag": "\"2\""})");
    window->findChild<QAction*>(QStringLiteral("ReloadNow1"))->trigger();
    EXPECT_EQ(Cell("grAlarms", 0, 2), "Renamed");
    EXPECT_TRUE(fakes.dialogs.shown.isEmpty());

    NetworkConfiguration("rbSingle", true);
    EXPECT_FALSE(Enabled("ReloadNow1"));
    EXPECT_TRUE(Refreshed().isEmpty());
    EXPECT_FALSE(reload.Timer().isActive());
}

}  // namespace
}  // namespace ringmere::app
