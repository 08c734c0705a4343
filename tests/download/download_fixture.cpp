#include "download_fixture.h"

#include "store/sql_util.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>

#include <algorithm>
#include <stdexcept>

namespace nx::download::test {

using meter::ProgressText;

void RecordingProgress::showText(ProgressText text)
{
    switch (text) {
    case ProgressText::None:
        note("text:None");
        break;
    case ProgressText::Searching:
        note("text:Searching");
        break;
    case ProgressText::NoDevice:
        note("text:NoDevice");
        break;
    case ProgressText::Importing:
        note("text:Importing");
        break;
    case ProgressText::ImportError:
        note("text:ImportError");
        break;
    }
}

std::vector<std::string> RecordingProgress::only(std::initializer_list<const char*> prefixes) const
{
    std::vector<std::string> out;
    for (const std::string& e : events) {
        for (const char* p : prefixes) {
            if (e.rfind(p, 0) == 0) {
                out.push_back(e);
                break;
            }
        }
    }
    return out;
}

bool RecordingProgress::saw(const std::string& event) const
{
    return std::find(events.begin(), events.end(), event) != events.end();
}

std::chrono::milliseconds RecordingProgress::timeOf(const std::string& event) const
{
    const auto it = std::find(events.begin(), events.end(), event);
    if (it == events.end())
        throw std::runtime_error("no event " + event);
    return times[static_cast<std::size_t>(it - events.begin())];
}

QJsonObject meterImage(const std::vector<MoistureEntry>& moisture,
                       const std::vector<std::pair<int, QString>>& objects,
                       const std::vector<std::vector<TempEntry>>& objectRecords)
{
    QJsonArray m;
    for (const MoistureEntry& e : moisture)
        m.append(QJsonObject{{"record", e.record},
                             {"time", e.time},
                             {"moisture", e.moisture},
                             {"temperature", e.temperature},
                             {"species", e.species},
                             {"sample", e.sample}});
    QJsonArray t;
    for (std::size_t i = 0; i < objects.size(); ++i) {
        QJsonArray records;
        if (i < objectRecords.size()) {
            for (const TempEntry& r : objectRecords[i])
                records.append(
                    QJsonObject{{"record", r.record}, {"time", r.time}, {"temperature", r.temperature}});
        }
        t.append(
            QJsonObject{{"number", objects[i].first}, {"name", objects[i].second}, {"records", records}});
    }
    return QJsonObject{{"usbSerial", "PP000123"},
                       {"identity", QJsonObject{{"serialText", "TC000123"}, {"firmware", "1.05"}}},
                       {"moisture", m},
                       {"temperatureObjects", t}};
}

namespace {

QString shippedDatabase() { return qEnvironmentVariable("NX_PROGRAM_DIR") + QStringLiteral("/NXbase.fb"); }

}  // namespace

DownloadTest::DownloadTest()
{
    if (!dir.isValid())
        throw std::runtime_error("no temporary folder");
    const QString copy = dir.filePath(QString::fromLatin1(store::Database::kFileName));
    if (!QFile::copy(shippedDatabase(), copy))
        throw std::runtime_error("cannot copy " + shippedDatabase().toStdString());
    QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner);
    db.open(dir.path() + QLatin1Char('/'));

    QFile file(dir.filePath(QStringLiteral("species.txt")));
    if (!file.open(QIODevice::WriteOnly))
        throw std::runtime_error("cannot write the species file");
    // The byte-order mark keeps the names UTF-8; without one the file is read as 8-bit.
    file.write("\xef\xbb\xbf"
               "1#Arabica#Arabika#Arabica#Arabica#Ar\xc3\xa1"
               "bica#\xd0\x90\xd1\x80\xd0\xb0\xd0\xb1\xd0\xb8\xd0\xba\xd0\xb0#\r\n"
               "2#Robusta#Robusta#Robusta#Robusta#Robusta#Robusta#\r\n"
               "7#A name far too long for the object table's fifty characters#x#x#x#x#x#\r\n");
    file.close();
    species.load(file.fileName());
}

DownloadTest::~DownloadTest()
{
    if (link.fconnected)
        link.closeDevice();
    qunsetenv("NIVEX_EMULATED_METERS");
}

void DownloadTest::attach(const std::vector<QJsonObject>& images)
{
    QStringList paths;
    for (std::size_t i = 0; i < images.size(); ++i) {
        const QString path = dir.filePath(QStringLiteral("meter%1.json").arg(i));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(QJsonDocument(images[i]).toJson());
        paths << path;
    }
    qputenv("NIVEX_EMULATED_METERS", paths.join(QLatin1Char(':')).toLocal8Bit());
}

meter::DownloadSummary DownloadTest::download(int languageNumber)
{
    meter::DownloadRequest request{
        link, db, species, languageNumber, QStringLiteral("Nivex coffee & cocoa"), progress, replyLimit};
    return meter::runDownload(request);
}

QVariant DownloadTest::value(const QString& sql, const QVariantList& values)
{
    QSqlQuery query = store::readQuery(db.connection(), sql, "test query");
    for (const QVariant& v : values)
        query.addBindValue(v);
    store::execute(query, "test query");
    return query.next() ? query.value(0) : QVariant();
}

int DownloadTest::rowCount(const char* table)
{
    return value(QStringLiteral("select count(*) from %1").arg(QLatin1String(table))).toInt();
}

std::vector<std::string> DownloadTest::rows(const QString& sql)
{
    QSqlQuery query = store::readQuery(db.connection(), sql, "test query");
    store::execute(query, "test query");
    std::vector<std::string> out;
    while (query.next()) {
        QStringList columns;
        for (int i = 0; i < query.record().count(); ++i) {
            const QVariant v = query.value(i);
            columns << (v.typeId() == QMetaType::QDateTime ? v.toDateTime().toString(Qt::ISODate)
                                                           : v.toString());
        }
        out.push_back(columns.join(QLatin1Char('|')).toStdString());
    }
    return out;
}

void DownloadTest::change(const QString& sql)
{
    QSqlDatabase c = db.connection();
    ASSERT_TRUE(c.transaction());
    QSqlQuery query(c);
    ASSERT_TRUE(query.exec(sql)) << store::errorText(query.lastError()).toStdString();
    ASSERT_TRUE(c.commit());
}

}  // namespace nx::download::test
