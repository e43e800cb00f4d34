// The additional options dialog driven headless: its OK in order, stopping at
// the first failure; logging; the colour boxes and their preview; the Options
// menu and the first showing's wizard hook.
#include <gtest/gtest.h>
#include <QAction>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QSpinBox>
#include <QTableView>
#include <QTemporaryDir>

#include "core/alarmfile.h"
#include "core/fileio.h"
#include "core/settings.h"
#include "tests/run/fake_services.h"
#include "tests/ui/list_cells.h"
#include "ui/addoptions.h"
#include "ui/alarm.h"
#include "widgets/calendar.h"

namespace ringmere::ui {
namespace {

using namespace testing;

class FakeAutoStart final : public AutoStartEntry {
public:
    std::optional<std::string> Read() const override { return entry; }
    bool Write(const std::string& program, const std::string& argument,
               std::string& error) override {
        if (fail) return error = "denied", false;
        entry = program + " " + argument;
        return true;
    }
    bool Remove(std::string& error) override {
        if (fail) return error = "denied", false;
        entry.reset();
        return true;
    }
    std::optional<std::string> entry;
    bool fail = false;
};

constexpr Integer kRed = 0x0000FF;  // stored as 0x00BBGGRR

class OptionsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        g_.ProgramDir = QDir(dir_.path()).absolutePath().toStdString() + "/";
        SetDefaultSettings(g_);
        g_.ResetAlarmTable(0);
        g_.Settings.AutoStart = false;
        owner_.resize(600, 500);
    }
    void TearDown() override { fakes_.log.Close(); }

    std::unique_ptr<TfrmAdditional> Make() {
        return std::make_unique<TfrmAdditional>(
            g_, fakes_.Handed(), autoStart_, "/opt/ringmere/ringmere", &owner_,
            [this](QWidget*, const QColor&) -> std::optional<QColor> {
                ++chooserAsked_;
                return chooserAnswer_;
            });
    }
    template <class T>
    static T* Find(QWidget* w, const char* name) {
        T* found = w->findChild<T*>(QString::fromLatin1(name));
        EXPECT_TRUE(found) << name;
        return found;
    }
    // Every control moved away from the settings.
    static void ChangeEverything(QWidget* d, const QString& timeout) {
        Find<QCheckBox>(d, "chkAuto")->setChecked(true);
        Find<QLineEdit>(d, "teTSTO")->setText(timeout);
        Find<QCheckBox>(d, "chkWake")->setChecked(true);
        Find<QCheckBox>(d, "chkevdesc")->setChecked(false);
        Find<QCheckBox>(d, "chkenablelogging")->setChecked(true);
        auto* back = Find<QComboBox>(d, "cbBackground");
        back->setCurrentIndex(back->findText("Red"));
    }
    std::string Log() const { return g_.ProgramDir + "allog.txt"; }
    std::string File() const { return g_.Settings.AlarmFile; }

    QTemporaryDir dir_;
    Globals g_;
    run::testing::FakeServices fakes_{g_};
    FakeAutoStart autoStart_;
    QWidget owner_;
    int chooserAsked_ = 0;
    std::optional<QColor> chooserAnswer_;
};

TEST_F(OptionsTest, OkAppliesInOrderAndStopsAtTheFirstFailure) {
    const QString nonNumeric = "Invalid timeout value - non-numeric characters";
    const QString outOfRange = "Invalid timeout valid. Value must be between 5 and 30.";
    const QString entryFailed = "Could not write the start-at-log-on entry: denied";
    struct Case {
        QString timeout;
        bool entryFails;
        QString message;  // empty: everything applied
    };
    for (const Case& c : {Case{"12", false, ""}, Case{"5", false, ""}, Case{" 30 ", false, ""},
                          Case{"abc", false, nonNumeric}, Case{"", false, nonNumeric},
                          Case{"40", false, outOfRange}, Case{"4", false, outOfRange},
                          Case{"12", true, entryFailed}}) {
        SCOPED_TRACE(c.timeout.toStdString() + (c.entryFails ? " entry fails" : ""));
        SetUp();
        fakes_.dialogs.shown.clear();
        fakes_.settings.Clear();
        autoStart_ = FakeAutoStart{};
        autoStart_.fail = c.entryFails;
        std::remove(File().c_str());
        const SettingsRec before = g_.Settings;

        auto d = Make();
        ChangeEverything(d.get(), c.timeout);
        d->Ok();
        EXPECT_EQ(d->result(), QDialog::Accepted);  // every OK closes

        const SettingsRec& s = g_.Settings;
        EXPECT_TRUE(s.AutoStart);  // the first step, made before any check
        EXPECT_EQ(autoStart_.entry.has_value(), !c.entryFails);
        EXPECT_EQ(autoStart_.entry.value_or("/opt/ringmere/ringmere startup"),
                  "/opt/ringmere/ringmere startup");
        const bool applied = c.message.isEmpty();
        EXPECT_EQ(s.TimeServerTO, applied ? c.timeout.trimmed().toInt() : before.TimeServerTO);
        EXPECT_EQ(s.allowWake, applied);
        EXPECT_EQ(s.dispevdesc, !applied);
        EXPECT_EQ(s.enablelogging, applied);
        EXPECT_EQ(FileExists(Log()), applied);
        EXPECT_EQ(s.monthBackColor, applied ? kRed : before.monthBackColor);
        EXPECT_EQ(FileExists(File()), applied);
        EXPECT_EQ(fakes_.settings.ReadValue(kSettingsKey, "TimeServerTO").has_value(), applied);
        if (applied) {
            EXPECT_TRUE(fakes_.dialogs.shown.isEmpty());
            Globals back;
            back.ProgramDir = g_.ProgramDir;
            SetDefaultSettings(back);
            CollectingReporter said;
            ASSERT_EQ(ReadAlarmFile(back, {.followClient = false}, said), kFileDone);
            EXPECT_TRUE(back.Settings.allowWake);
            EXPECT_TRUE(back.Settings.enablelogging);
            EXPECT_EQ(back.Settings.monthBackColor, kRed);
        } else {
            ASSERT_EQ(fakes_.dialogs.shown.size(), 1);
            EXPECT_EQ(fakes_.dialogs.shown[0].text, c.message);
            EXPECT_EQ(fakes_.dialogs.shown[0].topLeft, d->frameGeometry().topLeft());
        }
        fakes_.log.Close();
        std::remove(Log().c_str());
    }
}

TEST_F(OptionsTest, UncheckingRemovesTheEntryAndLoggingFollowsTheBox) {
    g_.Settings.AutoStart = true;
    autoStart_.entry = "/opt/ringmere/ringmere startup";
    auto d = Make();
    EXPECT_TRUE(Find<QCheckBox>(d.get(), "chkAuto")->isChecked());
    Find<QCheckBox>(d.get(), "chkAuto")->setChecked(false);
    Find<QCheckBox>(d.get(), "chkenablelogging")->setChecked(true);
    d->Ok();
    EXPECT_FALSE(g_.Settings.AutoStart);
    EXPECT_FALSE(autoStart_.entry);
    EXPECT_TRUE(fakes_.log.IsOpen());
    EXPECT_TRUE(FileExists(Log()));

    auto again = Make();
    Find<QCheckBox>(again.get(), "chkenablelogging")->setChecked(false);
    again->Ok();
    EXPECT_FALSE(fakes_.log.IsOpen());
    EXPECT_FALSE(g_.Settings.enablelogging);
}

TEST_F(OptionsTest, TheLateLimitGoesToTheSettingsStoreOnly) {
    struct Case {
        int stored;  // kNoLateLimit, or minutes; -2: nothing stored
        bool tick;
        int minutes;
        int saved;
    };
    const Case cases[] = {
        {-2, false, 25, 25}, {-2, true, 25, kNoLateLimit}, {kNoLateLimit, false, 0, 0},
        {30, false, 30, 30},
    };
    for (const Case& c : cases) {
        fakes_.settings.Clear();
        std::string error;
        if (c.stored != -2) ASSERT_TRUE(SaveLateLimit(fakes_.settings, c.stored, error));
        auto d = Make();
        auto* spin = Find<QSpinBox>(d.get(), "seLateLimit");
        auto* none = Find<QCheckBox>(d.get(), "chkLateNoLimit");
        EXPECT_EQ(none->isChecked(), c.stored == kNoLateLimit);
        EXPECT_EQ(spin->value(), c.stored >= 0 ? c.stored : kDefaultLateLimit);
        EXPECT_EQ(spin->isEnabled(), !none->isChecked());
        none->setChecked(c.tick);
        EXPECT_EQ(spin->isEnabled(), !c.tick);
        spin->setValue(c.minutes);
        d->Ok();
        EXPECT_EQ(ReadLateLimit(fakes_.settings), c.saved);
        EXPECT_EQ(ReadWholeFile(g_.Settings.AlarmFile).value_or("").find("Late"), std::string::npos);
    }
}

TEST_F(OptionsTest, CancelChangesNothing) {
    const SettingsRec before = g_.Settings;
    auto d = Make();
    ChangeEverything(d.get(), "12");
    d->reject();
    EXPECT_EQ(g_.Settings, before);
    EXPECT_FALSE(autoStart_.entry);
    EXPECT_FALSE(FileExists(File()));
}

TEST_F(OptionsTest, ColourBoxesShowTheSettingsAndColourThePreviewAtOnce) {
    g_.Settings.textColor = 0x123456;  // no name: gets an entry of its own
    auto d = Make();
    auto* text = Find<QComboBox>(d.get(), "cbTextColor");
    auto* trailing = Find<QComboBox>(d.get(), "cbTrailingDates");
    EXPECT_EQ(d->BoxColour(Find<QComboBox>(d.get(), "cbBackground")), kColorWindow);
    EXPECT_EQ(d->BoxColour(text), 0x123456);
    EXPECT_EQ(d->BoxColour(trailing), kColorWhite);
    auto* view = Find<QCalendarWidget>(d.get(), "calPreview")->findChild<QTableView*>();
    ASSERT_TRUE(view);

    trailing->setCurrentIndex(trailing->findText("Red"));
    EXPECT_EQ(view->palette().color(QPalette::Disabled, QPalette::Text), QColor(255, 0, 0));
    auto* back = Find<QComboBox>(d.get(), "cbBackground");
    back->setCurrentIndex(back->findText("Navy"));
    EXPECT_EQ(view->palette().color(QPalette::Base), QColor(0, 0, 128));

    // "Custom..." asks the chooser; a cancelled choice keeps the colour.
    back->setCurrentIndex(back->count() - 1);
    EXPECT_EQ(chooserAsked_, 1);
    EXPECT_EQ(d->BoxColour(back), Integer(0x800000));
    EXPECT_EQ(back->currentText(), "Navy");
    chooserAnswer_ = QColor(1, 2, 3);
    back->setCurrentIndex(back->count() - 1);
    EXPECT_EQ(d->BoxColour(back), Integer(0x030201));
    EXPECT_EQ(view->palette().color(QPalette::Base), QColor(1, 2, 3));

    d->Ok();
    EXPECT_EQ(g_.Settings.monthBackColor, 0x030201);
    EXPECT_EQ(g_.Settings.trailingTextColor, kRed);
    EXPECT_EQ(g_.Settings.textColor, 0x123456);
}

TEST_F(OptionsTest, MenuItemsFollowTheirHooksAndTheFirstShowingRunsTheWizard) {
    run::testing::FakeServices fakes(g_);
    {
        MainWindowHooks none;
        none.trayAvailable = [] { return false; };
        TfrmAlMain bare(g_, fakes.Handed(), none);
        EXPECT_FALSE(Find<QAction>(&bare, "AdditionalOptions1")->isEnabled());
        EXPECT_FALSE(Find<QAction>(&bare, "emailSettings1")->isEnabled());
        g_.NoAlarmFile = true;
        bare.FirstShowing();  // no wizard: nothing written
        EXPECT_FALSE(FileExists(g_.LocalAlarmFilePath()));
    }
    QStringList opened;
    MainWindowHooks hooks;
    hooks.trayAvailable = [] { return false; };
    hooks.openAdditionalOptions = [&](QWidget*) { opened << "options"; };
    hooks.openEmailSettings = [&](QWidget*) { opened << "email"; };
    // The wizard's stand-in writes a file with one alarm.
    hooks.runStartupWizard = [&](QWidget*) {
        opened << "wizard";
        Globals written = g_;
        written.AlarmCount = 1;
        written.ResetAlarmTable(1);
        written.AlarmTable[1].AlName = "From the wizard";
        SilentReporter quiet;
        WriteAlarmFile(written, written.LocalAlarmFilePath(), quiet);
    };
    TfrmAlMain w(g_, fakes.Handed(), hooks);
    Find<QAction>(&w, "AdditionalOptions1")->trigger();
    Find<QAction>(&w, "emailSettings1")->trigger();
    g_.NoAlarmFile = true;
    w.FirstShowing();
    w.FirstShowing();  // once only
    EXPECT_EQ(opened, QStringList({"options", "email", "wizard"}));
    EXPECT_EQ(g_.AlarmCount, 1);
    EXPECT_EQ(CellText(Find<QTableView>(&w, "grAlarms"), 0, 2), "From the wizard");
}

}  // namespace
}  // namespace ringmere::ui
