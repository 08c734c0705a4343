#pragma once

#include <QList>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QString>
#include <QVariant>

namespace nx::store {

// The database's own reason for a failure, as the user is shown it.
QString errorText(const QSqlError& error);

// A text parameter: a null QString would be bound as NULL, but the columns hold texts,
// empty ones included.
QVariant textValue(const QString& text);

// A prepared forward-only SELECT (rows are read once, none are cached).
QSqlQuery readQuery(const QSqlDatabase& db, const QString& sql, const char* what);
// A prepared statement that changes data. Prepare it after the transaction has begun:
// the Firebird driver binds a statement to the transaction open when it is prepared.
QSqlQuery writeQuery(const QSqlDatabase& db, const QString& sql, const char* what);
// exec() and next() failures as nx::Exception "<what>: <reason>".
void execute(QSqlQuery& query, const char* what);
void checkFetched(const QSqlQuery& query, const char* what);
QList<QSqlRecord> fetchRecords(QSqlQuery& query, const char* what);

}  // namespace nx::store
