#include "signaltestdb.h"

#include <QFile>

namespace {
const char Dbc[] = R"(VERSION ""

NS_ :

BS_:

BU_: ECU

BO_ 256 Engine: 8 ECU
 SG_ Speed : 0|16@1+ (0.25,0) [0|16383.75] "rpm" Vector__XXX
 SG_ Temp : 16|8@1- (1,-40) [-168|87] "degC" Vector__XXX
 SG_ Gear : 24|4@1+ (1,0) [0|15] "" Vector__XXX

BO_ 512 Mux: 8 ECU
 SG_ Sel M : 0|8@1+ (1,0) [0|255] "" Vector__XXX
 SG_ A m1 : 8|16@1+ (1,0) [0|65535] "V" Vector__XXX
 SG_ B m2 : 8|8@1+ (0.5,0) [0|127.5] "A" Vector__XXX

BO_ 2147484160 Level: 4 ECU
 SG_ Level : 0|32@1+ (1,0) [0|4294967295] "mm" Vector__XXX

VAL_ 256 Gear 0 "Park" 1 "Drive" 2 "Reverse" ;
)";
} // namespace

SignalTestDb::SignalTestDb()
{
    const QString path = m_dir.filePath(QStringLiteral("signals.dbc"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(Dbc) != qint64(sizeof(Dbc) - 1))
        return;
    file.close();
    const DbcReadResult result = m_set.add(path, DatabaseSet::BothChannels);
    m_valid = result.ok && result.problems.isEmpty();
}

LogFrame SignalTestDb::frame(int channel,
                             quint32 id,
                             quint32 timeStamp,
                             const QByteArray &hexBytes,
                             bool extended,
                             bool remote)
{
    const QByteArray bytes = QByteArray::fromHex(hexBytes);
    LogFrame frame;
    frame.channel = quint8(channel);
    frame.id = id;
    frame.timeStamp = timeStamp;
    frame.info = quint8(qMin(bytes.size(), 8)) | (extended ? LogFrame::Extended : 0)
        | (remote ? LogFrame::Remote : 0);
    for (int i = 0; i < qMin(bytes.size(), 8); ++i)
        frame.data[i] = quint8(bytes.at(i));
    return frame;
}
