// The main window's alarm list as a model: one row per alarm of the table
// with its check box, end rule, name and action strip, read from the table
// when a row is drawn, so a list of 100,000 alarms holds no cells.
#pragma once

#include <QHash>
#include <QIcon>

#include "core/globals.h"
#include "ui/header_model.h"

namespace ringmere::ui {

class AlarmListModel final : public HeaderModel {
    Q_OBJECT

public:
    // The action strip's icon names, a QStringList, for the strip's delegate.
    static constexpr int kStripRole = Qt::UserRole + 1;
    static constexpr const char* kDamagedName = "(damaged: could not be read)";

    AlarmListModel(const Globals& g, QObject* parent);

    // One row per alarm of the table as it is now; with no alarms, the one
    // row that tells how to begin.
    void Refill();
    // The row of alarm `alarm` (from 1) shows its record anew.
    void AlarmChanged(int alarm);

    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Ticking or clearing a box asks through EnabledToggled; the box then
    // shows what the table holds.
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

signals:
    void EnabledToggled(int alarm, bool enabled);

private:
    // The record of a row; null for the placeholder row, a damaged record,
    // and a row the table no longer has.
    const AlRec* Record(int row) const;
    bool Damaged(int row) const;
    const QIcon& Icon(const QString& path) const;

    const Globals& g_;
    bool placeholder_ = false;
    // One icon for each file: drawing an SVG anew for every row of a long
    // list dominated the start-up.
    mutable QHash<QString, QIcon> icons_;
};

}  // namespace ringmere::ui
