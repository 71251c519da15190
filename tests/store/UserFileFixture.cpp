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
    m_replacements = 0;
    return store::RewriteUserFile([&](const std::u16string& line) -> std::optional<std::u16string> {
               if (line != from)
                   return std::nullopt;
               ++m_replacements;
               return to;
           })
        .GetOutcome();
}

store::RewriteOutcome UserFileTest::KeepAll()
{
    return store::RewriteUserFile([](const std::u16string&) { return std::nullopt; }).GetOutcome();
}

std::string FormatName(const ::testing::TestParamInfo<FileFormat>& info)
{
    return info.param.name;
}

} // namespace testing_support
