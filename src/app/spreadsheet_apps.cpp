#include "app/spreadsheet_apps.h"

#include <gio/gio.h>

#include <memory>

namespace nx::app {

namespace {

struct ObjectUnref {
    void operator()(GAppInfo* info) const { g_object_unref(info); }
};

struct ListUnref {
    void operator()(GList* list) const { g_list_free_full(list, g_object_unref); }
};

}  // namespace

bool hasApplicationFor(const char* mimeType)
{
    // The MIME type is also a valid content type on Unix desktops.
    const std::unique_ptr<GAppInfo, ObjectUnref> preferred(g_app_info_get_default_for_type(mimeType, FALSE));
    if (preferred)
        return true;
    // No default chosen yet, but an installed program that declares the type still opens it.
    const std::unique_ptr<GList, ListUnref> all(g_app_info_get_all_for_type(mimeType));
    return all != nullptr;
}

SpreadsheetApps detectSpreadsheetApps()
{
    SpreadsheetApps apps;
    apps.IsOpenOffExport = hasApplicationFor("application/vnd.oasis.opendocument.spreadsheet");
    apps.IsExcelExport = hasApplicationFor("application/vnd.ms-excel");
    return apps;
}

}  // namespace nx::app
