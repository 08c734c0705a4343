#include "tr_scan.h"

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>

#include <algorithm>
#include <optional>

namespace nx::lang::test {

namespace {

enum class Kind { Ident, String, Punct };

struct Token {
    Kind kind;
    QString text;  // identifier, punctuation, or the decoded literal
    int line;
};

bool isIdentStart(QChar c) { return c.isLetter() || c == u'_'; }

bool isIdent(QChar c) { return c.isLetterOrNumber() || c == u'_'; }

// C++ tokens, enough to follow classes, braces and calls; comments and character
// literals are dropped, string literals decoded.
std::vector<Token> tokenize(const QString& s)
{
    std::vector<Token> out;
    int line = 1;
    qsizetype i = 0;
    const qsizetype n = s.size();
    auto at = [&](qsizetype k) { return k < n ? s[k] : QChar(); };
    while (i < n) {
        const QChar c = s[i];
        if (c == u'\n') {
            ++line;
            ++i;
        } else if (c.isSpace()) {
            ++i;
        } else if (c == u'/' && at(i + 1) == u'/') {
            while (i < n && s[i] != u'\n') {
                ++i;
            }
        } else if (c == u'/' && at(i + 1) == u'*') {
            i += 2;
            while (i < n && !(s[i] == u'*' && at(i + 1) == u'/')) {
                line += s[i] == u'\n';
                ++i;
            }
            i += 2;
        } else if (c == u'#' && (out.empty() || out.back().line != line)) {
            // Preprocessor line, with continuations.
            while (i < n && s[i] != u'\n') {
                if (s[i] == u'\\' && at(i + 1) == u'\n') {
                    ++line;
                    ++i;
                }
                ++i;
            }
        } else if (c == u'R' && at(i + 1) == u'"') {
            const qsizetype open = s.indexOf(u'(', i + 2);
            const QString delim = u')' + s.mid(i + 2, open - i - 2) + u'"';
            const qsizetype close = s.indexOf(delim, open);
            const QString body = s.mid(open + 1, close - open - 1);
            out.push_back({Kind::String, body, line});
            line += int(body.count(u'\n'));
            i = close + delim.size();
        } else if (c == u'"' || c == u'\'') {
            const QChar quote = c;
            QString text;
            ++i;
            while (i < n && s[i] != quote) {
                if (s[i] == u'\\' && i + 1 < n) {
                    ++i;
                    switch (s[i].unicode()) {
                    case u'n':
                        text += u'\n';
                        break;
                    case u't':
                        text += u'\t';
                        break;
                    case u'r':
                        text += u'\r';
                        break;
                    case u'0':
                        text += QChar();
                        break;
                    default:
                        text += s[i];
                    }
                } else {
                    text += s[i];
                }
                ++i;
            }
            ++i;
            if (quote == u'"') {
                // Adjacent literals are one text.
                if (!out.empty() && out.back().kind == Kind::String) {
                    out.back().text += text;
                } else {
                    out.push_back({Kind::String, text, line});
                }
            }
        } else if (isIdentStart(c)) {
            const qsizetype start = i;
            while (i < n && isIdent(s[i])) {
                ++i;
            }
            const QString word = s.mid(start, i - start);
            // Encoding prefixes belong to the literal that follows.
            if (at(i) == u'"' && (word == u"u8" || word == u"u" || word == u"U" || word == u"L")) {
                continue;
            }
            out.push_back({Kind::Ident, word, line});
        } else if (c == u':' && at(i + 1) == u':') {
            out.push_back({Kind::Punct, QStringLiteral("::"), line});
            i += 2;
        } else if (c == u'-' && at(i + 1) == u'>') {
            out.push_back({Kind::Punct, QStringLiteral("->"), line});
            i += 2;
        } else if (c.isDigit()) {
            while (i < n && (isIdent(s[i]) || s[i] == u'.' || s[i] == u'\'')) {
                ++i;
            }
        } else {
            out.push_back({Kind::Punct, QString(c), line});
            ++i;
        }
    }
    return out;
}

class Scanner {
public:
    Scanner(const QString& source, const QString& fileName) : tokens_(tokenize(source)), file_(fileName) {}

    std::vector<SourceText> run()
    {
        for (pos_ = 0; pos_ < tokens_.size(); ++pos_) {
            step();
        }
        return std::move(found_);
    }

private:
    enum class Scope { Namespace, Class, Body };
    struct Frame {
        Scope scope;
        QString context;
    };

    const Token* tok(std::size_t k) const { return k < tokens_.size() ? &tokens_[k] : nullptr; }
    bool is(std::size_t k, const char* text) const
    {
        const Token* t = tok(k);
        return t != nullptr && t->kind != Kind::String && t->text == QLatin1String(text);
    }
    bool isString(std::size_t k) const
    {
        const Token* t = tok(k);
        return t != nullptr && t->kind == Kind::String;
    }

    bool atTopLevel() const
    {
        return std::all_of(stack_.begin(), stack_.end(),
                           [](const Frame& f) { return f.scope == Scope::Namespace; });
    }
    bool inClassBody() const { return !stack_.empty() && stack_.back().scope == Scope::Class; }

    QString context() const
    {
        for (auto it = stack_.rbegin(); it != stack_.rend(); ++it) {
            if (!it->context.isEmpty()) {
                return it->context;
            }
        }
        return {};
    }

    void add(const QString& context, std::size_t textToken)
    {
        const Token& t = tokens_[textToken];
        found_.push_back({context, t.text, QStringLiteral("%1:%2").arg(file_).arg(t.line)});
    }

    void endStatement()
    {
        sawNamespace_ = false;
        sawEnum_ = false;
        classHead_.reset();
        classHeadOpen_ = false;
        function_.reset();
    }

    void step()
    {
        const Token& t = tokens_[pos_];
        const bool declarative = atTopLevel() || inClassBody();
        if (t.kind == Kind::Ident) {
            if (t.text == u"namespace") {
                sawNamespace_ = true;
            } else if (t.text == u"enum") {
                sawEnum_ = true;
            } else if ((t.text == u"class" || t.text == u"struct") && declarative && !sawEnum_) {
                classHead_ = QString();
                classHeadOpen_ = true;
            } else if (classHeadOpen_ && t.text != u"final") {
                *classHead_ = t.text;
            } else if (declarative && !function_ && is(pos_ + 1, "::") && tok(pos_ + 2) != nullptr &&
                       tok(pos_ + 2)->kind == Kind::Ident && is(pos_ + 3, "(")) {
                function_ = t.text;  // X::f( of a member definition
            }
            scanCall();
            return;
        }
        if (t.kind == Kind::String) {
            return;
        }
        const QString& p = t.text;
        if (classHeadOpen_ && (p == u"(" || p == u">" || p == u"," || p == u")" || p == u"=")) {
            classHead_.reset();
            classHeadOpen_ = false;
        } else if (classHeadOpen_ && p == u":") {
            classHeadOpen_ = false;  // base list follows; the name is known
        }
        if (p == u"{") {
            if (sawNamespace_) {
                stack_.push_back({Scope::Namespace, QString()});
            } else if (classHead_ && !classHead_->isEmpty()) {
                stack_.push_back({Scope::Class, *classHead_});
            } else if (function_) {
                stack_.push_back({Scope::Body, *function_});
            } else {
                stack_.push_back({Scope::Body, QString()});
            }
            endStatement();
        } else if (p == u"}") {
            if (!stack_.empty()) {
                stack_.pop_back();
            }
            endStatement();
        } else if (p == u";") {
            endStatement();
        }
    }

    void scanCall()
    {
        const Token& t = tokens_[pos_];
        const bool member = pos_ > 0 && (is(pos_ - 1, ".") || is(pos_ - 1, "->"));
        if ((t.text == u"tr" || t.text == u"QT_TR_NOOP") && !member && is(pos_ + 1, "(") &&
            isString(pos_ + 2)) {
            QString ctx = context();
            if ((atTopLevel() || inClassBody()) && function_) {
                ctx = *function_;  // in a constructor's initialiser list
            }
            if (t.text == u"tr" && pos_ >= 2 && is(pos_ - 1, "::") && tok(pos_ - 2)->kind == Kind::Ident) {
                ctx = tok(pos_ - 2)->text;
            }
            add(ctx, pos_ + 2);
        } else if ((t.text == u"translate" && pos_ >= 2 && is(pos_ - 1, "::")) ||
                   t.text == u"QT_TRANSLATE_NOOP") {
            if (is(pos_ + 1, "(") && isString(pos_ + 2) && is(pos_ + 3, ",") && isString(pos_ + 4)) {
                QString ctx = tokens_[pos_ + 2].text;
                const qsizetype scope = ctx.lastIndexOf(QLatin1String("::"));
                if (scope >= 0) {
                    ctx.remove(0, scope + 2);
                }
                add(ctx, pos_ + 4);
            }
        }
    }

    std::vector<Token> tokens_;
    QString file_;
    std::size_t pos_ = 0;
    std::vector<Frame> stack_;
    bool sawNamespace_ = false;
    bool sawEnum_ = false;
    std::optional<QString> classHead_;
    bool classHeadOpen_ = false;
    std::optional<QString> function_;
    std::vector<SourceText> found_;
};

}  // namespace

std::vector<SourceText> scanSource(const QString& source, const QString& fileName)
{
    return Scanner(source, fileName).run();
}

std::vector<SourceText> scanTree(const QString& dir)
{
    QStringList files;
    QDirIterator it(dir, {QStringLiteral("*.h"), QStringLiteral("*.cpp")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        files << it.next();
    }
    std::sort(files.begin(), files.end());
    std::vector<SourceText> all;
    for (const QString& path : files) {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly)) {
            continue;
        }
        const QString rel = path.mid(dir.size() + 1);
        for (SourceText& t : scanSource(QString::fromUtf8(f.readAll()), rel)) {
            all.push_back(std::move(t));
        }
    }
    return all;
}

QStringList placeholders(const QString& text)
{
    static const QRegularExpression marker(QStringLiteral("%(L?[1-9][0-9]?|n)"));
    QStringList out;
    for (auto m = marker.globalMatch(text); m.hasNext();) {
        out << m.next().captured(0);
    }
    out.sort();
    return out;
}

}  // namespace nx::lang::test
