#include "filesavesupport.h"

#include "display/canrecordbuffer.h"
#include "display/lockedhandoff.h"
#include "recording/filesave_widget.h"
#include "recording/logcodec.h"
#include "recording/logtarget.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDateTime>
#include <QDebug>
#include <QFile>
#include <QGuiApplication>
#include <QSaveFile>
#include <QScreen>
#include <QTextStream>

#include <cerrno>
#include <csignal>

namespace {
constexpr int FlushIntervalMs = 1000;
constexpr int GlobalSaveChunkBytes = 1 << 20;
} // namespace

FileSaveSupport::FileSaveSupport(LockedHandoff<CanRecordBuffer> *historyBuff, QObject *parent)
    : QObject(parent)
    , m_historyBuff(historyBuff)
    , m_realTimeFormat(LogFormat::Native)
    , m_globalFormat(LogFormat::Native)
{
#ifdef Q_OS_UNIX
    // A log that reaches the process's file size limit must fail like a full disk, not end the
    // program and take the unsaved history with it.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    m_progressWindow = new FileSave_Widget;
    m_progressWindow->hide();
    connect(this, &FileSaveSupport::signal_processSet, m_progressWindow,
            &FileSave_Widget::setProgressValue);

    m_flushTimer.setInterval(FlushIntervalMs);
    connect(&m_flushTimer, &QTimer::timeout, this, &FileSaveSupport::flushRealTime);
}

FileSaveSupport::~FileSaveSupport()
{
    closeRealTime();
    delete m_progressWindow;
}

void FileSaveSupport::setRealTimeFormat(LogFormat format)
{
    m_realTimeFormat = format;
}

void FileSaveSupport::setGlobalSaveFormat(LogFormat format)
{
    m_globalFormat = format;
}

void FileSaveSupport::writeFrame(CAN_StructureDescription &frameStr)
{
    if (!m_realTimeStream)
        return;
    m_realTimeCodec->appendFrame(m_line, frameStr);
    writeRealTime();
}

void FileSaveSupport::writeRecords(const QVector<CanRecord> &records)
{
    if (!m_realTimeStream || records.isEmpty())
        return;
    // A batch goes to the stream as one text, not line by line: the fewer calls into the stream,
    // the less the GUI thread spends on a batch.
    for (const CanRecord &record : records)
        m_realTimeCodec->appendRecord(m_line, record);
    writeRealTime();
}

// Hands what m_line gathered to the stream and empties it for the next lines.
void FileSaveSupport::writeRealTime()
{
    *m_realTimeStream << QLatin1String(m_line);
    m_line.clear();
    if (m_realTimeStream->status() != QTextStream::Ok)
        failRealTime();
}

void FileSaveSupport::setGlobalSavePath(QString path)
{
    m_globalPath = path;
}

void FileSaveSupport::realTimeSaveCommand(QString path, bool realTime_Save_Flag)
{
    qDebug() << (realTime_Save_Flag ? "true" : "false");
    closeRealTime();
    if (!realTime_Save_Flag)
        return;

    m_realTimePath = path;
    m_realTimeFile = new QFile(path);
    QString error;
    // Files are opened without text mode: every line already ends in CR LF, and text mode would
    // turn that into CR CR LF on Windows.
    if (!LogTarget::open(*m_realTimeFile, path, &error)) {
        delete m_realTimeFile;
        m_realTimeFile = nullptr;
        emit signal_realTimeSaveFailed(path, error);
        return;
    }
    m_realTimeStream = new QTextStream(m_realTimeFile);
    m_realTimeCodec = LogCodec::create(m_realTimeFormat);
    *m_realTimeStream << QLatin1String(
        m_realTimeCodec->header(QDateTime::currentMSecsSinceEpoch() * 1000, -1));
    m_flushTimer.start();
}

void FileSaveSupport::flushRealTime()
{
    if (!m_realTimeStream)
        return;
    m_realTimeStream->flush();
    if (m_realTimeStream->status() != QTextStream::Ok)
        failRealTime();
}

void FileSaveSupport::failRealTime()
{
    const QString reason = LogTarget::writeFailure(*m_realTimeFile, errno);
    const QString path = m_realTimePath;
    // What the stream still holds cannot be written either; close without another attempt.
    m_flushTimer.stop();
    m_realTimeCodec.reset();
    delete m_realTimeStream;
    m_realTimeStream = nullptr;
    delete m_realTimeFile;
    m_realTimeFile = nullptr;
    qDebug() << "real-time log failed:" << path << reason;
    emit signal_realTimeSaveFailed(path, reason);
}

void FileSaveSupport::closeRealTime()
{
    if (m_realTimeStream) {
        *m_realTimeStream << QLatin1String(m_realTimeCodec->footer());
        m_realTimeStream->flush();
        // The last lines are still reported when they fail at the stop.
        if (m_realTimeStream->status() != QTextStream::Ok) {
            failRealTime();
            return;
        }
    }
    m_flushTimer.stop();
    m_realTimeCodec.reset();
    delete m_realTimeStream;
    m_realTimeStream = nullptr;
    if (m_realTimeFile)
        m_realTimeFile->close();
    delete m_realTimeFile;
    m_realTimeFile = nullptr;
}

void FileSaveSupport::globalSave()
{
    // The event loop runs during a save; a copy finished meanwhile is saved right afterwards.
    if (m_globalSaving) {
        m_globalSavePending = true;
        return;
    }
    m_globalSaving = true;
    do {
        m_globalSavePending = false;
        writeGlobalSave();
    } while (m_globalSavePending);
    m_globalSaving = false;
}

void FileSaveSupport::writeGlobalSave()
{
    m_progressWindow->retranslate();
    // Centred over the window the user works in, not wherever the window system puts it.
    QRect over;
    if (QWidget *active = QApplication::activeWindow())
        over = active->frameGeometry();
    else if (QScreen *screen = QGuiApplication::primaryScreen())
        over = screen->availableGeometry();
    if (over.isValid()) {
        QRect area = m_progressWindow->frameGeometry();
        area.moveCenter(over.center());
        m_progressWindow->move(area.topLeft());
    }
    const QString refused = LogTarget::refusal(m_globalPath);
    if (!refused.isEmpty()) {
        emit signal_globalSaveFailed(m_globalPath, refused);
        return;
    }
    m_progressWindow->showNormal();
    QCoreApplication::processEvents();

    // Written under a temporary name and put in place only when whole: a save that fails leaves
    // no cut file whose header claims every frame.
    QSaveFile file(m_globalPath);
    const auto fail = [&] {
        const QString reason = LogTarget::writeFailure(file, errno);
        file.cancelWriting();
        m_progressWindow->hide();
        emit signal_globalSaveFailed(m_globalPath, reason);
    };
    if (!file.open(QIODevice::WriteOnly)) {
        fail();
        return;
    }

    const CanRecordBuffer records = m_historyBuff->get();
    const int total = records.size();
    const int step = qMax(total, 100) / 100;
    emit signal_processSet(0);

    const std::unique_ptr<LogCodec> codec = LogCodec::create(m_globalFormat);
    QByteArray out;
    out.reserve(GlobalSaveChunkBytes + 256);
    // The file's clock starts at its first frame.
    out += codec->header(
        total > 0 ? records.at(0).hostTimeUs : QDateTime::currentMSecsSinceEpoch() * 1000, total);

    int count = 0;
    int shown = 0;
    bool written = true;
    records.forEach([&](const CanRecord &record) {
        if (!written)
            return;
        ++count;
        const int percent = count / step;
        if (percent > shown) {
            shown = percent;
            emit signal_processSet(percent);
            QCoreApplication::processEvents();
        }
        codec->appendRecord(out, record);
        if (out.size() >= GlobalSaveChunkBytes) {
            written = LogTarget::writeAll(file, out);
            out.resize(0);
        }
    });
    out += codec->footer();
    if (!written || !LogTarget::writeAll(file, out) || !file.commit()) {
        fail();
        return;
    }

    emit signal_processSet(100);
    m_progressWindow->hide();
    m_historyBuff->clearIfSharedWith(records);
}
