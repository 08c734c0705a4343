#include "emulator/meter_image.h"

#include "base/exception.h"
#include "base/text8.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>

#include <cmath>
#include <initializer_list>

namespace nx::emulator {
namespace {

class ImageParser {
public:
    explicit ImageParser(QString fileName) : fileName_(std::move(fileName)) {}

    [[noreturn]] void fail(const QString& where, const QString& what) const
    {
        const QString place = where.isEmpty() ? QString() : where + QLatin1String(": ");
        throw Exception((fileName_ + QLatin1String(": ") + place + what).toStdString());
    }

    MeterImage parse(const QByteArray& json) const
    {
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(json, &error);
        if (error.error != QJsonParseError::NoError)
            fail(
                {},
                QStringLiteral("not valid JSON at offset %1: %2").arg(error.offset).arg(error.errorString()));
        if (!document.isObject())
            fail({}, QStringLiteral("the image must be a JSON object"));
        const QJsonObject top = document.object();
        onlyKeys(top, {},
                 {"usbSerial", "usbDescription", "identity", "moisture", "temperatureObjects", "replies",
                  "bytesPerSecond", "pauses"});

        MeterImage image;
        if (!top.contains(QLatin1String("usbSerial")))
            fail({}, QStringLiteral("usbSerial is missing"));
        image.usbSerial = text8(top, "usbSerial", {}, 1, 15);
        if (top.contains(QLatin1String("usbDescription")))
            image.usbDescription = text8(top, "usbDescription", {}, 0, 63);
        if (top.contains(QLatin1String("identity")))
            image.identity = identity(object(top, "identity", {}), QStringLiteral("identity"));
        if (top.contains(QLatin1String("moisture"))) {
            const QJsonArray list = array(top, "moisture", {});
            for (qsizetype i = 0; i < list.size(); ++i)
                image.moisture.push_back(moisture(list[i], QStringLiteral("moisture[%1]").arg(i)));
        }
        if (top.contains(QLatin1String("temperatureObjects"))) {
            const QJsonArray list = array(top, "temperatureObjects", {});
            QSet<int> numbers;
            for (qsizetype i = 0; i < list.size(); ++i) {
                const QString where = QStringLiteral("temperatureObjects[%1]").arg(i);
                TempObject object = tempObject(list[i], where);
                // The results command names an object by its number, so two objects
                // with one number could not both be read.
                if (numbers.contains(object.number))
                    fail(where, QStringLiteral("object number %1 is used twice").arg(object.number));
                numbers.insert(object.number);
                image.temperatureObjects.push_back(std::move(object));
            }
        }
        if (top.contains(QLatin1String("replies"))) {
            image.hasReplies = true;
            const QJsonObject replies = object(top, "replies", {});
            for (auto it = replies.begin(); it != replies.end(); ++it) {
                const QString where = QStringLiteral("replies.") + it.key();
                const std::string key = commandKeyOf(it.key(), where);
                if (!it.value().isString())
                    fail(where, QStringLiteral("must be a string of hex bytes"));
                image.replies[key] = hexBytes(it.value().toString(), where);
            }
        }
        if (top.contains(QLatin1String("bytesPerSecond")))
            image.bytesPerSecond = std::uint32_t(integer(top, "bytesPerSecond", {}, 1, 100'000'000));
        if (top.contains(QLatin1String("pauses"))) {
            const QJsonArray list = array(top, "pauses", {});
            for (qsizetype i = 0; i < list.size(); ++i)
                image.pauses.push_back(pause(list[i], QStringLiteral("pauses[%1]").arg(i)));
        }
        return image;
    }

private:
    static QString join(const QString& where, const char* key)
    {
        return where.isEmpty() ? QString::fromLatin1(key) : where + QLatin1Char('.') + QLatin1String(key);
    }

    void onlyKeys(const QJsonObject& object, const QString& where,
                  std::initializer_list<const char*> keys) const
    {
        for (const QString& key : object.keys()) {
            bool known = false;
            for (const char* k : keys)
                known = known || key == QLatin1String(k);
            if (!known)
                fail(where, QStringLiteral("unknown key \"%1\"").arg(key));
        }
    }

    QJsonValue required(const QJsonObject& object, const char* key, const QString& where) const
    {
        if (!object.contains(QLatin1String(key)))
            fail(join(where, key), QStringLiteral("is missing"));
        return object.value(QLatin1String(key));
    }

    QJsonObject object(const QJsonObject& parent, const char* key, const QString& where) const
    {
        return asObject(required(parent, key, where), join(where, key));
    }

    QJsonObject asObject(const QJsonValue& value, const QString& where) const
    {
        if (!value.isObject())
            fail(where, QStringLiteral("must be an object"));
        return value.toObject();
    }

    QJsonArray array(const QJsonObject& parent, const char* key, const QString& where) const
    {
        const QJsonValue value = required(parent, key, where);
        if (!value.isArray())
            fail(join(where, key), QStringLiteral("must be an array"));
        return value.toArray();
    }

    QString string(const QJsonObject& parent, const char* key, const QString& where) const
    {
        const QJsonValue value = required(parent, key, where);
        if (!value.isString())
            fail(join(where, key), QStringLiteral("must be a string"));
        return value.toString();
    }

    // 8-bit text: every character must exist in the meter's code page.
    std::string text8(const QJsonObject& parent, const char* key, const QString& where, int minLength,
                      int maxLength) const
    {
        const QString text = string(parent, key, where);
        for (QChar c : text) {
            if (c.unicode() > 0xFF)
                fail(join(where, key), QStringLiteral("character '%1' is not 8-bit text").arg(c));
        }
        if (text.size() < minLength || text.size() > maxLength) {
            fail(join(where, key),
                 minLength == maxLength
                     ? QStringLiteral("must be %1 characters long").arg(minLength)
                     : QStringLiteral("must be %1 to %2 characters long").arg(minLength).arg(maxLength));
        }
        return toText8(text);
    }

    double number(const QJsonObject& parent, const char* key, const QString& where) const
    {
        const QJsonValue value = required(parent, key, where);
        if (!value.isDouble())
            fail(join(where, key), QStringLiteral("must be a number"));
        return value.toDouble();
    }

    qint64 integer(const QJsonObject& parent, const char* key, const QString& where, qint64 min,
                   qint64 max) const
    {
        const double value = number(parent, key, where);
        if (value != std::floor(value))
            fail(join(where, key), QStringLiteral("must be a whole number"));
        if (value < double(min) || value > double(max))
            fail(join(where, key),
                 QStringLiteral("%1 is outside %2 to %3").arg(value, 0, 'f', 0).arg(min).arg(max));
        return qint64(value);
    }

    // A value stored in tenths in a 16-bit field.
    int tenths(const QJsonObject& parent, const char* key, const QString& where, int min, int max) const
    {
        const double value = number(parent, key, where);
        const double scaled = std::round(value * 10.0);
        if (scaled < min || scaled > max)
            fail(join(where, key), QStringLiteral("%1 is outside %2 to %3 (stored in tenths, 16 bits)")
                                       .arg(value)
                                       .arg(min / 10.0, 0, 'f', 1)
                                       .arg(max / 10.0, 0, 'f', 1));
        return int(scaled);
    }

    std::pair<QDate, QTime> dateTime(const QJsonObject& parent, const char* key, const QString& where) const
    {
        // Date and time are kept apart: a local time need not exist in the PC's zone
        // (a daylight-saving gap), yet the meter can hold it.
        static const QRegularExpression format(
            QStringLiteral("^(\\d{4})-(\\d{2})-(\\d{2})T(\\d{2}):(\\d{2}):(\\d{2})$"));
        const QString text = string(parent, key, where);
        const QRegularExpressionMatch m = format.match(text);
        const QString place = join(where, key);
        if (!m.hasMatch())
            fail(place,
                 QStringLiteral("\"%1\" is not a date-time of the form yyyy-MM-ddTHH:mm:ss").arg(text));
        const QDate date(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
        const QTime time(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).toInt());
        if (!date.isValid() || !time.isValid())
            fail(place, QStringLiteral("\"%1\" is not a valid date-time").arg(text));
        if (date.year() < firstPackedYear || date.year() > lastPackedYear)
            fail(place, QStringLiteral("\"%1\" is outside the meter's years %2 to %3")
                            .arg(text)
                            .arg(firstPackedYear)
                            .arg(lastPackedYear));
        if (time.second() % 2 != 0)
            fail(place, QStringLiteral("\"%1\" has an odd second; the meter stores seconds in 2-second steps")
                            .arg(text));
        return {date, time};
    }

    Identity identity(const QJsonObject& object, const QString& where) const
    {
        onlyKeys(object, where, {"serialText", "firmware"});
        Identity identity;
        identity.serialText = text8(object, "serialText", where, 8, 8);
        if (identity.serialText.rfind("TC", 0) != 0)
            fail(join(where, "serialText"), QStringLiteral("must begin with \"TC\""));
        identity.firmware = text8(object, "firmware", where, 4, 4);
        return identity;
    }

    MoistureResult moisture(const QJsonValue& value, const QString& where) const
    {
        const QJsonObject object = asObject(value, where);
        onlyKeys(object, where, {"record", "time", "moisture", "temperature", "species", "sample"});
        MoistureResult result;
        result.record = std::uint32_t(integer(object, "record", where, 0, 0xFFFFFF));
        std::tie(result.date, result.time) = dateTime(object, "time", where);
        result.moistureTenths = std::uint16_t(tenths(object, "moisture", where, 0, 0xFFFF));
        result.temperatureTenths = std::int16_t(tenths(object, "temperature", where, -32768, 32767));
        result.species = std::uint16_t(integer(object, "species", where, 1, 512));
        result.sample = std::uint8_t(integer(object, "sample", where, 0, 127));
        return result;
    }

    TempObject tempObject(const QJsonValue& value, const QString& where) const
    {
        const QJsonObject object = asObject(value, where);
        onlyKeys(object, where, {"number", "name", "records"});
        TempObject result;
        result.number = std::uint8_t(integer(object, "number", where, 0, 255));
        result.name = text8(object, "name", where, 0, tempObjectNameSize);
        if (result.name.find('\0') != std::string::npos)
            fail(join(where, "name"), QStringLiteral("must not contain a zero character"));
        if (object.contains(QLatin1String("records"))) {
            const QJsonArray list = array(object, "records", where);
            for (qsizetype i = 0; i < list.size(); ++i) {
                const QString at = where + QStringLiteral(".records[%1]").arg(i);
                const QJsonObject record = asObject(list[i], at);
                onlyKeys(record, at, {"record", "time", "temperature"});
                TempResult r;
                r.record = std::uint32_t(integer(record, "record", at, 0, 0xFFFFFF));
                std::tie(r.date, r.time) = dateTime(record, "time", at);
                r.temperatureTenths = std::int16_t(tenths(record, "temperature", at, -32768, 32767));
                result.records.push_back(r);
            }
        }
        return result;
    }

    ReplyPause pause(const QJsonValue& value, const QString& where) const
    {
        const QJsonObject object = asObject(value, where);
        onlyKeys(object, where, {"command", "afterByte", "ms"});
        ReplyPause result;
        result.command = commandKeyOf(string(object, "command", where), join(where, "command"));
        result.afterByte = std::uint32_t(integer(object, "afterByte", where, 0, 0xFFFFFFFF));
        result.duration = std::chrono::milliseconds(integer(object, "ms", where, 0, 24 * 3600 * 1000));
        return result;
    }

    // "I", "H", "L" or "M" and two hex digits, as a command key.
    std::string commandKeyOf(const QString& text, const QString& where) const
    {
        static const QRegularExpression format(QStringLiteral("^(I|H|L|M[0-9A-Fa-f]{2})$"));
        if (!format.match(text).hasMatch())
            fail(where,
                 QStringLiteral("\"%1\" is not a command (I, H, L or M and two hex digits)").arg(text));
        return text.toUpper().toStdString();
    }

    QByteArray hexBytes(const QString& text, const QString& where) const
    {
        const auto digit = [](QChar c) {
            const char16_t u = c.unicode();
            return u >= '0' && u <= '9'   ? u - '0'
                   : u >= 'a' && u <= 'f' ? u - 'a' + 10
                   : u >= 'A' && u <= 'F' ? u - 'A' + 10
                                          : -1;
        };
        QByteArray bytes;
        qsizetype i = 0;
        while (i < text.size()) {
            if (text[i].isSpace()) {
                ++i;
                continue;
            }
            const int high = digit(text[i]);
            const int low = i + 1 < text.size() ? digit(text[i + 1]) : -1;
            if (high < 0 || low < 0)
                fail(where, QStringLiteral("bad hex at character %1: bytes are two hex digits each").arg(i));
            bytes.append(char(high * 16 + low));
            i += 2;
        }
        return bytes;
    }

    QString fileName_;
};

}  // namespace

MeterImage parseMeterImage(const QByteArray& json, const QString& fileName)
{
    return ImageParser(fileName).parse(json);
}

MeterImage loadMeterImage(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Exception((path + QLatin1String(": cannot be read: ") + file.errorString()).toStdString());
    return parseMeterImage(file.readAll(), path);
}

}  // namespace nx::emulator
