// The exception rule editor: adds, changes or shows one rule of
// g.WorkExceptions for the global list or the alarm editor.
#pragma once

#include <QDialog>
#include <memory>

#include "core/exception_form.h"
#include "core/globals.h"
#include "run/services.h"

namespace Ui {
class TfrmExceptions;
}

namespace ringmere::ui {

class TfrmExceptions : public QDialog {
    Q_OBJECT

public:
    // Reads g.AddingException, g.ExceptionIndex and g.WorkExceptions, and
    // opens over `owner`. On OK, when the checks pass, the rule is written
    // into g.WorkExceptions and the dialog is accepted; the caller refills
    // its rule lists. Cancel changes nothing. In client mode the editor only
    // shows the rule and OK closes it as Cancel does.
    TfrmExceptions(Globals& g, const Services& services, QWidget* owner);
    ~TfrmExceptions() override;

    // The values the controls show.
    ExceptionForm Form() const;
    void Load(const ExceptionForm& form);

    void AddDate();
    void RemoveDate();
    void Ok();

private:
    void ShowType(ExceptionChoice type);
    void UpdateTimeFrame();

    std::unique_ptr<Ui::TfrmExceptions> ui_;
    Globals& g_;
    Services services_;
    bool adding_ = false;
    Integer index_ = 0;  // the rule changed or shown, from 1
    bool viewOnly_ = false;
};

}  // namespace ringmere::ui
