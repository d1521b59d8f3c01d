#pragma once

// Turns a recorded frame into the eight texts the table shows and the native log writes. The
// history keeps numbers only; every text comes from here, when it is needed: a field as plain
// characters for the filters and the log lines, as a string for a table cell, or all eight as a
// record of texts. Texts that repeat from frame to frame (channel, type, direction, length, the
// time of day within one millisecond and recently seen identifiers) are handed out as shared copies
// of one string instead of being built for every frame.

#include "display/canrecord.h"
#include "recording/filesavesupport.h"

#include <QByteArray>
#include <QString>
#include <QVector>

class CanFrameFormatter
{
public:
    // A record's texts, in the order of the table's columns after the row number.
    enum Field { SystemTime, TimeStamp, Channel, FrameId, Type, Direction, Length, Data };
    // The longest field: fifteen data bytes, for a DLC above 8 whose missing bytes show as 00.
    static constexpr int MaxFieldChars = 15 * 3 - 1;

    CanFrameFormatter();

    // msecsOfDay is the host time of day in milliseconds since midnight. Sets the texts only.
    void format(FileSaveSupport::CAN_StructureDescription &record,
                uchar channel,
                const QByteArray &CanFrame,
                uint TimeStamp,
                uint dir,
                int msecsOfDay);
    // All eight texts of `record`, and its frame.
    void format(FileSaveSupport::CAN_StructureDescription &texts, const CanRecord &record);

    // The record the receive path keeps of an adapter frame record; missing bytes read as 0.
    static CanRecord recordOf(uchar channel,
                              const QByteArray &CanFrame,
                              uint TimeStamp,
                              uint dir,
                              int msecsOfDay,
                              qint64 hostTimeUs);
    // Writes one field's text as ASCII to `out`, which holds MaxFieldChars; returns its length.
    static int writeField(char *out, const CanRecord &record, Field field);
    static QString fieldText(const CanRecord &record, Field field);
    // The native log's line of `record`, line end included, as the texts would make it.
    static void appendLogLine(QByteArray &out, const CanRecord &record);

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
