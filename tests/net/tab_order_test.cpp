// The network windows walked with the Tab key (see tab_walk.h).
#include <gtest/gtest.h>
#include <QDir>
#include <QTemporaryDir>
#include <functional>

#include "net/alemail.h"
#include "net/alstartup.h"
#include "net/netconfig.h"
#include "net/shared_reload.h"
#include "tests/run/fake_services.h"
#include "tests/widgets/tab_walk.h"

namespace ringmere::net {
namespace {

TEST(NetTabOrder, EveryWindowInReadingOrder) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    Globals g;
    g.ProgramDir = QDir(dir.path()).absolutePath().toStdString() + "/";
    SetDefaultSettings(g);
    g.ResetAlarmTable(0);
    run::testing::FakeServices fakes(g);
    const Services services = fakes.Handed();
    SharedFileReload reload(g, services);
    reload.busy = [] { return false; };

    const struct {
        const char* window;
        std::function<std::unique_ptr<QWidget>()> make;
    } windows[] = {
        {"network configuration",
         [&] { return std::make_unique<TfrmNetConfig>(g, services, &reload); }},
        {"e-mail settings", [&] { return std::make_unique<Tfrmemail>(g, services, nullptr); }},
        {"set-up wizard", [&] { return std::make_unique<TfrmAStartUp>(g, services, nullptr); }},
    };
    for (const auto& w : windows) {
        const auto window = w.make();
        EXPECT_EQ(widgets::testing::TabWalkProblemsOnEveryPage(*window).join('\n').toStdString(),
                  "")
            << w.window;
    }
}

}  // namespace
}  // namespace ringmere::net
