#include "base/clock.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;

TEST(VirtualClock, OnlySleepingMovesTimeAndWallClockFollows)
{
    nx::VirtualClock virtualClock(QDateTime(QDate(2020, 1, 2), QTime(8, 0)));
    nx::ScopedClock scoped(virtualClock);
    EXPECT_EQ(nx::clock().now(), 0ms);
    nx::clock().sleep(1300ms);
    nx::clock().sleep(-5ms);
    EXPECT_EQ(nx::clock().now(), 1300ms);
    EXPECT_EQ(nx::clock().wallNow(), QDateTime(QDate(2020, 1, 2), QTime(8, 0, 1, 300)));
}

TEST(ScopedClock, RestoresThePreviousClock)
{
    nx::Clock* before = &nx::clock();
    {
        nx::VirtualClock virtualClock;
        nx::ScopedClock scoped(virtualClock);
        EXPECT_EQ(&nx::clock(), &virtualClock);
    }
    EXPECT_EQ(&nx::clock(), before);
}
