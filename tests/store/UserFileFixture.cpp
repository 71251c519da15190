#include "UserFileFixture.h"

namespace testing_support {

std::string FileFormat::Line(std::u16string_view text, std::u16string_view lineEnd) const
{
    return encode(text) + encode(lineEnd);
}

std::string FileFormat::File(std::initializer_list<std::u16string_view> lines, std::u16string_view lineEnd) const
{
    std::string bytes = mark;
    for (auto line : lines)
        bytes += Line(line, lineEnd);
    return bytes;
}

store::RewriteOutcome UserFileTest::Replace(const std::u16string& from, const std::u16string& to)
{
    return store::RewriteUserFile(from, to).GetOutcome();
}

std::string FormatName(const ::testing::TestParamInfo<FileFormat>& info)
{
    return info.param.name;
}

} // namespace testing_support
