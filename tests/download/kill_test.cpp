// A real `nivexctl download` killed part-way, again and again, then run to the end: the
// database must open and hold every record of the meter exactly once. Real time here, on
// purpose: the kill has to land in a running process.

#include "store/database.h"
#include "store/sql_util.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

namespace {

constexpr int kMoisture = 300;
constexpr int kObjects = 3;
constexpr int kReadings = 120;

QJsonObject slowMeter()
{
    const QDateTime start(QDate(2026, 9, 1), QTime(8, 0));
    QJsonArray moisture;
    for (int i = 0; i < kMoisture; ++i)
        moisture.append(QJsonObject{{"record", i + 1},
                                    {"time", start.addSecs(120 * i).toString(Qt::ISODate)},
                                    {"moisture", 10.5},
                                    {"temperature", 21.0},
                                    {"species", 1 + i % 3},
                                    {"sample", i % 20}});
    QJsonArray objects;
    for (int o = 0; o < kObjects; ++o) {
        QJsonArray readings;
        for (int r = 0; r < kReadings; ++r)
            readings.append(QJsonObject{{"record", r + 1},
                                        {"time", start.addSecs(600 * r).toString(Qt::ISODate)},
                                        {"temperature", 15.5}});
        objects.append(QJsonObject{
            {"number", o + 1}, {"name", QStringLiteral("Silo %1").arg(o + 1)}, {"records", readings}});
    }
    return QJsonObject{{"usbSerial", "PP000777"},
                       {"identity", QJsonObject{{"serialText", "TC000777"}, {"firmware", "1.05"}}},
                       {"moisture", moisture},
                       {"temperatureObjects", objects},
                       {"bytesPerSecond", 4000}};
}

class KilledDownload : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        const QString program = qEnvironmentVariable("NX_PROGRAM_DIR");
        for (const char* name : {"NXbase.fb", "GatunkiNXMc.txt"}) {
            const QString copy = dir.filePath(QString::fromLatin1(name));
            ASSERT_TRUE(QFile::copy(program + QLatin1Char('/') + QString::fromLatin1(name), copy)) << name;
            QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner);
        }
        // nivexctl stores into the database beside itself.
        nivexctl = dir.filePath(QStringLiteral("nivexctl"));
        ASSERT_TRUE(QFile::copy(QStringLiteral(NX_NIVEXCTL), nivexctl));
        QFile::setPermissions(nivexctl, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const QString image = dir.filePath(QStringLiteral("meter.json"));
        QFile file(image);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QJsonDocument(slowMeter()).toJson());
        environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("NIVEX_EMULATED_METERS"), image);
    }

    // Starts a download and kills it `afterMs` after it printed `line`; false when the
    // download ended before.
    bool killAfter(const QByteArray& line, int afterMs)
    {
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(nivexctl, {QStringLiteral("download")});
        if (!process.waitForStarted())
            return false;
        QByteArray out;
        while (!out.contains(line) && process.state() == QProcess::Running) {
            process.waitForReadyRead(50);
            out += process.readAllStandardOutput();
        }
        if (process.state() != QProcess::Running)
            return false;
        QThread::msleep(static_cast<unsigned long>(afterMs));
        const bool killed = process.state() == QProcess::Running;
        process.kill();
        process.waitForFinished();
        return killed;
    }

    QTemporaryDir dir;
    QString nivexctl;
    QProcessEnvironment environment;
};

QVariant first(nx::store::Database& db, const char* sql)
{
    QSqlQuery query = nx::store::readQuery(db.connection(), QString::fromLatin1(sql), "test query");
    nx::store::execute(query, "test query");
    return query.next() ? query.value(0) : QVariant();
}

}  // namespace

TEST_F(KilledDownload, EveryRecordOnceAfterKillsPartWay)
{
    struct Kill {
        const char* line;
        int afterMs;
    };
    // While the moisture reply arrives, while it is stored, between and inside the
    // temperature objects.
    const Kill kills[] = {
        {"Importing data", 200}, {" 40%", 0}, {" 40%", 3}, {" 40%", 15}, {" 80%", 0}, {" 80%", 900}};
    int landed = 0;
    for (const Kill& k : kills) {
        SCOPED_TRACE(std::string("kill after ") + k.line + " + " + std::to_string(k.afterMs) + " ms");
        if (killAfter(k.line, k.afterMs))
            ++landed;
    }
    EXPECT_GE(landed, 4) << "the kills should land in running downloads";

    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(nivexctl, {QStringLiteral("download")});
    ASSERT_TRUE(process.waitForFinished(60000));
    ASSERT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();

    nx::store::Database db;
    db.open(dir.path() + QLatin1Char('/'));
    EXPECT_EQ(first(db, "select count(*) from WYNIKI").toInt(), kMoisture + kObjects * kReadings);
    EXPECT_EQ(first(db, "select count(*) from (select IDOB, DATACZAS, DANE3 from WYNIKI "
                        "group by IDOB, DATACZAS, DANE3 having count(*) > 1)")
                  .toInt(),
              0);
    // Species i % 3 and sample i % 20 repeat together every 60 records: 60 samples.
    EXPECT_EQ(first(db, "select count(*) from OBIEKTY where IDDEV = 1").toInt(), 60);
    EXPECT_EQ(first(db, "select count(*) from OBIEKTY where IDDEV = 2").toInt(), kObjects);
}
