#include "base/text8.h"

#include <gtest/gtest.h>

TEST(Text8, EveryByteSurvivesTheRoundTrip)
{
    std::string all;
    for (int b = 0; b < 256; ++b)
        all.push_back(static_cast<char>(b));
    const QString text = nx::fromText8(all);
    ASSERT_EQ(text.size(), 256);
    EXPECT_EQ(nx::toText8(text), all);
    EXPECT_EQ(nx::fromText8("Silo A"), QStringLiteral("Silo A"));
    EXPECT_FALSE(text.contains(QChar::ReplacementCharacter));
}

TEST(Text8, CharactersOutsideTheCodePageBecomeQuestionMarks)
{
    EXPECT_EQ(nx::toText8(QStringLiteral("Kawa \u0141")), "Kawa ?");
}
