// bench_download: a full meter (10,000 moisture results, 10 temperature objects of 500
// readings) downloaded in real time into a fresh database copy, twice. Prints the
// download's wall time against the protocol's floor, and the time spent storing against
// the wire time of the same bytes. No goal is checked here; the figures are for reading.

#include "base/clock.h"
#include "meter/download.h"
#include "meter/species_table.h"
#include "store/database.h"
#include "usb/tftdichip.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <ctime>

namespace {

using namespace nx;
using Ms = std::chrono::milliseconds;
using Seconds = std::chrono::duration<double>;

constexpr int kMoisture = 10000;
constexpr int kObjects = 10;
constexpr int kReadings = 500;
constexpr double kLineBytesPerSecond = 11520;

// The system clock, keeping count of the time spent waiting: what is left of a
// download's wall time is work done by the program (decoding, storing, the driver).
class CountingClock final : public Clock {
public:
    Ms now() const override { return system_.now(); }
    void sleep(Ms duration) override
    {
        const auto start = std::chrono::steady_clock::now();
        system_.sleep(duration);
        waited += std::chrono::steady_clock::now() - start;
    }
    QDateTime wallNow() const override { return system_.wallNow(); }

    std::chrono::steady_clock::duration waited{};

private:
    SystemClock system_;
};

class SilentProgress final : public meter::DownloadProgress {
public:
    void openProgress() override {}
    void showText(meter::ProgressText) override {}
    void setBar(int) override {}
    void setMeterAnswered(bool) override {}
    void meterIdentified(const meter::MeterIdentity&) override {}
    void setBusy(bool) override {}
    void pumpEvents() override {}
    void reportSkipped(int) override {}
    void dataChanged() override {}
    void closeProgress() override {}
};

QJsonObject fullMeter()
{
    const QDateTime start(QDate(2026, 9, 1), QTime(8, 0));
    QJsonArray moisture;
    for (int i = 0; i < kMoisture; ++i)
        moisture.append(QJsonObject{{"record", i + 1},
                                    {"time", start.addSecs(60 * i).toString(Qt::ISODate)},
                                    {"moisture", 9.0 + (i % 40) / 10.0},
                                    {"temperature", 18.0 + (i % 120) / 10.0},
                                    {"species", 1 + i % 12},
                                    {"sample", i % 128}});
    QJsonArray objects;
    for (int o = 0; o < kObjects; ++o) {
        QJsonArray readings;
        for (int r = 0; r < kReadings; ++r)
            readings.append(QJsonObject{{"record", r + 1},
                                        {"time", start.addSecs(600 * r).toString(Qt::ISODate)},
                                        {"temperature", 15.0 + (r % 100) / 10.0}});
        objects.append(QJsonObject{
            {"number", o + 1}, {"name", QStringLiteral("Silo %1").arg(o + 1)}, {"records", readings}});
    }
    return QJsonObject{{"usbSerial", "PP009999"},
                       {"identity", QJsonObject{{"serialText", "TC009999"}, {"firmware", "1.05"}}},
                       {"moisture", moisture},
                       {"temperatureObjects", objects}};
}

int storedResults(store::Database& db)
{
    QSqlQuery q(db.connection());
    return q.exec(QStringLiteral("select count(*) from WYNIKI")) && q.next() ? q.value(0).toInt() : -1;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString copy = dir.filePath(QString::fromLatin1(store::Database::kFileName));
    if (!dir.isValid() || !QFile::copy(QStringLiteral(NX_SHIPPED_DATABASE), copy)) {
        std::fprintf(stderr, "bench_download: cannot copy %s\n", NX_SHIPPED_DATABASE);
        return 1;
    }
    QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner);
    const QString image = dir.filePath(QStringLiteral("meter.json"));
    {
        QFile file(image);
        if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(fullMeter()).toJson()) < 0) {
            std::fprintf(stderr, "bench_download: cannot write %s\n", qPrintable(image));
            return 1;
        }
    }
    qputenv("NIVEX_EMULATED_METERS", image.toLocal8Bit());

    store::Database db;
    db.open(dir.path() + QLatin1Char('/'));
    const meter::SpeciesTable species;
    usb::tftdichip link;
    SilentProgress progress;

    // The floor: every reply byte at the line's pace, the settling pause after the set-up,
    // the read pause of every exchange and the quiet time of each that has no set length.
    constexpr int exchanges = 3 + kObjects;
    constexpr double replyBytes =
        17.0 + kMoisture * 13.0 + 1 + kObjects * 25.0 + 1 + kObjects * kReadings * 9.0;
    const double wire = replyBytes / kLineBytesPerSecond;
    const double floor = wire + Seconds(meter::MeterLink::settleDelay).count() +
                         exchanges * Seconds(meter::MeterLink::readDelay).count() +
                         (exchanges - 1) * Seconds(meter::MeterLink::quietTime).count();
    std::printf("meter: %d moisture results, %d objects of %d readings; %.0f reply bytes, wire %.2f s, floor "
                "%.2f s\n",
                kMoisture, kObjects, kReadings, replyBytes, wire, floor);

    for (const char* run : {"first download", "second download"}) {
        CountingClock clock;
        const ScopedClock useClock(clock);
        const int before = storedResults(db);
        const auto start = std::chrono::steady_clock::now();
        const std::clock_t cpuStart = std::clock();
        const meter::DownloadSummary summary =
            meter::runDownload({link, db, species, 0, QString(), progress});
        const Seconds wall = std::chrono::steady_clock::now() - start;
        const Seconds working = wall - clock.waited;
        const double cpu = double(std::clock() - cpuStart) / CLOCKS_PER_SEC;
        if (summary.outcome != meter::DownloadOutcome::Done) {
            std::fprintf(stderr, "bench_download: the %s did not finish\n", run);
            return 1;
        }
        std::printf("%s: %d new results; wall %.2f s, wall / floor %.3f (goal <= 1.05); "
                    "storing %.3f s, storing / wire %.3f (goal <= 0.10); processor time %.3f s\n",
                    run, storedResults(db) - before, wall.count(), wall.count() / floor, working.count(),
                    working.count() / wire, cpu);
    }
    if (link.fconnected)
        link.closeDevice();
    return 0;
}
