#pragma once

// PEAK's TRC log. Written as version 2.1: ";$FILEVERSION=2.1", ";$STARTTIME=" (days since
// 1899-12-30, local time), ";$COLUMNS=N,O,T,B,I,d,R,L,D", then per frame its number, its offset in
// milliseconds from the start time, type DT (data) or RR (remote), bus, identifier, direction, DLC
// and data. Read in every version: 1.0 (no version line, "N) offset id dlc data"), 1.1 (adds
// Rx/Tx), 1.2 (adds the bus), 1.3 (adds a reserved column), 2.0 (fixed columns N,O,T,I,d,L,D) and
// 2.1 or any other with its ";$COLUMNS=" line.

#include "recording/logcodec.h"

class TrcLogCodec : public LogCodec
{
public:
    QByteArray header(qint64 startUs, int total) override;
    void appendFrame(QByteArray &out,
                     const FileSaveSupport::CAN_StructureDescription &record) override;
    Line parseLine(const char *begin, const char *end, LogFrame &frame) override;

    static QByteArray startTimeText(qint64 us);
    static bool parseStartTime(const QByteArray &text, qint64 *us);
    // A frame line of version 1.x, whose message number ends in ')'.
    static bool isVersion1Line(const QByteArray &text);

private:
    Line parseComment(const QByteArray &text);

    qint64 m_startUs = 0;
    bool m_haveStartTime = false;
    quint64 m_number = 0;
    // Major version times ten plus minor: 10 for 1.0 (also when there is no version line), 21
    // for 2.1; 0 for a version this reader does not know.
    int m_version = 10;
    QByteArray m_versionText;
    // Column letters in file order: the version's, or the ";$COLUMNS=" line's.
    QByteArray m_columns = "NOILD";
    bool m_haveColumns = false;
};
