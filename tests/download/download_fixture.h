#pragma once

// Downloads from emulated meters into a fresh copy of the shipped database, in virtual
// time, with a progress that writes down what it was told.

#include "base/clock.h"
#include "meter/download.h"
#include "meter/species_table.h"
#include "store/database.h"
#include "usb/tftdichip.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QTemporaryDir>
#include <QVariant>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace nx::download::test {

// Every call, in order, as "open", "text:Importing", "bar:40", "busy:1", ...
class RecordingProgress final : public meter::DownloadProgress {
public:
    void openProgress() override { note("open"); }
    void showText(meter::ProgressText text) override;
    void setBar(int position) override { note("bar:" + std::to_string(position)); }
    void setMeterAnswered(bool answered) override
    {
        meterAnswered = answered;
        note(answered ? "answered:1" : "answered:0");
    }
    void meterIdentified(const meter::MeterIdentity& meter) override
    {
        identity = meter;
        note("identified");
    }
    void setBusy(bool on) override
    {
        busy = on;
        note(on ? "busy:1" : "busy:0");
    }
    void pumpEvents() override
    {
        ++pumps;
        if (onPump)
            onPump();
    }
    void reportSkipped(int count) override { note("skipped:" + std::to_string(count)); }
    void dataChanged() override { note("dataChanged"); }
    void closeProgress() override { note("close"); }

    // Only the events that begin with one of these prefixes.
    std::vector<std::string> only(std::initializer_list<const char*> prefixes) const;
    bool saw(const std::string& event) const;
    // Clock time of the first such event.
    std::chrono::milliseconds timeOf(const std::string& event) const;

    std::vector<std::string> events;
    std::vector<std::chrono::milliseconds> times;
    meter::MeterIdentity identity;
    bool meterAnswered = false;
    bool busy = false;
    int pumps = 0;
    std::function<void()> onPump;

private:
    void note(std::string event)
    {
        events.push_back(std::move(event));
        times.push_back(nx::clock().now());
    }
};

// One meter image, built in code and written as the JSON file the emulator reads.
struct MoistureEntry {
    int record;
    const char* time;
    double moisture;
    double temperature;
    int species;
    int sample;
};
struct TempEntry {
    int record;
    const char* time;
    double temperature;
};
QJsonObject meterImage(const std::vector<MoistureEntry>& moisture,
                       const std::vector<std::pair<int, QString>>& objects = {},
                       const std::vector<std::vector<TempEntry>>& objectRecords = {});

class DownloadTest : public ::testing::Test {
protected:
    DownloadTest();
    ~DownloadTest() override;

    // Makes these images the attached devices, in order.
    void attach(const std::vector<QJsonObject>& images);
    meter::DownloadSummary download(int languageNumber = 0);

    // First column of the first row of a query on the database copy.
    QVariant value(const QString& sql, const QVariantList& values = {});
    int rowCount(const char* table);
    // Rows of a query, each row's columns joined by "|".
    std::vector<std::string> rows(const QString& sql);
    // A change committed on its own (schema changes that make the store fail).
    void change(const QString& sql);

    QTemporaryDir dir;
    VirtualClock clock;
    ScopedClock useClock{clock};
    usb::tftdichip link;
    store::Database db;
    meter::SpeciesTable species;
    RecordingProgress progress;
    std::size_t replyLimit = meter::MeterLink::defaultReplyLimit;
};

}  // namespace nx::download::test
