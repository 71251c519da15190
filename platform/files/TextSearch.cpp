#include "platform/files/TextSearch.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>
#define QUILLMARK_VECTOR_SEARCH 1
#endif

namespace files {
namespace {

// Where the needle's last unit starts: with its first byte, the byte there
// is compared at every position at once (a UTF-16 unit's second byte is
// mostly NUL), the rest only where both agree.
std::size_t LastAnchor(std::string_view needle, std::size_t unit)
{
    return needle.size() - std::min(needle.size(), unit);
}

// A third byte, the unit before the last, is compared only where the first
// two agree: in files of records alike in shape (a name of digits, a key of a
// fixed length) the line feed and the last byte agree on most lines.
std::size_t InnerAnchor(std::string_view needle, std::size_t unit)
{
    const std::size_t anchor = LastAnchor(needle, unit);
    return anchor >= 2 * unit ? anchor - unit : anchor;
}

bool MatchesAt(std::string_view haystack, std::string_view needle, std::size_t at)
{
    // Eight bytes from the end first: most candidates differ there, and the call costs more than they.
    if (needle.size() >= 8) {
        std::uint64_t wanted;
        std::uint64_t found;
        std::memcpy(&wanted, needle.data() + needle.size() - 8, 8);
        std::memcpy(&found, haystack.data() + at + needle.size() - 8, 8);
        if (wanted != found)
            return false;
    }
    return std::memcmp(haystack.data() + at, needle.data(), needle.size()) == 0;
}

std::size_t FindScalar(std::string_view haystack, std::string_view needle, std::size_t from, std::size_t unit)
{
    for (std::size_t at = from; at + needle.size() <= haystack.size(); at += unit) {
        if (MatchesAt(haystack, needle, at))
            return at;
    }
    return std::string_view::npos;
}

#if QUILLMARK_VECTOR_SEARCH

// The bits of a vector's positions from `from` that start a whole number of units.
std::uint64_t UnitStarts(std::size_t from, std::size_t unit)
{
    if (unit == 1)
        return ~std::uint64_t(0);
    return from % 2 == 0 ? 0x5555555555555555u : 0xAAAAAAAAAAAAAAAAu;
}

// Where the candidates of one vector match whole; `at` is its first position.
std::size_t FirstWhole(std::string_view haystack, std::string_view needle, std::size_t at, std::uint64_t candidates)
{
    while (candidates != 0) {
        const std::size_t position = at + static_cast<std::size_t>(__builtin_ctzll(candidates));
        if (MatchesAt(haystack, needle, position))
            return position;
        candidates &= candidates - 1;
    }
    return std::string_view::npos;
}

// After its first vector each width reads its first anchor from whole cache
// lines: loads astride two lines cost twice.
std::size_t AlignedStep(const char* data, std::size_t from, std::size_t width)
{
    return width - reinterpret_cast<std::uintptr_t>(data + from) % width;
}

// The widest loops look at two vectors a round and test both for a
// candidate at once: on a file of short lines without the key, the loop's
// own bookkeeping costs as much as the compares.
__attribute__((target("avx512bw"))) std::size_t FindWidest(std::string_view haystack, std::string_view needle,
                                                              std::size_t& from, std::size_t unit)
{
    const std::size_t anchor = LastAnchor(needle, unit);
    const __m512i first = _mm512_set1_epi8(needle[0]);
    const __m512i last = _mm512_set1_epi8(needle[anchor]);
    const std::size_t inner = InnerAnchor(needle, unit);
    const __m512i before = _mm512_set1_epi8(needle[inner]);
    const char* data = haystack.data();
    // A local position, kept in a register; `from` learns it at the end.
    std::size_t position = from;
    const std::size_t end = haystack.size() - std::min(haystack.size(), 128 + needle.size());
    const std::size_t firstStep = AlignedStep(data, position, 64);
    const std::uint64_t startsAfter = UnitStarts(position + firstStep, unit);
    std::uint64_t starts = UnitStarts(position, unit);
    for (std::size_t step = firstStep; position <= end && haystack.size() >= 128 + needle.size();
         position += step, step = 128, starts = startsAfter) {
        const char* at = data + position;
        __mmask64 low = _mm512_cmpeq_epi8_mask(_mm512_loadu_si512(at), first);
        low = _mm512_mask_cmpeq_epi8_mask(low, _mm512_loadu_si512(at + anchor), last);
        __mmask64 high = _mm512_cmpeq_epi8_mask(_mm512_loadu_si512(at + 64), first);
        high = _mm512_mask_cmpeq_epi8_mask(high, _mm512_loadu_si512(at + 64 + anchor), last);
        if ((static_cast<std::uint64_t>(low) | static_cast<std::uint64_t>(high)) == 0)
            continue;
        low = _mm512_mask_cmpeq_epi8_mask(low, _mm512_loadu_si512(at + inner), before);
        high = _mm512_mask_cmpeq_epi8_mask(high, _mm512_loadu_si512(at + 64 + inner), before);
        // Both halves start an even number of bytes apart: the same positions start units.
        for (const auto& [offset, equal] : {std::pair<std::size_t, __mmask64>{0, low}, {64, high}}) {
            const std::uint64_t candidates = static_cast<std::uint64_t>(equal) & starts;
            if (candidates == 0)
                continue;
            if (const std::size_t found = FirstWhole(haystack, needle, position + offset, candidates);
                found != std::string_view::npos)
                return found;
        }
    }
    from = position;
    return std::string_view::npos;
}

__attribute__((target("avx2"))) std::size_t FindWide(std::string_view haystack, std::string_view needle,
                                                      std::size_t& from, std::size_t unit)
{
    const std::size_t anchor = LastAnchor(needle, unit);
    const __m256i first = _mm256_set1_epi8(needle[0]);
    const __m256i last = _mm256_set1_epi8(needle[anchor]);
    const std::size_t inner = InnerAnchor(needle, unit);
    const __m256i before = _mm256_set1_epi8(needle[inner]);
    const char* data = haystack.data();
    // A local position, kept in a register; `from` learns it at the end.
    std::size_t position = from;
    const std::size_t end = haystack.size() - std::min(haystack.size(), 64 + needle.size());
    const std::size_t firstStep = AlignedStep(data, position, 32);
    const std::uint64_t startsAfter = UnitStarts(position + firstStep, unit);
    std::uint64_t starts = UnitStarts(position, unit);
    for (std::size_t step = firstStep; position <= end && haystack.size() >= 64 + needle.size();
         position += step, step = 64, starts = startsAfter) {
        const char* at = data + position;
        const __m256i low =
            _mm256_and_si256(_mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(at)), first),
                             _mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + anchor)), last));
        const __m256i high =
            _mm256_and_si256(_mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + 32)), first),
                             _mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + 32 + anchor)), last));
        const __m256i either = _mm256_or_si256(low, high);
        if (_mm256_testz_si256(either, either))
            continue;
        const __m256i lowInner =
            _mm256_and_si256(low, _mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + inner)), before));
        const __m256i highInner =
            _mm256_and_si256(high, _mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + 32 + inner)), before));
        const std::uint64_t candidates = (static_cast<std::uint64_t>(static_cast<std::uint32_t>(_mm256_movemask_epi8(lowInner))) |
                                          static_cast<std::uint64_t>(static_cast<std::uint32_t>(_mm256_movemask_epi8(highInner))) << 32) &
                                         starts;
        if (candidates != 0) {
            if (const std::size_t found = FirstWhole(haystack, needle, position, candidates); found != std::string_view::npos)
                return found;
        }
    }
    from = position;
    return std::string_view::npos;
}

std::size_t FindNarrow(std::string_view haystack, std::string_view needle, std::size_t& from, std::size_t unit)
{
    const std::size_t anchor = LastAnchor(needle, unit);
    const __m128i first = _mm_set1_epi8(needle[0]);
    const __m128i last = _mm_set1_epi8(needle[anchor]);
    const std::size_t inner = InnerAnchor(needle, unit);
    const __m128i before = _mm_set1_epi8(needle[inner]);
    const char* data = haystack.data();
    // A local position, kept in a register; `from` learns it at the end.
    std::size_t position = from;
    const std::size_t end = haystack.size() - std::min(haystack.size(), 16 + needle.size());
    const std::size_t firstStep = AlignedStep(data, position, 16);
    const std::uint64_t startsAfter = UnitStarts(position + firstStep, unit);
    std::uint64_t starts = UnitStarts(position, unit);
    for (std::size_t step = firstStep; position <= end && haystack.size() >= 16 + needle.size();
         position += step, step = 16, starts = startsAfter) {
        const char* at = data + position;
        const __m128i atFirst = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
        const __m128i atLast = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + anchor));
        const __m128i equal = _mm_and_si128(_mm_cmpeq_epi8(atFirst, first), _mm_cmpeq_epi8(atLast, last));
        std::uint64_t candidates = static_cast<std::uint32_t>(_mm_movemask_epi8(equal)) & starts & 0xFFFFu;
        if (candidates != 0) {
            const __m128i atInner = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + inner));
            candidates &= static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(atInner, before)));
        }
        if (candidates != 0) {
            if (const std::size_t found = FirstWhole(haystack, needle, position, candidates); found != std::string_view::npos)
                return found;
        }
    }
    from = position;
    return std::string_view::npos;
}

#endif

} // namespace

Vectors WidestVectors()
{
#if QUILLMARK_VECTOR_SEARCH
    static const Vectors vectors = __builtin_cpu_supports("avx512bw") ? Vectors::Widest
                                   : __builtin_cpu_supports("avx2")   ? Vectors::Wide
                                                                      : Vectors::Narrow;
    return vectors;
#else
    return Vectors::None;
#endif
}

std::size_t FindUnits(std::string_view haystack, std::string_view needle, std::size_t from, std::size_t unit,
                      [[maybe_unused]] Vectors widest)
{
    from += (unit - from % unit) % unit;
    if (needle.empty())
        return from <= haystack.size() ? from : std::string_view::npos;
#if QUILLMARK_VECTOR_SEARCH
    // Each width goes on from where the wider one stopped; none is asked of
    // a processor that lacks it.
    const Vectors vectors = std::min(widest, WidestVectors());
    std::size_t found = std::string_view::npos;
    if (vectors == Vectors::Widest)
        found = FindWidest(haystack, needle, from, unit);
    if (found == std::string_view::npos && vectors >= Vectors::Wide)
        found = FindWide(haystack, needle, from, unit);
    if (found == std::string_view::npos && vectors >= Vectors::Narrow)
        found = FindNarrow(haystack, needle, from, unit);
    if (found != std::string_view::npos)
        return found;
    from += (unit - from % unit) % unit;
#endif
    return FindScalar(haystack, needle, from, unit);
}

} // namespace files
