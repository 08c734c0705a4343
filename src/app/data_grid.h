#pragma once

#include "app/grid_sort.h"

#include <QAbstractProxyModel>
#include <QStringList>
#include <QStyledItemDelegate>
#include <QTableView>

#include <functional>
#include <vector>

namespace nx::store {
class TableView;
}

namespace nx::app {

// One grid column: the view's column it shows, its width and whether its cells are centred.
struct GridColumn {
    const char* field;
    int width;
    bool centred;
};

// Shows chosen columns of a store view, by name, in the grid's order. Rows are the
// view's own, fetched as the grid scrolls. A tick column shows its mark as a check box.
class GridColumnsModel final : public QAbstractProxyModel {
    Q_OBJECT
public:
    GridColumnsModel(store::TableView& source, std::vector<GridColumn> columns,
                     const std::function<bool(int tag)>& isCheckBoxColumn, QObject* parent = nullptr);

    void setTitles(const QStringList& titles);
    QString field(int column) const;
    bool isTickColumn(int column) const;
    int width(int column) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QModelIndex mapToSource(const QModelIndex& proxyIndex) const override;
    QModelIndex mapFromSource(const QModelIndex& sourceIndex) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    void findColumns();

    store::TableView& view_;
    std::vector<GridColumn> columns_;
    std::function<bool(int tag)> isCheckBoxColumn_;
    std::vector<int> sourceColumns_;
    std::vector<bool> tick_;
    QStringList titles_;
};

// Paints a tick cell as a centred ticked box, an empty box, or nothing for a null mark,
// and every other cell as usual. It never edits; a click is the window's business.
class TickDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    bool editorEvent(QEvent*, QAbstractItemModel*, const QStyleOptionViewItem&, const QModelIndex&) override
    {
        return false;
    }
};

// A read-only data grid: whole-row selection that stays visible without focus, rows
// and titles 23 pixels high, wrapped text, titles that act as buttons and show the
// arrow of the sort the window accepted.
class DataGrid final : public QTableView {
    Q_OBJECT
public:
    explicit DataGrid(const QString& name, QWidget* parent = nullptr);

    void setColumns(GridColumnsModel* model);
    GridColumnsModel* columns() const { return columns_; }

    GridSortState& sortState() { return sort_; }
    // Puts the header's arrow back to the accepted sort (or none).
    void showSortArrow();
    // Selects the row (none for -1) without it counting as the user's choice.
    void standOn(int row);

signals:
    void titleClicked(int column);
    void currentRowChanged(int row);

private:
    GridColumnsModel* columns_ = nullptr;
    GridSortState sort_;
};

}  // namespace nx::app
