#pragma once

// A value handed from one thread to another. The lock is held only while the value is assigned or
// copied; the record lists it carries are implicitly shared, so neither side copies any text.

#include <mutex>
#include <utility>

template<typename T>
class LockedHandoff
{
public:
    T get() const
    {
        std::lock_guard<std::mutex> locker(m_mutex);
        return m_value;
    }

    // The previous value is released by the caller's copy after the lock is gone, so a large list
    // is never freed while the other thread waits.
    void set(T value)
    {
        {
            std::lock_guard<std::mutex> locker(m_mutex);
            std::swap(m_value, value);
        }
    }

    // Changes the value in place under the lock, for values two threads each change a part of.
    template<typename Change>
    void update(Change change)
    {
        std::lock_guard<std::mutex> locker(m_mutex);
        change(m_value);
    }

    // Empties the value only when it still is what `seen` was taken from, so that a newer value
    // handed over in the meantime survives.
    bool clearIfSharedWith(const T &seen)
    {
        T old;
        std::lock_guard<std::mutex> locker(m_mutex);
        if (!m_value.isSharedWith(seen))
            return false;
        std::swap(m_value, old);
        return true;
    }

private:
    // A standard mutex rather than QMutex: thread sanitizers see its ordering.
    mutable std::mutex m_mutex;
    T m_value {};
};
