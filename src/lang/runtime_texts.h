#pragma once

#include <QString>

#include <array>

namespace nx::lang {

// Context of the numbered run-time texts in language files and in the engine.
inline constexpr char kLexiconContext[] = "DesignedLexicon1";

struct LexiconEntry {
    const char* english;  // design text; the key the engine translates
    bool shown;           // shown to the user, so every language file must translate it
};

// The numbered texts the code shows itself. A new message is one more line here.
inline constexpr std::array kDesignedLexicon = {
    LexiconEntry{"Microsoft Office Excel not installed", true},           // 0
    LexiconEntry{"Open Office Calc  not installed", true},                // 1: two blanks, as designed
    LexiconEntry{"Nivex grain", false},                                   // 2: another device kind
    LexiconEntry{"Nivex coffee & cocoa", true},                           // 3: device name after identity
    LexiconEntry{"Nivex hay", false},                                     // 4: another device kind
    LexiconEntry{"Temperature", true},                                    // 5: chart legend
    LexiconEntry{"Moisture", true},                                       // 6: chart legend
    LexiconEntry{"", false},                                              // 7
    LexiconEntry{"%1 records could not be read and were skipped", true},  // 8: end of a download
};

// English design text of a number; empty beyond the table.
QString runtimeTextEnglish(int number);

// Text of a number in the current language, looked up now; the English text where the
// language lacks it; empty beyond the table.
QString runtimeText(int number);

}  // namespace nx::lang
