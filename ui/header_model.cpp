#include "ui/header_model.h"

namespace ringmere::ui {

HeaderModel::HeaderModel(QStringList titles, QObject* parent)
    : QAbstractTableModel(parent), titles_(std::move(titles)) {}

int HeaderModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_;
}

int HeaderModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(titles_.size());
}

QVariant HeaderModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= titles_.size())
        return QAbstractTableModel::headerData(section, orientation, role);
    if (const auto set = header_.find({section, role}); set != header_.end()) return *set;
    return role == Qt::DisplayRole ? QVariant(titles_[section]) : QVariant();
}

bool HeaderModel::setHeaderData(int section, Qt::Orientation orientation, const QVariant& value,
                                int role) {
    if (orientation != Qt::Horizontal || section < 0 || section >= titles_.size()) return false;
    header_.insert({section, role}, value);
    emit headerDataChanged(orientation, section, section);
    return true;
}

void HeaderModel::Resize(int rows) {
    if (rows > rows_) {
        beginInsertRows({}, rows_, rows - 1);
        rows_ = rows;
        endInsertRows();
    } else if (rows < rows_) {
        beginRemoveRows({}, rows, rows_ - 1);
        rows_ = rows;
        endRemoveRows();
    }
    if (rows_ > 0) emit dataChanged(index(0, 0), index(rows_ - 1, columnCount() - 1));
}

}  // namespace ringmere::ui
