#include "lang/database_language_store.h"
#include "lang/language_manager.h"
#include "lang/runtime_texts.h"
#include "lang_fixture.h"

#include <QFile>

#include <gtest/gtest.h>

#include <optional>

namespace nx::lang::test {
namespace {

// A program folder with the shipped languages and a fresh copy of the shipped database;
// each run() is one start of the program: open the database, list, restore.
class DatabaseChoice : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QFile::copy(QStringLiteral(NX_SHIPPED_DATABASE), folder.path("NXbase.fb")));
        ASSERT_TRUE(QFile::setPermissions(folder.path("NXbase.fb"), QFile::ReadOwner | QFile::WriteOwner));
    }

    struct Run {
        explicit Run(const ProgramFolder& folder) : manager(folder.dir())
        {
            database.open(folder.dir() + u'/');
            manager.restore(store);
        }
        nx::store::Database database;
        DatabaseLanguageStore store{database};
        LanguageManager manager;
    };

    ProgramFolder folder;
};

TEST_F(DatabaseChoice, FreshDatabaseGivesEnglish)
{
    Run run(folder);
    EXPECT_EQ(run.manager.selectedIndex(), 0);
    EXPECT_EQ(run.manager.currentCode(), QStringLiteral("en"));
    EXPECT_EQ(run.manager.actLangNbr(), 0);
}

TEST_F(DatabaseChoice, PickedEntrySurvivesARestartAndShiftsWhenAFileGoes)
{
    {
        Run first(folder);
        first.manager.pick(2, &first.store);
    }
    {
        Run second(folder);
        EXPECT_EQ(second.manager.selectedIndex(), 2);
        EXPECT_EQ(second.manager.currentCode(), QStringLiteral("de"));
        EXPECT_EQ(runtimeText(6), QStringLiteral("Feuchte"));
    }
    folder.remove("1_pl.lng");
    Run third(folder);
    EXPECT_EQ(third.manager.selectedIndex(), 2);
    EXPECT_EQ(third.manager.currentCode(), QStringLiteral("fr"));
    EXPECT_EQ(third.manager.actLangNbr(), 3);
}

TEST_F(DatabaseChoice, StoredIndexBeyondTheListSelectsNothing)
{
    {
        Run first(folder);
        first.manager.pick(5, &first.store);
    }
    folder.remove("1_pl.lng");
    Run second(folder);
    EXPECT_EQ(second.manager.selectedIndex(), -1);
    EXPECT_EQ(second.manager.currentCode(), QStringLiteral("en"));
    EXPECT_EQ(second.manager.actLangNbr(), 0);
    EXPECT_EQ(second.database.readLanguage(), 5) << "restoring must not store";
}

}  // namespace
}  // namespace nx::lang::test
