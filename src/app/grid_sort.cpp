#include "app/grid_sort.h"

namespace nx::app {

QString sortClause(const QString& field, bool ascending)
{
    return field + (ascending ? QLatin1String(" asc ") : QLatin1String(" desc "));
}

GridSortState::Request GridSortState::requestFor(int column) const
{
    if (column == column_)
        return {column, !ascending_};
    return {column, true};
}

void GridSortState::accept(const Request& request)
{
    column_ = request.column;
    ascending_ = request.ascending;
}

}  // namespace nx::app
