#include "base/text8.h"

namespace nx {

QString fromText8(std::string_view bytes)
{
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::string toText8(const QString& text)
{
    std::string out;
    out.reserve(static_cast<size_t>(text.size()));
    for (QChar c : text)
        out.push_back(c.unicode() <= 0xFF ? static_cast<char>(c.unicode()) : '?');
    return out;
}

}  // namespace nx
