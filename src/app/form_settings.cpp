#include "app/form_settings.h"

#include "base/exception.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace nx::app {

namespace {

// Items are stored under "<control>_<property>", as the form storage always named them.
constexpr const char* keyDateFrom = "dtpDataOd_Date";
constexpr const char* keyDateTo = "dtpDataDo_Date";
constexpr const char* keyPanel6 = "Panel6_Width";
constexpr const char* keyPanel8 = "Panel8_Width";
constexpr const char* keyLeft = "Left";
constexpr const char* keyTop = "Top";
constexpr const char* keyWidth = "Width";
constexpr const char* keyHeight = "Height";
constexpr const char* keyMaximized = "Maximized";
constexpr const char* keyMinimized = "Minimized";
constexpr const char* keyPixelsPerInch = "PixelsPerInch";
constexpr const char* keyFormVersion = "FormVersion";

// Pane widths beyond this are a damaged file, not a wish.
constexpr int maxPaneWidth = 20000;

int readInt(const QSettings& s, const char* key, bool* ok)
{
    const QVariant v = s.value(QLatin1String(key));
    *ok = false;
    if (!v.isValid())
        return 0;
    return v.toString().trimmed().toInt(ok);
}

QDate readDate(const QSettings& s, const char* key, QDate fallback)
{
    const QDate d = QDate::fromString(s.value(QLatin1String(key)).toString().trimmed(), Qt::ISODate);
    return d.isValid() ? d : fallback;
}

int readWidth(const QSettings& s, const char* key, int fallback)
{
    bool ok = false;
    const int w = readInt(s, key, &ok);
    return ok && w > 0 && w <= maxPaneWidth ? w : fallback;
}

}  // namespace

bool parseIniBool(const QString& text, bool fallback)
{
    const QString t = text.trimmed().toUpper();
    if (t == QLatin1String("TRUE") || t == QLatin1String("YES") || t == QLatin1String("Y"))
        return true;
    if (t == QLatin1String("FALSE") || t == QLatin1String("NO") || t == QLatin1String("N"))
        return false;
    return fallback;
}

FormSettingsFile::FormSettingsFile() : path_(defaultPath()) {}

FormSettingsFile::FormSettingsFile(QString path) : path_(std::move(path)) {}

QString FormSettingsFile::defaultPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QLatin1String("/Velmar.cfp");
}

MainFormSettings FormSettingsFile::load() const
{
    MainFormSettings out;
    if (!QFileInfo(path_).isReadable())
        return out;
    QSettings s(path_, QSettings::IniFormat);
    if (s.status() != QSettings::NoError)
        return out;
    s.beginGroup(QLatin1String(section));
    out.dateFrom = readDate(s, keyDateFrom, out.dateFrom);
    out.dateTo = readDate(s, keyDateTo, out.dateTo);
    out.panel6Width = readWidth(s, keyPanel6, out.panel6Width);
    out.panel8Width = readWidth(s, keyPanel8, out.panel8Width);

    bool okL = false, okT = false, okW = false, okH = false;
    const int left = readInt(s, keyLeft, &okL);
    const int top = readInt(s, keyTop, &okT);
    const int width = readInt(s, keyWidth, &okW);
    const int height = readInt(s, keyHeight, &okH);
    if (okL && okT && okW && okH && width > 0 && height > 0)
        out.normalGeometry = QRect(left, top, width, height);
    out.maximized = parseIniBool(s.value(QLatin1String(keyMaximized)).toString(), false);
    out.minimized = parseIniBool(s.value(QLatin1String(keyMinimized)).toString(), false);
    return out;
}

void FormSettingsFile::save(const MainFormSettings& settings, int pixelsPerInch) const
{
    QDir().mkpath(QFileInfo(path_).absolutePath());
    QSettings s(path_, QSettings::IniFormat);
    s.beginGroup(QLatin1String(section));
    if (settings.normalGeometry.isValid()) {
        s.setValue(QLatin1String(keyLeft), settings.normalGeometry.left());
        s.setValue(QLatin1String(keyTop), settings.normalGeometry.top());
        s.setValue(QLatin1String(keyWidth), settings.normalGeometry.width());
        s.setValue(QLatin1String(keyHeight), settings.normalGeometry.height());
    }
    s.setValue(QLatin1String(keyMaximized), settings.maximized ? "TRUE" : "FALSE");
    s.setValue(QLatin1String(keyMinimized), settings.minimized ? "TRUE" : "FALSE");
    s.setValue(QLatin1String(keyPixelsPerInch), pixelsPerInch);
    s.setValue(QLatin1String(keyFormVersion), 0);
    s.setValue(QLatin1String(keyDateFrom), settings.dateFrom.toString(Qt::ISODate));
    s.setValue(QLatin1String(keyDateTo), settings.dateTo.toString(Qt::ISODate));
    s.setValue(QLatin1String(keyPanel6), settings.panel6Width);
    s.setValue(QLatin1String(keyPanel8), settings.panel8Width);
    s.endGroup();
    s.sync();
    if (s.status() != QSettings::NoError)
        throw nx::Exception("Cannot write the settings file \"" + path_.toStdString() + "\".");
}

}  // namespace nx::app
