// The action tabs of the alarm editor's simple set: "Musical Alarm",
// "Network Connection", "File/Web", "Paging/Email" and "Time Synch". Drawn in one form,
// whose controls the action pages bind; the editor takes the tabs into its
// own tab control.
#pragma once

#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <memory>
#include <vector>

#include "core/alarm_form.h"
#include "run/services.h"
#include "ui/actionpages.h"

class QWidget;

namespace Ui {
class SimpleActionTabs;
}

namespace ringmere::ui {

class SimpleActionTabs : public QObject {
    Q_OBJECT

public:
    // `editor` owns the pages once it has taken them.
    SimpleActionTabs(Globals& g, const Services& services, QWidget* editor);
    ~SimpleActionTabs() override;

    // The five pages with their titles, in order.
    QList<QPair<QWidget*, QString>> Pages() const;

    // Shows `form`, applying the control rules as clicks would, and fills
    // the recipients list from every alarm of the table.
    void Load(const ActionsForm& form);
    ActionsForm Form() const;

    // Client mode: the tabs that cannot be used are disabled.
    void SetClientMode(bool client);
    // Brings forward the inner tabs a check's message names (the editor
    // brings the page itself forward).
    void ShowInnerTab(FormTab tab);
    // The window is closing: test sounds stop.
    void StopTests();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Services services_;
    QWidget* editor_;
    // Holds the pages until the editor takes them.
    std::unique_ptr<QWidget> holder_;
    std::unique_ptr<Ui::SimpleActionTabs> ui_;
    QList<QPair<QWidget*, QString>> pages_;
    std::unique_ptr<ActionPages> actions_;
    ActionsForm loaded_;
};

}  // namespace ringmere::ui
