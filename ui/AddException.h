// The exception rule editor: makes or changes one rule of the global list's
// or the alarm editor's working list, or shows one in client mode.
#pragma once

#include <QDialog>
#include <memory>

#include "core/edit_requests.h"
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
    // Opens over `owner` on the request's rules. On OK, when the checks
    // pass, the dialog is accepted with the rule in Result(); the caller
    // puts it into its list (PutRule) and refills its rule lists. A change
    // to a rule the list does not hold is refused. In client mode the
    // editor only shows the rule and OK closes it as Cancel does.
    TfrmExceptions(Globals& g, const Services& services, ExceptionEditRequest request,
                   QWidget* owner);
    ~TfrmExceptions() override;

    const ExceptionEditRequest& Request() const { return request_; }
    // The rule OK stored; what was shown before then.
    const ExRec& Result() const { return result_; }

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
    Services services_;
    ExceptionEditRequest request_;
    ExRec result_;
    bool viewOnly_ = false;
};

}  // namespace ringmere::ui
