// Arbitrary bytes from the serial port, cut into arbitrary read sizes, go through the record
// framer and the codec into receivers that check what comes out against the records themselves,
// and every decoded frame goes on through the parser and the display formatter.
//
// Input layout: repeated [control byte][bytes]. A control byte below 0xE0 is the length of the
// chunk that follows (a missing tail is read as short); 0xE0..0xEF lets the link go quiet (the
// framer decides on what it held); 0xF0..0xFF announces a command whose answer, record code
// (byte & 0x0F), may arrive.

#include "display/canframeformatter.h"
#include "link/recordframer.h"
#include "protocol/canframe.h"
#include "protocol/contextprotocol.h"

#include <QByteArray>
#include <QObject>
#include <QtGlobal>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

void fail(const char *what)
{
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

void check(bool ok, const char *what)
{
    if (!ok)
        fail(what);
}

void quiet(QtMsgType, const QMessageLogContext &, const QString &) { }

// What the receivers expect next: the record the codec is decoding, and how many signals it
// should still produce for it.
struct Expectation
{
    const char *record = nullptr;
    int signalsLeft = 0;
};

Expectation expected;
CanFrameFormatter *formatter = nullptr;

const char *takeRecord()
{
    check(expected.record != nullptr && expected.signalsLeft > 0, "signal without a record");
    --expected.signalsLeft;
    return expected.record;
}

int signalsFor(const char *r)
{
    if (quint8(r[0]) != Wire::RecordMark)
        return 0;
    switch (quint8(r[1])) {
    case Wire::DeviceStates:
        return 2;
    case Wire::DeviceOpen:
    case Wire::BaudRateConfig:
    case Wire::CANFrame:
    case Wire::CANSend:
    case Wire::DeviceClose:
        return 1;
    default:
        return 0;
    }
}

void connectReceivers(contextProtocol *codec, QObject *context)
{
    QObject::connect(
        codec, &contextProtocol::signal_RSP_DeviceOpen, context,
        [](uchar type, uchar channels, const QString &model) {
            const char *r = takeRecord();
            check(type == uchar(r[2]) && channels == uchar(r[3]), "open answer fields");
            check(model.size() <= 15, "model name longer than its field");
            for (int i = 0; i < model.size(); ++i)
                check(model.at(i).unicode() == quint8(r[4 + i]) && r[4 + i] != 0,
                      "model name characters");
        },
        Qt::DirectConnection);
    QObject::connect(
        codec, &contextProtocol::signal_RSP_BaudRateConfig, context,
        [](uchar channel, bool state) {
            const char *r = takeRecord();
            check(channel == uchar(r[2]), "bit-rate answer channel");
            check(state == (Wire::readU32(r + 3) != 0), "bit-rate answer state");
        },
        Qt::DirectConnection);
    QObject::connect(
        codec, &contextProtocol::signal_REP_DeviceStates, context,
        [](uchar channel, ushort frameSpeed, float) {
            const char *r = takeRecord();
            check(expected.signalsLeft == 1, "status report before its error count");
            check(channel == uchar(r[2]) && frameSpeed == Wire::readU16(r + 3),
                  "status report fields");
        },
        Qt::DirectConnection);
    QObject::connect(
        codec, &contextProtocol::signal_REP_ErroCount, context,
        [](uchar channel, uint count) {
            const char *r = takeRecord();
            check(channel == uchar(r[2]) && count == Wire::readU32(r + 9), "error count fields");
        },
        Qt::DirectConnection);
    QObject::connect(
        codec, &contextProtocol::signal_REP_CANFrame, context,
        [](uchar channel, const QByteArray &frame, uint stamp, uint dir) {
            const char *r = takeRecord();
            check(frame.size() == CanFrame::Size, "frame is not 13 bytes");
            check(std::memcmp(frame.constData(), r + 3, CanFrame::Size) == 0, "frame bytes");
            check(channel == uchar(r[2]) && stamp == Wire::readU32(r + 16) && dir == 0,
                  "frame channel, stamp or direction");

            const CanFrameInfo info(frame);
            check(info.dlc() == (quint8(r[3]) & CanFrame::DlcMask), "parsed length");
            check(info.data.size() >= qMin<int>(info.dlc(), CanFrame::DataSize),
                  "parsed data shorter than its length");
            FileSaveSupport::CAN_StructureDescription text;
            formatter->format(text, channel, frame, stamp, dir, 12 * 3600 * 1000);
        },
        Qt::DirectConnection);
    QObject::connect(
        codec, &contextProtocol::signal_RSP_CANSend, context,
        [](uchar channel, uchar state, uint rank, uint stamp) {
            const char *r = takeRecord();
            check(channel == uchar(r[2]) && state == uchar(r[3]) && rank == Wire::readU32(r + 4)
                      && stamp == Wire::readU32(r + 8),
                  "send answer fields");
        },
        Qt::DirectConnection);
    QObject::connect(
        codec, &contextProtocol::signal_RSP_DeviceClose, context, [] { takeRecord(); },
        Qt::DirectConnection);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qInstallMessageHandler(quiet);
    formatter = new CanFrameFormatter;
    connectReceivers(contextProtocol::instance(), new QObject);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    contextProtocol *codec = contextProtocol::instance();
    RecordFramer framer;
    QByteArray records;
    qint64 fed = 0;
    qint64 emitted = 0;

    size_t at = 0;
    while (at < size) {
        const quint8 control = data[at++];
        int produced = 0;
        if (control >= 0xF0) {
            framer.expectAnswer(control & 0x0F);
            continue;
        }
        if (control >= 0xE0) {
            produced = framer.flush(records);
            check(framer.pendingBytes() < Wire::RecordSize,
                  "a quiet link leaves a whole record held");
        } else {
            const size_t length = qMin(size_t(control), size - at);
            produced = framer.feed(reinterpret_cast<const char *>(data + at), int(length), records);
            at += length;
            fed += qint64(length);
        }

        check(records.size() == produced * Wire::RecordSize, "records are not whole");
        check(framer.pendingBytes() >= 0 && framer.pendingBytes() <= RecordFramer::MaxHeldBytes,
              "framer holds more than its look-ahead");
        emitted += produced;
        check(framer.discardedBytes() + emitted * Wire::RecordSize + framer.pendingBytes() == fed,
              "bytes lost or invented by the framer");

        // The codec gets one record at a time so that each receiver knows the bytes its signal
        // came from.
        for (int k = 0; k < produced; ++k) {
            const char *r = records.constData() + k * Wire::RecordSize;
            QByteArray one(r, Wire::RecordSize);
            expected.record = one.constData();
            expected.signalsLeft = signalsFor(r);
            codec->On_SerialSocket_BytesRecved_Hander(one);
            check(expected.signalsLeft == 0, "a record produced too few signals");
        }
        expected.record = nullptr;

        // Less than a record must produce nothing: a signal now would find no record to match.
        QByteArray ragged = records.left(qMin(records.size(), Wire::RecordSize - 1));
        codec->On_SerialSocket_BytesRecved_Hander(ragged);
    }
    return 0;
}
