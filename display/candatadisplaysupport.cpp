#include "candatadisplaysupport.h"

#include "candb/signalstore.h"
#include "link/sentframerelay.h"
#include "protocol/contextprotocol.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDebug>
#include <QMetaMethod>
#include <QMetaType>
#include <QThread>
#include <QTime>
#include <QTimer>

#include <algorithm>
#include <cstring>
#include <memory>

CAN_DataDisplaySupport *CAN_DataDisplaySupport::instance()
{
    static CAN_DataDisplaySupport *display = [] {
        auto *created = new CAN_DataDisplaySupport;
        // The single object is never destroyed; its real-time log is closed when the application
        // object goes away.
        qAddPostRoutine([] { instance()->m_fileSave->realTimeSaveCommand(QString(), false); });
        // Frames the send panels put on the bus go straight into the inbox, like received ones.
        // The display takes the low 32 bits of the time stamp, as the adapter sent it.
        connect(
            SentFrameRelay::instance(), &SentFrameRelay::signal_frameSent, created,
            [created](uchar channel, const QByteArray &frame, qulonglong timeStamp, uint dir) {
                created->queueFrame(channel, frame, uint(timeStamp), dir);
            },
            Qt::DirectConnection);
        return created;
    }();
    return display;
}

CAN_DataDisplaySupport::CAN_DataDisplaySupport(QObject *parent)
    : QObject(parent)
{
    // Queued delivery of the per-frame signal looks the argument type up by this exact name.
    qRegisterMetaType<FileSaveSupport::CAN_StructureDescription>(
        "FileSaveSupport::CAN_StructureDescription&");

    refreshTimer = new QTimer(this);
    refreshTimer->setSingleShot(true);
    m_drainTimer = new QTimer(this);
    m_drainTimer->setInterval(DrainIntervalMs);
    displayThread = new QThread;
    displayThread->setObjectName(QStringLiteral("display"));
    moveToThread(displayThread);

    m_fileSave = new FileSaveSupport(&historyBuff);

    connect(refreshTimer, &QTimer::timeout, this, &CAN_DataDisplaySupport::onRefreshTick);
    connect(m_drainTimer, &QTimer::timeout, this, &CAN_DataDisplaySupport::onDrainTimer);
    connect(
        contextProtocol::instance(), &contextProtocol::signal_REP_CANFrame, this,
        [this](uchar channel, const QByteArray &frame, uint timeStamp, uint dir) {
            queueFrame(channel, frame, timeStamp, dir);
        },
        Qt::DirectConnection);
    connect(this, &CAN_DataDisplaySupport::signal_GlobalSave_CopyCopmpelt, m_fileSave,
            &FileSaveSupport::globalSave);
    if (QCoreApplication *app = QCoreApplication::instance()) {
        connect(app, &QCoreApplication::aboutToQuit, m_fileSave, [this] { drainBeforeQuit(); });
    }

    displayThread->start(QThread::InheritPriority);
}

CAN_DataDisplaySupport::~CAN_DataDisplaySupport()
{
    // The timer lives on the display thread and must be stopped there.
    QMetaObject::invokeMethod(
        this,
        [this] {
            refreshTimer->stop();
            m_drainTimer->stop();
        },
        Qt::BlockingQueuedConnection);
    displayThread->quit();
    displayThread->wait();
    delete displayThread;
    delete m_fileSave;
}

void CAN_DataDisplaySupport::queueFrame(uchar channel,
                                        const QByteArray &CanFrame,
                                        uint TimeStamp,
                                        uint dir)
{
    enqueue(PendingFrame { channel, CanFrame, TimeStamp, dir });
}

void CAN_DataDisplaySupport::enqueue(PendingFrame &&pending)
{
    bool wake = false;
    {
        std::lock_guard<std::mutex> locker(m_inboxMutex);
        m_inbox.push_back(std::move(pending));
        wake = !m_drainArmed;
        m_drainArmed = true;
    }
    if (wake) {
        QMetaObject::invokeMethod(
            this,
            [this] {
                drainInbox();
                if (!m_drainTimer->isActive())
                    m_drainTimer->start();
            },
            Qt::QueuedConnection);
    }
}

int CAN_DataDisplaySupport::drainInbox()
{
    {
        std::lock_guard<std::mutex> locker(m_inboxMutex);
        m_draining.swap(m_inbox);
    }
    const int drained = int(m_draining.size());
    for (const PendingFrame &f : m_draining) {
        switch (f.mark) {
        case Mark::Frame:
            recordFrame(f.channel, f.frame, f.timeStamp, f.dir);
            break;
        case Mark::LogOn:
        case Mark::LogOff:
            // Lines of frames recorded while saving ran go out ahead of anything after a stop.
            if (f.mark == Mark::LogOff)
                flushLogBatch();
            m_realTimeOn = f.mark == Mark::LogOn;
            break;
        case Mark::Clear:
            clearNow();
            break;
        case Mark::Pause:
        case Mark::Resume:
            pauseNow(f.mark == Mark::Pause);
            break;
        }
    }
    // The frames' bytes are freed here, in one go.
    m_draining.clear();
    feedSignals();
    if (!m_logBatch.isEmpty() && m_logBatchAge.elapsed() >= LogBatchMs)
        flushLogBatch();
    return drained;
}

void CAN_DataDisplaySupport::onDrainTimer()
{
    if (drainInbox() > 0)
        return;
    {
        std::lock_guard<std::mutex> locker(m_inboxMutex);
        if (!m_inbox.empty())
            return;
        // A whole interval without frames: the next one wakes this thread again.
        m_drainArmed = false;
    }
    m_drainTimer->stop();
    flushLogBatch();
}

void CAN_DataDisplaySupport::flushLogBatch()
{
    if (m_logBatch.isEmpty())
        return;
    QVector<CanRecord> batch;
    batch.swap(m_logBatch);
    QMetaObject::invokeMethod(
        m_fileSave, [writer = m_fileSave, batch] { writer->writeRecords(batch); },
        Qt::QueuedConnection);
}

void CAN_DataDisplaySupport::onFrame(uchar channel,
                                     const QByteArray &CanFrame,
                                     uint TimeStamp,
                                     uint dir)
{
    drainInbox();
    recordFrame(channel, CanFrame, TimeStamp, dir);
    feedSignals();
}

void CAN_DataDisplaySupport::recordFrame(uchar channel,
                                         const QByteArray &CanFrame,
                                         uint TimeStamp,
                                         uint dir)
{
    if (m_logShown) {
        // Live frames mixed into a log would pass for the file's own.
        if (!m_refusalTold) {
            m_refusalTold = true;
            emit signal_LiveFramesRefused();
        }
        return;
    }
    if (displayBuff.size() >= maxBuffSize())
        displayBuff.removeFirst(TrimCount);

    const int msecsOfDay = m_clock.msecsOfDay();
    const CanRecord record = CanFrameFormatter::recordOf(
        channel, CanFrame, TimeStamp, dir, msecsOfDay, m_clock.lastMsecsSinceEpoch() * 1000);
    if (!m_realTimeOn)
        m_unsaved = true;
    if (dir != 0)
        ++m_sendCount;
    else
        ++m_recvCount;

    displayBuff.append(record);
    m_idOverview.add(record, true);
    if (m_signalStore.load(std::memory_order_relaxed))
        m_signalBatch.push_back(record.frame());
    ++m_changeSerial;
    scheduleTick();
    if (m_realTimeOn) {
        // Lines reach the writer in batches; the drain timer sends what is left once the link
        // goes quiet.
        if (m_logBatch.isEmpty()) {
            m_logBatchAge.start();
            if (!m_drainTimer->isActive())
                m_drainTimer->start();
        }
        m_logBatch.append(record);
    }
    // Texts for every frame cost more than the rest of its way here: made only for a listener.
    static const QMetaMethod frameSave
        = QMetaMethod::fromSignal(&CAN_DataDisplaySupport::signal_realTime_FrameSave);
    if (isSignalConnected(frameSave)) {
        m_formatter.format(m_current, record);
        emit signal_realTime_FrameSave(m_current);
    }
}

void CAN_DataDisplaySupport::startRefresh()
{
    m_refreshOn = true;
    refreshTimer->start(RefreshIntervalMs);
}

void CAN_DataDisplaySupport::scheduleTick()
{
    // One tick after something changed; with nothing new the timer does not run at all.
    if (m_refreshOn && !refreshTimer->isActive())
        refreshTimer->start(RefreshIntervalMs);
}

void CAN_DataDisplaySupport::enqueueMark(Mark mark)
{
    enqueue(PendingFrame { 0, QByteArray(), 0, 0, mark });
}

void CAN_DataDisplaySupport::clearHistory()
{
    // Frames reach the inbox past the event queue: a clear queued as an event would also wipe
    // the frames that came in after the click while the display thread was busy.
    enqueueMark(Mark::Clear);
}

void CAN_DataDisplaySupport::clearNow()
{
    m_logShown = false;
    m_unsaved = false;
    displayBuff.clear();
    m_idOverview.clear();
    m_signalBatch.clear();
    if (SignalStore *store = m_signalStore.load())
        store->clear();
    m_viewBuff.set(CanRecordView());
    m_retiredView = CanRecordView();
    m_viewNumbersValid = false;
    dropRebuild();
    m_recvCount = 0;
    m_sendCount = 0;
    ++m_changeSerial;
    publishCounts();
    emit signal_HistoryCleared();
    emit signal_DisplayBuff_Changed();
    scheduleTick();
}

void CAN_DataDisplaySupport::startLoad()
{
    // Frames and requests that came before the load act first, as if each had been queued alone.
    drainInbox();
    clearNow();
    m_logShown = true;
    m_refusalTold = false;
}

void CAN_DataDisplaySupport::appendLoaded(const CanRecordList &records)
{
    displayBuff.appendBlock(records);
    const bool decode = m_signalStore.load(std::memory_order_relaxed) != nullptr;
    for (const CanRecord &record : records) {
        m_idOverview.add(record, false);
        if (decode)
            m_signalBatch.push_back(record.frame());
        if (record.dir != 0)
            ++m_sendCount;
        else
            ++m_recvCount;
    }
    if (displayBuff.size() > maxBuffSize())
        displayBuff.removeFirst(displayBuff.size() - maxBuffSize());
    feedSignals();
    ++m_changeSerial;
    scheduleTick();
}

bool CAN_DataDisplaySupport::hasUnsavedFrames()
{
    bool unsaved = false;
    QMetaObject::invokeMethod(
        this,
        [this, &unsaved] {
            // A clear or frames still in the inbox change the answer.
            drainInbox();
            unsaved = m_unsaved;
        },
        Qt::BlockingQueuedConnection);
    return unsaved;
}

void CAN_DataDisplaySupport::setPause(bool pause)
{
    enqueueMark(pause ? Mark::Pause : Mark::Resume);
}

void CAN_DataDisplaySupport::pauseNow(bool pause)
{
    // The table holds what had come in up to the pause, not what the next tick would find.
    if (pause && !pauseFlag)
        onRefreshTick();
    pauseFlag = pause;
    // Frames held back by the pause show at once.
    scheduleTick();
}

void CAN_DataDisplaySupport::copyForGlobalSave()
{
    drainInbox();
    qDebug() << "clear:" << QDateTime::currentMSecsSinceEpoch();
    historyBuff.set(CanRecordBuffer());
    qDebug() << "copy_start:" << QDateTime::currentMSecsSinceEpoch();
    historyBuff.set(displayBuff);
    m_unsaved = false;
    qDebug() << "copy_end:" << QDateTime::currentMSecsSinceEpoch();
    emit signal_GlobalSave_CopyCopmpelt();
}

void CAN_DataDisplaySupport::setRealTimeSave(bool on)
{
    // Frames reach the inbox straight from the thread that decoded them, past the event queue:
    // only a switch queued in the inbox itself falls between the right two frames.
    enqueueMark(on ? Mark::LogOn : Mark::LogOff);
}

void CAN_DataDisplaySupport::setTimeStampeFormat(int format)
{
    if (format == 0 || format == 1) {
        timeStampeFormat = unsigned(format);
        m_filterInForce.update([format](ViewFilter &f) { f.timeStampeFormat = unsigned(format); });
    }
}

void CAN_DataDisplaySupport::setFilterText(FilterField field, const QString &text)
{
    // Published at once: the texts reach the display thread in this order, so the last one asked
    // for is the one that will be in force.
    m_filterInForce.update([field, &text](ViewFilter &f) {
        QString *fields[] = { &f.time, &f.channel, &f.id, &f.type, &f.dir, &f.length, &f.data };
        *fields[field] = text;
    });
    QMetaObject::invokeMethod(
        this,
        [this, field, text] {
            QString *target = nullptr;
            switch (field) {
            case FilterTime:
                target = &filterTime;
                break;
            case FilterChannel:
                target = &filterChannel;
                break;
            case FilterID:
                target = &filterID;
                break;
            case FilterType:
                target = &filterType;
                break;
            case FilterDir:
                target = &filterDir;
                break;
            case FilterLength:
                target = &filterLength;
                break;
            case FilterData:
                target = &filterData;
                break;
            }
            if (target)
                *target = text;
            if (m_rebuild.active) {
                // The rebuild under way is for a filter no longer asked for: the new one takes
                // its place at once.
                rebuildView();
                return;
            }
            refreshRequest = true;
            scheduleTick();
        },
        Qt::QueuedConnection);
}

void CAN_DataDisplaySupport::setMaxBuffSize(int records)
{
    records = qBound(MinBuffSize, records, MaxBuffSize);
    m_maxBuffSize.store(records, std::memory_order_relaxed);
    QMetaObject::invokeMethod(
        this,
        [this] {
            const int limit = maxBuffSize();
            if (displayBuff.size() > limit) {
                displayBuff.removeFirst(displayBuff.size() - limit);
                ++m_changeSerial;
                scheduleTick();
            }
        },
        Qt::QueuedConnection);
}

qint64 CAN_DataDisplaySupport::historyBytes(qint64 records)
{
    return records * qint64(sizeof(CanRecord));
}

void CAN_DataDisplaySupport::announceView()
{
    QMetaObject::invokeMethod(
        this, [this] { emit signal_DisplayBuff_Changed(); }, Qt::QueuedConnection);
}

void CAN_DataDisplaySupport::publishCounts()
{
    m_publishedCounts.set(Counts { m_recvCount, m_sendCount });
}

void CAN_DataDisplaySupport::onRefreshTick()
{
    if (m_changeSerial != m_lastSerial) {
        publishCounts();
        emit signal_DisplayCount_Changed();
        if (!pauseFlag) {
            rebuildView();
            refreshRequest = false;
            m_lastSerial = m_changeSerial;
            return;
        }
    }
    if (refreshRequest) {
        rebuildView();
        refreshRequest = false;
    }
    // While paused the counters keep following the frames that the table holds back.
    if (pauseFlag && m_changeSerial != m_lastSerial)
        scheduleTick();
}

void CAN_DataDisplaySupport::rebuildView()
{
    // The overview shows what the table shows: held by a pause, released with it.
    m_idOverview.publish();
    if (displayBuff.isEmpty())
        return;
    const ViewFilter filter { filterTime, filterChannel, filterID,   filterType,
                              filterDir,  filterLength,  filterData, timeStampeFormat };
    if (filter.isEmpty()) {
        dropRebuild();
        m_viewNumbersValid = false;
        m_viewNumbers = std::vector<qint64>();
        publishView(CanRecordView(displayBuff, m_maxViewSize));
        return;
    }
    if (m_viewNumbersValid && filter == m_viewFilter && m_viewScanned <= displayBuff.endNumber()) {
        // Back to the filter in force (or still on it): only the records since count.
        dropRebuild();
        showView(filter);
        return;
    }
    if (m_rebuild.active && filter == m_rebuild.filter)
        return;
    startRebuild(filter);
}

void CAN_DataDisplaySupport::showView(const ViewFilter &filter)
{
    extendNumbers(m_viewNumbers, m_viewScanned, displayBuff, filter, m_maxViewSize);
    m_viewFilter = filter;
    m_viewScanned = displayBuff.endNumber();
    m_viewNumbersValid = true;
    publishView(
        CanRecordView(displayBuff, std::make_shared<const std::vector<qint64>>(m_viewNumbers)));
}

void CAN_DataDisplaySupport::startRebuild(const ViewFilter &filter)
{
    // A rebuild that replaces one whose progress shows goes on showing it.
    const bool showing = m_rebuild.active && m_rebuild.shownPercent >= 0;
    m_rebuild.active = true;
    m_rebuild.filter = filter;
    m_rebuild.found.clear();
    m_rebuild.end = displayBuff.endNumber();
    m_rebuild.next = m_rebuild.end - 1;
    m_rebuild.total = displayBuff.size();
    if (!showing)
        m_rebuild.age.start();
    m_rebuild.shownPercent = -1;
    continueRebuild(++m_rebuild.generation);
}

void CAN_DataDisplaySupport::continueRebuild(quint64 generation)
{
    Rebuild &r = m_rebuild;
    if (!r.active || generation != r.generation)
        return;
    const RecordMatcher matches(r.filter);
    const std::size_t limit = std::size_t(qMax(0, m_maxViewSize));
    // Records trimmed meanwhile are gone from the history and from the search.
    const qint64 first = displayBuff.firstNumber();
    const qint64 stop = qMax(first, r.next - RebuildSlice + 1);
    qint64 n = r.next;
    for (; n >= stop && r.found.size() < limit; --n) {
        if (matches(displayBuff.atNumber(n)))
            r.found.push_back(n);
    }
    r.next = n;
    if (r.found.size() < limit && n >= first) {
        if (r.age.elapsed() >= m_rebuildProgressMs.load()) {
            const qint64 looked = r.end - 1 - r.next;
            const int percent = int(qBound<qint64>(0, looked * 100 / qMax<qint64>(1, r.total), 99));
            if (percent != r.shownPercent) {
                r.shownPercent = percent;
                emit signal_FilterProgress(percent);
            }
        }
        // Frames, clears and newer filter texts queued meanwhile go first.
        QMetaObject::invokeMethod(
            this, [this, generation] { continueRebuild(generation); }, Qt::QueuedConnection);
        return;
    }
    std::reverse(r.found.begin(), r.found.end());
    m_viewNumbers.swap(r.found);
    m_viewScanned = r.end;
    const bool shown = r.shownPercent >= 0;
    r.active = false;
    r.found = std::vector<qint64>();
    // Frames recorded while the rebuild ran join in as in any tick.
    showView(r.filter);
    if (shown)
        emit signal_FilterProgress(100);
}

void CAN_DataDisplaySupport::dropRebuild()
{
    if (!m_rebuild.active)
        return;
    const bool shown = m_rebuild.shownPercent >= 0;
    m_rebuild.active = false;
    m_rebuild.found = std::vector<qint64>();
    ++m_rebuild.generation;
    if (shown)
        emit signal_FilterProgress(100);
}

void CAN_DataDisplaySupport::publishView(CanRecordView view)
{
    // The table lets go of the list it shows when it takes the next one; it would then free the
    // blocks of records trimmed meanwhile, tens of thousands of texts each, on the GUI thread.
    // Holding each list here one tick longer leaves that to this thread.
    m_retiredView = m_viewBuff.get();
    m_viewBuff.set(std::move(view));
    emit signal_DisplayBuff_Changed();
}

void CAN_DataDisplaySupport::extendNumbers(std::vector<qint64> &numbers,
                                           qint64 scannedEnd,
                                           const CanRecordBuffer &buffer,
                                           const ViewFilter &filter,
                                           int limit)
{
    // Drop what the buffer dropped, add the new matches behind, keep the newest `limit`.
    const auto gone = std::lower_bound(numbers.begin(), numbers.end(), buffer.firstNumber());
    numbers.erase(numbers.begin(), gone);
    const RecordMatcher matches(filter);
    for (qint64 n = qMax(scannedEnd, buffer.firstNumber()); n < buffer.endNumber(); ++n) {
        if (matches(buffer.atNumber(n)))
            numbers.push_back(n);
    }
    const std::size_t keep = std::size_t(qMax(0, limit));
    if (numbers.size() > keep)
        numbers.erase(numbers.begin(), numbers.end() - std::ptrdiff_t(keep));
}

bool CAN_DataDisplaySupport::ViewFilter::isEmpty() const
{
    return time.isEmpty() && channel.isEmpty() && id.isEmpty() && type.isEmpty() && dir.isEmpty()
        && length.isEmpty() && data.isEmpty();
}

bool CAN_DataDisplaySupport::ViewFilter::operator==(const ViewFilter &other) const
{
    return time == other.time && channel == other.channel && id == other.id && type == other.type
        && dir == other.dir && length == other.length && data == other.data
        && timeStampeFormat == other.timeStampeFormat;
}

CAN_DataDisplaySupport::RecordMatcher::RecordMatcher(const ViewFilter &filter)
{
    const auto add = [this](const QString &text, CanFrameFormatter::Field field) {
        if (text.isEmpty())
            return;
        for (const QChar c : text) {
            if (c.unicode() >= 0x80)
                m_never = true;
        }
        m_tests[m_active++] = Test { text.toLatin1(), field };
    };
    using F = CanFrameFormatter;
    add(filter.time, filter.timeStampeFormat == 1 ? F::TimeStamp : F::SystemTime);
    add(filter.channel, F::Channel);
    add(filter.id, F::FrameId);
    add(filter.type, F::Type);
    add(filter.dir, F::Direction);
    add(filter.length, F::Length);
    add(filter.data, F::Data);
}

bool CAN_DataDisplaySupport::RecordMatcher::operator()(const CanRecord &record) const
{
    if (m_never)
        return false;
    // Plain scan: the fields are a few characters long, where a search table costs more than
    // it saves.
    char field[CanFrameFormatter::MaxFieldChars];
    for (int t = 0; t < m_active; ++t) {
        const Test &test = m_tests[t];
        const int length = CanFrameFormatter::writeField(field, record, test.field);
        const int n = test.text.size();
        const char *needle = test.text.constData();
        bool found = false;
        for (int i = 0; i <= length - n && !found; ++i)
            found = field[i] == needle[0]
                && std::memcmp(field + i + 1, needle + 1, std::size_t(n - 1)) == 0;
        if (!found)
            return false;
    }
    return true;
}

std::vector<qint64> CAN_DataDisplaySupport::filteredNumbers(const CanRecordBuffer &buffer,
                                                            const ViewFilter &filter,
                                                            int limit)
{
    std::vector<qint64> numbers;
    if (limit <= 0)
        return numbers;
    const RecordMatcher matches(filter);
    if (filter.isEmpty())
        numbers.reserve(std::size_t(qMin(limit, buffer.size())));
    qint64 n = buffer.endNumber();
    buffer.forEachNewestFirst([&](const CanRecord &record) {
        --n;
        if (matches(record))
            numbers.push_back(n);
        return numbers.size() < std::size_t(limit);
    });
    std::reverse(numbers.begin(), numbers.end());
    return numbers;
}

bool CAN_DataDisplaySupport::recordMatches(const ViewFilter &filter, const CanRecord &record)
{
    return RecordMatcher(filter)(record);
}

CanRecordList CAN_DataDisplaySupport::filteredView(const CanRecordBuffer &buffer,
                                                   const ViewFilter &filter,
                                                   int limit)
{
    const std::vector<qint64> numbers = filteredNumbers(buffer, filter, limit);
    CanRecordList view;
    view.reserve(int(numbers.size()));
    for (auto n = numbers.rbegin(); n != numbers.rend(); ++n)
        view.append(buffer.atNumber(*n));
    return view;
}

void CAN_DataDisplaySupport::handOverLogLines()
{
    // Frames already queued to this thread are recorded and their log lines handed to the writer,
    // which lives on the calling (GUI) thread, before it closes or flushes the log.
    if (!m_fileSave->isRealTimeSaving())
        return;
    if (displayThread->isRunning()) {
        QMetaObject::invokeMethod(
            this,
            [this] {
                drainInbox();
                flushLogBatch();
            },
            Qt::BlockingQueuedConnection);
    }
    QCoreApplication::sendPostedEvents(m_fileSave, QEvent::MetaCall);
}

void CAN_DataDisplaySupport::feedSignals()
{
    // One call per batch: the store takes its lock and the database snapshot once, not per frame.
    if (m_signalBatch.empty())
        return;
    if (SignalStore *store = m_signalStore.load())
        store->add(m_signalBatch.data(), int(m_signalBatch.size()));
    m_signalBatch.clear();
}

CanRecordBuffer CAN_DataDisplaySupport::historyCopy(const std::function<void()> &atCopy)
{
    CanRecordBuffer copy;
    QMetaObject::invokeMethod(
        this,
        [this, &copy, &atCopy] {
            drainInbox();
            copy = displayBuff;
            if (atCopy)
                atCopy();
        },
        Qt::BlockingQueuedConnection);
    return copy;
}

void CAN_DataDisplaySupport::drainBeforeQuit()
{
    // A normal close loses no line.
    handOverLogLines();
    m_fileSave->flushRealTime();
}
