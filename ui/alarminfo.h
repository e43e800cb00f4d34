// The "Alarm Info." tab of one set of the alarm editor.
#pragma once

#include <QWidget>
#include <memory>

#include "core/alarm_form.h"
#include "ui/formset.h"

class QLineEdit;

namespace Ui {
class AlarmInfoPage;
}

namespace ringmere::ui {

class AlarmInfoPage : public QWidget {
    Q_OBJECT

public:
    explicit AlarmInfoPage(FormSet set, QWidget* parent = nullptr);
    ~AlarmInfoPage() override;

    // Texts keep the bytes they were loaded with while unchanged.
    void Load(const InfoForm& form);
    InfoForm Form() const;
    QLineEdit* NameField() const;

signals:
    void changed();

private:
    std::unique_ptr<Ui::AlarmInfoPage> ui_;
    FormSet set_;
    InfoForm loaded_;
};

}  // namespace ringmere::ui
