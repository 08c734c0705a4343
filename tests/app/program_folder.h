#pragma once

#include "store/database.h"

#include <QDateTime>
#include <QString>
#include <QTemporaryDir>

// A private copy of the program folder (database, species file, language files) and a
// private configuration folder, so each test starts as a new user would.
class ProgramFolder {
public:
    ProgramFolder();
    ~ProgramFolder();

    QString path() const { return dir_.path() + QLatin1Char('/'); }
    QString configDir() const { return dir_.path() + QStringLiteral("/config"); }
    QString settingsFile() const { return configDir() + QStringLiteral("/Velmar.cfp"); }
    void writeFile(const QString& name, const QByteArray& bytes) const;
    void removeFile(const QString& name) const;

private:
    QTemporaryDir dir_;
    QByteArray oldConfig_;
};

// Rows put into the copy before the window opens, the way a download stores them.
struct SampleData {
    // Moisture samples 1..3 with 3, 0 and 2 results; temperature objects 1..2 with 2 and 1.
    static void fill(const QString& programPath);
    static QDateTime day(int d) { return QDateTime(QDate(2024, 3, d), QTime(10, 30)); }
};
