// What the main window's two list models share: their column titles, the
// names and hints set on the header, and a refill that keeps the view's
// current row where it was.
#pragma once

#include <QAbstractTableModel>
#include <QHash>
#include <QPair>
#include <QStringList>

namespace ringmere::ui {

class HeaderModel : public QAbstractTableModel {
    Q_OBJECT

public:
    HeaderModel(QStringList titles, QObject* parent);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    bool setHeaderData(int section, Qt::Orientation orientation, const QVariant& value,
                       int role) override;

protected:
    // Rows added or taken at the end, then every cell shown anew: as a grid
    // that is cleared and given a row count, the current row stays put.
    void Resize(int rows);

private:
    QStringList titles_;
    QHash<QPair<int, int>, QVariant> header_;  // (column, role)
    int rows_ = 0;
};

}  // namespace ringmere::ui
