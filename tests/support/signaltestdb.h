#pragma once

// A small CAN database the signal store, watch, plot and CSV tests share: Intel signals with a
// factor and a negative offset, a signed one, named values, a simply multiplexed message, and an
// extended identifier that equals a standard one. Also builds frames for it.

#include "candb/databaseset.h"
#include "recording/logframe.h"

#include <QByteArray>
#include <QTemporaryDir>

class SignalTestDb
{
public:
    // Engine 0x100 (dlc 8): Speed 0|16 x0.25 "rpm", Temp 16|8 signed +(-40) "degC",
    //   Gear 24|4 named (0 Park, 1 Drive, 2 Reverse).
    // Mux 0x200 (dlc 8): Sel M 0|8, A m1 8|16 "V", B m2 8|8 x0.5 "A".
    // Level 0x200 extended (dlc 4): Level 0|32 "mm".
    SignalTestDb();

    DatabaseSet *databases() { return &m_set; }
    bool isValid() const { return m_valid; }

    // `bytes` is hex ("00 10 E2 01"); the DLC is the byte count unless given.
    static LogFrame frame(int channel,
                          quint32 id,
                          quint32 timeStamp,
                          const QByteArray &hexBytes,
                          bool extended = false,
                          bool remote = false);

private:
    QTemporaryDir m_dir;
    DatabaseSet m_set;
    bool m_valid = false;
};
