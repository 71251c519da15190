#pragma once
// Finds the lines of a user file that equal a record key by comparing bytes
// with the key encoded once, with no decoding: the fast path of every scan.
#include <string>
#include <string_view>
#include <vector>

namespace store {

class RecordMatcher {
public:
    // `key`: the record's bytes in the file's encoding, whose code units are
    // `unit` bytes. A line matches only where its bytes are the key's own:
    // invalid bytes that read as U+FFFD never match a typed U+FFFD.
    RecordMatcher(std::string key, std::size_t unit);

    // Scans content bytes that follow those of earlier calls (a whole number of
    // code units from the content's start) and appends to `matches` the offset
    // in `data` of each line equal to the key. Returns how many bytes are done;
    // the rest must come again at the front of the next call. `atEnd`: `data`
    // runs to the end of the content, and all of it is done.
    std::size_t Scan(std::string_view data, bool atEnd, std::vector<std::size_t>& matches);

    std::size_t KeySize() const { return m_key.size(); }

private:
    bool EndsLineAt(std::string_view data, std::size_t at, bool atEnd) const;

    std::string m_key;
    std::string m_lineStart;  // a line feed and the key: what a search looks for past the data's start
    std::size_t m_unit;
    bool m_atLineStart = true;
};

} // namespace store
