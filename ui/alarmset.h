// The alarm editor: adds, changes or duplicates an alarm, or shows one in a
// client mode. It works on a private record and commits it to the alarm table
// with one assignment once every check has passed and the name is settled;
// ticks of the check loop and run windows never see a half-made alarm.
#pragma once

#include <QDialog>
#include <QPoint>
#include <array>
#include <memory>

#include "core/alarm_form.h"
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
    // Opens for g.EditIndex, g.Adding and g.Duplicating as the caller set them.
    TfrmAddAlarm(Globals& g, const Services& services, QWidget* owner);
    ~TfrmAddAlarm() override;

    // OK: the checks, then the save. The window accepts only after a save;
    // in a client mode it only closes.
    void BitBtn1Click();

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
    void Load();
    void ApplyClientMode();
    void ChooseKind(bool scripted);
    // Both exception lists show WorkExceptions; after any change the first
    // row is selected.
    void FillExceptionLists();
    void OpenExceptionEditor(FormSet set, bool adding);
    void DeleteException(FormSet set);
    // Fills the step list from WorkScript and selects step `select` (from 1;
    // none when out of range).
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

    Globals& g_;
    Services services_;
    std::unique_ptr<Ui::TfrmAddAlarm> ui_;
    std::array<AlarmTimePage*, 2> time_{};
    std::array<AlarmInfoPage*, 2> info_{};
    std::unique_ptr<SimpleActionTabs> actions_;
    // What the save starts from: the alarm being edited, a copy of the
    // source when duplicating, a fresh record when adding.
    AlRec base_;
    bool placed_ = false;
};

// Opens the editor modally over `owner`; true when it saved an alarm.
bool OpenAlarmEditor(Globals& g, const Services& services, QWidget* owner);

}  // namespace ringmere::ui
