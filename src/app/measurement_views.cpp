#include "app/measurement_views.h"

#include "base/exception.h"

#include <QScopedValueRollback>

#include <algorithm>

namespace nx::app {

MeasurementViews::MeasurementViews(store::Database& database, QObject* parent)
    : QObject(parent), database_(database)
{
}

void MeasurementViews::ReloadObjects(const QString& clause)
{
    const QString used = clause.isEmpty() ? lastSort_.objects : clause;
    {
        const QScopedValueRollback guard(adjusting_, true);
        objects().reload(database_.currentDevice(), used);
    }
    lastSort_.objects = used;
    objectRow_ = objects().rowCount() > 0 ? 0 : -1;
    emit objectsReset();
    ReloadResults(QString());
}

void MeasurementViews::ReloadResults(const QString& clause)
{
    const QString used = clause.isEmpty() ? lastSort_.results : clause;
    {
        const QScopedValueRollback guard(adjusting_, true);
        results().reload(currentObjectId(), used);
    }
    lastSort_.results = used;
    resultRow_ = results().rowCount() > 0 ? 0 : -1;
    emit resultsReset();
}

void MeasurementViews::setCurrentObjectRow(int row)
{
    if (adjusting_ || row < 0 || row >= objects().rowCount() || row == objectRow_)
        return;
    objectRow_ = row;
    ReloadResults(QString());
}

void MeasurementViews::setCurrentResultRow(int row)
{
    if (!adjusting_ && row >= 0 && row < results().rowCount())
        resultRow_ = row;
}

int MeasurementViews::currentObjectId() const
{
    return objectRow_ >= 0 ? database_.objects().key(objectRow_) : 0;
}

void MeasurementViews::selectTab(int tabIndex)
{
    database_.selectDevice(tabIndex + 1);
    ReloadObjects(QString());
}

void MeasurementViews::toggleObjectMark(int row)
{
    if (row < 0 || row >= objects().rowCount())
        return;
    objects().toggleMark(row);
}

void MeasurementViews::toggleResultMark(int row)
{
    if (row < 0 || row >= results().rowCount())
        return;
    results().toggleMark(row);
}

void MeasurementViews::markAllObjects(bool& flag)
{
    database_.selectObjects(database_.currentDevice(), flag ? 1 : 0);
    ReloadObjects(QString());
    flag = !flag;
}

void MeasurementViews::markAllResults(bool& flag)
{
    const int idob = resultRow_ >= 0 ? results().value(resultRow_, QStringLiteral("IDOB")).toInt() : 0;
    database_.selectWyniki(idob, flag ? 1 : 0);
    ReloadResults(QString());
    flag = !flag;
}

void MeasurementViews::markByDate(QDate from, QDate to)
{
    database_.selectDates(from, to.addDays(1));
    ReloadObjects(QString());
}

void MeasurementViews::renameCurrentObject(store::ObjectsModel::Name which, const QString& text)
{
    if (objectRow_ < 0)
        throw nx::Exception("There is no object to rename.");
    objects().rename(objectRow_, which, text);
}

void MeasurementViews::deleteMarkedResults()
{
    {
        const QScopedValueRollback guard(adjusting_, true);
        results().deleteMarked();
    }
    resultRow_ = results().rowCount() > 0 ? 0 : -1;
    emit resultsReset();
}

void MeasurementViews::deleteCurrentObject()
{
    if (objectRow_ < 0)
        throw nx::Exception("There is no object to delete.");
    const int row = objectRow_;
    {
        const QScopedValueRollback guard(adjusting_, true);
        objects().deleteRow(row);
    }
    const int count = objects().rowCount();
    objectRow_ = count == 0 ? -1 : std::min(row, count - 1);
    emit objectsReset();
    ReloadResults(QString());
}

}  // namespace nx::app
