// Arbitrary bytes as a DBC file. Reading must neither crash nor hang, every problem must point at
// a line of the input, every message it keeps must have an identifier CAN can carry, and a frame
// of every message must decode into signals whose bits read back as they were put.

#include "candb/dbcreader.h"
#include "candb/signalcodec.h"

#include <QByteArray>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
void check(bool ok, const char *what)
{
    if (!ok) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    const DbcReadResult result = DbcReader::readData(bytes);
    const int lines = bytes.count('\n') + 1;
    check(result.ok || !result.error.isEmpty(), "a refusal says why");
    check(result.problems.size() <= result.problemCount, "problems counted");
    for (const DbcProblem &problem : result.problems) {
        check(problem.line >= 1 && problem.line <= lines, "problem on a line of the file");
        check(problem.text.size() <= 80, "problem text bounded");
        check(!problem.reason.isEmpty(), "problem has a reason");
    }
    (void)result.problemSummary();

    // The frame's bytes come from the input too, so the fuzzer steers multiplexor values.
    quint8 frame[8] = {};
    std::memcpy(frame, data, size < 8 ? size : 8);
    QVector<DecodedSignal> decoded;
    for (const DbcMessage &message : result.database.messages()) {
        check(message.id <= (message.extended ? 0x1FFFFFFFu : 0x7FFu), "identifier fits");
        check(result.database.message(message.id, message.extended) == &message,
              "message found by its identifier");
        for (int dlc = 0; dlc <= 8; dlc += 4) {
            SignalCodec::decode(message, frame, dlc, &decoded);
            check(decoded.size() <= message.signalList.size(), "at most every signal");
            for (const DecodedSignal &value : qAsConst(decoded)) {
                check(value.signalIndex >= 0 && value.signalIndex < message.signalList.size(),
                      "signal index in range");
                const DbcSignal &signal = message.signalList.at(value.signalIndex);
                quint8 again[8] = {};
                SignalCodec::insertBits(signal, value.rawBits, again);
                quint64 bits = 0;
                check(SignalCodec::extractBits(signal, again, 8, &bits) && bits == value.rawBits,
                      "bits read back as put");
                (void)SignalCodec::valueText(signal, value);
                quint64 encoded = 0;
                (void)SignalCodec::bitsForPhysical(signal, value.physical, &encoded);
            }
        }
    }
    return 0;
}
