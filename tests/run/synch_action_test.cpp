// Clock synchronisation in a run window and through the button of the
// operations the windows share, over a recording server and clock setter.
#include <gtest/gtest.h>

#include <QPointer>
#include <QWidget>
#include <algorithm>
#include <cstring>
#include <optional>

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

    UtcZone utc;
    FakeDaytimeClient daytime;
    FakeClockSetter setter;
};

// kNistReply against the fixture's clock (1 March 2024, 09:00).
const char* const kNistSent =
    "time.nist.gov sent 2026-12-08 14:05:06 UTC (\"26-12-08 14:05:06\"); this computer's clock "
    "is 1012 days 5 h 5 min 6 s behind.";

TEST_F(SynchActionTest, ASimpleAlarmSetsTheClockAndGoesOn) {
    const QStringList lines = Lines(
        {"Synchronizing System Time...", kNistSent, "System time updated.", "Alarm Completed."});
    EXPECT_EQ(RunAndLines(SimpleSynch("time.nist.gov")), lines);
    EXPECT_EQ(daytime.asked, Lines({"time.nist.gov"}));
    EXPECT_EQ(setter.set, std::vector<qint64>{kNistReplyUtc * 1000000});
    const std::vector<std::string> logged = LogMessages();
    ASSERT_EQ(logged.size(), 5u);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(logged[i + 1], lines[i].toStdString());
}

// What a server sends is taken only from the build date to a year after it;
// a refusal names the server, the time it sent and why, and leaves the clock.
TEST_F(SynchActionTest, TheTimeIsTakenOnlyFromTheBuildDateToAYearAfter) {
    const auto sntp = [](qint64 utcSeconds) {
        ServerTime t;
        t.ok = true;
        t.utcMicroseconds = utcSeconds * 1000000;
        return t;
    };
    const qint64 built = kTestBuildUtc, year = 366LL * 86400;
    const char* const before = "is before this program was built (2026-01-01).";
    const char* const after = "is more than a year after this program was built (2026-01-01).";
    struct Row {
        ServerTime answer;
        std::optional<qint64> set;  // seconds
        const char* refusal;        // the line after "Error updating system time: "
        const char* why = nullptr;  // its end
    };
    const Row rows[] = {
        {Answer(kNistReply), kNistReplyUtc, nullptr},
        {Answer("\n40587 70-01-01 00:00:00 00 0 0  0.0 UTC(NIST) *\n"), std::nullopt,
         "the time from x, 2070-01-01 00:00:00 UTC (\"70-01-01 00:00:00\"), ", after},
        {Answer("\n51544 00-01-01 00:00:00 00 0 0  0.0 UTC(NIST) *\n"), std::nullopt,
         "the time from x, 2000-01-01 00:00:00 UTC (\"00-01-01 00:00:00\"), ", before},
        {Answer("\n61040 25-12-31 23:59:59 00 0 0  0.0 UTC(NIST) *\n"), std::nullopt,
         "the time from x, 2025-12-31 23:59:59 UTC (\"25-12-31 23:59:59\"), ", before},
        {Answer("\n61041 26-01-01 00:00:00 00 0 0  0.0 UTC(NIST) *\n"), built, nullptr},
        {sntp(0), std::nullopt, "the time from x, 1970-01-01 00:00:00 UTC, ", before},
        {sntp(4102444800), std::nullopt, "the time from x, 2100-01-01 00:00:00 UTC, ", after},
        {sntp(built + year), built + year, nullptr},
        {sntp(built + year + 1), std::nullopt, "the time from x, 2027-01-02 00:00:01 UTC, ", after},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.answer.text.isEmpty() ? std::to_string(*r.answer.utcMicroseconds)
                                             : r.answer.text.toStdString());
        setter.set.clear();
        QStringList told;
        const SynchOutcome o =
            SetClockFrom(services, "x", r.answer, [&](const QString& l) { told << l; });
        ASSERT_EQ(told.size(), 1);
        EXPECT_TRUE(told[0].startsWith("x sent ")) << told[0].toStdString();
        if (r.set) {
            EXPECT_EQ(o.kind, SynchKind::Updated);
            EXPECT_EQ(setter.set, std::vector<qint64>{*r.set * 1000000});
            continue;
        }
        EXPECT_EQ(o.kind, SynchKind::NotSet);
        EXPECT_TRUE(setter.set.empty());
        const std::string line = o.line.toStdString(), head = "Error updating system time: ";
        EXPECT_EQ(line.substr(0, head.size()), head);
        EXPECT_EQ(line.substr(head.size(), std::strlen(r.refusal)), r.refusal) << line;
        EXPECT_TRUE(o.line.endsWith(QString::fromLatin1("is refused: it ") + r.why)) << line;
    }

    // The time set is the server's, moved on by what passed since it was read.
    const ReadAnswer read = ReadServerAnswer(services, "x", Answer(kNistReply));
    clock.Advance(2500);
    setter.set.clear();
    SetClockTo(services, read);
    EXPECT_EQ(setter.set, std::vector<qint64>{kNistReplyUtc * 1000000 + 2500000});
}

TEST_F(SynchActionTest, NoTimeEndsTheRunWithTheLineOfItsKind) {
    daytime.answer = NoAnswer();
    EXPECT_EQ(RunAndLines(SimpleSynch("time.nist.gov")),
              Lines({"Synchronizing System Time...", "No time from time.nist.gov: no connection.",
                     "Unable to retrieve time from server. Please use a different time server."}));
    EXPECT_EQ(RunAndLines(Script("S", {SynchStep("x"), Sleep(0)})),
              Lines({"Synchronizing System Time...", "No time from x: no connection.",
                     "Unable to retrieve time from server."}));
    EXPECT_TRUE(setter.set.empty());
    const std::vector<std::string> logged = LogMessages();
    EXPECT_NE(std::find(logged.begin(), logged.end(), "No time from x: no connection."),
              logged.end());
}

TEST_F(SynchActionTest, AClockThatIsNotSetAndAReplyThatIsNoTimeLetTheRunGoOn) {
    setter.result = {false, QStringLiteral("Operation not permitted")};
    const QStringList notSet = RunAndLines(Script("S", {SynchStep("x")}));
    ASSERT_EQ(notSet.size(), 4);
    EXPECT_TRUE(notSet[1].startsWith("x sent 2026-12-08 14:05:06 UTC")) << notSet[1].toStdString();
    EXPECT_EQ(notSet.mid(2), Lines({"Error updating system time: Operation not permitted",
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
    // Wanting the permission, the box says what it takes.
    setter.result = {false, QStringLiteral("Operation not permitted"), true};
    EXPECT_TRUE(click(QStringLiteral("time.nist.gov"))
                    .startsWith("Error updating system time: Operation not permitted\n\n"
                                "Setting the clock needs the administrator's permission"));
    daytime.answer = NoAnswer();
    EXPECT_EQ(click(QStringLiteral("time.nist.gov")),
              QStringLiteral("Unable to retrieve time from server. Please use a different time "
                             "server.\n\nNo time from time.nist.gov: no connection."));
    EXPECT_EQ(dialogs.shown.last().kind, widgets::BoxKind::Warning);
    // A refusal: its box, and no setting.
    daytime.answer = Answer("\n40587 70-01-01 00:00:00 00 0 0  0.0 UTC(NIST) *\n");
    setter.set.clear();
    EXPECT_TRUE(click(QStringLiteral("time.nist.gov"))
                    .startsWith("Error updating system time: the time from time.nist.gov, 2070-"));
    EXPECT_TRUE(setter.set.empty());

    // Asking first: the time and the offset, and the clock is set only on OK.
    setter.result = {true, {}};
    daytime.answer = Answer(kNistReply);
    for (const widgets::Answer answer : {widgets::Answer::Cancel, widgets::Answer::Ok}) {
        setter.set.clear();
        dialogs.answers = {answer};
        const int boxes = dialogs.shown.size();
        InteractiveSynchronize(services, "time.nist.gov", &owner, {}, {}, SynchConfirm::AskFirst);
        ASSERT_GT(dialogs.shown.size(), boxes);
        EXPECT_EQ(dialogs.shown[boxes].kind, widgets::BoxKind::Confirmation);
        EXPECT_EQ(dialogs.shown[boxes].text,
                  QString::fromLatin1(kNistSent) + "\n\nSet this computer's clock to that time?");
        EXPECT_EQ(setter.set.size(), answer == widgets::Answer::Ok ? 1u : 0u);
        EXPECT_EQ(dialogs.shown.size(), boxes + (answer == widgets::Answer::Ok ? 2 : 1));
    }
    // Every fetch, refusal and setting is in the log.
    const std::vector<std::string> logged = LogMessages();
    for (const char* line :
         {kNistSent, "System time updated.", "Error updating system time: Access denied",
          "No time from time.nist.gov: no connection."})
        EXPECT_NE(std::find(logged.begin(), logged.end(), line), logged.end()) << line;
    EXPECT_NE(std::find_if(logged.begin(), logged.end(),
                           [](const std::string& l) {
                               return l.starts_with("Error updating system time: the time from");
                           }),
              logged.end());

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
