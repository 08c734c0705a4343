#pragma once

#include <QString>
#include <QStringList>

#include <vector>

namespace nx::lang::test {

// One translatable text found in the sources: the context Qt will ask for (the class
// name without namespace) and the English text.
struct SourceText {
    QString context;
    QString text;
    QString where;  // file:line
};

// Finds tr("..."), X::tr("..."), QT_TR_NOOP("..."), QCoreApplication::translate("ctx", "...")
// and QT_TRANSLATE_NOOP("ctx", "...") with literal texts. The context of tr() is the class
// whose body or member definition holds the call.
std::vector<SourceText> scanSource(const QString& source, const QString& fileName);

// Every .h and .cpp file under dir, in a stable order.
std::vector<SourceText> scanTree(const QString& dir);

// The %1-style placeholders of a text (%1..%99, %L1, %n), sorted, repeats kept.
QStringList placeholders(const QString& text);

}  // namespace nx::lang::test
