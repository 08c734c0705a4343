#include "program_folder.h"

#include <QDir>
#include <QFile>
#include <QtTest>

ProgramFolder::ProgramFolder() : oldConfig_(qgetenv("XDG_CONFIG_HOME"))
{
    const QDir source(qEnvironmentVariable("NX_PROGRAM_DIR"));
    const QStringList files =
        source.entryList({QStringLiteral("NXbase.fb"), QStringLiteral("GatunkiNXMc.txt"),
                          QStringLiteral("*.lng"), QStringLiteral("*.svg")},
                         QDir::Files);
    for (const QString& f : files)
        QFile::copy(source.filePath(f), dir_.filePath(f));
    QFile::setPermissions(dir_.filePath(QStringLiteral("NXbase.fb")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
    QDir().mkpath(configDir());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(configDir()));
}

ProgramFolder::~ProgramFolder() { qputenv("XDG_CONFIG_HOME", oldConfig_); }

void ProgramFolder::writeFile(const QString& name, const QByteArray& bytes) const
{
    QFile f(dir_.filePath(name));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(f.fileName()));
}

void ProgramFolder::removeFile(const QString& name) const { QFile::remove(dir_.filePath(name)); }

void SampleData::fill(const QString& programPath)
{
    nx::store::Database db;
    db.open(programPath);
    const int counts[] = {3, 0, 2};
    const char* species[] = {"Arabica", "Robusta", "Liberica"};
    for (int s = 0; s < 3; ++s) {
        const int idob = db.updateObiekt({1, s + 1, {}, QLatin1String(species[s]), {}, 10 + s});
        for (int r = 0; r < counts[s]; ++r)
            db.wynikiUi(
                {idob, day(1 + r + 3 * s), 10.5f + float(r), 21.0f + float(r), 100 * s + r, 0, 0, {}});
    }
    const int temps[] = {2, 1};
    for (int t = 0; t < 2; ++t) {
        const int idob = db.updateObiektTemp({2, t + 1, QStringLiteral("TEMP%1").arg(t + 1), {}, {}, 0});
        for (int r = 0; r < temps[t]; ++r)
            db.wynikiUi({idob, day(20 + r + 3 * t), 0.0f, 30.0f + float(r), 500 + 10 * t + r, 0, 0, {}});
    }
}
