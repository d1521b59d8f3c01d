#include "trans_cansendsupport.h"

#include "link/transmitworker.h"
#include "protocol/canframe.h"
#include "protocol/contextprotocol.h"

#include <QDebug>
#include <QThread>
#include <QTimer>

quint32 Trans_canSendSupport::nextRank = Trans_canSendSupport::FirstRank;

Trans_canSendSupport::Trans_canSendSupport(SendParams *params, SendFrameSpec *frameDesc)
    : QObject(nullptr)
    , sendParams(params)
    , frameSpec(frameDesc)
{
    Rank = nextRank++;

    intervalTimer = new QTimer;
    intervalTimer->setSingleShot(true);
    responseTimer = new QTimer;
    responseTimer->setSingleShot(true);
    worker = new TransmitWorker;
    worker->start(this, QStringLiteral("transmit worker %1").arg(Rank, 0, 16),
                  QThread::InheritPriority, { intervalTimer, responseTimer });
    connect(intervalTimer, &QTimer::timeout, this, &Trans_canSendSupport::sendOneFrame);
    connect(responseTimer, &QTimer::timeout, this, &Trans_canSendSupport::On_ResponseTimeout);
}

Trans_canSendSupport::~Trans_canSendSupport() = default;

void Trans_canSendSupport::release()
{
    worker->finish(this, [this] {
        intervalTimer = nullptr;
        responseTimer = nullptr;
        running = false;
    });
    delete worker;
    delete this;
}

QByteArray Trans_canSendSupport::frameData(quint64 data, int dlc)
{
    dlc = qBound(0, dlc, CanFrame::DataSize);
    QByteArray bytes(CanFrame::DataSize, '\0');
    for (int i = 0; i < dlc; ++i) {
        const int shift = 8 * (dlc - 1 - i);
        bytes[i] = char((data >> shift) & 0xFF);
    }
    return bytes;
}

quint32 Trans_canSendSupport::nextIdentifier(quint32 id, unsigned frameType)
{
    const quint32 limit = frameType == CanFrame::FrameTypeExtended ? CanFrame::MaxExtendedId
                                                                   : CanFrame::MaxStandardId;
    const quint32 next = id + 1;
    return next > limit || next == 0 ? 0 : next;
}

void Trans_canSendSupport::On_SendCommand_Hander(bool start)
{
    qDebug() << "Trans_canSendSupport>>Thread-ID:" << QThread::currentThreadId();
    // The request says what the user asked for: a stop that crosses the end of a run must not
    // start the next one, and a repeated start must not cut a run short.
    if (!start) {
        if (!running)
            return;
        running = false;
        remaining = 0;
        intervalTimer->stop();
        responseTimer->stop();
        emit signal_Trans_End(TransEnd_Stopped);
        return;
    }
    if (running)
        return;

    channel = sendParams->channel;
    dataIncrement = sendParams->dataIncrement;
    idIncrement = sendParams->idIncrement;
    sendInterval = sendParams->sendInterval;
    sendTimes = sendParams->sendTimes;
    remaining = sendTimes;

    frameType = frameSpec->frameType;
    frameFormat = frameSpec->frameFormat;
    dataLength = frameSpec->dataLength;
    currentId = frameSpec->canId;
    currentData = frameSpec->data;

    running = true;
    sendOneFrame();
}

void Trans_canSendSupport::sendOneFrame()
{
    intervalTimer->stop();
    if (!running)
        return;
    lastFrame = contextProtocol::buildCanFrame(int(frameFormat), int(frameType), dataLength,
                                               currentId, frameData(currentData, dataLength));
    frameOutstanding = true;
    emit Signal_payLoad_Send(contextProtocol::buildCanSend(uchar(channel), lastFrame, Rank));
    responseTimer->start(responseTimeout);
}

void Trans_canSendSupport::On_RSP_CANSend_Hander(uchar channel,
                                                 uchar state,
                                                 uint Rank,
                                                 uint TimeStamp)
{
    if (channel != uchar(this->channel) || Rank != this->Rank || !frameOutstanding)
        return;
    frameOutstanding = false;

    if (!running) {
        if (state != 0)
            emit signal_RSP_CANSendDisplay(channel, lastFrame, qulonglong(TimeStamp), 1);
        return;
    }

    responseTimer->stop();
    if (state == 0) {
        endRun(TransEnd_SendFailed);
        return;
    }
    emit signal_RSP_CANSendDisplay(channel, lastFrame, qulonglong(TimeStamp), 1);

    if (remaining-- <= 1) {
        endRun(TransEnd_Finished);
        return;
    }
    if (idIncrement)
        currentId = nextIdentifier(currentId, frameType);
    if (dataIncrement)
        ++currentData;

    if (sendInterval != 0)
        intervalTimer->start(sendInterval);
    else
        sendOneFrame();
}

void Trans_canSendSupport::On_ResponseTimeout()
{
    if (!running)
        return;
    // The frame stays outstanding: a result that comes after all still shows it as sent.
    remaining = 0;
    responseTimer->stop();
    qDebug() << QStringLiteral("设备未响应") << Rank;
    endRun(TransEnd_NoResponse);
}

void Trans_canSendSupport::onPortClosed()
{
    // The frame in flight was written into a port that is gone; no answer will come for it.
    frameOutstanding = false;
    if (running)
        endRun(TransEnd_DeviceGone);
}

void Trans_canSendSupport::endRun(TransEnd_Sta status)
{
    running = false;
    intervalTimer->stop();
    responseTimer->stop();
    emit signal_Trans_End(status);
}
