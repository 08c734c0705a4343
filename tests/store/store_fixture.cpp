#include "store_fixture.h"

#include <QFile>
#include <QSqlError>
#include <QSqlQuery>

namespace nx::store::test {

namespace {

QString shippedDatabase()
{
    const QString folder = qEnvironmentVariable("NX_PROGRAM_DIR");
    return folder.isEmpty() ? QStringLiteral(NX_SHIPPED_DATABASE) : folder + QStringLiteral("/NXbase.fb");
}

}  // namespace

DatabaseCopy::DatabaseCopy()
{
    if (!dir_.isValid())
        throw std::runtime_error("no temporary folder");
    if (!QFile::copy(shippedDatabase(), file()))
        throw std::runtime_error("cannot copy " + shippedDatabase().toStdString());
    QFile::setPermissions(file(),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::WriteGroup);
}

void StoreTest::SetUp() { db.open(copy.programPath()); }

Database& StoreTest::observer()
{
    if (!observer_) {
        observer_ = std::make_unique<Database>();
        observer_->open(copy.programPath());
    }
    return *observer_;
}

QVariant StoreTest::observe(const QString& sql, const QVariantList& values)
{
    QSqlQuery query(observer().connection());
    query.setForwardOnly(true);
    EXPECT_TRUE(query.prepare(sql)) << query.lastError().text().toStdString();
    for (const QVariant& value : values)
        query.addBindValue(value);
    EXPECT_TRUE(query.exec()) << query.lastError().text().toStdString();
    return query.next() ? query.value(0) : QVariant();
}

void StoreTest::change(const QString& sql, const QVariantList& values)
{
    QSqlDatabase connection = observer().connection();
    ASSERT_TRUE(connection.transaction());
    {
        QSqlQuery query(connection);
        ASSERT_TRUE(query.prepare(sql)) << query.lastError().text().toStdString();
        for (const QVariant& value : values)
            query.addBindValue(value);
        ASSERT_TRUE(query.exec()) << query.lastError().text().toStdString();
    }
    ASSERT_TRUE(connection.commit());
}

ObjectParams StoreTest::sample(int species, int sampleNumber, const QString& speciesName)
{
    return {kMoistureDevice, species, QString(), speciesName, QString(), sampleNumber};
}

ObjectParams StoreTest::tempObject(int number, const QString& meterName)
{
    return {kTemperatureDevice, number, meterName, QString(), QString(), 0};
}

ResultParams StoreTest::result(int idob, const QDateTime& when, float moisture, float temperature, int record)
{
    return {idob, when, moisture, temperature, record, 0, 0, QString()};
}

}  // namespace nx::store::test
