#include "store/views.h"

#include <gtest/gtest.h>

namespace nx::store {
namespace {

TEST(FormatTest, OneDecimalNoLeadingZeroLocaleSeparator)
{
    struct Case {
        double value;
        Unit unit;
        const char* locale;
        const char* expected;
    };
    const Case cases[] = {
        {12.34, Unit::Percent, "C", "12.3%"},
        {0.5, Unit::Percent, "C", ".5%"},
        {0.0, Unit::Percent, "C", ".0%"},
        {-0.5, Unit::Celsius, "C", "-.5\u00B0C"},
        {-12.75, Unit::Celsius, "C", "-12.8\u00B0C"},
        {12.96, Unit::Percent, "C", "13.0%"},
        {0.04, Unit::Percent, "C", ".0%"},
        {-0.04, Unit::Celsius, "C", ".0\u00B0C"},
        {1234.5, Unit::Celsius, "en_US", "1234.5\u00B0C"},
        {double(12.34f), Unit::Percent, "C", "12.3%"},
        {12.34, Unit::Percent, "de_DE", "12,3%"},
        {-0.5, Unit::Celsius, "pl_PL", "-,5\u00B0C"},
        {1234.5, Unit::Percent, "de_DE", "1234,5%"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.value) + " in " + c.locale);
        EXPECT_EQ(formatValue(c.value, c.unit, QLocale(QString::fromLatin1(c.locale))).toStdString(),
                  std::string(c.expected));
    }
}

TEST(FormatTest, TimestampShowsDateAndSecondsWithoutZone)
{
    const QDateTime when(QDate(2024, 12, 31), QTime(23, 59, 58));
    const QString text = formatTimestamp(when, QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_TRUE(text.startsWith(QStringLiteral("12/31/24"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("11:59:58"))) << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("UTC"))) << text.toStdString();
    EXPECT_TRUE(formatTimestamp(QDateTime()).isEmpty());
}

}  // namespace
}  // namespace nx::store
