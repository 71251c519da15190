#include "platform/gui/Unicode.h"

#include <gtest/gtest.h>

TEST(Unicode, RoundTripsEveryPlane)
{
    const std::u16string text = u"ascii é € 😀 end";
    EXPECT_EQ(Utf8ToUtf16(Utf16ToUtf8(text)), text);
    EXPECT_EQ(Utf16ToUtf8(u"€"), "\xE2\x82\xAC");
    EXPECT_EQ(Utf16ToUtf8(u"😀"), "\xF0\x9F\x98\x80");
}

TEST(Unicode, IllFormedInputBecomesReplacementCharacters)
{
    EXPECT_EQ(Utf8ToUtf16("a\xFF" "b"), u"a\uFFFDb");
    EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), u"\uFFFD\uFFFD") << "overlong encodings are refused";
    EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD") << "encoded surrogates are refused";
    EXPECT_EQ(Utf8ToUtf16("\xE2\x82"), u"\uFFFD\uFFFD") << "a cut sequence";
    EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD") << "a lone surrogate";
}
