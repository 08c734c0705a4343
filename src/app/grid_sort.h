#pragma once

#include <QString>

namespace nx::app {

// A sort clause is a column name followed by " asc " or " desc ", appended unchanged
// to the view's SQL text.
QString sortClause(const QString& field, bool ascending);

// The last clause of each shared view. Both tabs share it, so a sort chosen on one tab
// also orders the other tab's rows at its next reload.
struct LastSortString {
    QString objects;
    QString results;
};

// The sorted-column arrow of one grid. A title click asks for the opposite direction of
// the column sorted last, otherwise ascending; the grid remembers the request only when
// the sort handler accepts it.
class GridSortState {
public:
    struct Request {
        int column;
        bool ascending;
    };

    Request requestFor(int column) const;
    void accept(const Request& request);

    bool hasArrow() const { return column_ >= 0; }
    int column() const { return column_; }
    bool ascending() const { return ascending_; }

private:
    int column_ = -1;
    bool ascending_ = true;
};

}  // namespace nx::app
