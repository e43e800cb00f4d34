// The alarm editor: adds, changes or duplicates an alarm, or shows one in a
// client mode. It works on a private record and commits it to the alarm table
// with one assignment once every check has passed and the name is settled;
// ticks of the check loop and run windows never see a half-made alarm.
#pragma once

#include <QDialog>
#include <QPoint>
#include <array>
#include <memory>
#include <optional>

#include "core/alarm_form.h"
#include "core/edit_requests.h"
#include "core/globals.h"
#include "run/services.h"
#include "ui/formset.h"

class QTabWidget;
class QWidget;

namespace Ui {
class TfrmAddAlarm;
}

namespace ringmere::ui {

class AlarmInfoPage;
class AlarmTimePage;
class SimpleActionTabs;

class TfrmAddAlarm : public QDialog {
    Q_OBJECT

public:
    // Opens on the request; an alarm to edit or duplicate that is not in
    // the table makes it compose a new one.
    TfrmAddAlarm(Globals& g, const Services& services, AlarmEditRequest request, QWidget* owner);
    ~TfrmAddAlarm() override;

    // OK: the checks, then the save. The window accepts only after a save;
    // in a client mode it only closes.
    void BitBtn1Click();
    // The position of the alarm OK saved; nothing before a save.
    std::optional<Integer> Saved() const { return saved_; }
    // The script and the exception rules as edited so far.
    const AlEventList& WorkingScript() const { return script_; }
    const ExList& WorkingExceptions() const { return exceptions_; }

    AlarmTimePage* TimePage(FormSet set) const { return time_[Index(set)]; }
    AlarmInfoPage* InfoPage(FormSet set) const { return info_[Index(set)]; }
    SimpleActionTabs& Actions() const { return *actions_; }
    FormSet ChosenSet() const;
    // The form as OK would read it.
    AlarmForm CurrentForm() const;

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;

private:
    static int Index(FormSet set) { return set == FormSet::Simple ? 0 : 1; }
    void BuildPages();
    void Connect();
    void Load(const AlarmEditRequest& request);
    void ApplyClientMode();
    void ChooseKind(bool scripted);
    // Both exception lists show the working rules; after any change the
    // first row is selected.
    void FillExceptionLists();
    void OpenExceptionEditor(FormSet set, bool adding);
    void DeleteException(FormSet set);
    // Fills the step list from the working script and selects step `select`
    // (from 1; none when out of range).
    void FillScript(Integer select);
    Integer SelectedStep() const;
    void UpdateScriptButtons();
    void OpenStepEditor(bool adding);
    bool RepeatNoteAllows(FormSet set);
    void UpdateNext();
    void ShowTab(FormTab tab);
    // Settles the name by the input boxes; false when the user gave up.
    bool SettleName(AlRec& alarm);
    QPoint BoxCorner() const;
    bool ClientMode() const;
    // Before the save: where the alarm now stands in the table (the file may
    // have been read again meanwhile); false when the user keeps editing.
    bool FindEditedAlarm();

    Globals& g_;
    Services services_;
    std::unique_ptr<Ui::TfrmAddAlarm> ui_;
    std::array<AlarmTimePage*, 2> time_{};
    std::array<AlarmInfoPage*, 2> info_{};
    std::unique_ptr<SimpleActionTabs> actions_;
    // What the save starts from: the alarm being edited, a copy of the
    // source when duplicating, a fresh record when adding.
    AlRec base_;
    // A new alarm (added or duplicated) goes to `index_`, the spare slot;
    // a changed one stays where it is.
    bool adding_ = false;
    Integer index_ = 0;
    // The edited alarm's name when the editor opened: another program may
    // change the file meanwhile, and OK finds the alarm again by it.
    std::string openedName_;
    AlEventList script_;
    ExList exceptions_;
    Integer exceptionIndex_ = 0;  // the rule last clicked in either list, from 1
    std::optional<Integer> saved_;
    bool placed_ = false;
};

// Opens the editor modally over `owner`; the position of the alarm it
// saved, or nothing.
std::optional<Integer> OpenAlarmEditor(Globals& g, const Services& services,
                                       AlarmEditRequest request, QWidget* owner);

}  // namespace ringmere::ui
