#include "store/views.h"

#include <QDateTime>
#include <QRegularExpression>

#include <cmath>

namespace nx::store {

QString formatValue(double value, Unit unit, const QLocale& locale)
{
    QLocale plain(locale);
    plain.setNumberOptions(QLocale::OmitGroupSeparator);
    QString text = plain.toString(std::abs(value), 'f', 1);
    // "#.0": no zero before the decimal point.
    const QString zero = plain.zeroDigit();
    if (text.startsWith(zero + plain.decimalPoint()))
        text.remove(0, zero.size());
    // A value that rounds to zero shows without a sign.
    if (value < 0 && text != plain.decimalPoint() + zero)
        text.prepend(plain.negativeSign());
    return text + (unit == Unit::Percent ? QStringLiteral("%") : QStringLiteral("\u00B0C"));
}

QString formatTimestamp(const QDateTime& value, const QLocale& locale)
{
    // A stored time in an hour the local clock skips has no local moment, yet its date
    // and time are what was measured.
    if (!value.date().isValid() || !value.time().isValid())
        return {};
    // The long time format carries seconds (the meter's resolution) and a time zone
    // name, which a measurement stored without zone must not show.
    static const QRegularExpression zoneToken(QStringLiteral("\\s*\\bt+\\b"));
    QString timeFormat = locale.timeFormat(QLocale::LongFormat);
    timeFormat.remove(zoneToken);
    return locale.toString(value.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
           locale.toString(value.time(), timeFormat.trimmed());
}

}  // namespace nx::store
