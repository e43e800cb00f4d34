// The main window's schedule view as a model: the coming activations of the
// schedule table, number, time and name.
#pragma once

#include <vector>

#include "core/schedule.h"
#include "ui/header_model.h"

namespace ringmere::ui {

class ScheduleModel final : public HeaderModel {
    Q_OBJECT

public:
    explicit ScheduleModel(QObject* parent);

    void Refill(std::vector<ScheduleViewRow> rows);

    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    std::vector<ScheduleViewRow> entries_;
};

}  // namespace ringmere::ui
