// The script step editor: makes or changes one step of the alarm editor's
// working script, or shows one in a client mode.
#pragma once

#include <QDialog>
#include <memory>

#include "core/edit_requests.h"
#include "core/globals.h"
#include "core/step_form.h"
#include "run/dialup.h"
#include "run/mail.h"
#include "run/services.h"
#include "ui/actionkit.h"

class QComboBox;
class QLineEdit;

namespace Ui {
class TfrmAddEvent;
}

namespace ringmere::ui {

class TfrmAddEvent : public QDialog {
    Q_OBJECT

public:
    // Opens over `owner` on the request's script. On OK, when the checks
    // pass, the dialog is accepted with the step in Result(); the caller
    // puts it into its script (PutStep) and refills its list. A request
    // for a step the script does not hold adds one. In a client mode OK
    // closes as Cancel does.
    TfrmAddEvent(Globals& g, const Services& services, StepEditRequest request, QWidget* owner);
    ~TfrmAddEvent() override;

    const StepEditRequest& Request() const { return request_; }
    // The step OK stored; what was shown before then.
    const AlEvent& Result() const { return result_; }

    // The values the controls show.
    StepForm Form() const;
    void Load(const StepForm& form);

    void BitBtn1Click();

protected:
    void done(int result) override;

private:
    void Connect();
    void ApplyClientMode();
    // Enabled states, shown pages and labels that follow the choices.
    void ApplyRules();
    void ShowTargetName();
    void FillRepeatTargets();
    void FillDrives();
    void FillConnections(QComboBox* list, const std::string& stored, bool& filled);
    void PopulateEmailList();
    void LookUpServer(const std::string& server);

    void TestApplication();
    void TestWebSite();
    void AddAttachment();
    void RemoveAttachment();
    void Warn(const QString& text);
    void Box(widgets::BoxKind kind, const QString& text);
    void TestDial(bool dial);
    QPoint BoxCorner() const;

    Globals& g_;
    Services services_;
    std::unique_ptr<Ui::TfrmAddEvent> ui_;
    StepEditRequest request_;
    AlEvent result_;
    bool adding_ = false;
    Integer index_ = 0;       // the step changed or shown, from 1
    Integer lastTarget_ = 0;  // the last step a repeat may go back to
    bool viewOnly_ = false;
    bool dialListLoaded_ = false;
    bool reconnectListLoaded_ = false;
    StepForm loaded_;
    std::unique_ptr<TestPlayers> players_;
    std::unique_ptr<run::DialTest> dialTest_;
    std::shared_ptr<run::SmtpClient> smtp_;  // the test sends' connection
};

}  // namespace ringmere::ui
