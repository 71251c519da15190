#include "store/LineEnds.h"

#include "platform/files/SystemLineEnd.h"

namespace store {
namespace {

constexpr std::size_t StepSize = 64 * 1024;

} // namespace

files::FileResult<std::string> ConventionOf(files::TextReader& reader)
{
    const std::size_t unit = files::CodeUnitSize(reader.Encoding());
    std::uint64_t at = reader.Mark().size();
    bool afterCarriageReturn = false;
    for (;;) {
        auto bytes = reader.ReadBytesAt(at, StepSize);
        if (!bytes.Ok())
            return bytes.Error();
        const std::string& block = bytes.Value();
        // Nothing past the mark (a first account cut back by a crash): a new file.
        if (block.empty() && at == reader.Mark().size())
            return EndForNewFile(reader.Encoding());
        const std::size_t whole = block.size() / unit * unit;
        for (std::size_t offset = 0; offset < whole; offset += unit) {
            if (IsUnit(block, offset, '\n', unit))
                return files::EncodeText(afterCarriageReturn ? u"\r\n" : u"\n", reader.Encoding());
            afterCarriageReturn = IsUnit(block, offset, '\r', unit);
        }
        if (whole == 0 || block.size() < StepSize)
            return std::string();
        at += whole;
    }
}

std::string EndForLastLine(std::string_view lastUnit, bool replaced, const std::string& convention,
                           files::TextEncoding encoding)
{
    if (lastUnit.empty() || lastUnit == files::EncodeText(u"\n", encoding))
        return {};
    if (!replaced && lastUnit == files::EncodeText(u"\r", encoding))
        return files::EncodeText(u"\r\n", encoding);
    return EndForNewLine(convention, encoding);
}

std::string EndForNewLine(const std::string& convention, files::TextEncoding encoding)
{
    return convention.empty() ? files::EncodeText(u"\n", encoding) : convention;
}

std::string EndForNewFile(files::TextEncoding encoding)
{
    return files::EncodeText(files::SystemLineEnd(), encoding);
}

} // namespace store
