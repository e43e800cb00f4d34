// `ringmere --help` and `--version` answer without starting; everything else starts.
#include <gtest/gtest.h>
#include <QAction>
#include <QLabel>
#include <QTemporaryDir>
#include <sstream>

#include "app/info_options.h"
#include "net/alstartup.h"
#include "tests/run/fake_services.h"
#include "ui/alarm.h"

namespace ringmere::app {
namespace {

TEST(InfoOptions, AnsweredOnlyWhenAsked) {
    struct Case {
        std::vector<std::string> args;
        const char* begins;  // nullptr: the program starts
    } cases[] = {
        {{"ringmere"}, nullptr},
        {{"ringmere", "startup"}, nullptr},
        {{"ringmere", "-platform", "offscreen"}, nullptr},
        {{"ringmere", "--helpful"}, nullptr},
        {{"--help"}, nullptr},  // the program path is no option
        {{}, nullptr},
        {{"ringmere", "--help"}, "Usage: ringmere [startup]\n"},
        {{"ringmere", "startup", "-h"}, "Usage: ringmere [startup]\n"},
        {{"ringmere", "--version", "--help"}, "Usage: ringmere [startup]\n"},
        {{"ringmere", "--version"}, "ringmere "},
        {{"ringmere", "-platform", "offscreen", "-v"}, "ringmere "},
    };
    for (const Case& c : cases) {
        std::ostringstream out;
        const auto status = AnswerInfoOption(c.args, out);
        const std::string label = ::testing::PrintToString(c.args);
        if (!c.begins) {
            EXPECT_FALSE(status) << label;
            EXPECT_EQ(out.str(), "") << label;
            continue;
        }
        EXPECT_EQ(status, 0) << label;
        EXPECT_EQ(out.str().rfind(c.begins, 0), 0u) << label << out.str();
    }
}

// Help > About, the set-up wizard and --version tell the project's version;
// the alarm file's layout may follow in brackets, never stand in for it.
TEST(InfoOptions, OneVersionEverywhere) {
    const std::string version = RINGMERE_PROJECT_VERSION;
    const QString shown = QString::fromStdString("Version " + version + " (alarm file 2.10)");
    std::ostringstream out;
    AnswerInfoOption({"ringmere", "--version"}, out);
    EXPECT_EQ(out.str(), "ringmere " + version + "\n");

    QTemporaryDir dir;
    Globals g;
    g.ProgramDir = dir.path().toStdString() + "/";
    SetDefaultSettings(g);
    run::testing::FakeServices fakes(g);
    ui::TfrmAlMain main(g, fakes.Handed());
    main.findChild<QAction*>(QStringLiteral("About1"))->trigger();
    ASSERT_EQ(fakes.dialogs.shown.size(), 1);
    const QString about = fakes.dialogs.shown[0].text;
    EXPECT_TRUE(about.contains(shown)) << about.toStdString();
    const net::TfrmAStartUp wizard(g, fakes.Handed());
    EXPECT_EQ(wizard.findChild<QLabel*>(QStringLiteral("lblVersion"))->text(), shown);
}

}  // namespace
}  // namespace ringmere::app
