#include "store_fixture.h"

#include <QCoreApplication>
#include <QSqlQuery>

#include <algorithm>

namespace nx::store::test {
namespace {

// Firebird's type codes in RDB$FIELDS.RDB$FIELD_TYPE.
constexpr int kInteger = 8;
constexpr int kFloat = 10;
constexpr int kChar = 14;
constexpr int kTimestamp = 35;
constexpr int kVarchar = 37;

struct ColumnCase {
    const char* table;
    const char* column;
    int type;
    int characters;  // text length in characters, 0 for other types
    bool notNull;
};

constexpr ColumnCase kColumns[] = {
    {"KONFIGURACJA", "IDD", kInteger, 0, true},
    {"KONFIGURACJA", "AKTYWNE_TRYBY", kInteger, 0, false},
    {"KONFIGURACJA", "PORT_COM", kVarchar, 30, false},
    {"KONFIGURACJA", "REZC", kVarchar, 50, false},
    {"KONFIGURACJA", "REZI1", kInteger, 0, false},
    {"KONFIGURACJA", "LANG", kInteger, 0, false},
    {"KONFIGURACJA", "REZI2", kInteger, 0, false},
    {"KONFIGURACJA", "REZI3", kInteger, 0, false},
    {"KONFIGURACJA", "REZC1", kVarchar, 20, false},
    {"VLMDEVICES", "IDDEV", kInteger, 0, true},
    {"VLMDEVICES", "DEV_TYPE", kChar, 3, true},
    {"VLMDEVICES", "NUMER_SER", kInteger, 0, true},
    {"VLMDEVICES", "DATA_DODANIA", kTimestamp, 0, false},
    {"VLMDEVICES", "DATA_LASTSYNCHRO", kTimestamp, 0, false},
    {"VLMDEVICES", "REZI1", kInteger, 0, false},
    {"VLMDEVICES", "REZI2", kInteger, 0, false},
    {"VLMDEVICES", "REZIC", kVarchar, 50, false},
    {"VLMDEVICES", "NAZWAPC", kVarchar, 30, false},
    {"VLMDEVICES", "KOMENTARZ", kVarchar, 300, false},
    {"OBIEKTY", "IDOB", kInteger, 0, true},
    {"OBIEKTY", "IDDEV", kInteger, 0, true},
    {"OBIEKTY", "IDO_INDEV", kInteger, 0, true},
    {"OBIEKTY", "NAZWA_DEV", kVarchar, 20, false},
    {"OBIEKTY", "NAZWA_LONG", kVarchar, 50, false},
    {"OBIEKTY", "OPIS", kVarchar, 250, false},
    {"OBIEKTY", "REZI1", kInteger, 0, false},
    {"OBIEKTY", "REZI2", kInteger, 0, false},
    {"OBIEKTY", "REZC", kVarchar, 50, false},
    {"OBIEKTY", "DATA_DODANIA", kTimestamp, 0, false},
    {"WYNIKI", "IDWYN", kInteger, 0, true},
    {"WYNIKI", "IDOB", kInteger, 0, true},
    {"WYNIKI", "DATACZAS", kTimestamp, 0, false},
    {"WYNIKI", "DATA_IMPORT", kTimestamp, 0, false},
    {"WYNIKI", "DANE1", kFloat, 0, false},
    {"WYNIKI", "DANE2", kFloat, 0, false},
    {"WYNIKI", "DANE3", kInteger, 0, false},
    {"WYNIKI", "DANE4", kInteger, 0, false},
    {"WYNIKI", "REZI1", kInteger, 0, false},
    {"WYNIKI", "REZC", kVarchar, 50, false},
};

using SchemaTest = StoreTest;

TEST_F(SchemaTest, ColumnsHaveTheirTypesLengthsAndOrder)
{
    int position = 0;
    const char* table = "";
    for (const ColumnCase& c : kColumns) {
        SCOPED_TRACE(std::string(c.table) + "." + c.column);
        position = std::string(table) == c.table ? position + 1 : 0;
        table = c.table;
        QSqlQuery query(db.connection());
        ASSERT_TRUE(query.prepare(
            "select f.RDB$FIELD_TYPE, f.RDB$CHARACTER_LENGTH, coalesce(r.RDB$NULL_FLAG, 0), "
            "r.RDB$FIELD_POSITION "
            "from RDB$RELATION_FIELDS r join RDB$FIELDS f on f.RDB$FIELD_NAME = r.RDB$FIELD_SOURCE "
            "where r.RDB$RELATION_NAME = ? and r.RDB$FIELD_NAME = ?"));
        query.addBindValue(QString::fromLatin1(c.table));
        query.addBindValue(QString::fromLatin1(c.column));
        ASSERT_TRUE(query.exec());
        ASSERT_TRUE(query.next()) << "column missing";
        EXPECT_EQ(query.value(0).toInt(), c.type);
        if (c.characters != 0) {
            EXPECT_EQ(query.value(1).toInt(), c.characters);
        }
        EXPECT_EQ(query.value(2).toInt() != 0, c.notNull);
        EXPECT_EQ(query.value(3).toInt(), position);
    }
    for (const char* name : {"KONFIGURACJA", "VLMDEVICES", "OBIEKTY", "WYNIKI"}) {
        SCOPED_TRACE(name);
        const auto listed =
            std::count_if(std::begin(kColumns), std::end(kColumns),
                          [name](const ColumnCase& c) { return std::string(c.table) == name; });
        EXPECT_EQ(
            observe("select count(*) from RDB$RELATION_FIELDS where RDB$RELATION_NAME = ?", {name}).toInt(),
            listed)
            << "the table has columns nobody declared";
    }
}

TEST_F(SchemaTest, KeysIndexesAndFixedRows)
{
    struct KeyCase {
        const char* table;
        const char* column;
    };
    for (const KeyCase& k : {KeyCase{"KONFIGURACJA", "IDD"}, KeyCase{"VLMDEVICES", "IDDEV"},
                             KeyCase{"OBIEKTY", "IDOB"}, KeyCase{"WYNIKI", "IDWYN"}}) {
        SCOPED_TRACE(k.table);
        EXPECT_EQ(observe("select trim(s.RDB$FIELD_NAME) from RDB$RELATION_CONSTRAINTS c "
                          "join RDB$INDEX_SEGMENTS s on s.RDB$INDEX_NAME = c.RDB$INDEX_NAME "
                          "where c.RDB$RELATION_NAME = ? and c.RDB$CONSTRAINT_TYPE = 'PRIMARY KEY'",
                          {k.table})
                      .toString(),
                  QString::fromLatin1(k.column));
    }
    EXPECT_EQ(observe("select trim(RDB$INDEX_NAME) from RDB$RELATION_CONSTRAINTS "
                      "where RDB$RELATION_NAME = 'VLMDEVICES' and RDB$CONSTRAINT_TYPE = 'PRIMARY KEY'")
                  .toString(),
              QStringLiteral("PK_VLMDEVICES"));
    EXPECT_EQ(observe("select count(*) from KONFIGURACJA").toInt(), 1);
    EXPECT_TRUE(observe("select LANG from KONFIGURACJA").isNull());
    EXPECT_EQ(db.devices(), (QList<int>{1, 2}));
    EXPECT_EQ(db.currentDevice(), 1);
    EXPECT_EQ(observe("select count(*) from OBIEKTY").toInt(), 0);
    EXPECT_EQ(observe("select count(*) from WYNIKI").toInt(), 0);
    EXPECT_EQ(observe("select trim(RDB$CHARACTER_SET_NAME) from RDB$DATABASE").toString(),
              QStringLiteral("UTF8"));
}

TEST_F(SchemaTest, EngineRunsInsideTheProcess)
{
    // A remote or loopback attachment reports its protocol; the embedded engine has none.
    QSqlQuery query(db.connection());
    ASSERT_TRUE(query.exec("select rdb$get_context('SYSTEM', 'NETWORK_PROTOCOL'), MON$SERVER_PID "
                           "from MON$ATTACHMENTS where MON$ATTACHMENT_ID = current_connection"));
    ASSERT_TRUE(query.next());
    EXPECT_TRUE(query.value(0).isNull()) << query.value(0).toString().toStdString();
    EXPECT_EQ(query.value(1).toLongLong(), QCoreApplication::applicationPid());
}

TEST_F(SchemaTest, DeletingAnObjectDeletesItsResults)
{
    const int kept = db.updateObiekt(sample(1, 1));
    const int gone = db.updateObiekt(sample(1, 2));
    db.wynikiUi(result(kept, QDateTime(QDate(2024, 3, 1), QTime(8, 0)), 11.5f, 21.0f, 1));
    db.wynikiUi(result(gone, QDateTime(QDate(2024, 3, 1), QTime(8, 2)), 12.5f, 21.0f, 2));
    db.wynikiUi(result(gone, QDateTime(QDate(2024, 3, 1), QTime(8, 4)), 13.5f, 21.0f, 3));
    db.objects().reload(kMoistureDevice, QStringLiteral("IDOB asc "));
    ASSERT_EQ(db.objects().key(1), gone);
    db.objects().deleteRow(1);
    EXPECT_EQ(observe("select count(*) from WYNIKI where IDOB = ?", {gone}).toInt(), 0);
    EXPECT_EQ(observe("select count(*) from WYNIKI where IDOB = ?", {kept}).toInt(), 1);
    EXPECT_EQ(observe("select count(*) from OBIEKTY").toInt(), 1);
}

}  // namespace
}  // namespace nx::store::test
