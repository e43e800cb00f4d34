// Clock synchronisation in a run window and through the button of the
// operations the windows share, over a recording server and clock setter.
#include <gtest/gtest.h>

#include <QPointer>
#include <QWidget>

#include "clock_fakes.h"
#include "fake_services.h"
#include "run/timesync.h"

namespace ringmere::run {
namespace {

using namespace testing;

class SynchActionTest : public ::testing::Test, public RunFixture {
protected:
    SynchActionTest() {
        services.daytime = &daytime;
        services.clockSetter = &setter;
    }
    static AlEvent SynchStep(const std::string& server) {
        AlEvent e;
        e.evtype = kStepSynch;
        e.Synch->synchserver = server;
        return e;
    }
    static AlRec SimpleSynch(const std::string& server) {
        AlRec a = Simple("Clock");
        a.Synch->dosynch = true;
        a.Synch->synchserver = server;
        return a;
    }
    QStringList RunAndLines(const AlRec& a) {
        QPointer<TfrmActiveAlarm> w = Open(a);
        clock.Advance(1000);
        return w ? w->EventLines() : QStringList();
    }

    FakeDaytimeClient daytime;
    FakeClockSetter setter;
};

TEST_F(SynchActionTest, ASimpleAlarmSetsTheClockAndGoesOn) {
    EXPECT_EQ(RunAndLines(SimpleSynch("time.nist.gov")),
              Lines({"Synchronizing System Time...", "System time updated.", "Alarm Completed."}));
    EXPECT_EQ(daytime.asked, Lines({"time.nist.gov"}));
    EXPECT_EQ(setter.set, std::vector<qint64>{kNistReplyUtc * 1000000});
}

TEST_F(SynchActionTest, NoTimeEndsTheRunWithTheLineOfItsKind) {
    daytime.answer = NoAnswer();
    EXPECT_EQ(RunAndLines(SimpleSynch("time.nist.gov")),
              Lines({"Synchronizing System Time...",
                     "Unable to retrieve time from server. Please use a different time server."}));
    EXPECT_EQ(RunAndLines(Script("S", {SynchStep("x"), Sleep(0)})),
              Lines({"Synchronizing System Time...", "Unable to retrieve time from server."}));
    EXPECT_TRUE(setter.set.empty());
}

TEST_F(SynchActionTest, AClockThatIsNotSetAndAReplyThatIsNoTimeLetTheRunGoOn) {
    setter.result = {false, QStringLiteral("Operation not permitted")};
    EXPECT_EQ(RunAndLines(Script("S", {SynchStep("x")})),
              Lines({"Synchronizing System Time...",
                     "Error updating system time: Operation not permitted",
                     "Script Completed with 1 failed step."}));
    setter.set.clear();
    daytime.answer = Answer("\n61382 26-13-08 14:05:06 00 0 0 50.0 UTC(NIST) *\n");
    const QStringList lines = RunAndLines(Script("S", {SynchStep("x")}));
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines[1].startsWith(QLatin1String("Error updating system time: ")));
    EXPECT_TRUE(lines[1].contains(QLatin1String("month 13"))) << lines[1].toStdString();
    EXPECT_TRUE(setter.set.empty());
}

TEST_F(SynchActionTest, SnoozeDuringTheFetchEndsTheRunWithoutALine) {
    QPointer<TfrmActiveAlarm> w;
    daytime.during = [&] { w->btnSnoozeClick(); };
    w = Open(Script("S", {SynchStep("x"), Sleep(0)}));
    clock.Advance(1000);
    ASSERT_TRUE(w);
    EXPECT_EQ(w->EventLines(), Lines({"Synchronizing System Time...", "Snoozing 5 minutes..."}));
}

TEST_F(SynchActionTest, TheButtonTellsEachOutcomeInABoxAtTheWindowCorner) {
    QWidget owner;
    owner.move(40, 30);
    QStringList status;
    const auto click = [&](const QString& server) {
        InteractiveSynchronize(services, server, &owner, [&](const QString& t) { status << t; });
        return dialogs.shown.isEmpty() ? QString() : dialogs.shown.last().text;
    };
    EXPECT_EQ(click(QStringLiteral("  ")),
              QStringLiteral("Please select or enter a time server first."));
    EXPECT_TRUE(status.isEmpty());
    EXPECT_TRUE(daytime.asked.isEmpty());

    EXPECT_EQ(click(QStringLiteral("time.nist.gov")), QStringLiteral("System time updated."));
    EXPECT_EQ(dialogs.shown.last().kind, widgets::BoxKind::Information);
    EXPECT_EQ(dialogs.shown.last().topLeft, owner.frameGeometry().topLeft());
    EXPECT_EQ(status, Lines({"Retrieving Time From Server...", ""}));

    setter.result = {false, QStringLiteral("Access denied")};
    EXPECT_EQ(click(QStringLiteral("time.nist.gov")),
              QStringLiteral("Error updating system time: Access denied"));
    daytime.answer = NoAnswer();
    EXPECT_EQ(
        click(QStringLiteral("time.nist.gov")),
        QStringLiteral("Unable to retrieve time from server. Please use a different time server."));
    EXPECT_EQ(dialogs.shown.last().kind, widgets::BoxKind::Warning);

    // A second click while the first one waits starts nothing.
    daytime.answer = Answer(kNistReply);
    daytime.asked.clear();
    const int boxes = dialogs.shown.size();
    daytime.during = [&] {
        daytime.during = nullptr;
        click(QStringLiteral("time.nist.gov"));
    };
    click(QStringLiteral("time.nist.gov"));
    EXPECT_EQ(daytime.asked.size(), 1);
    EXPECT_EQ(dialogs.shown.size(), boxes + 1);
}

TEST_F(SynchActionTest, WithoutTheServicesEveryPlaceSaysItCannot) {
    services.daytime = nullptr;
    services.clockSetter = nullptr;
    EXPECT_EQ(RunAndLines(SimpleSynch("time.nist.gov")),
              Lines({kSynchUnavailable, "Alarm Completed."}));
    InteractiveSynchronize(services, QStringLiteral("time.nist.gov"), nullptr);
    ASSERT_EQ(dialogs.shown.size(), 1);
    EXPECT_EQ(dialogs.shown.last().text, QString::fromLatin1(kSynchUnavailableInteractive));
}

}  // namespace
}  // namespace ringmere::run
