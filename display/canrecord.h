#pragma once

// One recorded frame as numbers only. A history of millions of frames keeps 32 bytes a frame;
// the texts the table shows, the filters test and the logs carry are made from it when they are
// needed (CanFrameFormatter), never stored.

#include "recording/logframe.h"

#include <QVector>

#include <cstring>

struct CanRecord
{
    qint64 hostTimeUs = 0; // host clock, microseconds since the epoch
    quint32 timeStamp = 0; // device clock, 0.1 ms
    quint32 id = 0;
    // The host's local time of day the frame was handled at, in milliseconds. Kept rather than
    // worked out from hostTimeUs: the table shows the time of day as it was then, whatever the
    // zone is now.
    qint32 msecsOfDay = 0;
    quint8 info = 0; // flags and DLC, as in the adapter's frame record
    quint8 channel = 0;
    quint8 dir = 0; // 0 received, 1 sent
    quint8 data[8] = {};

    static CanRecord fromFrame(const LogFrame &frame, int msecsOfDay)
    {
        CanRecord record;
        record.hostTimeUs = frame.hostTimeUs;
        record.timeStamp = frame.timeStamp;
        record.id = frame.id;
        record.msecsOfDay = msecsOfDay;
        record.info = frame.info;
        record.channel = frame.channel;
        record.dir = frame.dir;
        std::memcpy(record.data, frame.data, sizeof record.data);
        return record;
    }

    LogFrame frame() const
    {
        LogFrame frame;
        frame.hostTimeUs = hostTimeUs;
        frame.timeStamp = timeStamp;
        frame.id = id;
        frame.info = info;
        frame.channel = channel;
        frame.dir = dir;
        std::memcpy(frame.data, data, sizeof data);
        return frame;
    }

    bool isExtended() const { return info & LogFrame::Extended; }
    bool isRemote() const { return info & LogFrame::Remote; }
    int dlc() const { return info & LogFrame::DlcMask; }
    int dataCount() const { return isRemote() ? 0 : qMin(dlc(), 8); }
};
Q_DECLARE_TYPEINFO(CanRecord, Q_PRIMITIVE_TYPE);
static_assert(sizeof(CanRecord) == 32, "a record's size sets what a deep history costs");

using CanRecordList = QVector<CanRecord>;
