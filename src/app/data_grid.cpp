#include "app/data_grid.h"

#include "app/framed_dialog.h"
#include "store/views.h"

#include <QApplication>
#include <QHeaderView>
#include <QPainter>

namespace nx::app {

GridColumnsModel::GridColumnsModel(store::TableView& source, std::vector<GridColumn> columns,
                                   const std::function<bool(int tag)>& isCheckBoxColumn, QObject* parent)
    : QAbstractProxyModel(parent), view_(source), columns_(std::move(columns)),
      isCheckBoxColumn_(isCheckBoxColumn)
{
    QAbstractProxyModel::setSourceModel(&view_);
    findColumns();
    connect(&view_, &QAbstractItemModel::modelAboutToBeReset, this, [this] { beginResetModel(); });
    connect(&view_, &QAbstractItemModel::modelReset, this, [this] {
        findColumns();
        endResetModel();
    });
    connect(&view_, &QAbstractItemModel::rowsAboutToBeInserted, this,
            [this](const QModelIndex&, int first, int last) { beginInsertRows({}, first, last); });
    connect(&view_, &QAbstractItemModel::rowsInserted, this, [this] { endInsertRows(); });
    connect(&view_, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this](const QModelIndex&, int first, int last) { beginRemoveRows({}, first, last); });
    connect(&view_, &QAbstractItemModel::rowsRemoved, this, [this] { endRemoveRows(); });
    connect(&view_, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& topLeft, const QModelIndex& bottomRight) {
                if (!columns_.empty())
                    emit dataChanged(index(topLeft.row(), 0), index(bottomRight.row(), columnCount() - 1));
            });
}

void GridColumnsModel::findColumns()
{
    // The view knows its columns once its query has run, and again after each re-run.
    sourceColumns_.clear();
    tick_.clear();
    for (const GridColumn& c : columns_) {
        const int sourceColumn = view_.column(QLatin1String(c.field));
        sourceColumns_.push_back(sourceColumn);
        tick_.push_back(sourceColumn >= 0 && isCheckBoxColumn_(view_.columnTag(sourceColumn)));
    }
}

void GridColumnsModel::setTitles(const QStringList& titles)
{
    titles_ = titles;
    emit headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
}

QString GridColumnsModel::field(int column) const
{
    return column >= 0 && column < columnCount() ? QLatin1String(columns_[column].field) : QString();
}

int GridColumnsModel::width(int column) const { return columns_[column].width; }

bool GridColumnsModel::isTickColumn(int column) const
{
    return column >= 0 && column < columnCount() && tick_[column];
}

QModelIndex GridColumnsModel::index(int row, int column, const QModelIndex& parent) const
{
    if (parent.isValid() || row < 0 || column < 0 || row >= rowCount() || column >= columnCount())
        return {};
    return createIndex(row, column);
}

QModelIndex GridColumnsModel::parent(const QModelIndex&) const { return {}; }

int GridColumnsModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : view_.rowCount();
}

int GridColumnsModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QModelIndex GridColumnsModel::mapToSource(const QModelIndex& proxyIndex) const
{
    if (!proxyIndex.isValid() || sourceColumns_[proxyIndex.column()] < 0)
        return {};
    return view_.index(proxyIndex.row(), sourceColumns_[proxyIndex.column()]);
}

QModelIndex GridColumnsModel::mapFromSource(const QModelIndex& sourceIndex) const
{
    if (!sourceIndex.isValid())
        return {};
    for (std::size_t c = 0; c < sourceColumns_.size(); ++c)
        if (sourceColumns_[c] == sourceIndex.column())
            return index(sourceIndex.row(), static_cast<int>(c));
    return {};
}

QVariant GridColumnsModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    const int c = index.column();
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue<Qt::Alignment>(
            (columns_[c].centred || tick_[c] ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignVCenter);
    if (tick_[c]) {
        if (role == Qt::CheckStateRole)
            return mapToSource(index).data(Qt::CheckStateRole);
        if (role == Qt::DisplayRole)
            return {};
    }
    if (role == Qt::CheckStateRole)
        return {};
    return mapToSource(index).data(role);
}

QVariant GridColumnsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount())
        return {};
    if (role == Qt::DisplayRole)
        return section < titles_.size() ? titles_[section] : QString();
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue<Qt::Alignment>(Qt::AlignCenter);
    return {};
}

Qt::ItemFlags GridColumnsModel::flags(const QModelIndex& index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

void TickDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                         const QModelIndex& index) const
{
    const auto* columns = qobject_cast<const GridColumnsModel*>(index.model());
    if (!columns || !columns->isTickColumn(index.column())) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    QStyleOptionViewItem cell = option;
    initStyleOption(&cell, index);
    cell.features &= ~QStyleOptionViewItem::HasCheckIndicator;
    cell.text.clear();
    QStyle* style = option.widget ? option.widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &cell, painter, option.widget);

    const QVariant state = index.data(Qt::CheckStateRole);
    if (!state.isValid())
        return;
    QStyleOptionButton box;
    box.state = QStyle::State_Enabled |
                (state.value<Qt::CheckState>() == Qt::Checked ? QStyle::State_On : QStyle::State_Off);
    const QSize indicator(style->pixelMetric(QStyle::PM_IndicatorWidth, &box, option.widget),
                          style->pixelMetric(QStyle::PM_IndicatorHeight, &box, option.widget));
    box.rect = QRect(QPoint(option.rect.x() + (option.rect.width() - indicator.width()) / 2,
                            option.rect.y() + (option.rect.height() - indicator.height()) / 2),
                     indicator);
    style->drawPrimitive(QStyle::PE_IndicatorCheckBox, &box, painter, option.widget);
}

DataGrid::DataGrid(const QString& name, QWidget* parent) : QTableView(parent)
{
    setObjectName(name);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setWordWrap(true);
    setShowGrid(true);
    setFont(tahomaFont(16));
    // The selected row stays visible when the grid loses the focus.
    QPalette p = palette();
    p.setColor(QPalette::Inactive, QPalette::Highlight, p.color(QPalette::Active, QPalette::Highlight));
    p.setColor(QPalette::Inactive, QPalette::HighlightedText,
               p.color(QPalette::Active, QPalette::HighlightedText));
    setPalette(p);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(23);
    horizontalHeader()->setFixedHeight(23);
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    horizontalHeader()->setHighlightSections(false);
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this, &DataGrid::titleClicked);
}

void DataGrid::setColumns(GridColumnsModel* model)
{
    columns_ = model;
    setModel(model);
    setItemDelegate(new TickDelegate(this));
    for (int c = 0; c < model->columnCount(); ++c)
        setColumnWidth(c, model->width(c));
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                emit currentRowChanged(current.isValid() ? current.row() : -1);
            });
    connect(model, &QAbstractItemModel::modelReset, this, &DataGrid::showSortArrow);
    showSortArrow();
}

void DataGrid::showSortArrow()
{
    QHeaderView* header = horizontalHeader();
    const QSignalBlocker block(header);
    header->setSortIndicatorShown(sort_.hasArrow());
    if (sort_.hasArrow())
        header->setSortIndicator(sort_.column(),
                                 sort_.ascending() ? Qt::AscendingOrder : Qt::DescendingOrder);
}

void DataGrid::standOn(int row)
{
    if (row < 0 || !columns_ || row >= columns_->rowCount()) {
        selectionModel()->clear();
        viewport()->update();
        return;
    }
    const QModelIndex cell = columns_->index(row, 0);
    selectionModel()->setCurrentIndex(cell, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    viewport()->update();
}

}  // namespace nx::app
