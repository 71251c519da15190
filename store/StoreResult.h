#pragma once
// The outcome of a user-file operation, with a message for the user whenever
// it did not simply succeed. Failures are values, never exceptions.
#include <memory>
#include <string>
#include <utility>

namespace store {

template <class Outcome>
class StoreResult {
public:
    StoreResult(Outcome outcome, std::u16string message = {}, bool userFileChanged = false)
        : m_outcome(outcome), m_userFileChanged(userFileChanged)
    {
        if (!message.empty())
            m_message = std::make_shared<const std::u16string>(std::move(message));
    }
    // With a message made in advance that outlives every result: where memory
    // has run out, a result is made and passed on without allocating.
    static StoreResult Lasting(Outcome outcome, const std::u16string& message, bool userFileChanged = false)
    {
        StoreResult result(outcome, {}, userFileChanged);
        result.m_message = std::shared_ptr<const std::u16string>(std::shared_ptr<void>(), &message);
        return result;
    }
    // The same message under another outcome; allocates nothing.
    template <class Other>
    StoreResult<Other> As(Other outcome) const
    {
        StoreResult<Other> result(outcome, {}, m_userFileChanged);
        result.m_message = m_message;
        return result;
    }

    Outcome GetOutcome() const { return m_outcome; }
    // Says what failed and why, and whether anything was changed.
    const std::u16string& Message() const
    {
        static const std::u16string none;
        return m_message ? *m_message : none;
    }
    // True only for a failure that came after the new contents were in place.
    bool UserFileChanged() const { return m_userFileChanged; }

private:
    template <class>
    friend class StoreResult;

    Outcome m_outcome;
    std::shared_ptr<const std::u16string> m_message;
    bool m_userFileChanged;
};

} // namespace store
