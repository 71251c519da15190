// Conversions of one line between UTF-16 code units and the file's bytes.
#include "platform/files/TextEncoding.h"

#include <gtest/gtest.h>

using files::DecodeText;
using files::EncodeText;
using files::TextEncoding;

TEST(TextEncoding, EveryStringOfCodeUnitsReadsBackExactly)
{
    const std::u16string samples[] = {
        u"plain:ascii", u"\u00e9\u4e2d\uFFFD", u"\U0001F600", std::u16string(u"nul\0inside", 10),
        u"\xD800", u"\xDC00", u"\xDC00\xD800", u"\xD83D" "a", u"\xD83D\xD83D\xDE00",
    };
    for (auto encoding : {TextEncoding::Utf8WithMark, TextEncoding::Utf16LeWithMark, TextEncoding::Utf16Le}) {
        for (const auto& sample : samples)
            EXPECT_EQ(DecodeText(EncodeText(sample, encoding), encoding), sample);
    }
}

TEST(TextEncoding, Utf8IsStandardForValidText)
{
    EXPECT_EQ(EncodeText(u"\u00e9\U0001F600", TextEncoding::Utf8WithMark), "\xC3\xA9\xF0\x9F\x98\x80");
    EXPECT_EQ(EncodeText(u"a\u00e9", TextEncoding::Utf16Le), std::string("a\0\xE9\0", 4));
}

