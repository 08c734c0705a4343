#pragma once

#include <QString>

#include <array>
#include <string_view>

namespace nx::lang {

// Language numbers pick templates, species columns, header pictures and contact
// details; the position in this table is the number.
inline constexpr std::array<std::string_view, 6> kLanguageCodes = {"en", "pl", "de", "fr", "es", "ru"};

// The design language: the engine starts in it and entry 0 of the list is always it.
inline constexpr std::string_view kDesignCode = "en";

// Exact, case-sensitive match; any other code, the empty one too, gives 0.
int languageNumber(const QString& code);

}  // namespace nx::lang
