#include "base/exception.h"
#include "lang/language_file.h"
#include "lang/runtime_texts.h"
#include "tr_scan.h"

#include <QDir>

#include <gtest/gtest.h>

namespace nx::lang::test {
namespace {

// A text as it is written in a language file, ready to paste.
std::string written(const QString& text)
{
    QString out;
    for (const QChar c : text) {
        switch (c.unicode()) {
        case u'\\':
            out += QStringLiteral("\\\\");
            break;
        case u'=':
            out += QStringLiteral("\\=");
            break;
        case u'\n':
            out += QStringLiteral("\\n");
            break;
        case u'\r':
            out += QStringLiteral("\\r");
            break;
        case u'\t':
            out += QStringLiteral("\\t");
            break;
        default:
            out += c;
        }
    }
    if (out.startsWith(u'#') || out.startsWith(u'[')) {
        out.prepend(u'\\');
    }
    return out.toStdString();
}

QString sourceDir() { return QStringLiteral(NX_TEST_SOURCE_DIR); }

std::vector<std::string> found(const QString& source)
{
    std::vector<std::string> out;
    for (const SourceText& t : scanSource(source, "x.cpp")) {
        out.push_back((t.context + u'|' + t.text).toStdString());
    }
    return out;
}

TEST(SourceScan, FindsTextsWithTheirWindowContext)
{
    struct Case {
        const char* name;
        const char* source;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"member definition in a namespace",
         "namespace nx::app {\nvoid TMainUniNXFormCF::retranslate()\n{\n    label->setText(tr(\"Moisture "
         "results\"));\n}\n}",
         {"TMainUniNXFormCF|Moisture results"}},
        {"constructor with initialiser list",
         "TPytForm::TPytForm(QWidget* p) : nx::Base(p), a_(tr(\"Yes\"))\n{\n    b->setText(tr(\"No\"));\n}",
         {"TPytForm|Yes", "TPytForm|No"}},
        {"inline in a class body, nested class, lambda",
         "class TWykresForm final : public QWidget {\n    Q_OBJECT\n    struct Axis { QString t() { return "
         "tr(\"Time\"); } };\n"
         "    void f() { auto g = [this] { return tr(\"Chart\"); }; }\n};",
         {"Axis|Time", "TWykresForm|Chart"}},
        {"explicit contexts",
         "void f()\n{\n    QCoreApplication::translate(\"nx::app::TInfoForm\", \"Info\");\n"
         "    QT_TRANSLATE_NOOP(\"TFormEditName\", \"Name\");\n    QObject::tr(\"Plain\");\n}",
         {"TInfoForm|Info", "TFormEditName|Name", "QObject|Plain"}},
        {"escapes, joined literals, placeholders",
         "void T::f() { tr(\"Delete %1\\r\\nrecords?\"); tr(\"a \" \"b\"); QT_TR_NOOP(\"c\\\"d\"); }",
         {"T|Delete %1\r\nrecords?", "T|a b", "T|c\"d"}},
        {"not calls of tr",
         "// tr(\"comment\")\n/* tr(\"block\") */\nvoid T::f() { attr(\"x\"); str(\"y\"); o.tr(\"z\"); "
         "tr(name); "
         "s = \"tr(\\\"in a string\\\")\"; }",
         {}},
        {"enum class and templates do not open a class",
         "template <class X> void T::f() { enum class E { A }; tr(\"one\"); }\nenum class F { B };\n"
         "void U::g() { tr(\"two\"); }",
         {"T|one", "U|two"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(found(QString::fromUtf8(c.source)), c.expected);
    }
}

TEST(SourceScan, PlaceholdersSortedWithRepeats)
{
    EXPECT_EQ(placeholders("%2 of %1, %1 %L3 %n 100% %0"), (QStringList{"%1", "%1", "%2", "%L3", "%n"}));
}

// Every text the program translates, in every shipped language file, with the same
// placeholders as the English text.
TEST(Completeness, ShippedLanguagesTranslateEveryText)
{
    std::vector<SourceText> texts = scanTree(sourceDir() + QStringLiteral("/src"));
    for (std::size_t i = 0; i < kDesignedLexicon.size(); ++i) {
        if (kDesignedLexicon[i].shown) {
            texts.push_back({QString::fromLatin1(kLexiconContext),
                             QString::fromUtf8(kDesignedLexicon[i].english),
                             QStringLiteral("run-time text %1").arg(i)});
        }
    }
    const QDir resources(sourceDir() + QStringLiteral("/resources"));
    const QStringList files = resources.entryList({QStringLiteral("*.lng")}, QDir::Files, QDir::Name);
    ASSERT_EQ(files.size(), 5) << files.join(u' ').toStdString();

    for (const QString& name : files) {
        SCOPED_TRACE(name.toStdString());
        LanguageFile file;
        try {
            file = readLanguageFile(resources.filePath(name));
        } catch (const nx::Exception& e) {
            ADD_FAILURE() << e.what();
            continue;
        }
        for (const SourceText& t : texts) {
            const QString translation = file.find(t.context, t.text);
            if (translation.isNull()) {
                ADD_FAILURE() << "missing in [" << t.context.toStdString() << "] (" << t.where.toStdString()
                              << "): " << written(t.text) << "=";
            } else if (placeholders(translation) != placeholders(t.text)) {
                ADD_FAILURE() << "placeholders differ in [" << t.context.toStdString()
                              << "]: " << written(t.text) << "=" << written(translation);
            }
        }
    }
}

}  // namespace
}  // namespace nx::lang::test
