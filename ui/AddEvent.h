// The script step editor: makes or changes one step of the alarm editor's
// working script, or shows one in a client mode.
#pragma once

#include <QDialog>
#include <memory>

#include "core/edit_requests.h"
#include "core/globals.h"
#include "core/step_form.h"
#include "run/services.h"
#include "ui/actionpages.h"

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
    // The kind's page and what follows the repeat choices.
    void ApplyRules();
    void ShowTargetName();
    void FillRepeatTargets();
    void Box(widgets::BoxKind kind, const QString& text);
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
    StepForm loaded_;
    std::unique_ptr<ActionPages> actions_;
};

}  // namespace ringmere::ui
