#include "platform/gui/Unicode.h"

#include <gtest/gtest.h>

using unicode::Malformed;

TEST(Unicode, RoundTripsEveryPlane)
{
    const std::u16string text = u"ascii é € 😀 end";
    EXPECT_EQ(Utf8ToUtf16(Utf16ToUtf8(text)), text);
    EXPECT_EQ(Utf16ToUtf8(u"€"), "\xE2\x82\xAC");
    EXPECT_EQ(Utf16ToUtf8(u"😀"), "\xF0\x9F\x98\x80");
}

// Invalid bytes become U+FFFD each under either policy; only surrogates differ.
// The windowing's own texts replace them, a user file's keep them.
TEST(Unicode, IllFormedInputBecomesWhatThePolicySays)
{
    const std::u16string lone(1, char16_t(0xD800));
    struct Row { std::string_view utf8; std::u16string replaced, kept; const char* what; };
    const Row rows[] = {
        {"a\xFF" "b", u"a\uFFFDb", u"a\uFFFDb", "a stray byte"},
        {"\xC0\xAF", u"\uFFFD\uFFFD", u"\uFFFD\uFFFD", "an overlong encoding"},
        {std::string_view("\xE2\x82\xAC", 2), u"\uFFFD\uFFFD", u"\uFFFD\uFFFD", "a sequence cut, its rest beyond the view"},
        {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD", u"\uFFFD\uFFFD\uFFFD\uFFFD", "beyond U+10FFFF"},
        {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD", lone, "an encoded surrogate"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(Utf8ToUtf16(row.utf8), row.replaced) << row.what;
        EXPECT_EQ(unicode::Utf8ToUtf16(row.utf8, Malformed::KeepSurrogates), row.kept) << row.what;
    }
    EXPECT_EQ(Utf16ToUtf8(lone), "\xEF\xBF\xBD");
    EXPECT_EQ(unicode::Utf16ToUtf8(lone, Malformed::KeepSurrogates), "\xED\xA0\x80");
}
