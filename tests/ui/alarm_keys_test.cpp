// The main window driven from the keyboard alone, headless.
#include <gtest/gtest.h>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QListWidget>
#include <QStackedWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QToolTip>
#include <functional>

#include "tests/run/fake_services.h"
#include "ui/alarm.h"
#include "widgets/dialogs.h"

namespace ringmere::ui {
namespace {

AlRec Daily(const std::string& name) {
    AlRec a;
    a.AlName = name;
    a.enabled = true;
    a.Music->MuType = 3;
    a.Schedule.AlXDays = 1;
    a.Schedule.AlEndType = 1;
    a.Schedule.AlStartDate = EncodeDate(2026, 1, 1);
    a.Schedule.AlTime = EncodeTime(9, 0, 0);
    return a;
}

class AlarmKeysTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        g_.ProgramDir = QDir(dir_.path()).absolutePath().toStdString() + "/";
        SetDefaultSettings(g_);
        g_.AlarmCount = 2;
        g_.ResetAlarmTable(2);
        g_.AlarmTable[1] = Daily("Tea");
        g_.AlarmTable[2] = Daily("Post");
        MainWindowHooks hooks;
        hooks.openRunWindow = [this](int index, const QString&) { runs_.push_back(index); };
        hooks.trayAvailable = [] { return false; };
        hooks.quit = [this] { ++quits_; };
        hooks.openEditor = [this](QWidget*, const AlarmEditRequest& request) {
            editor_.push_back(request);
            return std::nullopt;
        };
        window_ = std::make_unique<TfrmAlMain>(g_, fakes_.Handed(), hooks);
        window_->show();
        QApplication::setActiveWindow(window_.get());
        list_ = window_->findChild<QTableView*>(QStringLiteral("grAlarms"));
        ASSERT_TRUE(list_);
        list_->setFocus();
    }

    using Opened = AlarmEditRequest;
    using Mode = AlarmEditRequest::Mode;

    QTemporaryDir dir_;
    Globals g_;
    run::testing::FakeServices fakes_{g_};
    std::unique_ptr<TfrmAlMain> window_;
    QTableView* list_ = nullptr;
    std::vector<Opened> editor_;
    std::vector<int> runs_;
    int quits_ = 0;
};

TEST_F(AlarmKeysTest, ShortcutsRunTheCommandsOnTheSelectedAlarm) {
    struct Case {
        const char* what;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        std::function<bool()> happened;
    } cases[] = {
        {"Ctrl+N adds", Qt::Key_N, Qt::ControlModifier,
         [this] {
             return editor_ == std::vector<Opened>{{Mode::Add, 0}};
         }},
        {"Return edits", Qt::Key_Return, Qt::NoModifier,
         [this] {
             return editor_ == std::vector<Opened>{{Mode::Edit, 2}};
         }},
        {"Enter edits", Qt::Key_Enter, Qt::KeypadModifier,
         [this] {
             return editor_ == std::vector<Opened>{{Mode::Edit, 2}};
         }},
        {"Ctrl+D duplicates", Qt::Key_D, Qt::ControlModifier,
         [this] {
             return editor_ == std::vector<Opened>{{Mode::Duplicate, 2}};
         }},
        {"Ctrl+T tests", Qt::Key_T, Qt::ControlModifier,
         [this] { return runs_ == std::vector<int>{2}; }},
        {"F1 opens the help", Qt::Key_F1, Qt::NoModifier,
         [this] {
             // Either the page opens or the user hears it is missing.
             const auto& shown = fakes_.dialogs.shown;
             return fakes_.desktop.opened.size() == 1 ||
                    (shown.size() == 1 && shown[0].text.startsWith("Unable to find help file"));
         }},
        {"Ctrl+Q ends the program", Qt::Key_Q, Qt::ControlModifier, [this] { return quits_ == 1; }},
    };
    for (const Case& c : cases) {
        editor_.clear();
        runs_.clear();
        fakes_.dialogs.shown.clear();
        fakes_.desktop.opened.clear();
        list_->selectRow(1);
        QTest::keyClick(list_, c.key, c.modifiers);
        EXPECT_TRUE(c.happened()) << c.what;
        EXPECT_EQ(g_.AlarmCount, 2) << c.what;
    }
}

TEST_F(AlarmKeysTest, DeleteAsksFirst) {
    list_->selectRow(0);
    fakes_.dialogs.answers = {widgets::Answer::Cancel, widgets::Answer::Ok};
    QTest::keyClick(list_, Qt::Key_Delete);
    ASSERT_EQ(fakes_.dialogs.shown.size(), 1u);
    EXPECT_EQ(fakes_.dialogs.shown[0].text, "Are you sure you want to delete the alarm \"Tea\"?");
    EXPECT_EQ(g_.AlarmCount, 2);
    QTest::keyClick(list_, Qt::Key_Delete);
    EXPECT_EQ(g_.AlarmCount, 1);
    EXPECT_EQ(g_.AlarmTable[1].AlName, "Post");
}

TEST_F(AlarmKeysTest, NoRowNoCommand) {
    list_->clearSelection();
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Delete}) QTest::keyClick(list_, key);
    QTest::keyClick(list_, Qt::Key_T, Qt::ControlModifier);
    EXPECT_TRUE(editor_.empty());
    EXPECT_TRUE(runs_.empty());
    EXPECT_TRUE(fakes_.dialogs.shown.empty());
}

TEST_F(AlarmKeysTest, SideBarArrowsChangeThePage) {
    auto* bar = window_->findChild<QListWidget*>(QStringLiteral("dxSideBar1"));
    auto* pages = window_->findChild<QStackedWidget*>(QStringLiteral("Notebook11"));
    ASSERT_TRUE(bar && pages);
    bar->setFocus();
    QTest::keyClick(bar, Qt::Key_Down);
    EXPECT_EQ(pages->currentIndex(), 1);
    QTest::keyClick(bar, Qt::Key_Down);
    EXPECT_EQ(pages->currentIndex(), 2);
    // Commands of the alarm list are off away from it, keys included.
    QTest::keyClick(bar, Qt::Key_N, Qt::ControlModifier);
    EXPECT_TRUE(editor_.empty());
    QTest::keyClick(bar, Qt::Key_Up);
    QTest::keyClick(bar, Qt::Key_Up);
    EXPECT_EQ(pages->currentIndex(), 0);
}

TEST_F(AlarmKeysTest, ShiftF1ShowsTheActionHintsOfTheSelectedAlarm) {
    g_.AlarmTable[2].Music->MuType = kMusicWave;
    g_.AlarmTable[2].Music->Wav.wavfile = "/sounds/bell.wav";
    const QString hint = QStringLiteral("Play /sounds/bell.wav");
    // Hints off, then a row without actions: nothing; then the hint.
    g_.Settings.dispevdesc = false;
    list_->selectRow(1);
    QTest::keyClick(list_, Qt::Key_F1, Qt::ShiftModifier);
    EXPECT_NE(QToolTip::text(), hint);
    g_.Settings.dispevdesc = true;
    list_->selectRow(0);
    QTest::keyClick(list_, Qt::Key_F1, Qt::ShiftModifier);
    EXPECT_NE(QToolTip::text(), hint);
    list_->selectRow(1);
    QTest::keyClick(list_, Qt::Key_F1, Qt::ShiftModifier);
    EXPECT_EQ(QToolTip::text(), hint);
}

TEST_F(AlarmKeysTest, IconColumnsHaveNamesAndHints) {
    for (const auto& [name, column] : {std::pair{"grAlarms", 0}, std::pair{"grAlarms", 1},
                                       std::pair{"grAlarms", 3}, std::pair{"grEvents", 0}}) {
        auto* list = window_->findChild<QTableView*>(QString::fromLatin1(name));
        ASSERT_TRUE(list);
        const QVariant accessible =
            list->model()->headerData(column, Qt::Horizontal, Qt::AccessibleTextRole);
        const QVariant hint = list->model()->headerData(column, Qt::Horizontal, Qt::ToolTipRole);
        EXPECT_FALSE(accessible.toString().isEmpty()) << name << column;
        EXPECT_FALSE(hint.toString().isEmpty()) << name << column;
    }
}

TEST_F(AlarmKeysTest, IconCellsNameEachRow) {
    g_.AlarmTable[1].Schedule.AlEndType = kEndOnce;
    g_.AlarmTable[2].Schedule.AlEndType = kEndAtDate;
    g_.AlarmTable[2].Music->MuType = kMusicWave;
    g_.AlarmTable[2].Music->Wav.wavfile = "/sounds/bell.wav";
    window_->LoadList();
    const auto cell = [this](int row, int column, int role) {
        return list_->model()->index(row, column).data(role).toString().toStdString();
    };
    EXPECT_EQ(cell(0, 1, Qt::AccessibleTextRole), "Once");
    EXPECT_EQ(cell(0, 1, Qt::ToolTipRole), "Once");
    EXPECT_EQ(cell(1, 1, Qt::AccessibleTextRole), "Until an end date");
    EXPECT_EQ(cell(0, 3, Qt::AccessibleTextRole), "No actions");
    EXPECT_EQ(cell(1, 3, Qt::AccessibleTextRole), "sound file");
}

}  // namespace
}  // namespace ringmere::ui
