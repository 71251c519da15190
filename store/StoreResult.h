#pragma once
// The outcome of a user-file operation, with a message for the user whenever
// it did not simply succeed. Failures are values, never exceptions.
#include <string>
#include <utility>

namespace store {

template <class Outcome>
class StoreResult {
public:
    StoreResult(Outcome outcome, std::u16string message = {}, bool userFileChanged = false)
        : m_outcome(outcome), m_message(std::move(message)), m_userFileChanged(userFileChanged)
    {
    }

    Outcome GetOutcome() const { return m_outcome; }
    // Says what failed and why, and whether anything was changed.
    const std::u16string& Message() const { return m_message; }
    // True only for a failure that came after the new contents were in place.
    bool UserFileChanged() const { return m_userFileChanged; }

private:
    Outcome m_outcome;
    std::u16string m_message;
    bool m_userFileChanged;
};

} // namespace store
