#include "base/exception.h"
#include "store_fixture.h"

#include <QSqlQuery>

namespace nx::store::test {
namespace {

const QDateTime kMorning(QDate(2024, 5, 6), QTime(9, 30, 12));

using ProcedureTest = StoreTest;

TEST_F(ProcedureTest, MoistureSampleIsFoundByDeviceSpeciesAndSampleNumber)
{
    const QDateTime before = QDateTime::currentDateTime().addSecs(-2);
    const int first = db.updateObiekt(sample(3, 17, QStringLiteral("Robusta")));
    const QDateTime after = QDateTime::currentDateTime().addSecs(2);
    EXPECT_GT(first, 0);
    EXPECT_EQ(observe("select REZI2 from OBIEKTY where IDOB = ?", {first}).toInt(), 0);
    const QDateTime added = observe("select DATA_DODANIA from OBIEKTY where IDOB = ?", {first}).toDateTime();
    EXPECT_TRUE(added >= before && added <= after) << added.toString().toStdString();

    struct Case {
        const char* name;
        ObjectParams params;
        bool same;
    };
    const Case cases[] = {
        {"the same record again", sample(3, 17, QStringLiteral("Robusta")), true},
        {"the same sample named in another language", sample(3, 17, QStringLiteral("Робуста")), true},
        {"another sample number", sample(3, 18, QStringLiteral("Robusta")), false},
        {"another species", sample(4, 17, QStringLiteral("Liberica")), false},
        {"the temperature device", {kTemperatureDevice, 3, QString(), QString(), QString(), 17}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const int id = db.updateObiekt(c.params);
        EXPECT_EQ(id == first, c.same);
        EXPECT_EQ(observe("select IDDEV from OBIEKTY where IDOB = ?", {id}).toInt(), c.params.iddev);
    }
    EXPECT_EQ(observe("select count(*) from OBIEKTY").toInt(), 4);
}

TEST_F(ProcedureTest, RenamedSampleDownloadedAgainKeepsTheUsersNameAndItsSpeciesName)
{
    const int id = db.updateObiekt(sample(2, 5, QStringLiteral("Arabica")));
    db.objects().reload(kMoistureDevice);
    db.objects().rename(0, ObjectsModel::Name::SampleName, QStringLiteral("Lot 7, north terrace"));
    db.objects().toggleMark(0);

    EXPECT_EQ(db.updateObiekt(sample(2, 5, QStringLiteral("Арабика"))), id);
    EXPECT_EQ(observe("select OPIS from OBIEKTY where IDOB = ?", {id}).toString(),
              QStringLiteral("Lot 7, north terrace"));
    EXPECT_EQ(observe("select NAZWA_LONG from OBIEKTY where IDOB = ?", {id}).toString(),
              QStringLiteral("Arabica"));
    EXPECT_EQ(observe("select REZI2 from OBIEKTY where IDOB = ?", {id}).toInt(), 1);
}

TEST_F(ProcedureTest, SpeciesNameLongerThanItsColumnIsStoredCutNotRefused)
{
    // The species file's names have no length limit; a long one must not cost the sample.
    struct Case {
        const char* name;
        QString speciesName;
        QString stored;
    };
    const Case cases[] = {
        {"fits exactly", QString(50, QLatin1Char('a')), QString(50, QLatin1Char('a'))},
        {"one character too many", QString(51, QLatin1Char('b')), QString(50, QLatin1Char('b'))},
        {"Cyrillic, far too long", QString(300, QChar(0x0416)), QString(50, QChar(0x0416))},
    };
    int sampleNumber = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        int id = 0;
        ASSERT_NO_THROW(id = db.updateObiekt(sample(1, ++sampleNumber, c.speciesName)));
        EXPECT_EQ(observe("select NAZWA_LONG from OBIEKTY where IDOB = ?", {id}).toString(), c.stored);
        EXPECT_EQ(db.updateObiekt(sample(1, sampleNumber, c.speciesName)), id) << "found again";
    }
}

TEST_F(ProcedureTest, TemperatureObjectIsFoundByDeviceNumberAndMeterName)
{
    const QString meterName = QStringLiteral("DRYER 2             ");
    const int first = db.updateObiektTemp(tempObject(4, meterName));
    db.objects().reload(kTemperatureDevice);
    db.objects().rename(0, ObjectsModel::Name::MyName, QStringLiteral("Сушилка №2"));

    struct Case {
        const char* name;
        ObjectParams params;
        bool same;
    };
    const Case cases[] = {
        {"the same object again", tempObject(4, meterName), true},
        {"another meter name", tempObject(4, QStringLiteral("DRYER 3             ")), false},
        {"another object number", tempObject(5, meterName), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(db.updateObiektTemp(c.params) == first, c.same);
    }
    EXPECT_EQ(observe("select NAZWA_LONG from OBIEKTY where IDOB = ?", {first}).toString(),
              QStringLiteral("Сушилка №2"));
    EXPECT_EQ(observe("select NAZWA_DEV from OBIEKTY where IDOB = ?", {first}).toString(), meterName);
    EXPECT_EQ(observe("select count(*) from OBIEKTY where IDDEV = 2").toInt(), 3);
}

TEST_F(ProcedureTest, ResultIsStoredOncePerObjectTimeAndRecordNumber)
{
    const int a = db.updateObiekt(sample(1, 1));
    const int b = db.updateObiekt(sample(1, 2));
    const QDateTime before = QDateTime::currentDateTime().addSecs(-2);
    db.wynikiUi(result(a, kMorning, 12.34f, 24.5f, 100));
    const QDateTime after = QDateTime::currentDateTime().addSecs(2);
    const int stored = observe("select IDWYN from WYNIKI").toInt();
    // A user's mark on a stored result survives the next download.
    change("update WYNIKI set REZI1 = 1 where IDWYN = ?", {stored});

    struct Case {
        const char* name;
        ResultParams params;
        int rowsAfter;
    };
    const Case cases[] = {
        {"the same record again", result(a, kMorning, 12.34f, 24.5f, 100), 1},
        {"the same record with other values", result(a, kMorning, 99.0f, -5.0f, 100), 1},
        {"another record number", result(a, kMorning, 12.34f, 24.5f, 101), 2},
        {"another time", result(a, kMorning.addSecs(2), 12.34f, 24.5f, 100), 3},
        {"another object", result(b, kMorning, 12.34f, 24.5f, 100), 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        db.wynikiUi(c.params);
        EXPECT_EQ(observe("select count(*) from WYNIKI").toInt(), c.rowsAfter);
    }
    QSqlQuery query(db.connection());
    ASSERT_TRUE(query.prepare("select DATACZAS, DANE1, DANE2, DANE3, DANE4, REZI1, REZC, DATA_IMPORT "
                              "from WYNIKI where IDWYN = ?"));
    query.addBindValue(stored);
    ASSERT_TRUE(query.exec() && query.next());
    EXPECT_EQ(query.value(0).toDateTime(), kMorning);
    EXPECT_FLOAT_EQ(query.value(1).toFloat(), 12.34f);
    EXPECT_FLOAT_EQ(query.value(2).toFloat(), 24.5f);
    EXPECT_EQ(query.value(3).toInt(), 100);
    EXPECT_EQ(query.value(4).toInt(), 0);
    EXPECT_EQ(query.value(5).toInt(), 1);
    EXPECT_EQ(query.value(6).toString(), QString());
    EXPECT_TRUE(query.value(7).toDateTime() >= before && query.value(7).toDateTime() <= after);
}

TEST_F(ProcedureTest, EveryProcedureCallIsCommittedForOtherConnections)
{
    // The driver counts EXECUTE PROCEDURE as a select and would leave it uncommitted.
    const int id = db.updateObiekt(sample(9, 1));
    EXPECT_EQ(observe("select count(*) from OBIEKTY where IDOB = ?", {id}).toInt(), 1);
    const int temp = db.updateObiektTemp(tempObject(1, QStringLiteral("T1")));
    EXPECT_EQ(observe("select count(*) from OBIEKTY where IDOB = ?", {temp}).toInt(), 1);
    db.wynikiUi(result(id, kMorning, 10.0f, 20.0f, 1));
    EXPECT_EQ(observe("select count(*) from WYNIKI where IDOB = ?", {id}).toInt(), 1);
    db.selectObjects(kMoistureDevice, 0);
    EXPECT_EQ(observe("select REZI2 from OBIEKTY where IDOB = ?", {id}).toInt(), 1);
    db.selectWyniki(id, 0);
    EXPECT_EQ(observe("select REZI1 from WYNIKI where IDOB = ?", {id}).toInt(), 1);
    db.selectDates(kMorning.date().addDays(1), kMorning.date().addDays(2));
    EXPECT_EQ(observe("select REZI1 from WYNIKI where IDOB = ?", {id}).toInt(), 0);
    db.writeLanguage(3);
    EXPECT_EQ(observe("select LANG from KONFIGURACJA").toInt(), 3);
    // Nothing is left open on the store's connection.
    EXPECT_FALSE(db.connection().rollback());
}

TEST_F(ProcedureTest, FailedProcedureRaisesAndStoresNothing)
{
    // No object 424242: the foreign key refuses the result.
    EXPECT_THROW(db.wynikiUi(result(424242, kMorning, 1.0f, 2.0f, 3)), Exception);
    EXPECT_EQ(observe("select count(*) from WYNIKI").toInt(), 0);
    // The connection is usable afterwards.
    const int id = db.updateObiekt(sample(1, 1));
    db.wynikiUi(result(id, kMorning, 1.0f, 2.0f, 3));
    EXPECT_EQ(observe("select count(*) from WYNIKI").toInt(), 1);
}

TEST_F(ProcedureTest, MarkAllAlternatesPerDeviceAndPerObject)
{
    const int s1 = db.updateObiekt(sample(1, 1));
    const int s2 = db.updateObiekt(sample(1, 2));
    const int t1 = db.updateObiektTemp(tempObject(1, QStringLiteral("T1")));
    change("update OBIEKTY set REZI2 = null where IDOB = ?", {s2});
    for (int i = 0; i < 3; ++i) {
        db.wynikiUi(result(s1, kMorning.addSecs(2 * i), 10.0f, 20.0f, i));
        db.wynikiUi(result(s2, kMorning.addSecs(2 * i), 10.0f, 20.0f, 10 + i));
    }

    db.selectObjects(kMoistureDevice, 0);
    EXPECT_EQ(observe("select count(*) from OBIEKTY where IDDEV = 1 and REZI2 = 1").toInt(), 2);
    EXPECT_EQ(observe("select REZI2 from OBIEKTY where IDOB = ?", {t1}).toInt(), 0);
    db.selectObjects(kMoistureDevice, 1);
    EXPECT_EQ(observe("select count(*) from OBIEKTY where REZI2 = 0").toInt(), 3);

    db.selectWyniki(s1, 0);
    EXPECT_EQ(observe("select count(*) from WYNIKI where IDOB = ? and REZI1 = 1", {s1}).toInt(), 3);
    EXPECT_EQ(observe("select count(*) from WYNIKI where IDOB = ? and REZI1 = 1", {s2}).toInt(), 0);
    db.selectWyniki(s1, 1);
    EXPECT_EQ(observe("select count(*) from WYNIKI where REZI1 = 1").toInt(), 0);
    // An empty results view passes object 0: nothing changes, nothing fails.
    db.selectWyniki(0, 0);
    EXPECT_EQ(observe("select count(*) from WYNIKI where REZI1 = 1").toInt(), 0);
}

TEST_F(ProcedureTest, MarkByDateMarksExactlyTheRangeAndTheObjectsOwningIt)
{
    const QDate from(2024, 5, 6);
    const QDate to(2024, 5, 8);
    const int inRange = db.updateObiekt(sample(1, 1));
    const int outside = db.updateObiekt(sample(1, 2));
    const int temp = db.updateObiektTemp(tempObject(1, QStringLiteral("T1")));
    struct Row {
        const char* name;
        int idob;
        QDateTime when;
        bool marked;
    };
    const Row rows[] = {
        {"first second of the from day", inRange, QDateTime(from, QTime(0, 0, 0)), true},
        {"last second of the to day", inRange, QDateTime(to, QTime(23, 59, 58)), true},
        {"midnight after the to day", outside, QDateTime(to.addDays(1), QTime(0, 0, 0)), false},
        {"just before the from day", outside, QDateTime(from.addDays(-1), QTime(23, 59, 58)), false},
        {"temperature result in range", temp, QDateTime(from.addDays(1), QTime(12, 0)), true},
    };
    int record = 0;
    for (const Row& r : rows)
        db.wynikiUi(result(r.idob, r.when, 10.0f, 20.0f, ++record));
    // Marks from before must not survive outside the range.
    change("update WYNIKI set REZI1 = 1");
    change("update OBIEKTY set REZI2 = 1");

    db.selectDates(from, to.addDays(1));
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(observe("select REZI1 from WYNIKI where DATACZAS = ?", {r.when}).toInt(), r.marked ? 1 : 0);
    }
    EXPECT_EQ(observe("select REZI2 from OBIEKTY where IDOB = ?", {inRange}).toInt(), 1);
    EXPECT_EQ(observe("select REZI2 from OBIEKTY where IDOB = ?", {outside}).toInt(), 0);
    EXPECT_EQ(observe("select REZI2 from OBIEKTY where IDOB = ?", {temp}).toInt(), 1);
    // So the report of device 1 shows the range and nothing else.
    ASSERT_EQ(db.reportObjects(kMoistureDevice).size(), 1);
    EXPECT_EQ(db.reportResults(inRange).size(), 2);

    // A reversed range marks nothing and clears everything.
    db.selectDates(to, from);
    EXPECT_EQ(observe("select count(*) from WYNIKI where REZI1 <> 0").toInt(), 0);
    EXPECT_EQ(observe("select count(*) from OBIEKTY where REZI2 <> 0").toInt(), 0);
    // A one-day range is the from day and the next midnight is outside it.
    db.selectDates(to, to.addDays(1));
    EXPECT_EQ(observe("select count(*) from WYNIKI where REZI1 = 1").toInt(), 1);
}

TEST_F(ProcedureTest, ChartAndReportQueries)
{
    const int s1 = db.updateObiekt(sample(1, 20, QStringLiteral("Bourbon")));
    const int s2 = db.updateObiekt(sample(1, 10, QStringLiteral("Typica")));
    const int s3 = db.updateObiekt(sample(2, 10, QStringLiteral("Caturra")));
    const int t = db.updateObiektTemp(tempObject(1, QStringLiteral("T1")));
    db.wynikiUi(result(s1, kMorning.addSecs(60), 11.0f, 21.0f, 1));
    db.wynikiUi(result(s2, kMorning, 12.0f, 22.0f, 2));
    db.wynikiUi(result(s1, kMorning.addSecs(-60), 13.0f, 23.0f, 3));
    db.wynikiUi(result(t, kMorning, 0.0f, 30.0f, 1));

    const std::vector<ChartPoint> chart = db.chartData(kMoistureDevice);
    ASSERT_EQ(chart.size(), 3u);
    EXPECT_EQ(chart[0].dataczas, kMorning.addSecs(-60));
    EXPECT_DOUBLE_EQ(chart[0].dane1, 13.0);
    EXPECT_DOUBLE_EQ(chart[1].dane2, 22.0);
    EXPECT_EQ(chart[2].dataczas, kMorning.addSecs(60));
    ASSERT_EQ(db.chartData(kTemperatureDevice).size(), 1u);

    db.selectObjects(kMoistureDevice, 0);
    db.selectWyniki(s1, 0);
    change("update WYNIKI set REZI1 = 0 where IDOB = ? and DANE3 = 1", {s1});
    const QList<QSqlRecord> objects = db.reportObjects(kMoistureDevice);
    ASSERT_EQ(objects.size(), 3);
    // By sample number, then name.
    EXPECT_EQ(objects[0].value(QStringLiteral("NAZWA_LONG")).toString(), QStringLiteral("Caturra"));
    EXPECT_EQ(objects[1].value(QStringLiteral("NAZWA_LONG")).toString(), QStringLiteral("Typica"));
    EXPECT_EQ(objects[2].value(QStringLiteral("IDOB")).toInt(), s1);
    const QList<QSqlRecord> results = db.reportResults(s1);
    ASSERT_EQ(results.size(), 1);
    EXPECT_EQ(results[0].value(QStringLiteral("DANE3")).toInt(), 3);
    EXPECT_TRUE(db.reportResults(s3).isEmpty());
    EXPECT_TRUE(db.reportObjects(kTemperatureDevice).isEmpty());
}

TEST_F(ProcedureTest, LanguageIsZeroWhenNullAndSurvivesARestart)
{
    EXPECT_EQ(db.readLanguage(), 0);
    db.writeLanguage(2);
    EXPECT_EQ(db.readLanguage(), 2);
    Database restarted;
    restarted.open(copy.programPath());
    EXPECT_EQ(restarted.readLanguage(), 2);
}

TEST_F(ProcedureTest, SelectingADevice)
{
    db.selectDevice(kTemperatureDevice);
    EXPECT_EQ(db.currentDevice(), kTemperatureDevice);
    EXPECT_THROW(db.selectDevice(3), Exception);
    EXPECT_EQ(db.currentDevice(), kTemperatureDevice);
}

}  // namespace
}  // namespace nx::store::test
