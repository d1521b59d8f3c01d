#include "logloader.h"

#include "display/candatadisplaysupport.h"
#include "display/canframeformatter.h"
#include "protocol/canframe.h"

#include <QDateTime>
#include <QFile>
#include <QThread>

#include <limits>

namespace {
constexpr int BlockSize = CanRecordBuffer::BlockSize;

qint64 floorDiv(qint64 value, qint64 divisor)
{
    return value >= 0 ? value / divisor : -((-value + divisor - 1) / divisor);
}

// Local time of day in milliseconds; the costly conversion is made once per second of the log.
class LocalTimeOfDay
{
public:
    int msecsOfDay(qint64 us)
    {
        const qint64 second = floorDiv(us, 1000000);
        if (second != m_second) {
            m_second = second;
            m_secondMs = QDateTime::fromSecsSinceEpoch(second, Qt::LocalTime)
                             .time()
                             .msecsSinceStartOfDay();
        }
        return m_secondMs + int((us - second * 1000000) / 1000);
    }

private:
    qint64 m_second = std::numeric_limits<qint64>::min();
    int m_secondMs = 0;
};
} // namespace

LogLoader::LogLoader(CAN_DataDisplaySupport *display, QObject *parent)
    : QObject(parent)
    , m_display(display)
{
    qRegisterMetaType<LogLoadResult>();
}

LogLoader::~LogLoader()
{
    if (m_thread) {
        m_thread->requestInterruption();
        m_thread->wait();
        delete m_thread;
        // Blocks still queued to the display thread give their permit back to this object.
        m_freeBlocks.acquire(4);
    }
}

bool LogLoader::start(const QString &path)
{
    if (m_thread)
        return false;
    // Queued before any block, so the history is emptied first.
    if (m_display)
        QMetaObject::invokeMethod(m_display, &CAN_DataDisplaySupport::startLoad,
                                  Qt::QueuedConnection);
    m_thread = QThread::create([this, path] { run(path); });
    m_thread->setObjectName(QStringLiteral("log-open"));
    m_thread->start();
    return true;
}

void LogLoader::cancel()
{
    if (m_thread)
        m_thread->requestInterruption();
}

void LogLoader::run(const QString &path)
{
    LogLoadResult result;
    result.path = path;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        result.opened = true;
        QThread *self = QThread::currentThread();
        const qint64 size = qMax<qint64>(1, file.size());
        CanFrameFormatter formatter;
        LocalTimeOfDay localTime;
        CanRecordList block;
        block.reserve(BlockSize);
        qint64 firstUs = 0;
        bool first = true;
        CanRecord record;
        qint64 delivered = 0;
        int shownPercent = -1;
        char bytes[CanFrame::Size];
        const QByteArray deviceFrame = QByteArray::fromRawData(bytes, CanFrame::Size);

        const auto handOver = [&] {
            m_freeBlocks.acquire();
            QMetaObject::invokeMethod(
                m_display,
                [display = m_display, block, free = &m_freeBlocks] {
                    display->appendLoaded(block);
                    free->release();
                },
                Qt::QueuedConnection);
            block.clear();
            block.reserve(BlockSize);
        };

        result.read = LogFileReader::read(
            file,
            [&](const LogFrame &frame) {
                if (self->isInterruptionRequested())
                    return false;
                if (!m_display) {
                    if (result.frames.size() < m_frameLimit)
                        result.frames.append(frame);
                    ++delivered;
                    return true;
                }
                if (first) {
                    first = false;
                    firstUs = frame.hostTimeUs;
                }
                // The device clock of a log read back: 0.1 ms since its first frame.
                const qint64 ticks = floorDiv(frame.hostTimeUs - firstUs + 50, 100);
                record.frame = frame;
                record.frame.timeStamp = quint32(quint64(ticks) & 0xFFFFFFFFu);
                bytes[CanFrame::InfoOffset] = char(frame.info);
                for (int i = 0; i < 4; ++i)
                    bytes[CanFrame::IdOffset + i] = char((frame.id >> (8 * i)) & 0xFF);
                for (int i = 0; i < 8; ++i)
                    bytes[CanFrame::DataOffset + i] = char(frame.data[i]);
                formatter.format(record, frame.channel, deviceFrame, record.frame.timeStamp,
                                 frame.dir, localTime.msecsOfDay(frame.hostTimeUs));
                // Moved, not copied: no reference count is touched per text.
                block.append(std::move(record));
                ++delivered;
                if (block.size() == BlockSize)
                    handOver();
                return true;
            },
            [&](qint64 bytesRead) {
                const int percent = int(qMin<qint64>(100, bytesRead * 100 / size));
                if (percent != shownPercent) {
                    shownPercent = percent;
                    QMetaObject::invokeMethod(
                        this, [this, percent] { emit progressChanged(percent); },
                        Qt::QueuedConnection);
                }
                return !self->isInterruptionRequested();
            });
        if (!block.isEmpty())
            handOver();
        result.cancelled = result.read.stopped;
        result.kept
            = m_display ? qMin<qint64>(delivered, m_display->maxBuffSize()) : result.frames.size();
        result.dropped = delivered - result.kept;
    }
    QMetaObject::invokeMethod(
        this, [this, result] { onThreadDone(result); }, Qt::QueuedConnection);
}

void LogLoader::onThreadDone(const LogLoadResult &result)
{
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
    // Every block is with the display thread once all permits are back.
    m_freeBlocks.acquire(4);
    m_freeBlocks.release(4);
    emit finished(result);
}
