#include "store/NewLine.h"

#include <algorithm>

namespace store {

NewLine NewLineFor(const Record& key, files::TextEncoding encoding, const std::string& leading, const std::string& end,
                   const std::string& follows)
{
    NewLine line{leading + key.Bytes(encoding) + end, leading.size(), key.FirstCharacterSize(encoding), {},
                 files::CodeUnitSize(encoding), end.size(), follows, {}};
    line.placeholder = line.whole;
    line.placeholder.replace(line.firstCharacter, line.firstCharacterSize, line.firstCharacterSize, '\0');
    line.readBack.resize(std::max(follows.size() + line.whole.size(), BackwardStep));
    return line;
}

bool OwnByte(char byte, std::size_t at, const NewLine& line)
{
    return byte == line.whole[at] || byte == line.placeholder[at] || byte == '\0';
}

bool OwnBytes(std::string_view bytes, const NewLine& line)
{
    for (std::size_t at = 0; at < bytes.size(); ++at) {
        if (at >= line.whole.size() || !OwnByte(bytes[at], at, line))
            return false;
    }
    return true;
}

} // namespace store
