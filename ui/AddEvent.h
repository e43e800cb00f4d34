// The script step editor: adds or changes one step of the alarm editor's
// working script (g.WorkScript), or shows one in a client mode.
#pragma once

#include <QDialog>
#include <memory>

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
    // Reads g.AddingStep, g.StepIndex (the step selected in the alarm
    // editor, from 1) and g.WorkScript, and opens over `owner`. On OK, when
    // the checks pass, the step is written into g.WorkScript (appended when
    // adding, replacing step g.StepIndex when editing), g.StepIndex names
    // it and the dialog is accepted; the caller refills its list. Cancel
    // changes nothing; in a client mode neither does OK.
    TfrmAddEvent(Globals& g, const Services& services, QWidget* owner);
    ~TfrmAddEvent() override;

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
    bool adding_ = false;
    Integer index_ = 0;       // the step changed or shown, from 1
    Integer lastTarget_ = 0;  // the last step a repeat may go back to
    bool viewOnly_ = false;
    StepForm loaded_;
    std::unique_ptr<ActionPages> actions_;
};

}  // namespace ringmere::ui
