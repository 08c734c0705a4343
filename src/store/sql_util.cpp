#include "store/sql_util.h"

#include "base/exception.h"

namespace nx::store {

namespace {

[[noreturn]] void fail(const char* what, const QSqlError& error)
{
    throw Exception(QStringLiteral("%1: %2").arg(QString::fromLatin1(what), errorText(error)).toStdString());
}

}  // namespace

QString errorText(const QSqlError& error)
{
    const QString database = error.databaseText().trimmed();
    const QString driver = error.driverText().trimmed();
    if (database.isEmpty())
        return driver;
    if (driver.isEmpty())
        return database;
    return driver + QStringLiteral(": ") + database;
}

QVariant textValue(const QString& text) { return text.isNull() ? QStringLiteral("") : text; }

QSqlQuery readQuery(const QSqlDatabase& db, const QString& sql, const char* what)
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.prepare(sql))
        fail(what, query.lastError());
    return query;
}

QSqlQuery writeQuery(const QSqlDatabase& db, const QString& sql, const char* what)
{
    QSqlQuery query(db);
    if (!query.prepare(sql))
        fail(what, query.lastError());
    return query;
}

void execute(QSqlQuery& query, const char* what)
{
    if (!query.exec())
        fail(what, query.lastError());
}

void checkFetched(const QSqlQuery& query, const char* what)
{
    if (query.lastError().isValid())
        fail(what, query.lastError());
}

QList<QSqlRecord> fetchRecords(QSqlQuery& query, const char* what)
{
    QList<QSqlRecord> records;
    while (query.next())
        records.append(query.record());
    checkFetched(query, what);
    return records;
}

}  // namespace nx::store
