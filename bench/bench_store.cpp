// Storing moisture records the way the download does (P_UPDATEOBIEKT then P_WYNIKI_UI,
// each committed on its own) against a plain INSERT of the same rows in one
// transaction, on fresh copies of the shipped database file.
//
//   bench_store [--records=N] [google benchmark options]     (N defaults to 10000)
#include "base/exception.h"
#include "store/database.h"

#include <QCoreApplication>
#include <QFile>
#include <QHash>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>

namespace {

using nx::store::Database;

int gRecords = 10000;
double gProcedureSeconds = 0;
double gInsertSeconds = 0;

struct Record {
    int species;
    int sampleNumber;
    QDateTime when;
    float moisture;
    float temperature;
    int recordNumber;
};

// Twenty results per sample, species 1..16, two seconds apart as the meter stores them.
Record record(int i)
{
    return {i % 16 + 1,
            i / 20 + 1,
            QDateTime(QDate(2024, 1, 1), QTime(6, 0)).addSecs(2 * i),
            10.0f + float(i % 50) / 10,
            20.0f + float(i % 7),
            i};
}

class FreshCopy {
public:
    FreshCopy()
    {
        const QString shipped = qEnvironmentVariableIsEmpty("NX_PROGRAM_DIR")
                                    ? QStringLiteral(NX_SHIPPED_DATABASE)
                                    : qEnvironmentVariable("NX_PROGRAM_DIR") + QStringLiteral("/NXbase.fb");
        if (!dir_.isValid() || !QFile::copy(shipped, programPath() + QStringLiteral("NXbase.fb")))
            throw std::runtime_error("cannot copy " + shipped.toStdString());
        QFile::setPermissions(programPath() + QStringLiteral("NXbase.fb"),
                              QFile::ReadOwner | QFile::WriteOwner);
    }
    QString programPath() const { return dir_.path() + QLatin1Char('/'); }

private:
    QTemporaryDir dir_;
};

void check(bool ok, const QSqlQuery& query)
{
    if (!ok)
        throw std::runtime_error(query.lastError().text().toStdString());
}

void BM_DownloadProcedures(benchmark::State& state)
{
    for (auto _ : state) {
        FreshCopy copy;
        Database db;
        db.open(copy.programPath());
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < gRecords; ++i) {
            const Record r = record(i);
            const int idob = db.updateObiekt({nx::store::kMoistureDevice, r.species, QString(),
                                              QStringLiteral("Arabica"), QString(), r.sampleNumber});
            db.wynikiUi({idob, r.when, r.moisture, r.temperature, r.recordNumber, 0, 0, QString()});
        }
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        gProcedureSeconds = took.count();
        state.SetIterationTime(took.count());
    }
    state.counters["us_per_record"] = gProcedureSeconds * 1e6 / gRecords;
}

void BM_PlainInsert(benchmark::State& state)
{
    for (auto _ : state) {
        FreshCopy copy;
        Database db;
        db.open(copy.programPath());
        QSqlDatabase connection = db.connection();
        const auto start = std::chrono::steady_clock::now();
        if (!connection.transaction())
            throw std::runtime_error(connection.lastError().text().toStdString());
        {
            QSqlQuery object(connection);
            check(object.prepare(
                      "insert into OBIEKTY (IDDEV, IDO_INDEV, NAZWA_DEV, NAZWA_LONG, OPIS, REZI1, REZI2, "
                      "DATA_DODANIA) values (1, ?, '', 'Arabica', '', ?, 0, current_timestamp) "
                      "returning IDOB"),
                  object);
            QSqlQuery result(connection);
            check(result.prepare(
                      "insert into WYNIKI (IDOB, DATACZAS, DATA_IMPORT, DANE1, DANE2, DANE3, DANE4, REZI1, "
                      "REZC) values (?, ?, current_timestamp, ?, ?, ?, 0, 0, '')"),
                  result);
            QHash<qint64, int> objects;
            for (int i = 0; i < gRecords; ++i) {
                const Record r = record(i);
                const qint64 sampleKey = (qint64(r.species) << 32) | r.sampleNumber;
                auto found = objects.find(sampleKey);
                if (found == objects.end()) {
                    object.bindValue(0, r.species);
                    object.bindValue(1, r.sampleNumber);
                    check(object.exec() && object.next(), object);
                    found = objects.insert(sampleKey, object.value(0).toInt());
                }
                result.bindValue(0, *found);
                result.bindValue(1, r.when);
                result.bindValue(2, double(r.moisture));
                result.bindValue(3, double(r.temperature));
                result.bindValue(4, r.recordNumber);
                check(result.exec(), result);
            }
        }
        if (!connection.commit())
            throw std::runtime_error(connection.lastError().text().toStdString());
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        gInsertSeconds = took.count();
        state.SetIterationTime(took.count());
    }
    state.counters["us_per_record"] = gInsertSeconds * 1e6 / gRecords;
}

BENCHMARK(BM_DownloadProcedures)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainInsert)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--records=", 10) == 0) {
            gRecords = std::atoi(argv[i] + 10);
            for (int j = i; j + 1 < argc; ++j)
                argv[j] = argv[j + 1];
            --argc;
            --i;
        }
    }
    if (gRecords <= 0) {
        std::fprintf(stderr, "bench_store: --records wants a positive number\n");
        return 64;
    }
    benchmark::Initialize(&argc, argv);
    try {
        benchmark::RunSpecifiedBenchmarks();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_store: %s\n", e.what());
        return 1;
    }
    benchmark::Shutdown();
    if (gProcedureSeconds > 0 && gInsertSeconds > 0) {
        std::printf("\n%d moisture records\n", gRecords);
        std::printf("  procedures, one commit each: %10.1f us per record\n",
                    gProcedureSeconds * 1e6 / gRecords);
        std::printf("  plain insert, one commit:    %10.1f us per record\n", gInsertSeconds * 1e6 / gRecords);
        std::printf("  ratio procedures / insert:   %10.1f\n", gProcedureSeconds / gInsertSeconds);
    }
    return 0;
}
