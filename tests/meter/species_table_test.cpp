#include "base/exception.h"
#include "meter/species_table.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace nx::meter {
namespace {

class SpeciesFileTest : public ::testing::Test {
protected:
    QString write(const QByteArray& bytes)
    {
        const QString path = dir.filePath(QStringLiteral("GatunkiNXMc.txt"));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        return path;
    }
    std::string loadError(const QByteArray& bytes)
    {
        try {
            table.load(write(bytes));
        } catch (const Exception& e) {
            return e.what();
        }
        return {};
    }
    QTemporaryDir dir;
    SpeciesTable table;
};

TEST_F(SpeciesFileTest, FieldSplittingAndItsConsequences)
{
    struct Cell {
        int column;
        int row;
        const char* text;
    };
    struct Case {
        const char* name;
        QByteArray file;
        std::vector<Cell> cells;
    };
    const Case cases[] = {
        {"six names",
         "1#Arabica#Arabika#Arabica#Arabica#Arábica#Арабика#",
         {{0, 1, "1"},
          {1, 1, "Arabica"},
          {5, 1,
           "Ar\xC3\xA1"
           "bica"},
          {6, 1, "Арабика"},
          {7, 1, ""}}},
        {"leading zero keeps its text", "07#A#", {{0, 7, "07"}, {1, 7, "A"}, {2, 7, ""}}},
        {"number only", "12#", {{0, 12, "12"}, {1, 12, ""}}},
        {"text after the last mark is lost", "3#A#B", {{1, 3, "A"}, {2, 3, ""}}},
        {"last mark empties the next column", "3#A#B#", {{1, 3, "A"}, {2, 3, "B"}, {3, 3, ""}}},
        {"later line overwrites what it sets", "4#A#B#\n4#X#", {{1, 4, "X"}, {2, 4, ""}, {3, 4, ""}}},
        {"later line leaves further cells",
         "4#A#B#C#D#\n4#X#",
         {{1, 4, "X"}, {2, 4, ""}, {3, 4, "C"}, {4, 4, "D"}}},
        {"empty names and no trimming", "5## b ##", {{1, 5, ""}, {2, 5, " b "}, {3, 5, ""}, {4, 5, ""}}},
        {"rows by number, not position", "9#Nine#\n2#Two#", {{1, 9, "Nine"}, {1, 2, "Two"}, {1, 1, ""}}},
        {"a species number beyond the lines", "512#Last#", {{1, 512, "Last"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        table.load(write("\xEF\xBB\xBF" + c.file));
        for (const Cell& cell : c.cells)
            EXPECT_EQ(table.cell(cell.column, cell.row), QString::fromUtf8(cell.text))
                << "column " << cell.column << " row " << cell.row;
    }
}

TEST_F(SpeciesFileTest, NameLooksUpColumnLanguagePlusOne)
{
    table.load(write(
        "\xEF\xBB\xBF"
        "1#Arabica#Arabika#Arabica#Arabica#Arábica#Арабика#\r\n2#Robusta#Robusta#Robusta#Robusta#\r\n"));
    struct Case {
        int language;
        int species;
        const char* expected;
    };
    const Case cases[] = {
        {0, 1, "Arabica"}, {1, 1, "Arabika"}, {5, 1, "Арабика"}, {5, 2, ""},  // a line of only four names
        {3, 2, "Robusta"}, {0, 3, ""},        {6, 1, ""},        {-1, 1, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("language " + std::to_string(c.language) + " species " + std::to_string(c.species));
        EXPECT_EQ(table.name(c.language, c.species), QString::fromUtf8(c.expected));
    }
    EXPECT_EQ(table.nominalRows(), 7);
}

TEST_F(SpeciesFileTest, EncodingsAndLineEnds)
{
    const QString russian = QStringLiteral("Робуста");
    struct Case {
        const char* name;
        QByteArray file;
    };
    QByteArray utf16le("\xFF\xFE", 2);
    QByteArray utf16be("\xFE\xFF", 2);
    for (QChar ch : QStringLiteral("1#Arabica#\r\n2#x#x#x#x#x#Робуста#\r\n")) {
        utf16le.append(char(ch.unicode() & 0xFF)).append(char(ch.unicode() >> 8));
        utf16be.append(char(ch.unicode() >> 8)).append(char(ch.unicode() & 0xFF));
    }
    const Case cases[] = {
        {"UTF-8 with BOM, CR LF", "\xEF\xBB\xBF"
                                  "1#Arabica#\r\n2#x#x#x#x#x#Робуста#\r\n"},
        {"UTF-8 with BOM, LF", "\xEF\xBB\xBF"
                               "1#Arabica#\n2#x#x#x#x#x#Робуста#\n"},
        {"UTF-8 with BOM, CR only", "\xEF\xBB\xBF"
                                    "1#Arabica#\r2#x#x#x#x#x#Робуста#"},
        {"UTF-16 little-endian with BOM", utf16le},
        {"UTF-16 big-endian with BOM", utf16be},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        table.load(write(c.file));
        EXPECT_EQ(table.name(0, 1), QStringLiteral("Arabica"));
        EXPECT_EQ(table.name(5, 2), russian);
        EXPECT_EQ(table.nominalRows(), 7);
    }
    // Without a mark every byte is one character of the single-byte code page.
    table.load(write("1#Ar\xE1"
                     "bica#"));
    EXPECT_EQ(table.name(0, 1), QStringLiteral("Ar\u00E1bica"));
}

TEST_F(SpeciesFileTest, NumberErrorsStopAtTheLineAndKeepTheLinesBefore)
{
    struct Case {
        const char* name;
        QByteArray file;
        const char* message;
        int loadedRow;
    };
    const Case cases[] = {
        {"one empty line after the last", "1#Arabica#\r\n2#Robusta#\r\n\r\n",
         "'' is not a valid integer value", 2},
        {"a line without a mark", "1#Arabica#\nArabica\n", "'' is not a valid integer value", 1},
        {"a name where the number goes", "1#Arabica#\nx#Robusta#\n", "'x' is not a valid integer value", 1},
        {"a number with a blank", "1#Arabica#\n 2#Robusta#\n", "' 2' is not a valid integer value", 1},
        {"a number beyond 32 bits", "1#Arabica#\n99999999999#B#\n",
         "'99999999999' is not a valid integer value", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(loadError("\xEF\xBB\xBF" + c.file), c.message);
        EXPECT_FALSE(table.cell(1, c.loadedRow).isEmpty()) << "the line before the error stays loaded";
    }
    // A single line break at the end adds no line.
    EXPECT_EQ(loadError("1#A#\r\n"), "");
}

TEST_F(SpeciesFileTest, MissingFileNamesTheFileAndTheReason)
{
    table.load(write("1#Arabica#"));
    const QString path = dir.filePath(QStringLiteral("absent.txt"));
    try {
        table.load(path);
        FAIL() << "no error";
    } catch (const Exception& e) {
        EXPECT_EQ(QString::fromStdString(e.what()),
                  QStringLiteral("Cannot open file \"%1\". No such file or directory").arg(path));
    }
    EXPECT_EQ(table.name(0, 1), QStringLiteral("Arabica")) << "a failed open leaves the table as it was";
}

TEST(ShippedSpeciesFile, EveryRowHasSixNamesAndNoEmptyLine)
{
    QString folder = qEnvironmentVariable("NX_SOURCE_DIR");
    if (folder.isEmpty())
        folder = QFileInfo(QStringLiteral(__FILE__)).absolutePath() + QStringLiteral("/../..");
    QFile file(folder + QStringLiteral("/resources/GatunkiNXMc.txt"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_TRUE(bytes.startsWith("\xEF\xBB\xBF"));
    EXPECT_FALSE(bytes.endsWith("\n\n") || bytes.endsWith("\r\n\r\n"));
    SpeciesTable table;
    table.load(file.fileName());
    const QStringList lines = splitLines(decodeText(bytes));
    ASSERT_GE(lines.size(), 12);
    for (int row = 1; row <= int(lines.size()); ++row) {
        SCOPED_TRACE(row);
        for (int language = 0; language < 6; ++language)
            EXPECT_FALSE(table.name(language, row).isEmpty()) << "language " << language;
        EXPECT_TRUE(table.name(6, row).isEmpty());
    }
}

}  // namespace
}  // namespace nx::meter
