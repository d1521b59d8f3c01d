#include "candatadisplaysupport.h"

#include "protocol/contextprotocol.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDebug>
#include <QMetaType>
#include <QThread>
#include <QTime>
#include <QTimer>

#include <algorithm>

CAN_DataDisplaySupport *CAN_DataDisplaySupport::instance()
{
    static CAN_DataDisplaySupport *display = [] {
        auto *created = new CAN_DataDisplaySupport;
        // The single object is never destroyed; its real-time log is closed when the application
        // object goes away.
        qAddPostRoutine([] { instance()->m_fileSave->realTimeSaveCommand(QString(), false); });
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
    displayThread = new QThread;
    displayThread->setObjectName(QStringLiteral("display"));
    moveToThread(displayThread);

    m_fileSave = new FileSaveSupport(&historyBuff);

    connect(refreshTimer, &QTimer::timeout, this, &CAN_DataDisplaySupport::onRefreshTick);
    connect(contextProtocol::instance(), &contextProtocol::signal_REP_CANFrame, this,
            &CAN_DataDisplaySupport::onFrame);
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
        this, [this] { refreshTimer->stop(); }, Qt::BlockingQueuedConnection);
    displayThread->quit();
    displayThread->wait();
    delete displayThread;
    delete m_fileSave;
}

void CAN_DataDisplaySupport::onFrame(uchar channel,
                                     const QByteArray &CanFrame,
                                     uint TimeStamp,
                                     uint dir)
{
    if (displayBuff.size() >= m_maxBuffSize)
        displayBuff.removeFirst(TrimCount);

    m_formatter.format(m_current, channel, CanFrame, TimeStamp, dir, m_clock.msecsOfDay());
    m_current.frame = LogFrame::fromDevice(channel, CanFrame, TimeStamp, dir,
                                           m_clock.lastMsecsSinceEpoch() * 1000);
    if (!m_realTimeConnection)
        m_unsaved = true;
    if (dir != 0)
        ++m_sendCount;
    else
        ++m_recvCount;

    displayBuff.append(m_current);
    ++m_changeSerial;
    emit signal_realTime_FrameSave(m_current);
}

void CAN_DataDisplaySupport::startRefresh()
{
    refreshTimer->start(RefreshIntervalMs);
}

void CAN_DataDisplaySupport::clearHistory()
{
    m_unsaved = false;
    displayBuff.clear();
    m_viewBuff.set(CanRecordList());
    m_recvCount = 0;
    m_sendCount = 0;
    ++m_changeSerial;
    publishCounts();
    emit signal_DisplayBuff_Changed();
}

void CAN_DataDisplaySupport::startLoad()
{
    clearHistory();
}

void CAN_DataDisplaySupport::appendLoaded(const CanRecordList &records)
{
    displayBuff.appendBlock(records);
    for (const CanRecord &record : records) {
        if (record.frame.dir != 0)
            ++m_sendCount;
        else
            ++m_recvCount;
    }
    if (displayBuff.size() > m_maxBuffSize)
        displayBuff.removeFirst(displayBuff.size() - m_maxBuffSize);
    ++m_changeSerial;
}

bool CAN_DataDisplaySupport::hasUnsavedFrames()
{
    bool unsaved = false;
    QMetaObject::invokeMethod(
        this, [this, &unsaved] { unsaved = m_unsaved; }, Qt::BlockingQueuedConnection);
    return unsaved;
}

void CAN_DataDisplaySupport::setPause(bool pause)
{
    pauseFlag = pause;
}

void CAN_DataDisplaySupport::copyForGlobalSave()
{
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
    if (on) {
        // A second start must not write every line twice.
        if (!m_realTimeConnection) {
            m_realTimeConnection = connect(this, &CAN_DataDisplaySupport::signal_realTime_FrameSave,
                                           m_fileSave, &FileSaveSupport::writeFrame);
        }
    } else if (m_realTimeConnection) {
        disconnect(m_realTimeConnection);
        m_realTimeConnection = {};
    }
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
            refreshRequest = true;
        },
        Qt::QueuedConnection);
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
}

void CAN_DataDisplaySupport::rebuildView()
{
    if (displayBuff.isEmpty())
        return;
    const ViewFilter filter { filterTime, filterChannel, filterID,   filterType,
                              filterDir,  filterLength,  filterData, timeStampeFormat };
    m_viewBuff.set(filteredView(displayBuff, filter, m_maxViewSize));
    emit signal_DisplayBuff_Changed();
}

CanRecordList CAN_DataDisplaySupport::filteredView(const CanRecordBuffer &buffer,
                                                   const ViewFilter &filter,
                                                   int limit)
{
    // Plain scan: the fields are a few characters long, where a search table costs more than
    // it saves.
    const auto contains = [](const QString &field, const QString &text) {
        const int n = text.size();
        const int last = field.size() - n;
        const QChar *hay = field.constData();
        const QChar *needle = text.constData();
        const QChar first = needle[0];
        for (int i = 0; i <= last; ++i) {
            if (hay[i] == first && std::equal(needle + 1, needle + n, hay + i + 1))
                return true;
        }
        return false;
    };
    struct Test
    {
        const QString *text;
        QString CanRecord::*field;
    };
    Test tests[7];
    int active = 0;
    const auto add = [&](const QString &text, QString CanRecord::*field) {
        if (!text.isEmpty())
            tests[active++] = Test { &text, field };
    };
    add(filter.time, filter.timeStampeFormat == 1 ? &CanRecord::timeStamp : &CanRecord::systemTime);
    add(filter.channel, &CanRecord::channel);
    add(filter.id, &CanRecord::frameID);
    add(filter.type, &CanRecord::canType);
    add(filter.dir, &CanRecord::direction);
    add(filter.length, &CanRecord::dataLength);
    add(filter.data, &CanRecord::data);

    CanRecordList view;
    if (limit <= 0)
        return view;
    if (active == 0)
        view.reserve(qMin(limit, buffer.size()));
    buffer.forEachNewestFirst([&](const CanRecord &record) {
        for (int i = 0; i < active; ++i) {
            if (!contains(record.*(tests[i].field), *tests[i].text))
                return true;
        }
        view.append(record);
        return view.size() < limit;
    });
    return view;
}

void CAN_DataDisplaySupport::drainBeforeQuit()
{
    // Frames already queued to this thread are recorded and their log lines queued to the writer
    // before the writer flushes, so a normal close loses no line.
    if (m_fileSave->isRealTimeSaving()) {
        if (displayThread->isRunning()) {
            QMetaObject::invokeMethod(
                this, [] {}, Qt::BlockingQueuedConnection);
        }
        QCoreApplication::sendPostedEvents(m_fileSave, QEvent::MetaCall);
    }
    m_fileSave->flushRealTime();
}
