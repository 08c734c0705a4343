#include "meter/species_table.h"

#include "base/exception.h"
#include "base/text8.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <algorithm>

namespace nx::meter {

namespace {

// Decimal digits with an optional sign, within 32 bits; anything else (an empty text
// included) is not a species number.
bool toInteger(const QString& text, int& value)
{
    static constexpr auto isDigit = [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); };
    const qsizetype start = text.startsWith(QLatin1Char('-')) || text.startsWith(QLatin1Char('+')) ? 1 : 0;
    if (text.size() == start || !std::all_of(text.begin() + start, text.end(), isDigit))
        return false;
    bool ok = false;
    value = text.toInt(&ok, 10);
    return ok;
}

}  // namespace

QString decodeText(const QByteArray& bytes)
{
    struct Mark {
        const char* bytes;
        qsizetype size;
        QStringConverter::Encoding encoding;
    };
    static constexpr Mark kMarks[] = {
        {"\xEF\xBB\xBF", 3, QStringConverter::Utf8},
        {"\xFF\xFE", 2, QStringConverter::Utf16LE},
        {"\xFE\xFF", 2, QStringConverter::Utf16BE},
    };
    for (const Mark& mark : kMarks) {
        if (bytes.startsWith(QByteArrayView(mark.bytes, mark.size))) {
            QStringDecoder decoder(mark.encoding, QStringConverter::Flag::Default);
            return decoder(QByteArrayView(bytes).sliced(mark.size));
        }
    }
    return fromText8(std::string_view(bytes.constData(), std::size_t(bytes.size())));
}

QStringList splitLines(const QString& text)
{
    QStringList lines;
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = start;
        while (end < text.size() && text[end] != QLatin1Char('\r') && text[end] != QLatin1Char('\n'))
            ++end;
        lines.append(text.mid(start, end - start));
        if (end < text.size() && text[end] == QLatin1Char('\r') && end + 1 < text.size() &&
            text[end + 1] == QLatin1Char('\n'))
            ++end;
        start = end + 1;
    }
    return lines;
}

void SpeciesTable::load(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Exception(
            QStringLiteral("Cannot open file \"%1\". %2")
                .arg(QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()), file.errorString())
                .toStdString());
    const QStringList lines = splitLines(decodeText(file.readAll()));
    file.close();

    rows_.clear();
    nominalRows_ = int(lines.size()) + 5;
    for (const QString& line : lines) {
        const qsizetype hash = line.indexOf(QLatin1Char('#'));
        const QString numberText = hash < 0 ? QString() : line.left(hash);
        int row = 0;
        if (!toInteger(numberText, row))
            throw Exception(
                QStringLiteral("'%1' is not a valid integer value").arg(numberText).toStdString());
        auto& cells = rows_[row];
        cells[0] = numberText;
        // Each name ends with "#"; the step that finds no further "#" empties its column,
        // so text after the last "#" is not taken.
        QString rest = line.mid(hash + 1);
        for (int column = 1;; ++column) {
            const qsizetype next = rest.indexOf(QLatin1Char('#'));
            if (column < kColumns)
                cells[column] = next < 0 ? QString() : rest.left(next);
            if (next < 0)
                break;
            rest.remove(0, next + 1);
        }
    }
}

QString SpeciesTable::cell(int column, int row) const
{
    if (column < 0 || column >= kColumns)
        return {};
    const auto found = rows_.constFind(row);
    return found == rows_.constEnd() ? QString() : (*found)[column];
}

QString SpeciesTable::name(int languageNumber, int speciesNumber) const
{
    return languageNumber < 0 ? QString() : cell(languageNumber + 1, speciesNumber);
}

}  // namespace nx::meter
