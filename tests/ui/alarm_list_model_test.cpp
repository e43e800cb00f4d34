// The alarm list's cells as the model gives them to the view, for each kind
// of record, and what a refill and a ticked box show.
#include <gtest/gtest.h>
#include <QSignalSpy>

#include "core/globals.h"
#include "ui/alarm_list_model.h"

namespace ringmere::ui {
namespace {

AlRec Simple(const std::string& name, bool enabled, Byte endType) {
    AlRec a;
    a.AlName = name;
    a.enabled = enabled;
    a.Schedule.AlEndType = endType;
    a.Music->MuType = kMusicSilent;
    return a;
}

struct Row {
    const char* name;
    QVariant check;  // invalid: no box
    bool checkable;
    const char* end;  // accessible name and tooltip of the end rule, "" none
    QStringList strip;
    const char* actions;
};

TEST(AlarmListModelTest, CellsOfEachKindOfRecord) {
    Globals g;
    g.AlarmCount = 4;
    g.ResetAlarmTable(4);
    g.AlarmTable[1] = Simple("Tea", true, kEndOnce);
    g.AlarmTable[1].Music->MuType = kMusicWave;
    g.AlarmTable[1].Mail->sendmessage = true;
    g.AlarmTable[2] = Simple("Script", false, kEndAtDate);
    g.AlarmTable[2].mtype = kScriptedAlarm;
    g.AlarmTable[2].Events.Items.resize(2);
    g.AlarmTable[2].Events.Count = 2;
    g.AlarmTable[2].Events.Items[0].evtype = kStepSleep;
    g.AlarmTable[2].Events.Items[1].evtype = kStepRepeat;
    g.AlarmTable[3] = Simple("Quiet", true, kEndNever);
    g.AlarmTable[4] = Simple("Half read", true, kEndNever);
    g.FirstDamagedAlarm = 4;
    AlarmListModel model(g, nullptr);
    model.Refill();
    const Row rows[] = {
        {"Tea", Qt::Checked, true, "Once", {"act-sound", "act-mail"}, "sound file, e-mail"},
        {"Script", Qt::Unchecked, true, "Until an end date", {"act-sleep"}, "sleep"},
        {"Quiet", Qt::Checked, true, "No end", {}, "No actions"},
        {AlarmListModel::kDamagedName, {}, false, "", {}, ""},
    };
    ASSERT_EQ(model.rowCount(), 4);
    for (int r = 0; r < 4; ++r) {
        const Row& want = rows[r];
        const auto cell = [&](int column, int role) { return model.index(r, column).data(role); };
        EXPECT_EQ(cell(2, Qt::DisplayRole).toString(), want.name) << r;
        EXPECT_EQ(cell(0, Qt::CheckStateRole), want.check) << r;
        EXPECT_EQ(bool(model.flags(model.index(r, 0)) & Qt::ItemIsUserCheckable), want.checkable)
            << r;
        EXPECT_EQ(cell(1, Qt::AccessibleTextRole).toString(), want.end) << r;
        EXPECT_EQ(cell(1, Qt::ToolTipRole).toString(), want.end) << r;
        EXPECT_EQ(cell(1, Qt::DecorationRole).isValid(), *want.end != '\0') << r;
        EXPECT_EQ(cell(3, AlarmListModel::kStripRole).toStringList(), want.strip) << r;
        EXPECT_EQ(cell(3, Qt::AccessibleTextRole).toString(), want.actions) << r;
    }
}

TEST(AlarmListModelTest, RefillShowsTheTableAndABoxShowsWhatTheTableHolds) {
    Globals g;
    AlarmListModel model(g, nullptr);
    model.Refill();
    ASSERT_EQ(model.rowCount(), 1);
    EXPECT_EQ(model.index(0, 2).data().toString(), "Please click on Add Alarms to create alarms.");
    EXPECT_FALSE(model.flags(model.index(0, 0)) & Qt::ItemIsUserCheckable);

    g.AlarmCount = 2;
    g.ResetAlarmTable(2);
    g.AlarmTable[1] = Simple("A", true, kEndNever);
    g.AlarmTable[2] = Simple("B", true, kEndNever);
    model.Refill();
    ASSERT_EQ(model.rowCount(), 2);
    EXPECT_EQ(model.index(1, 2).data().toString(), "B");

    // The handler refuses the first change and takes the second.
    QSignalSpy toggled(&model, &AlarmListModel::EnabledToggled);
    bool take = false;
    QObject::connect(&model, &AlarmListModel::EnabledToggled, [&](int alarm, bool enabled) {
        if (take) g.AlarmTable[alarm].enabled = enabled;
    });
    EXPECT_TRUE(model.setData(model.index(1, 0), Qt::Unchecked, Qt::CheckStateRole));
    EXPECT_EQ(model.index(1, 0).data(Qt::CheckStateRole), Qt::Checked);
    take = true;
    EXPECT_TRUE(model.setData(model.index(1, 0), Qt::Unchecked, Qt::CheckStateRole));
    EXPECT_EQ(model.index(1, 0).data(Qt::CheckStateRole), Qt::Unchecked);
    ASSERT_EQ(toggled.size(), 2);
    EXPECT_EQ(toggled[1], (QVariantList{2, false}));

    // A row the table no longer has shows nothing until the refill drops it.
    g.AlarmCount = 1;
    EXPECT_FALSE(model.index(1, 2).data().isValid());
    model.Refill();
    EXPECT_EQ(model.rowCount(), 1);
}

}  // namespace
}  // namespace ringmere::ui
