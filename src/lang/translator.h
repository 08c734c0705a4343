#pragma once

#include "lang/language_file.h"

#include <QTranslator>

namespace nx::lang {

// Feeds Qt's tr() from one language file. The context Qt passes is the class name with
// its namespace; files key by the bare class name, so the namespace is dropped.
class LanguageTranslator final : public QTranslator {
    Q_OBJECT
public:
    explicit LanguageTranslator(QObject* parent = nullptr);

    void setLanguage(LanguageFile file);

    QString translate(const char* context, const char* sourceText, const char* disambiguation = nullptr,
                      int n = -1) const override;
    bool isEmpty() const override;

private:
    LanguageFile file_;
};

}  // namespace nx::lang
