#include "lang/language_codes.h"

namespace nx::lang {

int languageNumber(const QString& code)
{
    for (std::size_t i = 0; i < kLanguageCodes.size(); ++i) {
        if (code == QLatin1StringView(kLanguageCodes[i].data(), kLanguageCodes[i].size())) {
            return static_cast<int>(i);
        }
    }
    return 0;
}

}  // namespace nx::lang
