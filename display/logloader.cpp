#include "logloader.h"

#include "display/candatadisplaysupport.h"
#include "display/hostclock.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QSemaphore>
#include <QThread>

namespace {
constexpr int BlockSize = CanRecordBuffer::BlockSize;

qint64 floorDiv(qint64 value, qint64 divisor)
{
    return value >= 0 ? value / divisor : -((-value + divisor - 1) / divisor);
}

} // namespace

// What a reading thread shares with its loader, kept alive by whichever ends last.
struct LogLoader::Shared
{
    static constexpr int Blocks = 4;
    // Blocks of records handed to the display thread and not yet taken; bounds the memory a fast
    // reader can queue ahead of it.
    QSemaphore freeBlocks { Blocks };
};

LogLoader::LogLoader(CAN_DataDisplaySupport *display, QObject *parent)
    : QObject(parent)
    , m_display(display)
    , m_shared(std::make_shared<Shared>())
{
    qRegisterMetaType<LogLoadResult>();
}

LogLoader::~LogLoader()
{
    if (!m_thread)
        return;
    m_thread->requestInterruption();
    // Deleted once it has ended; if it already has, at once (a deleteLater also queued by then
    // goes with the object).
    connect(m_thread, &QThread::finished, m_thread, &QObject::deleteLater);
    if (m_thread->isFinished()) {
        m_thread->wait();
        delete m_thread;
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
    // The thread reaches this loader only through the guard, on the GUI thread.
    const QPointer<LogLoader> guard(this);
    m_thread = QThread::create(
        [guard, path, display = m_display, limit = m_frameLimit, shared = m_shared] {
            LogLoadResult result = read(path, display, limit, shared, [guard](int percent) {
                QMetaObject::invokeMethod(
                    QCoreApplication::instance(),
                    [guard, percent] {
                        if (guard)
                            emit guard->progressChanged(percent);
                    },
                    Qt::QueuedConnection);
            });
            QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [guard, result] {
                    if (guard)
                        guard->onThreadDone(result);
                },
                Qt::QueuedConnection);
        });
    m_thread->setObjectName(QStringLiteral("log-open"));
    m_thread->start();
    return true;
}

void LogLoader::cancel()
{
    if (m_thread)
        m_thread->requestInterruption();
}

LogLoadResult LogLoader::read(const QString &path,
                              CAN_DataDisplaySupport *display,
                              int frameLimit,
                              const std::shared_ptr<Shared> &shared,
                              const std::function<void(int)> &progress)
{
    LogLoadResult result;
    result.path = path;
    // Checked before open(): opening a pipe blocks until someone writes to it.
    if (!QFileInfo(path).isFile()) {
        result.notRegular = QFileInfo::exists(path);
        return result;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return result;
    result.opened = true;
    QThread *self = QThread::currentThread();
    const qint64 size = qMax<qint64>(1, file.size());
    LocalTimeOfDay localTime;
    CanRecordList block;
    block.reserve(BlockSize);
    qint64 firstUs = 0;
    bool first = true;
    qint64 delivered = 0;
    int shownPercent = -1;

    const auto handOver = [&] {
        shared->freeBlocks.acquire();
        QMetaObject::invokeMethod(
            display,
            [display, block, shared] {
                display->appendLoaded(block);
                shared->freeBlocks.release();
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
            if (!display) {
                if (result.frames.size() < frameLimit)
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
            CanRecord record = CanRecord::fromFrame(frame, localTime.msecsOfDay(frame.hostTimeUs));
            record.timeStamp = quint32(quint64(ticks) & 0xFFFFFFFFu);
            block.append(record);
            ++delivered;
            if (block.size() == BlockSize)
                handOver();
            return true;
        },
        [&](qint64 bytesRead) {
            const int percent = int(qMin<qint64>(100, bytesRead * 100 / size));
            if (percent != shownPercent) {
                shownPercent = percent;
                progress(percent);
            }
            return !self->isInterruptionRequested();
        });
    if (!block.isEmpty())
        handOver();
    result.cancelled = result.read.stopped;
    result.kept = display ? qMin<qint64>(delivered, display->maxBuffSize()) : result.frames.size();
    result.dropped = delivered - result.kept;
    return result;
}

void LogLoader::onThreadDone(const LogLoadResult &result)
{
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
    // Every block is with the display thread once all permits are back.
    m_shared->freeBlocks.acquire(Shared::Blocks);
    m_shared->freeBlocks.release(Shared::Blocks);
    emit finished(result);
}
