#include "store/views.h"

#include "base/exception.h"
#include "store/database.h"
#include "store/sql_util.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QSqlRecord>

#include <algorithm>

namespace nx::store {

namespace {

Exception error(const QString& text) { return Exception(text.toStdString()); }

}  // namespace

TableView::TableView(Database& database, QString table, QString keyColumn, QString markColumn,
                     QString unsortedSql, QObject* parent)
    : QAbstractTableModel(parent), database_(database), table_(std::move(table)),
      keyColumn_(std::move(keyColumn)), markColumn_(std::move(markColumn)),
      unsortedSql_(std::move(unsortedSql))
{
}

TableView::~TableView() = default;

int TableView::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : int(rows_.size()); }

int TableView::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(columns_.size());
}

QVariant TableView::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rows_.size() || index.column() >= columns_.size())
        return {};
    const QVariant& value = rows_[index.row()][index.column()];
    const bool isMark = index.column() == markIndex_;
    switch (role) {
    case Qt::EditRole:
        return value;
    case Qt::CheckStateRole:
        if (!isMark || !value.isValid())
            return {};
        return value.toInt() != 0 ? Qt::Checked : Qt::Unchecked;
    case Qt::DisplayRole: {
        if (isMark || !value.isValid())
            return {};
        const QString& name = columns_[index.column()];
        if (name == QLatin1String("DANE1"))
            return formatValue(value.toDouble(), Unit::Percent);
        if (name == QLatin1String("DANE2"))
            return formatValue(value.toDouble(), Unit::Celsius);
        if (value.typeId() == QMetaType::QDateTime)
            return formatTimestamp(value.toDateTime());
        return value;
    }
    default:
        return {};
    }
}

QVariant TableView::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < columns_.size())
        return columns_[section];
    return QAbstractTableModel::headerData(section, orientation, role);
}

bool TableView::canFetchMore(const QModelIndex& parent) const
{
    return !parent.isValid() && cursor_ != nullptr;
}

void TableView::fetchMore(const QModelIndex& parent)
{
    if (parent.isValid() || !cursor_)
        return;
    const int first = int(rows_.size());
    try {
        fetchStep(kFetchStep);
    } catch (const Exception& e) {
        cursor_.reset();
        emit fetchFailed(QString::fromStdString(e.what()));
    }
    const int last = int(rows_.size()) - 1;
    if (last >= first) {
        // The rows are already in place; announce them in one step.
        QList<QList<QVariant>> added(rows_.begin() + first, rows_.end());
        rows_.resize(first);
        beginInsertRows({}, first, last);
        rows_.append(added);
        endInsertRows();
    }
}

int TableView::column(const QString& name) const { return int(columns_.indexOf(name)); }

int TableView::columnTag(int column) const { return column == markIndex_ && column >= 0 ? kCheckBoxTag : 0; }

QVariant TableView::value(int row, const QString& column) const
{
    const int index = this->column(column);
    if (row < 0 || row >= rows_.size() || index < 0)
        return {};
    return rows_[row][index];
}

int TableView::key(int row) const
{
    if (row < 0 || row >= rows_.size())
        throw error(QStringLiteral("There is no row %1 in %2.").arg(row).arg(table_));
    return rows_[row][keyIndex_].toInt();
}

void TableView::fetchAll()
{
    while (canFetchMore({}))
        fetchMore({});
}

void TableView::close()
{
    cursor_.reset();
    rows_.clear();
    deletedKeys_.clear();
}

void TableView::run(int parameter, const QString& sortClause)
{
    QSqlDatabase db = database_.connection();
    QString sql = unsortedSql_;
    if (!sortClause.isEmpty()) {
        static const QRegularExpression clauseShape(
            QStringLiteral("^([A-Za-z_][A-Za-z0-9_$]*) (asc|desc) $"));
        const QRegularExpressionMatch match = clauseShape.match(sortClause);
        if (!match.hasMatch() || !db.record(table_).contains(match.captured(1)))
            throw error(
                QStringLiteral("\"%1\" is not a sort order of %2: a column name followed by \" asc \" "
                               "or \" desc \" is expected.")
                    .arg(sortClause, table_));
        sql += QStringLiteral(" order by ") + sortClause;
    }

    beginResetModel();
    try {
        close();
        sqlText_ = sql;
        auto cursor = std::make_unique<QSqlQuery>(readQuery(db, sql, "Opening the view"));
        cursor->addBindValue(parameter);
        execute(*cursor, "Opening the view");
        const QSqlRecord record = cursor->record();
        columns_.clear();
        for (int i = 0; i < record.count(); ++i)
            columns_.append(record.fieldName(i));
        keyIndex_ = int(columns_.indexOf(keyColumn_));
        markIndex_ = int(columns_.indexOf(markColumn_));
        if (keyIndex_ < 0 || markIndex_ < 0)
            throw error(QStringLiteral("The table %1 lacks the column %2 or %3.")
                            .arg(table_, keyColumn_, markColumn_));
        cursor_ = std::move(cursor);
        fetchStep(kFetchStep);
    } catch (...) {
        close();
        endResetModel();
        throw;
    }
    endResetModel();
}

void TableView::fetchStep(int count)
{
    for (int fetched = 0; fetched < count; ++fetched) {
        if (!cursor_->next()) {
            checkFetched(*cursor_, "Reading the view");
            // The whole result is read; finishing ends the cursor's own transaction.
            cursor_.reset();
            return;
        }
        QList<QVariant> row;
        row.reserve(columns_.size());
        for (int i = 0; i < columns_.size(); ++i) {
            const QVariant value = cursor_->value(i);
            row.append(value.isNull() ? QVariant() : value);
        }
        // The cursor reads the table as it was when the view opened.
        if (deletedKeys_.remove(row[keyIndex_].toInt())) {
            --fetched;
            continue;
        }
        rows_.append(std::move(row));
    }
}

void TableView::setStoredValue(int row, int column, const QVariant& value)
{
    rows_[row][column] = value;
    const QModelIndex cell = index(row, column);
    emit dataChanged(cell, cell);
}

void TableView::removeCachedRows(const QSet<int>& keys)
{
    if (cursor_)
        deletedKeys_.unite(keys);
    // Remove runs of neighbouring rows from the back, so earlier row numbers stay valid.
    int row = int(rows_.size()) - 1;
    while (row >= 0) {
        if (!keys.contains(rows_[row][keyIndex_].toInt())) {
            --row;
            continue;
        }
        const int last = row;
        while (row > 0 && keys.contains(rows_[row - 1][keyIndex_].toInt()))
            --row;
        beginRemoveRows({}, row, last);
        rows_.remove(row, last - row + 1);
        endRemoveRows();
        --row;
    }
}

void TableView::toggleMark(int row)
{
    if (row < 0 || row >= rows_.size())
        throw error(QStringLiteral("There is no row to mark."));
    const QVariant old = rows_[row][markIndex_];
    // A set mark of any value clears; 1 - value would leave a mark of 2 set.
    const int marked = old.isValid() && old.toInt() != 0 ? 0 : 1;
    const int rowKey = key(row);
    const QString sql =
        QStringLiteral("update %1 set %2 = ? where %3 = ?").arg(table_, markColumn_, keyColumn_);
    database_.inTransaction("Marking a row", [&] {
        QSqlQuery query = writeQuery(database_.connection(), sql, "Marking a row");
        query.addBindValue(marked);
        query.addBindValue(rowKey);
        execute(query, "Marking a row");
        if (query.numRowsAffected() != 1)
            throw error(QStringLiteral("The row %1 = %2 is no longer in %3.")
                            .arg(keyColumn_)
                            .arg(rowKey)
                            .arg(table_));
    });
    setStoredValue(row, markIndex_, marked);
}

void TableView::deleteRow(int row)
{
    if (row < 0 || row >= rows_.size())
        throw error(QStringLiteral("There is no row to delete."));
    const int rowKey = key(row);
    const QString sql = QStringLiteral("delete from %1 where %2 = ?").arg(table_, keyColumn_);
    database_.inTransaction("Deleting a row", [&] {
        QSqlQuery query = writeQuery(database_.connection(), sql, "Deleting a row");
        query.addBindValue(rowKey);
        execute(query, "Deleting a row");
        if (query.numRowsAffected() != 1)
            throw error(QStringLiteral("The row %1 = %2 is no longer in %3.")
                            .arg(keyColumn_)
                            .arg(rowKey)
                            .arg(table_));
    });
    removeCachedRows({rowKey});
}

ObjectsModel::ObjectsModel(Database& database, QObject* parent)
    : TableView(database, QStringLiteral("OBIEKTY"), QStringLiteral("IDOB"), QStringLiteral("REZI2"),
                QStringLiteral(" select * from OBIEKTY where IDDEV = :IDdev"), parent)
{
}

void ObjectsModel::reload(int iddev, const QString& sortClause)
{
    run(iddev, sortClause);
    device_ = iddev;
}

namespace {

struct NameColumn {
    ObjectsModel::Name name;
    const char* column;
    int maxLength;
};

constexpr NameColumn kNameColumns[] = {
    {ObjectsModel::Name::SampleName, "OPIS", 250},
    {ObjectsModel::Name::MyName, "NAZWA_LONG", 50},
};

}  // namespace

void ObjectsModel::rename(int row, Name which, const QString& text)
{
    if (row < 0 || row >= rowCount())
        throw error(QStringLiteral("There is no object to rename."));
    const auto& target = *std::find_if(std::begin(kNameColumns), std::end(kNameColumns),
                                       [which](const NameColumn& c) { return c.name == which; });
    // The column counts characters, not UTF-16 units.
    if (text.toUcs4().size() > target.maxLength)
        throw error(
            QStringLiteral("The name is too long: at most %1 characters are stored.").arg(target.maxLength));
    const int rowKey = key(row);
    const QString columnName = QString::fromLatin1(target.column);
    const QString sql = QStringLiteral("update OBIEKTY set %1 = ? where IDOB = ?").arg(columnName);
    database_.inTransaction("Renaming an object", [&] {
        QSqlQuery query = writeQuery(database_.connection(), sql, "Renaming an object");
        query.addBindValue(textValue(text));
        query.addBindValue(rowKey);
        execute(query, "Renaming an object");
        if (query.numRowsAffected() != 1)
            throw error(QStringLiteral("The object IDOB = %1 is no longer in the database.").arg(rowKey));
    });
    setStoredValue(row, column(columnName), textValue(text));
}

ResultsModel::ResultsModel(Database& database, QObject* parent)
    : TableView(database, QStringLiteral("WYNIKI"), QStringLiteral("IDWYN"), QStringLiteral("REZI1"),
                QStringLiteral("select * from WYNIKI where IDOB = :IDobj"), parent)
{
}

void ResultsModel::reload(int idob, const QString& sortClause)
{
    run(idob, sortClause);
    object_ = idob;
}

int ResultsModel::deleteMarked()
{
    QSet<int> keys;
    database_.inTransaction("Deleting the marked results", [&] {
        // Both statements see the same snapshot, so the keys are exactly the rows deleted.
        QSqlQuery marked =
            writeQuery(database_.connection(), "select IDWYN from WYNIKI where IDOB = ? and REZI1 >= 1",
                       "Deleting the marked results");
        marked.addBindValue(object_);
        execute(marked, "Deleting the marked results");
        while (marked.next())
            keys.insert(marked.value(0).toInt());
        checkFetched(marked, "Deleting the marked results");
        marked.finish();
        QSqlQuery remove =
            writeQuery(database_.connection(), "delete from WYNIKI where IDOB = ? and REZI1 >= 1",
                       "Deleting the marked results");
        remove.addBindValue(object_);
        execute(remove, "Deleting the marked results");
    });
    removeCachedRows(keys);
    return int(keys.size());
}

}  // namespace nx::store
