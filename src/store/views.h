#pragma once

#include <QAbstractTableModel>
#include <QDateTime>
#include <QList>
#include <QLocale>
#include <QSet>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>

namespace nx::store {

class Database;

// Display of DANE1 ("#.0'%'") and DANE2 ("#.0'°C'"): one digit after the point, no zero
// before it, the locale's decimal separator (12.34 -> 12.3%, 0.5 -> .5%, -0.5 -> -.5°C).
enum class Unit { Percent, Celsius };
QString formatValue(double value, Unit unit, const QLocale& locale = QLocale());
// Timestamps as the locale's short date and its time with seconds.
QString formatTimestamp(const QDateTime& value, const QLocale& locale = QLocale());

// The tag a grid asks of a column: 4 marks a tick-box column, every other column has 0.
inline constexpr int kCheckBoxTag = 4;

// One re-runnable SELECT over OBIEKTY or WYNIKI whose rows are fetched as the grid needs
// them (canFetchMore/fetchMore over a forward-only query). Columns keep the table's names
// and order; DisplayRole gives the shown text, EditRole the stored value, CheckStateRole
// the tick of the mark column (nothing for a null mark).
class TableView : public QAbstractTableModel {
    Q_OBJECT

public:
    // Rows fetched per step; the first step runs inside reload().
    static constexpr int kFetchStep = 256;

    ~TableView() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

    // The SQL text of the last reload, exactly as sent.
    QString sqlText() const { return sqlText_; }
    // Column number by name (as in the table), -1 when there is none.
    int column(const QString& name) const;
    int columnTag(int column) const;
    // The stored value of a row's column; an invalid QVariant for a null or unknown column.
    QVariant value(int row, const QString& column) const;
    // Key (IDOB or IDWYN) of a row.
    int key(int row) const;
    // Fetches every remaining row (reports, tests, select-all in a grid).
    void fetchAll();

    // Mark column := 0 when it is set, else 1 (a null mark counts as 0); written and
    // committed at once by key, and the row shows the new value without a re-query.
    void toggleMark(int row);
    // Deletes the row by key and commits; the following rows move up.
    void deleteRow(int row);

signals:
    // fetchMore cannot throw into the grid; a failed step ends the fetching and says why.
    void fetchFailed(const QString& message);

protected:
    TableView(Database& database, QString table, QString keyColumn, QString markColumn, QString unsortedSql,
              QObject* parent);
    // Closes the view and re-runs it with one bound parameter; an empty clause runs the
    // unsorted text. A clause is a column name of the table followed by " asc " or
    // " desc "; anything else is refused, since it is appended to the SQL text.
    void run(int parameter, const QString& sortClause);
    void setStoredValue(int row, int column, const QVariant& value);
    void removeCachedRows(const QSet<int>& keys);
    Database& database_;
    const QString table_;

private:
    void fetchStep(int count);
    void close();

    const QString keyColumn_;
    const QString markColumn_;
    const QString unsortedSql_;
    QString sqlText_;
    QStringList columns_;
    int keyIndex_ = -1;
    int markIndex_ = -1;
    QList<QList<QVariant>> rows_;
    std::unique_ptr<QSqlQuery> cursor_;
    // Rows already deleted that the still-open cursor may yet deliver.
    QSet<int> deletedKeys_;
};

// The objects view: " select * from OBIEKTY where IDDEV = :IDdev" [order by clause].
class ObjectsModel final : public TableView {
    Q_OBJECT

public:
    ObjectsModel(Database& database, QObject* parent = nullptr);
    void reload(int iddev, const QString& sortClause = {});
    int device() const { return device_; }

    // The two names a user may edit: OPIS (sample name, up to 250 characters) and
    // NAZWA_LONG (my name of a temperature object, up to 50). Stored unchanged, not
    // trimmed; an empty text is stored as such; a longer text is refused.
    enum class Name { SampleName, MyName };
    void rename(int row, Name which, const QString& text);

private:
    int device_ = 0;
};

// The results view: "select * from WYNIKI where IDOB = :IDobj" [order by clause].
class ResultsModel final : public TableView {
    Q_OBJECT

public:
    ResultsModel(Database& database, QObject* parent = nullptr);
    // idob 0 (an empty objects view) gives an empty view.
    void reload(int idob, const QString& sortClause = {});
    int object() const { return object_; }
    // Deletes the marked results (REZI1 >= 1) of the view's object in one statement and
    // one transaction; the other rows stay in their order. Returns how many went.
    int deleteMarked();

private:
    int object_ = 0;
};

}  // namespace nx::store
