// The cells of the main window's lists, read and ticked through their models
// as the views draw and change them.
#pragma once

#include <QAbstractItemView>

namespace ringmere::ui::testing {

inline QVariant CellData(const QAbstractItemView* view, int row, int column,
                         int role = Qt::DisplayRole) {
    return view->model()->index(row, column).data(role);
}

inline QString CellText(const QAbstractItemView* view, int row, int column) {
    return CellData(view, row, column).toString();
}

inline Qt::CheckState CellCheck(const QAbstractItemView* view, int row, int column) {
    return static_cast<Qt::CheckState>(CellData(view, row, column, Qt::CheckStateRole).toInt());
}

// As a click on the box does.
inline void SetCellCheck(QAbstractItemView* view, int row, int column, Qt::CheckState state) {
    view->model()->setData(view->model()->index(row, column), state, Qt::CheckStateRole);
}

inline Qt::ItemFlags CellFlags(const QAbstractItemView* view, int row, int column) {
    return view->model()->flags(view->model()->index(row, column));
}

inline int RowCount(const QAbstractItemView* view) {
    return view->model()->rowCount();
}

}  // namespace ringmere::ui::testing
