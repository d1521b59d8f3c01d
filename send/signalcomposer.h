#pragma once

// A frame built from a CAN database message: the data bytes and the signal values kept in step
// both ways. A value is entered as a physical number or one of the signal's names; one that does
// not fit the signal is refused with the reason, never clamped.

#include "candb/dbcmessage.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QString>

class SignalComposer
{
    Q_DECLARE_TR_FUNCTIONS(SignalComposer)

public:
    // The bytes start with each signal's start value where the database gives one, else zero.
    explicit SignalComposer(const DbcMessage &message = DbcMessage());

    const DbcMessage &message() const { return m_message; }
    int dlc() const { return m_dlc; }
    // The frame's dlc bytes.
    QByteArray bytes() const;
    // Takes up to 8 bytes; missing ones are zero.
    void setBytes(const QByteArray &bytes);

    // A name of the signal's values, or a physical number ("12.5", "-3", "1e3"). Setting a
    // multiplexed signal also sets its multiplexor to a value that selects it.
    bool setValue(int signal, const QString &text, QString *error = nullptr);

    // Whether the frame as it stands carries the signal (its multiplexor selects it).
    bool carries(int signal) const;
    // The value as shown (name or number), empty when not carried.
    QString valueText(int signal) const;
    // The signal's bits, right-aligned; meaningful when carried.
    quint64 rawBits(int signal) const;

private:
    bool put(int signal, quint64 bits, QString *error);

    DbcMessage m_message;
    int m_dlc = 8;
    quint8 m_data[8] = {};
};
