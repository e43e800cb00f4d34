#include "ui/schedule_model.h"

#include "widgets/file_text.h"

namespace ringmere::ui {

ScheduleModel::ScheduleModel(QObject* parent)
    : HeaderModel({QString(), QStringLiteral("Time"), QStringLiteral("Name")}, parent) {}

void ScheduleModel::Refill(std::vector<ScheduleViewRow> rows) {
    entries_ = std::move(rows);
    Resize(int(entries_.size()));
}

QVariant ScheduleModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() || std::size_t(index.row()) >= entries_.size())
        return {};
    const ScheduleViewRow& row = entries_[std::size_t(index.row())];
    switch (index.column()) {
        case 0:
            return QString::number(row.Number);
        case 1:
            return QString::fromStdString(row.Time);
        case 2:
            return widgets::FromFileText(row.Name);
    }
    return {};
}

Qt::ItemFlags ScheduleModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

}  // namespace ringmere::ui
