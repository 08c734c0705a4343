#include "lang/runtime_texts.h"

#include <QCoreApplication>

namespace nx::lang {

QString runtimeTextEnglish(int number)
{
    if (number < 0 || number >= static_cast<int>(kDesignedLexicon.size())) {
        return {};
    }
    return QString::fromUtf8(kDesignedLexicon[static_cast<std::size_t>(number)].english);
}

QString runtimeText(int number)
{
    if (number < 0 || number >= static_cast<int>(kDesignedLexicon.size())) {
        return {};
    }
    const char* english = kDesignedLexicon[static_cast<std::size_t>(number)].english;
    if (*english == '\0') {
        return {};
    }
    return QCoreApplication::translate(kLexiconContext, english);
}

}  // namespace nx::lang
