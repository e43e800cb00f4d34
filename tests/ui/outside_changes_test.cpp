// Another program changes the alarm file while the program runs: it is read
// again (never after the program's own saves), and an open editor's OK finds
// its alarm by name.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>
#include <fstream>

#include "core/alarmfile.h"
#include "core/fileio.h"
#include "tests/run/fake_services.h"
#include "ui/alarmset.h"
#include "ui/outside_changes.h"
#include "widgets/dialogs.h"

namespace ringmere::ui {
namespace {

AlRec Daily(const std::string& name) {
    AlRec a;
    a.AlName = name;
    a.enabled = true;
    a.snoozeming = 10;
    a.Music->MuType = kMusicSilent;
    a.Schedule.AlType = kEveryXDays;
    a.Schedule.AlXDays = 1;
    a.Schedule.AlEndType = kEndNever;
    a.Schedule.AlStartDate = EncodeDate(2026, 1, 1);
    a.Schedule.AlTime = EncodeTime(9, 0, 0);
    return a;
}

template <class Done>
bool SpinUntil(Done done, int ms = 10000) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > ms) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

class OutsideChangesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        g_.ProgramDir = QDir(dir_.path()).absolutePath().toStdString() + "/";
        SetDefaultSettings(g_);
        ASSERT_EQ(g_.Settings.AlarmFile, g_.LocalAlarmFilePath());
        fakes_.clock.SetNow(EncodeDate(2026, 12, 9) + EncodeTime(8, 0, 0));
        Outside({"Tea"}, true);
        CollectingReporter said;
        ASSERT_EQ(ReadOwnAlarmFile(g_, said), kFileDone);
    }

    // What another program writes: by rename, or over the file in place.
    void Outside(const std::vector<std::string>& names, bool rename) {
        Globals other;
        other.ProgramDir = g_.ProgramDir;
        SetDefaultSettings(other);
        other.AlarmCount = Integer(names.size());
        other.ResetAlarmTable(other.AlarmCount);
        for (std::size_t i = 0; i < names.size(); ++i) other.AlarmTable[i + 1] = Daily(names[i]);
        WriteRaw(FormatAlarmFile(other), rename);
    }
    void WriteRaw(const std::string& text, bool rename) {
        const std::string path = g_.LocalAlarmFilePath();
        const std::string to = rename ? path + ".other" : path;
        std::ofstream(to, std::ios::binary | std::ios::trunc) << text;
        if (rename) ASSERT_EQ(std::rename(to.c_str(), path.c_str()), 0);
    }
    std::vector<std::string> Names() const {
        std::vector<std::string> out;
        for (Integer i = 1; i <= g_.AlarmCount; ++i) out.push_back(g_.AlarmTable[i].AlName);
        return out;
    }
    std::unique_ptr<AlarmFileFollower> Follow() {
        auto f = std::make_unique<AlarmFileFollower>(g_, fakes_.Handed(), [this] { ++refills_; });
        f->status = [this](const QString& text) { status_ = text; };
        return f;
    }

    QTemporaryDir dir_;
    Globals g_;
    run::testing::FakeServices fakes_{g_};
    int refills_ = 0;
    QString status_;
};

using NameList = std::vector<std::string>;

// Each step changes the file (or not) and says what a look must find.
TEST_F(OutsideChangesTest, OutsideWritesAreReadAndOwnSavesAreNot) {
    auto follower = Follow();
    struct Step {
        const char* what;
        std::function<void()> change;
        bool read;
        NameList names;
    };
    const Step steps[] = {
        {"nothing changed", [] {}, false, {"Tea"}},
        {"replaced by rename", [&] { Outside({"Tea", "Walk"}, true); }, true, {"Tea", "Walk"}},
        {"rewritten in place", [&] { Outside({"Walk"}, false); }, true, {"Walk"}},
        {"our own save",
         [&] {
             g_.AlarmTable[1].AlName = "Run";
             CollectingReporter said;
             ASSERT_EQ(SaveAlarmFile(g_, g_.Settings.AlarmFile, said), kFileDone);
         },
         false,
         {"Run"}},
        {"cut short by another program",
         [&] { WriteRaw(FormatAlarmFile(g_).substr(0, 200), true); }, false, {"Run"}},
        {"whole again", [&] { Outside({"Tea", "Run"}, true); }, true, {"Tea", "Run"}},
    };
    int refills = 0;
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        s.change();
        EXPECT_EQ(follower->Check(), s.read);
        EXPECT_EQ(Names(), s.names);
        refills += s.read;
        EXPECT_EQ(refills_, refills);
    }
    // The cut file was told, and the alarms kept.
    EXPECT_TRUE(status_.contains("not read again")) << status_.toStdString();
}

// Without anyone calling Check: the watch sees each of several renames, so
// it is armed again after every one.
TEST_F(OutsideChangesTest, TheWatchFollowsOneRenameAfterAnother) {
    auto follower = Follow();
    for (const NameList& names : {NameList{"A"}, NameList{"A", "B"}, NameList{"C"}}) {
        Outside(names, true);
        EXPECT_TRUE(SpinUntil([&] { return Names() == names; }));
    }
    EXPECT_EQ(refills_, 3);
}

// An editor open while the file changed: OK applies to the alarm where it
// now stands, or, when it is gone, asks to add it.
TEST_F(OutsideChangesTest, AnOpenEditorsOkFindsItsAlarmByName) {
    using widgets::Answer;
    struct Case {
        const char* what;
        NameList outside;
        QList<Answer> answers;
        bool accepted;
        NameList after;
    };
    const Case cases[] = {
        {"moved down", {"Walk", "Tea"}, {}, true, {"Walk", "Tea 2"}},
        {"deleted, added again", {"Walk"}, {Answer::Ok}, true, {"Walk", "Tea 2"}},
        {"deleted, kept editing", {"Walk"}, {Answer::Cancel}, false, {"Walk"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Outside({"Tea"}, true);
        CollectingReporter said;
        ASSERT_EQ(ReadOwnAlarmFile(g_, said), kFileDone);
        auto follower = Follow();
        fakes_.dialogs.shown.clear();
        fakes_.dialogs.answers = c.answers;
        TfrmAddAlarm editor(g_, fakes_.Handed(), {AlarmEditRequest::Mode::Edit, 1}, nullptr);
        editor.findChild<QLineEdit*>(QStringLiteral("teAlName"))->setText(QStringLiteral("Tea 2"));
        Outside(c.outside, true);
        ASSERT_TRUE(follower->Check());
        editor.BitBtn1Click();
        EXPECT_EQ(editor.result() == QDialog::Accepted, c.accepted);
        EXPECT_EQ(Names(), c.after);
        EXPECT_EQ(fakes_.dialogs.shown.size(), c.answers.size())
            << (fakes_.dialogs.shown.isEmpty() ? "" : fakes_.dialogs.shown[0].text.toStdString());
        // What OK saved is in the file, and is no outside change.
        if (c.accepted) EXPECT_FALSE(follower->Check());
    }
}

}  // namespace
}  // namespace ringmere::ui
