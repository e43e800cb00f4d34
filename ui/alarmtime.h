// The "Alarm Time" tab of one set of the alarm editor: the inner tabs
// "Start/End Date", "Repeat" and "Exceptions". The form's values go in and
// out as a ScheduleForm; the exception rules are the editor's (both sets show
// the same list), so this page only offers the list and its buttons.
#pragma once

#include <QString>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>

#include "core/alarm_form.h"
#include "ui/formset.h"

class QCheckBox;
class QListWidget;
class QPushButton;
class QTabWidget;

namespace Ui {
class AlarmTimePage;
}

namespace ringmere::ui {

class AlarmTimePage : public QWidget {
    Q_OBJECT

public:
    enum InnerTab { kStartEnd = 0, kRepeat = 1, kExceptions = 2 };

    // The controls take the set's names; the calendars the colours of
    // `settings`.
    AlarmTimePage(FormSet set, const SettingsRec& settings, QWidget* parent = nullptr);
    ~AlarmTimePage() override;

    // Shows `form`, applying the control rules as the user's clicks would.
    void Load(const ScheduleForm& form);
    ScheduleForm Form() const;

    // Client mode: "Start/End Date" and "Repeat" cannot be changed.
    void SetViewOnly(bool viewOnly);

    QTabWidget* InnerTabs() const;
    QListWidget* ExceptionList() const;
    QPushButton* AddExceptionButton() const;
    QPushButton* EditExceptionButton() const;
    QPushButton* DeleteExceptionButton() const;

    // The line under the tabs with the alarm's next occurrences.
    void SetNextText(const QString& text);

    // Asked before the inner tab changes, by any means; false keeps the
    // tab that is shown.
    std::function<bool()> beforeInnerTabChange;

signals:
    // Any value of the form changed (for the next-occurrences line).
    void changed();

private:
    void ApplyRules();
    void AddDate();
    void RemoveDate();
    void InnerTabChanged(int index);
    void Notify();

    std::unique_ptr<Ui::AlarmTimePage> ui_;
    FormSet set_;
    std::array<QCheckBox*, 7> weekdays_{};
    std::array<QCheckBox*, 31> monthDays_{};
    std::array<QCheckBox*, 7> mWeekdays_{};
    std::array<QCheckBox*, 5> mWeeks_{};
    int shownTab_ = 0;
    bool switchingTab_ = false;
    bool loading_ = false;
};

}  // namespace ringmere::ui
