#pragma once

#include <QDate>
#include <QRect>
#include <QString>

namespace nx::app {

// What the main window keeps between runs in the user's settings file.
struct MainFormSettings {
    // Normal (not maximized) geometry; empty when the file has none.
    QRect normalGeometry;
    bool maximized = false;
    bool minimized = false;
    QDate dateFrom = designDate();
    QDate dateTo = designDate();
    int panel6Width = 553;
    int panel8Width = 572;

    static QDate designDate() { return QDate(2017, 5, 30); }
    bool operator==(const MainFormSettings&) const = default;
};

// The INI file "Velmar.cfp" in the user's configuration folder, section MainUniNXFormCF.
// Every item that is missing or unreadable keeps its design value.
class FormSettingsFile {
public:
    // The default file: $XDG_CONFIG_HOME/Velmar.cfp (~/.config when unset).
    FormSettingsFile();
    explicit FormSettingsFile(QString path);

    const QString& path() const { return path_; }
    MainFormSettings load() const;
    // Raises nx::Exception naming the file when it cannot be written.
    void save(const MainFormSettings& settings, int pixelsPerInch) const;

    static QString defaultPath();
    static constexpr const char* section = "MainUniNXFormCF";

private:
    QString path_;
};

// The file's boolean spelling: TRUE, YES, Y are true; FALSE, NO, N are false (any case);
// anything else leaves `fallback`.
bool parseIniBool(const QString& text, bool fallback);

}  // namespace nx::app
