#pragma once

// One log file format: how its header, frame lines and closing lines are written, and how its lines
// are read back. An object serves one file, since reading and writing keep per-file state (the
// time the file starts from, line numbers). The log writer owns the file and every check on it;
// a codec only turns frames into bytes and lines into frames.

#include "display/canrecord.h"
#include "recording/filesavesupport.h"
#include "recording/logframe.h"
#include "recording/logtimeline.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QString>

#include <memory>

// CandumpWithDirection is the candump log with can-utils' "candump -x" direction suffix: python-can
// and can-utils read it, Wireshark refuses the whole file, so it is written only on request.
enum class LogFormat { Native, Candump, Asc, Trc, CandumpWithDirection };

class LogCodec
{
public:
    enum class Line {
        Frame, // the line held a frame
        Skip, // a header, comment or event line of the format that holds no frame
        Bad, // not understood
        Refused, // understood, but a frame or variant this program cannot hold; see refusal()
    };

    virtual ~LogCodec() = default;

    static std::unique_ptr<LogCodec> create(LogFormat format);
    static constexpr int FormatCount = 5;
    static LogFormat formatAt(int index) { return LogFormat(index); }
    // ".txt", ".log", ".asc", ".trc".
    static QString suffix(LogFormat format);
    // The format a file name's suffix stands for, if it stands for one; `preferred` when its
    // suffix is the name's (two formats share ".log").
    static bool formatForSuffix(const QString &fileName, LogFormat *format);
    static bool formatForSuffix(const QString &fileName, LogFormat preferred, LogFormat *format);
    // The format of a log whose first bytes are `head`, found from the content only.
    static bool detect(const QByteArray &head, LogFormat *format);

    // Lines before the first frame. `startUs` is when the file's own clock starts (microseconds
    // since the epoch); `total` is the frame count of a whole-history save, or -1 for a log
    // written while frames arrive.
    virtual QByteArray header(qint64 startUs, int total) = 0;
    virtual void appendFrame(QByteArray &out,
                             const FileSaveSupport::CAN_StructureDescription &record)
        = 0;
    // The same line from a record of the history, which holds numbers only; a format written from
    // texts makes them itself.
    virtual void appendRecord(QByteArray &out, const CanRecord &record);
    virtual QByteArray footer() { return QByteArray(); }

    // One line without its line end. A frame's time is its host time in microseconds since the
    // epoch; its time stamp is left to the caller.
    virtual Line parseLine(const char *begin, const char *end, LogFrame &frame) = 0;
    // Why the last line that parseLine() refused was refused, for the user.
    QString refusal() const { return m_refusal; }

    // A format that can place its frames only once it has seen the whole file gets every line
    // here first, before parseLine() sees any; it returns false when it needs no more.
    virtual bool scanLine(const char *begin, const char *end);
    virtual void endScan() { }

protected:
    Line refuse(const QString &reason)
    {
        m_refusal = reason;
        return Line::Refused;
    }
    // The reason every format gives for a CAN FD frame.
    static QString canFdRefusal();

    // Time of a frame in a written log: the host time of the file's first frame, then the steps of
    // the device stamps, so that the gaps between frames are the device's.
    LogTimeline m_timeline;

private:
    QString m_refusal;
};

// Small helpers the codecs share; fast because a whole history goes through them.
namespace LogText {
void appendUInt(QByteArray &out, quint64 value, int width = 0, char pad = ' ');
void appendHex(QByteArray &out, quint32 value, int digits);
// Seconds with six decimals from microseconds, at least `width` characters, right-aligned.
void appendSeconds(QByteArray &out, qint64 us, int width);
void appendDataBytes(QByteArray &out, const LogFrame &frame);

// A cursor over one line.
struct Cursor
{
    const char *p;
    const char *end;

    bool atEnd() const { return p >= end; }
    void skipBlanks();
    // The next run of non-blank characters; false at the end of the line.
    bool nextToken(const char **begin, const char **tokenEnd);
};

int hexValue(char c);
bool parseHex(const char *begin, const char *end, quint32 *value);
bool parseDec(const char *begin, const char *end, quint32 *value);
// "12.345678" (an optional minus, digits, an optional point and fraction) scaled by
// 10^fractionDigits; extra fraction digits are cut.
bool parseFixed(const char *begin, const char *end, int fractionDigits, qint64 *value);
bool equalsNoCase(const char *begin, const char *end, const char *word);
} // namespace LogText
