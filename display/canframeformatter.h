#pragma once

// Turns one frame into the eight texts of a record. Texts that repeat from frame to frame (channel,
// type, direction, length, the time of day within one millisecond and recently seen identifiers)
// are handed out as shared copies of one string instead of being built for every frame.

#include "recording/filesavesupport.h"

#include <QByteArray>
#include <QString>
#include <QVector>

class CanFrameFormatter
{
public:
    CanFrameFormatter();

    // msecsOfDay is the host time of day in milliseconds since midnight.
    void format(FileSaveSupport::CAN_StructureDescription &record,
                uchar channel,
                const QByteArray &CanFrame,
                uint TimeStamp,
                uint dir,
                int msecsOfDay);

    static QString timeStampText(uint TimeStamp);
    static QString systemTimeText(int msecsOfDay);
    static QString frameIdText(quint32 id);
    static QString dataText(const QByteArray &data);

private:
    QString channelText(uchar channel);
    QString cachedFrameIdText(quint32 id);

    QString m_std;
    QString m_ext;
    QString m_stdRemote;
    QString m_extRemote;
    QString m_rx;
    QString m_tx;
    QVector<QString> m_lengths;
    QVector<QString> m_channels;
    int m_lastMsecsOfDay = -1;
    QString m_lastSystemTime;

    struct IdEntry
    {
        quint32 id = 0;
        QString text;
    };
    // Direct-mapped by the low identifier bits: bounded memory, and a bus's usual handful of
    // identifiers all stay shared.
    static constexpr int IdCacheSize = 4096;
    QVector<IdEntry> m_idCache;
};
