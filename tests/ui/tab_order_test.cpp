// Every window of the main program walked with the Tab key (see tab_walk.h).
#include <gtest/gtest.h>
#include <QDir>
#include <QTemporaryDir>
#include <functional>

#include "core/settings.h"
#include "tests/run/fake_services.h"
#include "tests/widgets/tab_walk.h"
#include "ui/AddEvent.h"
#include "ui/AddException.h"
#include "ui/addoptions.h"
#include "ui/alarm.h"
#include "ui/alarmset.h"
#include "ui/gexcept.h"

namespace ringmere::ui {
namespace {

class NoAutoStart final : public AutoStartEntry {
public:
    std::optional<std::string> Read() const override { return std::nullopt; }
    bool Write(const std::string&, const std::string&, std::string&) override { return true; }
    bool Remove(std::string&) override { return true; }
};

AlRec Daily(const std::string& name) {
    AlRec a;
    a.AlName = name;
    a.enabled = true;
    a.Music->MuType = 3;
    a.Schedule.AlXDays = 1;
    a.Schedule.AlEndType = kEndOnce;
    a.Schedule.AlStartDate = EncodeDate(2026, 1, 1);
    a.Schedule.AlTime = EncodeTime(9, 0, 0);
    return a;
}

class TabOrderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        g_.ProgramDir = QDir(dir_.path()).absolutePath().toStdString() + "/";
        SetDefaultSettings(g_);
        g_.AlarmCount = 1;
        g_.ResetAlarmTable(1);
        g_.AlarmTable[1] = Daily("Tea");
    }
    void TearDown() override { fakes_.log.Close(); }

    QTemporaryDir dir_;
    Globals g_;
    run::testing::FakeServices fakes_{g_};
    NoAutoStart autoStart_;
};

TEST_F(TabOrderTest, EveryWindowInReadingOrder) {
    const struct {
        const char* window;
        std::function<std::unique_ptr<QWidget>()> make;
    } windows[] = {
        {"main window",
         [&] {
             MainWindowHooks hooks;
             hooks.trayAvailable = [] { return false; };
             return std::make_unique<TfrmAlMain>(g_, fakes_.Handed(), hooks);
         }},
        {"alarm editor",
         [&] {
             return std::make_unique<TfrmAddAlarm>(
                 g_, fakes_.Handed(), AlarmEditRequest{AlarmEditRequest::Mode::Edit, 1}, nullptr);
         }},
        {"step editor",
         [&] {
             return std::make_unique<TfrmAddEvent>(g_, fakes_.Handed(),
                                                   StepEditRequest{{}, 1, true}, nullptr);
         }},
        {"exception editor",
         [&] {
             return std::make_unique<TfrmExceptions>(g_, fakes_.Handed(),
                                                     ExceptionEditRequest{{}, 0, true}, nullptr);
         }},
        {"global exceptions",
         [&] { return std::make_unique<Tfrmgexcept>(g_, fakes_.Handed(), nullptr); }},
        {"additional options",
         [&] {
             return std::make_unique<TfrmAdditional>(g_, fakes_.Handed(), autoStart_,
                                                     "/opt/ringmere/ringmere", nullptr);
         }},
    };
    for (const auto& w : windows) {
        const auto window = w.make();
        EXPECT_EQ(widgets::testing::TabWalkProblemsOnEveryPage(*window).join('\n').toStdString(),
                  "")
            << w.window;
    }
}

}  // namespace
}  // namespace ringmere::ui
