#include "app/spreadsheet_apps.h"

#include <gio/gio.h>

#include <memory>

namespace nx::app {

namespace {

struct ListUnref {
    void operator()(GList* list) const { g_list_free_full(list, g_object_unref); }
};

}  // namespace

bool hasApplicationFor(const char* mimeType)
{
    // Only programs that declare the type itself: the default and the full lists also
    // offer programs of the types it is derived from, such as an archive program for the
    // zip container of a spreadsheet. The MIME type is also a valid content type on Unix.
    const std::unique_ptr<GList, ListUnref> declared(g_app_info_get_recommended_for_type(mimeType));
    return declared != nullptr;
}

SpreadsheetApps detectSpreadsheetApps()
{
    SpreadsheetApps apps;
    apps.IsOpenOffExport = hasApplicationFor("application/vnd.oasis.opendocument.spreadsheet");
    apps.IsExcelExport = hasApplicationFor("application/vnd.ms-excel");
    return apps;
}

}  // namespace nx::app
