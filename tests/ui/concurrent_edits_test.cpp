// The main window toggling an alarm while ringmere-cli processes change the
// same file: every edit either side made is in the file afterwards.
#include <gtest/gtest.h>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <memory>
#include <set>

#include "core/alarmfile.h"
#include "tests/run/fake_services.h"
#include "ui/alarm.h"

namespace ringmere::ui {
namespace {

AlRec Daily(const std::string& name) {
    AlRec a;
    a.AlName = name;
    a.enabled = true;
    a.Music->MuType = kMusicSilent;
    a.Schedule.AlType = kEveryXDays;
    a.Schedule.AlXDays = 1;
    a.Schedule.AlEndType = kEndNever;
    a.Schedule.AlStartDate = EncodeDate(2026, 1, 1);
    a.Schedule.AlTime = EncodeTime(9, 0, 0);
    return a;
}

constexpr int kAdds = 60, kDisables = 20, kRenames = 20, kToggles = 25;

TEST(ConcurrentEdits, CliEditsAndTheWindowsTogglesAreAllKept) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    Globals g;
    g.ProgramDir = QDir(dir.path()).absolutePath().toStdString() + "/";
    SetDefaultSettings(g);
    std::vector<AlRec> alarms{Daily("W")};
    for (int i = 0; i < kDisables; ++i) alarms.push_back(Daily("T" + std::to_string(i)));
    for (int i = 0; i < kRenames; ++i) alarms.push_back(Daily("R" + std::to_string(i)));
    g.ResetAlarmTable(static_cast<Integer>(alarms.size()));
    g.AlarmCount = static_cast<Integer>(alarms.size());
    for (std::size_t i = 0; i < alarms.size(); ++i) g.AlarmTable[i + 1] = alarms[i];
    SilentReporter quiet;
    ASSERT_EQ(WriteAlarmFile(g, g.Settings.AlarmFile, quiet), kFileDone);

    run::testing::FakeServices fakes(g);
    TfrmAlMain window(g, fakes.Handed(), MainWindowHooks{});
    const QString file = QString::fromStdString(g.Settings.AlarmFile);

    std::vector<QStringList> edits;
    for (int i = 0; i < kAdds; ++i)
        edits.push_back({"add", file, "--name", QString("P%1").arg(i), "--at", "2030-01-01 09:00",
                         "--every", "1", "days"});
    for (int i = 0; i < kDisables; ++i) edits.push_back({"disable", file, QString("T%1").arg(i)});
    for (int i = 0; i < kRenames; ++i)
        edits.push_back({"rename", file, QString("R%1").arg(i), QString("R%1 renamed").arg(i)});

    std::vector<std::unique_ptr<QProcess>> running;
    for (const QStringList& args : edits) {
        running.push_back(std::make_unique<QProcess>());
        running.back()->start(QStringLiteral(RINGMERE_CLI), args);
    }
    // W is first and stays first: adds go to the end.
    bool on = true;
    for (int i = 0; i < kToggles; ++i) {
        on = !on;
        window.SetAlarmEnabled(1, on);
        ASSERT_EQ(g.AlarmTable[1].AlName, "W");
        ASSERT_EQ(g.AlarmTable[1].enabled, on) << "toggle " << i;
    }
    // A writer that waited too long for the lock changed nothing and said
    // so; it goes again once the others are done.
    int refused = 0;
    for (std::size_t i = 0; i < running.size(); ++i) {
        ASSERT_TRUE(running[i]->waitForFinished(60000));
        if (running[i]->exitCode() == 0) continue;
        const QString err = QString::fromLocal8Bit(running[i]->readAllStandardError());
        ASSERT_TRUE(err.contains("stayed locked")) << err.toStdString();
        ++refused;
        QProcess again;
        again.start(QStringLiteral(RINGMERE_CLI), edits[i]);
        ASSERT_TRUE(again.waitForFinished(60000));
        ASSERT_EQ(again.exitCode(), 0) << again.readAllStandardError().toStdString();
    }
    if (refused > 0) std::cout << refused << " edits waited over 5 s for the lock\n";
    EXPECT_TRUE(fakes.dialogs.shown.empty());

    Globals after;
    after.ProgramDir = g.ProgramDir;
    SetDefaultSettings(after);
    CollectingReporter said;
    ASSERT_EQ(ReadOwnAlarmFile(after, said), kFileDone);
    EXPECT_TRUE(said.messages.empty());
    ASSERT_EQ(after.AlarmCount, 1 + kDisables + kRenames + kAdds);
    std::set<std::string> names;
    for (Integer i = 1; i <= after.AlarmCount; ++i) {
        const AlRec& a = after.AlarmTable[i];
        names.insert(a.AlName);
        const bool disabled = a.AlName[0] == 'T' || (a.AlName == "W" && !on);
        EXPECT_EQ(a.enabled, !disabled) << a.AlName;
    }
    for (int i = 0; i < kAdds; ++i) EXPECT_TRUE(names.count("P" + std::to_string(i))) << i;
    for (int i = 0; i < kRenames; ++i)
        EXPECT_TRUE(names.count("R" + std::to_string(i) + " renamed")) << i;
    EXPECT_EQ(names.size(), std::size_t(after.AlarmCount));  // none twice

    // The window took in what the others wrote: one more toggle keeps it all.
    window.SetAlarmEnabled(1, !on);
    Globals last;
    last.ProgramDir = g.ProgramDir;
    SetDefaultSettings(last);
    ASSERT_EQ(ReadOwnAlarmFile(last, said), kFileDone);
    EXPECT_EQ(last.AlarmCount, after.AlarmCount);
    EXPECT_EQ(last.AlarmTable[1].enabled, !on);
}

}  // namespace
}  // namespace ringmere::ui
