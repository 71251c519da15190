#include "store/RecordKey.h"

#include <gtest/gtest.h>

TEST(RecordKey, JoinsUserAndPasswordWithOneColon)
{
    EXPECT_EQ(store::RecordKey(u"a:b", u"c"), u"a:b:c");
    EXPECT_EQ(store::RecordKey(u"a", u"b:c"), u"a:b:c");
}
