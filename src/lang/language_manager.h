#pragma once

#include "lang/translator.h"

#include <QObject>
#include <QString>

#include <vector>

namespace nx::lang {

// Where the chosen entry index lives between runs (the configuration row's LANG).
class LanguageStore {
public:
    virtual ~LanguageStore() = default;
    // The stored entry index; 0 when nothing is stored.
    virtual int readLanguage() = 0;
    virtual void writeLanguage(int index) = 0;
};

struct LanguageEntry {
    QString name;      // display name
    QString code;      // two lower-case letters
    QString flagPath;  // absolute path of the flag SVG (may not exist)
    QString filePath;  // the language file; empty for English
};

// The language list and the current language of the whole program. Entry 0 is English;
// behind it one entry per valid ".lng" file of the program folder, ordered by file name.
// Files that are not languages are left out and never stop start-up.
class LanguageManager final : public QObject {
    Q_OBJECT
public:
    explicit LanguageManager(const QString& programDir, QObject* parent = nullptr);
    ~LanguageManager() override;

    const std::vector<LanguageEntry>& entries() const { return entries_; }
    int count() const { return static_cast<int>(entries_.size()); }

    // Code of an entry; empty text for an index outside the list.
    QString codeOfEntry(int index) const;

    // Makes the first entry with this code current and re-translates every window;
    // an unlisted or empty code changes nothing. Returns whether it switched.
    bool switchToCode(const QString& code);
    // Code of the language the engine shows now ("en" at first).
    QString currentCode() const { return currentCode_; }

    // The entry selected in the list; -1 when none is.
    int selectedIndex() const { return selected_; }
    // Language number (0..5) of the selected entry's code; 0 when none is selected.
    int actLangNbr() const;

    // Start-up: select the stored entry (nothing is stored) and switch to its code.
    // A stored index beyond the list selects nothing and switches nothing.
    void restore(LanguageStore& store);
    // The user picked an entry: select it, switch to it and store its index at once
    // (when there is a store). An index outside the list changes nothing.
    void pick(int index, LanguageStore* store);

signals:
    // The selected entry changed (-1: none); the list control follows it.
    void selectionChanged(int index);

private:
    void select(int index);
    void load(const QString& programDir);

    std::vector<LanguageEntry> entries_;
    LanguageTranslator translator_;
    QString currentCode_;
    int selected_ = 0;
};

}  // namespace nx::lang
