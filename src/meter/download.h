#pragma once

// The download: everything the meter holds, read and stored. No widgets here; whoever
// starts it shows the progress through DownloadProgress, so the window program and the
// command line run the very same steps. Every pause goes through nx::clock().

#include "meter/meter_link.h"

#include <QString>

#include <cstddef>
#include <string>

namespace nx::store {
class Database;
}

namespace nx::meter {

class SpeciesTable;

// The one line of text the progress shows; each replaces the one before.
enum class ProgressText {
    None,
    Searching,
    NoDevice,   // "Device not connected"
    Importing,  // "Importing data"
    ImportError,
};

struct MeterIdentity {
    std::string usbSerial;  // the chip's serial number, 8-bit text
    QString serialText;     // from the identity reply
    QString firmware;
    QString deviceName;
};

class DownloadProgress {
public:
    virtual ~DownloadProgress() = default;
    // Opens the progress with "Searching" and the bar at 0.
    virtual void openProgress() = 0;
    virtual void showText(ProgressText text) = 0;
    virtual void setBar(int position) = 0;
    // A meter answered (true) or none has (false): the main window's FlagaJest.
    virtual void setMeterAnswered(bool answered) = 0;
    virtual void meterIdentified(const MeterIdentity& meter) = 0;
    // Hourglass on from the discovery of a meter to the end.
    virtual void setBusy(bool busy) = 0;
    // Keeps windows alive; called at fixed points only, never inside a transaction.
    virtual void pumpEvents() = 0;
    // Records that could not be decoded or stored; called once at the end when any were.
    virtual void reportSkipped(int count) = 0;
    // Everything is stored: the views may be read again.
    virtual void dataChanged() = 0;
    virtual void closeProgress() = 0;
};

enum class DownloadOutcome {
    Done,
    NoDevice,
    ImportError,
    AlreadyRunning,  // another download was under way; nothing was done
};

struct DownloadSummary {
    DownloadOutcome outcome = DownloadOutcome::Done;
    int moistureResults = 0;  // moisture records stored (or found stored)
    int temperatureObjects = 0;
    int temperatureResults = 0;
    int skipped = 0;  // records abandoned: bad date or time, or refused by the database
};

struct DownloadRequest {
    usb::tftdichip& link;
    store::Database& database;
    const SpeciesTable& species;
    int languageNumber = 0;  // picks the species names
    QString deviceName;      // shown once the meter has answered
    DownloadProgress& progress;
    // Longest reply taken from the meter; a longer one is an import error.
    std::size_t replyLimit = MeterLink::defaultReplyLimit;
};

// How long "Device not connected" and "Import error" stay up.
inline constexpr int kMessagePauseMs = 2000;
// Longest stretch of storing between two pumps of the window events.
inline constexpr int kStoreSliceMs = 100;

// Runs one download. Only one runs at a time in the process: a call while another is
// under way returns AlreadyRunning at once. Errors other than the download's own ends
// (a temperature object the database refuses, a lost connection) leave as nx::Exception
// after the progress has been closed and the cursor restored; what was stored stays.
DownloadSummary runDownload(const DownloadRequest& request);

// Whether a download is running now.
bool downloadRunning();

}  // namespace nx::meter
