#include "store/database.h"

#include "base/exception.h"
#include "store/sql_util.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QStandardPaths>

#include <atomic>

namespace nx::store {

namespace {

const char* const kUser = "sysdba";
const char* const kPassword = "pindulwax";

// The embedded engine keeps its lock files in one folder per machine, by default one
// that the first user to run it owns. Unless told otherwise, use a folder of our own.
void useOwnLockFolder()
{
    if (!qEnvironmentVariableIsEmpty("FIREBIRD_LOCK"))
        return;
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (runtime.isEmpty())
        return;
    const QString folder = runtime + QStringLiteral("/firebird");
    if (QDir().mkpath(folder))
        qputenv("FIREBIRD_LOCK", QFile::encodeName(folder));
}

QString nextConnectionName()
{
    static std::atomic<int> counter{0};
    return QStringLiteral("nx_store_%1").arg(++counter);
}

}  // namespace

Database::Database()
    : connectionName_(nextConnectionName()), objects_(std::make_unique<ObjectsModel>(*this)),
      results_(std::make_unique<ResultsModel>(*this))
{
}

Database::~Database()
{
    // The views' cursors belong to the connection and go first.
    objects_.reset();
    results_.reset();
    if (QSqlDatabase::contains(connectionName_)) {
        {
            QSqlDatabase db = QSqlDatabase::database(connectionName_, false);
            if (db.isOpen()) {
                db.rollback();
                db.close();
            }
        }
        QSqlDatabase::removeDatabase(connectionName_);
    }
}

void Database::open(const QString& programPath)
{
    if (isOpen())
        throw Exception("The measurement database is already open.");
    fileName_ = programPath + QString::fromLatin1(kFileName);
    const QString native = QDir::toNativeSeparators(fileName_);
    auto failure = [&](const QString& reason) {
        return Exception(
            QStringLiteral("Cannot open the database \"%1\". %2").arg(native, reason).toStdString());
    };

    const QFileInfo file(fileName_);
    if (!file.exists())
        throw failure(QStringLiteral("The file does not exist."));
    if (!file.isFile())
        throw failure(QStringLiteral("It is not a file."));
    if (!file.isReadable())
        throw failure(QStringLiteral("The file cannot be read (permission denied)."));
    // The engine opens a file it may not write, then fails at the first change.
    if (!file.isWritable())
        throw failure(QStringLiteral("The file is read-only; the program stores every download in it."));

    useOwnLockFolder();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QIBASE"), connectionName_);
        if (!db.isValid()) {
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(connectionName_);
            throw failure(QStringLiteral("The Firebird database driver (QIBASE) is not installed."));
        }
        // No host name: the engine runs inside this process.
        db.setDatabaseName(native);
        db.setUserName(QString::fromLatin1(kUser));
        db.setPassword(QString::fromLatin1(kPassword));
        db.setConnectOptions(QStringLiteral("ISC_DPB_LC_CTYPE=UTF8"));
        if (!db.open()) {
            const QString reason = errorText(db.lastError());
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(connectionName_);
            throw failure(reason);
        }
    }

    try {
        QSqlQuery configuration =
            readQuery(connection(), "select IDD from KONFIGURACJA order by IDD", "Reading the configuration");
        execute(configuration, "Reading the configuration");
        if (!configuration.next())
            throw Exception("The configuration table KONFIGURACJA has no row.");
        configurationId_ = configuration.value(0).toInt();
        configuration.finish();

        QSqlQuery devices =
            readQuery(connection(), "select IDDEV from VLMDEVICES order by IDDEV", "Reading the devices");
        execute(devices, "Reading the devices");
        devices_.clear();
        while (devices.next())
            devices_.append(devices.value(0).toInt());
        checkFetched(devices, "Reading the devices");
        devices.finish();
        if (!devices_.contains(kMoistureDevice) || !devices_.contains(kTemperatureDevice))
            throw Exception("The device table VLMDEVICES lacks device 1 or 2.");
        currentDevice_ = devices_.first();

        // A file that is read-only underneath (a read-only medium, a file the engine
        // could only open for reading) shows itself at the first write: find it now,
        // not in the middle of a download. The write changes nothing.
        inTransaction("Checking that the database can be written", [&] {
            QSqlQuery probe = writeQuery(connection(), "update KONFIGURACJA set LANG = LANG where IDD = ?",
                                         "Checking that the database can be written");
            probe.addBindValue(configurationId_);
            execute(probe, "Checking that the database can be written");
        });
    } catch (const Exception& e) {
        {
            QSqlDatabase db = QSqlDatabase::database(connectionName_, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(connectionName_);
        devices_.clear();
        currentDevice_ = 0;
        throw failure(QString::fromStdString(e.what()));
    }
}

bool Database::isOpen() const
{
    return QSqlDatabase::contains(connectionName_) && QSqlDatabase::database(connectionName_, false).isOpen();
}

QSqlDatabase Database::connection() const
{
    if (!isOpen())
        throw Exception("The measurement database is not open.");
    return QSqlDatabase::database(connectionName_, false);
}

void Database::begin(const char* what)
{
    QSqlDatabase db = connection();
    if (!db.transaction())
        throw Exception(
            QStringLiteral("%1: %2").arg(QString::fromLatin1(what), errorText(db.lastError())).toStdString());
}

void Database::commit(const char* what)
{
    QSqlDatabase db = connection();
    if (!db.commit())
        throw Exception(
            QStringLiteral("%1: %2").arg(QString::fromLatin1(what), errorText(db.lastError())).toStdString());
}

void Database::rollback() noexcept
{
    if (QSqlDatabase::contains(connectionName_))
        QSqlDatabase::database(connectionName_, false).rollback();
}

int Database::readLanguage()
{
    QSqlQuery query =
        readQuery(connection(), "select LANG from KONFIGURACJA where IDD = ?", "Reading the language");
    query.addBindValue(configurationId_);
    execute(query, "Reading the language");
    if (!query.next()) {
        checkFetched(query, "Reading the language");
        throw Exception("Reading the language: the configuration row is gone.");
    }
    return query.value(0).isNull() ? 0 : query.value(0).toInt();
}

void Database::writeLanguage(int index)
{
    inTransaction("Storing the language", [&] {
        QSqlQuery query = writeQuery(connection(), "update KONFIGURACJA set LANG = ? where IDD = ?",
                                     "Storing the language");
        query.addBindValue(index);
        query.addBindValue(configurationId_);
        execute(query, "Storing the language");
        if (query.numRowsAffected() != 1)
            throw Exception("Storing the language: the configuration row is gone.");
    });
}

void Database::selectDevice(int iddev)
{
    connection();
    if (!devices_.contains(iddev))
        throw Exception(QStringLiteral("There is no device %1 in the database.").arg(iddev).toStdString());
    currentDevice_ = iddev;
}

int Database::currentDevice() const
{
    connection();
    return currentDevice_;
}

int Database::callObjectProcedure(const char* procedure, const ObjectParams& params)
{
    const QString sql =
        QStringLiteral("execute procedure %1(?, ?, ?, ?, ?, ?)").arg(QString::fromLatin1(procedure));
    return inTransaction(procedure, [&] {
        QSqlQuery query = writeQuery(connection(), sql, procedure);
        query.addBindValue(params.iddev);
        query.addBindValue(params.idoIndev);
        query.addBindValue(textValue(params.nazwaDev));
        query.addBindValue(textValue(params.nazwaLong));
        query.addBindValue(textValue(params.opis));
        query.addBindValue(params.rezi1);
        execute(query, procedure);
        if (!query.next() || query.value(0).isNull())
            throw Exception(
                QStringLiteral("%1 returned no object.").arg(QString::fromLatin1(procedure)).toStdString());
        return query.value(0).toInt();
    });
}

int Database::updateObiekt(const ObjectParams& params)
{
    return callObjectProcedure("P_UPDATEOBIEKT", params);
}

int Database::updateObiektTemp(const ObjectParams& params)
{
    return callObjectProcedure("P_UPDATEOBIEKT_TEMP", params);
}

void Database::wynikiUi(const ResultParams& params)
{
    inTransaction("P_WYNIKI_UI", [&] {
        QSqlQuery query =
            writeQuery(connection(), "execute procedure P_WYNIKI_UI(?, ?, ?, ?, ?, ?, ?, ?)", "P_WYNIKI_UI");
        query.addBindValue(params.idob);
        query.addBindValue(params.dataczas);
        query.addBindValue(double(params.dane1));
        query.addBindValue(double(params.dane2));
        query.addBindValue(params.dane3);
        query.addBindValue(params.dane4);
        query.addBindValue(params.rezi1);
        query.addBindValue(textValue(params.rezc));
        execute(query, "P_WYNIKI_UI");
    });
}

void Database::callMarkProcedure(const char* procedure, int iddx, int sele)
{
    const QString sql = QStringLiteral("execute procedure %1(?, ?)").arg(QString::fromLatin1(procedure));
    inTransaction(procedure, [&] {
        QSqlQuery query = writeQuery(connection(), sql, procedure);
        query.addBindValue(iddx);
        query.addBindValue(sele);
        execute(query, procedure);
    });
}

void Database::selectObjects(int iddx, int sele) { callMarkProcedure("P_SELECT_OBJECTS", iddx, sele); }

void Database::selectWyniki(int iddx, int sele) { callMarkProcedure("P_SELECT_WYNIKI", iddx, sele); }

void Database::selectDates(QDate from, QDate toExclusive)
{
    inTransaction("P_SELECTDATES", [&] {
        QSqlQuery query = writeQuery(connection(), "execute procedure P_SELECTDATES(?, ?)", "P_SELECTDATES");
        query.addBindValue(from);
        query.addBindValue(toExclusive);
        execute(query, "P_SELECTDATES");
    });
}

std::vector<ChartPoint> Database::chartData(int iddev)
{
    QSqlQuery query = readQuery(connection(),
                                "select * from WYNIKI \n"
                                "left join OBIEKTY on OBIEKTY.IDOB = WYNIKI.IDOB \n"
                                "where IDDEV = :IDdev\n"
                                "order by DATACZAS",
                                "Reading the chart data");
    query.addBindValue(iddev);
    execute(query, "Reading the chart data");
    const QSqlRecord record = query.record();
    const int dataczas = record.indexOf(QStringLiteral("DATACZAS"));
    const int dane1 = record.indexOf(QStringLiteral("DANE1"));
    const int dane2 = record.indexOf(QStringLiteral("DANE2"));
    std::vector<ChartPoint> points;
    while (query.next())
        points.push_back({query.value(dataczas).toDateTime(), query.value(dane1).toDouble(),
                          query.value(dane2).toDouble()});
    checkFetched(query, "Reading the chart data");
    return points;
}

QList<QSqlRecord> Database::reportObjects(int iddev)
{
    QSqlQuery query = readQuery(connection(),
                                "select * from OBIEKTY \n"
                                "where IDDEV = :IDdev and REZI2 = 1\n"
                                "order by REZI1, NAZWA_LONG",
                                "Reading the report objects");
    query.addBindValue(iddev);
    execute(query, "Reading the report objects");
    return fetchRecords(query, "Reading the report objects");
}

QList<QSqlRecord> Database::reportResults(int idob)
{
    QSqlQuery query = readQuery(connection(),
                                "select * from WYNIKI \n"
                                "where IDOB = :IDobj and REZI1 = 1\n"
                                "order by DATACZAS",
                                "Reading the report results");
    query.addBindValue(idob);
    execute(query, "Reading the report results");
    return fetchRecords(query, "Reading the report results");
}

}  // namespace nx::store
