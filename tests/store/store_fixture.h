#pragma once

#include "store/database.h"

#include <QDateTime>
#include <QTemporaryDir>
#include <QVariant>

#include <gtest/gtest.h>

#include <memory>

namespace nx::store::test {

// A fresh copy of the database file the build ships, in its own folder.
class DatabaseCopy {
public:
    DatabaseCopy();
    // The folder with a trailing separator, as the program passes it.
    QString programPath() const { return dir_.path() + QLatin1Char('/'); }
    QString file() const { return programPath() + QString::fromLatin1(Database::kFileName); }
    QString folder() const { return dir_.path(); }

private:
    QTemporaryDir dir_;
};

class StoreTest : public ::testing::Test {
protected:
    void SetUp() override;

    // First column of the first row, read through a second connection on the same
    // file: it sees only what the store has committed.
    QVariant observe(const QString& sql, const QVariantList& values = {});
    // Runs a change through the second connection and commits it.
    void change(const QString& sql, const QVariantList& values = {});

    static ObjectParams sample(int species, int sampleNumber,
                               const QString& speciesName = QStringLiteral("Arabica"));
    static ObjectParams tempObject(int number, const QString& meterName);
    static ResultParams result(int idob, const QDateTime& when, float moisture, float temperature,
                               int record);

    DatabaseCopy copy;
    Database db;

private:
    std::unique_ptr<Database> observer_;
    Database& observer();
};

}  // namespace nx::store::test
