#include "lang/translator.h"

namespace nx::lang {

LanguageTranslator::LanguageTranslator(QObject* parent) : QTranslator(parent) {}

void LanguageTranslator::setLanguage(LanguageFile file) { file_ = std::move(file); }

QString LanguageTranslator::translate(const char* context, const char* sourceText, const char*, int) const
{
    if (context == nullptr || sourceText == nullptr) {
        return {};
    }
    QString ctx = QString::fromUtf8(context);
    const qsizetype scope = ctx.lastIndexOf(QLatin1String("::"));
    if (scope >= 0) {
        ctx.remove(0, scope + 2);
    }
    return file_.find(ctx, QString::fromUtf8(sourceText));
}

bool LanguageTranslator::isEmpty() const { return file_.texts.isEmpty(); }

}  // namespace nx::lang
