// The action tabs of the alarm editor's simple set: "Musical Alarm",
// "DialUp", "File/Web", "Paging/Email" and "Time Synch". Built from one
// form; the editor takes the pages into its own tab control.
#pragma once

#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <memory>
#include <vector>

#include "core/alarm_form.h"
#include "run/dialup.h"
#include "run/mail.h"
#include "run/services.h"
#include "ui/actionkit.h"

class QComboBox;
class QLineEdit;
class QWidget;

namespace Ui {
class SimpleActionTabs;
}

namespace ringmere::ui {

class SimpleActionTabs : public QObject {
    Q_OBJECT

public:
    // `editor` owns the pages once it has taken them.
    SimpleActionTabs(Globals& g, const Services& services, QWidget* editor);
    ~SimpleActionTabs() override;

    // The five pages with their titles, in order.
    QList<QPair<QWidget*, QString>> Pages() const;

    // Shows `form`, applying the control rules as clicks would, and fills
    // the recipients list from every alarm of the table.
    void Load(const ActionsForm& form);
    ActionsForm Form() const;

    // Client mode: the tabs that cannot be used are disabled.
    void SetClientMode(bool client);
    // Brings forward the inner tabs a check's message names (the editor
    // brings the page itself forward).
    void ShowInnerTab(FormTab tab);
    // The window is closing: test sounds stop.
    void StopTests();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Enabled states, shown pages and labels that follow the ticks and choices.
    void ApplyRules();
    void SelectStoredDrive();
    void FillDrives();
    void PopulateEmailList();
    void LookUpServer(const std::string& server);
    void DialUpShown();
    void ReconnectTicked();

    void TestApplications();
    void TestWebSite();
    void AddAttachment();
    void TestDial(bool dial);
    void RemoveAttachment();

    void Warn(const QString& text);
    void Box(widgets::BoxKind kind, const QString& text);

    Globals& g_;
    Services services_;
    QWidget* editor_;
    // Holds the pages until the editor takes them.
    std::unique_ptr<QWidget> holder_;
    std::unique_ptr<Ui::SimpleActionTabs> ui_;
    QList<QPair<QWidget*, QString>> pages_;
    struct Rule;
    std::vector<Rule> rules_;
    ActionsForm loaded_;
    bool dialListLoaded_ = false;
    bool reconnectListLoaded_ = false;
    std::unique_ptr<TestPlayers> players_;
    std::unique_ptr<run::DialTest> dialTest_;
    std::shared_ptr<run::SmtpClient> smtp_;  // the test sends' connection
};

}  // namespace ringmere::ui
