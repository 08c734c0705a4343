#pragma once

namespace nx::app {

// Which spreadsheet programs the data export may hand its files to.
struct SpreadsheetApps {
    bool IsExcelExport = false;    // something opens application/vnd.ms-excel
    bool IsOpenOffExport = false;  // something opens application/vnd.oasis.opendocument.spreadsheet
};

// Asks the desktop's application registry (GIO), which reads the desktop files and
// mimeapps lists of the XDG data and config folders.
bool hasApplicationFor(const char* mimeType);
SpreadsheetApps detectSpreadsheetApps();

}  // namespace nx::app
