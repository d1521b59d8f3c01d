#pragma once

// Small helpers shared by the device code: waiting for an adapter answer while the
// GUI keeps processing events.

#include <QObject>

class common : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // Returns once strictly more than ms milliseconds have passed, processing events meanwhile.
    static void delayMsec(uint ms);
};
