// A run window stays usable whatever dialog is open: each dialog of the
// program is opened as the user opens it, then a run window is snoozed and
// closed with real mouse clicks and keys while the dialog waits.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

#include "core/settings.h"
#include "net/alemail.h"
#include "net/alstartup.h"
#include "net/netconfig.h"
#include "net/shared_reload.h"
#include "ui/addoptions.h"
#include "ui/alarm.h"
#include "ui/alarmset.h"
#include "tests/run/fake_services.h"
#include "widgets/dialogs.h"

namespace ringmere::app {
namespace {

using run::TfrmActiveAlarm;

class NoAutoStart final : public AutoStartEntry {
public:
    std::optional<std::string> Read() const override { return std::nullopt; }
    bool Write(const std::string&, const std::string&, std::string&) override { return true; }
    bool Remove(std::string&) override { return true; }
};

class RunWindowBesideDialogs : public ::testing::Test, public run::testing::RunFixture {
protected:
    RunWindowBesideDialogs() {
        AlRec a;
        a.AlName = "Tea";
        a.AlSnooze = true;
        a.snoozeming = 5;
        a.Music->MuType = 3;
        alarm_ = Add(a);
        main_.show();
    }
    ~RunWindowBesideDialogs() override { main_.hide(); }

    // Runs `open`, then `within` while the dialog it opened is up (inside its
    // wait, when it waits), and closes that dialog.
    static void Within(const std::function<void()>& open, const std::function<void()>& within) {
        const QPointer<QWidget> before = QApplication::activeModalWidget();
        const auto run = [&] {
            const QPointer<QWidget> opened = QApplication::activeModalWidget();
            within();
            if (!opened || opened == before) return;
            if (auto* d = qobject_cast<QDialog*>(opened.data()))
                d->reject();
            else
                opened->close();
        };
        QTimer waited;
        waited.setSingleShot(true);
        QObject::connect(&waited, &QTimer::timeout, run);
        waited.start(0);
        open();
        if (!waited.isActive()) return;
        waited.stop();
        run();
    }

    static void Click(QWidget* w, const char* button) {
        auto* b = w->findChild<QPushButton*>(QString::fromLatin1(button));
        ASSERT_TRUE(b) << button;
        // Through the window, as the system delivers it: a blocked window drops it.
        QTest::mouseClick(w->windowHandle(), Qt::LeftButton, {}, b->mapTo(w, b->rect().center()));
    }
    static void Key(QWidget* w, Qt::Key key) {
        QTest::keyClick(w->windowHandle(), key);
    }

    TfrmActiveAlarm* Fire() {
        TfrmActiveAlarm* w = Open(alarm_);
        EXPECT_TRUE(QTest::qWaitForWindowExposed(w));
        clock.Advance(1000);  // its run completes
        return w;
    }

    // The top dialog is up: a run window snoozes and closes by mouse, another
    // by keyboard.
    void CheckRunWindows(const char* dialogClass) {
        QWidget* dialog = QApplication::activeModalWidget();
        ASSERT_TRUE(dialog) << "no dialog is open";
        ASSERT_TRUE(dialog->inherits(dialogClass)) << dialog->metaObject()->className();

        QPointer<TfrmActiveAlarm> byMouse = Fire();
        Click(byMouse, "btnSnooze");
        EXPECT_TRUE(byMouse->IsSnoozing()) << "Snooze clicked";
        Click(byMouse, "btnClose");
        EXPECT_TRUE(!byMouse || byMouse->IsClosed()) << "Close clicked";
        if (byMouse) byMouse->close();

        QPointer<TfrmActiveAlarm> byKeys = Fire();
        byKeys->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(byKeys));
        byKeys->findChild<QPushButton*>(QStringLiteral("btnSnooze"))->setFocus();
        Key(byKeys, Qt::Key_Space);
        EXPECT_TRUE(byKeys->IsSnoozing()) << "Space on Snooze";
        Key(byKeys, Qt::Key_Escape);
        EXPECT_TRUE(!byKeys || byKeys->IsClosed()) << "Escape";
        if (byKeys) byKeys->close();
        Flush();
    }

    int alarm_ = 0;
    ui::TfrmAlMain main_{g, services};
    std::unique_ptr<widgets::DialogService> boxes_ = widgets::NewSystemDialogs();
    NoAutoStart autoStart_;
    net::SharedFileReload reload_{g, services};
};

TEST_F(RunWindowBesideDialogs, SnoozeAndCloseWorkWhileEachDialogIsOpen) {
    using Mode = AlarmEditRequest::Mode;
    const auto editAlarm = [this] { ui::OpenAlarmEditor(g, services, {Mode::Add, 0}, &main_); };
    const auto options = [this] {
        ui::OpenAdditionalOptions(g, services, autoStart_, std::string(), &main_);
    };
    const auto globalExceptions = [this] {
        main_.findChild<QAction*>(QStringLiteral("GlobalExceptions1"))->trigger();
    };
    // Opens a dialog from inside the one that is up, with `control`.
    const auto inner = [](const char* control) {
        return [control] {
            QWidget* outer = QApplication::activeModalWidget();
            ASSERT_TRUE(outer) << "the first dialog is not open";
            if (auto* b = outer->findChild<QPushButton*>(QString::fromLatin1(control))) b->click();
            if (auto* box = outer->findChild<QComboBox*>(QString::fromLatin1(control)))
                box->setCurrentIndex(box->count() - 1);  // "Custom..."
        };
    };
    const struct {
        const char* name;
        std::function<void()> open;
        std::function<void()> openInner;  // a second dialog from the first, or none
        const char* dialogClass;
    } cases[] = {
        {"alarm editor", editAlarm, nullptr, "ringmere::ui::TfrmAddAlarm"},
        {"script step editor", editAlarm, inner("Button16"), "ringmere::ui::TfrmAddEvent"},
        {"exception editor", editAlarm, inner("btnxadd2"), "ringmere::ui::TfrmExceptions"},
        {"box over the alarm editor", editAlarm,
         [this] {
             boxes_->Message(QApplication::activeModalWidget(), widgets::BoxKind::Warning, "x");
         },
         "QMessageBox"},
        {"global exceptions", globalExceptions, nullptr, "ringmere::ui::Tfrmgexcept"},
        {"global exception editor", globalExceptions, inner("btnAddException"),
         "ringmere::ui::TfrmExceptions"},
        {"additional options", options, nullptr, "ringmere::ui::TfrmAdditional"},
        {"colour dialog", options, inner("cbBackground"), "QColorDialog"},
        {"e-mail settings", [this] { net::OpenEmailSettings(g, services, &main_); }, nullptr,
         "ringmere::net::Tfrmemail"},
        {"network configuration", [this] { net::OpenNetConfig(g, services, reload_, &main_); },
         nullptr, "ringmere::net::TfrmNetConfig"},
        {"set-up wizard", [this] { net::RunStartupWizard(g, services, &main_); }, nullptr,
         "ringmere::net::TfrmAStartUp"},
        {"message box",
         [this] { boxes_->Message(&main_, widgets::BoxKind::Confirmation, "Delete?"); }, nullptr,
         "QMessageBox"},
        {"input box", [this] { boxes_->InputText(&main_, "Name", "Name:", "Tea"); }, nullptr,
         "QInputDialog"},
        {"open file", [this] { boxes_->OpenFileName(&main_, "Open", dir.path(), "*"); }, nullptr,
         "QFileDialog"},
        {"save file", [this] { boxes_->SaveFileName(&main_, "Save", dir.path(), "*"); }, nullptr,
         "QFileDialog"},
        {"folder", [this] { boxes_->ExistingDirectory(&main_, "Folder", dir.path()); }, nullptr,
         "QFileDialog"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto check = [this, &c] { CheckRunWindows(c.dialogClass); };
        if (c.openInner)
            Within(c.open, [&] { Within(c.openInner, check); });
        else
            Within(c.open, check);
        EXPECT_FALSE(QApplication::activeModalWidget()) << "a dialog stayed open";
        while (QWidget* left = QApplication::activeModalWidget()) left->close();
        Flush();  // a dialog that deletes itself on closing is gone before the next opens
    }
}

}  // namespace
}  // namespace ringmere::app
