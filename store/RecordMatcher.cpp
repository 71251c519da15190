#include "store/RecordMatcher.h"

#include "store/LineEnds.h"

#include "platform/files/TextSearch.h"

#include <algorithm>
#include <utility>

namespace store {

// Whether a line may end at `at`: at the end of the content, or before LF or
// CR LF. Needs two units after `at` unless the content ends sooner.
bool RecordMatcher::EndsLineAt(std::string_view data, std::size_t at, bool atEnd) const
{
    const std::size_t rest = data.size() - at;
    if (rest == 0)
        return atEnd;
    if (IsUnit(data, at, '\n', m_unit))
        return true;
    return rest >= 2 * m_unit && IsUnit(data, at, '\r', m_unit) && IsUnit(data, at + m_unit, '\n', m_unit);
}

RecordMatcher::RecordMatcher(std::string key, std::size_t unit)
    : m_key(std::move(key)), m_lineStart(unit == 1 ? "\n" : std::string("\n\0", 2)), m_unit(unit)
{
    m_lineStart += m_key;
}

std::size_t RecordMatcher::Scan(std::string_view data, bool atEnd, std::vector<std::size_t>& matches)
{
    // Occurrences that start in the last key-size bytes may run on into the next call.
    std::size_t done = atEnd ? data.size() : data.size() - std::min(data.size(), m_key.size() + 2 * m_unit);
    done -= done % m_unit;
    // Takes the line that starts at `at` if it holds the key and no more;
    // returns where the search goes on.
    const auto take = [&](std::size_t at) {
        if (EndsLineAt(data, at + m_key.size(), atEnd)) {
            matches.push_back(at);
            // A match is done whole: no other can start inside its line.
            done = std::max(done, at + m_key.size());
        }
        return at + m_key.size();
    };
    // Past the data's start a line starts after a line feed, which the search
    // looks for with the key: most bytes are then passed over unread by the
    // slower comparison of the key itself.
    if (m_atLineStart && done > 0 && data.starts_with(m_key))
        take(0);
    for (std::size_t from = 0;;) {
        const std::size_t at = files::FindUnits(data, m_lineStart, from, m_unit);
        if (at == std::string_view::npos || at + m_unit >= done)
            break;
        from = take(at + m_unit);
    }
    if (done > 0)
        m_atLineStart = IsUnit(data, done - m_unit, '\n', m_unit);
    return done;
}

} // namespace store
