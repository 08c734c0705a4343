// How the main window's views hold up on large objects, on fresh copies of the shipped
// database file. Prints two ratios:
//   - reloading the results view and having its first screen of rows, for an object with
//     1,000,000 results, divided by the same for an object with 100 (goal <= 2);
//   - "Delete marked records" on 100,000 marked results divided by a bare DELETE of the
//     same rows in one transaction (goal <= 1.5).
//
//   bench_views [--big=N] [--marked=M]     (N defaults to 1000000, M to 100000)

#include "app/measurement_views.h"
#include "store/database.h"

#include <QCoreApplication>
#include <QFile>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Rows a results grid shows on its first screen.
constexpr int kFirstScreen = 30;

class FreshCopy {
public:
    FreshCopy()
    {
        const QString shipped = qEnvironmentVariableIsEmpty("NX_PROGRAM_DIR")
                                    ? QStringLiteral(NX_SHIPPED_DATABASE)
                                    : qEnvironmentVariable("NX_PROGRAM_DIR") + QStringLiteral("/NXbase.fb");
        const QString copy = dir_.path() + QStringLiteral("/NXbase.fb");
        if (!dir_.isValid() || !QFile::copy(shipped, copy))
            throw std::runtime_error("cannot copy " + shipped.toStdString());
        QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner);
        database.open(dir_.path() + QLatin1Char('/'));
    }

    QTemporaryDir dir_;
    nx::store::Database database;
};

int newObject(nx::store::Database& db, int number)
{
    return db.updateObiekt({nx::store::kMoistureDevice, number, {}, QStringLiteral("Arabica"), {}, number});
}

// Bench set-up only: rows go in with one prepared INSERT in one transaction.
void addResults(nx::store::Database& db, int idob, int count, int marked)
{
    db.inTransaction("filling", [&] {
        QSqlQuery q(db.connection());
        if (!q.prepare(
                QStringLiteral("insert into WYNIKI (IDOB, DATACZAS, DANE1, DANE2, DANE3, DANE4, REZI1, REZC) "
                               "values (?, ?, ?, ?, ?, 0, ?, '')")))
            throw std::runtime_error("cannot prepare the insert");
        const QDateTime start(QDate(2024, 1, 1), QTime(6, 0));
        for (int i = 0; i < count; ++i) {
            q.bindValue(0, idob);
            q.bindValue(1, start.addSecs(2 * i));
            q.bindValue(2, 10.0 + (i % 50) / 10.0);
            q.bindValue(3, 20.0 + i % 7);
            q.bindValue(4, i);
            q.bindValue(5, i < marked ? 1 : 0);
            if (!q.exec())
                throw std::runtime_error("cannot insert a result");
        }
    });
}

int rowOf(nx::app::MeasurementViews& views, int idob)
{
    auto& objects = views.objects();
    objects.fetchAll();
    for (int r = 0; r < objects.rowCount(); ++r)
        if (objects.key(r) == idob)
            return r;
    throw std::runtime_error("object not in the view");
}

double seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// Median time of making the object current (which reloads its results) and reading
// the first screen of rows.
double openResults(nx::app::MeasurementViews& views, int row, int otherRow)
{
    std::vector<double> runs;
    for (int i = 0; i < 7; ++i) {
        views.setCurrentObjectRow(otherRow);
        const auto t0 = Clock::now();
        views.setCurrentObjectRow(row);
        auto& results = views.results();
        for (int r = 0; r < std::min(kFirstScreen, results.rowCount()); ++r)
            results.data(results.index(r, results.column(QStringLiteral("DANE1"))));
        runs.push_back(seconds(Clock::now() - t0));
    }
    std::sort(runs.begin(), runs.end());
    return runs[runs.size() / 2];
}

int argument(int argc, char** argv, const char* name, int fallback)
{
    const std::size_t n = std::strlen(name);
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], name, n) == 0)
            return std::atoi(argv[i] + n);
    return fallback;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int big = argument(argc, argv, "--big=", 1000000);
    const int marked = argument(argc, argv, "--marked=", 100000);
    try {
        {
            FreshCopy copy;
            const int large = newObject(copy.database, 1);
            const int small = newObject(copy.database, 2);
            const int empty = newObject(copy.database, 3);
            std::printf("filling %d + 100 results...\n", big);
            addResults(copy.database, large, big, 0);
            addResults(copy.database, small, 100, 0);
            nx::app::MeasurementViews views(copy.database);
            views.ReloadObjects(QString());
            const int emptyRow = rowOf(views, empty);
            const double tLarge = openResults(views, rowOf(views, large), emptyRow);
            const double tSmall = openResults(views, rowOf(views, small), emptyRow);
            std::printf(
                "results view, first screen: %d results %.6f s, 100 results %.6f s, ratio %.2f (goal <= 2)\n",
                big, tLarge, tSmall, tLarge / tSmall);
        }
        double tCommand = 0;
        double tBare = 0;
        {
            FreshCopy copy;
            const int idob = newObject(copy.database, 1);
            addResults(copy.database, idob, marked + 1000, marked);
            nx::app::MeasurementViews views(copy.database);
            views.ReloadObjects(QString());
            const auto t0 = Clock::now();
            views.deleteMarkedResults();
            tCommand = seconds(Clock::now() - t0);
        }
        {
            FreshCopy copy;
            const int idob = newObject(copy.database, 1);
            addResults(copy.database, idob, marked + 1000, marked);
            const auto t0 = Clock::now();
            copy.database.inTransaction("bare delete", [&] {
                QSqlQuery q(copy.database.connection());
                q.prepare(QStringLiteral("delete from WYNIKI where IDOB = ? and REZI1 >= 1"));
                q.addBindValue(idob);
                if (!q.exec())
                    throw std::runtime_error("bare delete failed");
            });
            tBare = seconds(Clock::now() - t0);
        }
        std::printf("delete marked records: %d marked, command %.4f s, bare DELETE %.4f s, ratio %.2f (goal "
                    "<= 1.5)\n",
                    marked, tCommand, tBare, tCommand / tBare);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_views: %s\n", e.what());
        return 1;
    }
    return 0;
}
