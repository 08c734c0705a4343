// nivexctl download: the window program's download from a shell. It stores into the
// database of its own folder with that folder's species table and the stored language.

#include "base/text8.h"
#include "lang/database_language_store.h"
#include "lang/language_manager.h"
#include "lang/runtime_texts.h"
#include "meter/download.h"
#include "meter/species_table.h"
#include "store/database.h"
#include "tools/nivexctl/commands.h"
#include "usb/tftdichip.h"

#include <QCoreApplication>
#include <QSqlQuery>
#include <QString>

#include <cstdio>

namespace nivexctl {
namespace {

using nx::meter::ProgressText;

void say(const QString& text)
{
    std::printf("%s\n", text.toLocal8Bit().constData());
    std::fflush(stdout);
}

class ConsoleProgress final : public nx::meter::DownloadProgress {
public:
    void openProgress() override
    {
        say(QStringLiteral("Searching"));
        setBar(0);
    }
    void showText(ProgressText text) override
    {
        switch (text) {
        case ProgressText::None:
            return;
        case ProgressText::Searching:
            return;  // said when the progress opened
        case ProgressText::NoDevice:
            say(QStringLiteral("Device not connected"));
            return;
        case ProgressText::Importing:
            say(QStringLiteral("Importing data"));
            return;
        case ProgressText::ImportError:
            say(QStringLiteral("Import error"));
            return;
        }
    }
    void setBar(int position) override { say(QStringLiteral("%1%").arg(position, 3)); }
    void setMeterAnswered(bool) override {}
    void meterIdentified(const nx::meter::MeterIdentity& meter) override
    {
        say(QStringLiteral("Device: %1  SN: %2  FV: %3  (USB %4)")
                .arg(meter.deviceName, meter.serialText, meter.firmware, nx::fromText8(meter.usbSerial)));
    }
    void setBusy(bool) override {}
    void pumpEvents() override { QCoreApplication::processEvents(); }
    void reportSkipped(int count) override { say(nx::lang::runtimeText(8).arg(count)); }
    void dataChanged() override {}
    void closeProgress() override {}
};

int storedResults(nx::store::Database& db)
{
    QSqlQuery query(db.connection());
    query.setForwardOnly(true);
    return query.exec(QStringLiteral("select count(*) from WYNIKI")) && query.next() ? query.value(0).toInt()
                                                                                     : 0;
}

}  // namespace

int runDownload(const QStringList& args)
{
    if (!args.isEmpty()) {
        std::fprintf(stderr, "nivexctl download: takes no arguments\n");
        return 2;
    }
    const QString programPath = QCoreApplication::applicationDirPath() + QLatin1Char('/');
    nx::store::Database db;
    db.open(programPath);

    nx::meter::SpeciesTable species;
    try {
        species.load(programPath + QStringLiteral("GatunkiNXMc.txt"));
    } catch (const std::exception& e) {
        // As in the window: the species read so far stay usable, the download goes on.
        std::fprintf(stderr, "nivexctl download: %s\n", e.what());
    }
    nx::lang::LanguageManager languages(programPath);
    nx::lang::DatabaseLanguageStore language(db);
    languages.restore(language);

    nx::usb::tftdichip link;
    const LinkCloser closer(link);
    ConsoleProgress progress;
    const int before = storedResults(db);
    const nx::meter::DownloadSummary summary = nx::meter::runDownload(
        {link, db, species, languages.actLangNbr(), nx::lang::runtimeText(3), progress});

    switch (summary.outcome) {
    case nx::meter::DownloadOutcome::Done:
        break;
    case nx::meter::DownloadOutcome::NoDevice:
        std::fprintf(stderr, "nivexctl download: Device not connected\n");
        return 3;
    case nx::meter::DownloadOutcome::ImportError:
        std::fprintf(stderr, "nivexctl download: Import error\n");
        return 4;
    case nx::meter::DownloadOutcome::AlreadyRunning:
        std::fprintf(stderr, "nivexctl download: another download is running\n");
        return 5;
    }
    std::printf("moisture results: %d, temperature objects: %d, temperature results: %d, "
                "new results stored: %d, records skipped: %d\n",
                summary.moistureResults, summary.temperatureObjects, summary.temperatureResults,
                storedResults(db) - before, summary.skipped);
    return 0;
}

}  // namespace nivexctl
