#include "store/RecordMatcher.h"

#include "store/LineEnds.h"

#include "platform/files/TextSearch.h"

#include <algorithm>

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

std::size_t RecordMatcher::Scan(std::string_view data, bool atEnd, std::vector<std::size_t>& matches)
{
    // Occurrences that start in the last key-size bytes may run on into the next call.
    std::size_t done = atEnd ? data.size() : data.size() - std::min(data.size(), m_key.size() + 2 * m_unit);
    done -= done % m_unit;
    for (std::size_t from = 0; from + m_key.size() <= data.size();) {
        const std::size_t at = files::FindBytes(data, m_key, from);
        if (at == std::string_view::npos)
            break;
        if (at % m_unit != 0) {
            from = at + 1;
            continue;
        }
        if (at >= done)
            break;
        const bool startsLine = at == 0 ? m_atLineStart : IsUnit(data, at - m_unit, '\n', m_unit);
        if (startsLine && EndsLineAt(data, at + m_key.size(), atEnd)) {
            matches.push_back(at);
            // A match is done whole: no other can start inside its line.
            done = std::max(done, at + m_key.size());
        }
        from = at + m_unit;
    }
    if (done > 0)
        m_atLineStart = IsUnit(data, done - m_unit, '\n', m_unit);
    return done;
}

} // namespace store
