// The global exception list: the rules that apply to every alarm, edited on
// a copy that only OK makes the program's.
#pragma once

#include <QDialog>
#include <QPointer>
#include <memory>

#include "core/globals.h"
#include "run/services.h"

namespace Ui {
class Tfrmgexcept;
}

namespace ringmere::ui {

class TfrmExceptions;

class Tfrmgexcept : public QDialog {
    Q_OBJECT

public:
    // Opens over `owner` on a copy of g.GlobalExceptions. OK makes the copy
    // g.GlobalExceptions, writes the alarm file (a failed write is reported)
    // and accepts; the caller rebuilds the schedule and refills its lists.
    // In client mode the rules are only shown and OK closes as Cancel does,
    // writing nothing.
    Tfrmgexcept(Globals& g, const Services& services, QWidget* owner);
    ~Tfrmgexcept() override;

    // Open the rule editor, modal, without waiting for it: the list is
    // refilled when it is accepted. The editor while it is open, or null.
    void AddException();
    void EditException();
    TfrmExceptions* Editor() const;
    // The rules as edited so far, and the selected one's number (0 for none).
    const ExList& Rules() const { return rules_; }
    Integer SelectedRule() const { return selected_; }

    void DeleteException();
    void Ok();

private:
    void OpenEditor(bool adding);
    // One description per rule; the first selected when there is one.
    void Refill();
    bool ClientMode() const;

    std::unique_ptr<Ui::Tfrmgexcept> ui_;
    Globals& g_;
    Services services_;
    ExList rules_;
    Integer selected_ = 0;
    QPointer<TfrmExceptions> editor_;
};

}  // namespace ringmere::ui
