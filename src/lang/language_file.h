#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

namespace nx::lang {

inline constexpr char kLanguageFileSignature[] = "LANGUAGE_FILE";
inline constexpr char kLanguageFileSuffix[] = ".lng";

// One parsed language file. Window texts are keyed by context (window class name, no
// namespace) and English design text; run-time texts sit under the lexicon context,
// keyed by their English design text as well.
struct LanguageFile {
    QString name;      // display name, in the language itself
    QString code;      // two lower-case letters
    QString flagFile;  // bare file name of an SVG beside the language file
    QHash<QString, QHash<QString, QString>> texts;

    // The translation, or a null QString when the file has none.
    QString find(const QString& context, const QString& source) const;
};

// Decodes a whole file. Throws nx::Exception naming the line for anything that is not
// a well-formed language file (no signature, bad UTF-8, bad line, bad header value).
LanguageFile parseLanguageFile(const QByteArray& content);

// Reads and decodes; an unreadable file throws nx::Exception as well.
LanguageFile readLanguageFile(const QString& path);

}  // namespace nx::lang
