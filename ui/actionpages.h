// One page per action kind: sound, dial-up, launch and web, mail, time
// sync, FTP and file operation. Each binds the controls of its action in an
// editor's form by their names, and owns their rules, browse buttons and
// test buttons; the alarm editor's action tabs and the step editor's stack
// both use them. A control only one editor has (the alarm editor's
// "Perform FTP Transfer", "No Operation", "Silent", ...) is simply not there
// in the other.
#pragma once

#include <QObject>
#include <QString>
#include <memory>
#include <string>
#include <vector>

#include "core/action_forms.h"
#include "core/alarm_form.h"
#include "core/form_checks.h"
#include "core/globals.h"
#include "run/services.h"
#include "run/waiting.h"
#include "ui/actionkit.h"

class QAbstractButton;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QStackedWidget;
class QTabWidget;
class QWidget;

namespace ringmere {
namespace run {
class DialTest;
class SmtpClient;
}  // namespace run

namespace ui {

// What every page is given: the controls' window, where its file dialogs
// and boxes open.
struct PageContext {
    Services services;
    QWidget* root;   // holds the page's controls
    QWidget* owner;  // file dialogs open over it
    ShowBox box;
};

class ActionPage : public QObject {
    Q_OBJECT

public:
    explicit ActionPage(const PageContext& context);

    // Enabled states, shown pages and labels that follow the ticks and choices.
    void ApplyRules();

protected:
    template <class T = QWidget>
    T* Need(const char* name) const;
    // A control only one of the editors has; null in the other.
    template <class T = QWidget>
    T* Maybe(const char* name) const;
    // Enables `targets` while `trigger` is checked (`whenChecked`) or not;
    // a rule whose trigger this editor lacks is left out. The controls are
    // named one by one, not through a panel: number fields and their arrows
    // keep each other's state.
    void AddRule(const char* trigger, bool whenChecked, std::vector<const char*> targets);
    // Every tick and choice of the page applies the rules when it changes.
    void FollowToggles(std::vector<QAbstractButton*> buttons);
    void BrowseFile(QPushButton* button, QLineEdit* field, const QString& dir,
                    const QString& filter);
    // Arrows beside a number field, within `range`.
    void Arrows(const char* arrows, QLineEdit* field, FieldRange range);
    void Warn(const QString& text) const;
    virtual void ApplyOwnRules() {}

    PageContext c_;

private:
    struct Rule {
        QAbstractButton* trigger;
        bool whenChecked;
        std::vector<QWidget*> targets;
    };
    std::vector<Rule> rules_;
};

// "Musical Alarm": MP3, wave or CD (and, in the alarm editor, silence) with
// the test players.
class SoundPage : public ActionPage {
    Q_OBJECT

public:
    explicit SoundPage(const PageContext& context);
    ~SoundPage() override;

    void Load(const SoundForm& form);
    void Store(SoundForm& form) const;
    void StopTests();
    // The controls are going while a sound may still play.
    void ControlsGone();
    // The drive the form holds, else the first; a letter this machine lacks
    // is added.
    void SelectStoredDrive();

private:
    void ApplyOwnRules() override;
    void FillDrives();

    QRadioButton *mp3_, *wav_, *cd_, *silent_;
    QWidget *mp3Page_, *wavPage_, *cdPage_, *silentPage_;
    QStackedWidget* notebook_;
    QLineEdit *mp3File_, *wavFile_, *seconds_, *track_;
    QRadioButton *once_, *untilStopped_, *forSeconds_, *listedTrack_, *randomTrack_;
    QComboBox* drive_;
    SoundForm loaded_;
    std::unique_ptr<TestPlayers> players_;
};

// Dial-up: the connection, redials, the choice, and the test dial.
class DialPage : public ActionPage {
    Q_OBJECT

public:
    explicit DialPage(const PageContext& context);
    ~DialPage() override;

    void Load(const DialForm& form, DialChoice choice);
    void Store(DialForm& form) const;
    DialChoice Choice() const;
    // The connection list's first need: the system's connections.
    void FillList();
    void StopTests();

private:
    void TestDial(bool dial);

    QComboBox* connection_;
    QLineEdit* redial_;
    QLabel* status_;
    QRadioButton *connect_, *disconnect_, *none_;
    DialForm loaded_;
    bool filled_ = false;
    std::unique_ptr<run::DialTest> dialTest_;
};

// Programs (three in the alarm editor, one in a step) and the web page.
class LaunchPage : public ActionPage {
    Q_OBJECT

public:
    explicit LaunchPage(const PageContext& context);

    void Load(const LaunchForm& form);
    void Store(LaunchForm& form) const;

private:
    run::OpenFailed LaterWarning(const QString& what) const;
    void TestApplications() const;
    void TestWebSite() const;

    struct Program {
        std::string LaunchForm::*app;
        std::string LaunchForm::*params;
        QLineEdit* appField;
        QLineEdit* paramsField;
    };
    std::vector<Program> programs_;
    QLineEdit* web_;
    QCheckBox* newWindow_;
    LaunchForm loaded_;
};

// E-mail or page: header, message, attachments and the test send.
class MailPage : public ActionPage {
    Q_OBJECT

public:
    MailPage(const PageContext& context, const Globals& g);
    ~MailPage() override;

    // Fills the "To:" list from every alarm of the table, too.
    void Load(const MailForm& form);
    void Store(MailForm& form) const;

private:
    void AddAttachment();

    const Globals& g_;
    QLineEdit *from_, *subject_;
    QComboBox* to_;
    QPlainTextEdit* message_;
    QListWidget* attachments_;
    QPushButton* remove_;
    MailForm loaded_;
    std::shared_ptr<run::SmtpClient> smtp_;  // the test sends' connection
};

// Time sync: the server, its test, and the clock ticking beside it.
class SynchPage : public ActionPage {
    Q_OBJECT

public:
    explicit SynchPage(const PageContext& context);
    ~SynchPage() override;

    void Load(const SynchForm& form);
    void Store(SynchForm& form) const;
    // Shows the time now and every second after, until StopClock.
    void StartClock();
    void StopClock();
    void ControlsGone();

private:
    void ShowTime();

    QComboBox* server_;
    QLabel* time_;
    SynchForm loaded_;
    bool gone_ = false;
    run::WaitTimer clock_;
};

// FTP: server and files, transfer options, retries and reconnection.
class FtpPage : public ActionPage {
    Q_OBJECT

public:
    explicit FtpPage(const PageContext& context);

    void Load(const FtpForm& form);
    void Store(FtpForm& form) const;
    void ShowRetryTab();

private:
    void ApplyOwnRules() override;
    void ReconnectTicked();

    struct Text {
        QLineEdit* field;
        std::string FtpForm::*value;
    };
    std::vector<Text> texts_;
    QCheckBox *passive_, *retry_, *reconnect_;
    QRadioButton *single_, *all_, *upload_, *download_, *ascii_, *binary_;
    QComboBox* connection_;
    QLabel *localLabel_, *remoteLabel_;
    QTabWidget* tabs_;
    QWidget* retryTab_;
    FtpForm loaded_;
    bool filled_ = false;
};

// File operation: copy, move or delete (and, in the alarm editor, none).
class FileOpPage : public ActionPage {
    Q_OBJECT

public:
    explicit FileOpPage(const PageContext& context);

    void Load(const FileOpForm& form);
    void Store(FileOpForm& form) const;

private:
    void ApplyOwnRules() override;

    struct Choice {
        QRadioButton* button;
        Byte fop;
        QWidget* page;
    };
    std::vector<Choice> choices_;
    struct Text {
        QLineEdit* field;
        std::string FileOpForm::*value;
    };
    std::vector<Text> texts_;
    QStackedWidget* pages_;
    FileOpForm loaded_;
};

// Every action's page over one editor's controls; the editor's form is
// made of the pages' forms.
struct ActionPages {
    ActionPages(const PageContext& context, const Globals& g);

    template <class Form>
    void Load(const Form& form, DialChoice choice) {
        sound.Load(form);
        dial.Load(form, choice);
        launch.Load(form);
        mail.Load(form);
        synch.Load(form);
        ftp.Load(form);
        fileOp.Load(form);
    }
    // All but the dial-up choice, which the editors store differently.
    template <class Form>
    void Store(Form& form) const {
        sound.Store(form);
        dial.Store(form);
        launch.Store(form);
        mail.Store(form);
        synch.Store(form);
        ftp.Store(form);
        fileOp.Store(form);
    }
    void ApplyRules();
    // The window is closing: test sounds and dials stop.
    void StopTests();

    SoundPage sound;
    DialPage dial;
    LaunchPage launch;
    MailPage mail;
    SynchPage synch;
    FtpPage ftp;
    FileOpPage fileOp;
};

}  // namespace ui
}  // namespace ringmere
