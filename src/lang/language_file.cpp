#include "lang/language_file.h"

#include "base/exception.h"
#include "lang/runtime_texts.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QStringDecoder>

namespace nx::lang {

namespace {

// Language files are small hand-edited texts; anything far bigger is not one.
constexpr qint64 kMaxFileSize = 4 * 1024 * 1024;

[[noreturn]] void fail(int line, const QString& what)
{
    throw nx::Exception(QStringLiteral("line %1: %2").arg(line).arg(what).toStdString());
}

// Position of the first '=' not preceded by an escaping backslash; -1 when none.
qsizetype findSeparator(const QString& line)
{
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (line[i] == u'\\') {
            ++i;
        } else if (line[i] == u'=') {
            return i;
        }
    }
    return -1;
}

QString unescape(const QString& text, int line)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != u'\\') {
            out += text[i];
            continue;
        }
        if (++i == text.size()) {
            fail(line, QStringLiteral("a backslash ends the line"));
        }
        switch (text[i].unicode()) {
        case u'\\':
            out += u'\\';
            break;
        case u'=':
            out += u'=';
            break;
        case u'#':
            out += u'#';
            break;
        case u'[':
            out += u'[';
            break;
        case u'n':
            out += u'\n';
            break;
        case u'r':
            out += u'\r';
            break;
        case u't':
            out += u'\t';
            break;
        default:
            fail(line, QStringLiteral("unknown escape \\%1").arg(text[i]));
        }
    }
    return out;
}

bool isBareSvgName(const QString& name)
{
    return name.endsWith(QLatin1String(".svg"), Qt::CaseInsensitive) && !name.startsWith(u'.') &&
           !name.contains(u'/') && !name.contains(u'\\') && !name.contains(u':');
}

// Lexicon keys are numbers; each becomes the English design text the engine is asked for.
// Numbers this program does not know (a file for a later version) are left out.
QString lexiconSource(const QString& key, int line)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,6}$"));
    if (!digits.match(key).hasMatch()) {
        fail(line, QStringLiteral("run-time text key \"%1\" is not a number").arg(key));
    }
    return runtimeTextEnglish(key.toInt());
}

void setHeader(LanguageFile& file, const QString& key, const QString& value, int line)
{
    QString* target = nullptr;
    if (key == QLatin1String("name")) {
        target = &file.name;
    } else if (key == QLatin1String("code")) {
        target = &file.code;
    } else if (key == QLatin1String("flag")) {
        target = &file.flagFile;
    } else {
        fail(line, QStringLiteral("unknown setting \"%1\" before the first [section]").arg(key));
    }
    if (!target->isEmpty()) {
        fail(line, QStringLiteral("\"%1\" given twice").arg(key));
    }
    *target = value;
}

void checkHeader(const LanguageFile& file)
{
    static const QRegularExpression code(QStringLiteral("^[a-z]{2}$"));
    if (file.name.trimmed().isEmpty()) {
        throw nx::Exception("no display name (name=...)");
    }
    if (!code.match(file.code).hasMatch()) {
        throw nx::Exception("the code (code=...) must be two lower-case letters");
    }
    if (!isBareSvgName(file.flagFile)) {
        throw nx::Exception("the flag (flag=...) must be the file name of an SVG picture beside the file");
    }
}

}  // namespace

QString LanguageFile::find(const QString& context, const QString& source) const
{
    const auto ctx = texts.constFind(context);
    if (ctx == texts.constEnd()) {
        return {};
    }
    return ctx->value(source);
}

LanguageFile parseLanguageFile(const QByteArray& content)
{
    QStringDecoder decoder(QStringDecoder::Utf8);
    QString text = decoder(content);
    if (decoder.hasError()) {
        throw nx::Exception("the file is not UTF-8 text");
    }
    if (text.startsWith(QChar(0xFEFF))) {
        text.remove(0, 1);
    }
    const QStringList lines = text.split(u'\n');
    if (lines.isEmpty() || lines.first().trimmed() != QLatin1String(kLanguageFileSignature)) {
        throw nx::Exception("the first line is not LANGUAGE_FILE");
    }

    LanguageFile file;
    QString context;  // empty while in the header
    QHash<QString, QSet<QString>> seen;
    for (int i = 1; i < lines.size(); ++i) {
        const int lineNo = i + 1;
        QString line = lines[i];
        if (line.endsWith(u'\r')) {
            line.chop(1);
        }
        if (line.trimmed().isEmpty() || line.startsWith(u'#')) {
            continue;
        }
        if (line.startsWith(u'[')) {
            const QString header = line.trimmed();
            if (!header.endsWith(u']') || header.size() < 3) {
                fail(lineNo, QStringLiteral("a section must look like [WindowClass]"));
            }
            context = header.mid(1, header.size() - 2).trimmed();
            continue;
        }
        const qsizetype sep = findSeparator(line);
        if (sep < 0) {
            fail(lineNo, QStringLiteral("no '=' between English text and translation"));
        }
        const QString key = unescape(line.left(sep), lineNo);
        const QString value = unescape(line.mid(sep + 1), lineNo);
        if (key.isEmpty()) {
            fail(lineNo, QStringLiteral("empty English text before '='"));
        }
        if (context.isEmpty()) {
            setHeader(file, key, value, lineNo);
            continue;
        }
        const QString source = context == QLatin1String(kLexiconContext) ? lexiconSource(key, lineNo) : key;
        auto& keys = seen[context];
        if (keys.contains(key)) {
            fail(lineNo, QStringLiteral("\"%1\" translated twice in [%2]").arg(key, context));
        }
        keys.insert(key);
        // An empty translation is no translation: the English text stays.
        if (!source.isEmpty() && !value.isEmpty()) {
            file.texts[context].insert(source, value);
        }
    }
    checkHeader(file);
    return file;
}

LanguageFile readLanguageFile(const QString& path)
{
    const QString name = QFileInfo(path).fileName();
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        throw nx::Exception(
            QStringLiteral("%1: cannot be read: %2").arg(name, f.errorString()).toStdString());
    }
    if (f.size() > kMaxFileSize) {
        throw nx::Exception(QStringLiteral("%1: too big for a language file").arg(name).toStdString());
    }
    const QByteArray content = f.readAll();
    if (f.error() != QFileDevice::NoError) {
        throw nx::Exception(
            QStringLiteral("%1: cannot be read: %2").arg(name, f.errorString()).toStdString());
    }
    try {
        return parseLanguageFile(content);
    } catch (const nx::Exception& e) {
        throw nx::Exception(
            QStringLiteral("%1: %2").arg(name, QString::fromStdString(e.what())).toStdString());
    }
}

}  // namespace nx::lang
