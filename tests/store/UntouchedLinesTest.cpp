// Lines a change does not touch come out byte for byte, whatever they hold.
#include "UserFileFixture.h"

using namespace testing_support;
using store::AppendOutcome;
using store::RewriteOutcome;

using UntouchedLines = UserFileTest;

TEST_F(UntouchedLines, KeepTheirBytesInUtf8WhateverTheyHold)
{
    const std::string hostile = std::string("x:\xFF\xC0\x80\xED\xA0\x80", 8) + std::string("\0nul\rcr", 7);
    const std::string huge(3 * 65536 + 7, 'h');
    GivenUserFile("\xEF\xBB\xBF" + hostile + "\n" "ann:old\r\n" + huge + "\n\xE9");
    EXPECT_EQ(Replace(u"ann:old", u"ann:new"), RewriteOutcome::Done);
    EXPECT_EQ(UserFile(), "\xEF\xBB\xBF" + hostile + "\n" "ann:new\r\n" + huge + "\n\xE9\n");
}

TEST_F(UntouchedLines, KeepTheirBytesInUtf16AndAnOddLastByteStaysLast)
{
    const std::string hostile = Utf16(std::u16string(u"\xDC00:\0\r\xD800", 5));
    GivenUserFile(hostile + Utf16(u"\n") + Utf16(u"ann:old") + "\x41");
    EXPECT_EQ(Replace(u"ann:old", u"ann:new"), RewriteOutcome::Done);
    EXPECT_EQ(UserFile(), hostile + Utf16(u"\n") + Utf16(u"ann:new\n") + "\x41");
    EXPECT_EQ(Append(u"bob:1"), AppendOutcome::Written);
    EXPECT_EQ(UserFile(), hostile + Utf16(u"\n") + Utf16(u"ann:new\nbob:1\n") + "\x41");
    // After an odd byte no append of the program's was cut short: a last line that starts with NUL stays.
    const std::string noted = "\xFF\xFE" + Utf16(u"ann:1\n") + Utf16(std::u16string(u"\0note", 5)) + "Z";
    GivenUserFile(noted);
    EXPECT_EQ(Append(u"bob:1"), AppendOutcome::Written);
    EXPECT_EQ(UserFile(), "\xFF\xFE" + Utf16(u"ann:1\n") + Utf16(std::u16string(u"\0note\nbob:1\n", 12)) + "Z");
}
