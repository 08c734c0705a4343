#include "meter/download.h"

#include "base/clock.h"
#include "base/exception.h"
#include "base/text8.h"
#include "meter/meter_link.h"
#include "meter/records.h"
#include "meter/species_table.h"
#include "store/database.h"
#include "store/sql_util.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlQuery>

#include <optional>
#include <string_view>
#include <vector>

namespace nx::meter {

namespace {

using Ms = std::chrono::milliseconds;

// One program, one meter link: a second download started at a pumping point of the
// first would interleave commands on the same line.
bool running = false;

class RunningFlag {
public:
    RunningFlag() { running = true; }
    ~RunningFlag() { running = false; }
    RunningFlag(const RunningFlag&) = delete;
    RunningFlag& operator=(const RunningFlag&) = delete;
};

// The progress is closed on every way out, errors included.
class OpenProgress {
public:
    explicit OpenProgress(DownloadProgress& progress) : progress_(progress) { progress_.openProgress(); }
    ~OpenProgress() { progress_.closeProgress(); }
    OpenProgress(const OpenProgress&) = delete;
    OpenProgress& operator=(const OpenProgress&) = delete;

private:
    DownloadProgress& progress_;
};

class BusyCursor {
public:
    explicit BusyCursor(DownloadProgress& progress) : progress_(progress) { progress_.setBusy(true); }
    ~BusyCursor() { progress_.setBusy(false); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

private:
    DownloadProgress& progress_;
};

// The meter's clock has no zone. As local time, a reading from the hour the clocks skip
// would be an invalid date-time and reach the database as NULL; as UTC it keeps its
// numbers exactly, and the column stores no zone either way.
QDateTime toDateTime(const DateTime& t)
{
    return QDateTime(QDate(t.year, t.month, t.day), QTime(t.hour, t.minute, t.second), Qt::UTC);
}

// Stores the records of one reply. With forced writes every commit waits for the disk,
// so the records go in one transaction, each inside a savepoint so that a refused one is
// undone alone. The transaction is committed at least every kStoreSliceMs and the window
// events are pumped only then, with no transaction open: a command the user starts at
// that point runs its own statements as usual.
class ReplyWriter {
public:
    ReplyWriter(store::Database& database, DownloadProgress& progress)
        : database_(database), progress_(progress)
    {
    }
    ~ReplyWriter()
    {
        // Only when a commit itself failed: leave nothing half-open behind.
        if (open_)
            connection_.rollback();
    }
    ReplyWriter(const ReplyWriter&) = delete;
    ReplyWriter& operator=(const ReplyWriter&) = delete;

    // P_UPDATEOBIEKT then P_WYNIKI_UI for one moisture record; false when refused.
    bool storeMoisture(const store::ObjectParams& object, store::ResultParams result)
    {
        return guarded([&] {
            result.idob = callObject(object);
            callResult(result);
        });
    }

    // P_WYNIKI_UI for one temperature record; false when refused. One statement undoes
    // itself when it fails, so it needs no savepoint of its own.
    bool storeResult(const store::ResultParams& result)
    {
        begin();
        bool stored = true;
        try {
            callResult(result);
        } catch (const Exception&) {
            stored = false;
        }
        endOfRecord();
        return stored;
    }

    // Makes everything stored so far permanent.
    void commit()
    {
        if (!open_)
            return;
        objectCall_.reset();
        resultCall_.reset();
        savepoint_.reset();
        undo_.reset();
        if (!connection_.commit())
            throw Exception(QStringLiteral("Storing the download: %1")
                                .arg(store::errorText(connection_.lastError()))
                                .toStdString());
        open_ = false;
    }

    // For the way out of an error: keep what was stored, never mask the error itself.
    void commitKeepingError() noexcept
    {
        try {
            commit();
        } catch (...) {
            // The destructor rolls back; the error that brought us here is the one to show.
        }
    }

private:
    template <typename Work> bool guarded(Work&& work)
    {
        begin();
        // A savepoint of the same name replaces the one before, so none is released by
        // hand: one statement less per record.
        execute(*savepoint_);
        bool stored = true;
        try {
            work();
        } catch (const Exception&) {
            execute(*undo_);
            stored = false;
        }
        endOfRecord();
        return stored;
    }

    void endOfRecord()
    {
        if (clock().now() - sliceStart_ >= Ms(kStoreSliceMs)) {
            commit();
            progress_.pumpEvents();
        }
    }

    void begin()
    {
        if (open_)
            return;
        connection_ = database_.connection();
        if (!connection_.transaction())
            throw Exception(QStringLiteral("Storing the download: %1")
                                .arg(store::errorText(connection_.lastError()))
                                .toStdString());
        open_ = true;
        sliceStart_ = clock().now();
        // The driver binds a statement to the transaction open when it is prepared.
        objectCall_.emplace(store::writeQuery(
            connection_, QStringLiteral("execute procedure P_UPDATEOBIEKT(?, ?, ?, ?, ?, ?)"),
            "P_UPDATEOBIEKT"));
        resultCall_.emplace(store::writeQuery(
            connection_, QStringLiteral("execute procedure P_WYNIKI_UI(?, ?, ?, ?, ?, ?, ?, ?)"),
            "P_WYNIKI_UI"));
        savepoint_.emplace(
            store::writeQuery(connection_, QStringLiteral("savepoint NX_RECORD"), "Storing a record"));
        undo_.emplace(store::writeQuery(connection_, QStringLiteral("rollback to savepoint NX_RECORD"),
                                        "Undoing a record"));
    }

    static void execute(QSqlQuery& query) { store::execute(query, "Storing a record"); }

    int callObject(const store::ObjectParams& p)
    {
        QSqlQuery& q = *objectCall_;
        q.bindValue(0, p.iddev);
        q.bindValue(1, p.idoIndev);
        q.bindValue(2, store::textValue(p.nazwaDev));
        q.bindValue(3, store::textValue(p.nazwaLong));
        q.bindValue(4, store::textValue(p.opis));
        q.bindValue(5, p.rezi1);
        store::execute(q, "P_UPDATEOBIEKT");
        // A missing IDOBJ reads as 0; the result call then fails on its own.
        const int id = q.next() ? q.value(0).toInt() : 0;
        q.finish();
        return id;
    }

    void callResult(const store::ResultParams& p)
    {
        QSqlQuery& q = *resultCall_;
        q.bindValue(0, p.idob);
        q.bindValue(1, p.dataczas);
        q.bindValue(2, double(p.dane1));
        q.bindValue(3, double(p.dane2));
        q.bindValue(4, p.dane3);
        q.bindValue(5, p.dane4);
        q.bindValue(6, p.rezi1);
        q.bindValue(7, store::textValue(p.rezc));
        store::execute(q, "P_WYNIKI_UI");
        q.finish();
    }

    store::Database& database_;
    DownloadProgress& progress_;
    QSqlDatabase connection_;
    bool open_ = false;
    Ms sliceStart_{0};
    std::optional<QSqlQuery> objectCall_;
    std::optional<QSqlQuery> resultCall_;
    std::optional<QSqlQuery> savepoint_;
    std::optional<QSqlQuery> undo_;
};

// A reply the download can use: complete and, for the listing replies, ended by "*".
bool acceptedList(const ExchangeResult& r) { return !r.cutShort && isTerminatedReply(r.reply); }

class Download {
public:
    explicit Download(const DownloadRequest& request)
        : r_(request), meters_(
                           request.link, [this] { r_.progress.pumpEvents(); }, request.replyLimit)
    {
    }

    DownloadSummary run()
    {
        DownloadProgress& progress = r_.progress;
        const OpenProgress window(progress);
        progress.pumpEvents();

        const int found = meters_.FindMeters();
        progress.showText(ProgressText::Searching);
        progress.setMeterAnswered(false);
        if (found == 0)
            return endWith(ProgressText::NoDevice, DownloadOutcome::NoDevice);

        const BusyCursor busy(progress);
        meters_.USBPortSerial = meters_.ListaPPDev[1];
        meters_.configureLink();

        const ExchangeResult identity = meters_.CommandExchange(identityCommand, identityExpectedLength);
        progress.showText(ProgressText::None);
        progress.pumpEvents();
        const Decoded<IdentReply> ident = checkIdentity(identity.reply);
        if (identity.cutShort || !ident)
            return endWith(ProgressText::NoDevice, DownloadOutcome::NoDevice);

        progress.showText(ProgressText::Importing);
        progress.pumpEvents();
        progress.setMeterAnswered(true);
        progress.meterIdentified(
            {meters_.USBPortSerial, fromText8(ident->serialText), fromText8(ident->firmware), r_.deviceName});
        progress.setBar(20);

        ReplyWriter writer(r_.database, progress);
        try {
            const ExchangeResult moisture = meters_.CommandExchange(moistureCommand, 0);
            progress.pumpEvents();
            if (!acceptedList(moisture))
                return importError();
            progress.setBar(40);
            storeMoisture(writer, moisture.reply);
            writer.commit();

            progress.setBar(60);
            const ExchangeResult objects = meters_.CommandExchange(tempObjectsCommand, 0);
            progress.pumpEvents();
            if (!acceptedList(objects))
                return importError();
            progress.setBar(80);
            for (std::string_view bytes : splitRecords(objects.reply, TempObjectRecord::size)) {
                if (!storeTempObject(writer, bytes))
                    return importError();
            }
        } catch (...) {
            writer.commitKeepingError();
            throw;
        }

        progress.setBar(100);
        progress.dataChanged();
        tellSkipped();
        return summary_;
    }

private:
    DownloadSummary endWith(ProgressText text, DownloadOutcome outcome)
    {
        r_.progress.showText(text);
        r_.progress.pumpEvents();
        clock().sleep(Ms(kMessagePauseMs));
        summary_.outcome = outcome;
        return summary_;
    }

    DownloadSummary importError()
    {
        DownloadSummary summary = endWith(ProgressText::ImportError, DownloadOutcome::ImportError);
        r_.progress.setMeterAnswered(false);
        // The moisture records stored before the error stay, so the ones left out are told too.
        tellSkipped();
        return summary;
    }

    void tellSkipped()
    {
        if (summary_.skipped > 0)
            r_.progress.reportSkipped(summary_.skipped);
    }

    void storeMoisture(ReplyWriter& writer, std::string_view reply)
    {
        for (std::string_view bytes : splitRecords(reply, MoistureRecord::size)) {
            const Decoded<MoistureRecord> m = decodeMoistureRecord(bytes);
            if (!m) {
                ++summary_.skipped;
                continue;
            }
            store::ObjectParams object;
            object.iddev = store::kMoistureDevice;
            object.idoIndev = m->speciesNumber;
            object.nazwaLong = r_.species.name(r_.languageNumber, m->speciesNumber);
            object.rezi1 = m->sampleNumber;
            store::ResultParams result;
            result.dataczas = toDateTime(m->timestamp);
            result.dane1 = static_cast<float>(m->moisture);
            result.dane2 = static_cast<float>(m->temperature);
            result.dane3 = static_cast<int>(m->recordNumber);
            if (writer.storeMoisture(object, result))
                ++summary_.moistureResults;
            else
                ++summary_.skipped;
        }
    }

    // False when the object's results reply was cut short.
    bool storeTempObject(ReplyWriter& writer, std::string_view bytes)
    {
        const Decoded<TempObjectRecord> t = decodeTempObjectRecord(bytes);
        if (!t) {
            ++summary_.skipped;
            return true;
        }
        store::ObjectParams object;
        object.iddev = store::kTemperatureDevice;
        object.idoIndev = t->objectNumber;
        object.nazwaDev = fromText8(t->name);
        // Its own commit: a refusal here ends the download with the database's message.
        const int idob = r_.database.updateObiektTemp(object);
        ++summary_.temperatureObjects;

        const ExchangeResult results = meters_.CommandExchange(tempResultsCommand(t->objectNumber), 0);
        r_.progress.pumpEvents();
        if (results.cutShort)
            return false;
        for (std::string_view record : splitRecords(results.reply, TempRecord::size)) {
            const Decoded<TempRecord> tr = decodeTempRecord(record);
            if (!tr) {
                ++summary_.skipped;
                continue;
            }
            store::ResultParams result;
            result.idob = idob;
            result.dataczas = toDateTime(tr->timestamp);
            result.dane2 = static_cast<float>(tr->temperature);
            result.dane3 = static_cast<int>(tr->recordNumber);
            if (writer.storeResult(result))
                ++summary_.temperatureResults;
            else
                ++summary_.skipped;
        }
        writer.commit();
        return true;
    }

    const DownloadRequest& r_;
    MeterLink meters_;
    DownloadSummary summary_;
};

}  // namespace

DownloadSummary runDownload(const DownloadRequest& request)
{
    if (running)
        return {DownloadOutcome::AlreadyRunning};
    const RunningFlag flag;
    return Download(request).run();
}

bool downloadRunning() { return running; }

}  // namespace nx::meter
