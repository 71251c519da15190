#include "LineByLine.h"

namespace testing_support {

RawLines ReadRawLines(std::string_view file)
{
    RawLines read{files::DetectEncoding(file), {}, {}};
    const std::size_t unit = files::CodeUnitSize(read.encoding);
    std::size_t start = files::MarkOf(read.encoding).size();
    const std::size_t whole = start + (file.size() - start) / unit * unit;
    read.trailing = file.substr(whole);
    const auto isUnit = [&](std::size_t at, char byte) { return file[at] == byte && (unit == 1 || file[at + 1] == '\0'); };
    for (std::size_t at = start; at < whole; at += unit) {
        if (!isUnit(at, '\n'))
            continue;
        const std::size_t lineEnd = at >= start + unit && isUnit(at - unit, '\r') ? at - unit : at;
        read.lines.push_back({std::string(file.substr(start, lineEnd - start)), std::string(file.substr(lineEnd, at + unit - lineEnd))});
        start = at + unit;
    }
    if (start < whole)
        read.lines.push_back({std::string(file.substr(start, whole - start)), {}});
    return read;
}

} // namespace testing_support
