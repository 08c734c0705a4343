#pragma once

#include "store/views.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QSqlDatabase>
#include <QSqlRecord>
#include <QString>

#include <memory>
#include <type_traits>
#include <vector>

namespace nx::store {

// Device numbers of the two fixed rows of VLMDEVICES.
inline constexpr int kMoistureDevice = 1;
inline constexpr int kTemperatureDevice = 2;

// Inputs of P_UPDATEOBIEKT and P_UPDATEOBIEKT_TEMP, in call order.
struct ObjectParams {
    int iddev = 0;
    int idoIndev = 0;
    QString nazwaDev;
    QString nazwaLong;
    QString opis;
    int rezi1 = 0;
};

// Inputs of P_WYNIKI_UI, in call order.
struct ResultParams {
    int idob = 0;
    QDateTime dataczas;
    float dane1 = 0;
    float dane2 = 0;
    int dane3 = 0;
    int dane4 = 0;
    int rezi1 = 0;
    QString rezc;
};

struct ChartPoint {
    QDateTime dataczas;
    double dane1 = 0;
    double dane2 = 0;
};

// The measurement database: one embedded Firebird connection to ProgramPath + "NXbase.fb"
// for the whole run. Every change is committed on its own before the call returns, so a
// failure later keeps what was stored before it. Errors are nx::Exception with the
// database's own reason in the text.
class Database {
public:
    static constexpr const char* kFileName = "NXbase.fb";

    Database();
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Connects to programPath + "NXbase.fb" (programPath ends with a separator) and opens
    // the configuration row and the device rows; the current device is then the first in
    // key order (1). A missing, unreadable, read-only, locked or damaged file is an error
    // naming the file. Call once.
    void open(const QString& programPath);
    bool isOpen() const;
    QString fileName() const { return fileName_; }
    // The connection, for statements that belong to other layers (set-based deletes and
    // the like). Change data only inside begin/commit so the change is really committed.
    QSqlDatabase connection() const;

    // KONFIGURACJA.LANG of the configuration row; 0 when null.
    int readLanguage();
    // Stores LANG at once; the next start reads it back.
    void writeLanguage(int index);

    // IDDEV of the device rows in PK_VLMDEVICES order.
    const QList<int>& devices() const { return devices_; }
    // Makes the row with this IDDEV the current device; an unknown number is an error.
    void selectDevice(int iddev);
    int currentDevice() const;

    // The two shared views (objects of the current device, results of one object).
    ObjectsModel& objects() { return *objects_; }
    ResultsModel& results() { return *results_; }

    // P_UPDATEOBIEKT: finds or adds the moisture sample; returns its IDOB (IDOBJ). A new
    // sample keeps the first 50 characters of a longer species name.
    int updateObiekt(const ObjectParams& params);
    // P_UPDATEOBIEKT_TEMP: finds or adds the temperature object; returns its IDOB.
    int updateObiektTemp(const ObjectParams& params);
    // P_WYNIKI_UI: stores one result unless the same one is already stored.
    void wynikiUi(const ResultParams& params);
    // P_SELECT_OBJECTS: marks of all objects of device iddx := 1 - sele.
    void selectObjects(int iddx, int sele);
    // P_SELECT_WYNIKI: marks of all results of object iddx := 1 - sele.
    void selectWyniki(int iddx, int sele);
    // P_SELECTDATES: marks exactly the results with from <= DATACZAS < toExclusive and the
    // objects owning a marked result; everything else is unmarked.
    void selectDates(QDate from, QDate toExclusive);

    // Every result of the device's objects, oldest first (chart query).
    std::vector<ChartPoint> chartData(int iddev);
    // Marked objects of the device by sample number, then name (report master).
    QList<QSqlRecord> reportObjects(int iddev);
    // Marked results of the object, oldest first (report detail).
    QList<QSqlRecord> reportResults(int idob);

    // Used by the views: runs `work` in one transaction begun before anything is
    // prepared in it, commits, and rolls back on any error.
    template <typename Work> auto inTransaction(const char* what, Work&& work);

private:
    void begin(const char* what);
    void commit(const char* what);
    void rollback() noexcept;
    int callObjectProcedure(const char* procedure, const ObjectParams& params);
    void callMarkProcedure(const char* procedure, int iddx, int sele);

    QString connectionName_;
    QString fileName_;
    int configurationId_ = 0;
    QList<int> devices_;
    int currentDevice_ = 0;
    std::unique_ptr<ObjectsModel> objects_;
    std::unique_ptr<ResultsModel> results_;
};

template <typename Work> auto Database::inTransaction(const char* what, Work&& work)
{
    begin(what);
    try {
        if constexpr (std::is_void_v<decltype(work())>) {
            work();
            commit(what);
        } else {
            auto result = work();
            commit(what);
            return result;
        }
    } catch (...) {
        rollback();
        throw;
    }
}

}  // namespace nx::store
