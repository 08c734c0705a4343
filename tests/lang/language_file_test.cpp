#include "base/exception.h"
#include "lang/language_file.h"
#include "lang/runtime_texts.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace nx::lang {
namespace {

const QByteArray kHeader = "LANGUAGE_FILE\nname=Polski\ncode=pl\nflag=flag_pl.svg\n";

TEST(LanguageFile, ReadsHeaderWindowTextsAndNumberedTexts)
{
    const LanguageFile file = parseLanguageFile(kHeader + "# a comment\n"
                                                          "\n"
                                                          "[TMainUniNXFormCF]\n"
                                                          "Moisture results=Wyniki wilgotności\n"
                                                          "[DesignedLexicon1]\n"
                                                          "1=Open Office Calc nie jest zainstalowany\n");
    EXPECT_EQ(file.name, QStringLiteral("Polski"));
    EXPECT_EQ(file.code, QStringLiteral("pl"));
    EXPECT_EQ(file.flagFile, QStringLiteral("flag_pl.svg"));
    EXPECT_EQ(file.find("TMainUniNXFormCF", "Moisture results"), QStringLiteral("Wyniki wilgotności"));
    // Numbered texts are found by their English design text, blanks and all.
    EXPECT_EQ(file.find(kLexiconContext, "Open Office Calc  not installed"),
              QStringLiteral("Open Office Calc nie jest zainstalowany"));
    EXPECT_TRUE(file.find("TMainUniNXFormCF", "Temperature results").isNull());
    EXPECT_TRUE(file.find("TWykresForm", "Moisture results").isNull());
}

TEST(LanguageFile, EscapesLineEndsAndByteOrderMark)
{
    const LanguageFile file = parseLanguageFile("\xEF\xBB\xBFLANGUAGE_FILE\r\nname=Polski\r\ncode=pl\r\n"
                                                "flag=flag_pl.svg\r\n[TPytForm]\r\n"
                                                "a\\=b=c\\=d\r\n"
                                                "Delete?\\r\\nSure=Usunąć?\\r\\nNa pewno\r\n"
                                                "\\#1=\\[x]\\\\\r\n"
                                                "Tab\\there=T\\tu\r\n"
                                                "Ends with blank =Spacja \r\n");
    EXPECT_EQ(file.find("TPytForm", "a=b"), QStringLiteral("c=d"));
    EXPECT_EQ(file.find("TPytForm", "Delete?\r\nSure"), QStringLiteral("Usunąć?\r\nNa pewno"));
    EXPECT_EQ(file.find("TPytForm", "#1"), QStringLiteral("[x]\\"));
    EXPECT_EQ(file.find("TPytForm", "Tab\there"), QStringLiteral("T\tu"));
    EXPECT_EQ(file.find("TPytForm", "Ends with blank "), QStringLiteral("Spacja "));
}

TEST(LanguageFile, EmptyTranslationAndUnknownNumberAreNoTranslation)
{
    const LanguageFile file =
        parseLanguageFile(kHeader + "[TPytForm]\nYes=\n[DesignedLexicon1]\n999=Nowy\n5=\n");
    EXPECT_TRUE(file.find("TPytForm", "Yes").isNull());
    EXPECT_TRUE(file.find(kLexiconContext, "Temperature").isNull());
    EXPECT_TRUE(file.find(kLexiconContext, "999").isNull());
}

TEST(LanguageFile, RejectsWhatIsNotALanguageFile)
{
    struct Case {
        const char* name;
        QByteArray content;
        const char* message;  // part of the error text
    };
    const Case cases[] = {
        {"empty file", "", "LANGUAGE_FILE"},
        {"no signature", "name=Polski\ncode=pl\nflag=flag_pl.svg\n", "LANGUAGE_FILE"},
        {"signature not first", "\nLANGUAGE_FILE\n" + kHeader.mid(14), "LANGUAGE_FILE"},
        {"other signature", "LANGUAGE_FILE2\n" + kHeader.mid(14), "LANGUAGE_FILE"},
        {"not UTF-8", kHeader + "[TPytForm]\nYes=Tak\xff\n", "UTF-8"},
        {"line without =", kHeader + "[TPytForm]\nYes Tak\n", "line 6"},
        {"unknown escape", kHeader + "[TPytForm]\nYes=T\\ak\n", "line 6"},
        {"backslash at end", kHeader + "[TPytForm]\nYes=Tak\\\n", "line 6"},
        {"empty English text", kHeader + "[TPytForm]\n=Tak\n", "line 6"},
        {"section not closed", kHeader + "[TPytForm\nYes=Tak\n", "line 5"},
        {"empty section name", kHeader + "[]\nYes=Tak\n", "line 5"},
        {"text twice", kHeader + "[TPytForm]\nYes=Tak\nYes=Tak\n", "line 7"},
        {"number not a number", kHeader + "[DesignedLexicon1]\nthree=Trzy\n", "line 6"},
        {"unknown setting", "LANGUAGE_FILE\nnmae=Polski\ncode=pl\nflag=flag_pl.svg\n", "line 2"},
        {"setting twice", kHeader + "code=de\n", "line 5"},
        {"no name", "LANGUAGE_FILE\ncode=pl\nflag=flag_pl.svg\n", "name"},
        {"blank name", "LANGUAGE_FILE\nname= \ncode=pl\nflag=flag_pl.svg\n", "name"},
        {"no code", "LANGUAGE_FILE\nname=Polski\nflag=flag_pl.svg\n", "code"},
        {"upper-case code", "LANGUAGE_FILE\nname=Polski\ncode=PL\nflag=flag_pl.svg\n", "code"},
        {"three-letter code", "LANGUAGE_FILE\nname=Polski\ncode=pol\nflag=flag_pl.svg\n", "code"},
        {"no flag", "LANGUAGE_FILE\nname=Polski\ncode=pl\n", "flag"},
        {"flag not SVG", "LANGUAGE_FILE\nname=Polski\ncode=pl\nflag=flag_pl.png\n", "flag"},
        {"flag outside the folder", "LANGUAGE_FILE\nname=Polski\ncode=pl\nflag=../flag_pl.svg\n", "flag"},
        {"flag absolute", "LANGUAGE_FILE\nname=Polski\ncode=pl\nflag=/tmp/flag_pl.svg\n", "flag"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            parseLanguageFile(c.content);
            ADD_FAILURE() << "accepted";
        } catch (const nx::Exception& e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
        }
    }
}

TEST(LanguageFile, UnreadableFileIsAnErrorNamingIt)
{
    QTemporaryDir dir;
    try {
        readLanguageFile(dir.filePath("9_xx.lng"));
        ADD_FAILURE() << "a missing file was read";
    } catch (const nx::Exception& e) {
        EXPECT_NE(std::string(e.what()).find("9_xx.lng"), std::string::npos) << e.what();
    }
}

}  // namespace
}  // namespace nx::lang
