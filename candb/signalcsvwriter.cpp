#include "signalcsvwriter.h"

#include <QHash>
#include <QIODevice>

#include <charconv>
#include <limits>

namespace {
void appendNumber(QByteArray &out, double value)
{
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, int(result.ptr - buffer));
}

void appendTime(QByteArray &out, double seconds)
{
    out.append(QByteArray::number(seconds, 'f', 4));
}

// Quoted only when the field needs it, as spreadsheets expect.
void appendField(QByteArray &out, const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    if (!utf8.contains(',') && !utf8.contains('"') && !utf8.contains('\n')
        && !utf8.contains('\r')) {
        out.append(utf8);
        return;
    }
    out.append('"');
    for (char c : utf8) {
        if (c == '"')
            out.append('"');
        out.append(c);
    }
    out.append('"');
}
} // namespace

QStringList SignalCsvWriter::titles(const QVector<Column> &columns)
{
    QStringList names;
    QHash<QString, int> uses;
    for (const Column &column : columns) {
        names << column.messageName + QLatin1Char('.') + column.key.signal;
        ++uses[names.constLast()];
    }
    for (int i = 0; i < names.size(); ++i) {
        if (uses.value(names.at(i)) > 1)
            names[i] += QStringLiteral(".ch%1").arg(columns.at(i).key.channel);
    }
    return names;
}

bool SignalCsvWriter::write(QIODevice *out, Form form, const QVector<Column> &columns)
{
    QByteArray text;
    if (form == Wide) {
        text.append("time");
        for (const QString &title : titles(columns)) {
            text.append(',');
            appendField(text, title);
        }
    } else {
        text.append("time,channel,message,signal,value,unit");
    }
    text.append('\n');

    // Merges the columns by time; on equal times the columns keep their order, and a column
    // takes one value per row.
    QVector<int> next(columns.size(), 0);
    QVector<int> inRow;
    while (true) {
        double time = std::numeric_limits<double>::infinity();
        for (int c = 0; c < columns.size(); ++c) {
            if (next.at(c) < columns.at(c).samples.size())
                time = qMin(time, columns.at(c).samples.at(next.at(c)).time);
        }
        if (time == std::numeric_limits<double>::infinity())
            break;
        inRow.clear();
        for (int c = 0; c < columns.size(); ++c) {
            if (next.at(c) < columns.at(c).samples.size()
                && columns.at(c).samples.at(next.at(c)).time == time)
                inRow.append(c);
        }
        if (form == Wide) {
            appendTime(text, time);
            int taken = 0;
            for (int c = 0; c < columns.size(); ++c) {
                text.append(',');
                if (taken < inRow.size() && inRow.at(taken) == c) {
                    appendNumber(text, columns.at(c).samples.at(next[c]++).value);
                    ++taken;
                }
            }
            text.append('\n');
        } else {
            for (int c : qAsConst(inRow)) {
                const Column &column = columns.at(c);
                appendTime(text, time);
                text.append(',');
                text.append(QByteArray::number(column.key.channel));
                text.append(',');
                appendField(text, column.messageName);
                text.append(',');
                appendField(text, column.key.signal);
                text.append(',');
                appendNumber(text, column.samples.at(next[c]++).value);
                text.append(',');
                appendField(text, column.unit);
                text.append('\n');
            }
        }
        if (text.size() > (1 << 20)) {
            if (out->write(text) != text.size())
                return false;
            text.clear();
        }
    }
    return out->write(text) == text.size();
}
