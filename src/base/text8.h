#pragma once

#include <QString>

#include <string>
#include <string_view>

namespace nx {

// The meter's texts and the driver's serial numbers and descriptions are 8-bit text.
// They are read with one fixed single-byte code page, Latin-1: ASCII comes out
// unchanged and every byte maps to exactly one character, so nothing is lost.
QString fromText8(std::string_view bytes);
// Characters outside the code page become '?'.
std::string toText8(const QString& text);

}  // namespace nx
