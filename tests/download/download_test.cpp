// The whole download against emulated meters in virtual time; the database copy is
// read back afterwards to see what really was stored.

#include "base/exception.h"
#include "download_fixture.h"

#include <gmock/gmock.h>

using namespace nx;
using namespace nx::download::test;
using meter::DownloadOutcome;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using Ms = std::chrono::milliseconds;

namespace {

const QString objectsSql =
    QStringLiteral("select IDDEV, IDO_INDEV, NAZWA_DEV, NAZWA_LONG, OPIS, REZI1 from OBIEKTY order by IDOB");
const QString resultsSql = QStringLiteral(
    "select o.IDDEV, o.IDO_INDEV, o.REZI1, w.DATACZAS, cast(cast(w.DANE1 as numeric(6, 1)) as varchar(9)), "
    "cast(cast(w.DANE2 as numeric(6, 1)) as varchar(9)), w.DANE3, w.DANE4, w.REZI1, w.REZC "
    "from WYNIKI w join OBIEKTY o on o.IDOB = w.IDOB order by w.IDWYN");

// Species 1 and 2 are named in the fixture's table, 3 is not.
QJsonObject fullMeter()
{
    return meterImage({{5, "2019-11-27T14:35:08", 12.3, -1.5, 1, 7},
                       {6, "2019-11-27T14:40:10", 11.8, 20.5, 1, 7},
                       {7, "2020-03-01T09:00:00", 6.5, 25.0, 2, 1},
                       {8, "2020-03-01T09:05:00", 7.0, 25.0, 3, 1}},
                      {{3, QStringLiteral("Silo \u00c4")}, {13, QStringLiteral("Dryer")}},
                      {{{1, "2020-01-02T08:00:00", 21.4}, {2, "2020-01-02T08:10:00", -0.5}}, {}});
}

// A 17-byte identity reply: the serial text overlaps the "PPTTC" signature.
const char* const goodIdentity = "50 50 54 54 43 30 30 30 31 32 33 20 31 2E 30 35 0D";

}  // namespace

TEST_F(DownloadTest, FullMeterIsStoredWithTheProceduresValues)
{
    attach({fullMeter()});
    const meter::DownloadSummary summary = download();

    EXPECT_EQ(summary.outcome, DownloadOutcome::Done);
    EXPECT_EQ(summary.moistureResults, 4);
    EXPECT_EQ(summary.temperatureObjects, 2);
    EXPECT_EQ(summary.temperatureResults, 2);
    EXPECT_EQ(summary.skipped, 0);
    EXPECT_THAT(progress.only({"open", "text:", "bar:", "busy:", "answered:", "identified", "dataChanged",
                               "skipped", "close"}),
                ElementsAre("open", "text:Searching", "answered:0", "busy:1", "text:None", "text:Importing",
                            "answered:1", "identified", "bar:20", "bar:40", "bar:60", "bar:80", "bar:100",
                            "dataChanged", "busy:0", "close"));
    EXPECT_EQ(progress.identity.usbSerial, "PP000123");
    EXPECT_EQ(progress.identity.serialText, QStringLiteral("TC000123"));
    EXPECT_EQ(progress.identity.firmware, QStringLiteral("1.05"));
    EXPECT_EQ(progress.identity.deviceName, QStringLiteral("Nivex coffee & cocoa"));

    // Two records of one species and sample share the object the procedure found.
    EXPECT_THAT(rows(objectsSql), ElementsAre("1|1||Arabica||7", "1|2||Robusta||1", "1|3||||1",
                                              "2|3|Silo \u00c4|||0", "2|13|Dryer|||0"));
    EXPECT_THAT(rows(resultsSql), ElementsAre("1|1|7|2019-11-27T14:35:08|12.3|-1.5|5|0|0|",
                                              "1|1|7|2019-11-27T14:40:10|11.8|20.5|6|0|0|",
                                              "1|2|1|2020-03-01T09:00:00|6.5|25.0|7|0|0|",
                                              "1|3|1|2020-03-01T09:05:00|7.0|25.0|8|0|0|",
                                              "2|3|0|2020-01-02T08:00:00|0.0|21.4|1|0|0|",
                                              "2|3|0|2020-01-02T08:10:00|0.0|-0.5|2|0|0|"));
}

TEST_F(DownloadTest, SecondDownloadOfTheSameMeterAddsNothing)
{
    attach({fullMeter()});
    ASSERT_EQ(download().outcome, DownloadOutcome::Done);
    const std::vector<std::string> objects = rows(objectsSql);
    const std::vector<std::string> results = rows(resultsSql);

    const meter::DownloadSummary again = download();
    EXPECT_EQ(again.outcome, DownloadOutcome::Done);
    EXPECT_EQ(again.moistureResults, 4);
    EXPECT_EQ(rows(objectsSql), objects);
    EXPECT_EQ(rows(resultsSql), results);
}

TEST_F(DownloadTest, EmptyMeterEndsAtHundredAndRefreshes)
{
    attach({meterImage({})});
    const meter::DownloadSummary summary = download();
    EXPECT_EQ(summary.outcome, DownloadOutcome::Done);
    EXPECT_THAT(progress.only({"bar:", "dataChanged"}),
                ElementsAre("bar:20", "bar:40", "bar:60", "bar:80", "bar:100", "dataChanged"));
    EXPECT_EQ(rowCount("OBIEKTY"), 0);
    EXPECT_EQ(rowCount("WYNIKI"), 0);
}

TEST_F(DownloadTest, SpeciesNamesFollowTheLanguageOfEachDownload)
{
    struct Case {
        int language;
        const char* name;
    };
    const Case cases[] = {{0, "Arabica"},
                          {1, "Arabika"},
                          {4, "Ar\u00e1bica"},
                          {5, "\u0410\u0440\u0430\u0431\u0438\u043a\u0430"}};
    attach({meterImage({{5, "2019-11-27T14:35:08", 12.3, -1.5, 1, 7}})});
    for (const Case& c : cases) {
        SCOPED_TRACE("language " + std::to_string(c.language));
        change(QStringLiteral("delete from OBIEKTY"));
        ASSERT_EQ(download(c.language).outcome, DownloadOutcome::Done);
        EXPECT_THAT(rows(QStringLiteral("select NAZWA_LONG from OBIEKTY")), ElementsAre(c.name));
    }
}

TEST_F(DownloadTest, ObjectWhoseResultsReplyIsALoneStarIsStoredWithoutResults)
{
    QJsonObject image = meterImage({}, {{3, QStringLiteral("Silo A")}}, {{{1, "2020-01-02T08:00:00", 21.4}}});
    image[QStringLiteral("replies")] = QJsonObject{{"M03", "2A"}};
    attach({image});
    ASSERT_EQ(download().outcome, DownloadOutcome::Done);
    EXPECT_THAT(rows(objectsSql), ElementsAre("2|3|Silo A|||0"));
    EXPECT_EQ(rowCount("WYNIKI"), 0);
}

TEST_F(DownloadTest, RejectedListingRepliesEndInImportError)
{
    struct Case {
        const char* name;
        QJsonObject replies;
        std::size_t replyLimit;
        int objects;  // stored before the error
        int results;
    };
    // Three moisture records, one object with ten readings: 40 + 26 + 90 bytes.
    std::vector<MoistureEntry> moisture = {{1, "2020-03-01T09:00:00", 6.5, 25.0, 2, 1},
                                           {2, "2020-03-01T09:02:00", 6.6, 25.0, 2, 1},
                                           {3, "2020-03-01T09:04:00", 6.7, 25.0, 2, 2}};
    std::vector<TempEntry> readings;
    for (int i = 1; i <= 10; ++i)
        readings.push_back({i, "2020-01-02T08:00:00", 20.0 + i});
    const Case cases[] = {
        {"moisture reply empty", QJsonObject{{"H", ""}}, meter::MeterLink::defaultReplyLimit, 0, 0},
        {"moisture reply without star", QJsonObject{{"H", "05 00 00 7B 29 64 74 7B 00 F1 FF 02 0E"}},
         meter::MeterLink::defaultReplyLimit, 0, 0},
        {"moisture reply cut short", QJsonObject{}, 30, 0, 0},
        {"object reply without star",
         QJsonObject{{"L", QString(QStringLiteral("03 ") + QStringLiteral("41 ").repeated(24))}},
         meter::MeterLink::defaultReplyLimit, 2, 3},
        {"object reply empty", QJsonObject{{"L", ""}}, meter::MeterLink::defaultReplyLimit, 2, 3},
        {"results reply cut short", QJsonObject{}, 60, 3, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        change(QStringLiteral("delete from OBIEKTY"));
        progress = RecordingProgress();
        QJsonObject image = meterImage(moisture, {{3, QStringLiteral("Silo A")}}, {readings});
        if (!c.replies.isEmpty())
            image[QStringLiteral("replies")] = c.replies;
        attach({image});
        replyLimit = c.replyLimit;

        const Ms before = clock.now();
        EXPECT_EQ(download().outcome, DownloadOutcome::ImportError);
        EXPECT_TRUE(progress.saw("text:ImportError"));
        EXPECT_EQ(progress.timeOf("close") - progress.timeOf("text:ImportError"), Ms(meter::kMessagePauseMs));
        EXPECT_GT(progress.timeOf("text:ImportError"), before);
        EXPECT_FALSE(progress.meterAnswered);
        EXPECT_FALSE(progress.busy);
        EXPECT_FALSE(progress.saw("dataChanged"));
        EXPECT_EQ(progress.events.back(), "close");
        EXPECT_EQ(rowCount("OBIEKTY"), c.objects);
        EXPECT_EQ(rowCount("WYNIKI"), c.results);
    }
}

TEST_F(DownloadTest, IdentityNotAcceptedMeansNoDevice)
{
    struct Case {
        const char* name;
        const char* reply;
    };
    const Case cases[] = {
        {"sixteen bytes", "50 50 54 54 43 30 30 30 31 32 33 20 31 2E 30 35"},
        {"wrong signature", "50 50 58 54 43 30 30 30 31 32 33 20 31 2E 30 35 0D"},
        {"silent", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        progress = RecordingProgress();
        QJsonObject image = fullMeter();
        image[QStringLiteral("replies")] = QJsonObject{{"I", c.reply}};
        attach({image});

        EXPECT_EQ(download().outcome, DownloadOutcome::NoDevice);
        EXPECT_THAT(progress.only({"text:", "busy:", "answered:", "identified", "close"}),
                    ElementsAre("text:Searching", "answered:0", "busy:1", "text:None", "text:NoDevice",
                                "busy:0", "close"));
        EXPECT_EQ(progress.timeOf("close") - progress.timeOf("text:NoDevice"), Ms(meter::kMessagePauseMs));
        EXPECT_EQ(rowCount("OBIEKTY"), 0);
        // The link stays open for the next download.
        EXPECT_TRUE(link.fconnected);
    }
    // The reply check itself: the good reply passes with the same image.
    progress = RecordingProgress();
    QJsonObject image = fullMeter();
    image[QStringLiteral("replies")] = QJsonObject{{"I", goodIdentity}};
    attach({image});
    EXPECT_EQ(download().outcome, DownloadOutcome::Done);
}

TEST_F(DownloadTest, NoMeterAtAllLeavesTheCursorAlone)
{
    // An FTDI chip that is not a meter, and nothing else.
    attach({QJsonObject{{"usbSerial", "A5012345"}}});
    EXPECT_EQ(download().outcome, DownloadOutcome::NoDevice);
    EXPECT_THAT(progress.only({"open", "text:", "busy:", "answered:", "close"}),
                ElementsAre("open", "text:Searching", "answered:0", "text:NoDevice", "close"));
    EXPECT_EQ(progress.timeOf("close") - progress.timeOf("text:NoDevice"), Ms(meter::kMessagePauseMs));
    EXPECT_FALSE(link.fconnected);
}

TEST_F(DownloadTest, RefusedTemperatureObjectEndsWithTheDatabasesMessage)
{
    change(QStringLiteral("create exception NX_REFUSED 'object refused by the test'"));
    change(QStringLiteral("alter procedure P_UPDATEOBIEKT_TEMP (IDDEV integer, IDO_INDEV integer, "
                          "NAZWA_DEV varchar(20), NAZWA_LONG varchar(50), OPIS varchar(250), REZI1 integer) "
                          "returns (IDOBJ integer) as begin exception NX_REFUSED; end"));
    attach({fullMeter()});
    try {
        download();
        FAIL() << "the refusal was not passed on";
    } catch (const Exception& e) {
        EXPECT_THAT(e.what(), HasSubstr("object refused by the test"));
    }
    EXPECT_EQ(progress.events.back(), "close");
    EXPECT_FALSE(progress.busy);
    EXPECT_TRUE(progress.meterAnswered);
    EXPECT_FALSE(progress.saw("dataChanged"));
    EXPECT_FALSE(progress.saw("bar:100"));
    // The moisture side was committed before the refusal.
    EXPECT_EQ(rowCount("WYNIKI"), 4);
    EXPECT_EQ(value(QStringLiteral("select count(*) from OBIEKTY where IDDEV = 2")).toInt(), 0);
}

TEST_F(DownloadTest, SkippedRecordsAreUndoneAloneAndReported)
{
    // P_WYNIKI_UI refuses record number 666: its object, just added, must go with it.
    change(QStringLiteral("create exception NX_REFUSED 'result refused by the test'"));
    change(QStringLiteral("alter procedure P_WYNIKI_UI (IDOB integer, DATACZAS timestamp, DANE1 float, DANE2 "
                          "float, DANE3 integer, "
                          "DANE4 integer, REZI1 integer, REZC varchar(50)) as begin "
                          "if (DANE3 = 666) then exception NX_REFUSED; "
                          "insert into WYNIKI (IDOB, DATACZAS, DANE1, DANE2, DANE3, DANE4, REZI1, REZC) "
                          "values (:IDOB, :DATACZAS, :DANE1, :DANE2, :DANE3, :DANE4, :REZI1, :REZC); end"));
    QJsonObject image = meterImage({}, {{3, QStringLiteral("Silo A")}});
    image[QStringLiteral("replies")] = QJsonObject{
        {"H",
         "05 00 00 7B 29 64 74 7B 00 F1 FF 02 0E"  // record 5, species 3, sample 7: stored
         "06 00 00 60 29 64 74 7B 00 F1 FF 02 0E"  // day 0
         "07 00 00 7B 29 00 C8 7B 00 F1 FF 02 0E"  // hour 25
         "08 00 00 7B 29 64 74 7B 00 F1 FF 06 0E"  // species 7: its long name is cut to fit
         "9A 02 00 7B 29 64 74 7B 00 F1 FF 00 12"  // record 666, species 1, sample 9: refused
         "2A"},
        {"M03",
         "01 00 00 22 2A 00 40 D6 00"    // record 1, 2020-01-02 08:00:00, 21.4
         "02 00 00 22 2A 80 47 D6 00"},  // minute 60
    };
    attach({image});

    const meter::DownloadSummary summary = download();
    EXPECT_EQ(summary.outcome, DownloadOutcome::Done);
    EXPECT_EQ(summary.moistureResults, 2);
    EXPECT_EQ(summary.temperatureResults, 1);
    EXPECT_EQ(summary.skipped, 4);
    EXPECT_TRUE(progress.saw("skipped:4"));
    EXPECT_THAT(progress.only({"dataChanged", "skipped", "close"}),
                ElementsAre("dataChanged", "skipped:4", "close"));
    EXPECT_THAT(rows(objectsSql),
                ElementsAre("1|3||||7", "1|7||A name far too long for the object table's fifty c||7",
                            "2|3|Silo A|||0"));
    EXPECT_THAT(rows(QStringLiteral("select DANE3 from WYNIKI order by DANE3")), ElementsAre("1", "5", "8"));
}

TEST_F(DownloadTest, RefusedTemperatureResultIsSkippedAndItsNeighboursStay)
{
    // P_WYNIKI_UI refuses record number 666 only; the readings around it in the same
    // reply must all be stored.
    change(QStringLiteral("create exception NX_REFUSED 'result refused by the test'"));
    change(QStringLiteral("alter procedure P_WYNIKI_UI (IDOB integer, DATACZAS timestamp, DANE1 float, DANE2 "
                          "float, DANE3 integer, "
                          "DANE4 integer, REZI1 integer, REZC varchar(50)) as begin "
                          "if (DANE3 = 666) then exception NX_REFUSED; "
                          "insert into WYNIKI (IDOB, DATACZAS, DANE1, DANE2, DANE3, DANE4, REZI1, REZC) "
                          "values (:IDOB, :DATACZAS, :DANE1, :DANE2, :DANE3, :DANE4, :REZI1, :REZC); end"));
    QJsonObject image = meterImage({}, {{3, QStringLiteral("Silo A")}});
    image[QStringLiteral("replies")] = QJsonObject{
        {"M03",
         "01 00 00 22 2A 00 40 D6 00"    // record 1, 2020-01-02 08:00:00, 21.4
         "9A 02 00 22 2A 00 41 D6 00"    // record 666: refused
         "03 00 00 22 2A 00 42 D6 00"},  // record 3, 08:16:00
    };
    attach({image});

    const meter::DownloadSummary summary = download();
    EXPECT_EQ(summary.outcome, DownloadOutcome::Done);
    EXPECT_EQ(summary.temperatureResults, 2);
    EXPECT_EQ(summary.skipped, 1);
    EXPECT_TRUE(progress.saw("skipped:1"));
    EXPECT_THAT(rows(QStringLiteral("select DANE3 from WYNIKI order by DANE3")), ElementsAre("1", "3"));
}

TEST_F(DownloadTest, RecordsSkippedBeforeAnImportErrorAreStillTold)
{
    // A moisture record with day 0 is skipped, then the object reply lacks its "*".
    QJsonObject image = meterImage({});
    image[QStringLiteral("replies")] = QJsonObject{
        {"H", "05 00 00 7B 29 64 74 7B 00 F1 FF 02 0E 06 00 00 60 29 64 74 7B 00 F1 FF 02 0E 2A"}, {"L", ""}};
    attach({image});

    const meter::DownloadSummary summary = download();
    EXPECT_EQ(summary.outcome, DownloadOutcome::ImportError);
    EXPECT_EQ(summary.skipped, 1);
    EXPECT_THAT(progress.only({"text:ImportError", "skipped", "close"}),
                ElementsAre("text:ImportError", "skipped:1", "close"));
    EXPECT_EQ(progress.timeOf("skipped:1") - progress.timeOf("text:ImportError"), Ms(meter::kMessagePauseMs));
    EXPECT_EQ(rowCount("WYNIKI"), 1);
}

TEST_F(DownloadTest, NothingSkippedNothingReported)
{
    attach({fullMeter()});
    ASSERT_EQ(download().outcome, DownloadOutcome::Done);
    EXPECT_TRUE(progress.only({"skipped"}).empty());
}

TEST_F(DownloadTest, ASecondDownloadCannotStartAtAPumpingPoint)
{
    attach({fullMeter()});
    std::vector<DownloadOutcome> nested;
    progress.onPump = [&] {
        EXPECT_TRUE(meter::downloadRunning());
        nested.push_back(download().outcome);
    };
    EXPECT_EQ(download().outcome, DownloadOutcome::Done);
    ASSERT_FALSE(nested.empty());
    for (DownloadOutcome o : nested)
        EXPECT_EQ(o, DownloadOutcome::AlreadyRunning);
    EXPECT_EQ(std::count(progress.events.begin(), progress.events.end(), "open"), 1);
    EXPECT_FALSE(meter::downloadRunning());
    EXPECT_EQ(rowCount("WYNIKI"), 6);
}

namespace {

// Every look at the time costs a millisecond, so storing takes time as it would for real.
class TickingClock final : public Clock {
public:
    Ms now() const override { return now_ += Ms(1); }
    void sleep(Ms duration) override { now_ += duration; }
    QDateTime wallNow() const override { return QDateTime(QDate(2024, 1, 1), QTime(12, 0)); }

private:
    mutable Ms now_{0};
};

}  // namespace

TEST_F(DownloadTest, StoringPumpsTheWindowWithNoTransactionOpen)
{
    TickingClock ticking;
    const ScopedClock useTicking(ticking);
    std::vector<MoistureEntry> moisture;
    for (int i = 0; i < 450; ++i)
        moisture.push_back({i + 1, "2020-03-01T09:00:00", 6.5, 25.0, 1 + i % 2, i % 100});
    attach({meterImage(moisture)});

    int pumpsWhileStoring = 0;
    progress.onPump = [&] {
        if (progress.saw("bar:40") && !progress.saw("bar:60")) {
            ++pumpsWhileStoring;
            // A command the user starts now stores its own change at once.
            db.writeLanguage(db.readLanguage());
        }
    };
    ASSERT_EQ(download().outcome, DownloadOutcome::Done);
    EXPECT_GE(pumpsWhileStoring, 3);
    EXPECT_EQ(rowCount("WYNIKI"), 450);
}

TEST_F(DownloadTest, MeterTimesAreStoredAsTheyStandEvenWhereLocalClocksSkipAnHour)
{
    // The meter's clock knows no zone: 02:30 on the morning the clocks go forward in
    // Warsaw does not exist there locally, yet it is what the meter wrote.
    const QByteArray oldZone = qgetenv("TZ");
    qputenv("TZ", "Europe/Warsaw");
    QJsonObject image = meterImage({});
    image[QStringLiteral("replies")] = QJsonObject{{"H", "09 00 00 7D 36 C0 13 7B 00 F1 FF 02 0E 2A"}};
    attach({image});
    const meter::DownloadSummary summary = download();
    const std::vector<std::string> stored = rows(QStringLiteral(
        "select extract(hour from DATACZAS) || ':' || extract(minute from DATACZAS) from WYNIKI"));
    if (oldZone.isNull())
        qunsetenv("TZ");
    else
        qputenv("TZ", oldZone);
    EXPECT_EQ(summary.skipped, 0);
    EXPECT_THAT(stored, ElementsAre("2:30"));
}
