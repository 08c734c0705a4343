#pragma once

#include "app/grid_sort.h"
#include "store/database.h"

#include <QDate>
#include <QObject>

namespace nx::app {

// The two shared views and what the main window does with them: reloads with the
// remembered sort clauses, the objects view's current row (its change reloads the
// results), marks, renames and deletes. The grids show these views and report their
// clicks here; nothing here knows about widgets.
class MeasurementViews final : public QObject {
    Q_OBJECT
public:
    explicit MeasurementViews(store::Database& database, QObject* parent = nullptr);

    store::Database& database() { return database_; }
    store::ObjectsModel& objects() { return database_.objects(); }
    store::ResultsModel& results() { return database_.results(); }
    const LastSortString& lastSortString() const { return lastSort_; }

    // Re-runs the objects view of the current device (empty clause: the last one), stands
    // on its first row and reloads the results with their last clause.
    void ReloadObjects(const QString& clause);
    // Re-runs the results view for the objects view's current row (IDOB 0 when none).
    void ReloadResults(const QString& clause);

    // -1 when the view has no rows.
    int currentObjectRow() const { return objectRow_; }
    int currentResultRow() const { return resultRow_; }
    // A new current object row reloads the results (FDQObiektyAfterScroll).
    void setCurrentObjectRow(int row);
    void setCurrentResultRow(int row);
    // IDOB of the current object row; 0 when the objects view is empty.
    int currentObjectId() const;

    // The tab with this index shows device index + 1.
    void selectTab(int tabIndex);

    // Mark of one row := 1 - mark (null counts as 0), written at once.
    void toggleObjectMark(int row);
    void toggleResultMark(int row);
    // P_SELECT_OBJECTS / P_SELECT_WYNIKI with SELE = flag, reload, then the flag turns.
    void markAllObjects(bool& flag);
    void markAllResults(bool& flag);
    // P_SELECTDATES over [from, to + 1 day), then the objects are reloaded.
    void markByDate(QDate from, QDate to);

    // The current object's OPIS or NAZWA_LONG := text, written at once.
    void renameCurrentObject(store::ObjectsModel::Name which, const QString& text);
    // Every result of the current object with a mark of 1 or more; one statement.
    void deleteMarkedResults();
    // The current object with all its results; the view stands on the row that took
    // its place (or the new last row) and the results follow it.
    void deleteCurrentObject();

signals:
    // A view was re-run or lost rows; the grids put their current rows right.
    void objectsReset();
    void resultsReset();

private:
    store::Database& database_;
    LastSortString lastSort_;
    int objectRow_ = -1;
    int resultRow_ = -1;
    // While the store changes a view, row changes reported by the grids are not the user's.
    bool adjusting_ = false;
};

// Longest text each editable name column holds.
inline constexpr int kOpisLength = 250;
inline constexpr int kNazwaLongLength = 50;

}  // namespace nx::app
