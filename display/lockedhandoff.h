#pragma once

// A value handed from one thread to another. The lock is held only while the value is assigned or
// copied; the record lists it carries are implicitly shared, so neither side copies any text.

#include <QMutex>
#include <QMutexLocker>
#include <utility>

template<typename T>
class LockedHandoff
{
public:
    T get() const
    {
        QMutexLocker locker(&m_mutex);
        return m_value;
    }

    // The previous value is released by the caller's copy after the lock is gone, so a large list
    // is never freed while the other thread waits.
    void set(T value)
    {
        {
            QMutexLocker locker(&m_mutex);
            std::swap(m_value, value);
        }
    }

    // Empties the value only when it still is what `seen` was taken from, so that a newer value
    // handed over in the meantime survives.
    bool clearIfSharedWith(const T &seen)
    {
        T old;
        QMutexLocker locker(&m_mutex);
        if (!m_value.isSharedWith(seen))
            return false;
        std::swap(m_value, old);
        return true;
    }

private:
    mutable QMutex m_mutex;
    T m_value {};
};
