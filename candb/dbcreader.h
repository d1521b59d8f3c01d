#pragma once

// Reads DBC files. Real files are often partly broken or written by tools with their own habits:
// a line that cannot be read is reported with its number and text and the rest still loads; only
// a file that is not a DBC at all is refused. UTF-8 and Windows-1252 text are both accepted.

#include "candb/candatabase.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QString>
#include <QVector>

struct DbcProblem
{
    enum Kind {
        Unreadable,
        IdentifierTooLong, // past 29 bits
        DuplicateIdentifier,
        SignalPast64Bits,
        SignalLength, // not 1..64
        SignalOutsideMessage,
        UnknownMessage, // a section names a message no BO_ defines
        UnknownSignal,
        FloatLength, // SIG_VALTYPE_ on a signal that is not 32 or 64 bits long
        NoMultiplexor,
        MultiplexorLoop,
        UnclosedQuote,
    };

    Kind kind = Unreadable;
    int line = 0; // 1-based
    QString text; // the line as read, trimmed and cut to a readable length
    QString reason; // translated
};

struct DbcReadResult
{
    bool ok = false; // false: the file was refused (not found, unreadable, not a DBC)
    QString error; // why it was refused, translated
    CanDatabase database;
    QVector<DbcProblem> problems; // the first thousand
    int problemCount = 0; // all of them, also those past the ones kept

    // One message for the user: the count of problems and the first few, with line numbers;
    // empty when there were none.
    QString problemSummary(int shown = 5) const;
};

class DbcReader
{
    Q_DECLARE_TR_FUNCTIONS(DbcReader)

public:
    static DbcReadResult readFile(const QString &path);
    static DbcReadResult readData(const QByteArray &data, const QString &fileName = QString());
};
