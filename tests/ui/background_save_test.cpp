// The alarm editor's OK with the program's background save: the dialog
// closes at once, the file follows, a failure is told when it is known.
#include "widgets/background_save.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QLineEdit>
#include <QTemporaryDir>

#include "core/fileio.h"
#include "tests/run/fake_services.h"
#include "ui/alarmset.h"

namespace ringmere::ui {
namespace {

TEST(BackgroundSaveTest, TheEditorsOkIsWrittenAfterwardsAndAFailureTold) {
    for (const bool writable : {true, false}) {
        SCOPED_TRACE(writable ? "writable" : "missing folder");
        QTemporaryDir dir;
        Globals g;
        g.ProgramDir = QDir(dir.path()).absolutePath().toStdString() + "/";
        SetDefaultSettings(g);
        if (!writable) g.Settings.AlarmFile = g.ProgramDir + "missing/alfile.ini";
        run::testing::FakeServices fakes(g);
        widgets::BackgroundSave save(fakes.dialogs);
        Services services = fakes.Handed();
        services.save = &save;
        for (const char* name : {"Walk", "Tea"}) {
            TfrmAddAlarm editor(g, services, {AlarmEditRequest::Mode::Add}, nullptr);
            editor.findChild<QLineEdit*>(QStringLiteral("teAlName"))->setText(name);
            editor.BitBtn1Click();
            ASSERT_EQ(editor.result(), QDialog::Accepted);
        }
        save.Finish();
        ASSERT_EQ(g.AlarmCount, 2);
        EXPECT_EQ(g.AlarmTable[2].AlName, "Tea");
        if (writable) {
            EXPECT_TRUE(fakes.dialogs.shown.isEmpty());
            EXPECT_EQ(ReadWholeFile(g.Settings.AlarmFile).value_or(""), FormatAlarmFile(g));
        } else {
            ASSERT_FALSE(fakes.dialogs.shown.isEmpty());
            EXPECT_EQ(fakes.dialogs.shown.last().kind, widgets::BoxKind::Warning);
            EXPECT_TRUE(fakes.dialogs.shown.last().text.endsWith("The change was not saved."));
        }
    }
}

}  // namespace
}  // namespace ringmere::ui
