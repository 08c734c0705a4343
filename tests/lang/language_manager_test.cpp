#include "lang/language_codes.h"
#include "lang/language_manager.h"
#include "lang/runtime_texts.h"
#include "lang_fixture.h"
#include "qt_app.h"

#include <QCoreApplication>
#include <QFile>

#include <gtest/gtest.h>

namespace nx::lang {
namespace {

[[maybe_unused]] auto* const qtEnv = ::testing::AddGlobalTestEnvironment(new test::QtApplicationEnvironment);

using test::MemoryStore;
using test::ProgramFolder;

QStringList names(const LanguageManager& m)
{
    QStringList out;
    for (const LanguageEntry& e : m.entries()) {
        out << e.name;
    }
    return out;
}

TEST(LanguageNumber, CodesExactlyAsListedElseZero)
{
    const std::pair<const char*, int> cases[] = {{"en", 0}, {"pl", 1}, {"de", 2}, {"fr", 3}, {"es", 4},
                                                 {"ru", 5}, {"", 0},   {"PL", 0}, {"it", 0}, {"pl ", 0}};
    for (const auto& [code, number] : cases) {
        SCOPED_TRACE(code);
        EXPECT_EQ(languageNumber(QString::fromLatin1(code)), number);
    }
}

TEST(LanguageList, EnglishFirstThenValidFilesByFileName)
{
    ProgramFolder folder;
    folder.write("0_bad.lng", "name=Bad\ncode=bd\nflag=flag_pl.svg\n");  // no signature
    folder.write("6_broken.lng", "LANGUAGE_FILE\nname=Broken\ncode=br\nflag=flag_pl.svg\n[X]\nno equals\n");
    folder.write("7_twice.lng", "LANGUAGE_FILE\nname=Polski 2\ncode=pl\nflag=flag_pl.svg\n");  // code taken
    folder.write("notes.txt", "LANGUAGE_FILE\nname=Text\ncode=tx\nflag=flag_pl.svg\n");
    const LanguageManager m(folder.dir());
    EXPECT_EQ(names(m), (QStringList{"English", "Polski", "Deutsch", "Français", "Español", "Русский"}));
    const QStringList codes{"en", "pl", "de", "fr", "es", "ru"};
    for (int i = 0; i < codes.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(m.codeOfEntry(i), codes[i]);
        EXPECT_TRUE(QFile::exists(m.entries()[static_cast<std::size_t>(i)].flagPath));
    }
    EXPECT_EQ(m.codeOfEntry(-1), QString());
    EXPECT_EQ(m.codeOfEntry(6), QString());
}

TEST(LanguageList, NoLanguageFilesLeavesOnlyEnglish)
{
    QTemporaryDir empty;
    LanguageManager m(empty.path());
    EXPECT_EQ(names(m), QStringList{"English"});
    MemoryStore store;
    store.value = 3;
    m.restore(store);
    EXPECT_EQ(m.selectedIndex(), -1);
    EXPECT_EQ(m.currentCode(), QStringLiteral("en"));
    EXPECT_EQ(runtimeText(6), QStringLiteral("Moisture"));
}

TEST(LanguageList, UnreadableOrOversizedFileIsLeftOut)
{
    ProgramFolder folder;
    QByteArray big = "LANGUAGE_FILE\nname=Big\ncode=bg\nflag=flag_pl.svg\n[TPytForm]\n";
    big += QByteArray(5 * 1024 * 1024, '#');
    folder.write("6_big.lng", big);
    EXPECT_EQ(LanguageManager(folder.dir()).count(), 6);

    folder.write("7_it.lng", "LANGUAGE_FILE\nname=Italiano\ncode=it\nflag=flag_pl.svg\n");
    ASSERT_TRUE(QFile::setPermissions(folder.path("7_it.lng"), QFileDevice::Permissions()));
    QFile probe(folder.path("7_it.lng"));
    if (probe.open(QIODevice::ReadOnly)) {
        return;  // this user reads files without read permission; nothing more to see
    }
    EXPECT_EQ(LanguageManager(folder.dir()).count(), 6);
}

TEST(StoredChoice, NothingStoredGivesEnglish)
{
    ProgramFolder folder;
    LanguageManager m(folder.dir());
    MemoryStore store;
    m.restore(store);
    EXPECT_EQ(m.selectedIndex(), 0);
    EXPECT_EQ(m.currentCode(), QStringLiteral("en"));
    EXPECT_EQ(m.actLangNbr(), 0);
    EXPECT_EQ(store.writes, 0);
}

TEST(StoredChoice, PickStoresIndexAndRestartSelectsItAgain)
{
    ProgramFolder folder;
    MemoryStore store;
    {
        LanguageManager m(folder.dir());
        m.restore(store);
        m.pick(2, &store);
        EXPECT_EQ(store.value, 2);
        EXPECT_EQ(m.currentCode(), QStringLiteral("de"));
        EXPECT_EQ(m.actLangNbr(), 2);
        EXPECT_EQ(runtimeText(5), QStringLiteral("Temperatur"));
    }
    EXPECT_EQ(runtimeText(5), QStringLiteral("Temperature"))
        << "a destroyed manager leaves its translator behind";
    LanguageManager again(folder.dir());
    again.restore(store);
    EXPECT_EQ(again.selectedIndex(), 2);
    EXPECT_EQ(again.currentCode(), QStringLiteral("de"));
    EXPECT_EQ(runtimeText(5), QStringLiteral("Temperatur"));
    EXPECT_EQ(store.writes, 1) << "restoring must not store";
}

TEST(StoredChoice, RemovedFileShiftsTheEntriesBehindIt)
{
    ProgramFolder folder;
    MemoryStore store;
    LanguageManager(folder.dir()).pick(3, &store);  // Français
    folder.remove("2_de.lng");
    LanguageManager m(folder.dir());
    m.restore(store);
    EXPECT_EQ(m.selectedIndex(), 3);
    EXPECT_EQ(m.currentCode(), QStringLiteral("es"));
    EXPECT_EQ(m.actLangNbr(), 4);
}

TEST(StoredChoice, IndexBeyondTheListSelectsAndSwitchesNothing)
{
    ProgramFolder folder;
    MemoryStore store;
    LanguageManager m(folder.dir());
    m.pick(5, &store);
    ASSERT_EQ(m.currentCode(), QStringLiteral("ru"));
    for (const int stored : {6, 40, -1}) {
        SCOPED_TRACE(stored);
        store.value = stored;
        m.restore(store);
        EXPECT_EQ(m.selectedIndex(), -1);
        EXPECT_EQ(m.codeOfEntry(m.selectedIndex()), QString());
        EXPECT_EQ(m.actLangNbr(), 0);
        EXPECT_EQ(m.currentCode(), QStringLiteral("ru")) << "the engine must switch nothing";
    }
}

TEST(StoredChoice, PickOutsideTheListChangesNothing)
{
    ProgramFolder folder;
    MemoryStore store;
    LanguageManager m(folder.dir());
    m.pick(1, &store);
    m.pick(6, &store);
    m.pick(-1, &store);
    EXPECT_EQ(store.value, 1);
    EXPECT_EQ(store.writes, 1);
    EXPECT_EQ(m.selectedIndex(), 1);
}

TEST(Switching, UnlistedOrEmptyCodeChangesNothing)
{
    ProgramFolder folder;
    LanguageManager m(folder.dir());
    ASSERT_TRUE(m.switchToCode("fr"));
    for (const char* code : {"", "it", "FR", "f"}) {
        SCOPED_TRACE(code);
        EXPECT_FALSE(m.switchToCode(QString::fromLatin1(code)));
        EXPECT_EQ(m.currentCode(), QStringLiteral("fr"));
        EXPECT_EQ(runtimeText(6), QStringLiteral("Humidité"));
    }
    ASSERT_TRUE(m.switchToCode("en"));
    EXPECT_EQ(runtimeText(6), QStringLiteral("Moisture"));
}

TEST(Switching, OtherCodeShowsItsTextsWithLanguageNumberZero)
{
    ProgramFolder folder;
    folder.write("6_it.lng", "LANGUAGE_FILE\nname=Italiano\ncode=it\nflag=flag_pl.svg\n"
                             "[DesignedLexicon1]\n6=Umidità\n");
    MemoryStore store;
    LanguageManager m(folder.dir());
    ASSERT_EQ(m.codeOfEntry(6), QStringLiteral("it"));
    m.pick(6, &store);
    EXPECT_EQ(runtimeText(6), QStringLiteral("Umidità"));
    EXPECT_EQ(m.actLangNbr(), 0);
}

TEST(Switching, FileSpoiledAfterListingKeepsTheCurrentLanguage)
{
    ProgramFolder folder;
    MemoryStore store;
    LanguageManager m(folder.dir());
    m.pick(1, &store);
    folder.write("5_ru.lng", "garbage");
    EXPECT_FALSE(m.switchToCode("ru"));
    EXPECT_EQ(m.currentCode(), QStringLiteral("pl"));
    EXPECT_EQ(runtimeText(5), QStringLiteral("Temperatura"));
}

TEST(RuntimeTexts, DesignTextsExactlyAndNothingBeyondTheList)
{
    const int beyond = static_cast<int>(kDesignedLexicon.size());
    const std::pair<int, const char*> cases[] = {{0, "Microsoft Office Excel not installed"},
                                                 {1, "Open Office Calc  not installed"},
                                                 {3, "Nivex coffee & cocoa"},
                                                 {5, "Temperature"},
                                                 {6, "Moisture"},
                                                 {7, ""},
                                                 {beyond, ""},
                                                 {beyond + 1000, ""},
                                                 {-1, ""}};
    for (const auto& [number, english] : cases) {
        SCOPED_TRACE(number);
        EXPECT_EQ(runtimeText(number), QString::fromUtf8(english));
    }
}

TEST(RuntimeTexts, CurrentLanguageAtEachLookupAndEnglishWhereMissing)
{
    ProgramFolder folder;
    folder.write("6_xx.lng", "LANGUAGE_FILE\nname=Partial\ncode=xx\nflag=flag_pl.svg\n"
                             "[DesignedLexicon1]\n3=Nivex kava\n7=Nothing\n");
    LanguageManager m(folder.dir());
    ASSERT_TRUE(m.switchToCode("ru"));
    EXPECT_EQ(runtimeText(3), QStringLiteral("Nivex кофе и какао"));
    ASSERT_TRUE(m.switchToCode("xx"));
    EXPECT_EQ(runtimeText(3), QStringLiteral("Nivex kava"));
    EXPECT_EQ(runtimeText(5), QStringLiteral("Temperature"));
    EXPECT_EQ(runtimeText(7), QString()) << "text 7 is empty in every language";
}

}  // namespace
}  // namespace nx::lang
