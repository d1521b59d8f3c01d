#pragma once

// What a frame means in the databases in use: its message's name and each signal's value, as
// the trace's tooltip and detail line and the overview show them. Signals the frame's length
// cuts off are listed as missing; those its multiplexor does not select are left out.

#include "candb/databaseset.h"
#include "candb/signalstore.h"
#include "recording/logframe.h"

#include <QCoreApplication>
#include <QString>
#include <QVector>

struct FrameSignalLine
{
    SignalKey key;
    QString value; // named value or number, empty when missing
    QString unit; // empty for named values
    bool missing = false;
};

struct FrameSignals
{
    QString messageName; // empty when no database describes the frame, or it is remote
    QVector<FrameSignalLine> lines;
    bool isEmpty() const { return messageName.isEmpty(); }
};

class FrameSignalText
{
    Q_DECLARE_TR_FUNCTIONS(FrameSignalText)

public:
    static FrameSignals describe(const DbcMessage &message, const LogFrame &frame);
    static FrameSignals describe(const DatabaseSet::Snapshot &databases, const LogFrame &frame);
    // The same with the databases the program uses now.
    static FrameSignals describe(const LogFrame &frame);

    // "name = value unit", or the name marked missing.
    static QString lineText(const FrameSignalLine &line);
    // The message name over one line per signal; empty for a frame no database describes.
    static QString toolTip(const FrameSignals &frame);
    // Every signal on one line.
    static QString signalsText(const FrameSignals &frame);
    // One line: the message name, then every signal; empty as above.
    static QString summary(const FrameSignals &frame);
    // The summary with every present signal a link "plot:<index into lines>".
    static QString linkedSummary(const FrameSignals &frame);
};
