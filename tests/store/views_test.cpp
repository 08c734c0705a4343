#include "base/exception.h"
#include "store_fixture.h"

#include <ctime>

namespace nx::store::test {
namespace {

const QDateTime kStart(QDate(2024, 2, 1), QTime(7, 0));

class ViewTest : public StoreTest {
protected:
    // Object ids of samples with these (species, sample number, species name).
    QList<int> addSamples()
    {
        return {db.updateObiekt(sample(5, 30, QStringLiteral("Geisha"))),
                db.updateObiekt(sample(2, 10, QStringLiteral("Arabica"))),
                db.updateObiekt(sample(7, 20, QStringLiteral("Typica")))};
    }
    // Results with DANE3 = 0, 1, ... two seconds apart, in one transaction.
    void addResults(int idob, int count)
    {
        change(QStringLiteral(
                   "execute block as declare i integer = 0; begin "
                   "while (i < %2) do begin "
                   "insert into WYNIKI (IDOB, DATACZAS, DANE1, DANE2, DANE3, DANE4, REZI1, REZC) values "
                   "(%1, dateadd(2 * :i second to timestamp '2024-02-01 07:00:00'), 10 + :i / 10e0, "
                   "20, :i, 0, 0, ''); i = i + 1; end end")
                   .arg(idob)
                   .arg(count));
    }
    QList<int> keys(TableView& view)
    {
        QList<int> found;
        for (int row = 0; row < view.rowCount(); ++row)
            found.append(view.key(row));
        return found;
    }
};

TEST_F(ViewTest, ViewsRunTheirExactTextsWithAndWithoutSortClause)
{
    db.objects().reload(kMoistureDevice);
    EXPECT_EQ(db.objects().sqlText(), QStringLiteral(" select * from OBIEKTY where IDDEV = :IDdev"));
    db.objects().reload(kMoistureDevice, QStringLiteral("OPIS asc "));
    EXPECT_EQ(db.objects().sqlText(),
              QStringLiteral(" select * from OBIEKTY where IDDEV = :IDdev order by OPIS asc "));
    db.results().reload(0);
    EXPECT_EQ(db.results().sqlText(), QStringLiteral("select * from WYNIKI where IDOB = :IDobj"));
    db.results().reload(0, QStringLiteral("DATACZAS desc "));
    EXPECT_EQ(db.results().sqlText(),
              QStringLiteral("select * from WYNIKI where IDOB = :IDobj order by DATACZAS desc "));
}

TEST_F(ViewTest, EmptyDeviceGivesEmptyViewsWithTheTablesColumns)
{
    for (const QString& clause : {QString(), QStringLiteral("REZI1 desc ")}) {
        SCOPED_TRACE(clause.toStdString());
        db.objects().reload(kTemperatureDevice, clause);
        EXPECT_EQ(db.objects().rowCount(), 0);
        EXPECT_FALSE(db.objects().canFetchMore({}));
        EXPECT_EQ(db.objects().columnCount(), 10);
        EXPECT_EQ(db.objects().column(QStringLiteral("REZI2")), 7);
        EXPECT_EQ(db.objects().columnTag(7), kCheckBoxTag);
        EXPECT_EQ(db.objects().columnTag(6), 0);
        db.results().reload(0, clause);
        EXPECT_EQ(db.results().rowCount(), 0);
        EXPECT_EQ(db.results().columnTag(db.results().column(QStringLiteral("REZI1"))), kCheckBoxTag);
    }
}

TEST_F(ViewTest, SortClausesOrderTheObjectsOfTheDevice)
{
    const QList<int> ids = addSamples();
    db.updateObiektTemp(tempObject(1, QStringLiteral("T1")));
    struct Case {
        const char* clause;
        QList<int> order;
    };
    const Case cases[] = {
        {"REZI1 asc ", {ids[1], ids[2], ids[0]}},
        {"REZI1 desc ", {ids[0], ids[2], ids[1]}},
        {"NAZWA_LONG asc ", {ids[1], ids[0], ids[2]}},
        {"IDO_INDEV desc ", {ids[2], ids[0], ids[1]}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.clause);
        db.objects().reload(kMoistureDevice, QString::fromLatin1(c.clause));
        EXPECT_EQ(keys(db.objects()), c.order);
    }
}

TEST_F(ViewTest, ClauseThatIsNotAColumnAndADirectionIsRefused)
{
    addSamples();
    db.objects().reload(kMoistureDevice);
    for (const char* clause : {"NOSUCH asc ", "OPIS", "OPIS asc", "OPIS ASC; delete from OBIEKTY ", "1 asc ",
                               "OPIS asc , IDOB desc "}) {
        SCOPED_TRACE(clause);
        EXPECT_THROW(db.objects().reload(kMoistureDevice, QString::fromLatin1(clause)), Exception);
    }
    EXPECT_EQ(observe("select count(*) from OBIEKTY").toInt(), 3);
}

TEST_F(ViewTest, ShowsFormattedValuesAndTicks)
{
    const int id = db.updateObiekt(sample(1, 1));
    db.wynikiUi(result(id, kStart, 12.34f, -0.5f, 1));
    db.results().reload(id);
    ASSERT_EQ(db.results().rowCount(), 1);
    auto cell = [&](const char* column, int role) {
        return db.results().data(db.results().index(0, db.results().column(QString::fromLatin1(column))),
                                 role);
    };
    const QLocale locale;
    EXPECT_EQ(cell("DANE1", Qt::DisplayRole).toString(), QStringLiteral("12") + locale.decimalPoint() + "3%");
    EXPECT_EQ(cell("DANE2", Qt::DisplayRole).toString(),
              locale.negativeSign() + locale.decimalPoint() + "5\u00B0C");
    EXPECT_EQ(cell("DATACZAS", Qt::EditRole).toDateTime(), kStart);
    EXPECT_EQ(cell("DATACZAS", Qt::DisplayRole).toString(), formatTimestamp(kStart));
    EXPECT_EQ(cell("REZI1", Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
    change("update WYNIKI set REZI1 = null");
    db.results().reload(id);
    EXPECT_FALSE(cell("REZI1", Qt::CheckStateRole).isValid()) << "a null mark shows nothing";
}

TEST_F(ViewTest, ResultFromAnHourTheLocalClockSkipsShowsItsStoredTime)
{
    // The meter's clock knows no zone: 02:30 on the morning Warsaw's clocks go forward
    // is stored as it stands, and the view must show it, not an empty cell.
    const QByteArray oldZone = qgetenv("TZ");
    qputenv("TZ", "Europe/Warsaw");
    tzset();
    const QDate day(2024, 3, 31);
    const QTime time(2, 30, 12);
    const int id = db.updateObiekt(sample(1, 1));
    db.wynikiUi(result(id, QDateTime(day, time, Qt::UTC), 11.0f, 20.0f, 1));
    db.results().reload(id);
    const QModelIndex cell = db.results().index(0, db.results().column(QStringLiteral("DATACZAS")));
    const QDateTime stored = db.results().data(cell, Qt::EditRole).toDateTime();
    const QString shown = db.results().data(cell, Qt::DisplayRole).toString();
    if (oldZone.isNull())
        qunsetenv("TZ");
    else
        qputenv("TZ", oldZone);
    tzset();
    EXPECT_EQ(stored.date(), day);
    EXPECT_EQ(stored.time(), time);
    EXPECT_TRUE(shown.contains(QStringLiteral("30:12"))) << shown.toStdString();
}

TEST_F(ViewTest, ToggleTurnsANullMarkIntoOneAndBackAndWritesItAtOnce)
{
    const QList<int> ids = addSamples();
    addResults(ids[0], 2);
    change("update OBIEKTY set REZI2 = null");
    change("update WYNIKI set REZI1 = null");
    db.objects().reload(kMoistureDevice, QStringLiteral("IDOB asc "));
    db.results().reload(ids[0], QStringLiteral("IDWYN asc "));

    struct Case {
        const char* name;
        TableView& view;
        const char* sql;
    };
    const Case cases[] = {
        {"object", db.objects(), "select REZI2 from OBIEKTY where IDOB = ?"},
        {"result", db.results(), "select REZI1 from WYNIKI where IDWYN = ?"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const int key = c.view.key(1);
        const char* mark = &c.view == &db.objects() ? "REZI2" : "REZI1";
        c.view.toggleMark(1);
        EXPECT_EQ(c.view.value(1, QString::fromLatin1(mark)).toInt(), 1);
        EXPECT_EQ(observe(QString::fromLatin1(c.sql), {key}).toInt(), 1);
        EXPECT_TRUE(observe(QString::fromLatin1(c.sql), {c.view.key(0)}).isNull()) << "only that row";
        c.view.toggleMark(1);
        EXPECT_EQ(observe(QString::fromLatin1(c.sql), {key}).toInt(), 0);
    }
    // A mark set to 2 elsewhere shows ticked; one click clears it.
    change("update OBIEKTY set REZI2 = 2 where IDOB = ?", {ids[2]});
    db.objects().reload(kMoistureDevice, QStringLiteral("IDOB asc "));
    db.objects().toggleMark(2);
    EXPECT_EQ(observe("select REZI2 from OBIEKTY where IDOB = ?", {ids[2]}).toInt(), 0);
}

TEST_F(ViewTest, DeleteByKeyRemovesJustThatRow)
{
    const QList<int> ids = addSamples();
    addResults(ids[1], 4);
    db.results().reload(ids[1], QStringLiteral("DANE3 asc "));
    const QList<int> before = keys(db.results());
    db.results().deleteRow(1);
    EXPECT_EQ(keys(db.results()), (QList<int>{before[0], before[2], before[3]}));
    EXPECT_EQ(observe("select count(*) from WYNIKI where IDWYN = ?", {before[1]}).toInt(), 0);
    EXPECT_EQ(observe("select count(*) from WYNIKI").toInt(), 3);
    EXPECT_THROW(db.results().deleteRow(3), Exception);

    db.objects().reload(kMoistureDevice, QStringLiteral("IDOB asc "));
    db.objects().deleteRow(2);
    EXPECT_EQ(keys(db.objects()), (QList<int>{ids[0], ids[1]}));
    EXPECT_EQ(observe("select count(*) from OBIEKTY").toInt(), 2);
    db.objects().reload(kTemperatureDevice);
    EXPECT_THROW(db.objects().deleteRow(0), Exception) << "an empty view has no row to delete";
    EXPECT_EQ(observe("select count(*) from OBIEKTY").toInt(), 2);
}

TEST_F(ViewTest, DeleteMarkedTakesTheMarkedResultsOfTheObjectOnly)
{
    const QList<int> ids = addSamples();
    addResults(ids[0], 6);
    addResults(ids[1], 2);
    change("update WYNIKI set REZI1 = 1 where IDOB = ?", {ids[1]});
    change("update WYNIKI set REZI1 = 1 where IDOB = ? and DANE3 in (0, 2, 5)", {ids[0]});
    db.results().reload(ids[0], QStringLiteral("DANE3 asc "));
    const QList<int> before = keys(db.results());

    EXPECT_EQ(db.results().deleteMarked(), 3);
    EXPECT_EQ(keys(db.results()), (QList<int>{before[1], before[3], before[4]}));
    EXPECT_EQ(observe("select count(*) from WYNIKI where IDOB = ?", {ids[0]}).toInt(), 3);
    EXPECT_EQ(observe("select count(*) from WYNIKI where IDOB = ?", {ids[1]}).toInt(), 2);
    EXPECT_EQ(db.results().deleteMarked(), 0) << "nothing marked is left";
}

TEST_F(ViewTest, RowsAreFetchedAsTheGridAsksForThem)
{
    const int id = db.updateObiekt(sample(1, 1));
    const int total = TableView::kFetchStep * 2 + 10;
    addResults(id, total);
    // Marked rows beyond the first step are deleted before the view has read them.
    change("update WYNIKI set REZI1 = 1 where IDOB = ? and DANE3 >= ?", {id, total - 5});
    db.results().reload(id, QStringLiteral("DANE3 asc "));
    EXPECT_EQ(db.results().rowCount(), TableView::kFetchStep);
    EXPECT_TRUE(db.results().canFetchMore({}));
    db.results().fetchMore({});
    EXPECT_EQ(db.results().rowCount(), 2 * TableView::kFetchStep);

    EXPECT_EQ(db.results().deleteMarked(), 5);
    db.results().fetchAll();
    EXPECT_FALSE(db.results().canFetchMore({}));
    EXPECT_EQ(db.results().rowCount(), total - 5) << "deleted rows must not arrive later";
    for (int row = 0; row < db.results().rowCount(); ++row)
        ASSERT_EQ(db.results().value(row, QStringLiteral("DANE3")).toInt(), row);
}

TEST_F(ViewTest, RenameStoresTheTextUnchangedAndRefusesWhatDoesNotFit)
{
    db.updateObiekt(sample(1, 1));
    db.objects().reload(kMoistureDevice);
    struct Case {
        const char* name;
        ObjectsModel::Name which;
        const char* column;
        QString text;
        bool stored;
    };
    const Case cases[] = {
        {"sample name with spaces", ObjectsModel::Name::SampleName, "OPIS", QStringLiteral("  Партия 12  "),
         true},
        {"empty sample name", ObjectsModel::Name::SampleName, "OPIS", QString(""), true},
        {"my name at the limit", ObjectsModel::Name::MyName, "NAZWA_LONG", QString(50, QChar(0x0416)), true},
        {"my name too long", ObjectsModel::Name::MyName, "NAZWA_LONG", QString(51, QLatin1Char('x')), false},
        {"sample name too long", ObjectsModel::Name::SampleName, "OPIS", QString(251, QLatin1Char('x')),
         false},
    };
    QString expected[2] = {QString(), QStringLiteral("Arabica")};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const int slot = c.which == ObjectsModel::Name::SampleName ? 0 : 1;
        if (c.stored) {
            db.objects().rename(0, c.which, c.text);
            expected[slot] = c.text;
        } else {
            EXPECT_THROW(db.objects().rename(0, c.which, c.text), Exception);
        }
        const QString sql = QStringLiteral("select %1 from OBIEKTY").arg(QString::fromLatin1(c.column));
        EXPECT_EQ(observe(sql).toString(), expected[slot]);
        EXPECT_EQ(db.objects().value(0, QString::fromLatin1(c.column)).toString(), expected[slot]);
    }
    EXPECT_FALSE(observe("select OPIS from OBIEKTY").isNull()) << "an empty name is stored as such";
}

}  // namespace
}  // namespace nx::store::test
