#include "candb/dbcreader.h"

#include <QFile>
#include <QHash>
#include <QSet>
#include <QStringView>
#include <QTextCodec>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace {

constexpr qint64 MaxFileBytes = 256 * 1024 * 1024;
constexpr int MaxProblemText = 80;
constexpr int MaxProblemsKept = 1000;

bool isPunct(QChar c)
{
    switch (c.unicode()) {
    case ':':
    case ';':
    case ',':
    case '|':
    case '@':
    case '(':
    case ')':
    case '[':
    case ']':
    case '"':
        return true;
    default:
        return false;
    }
}

inline bool isBlank(QChar c)
{
    return c.unicode() == ' ' || c.unicode() == '\t' || c.unicode() == '\r' || c.unicode() == '\v'
        || c.unicode() == '\f' || c.unicode() == 0;
}

inline bool isSpace(QChar c)
{
    return isBlank(c) || c.unicode() == '\n';
}

// Numbers are ASCII; anything else in a word makes it not a number.
bool toAscii(QStringView word, char *buffer, int size)
{
    if (word.isEmpty() || word.size() >= size)
        return false;
    for (int i = 0; i < word.size(); ++i) {
        const ushort u = word.at(i).unicode();
        if (u > 127)
            return false;
        buffer[i] = char(u);
    }
    buffer[word.size()] = 0;
    return true;
}

bool toDouble(QStringView word, double *value)
{
    char buffer[64];
    if (!toAscii(word, buffer, sizeof buffer))
        return false;
    const char *begin = buffer;
    const char *end = buffer + word.size();
    if (*begin == '+')
        ++begin;
    const auto result = std::from_chars(begin, end, *value);
    return result.ec == std::errc() && result.ptr == end && std::isfinite(*value);
}

bool toUInt64(QStringView word, quint64 *value)
{
    char buffer[32];
    if (!toAscii(word, buffer, sizeof buffer))
        return false;
    const char *begin = buffer;
    const char *end = buffer + word.size();
    if (*begin == '+')
        ++begin;
    unsigned long long parsed = 0;
    const auto result = std::from_chars(begin, end, parsed);
    if (result.ec != std::errc() || result.ptr != end)
        return false;
    *value = parsed;
    return true;
}

bool toInt64(QStringView word, qint64 *value)
{
    if (!word.isEmpty() && word.at(0) == QLatin1Char('-')) {
        char buffer[32];
        if (!toAscii(word, buffer, sizeof buffer))
            return false;
        long long parsed = 0;
        const auto result = std::from_chars(buffer, buffer + word.size(), parsed);
        if (result.ec != std::errc() || result.ptr != buffer + word.size())
            return false;
        *value = parsed;
        return true;
    }
    quint64 parsed = 0;
    if (!toUInt64(word, &parsed))
        return false;
    // Values of unsigned 64-bit signals keep their bits.
    *value = qint64(parsed);
    return true;
}

// A value key as VAL_ writes it: an integer, sometimes written with a fraction of zero.
bool toValueKey(QStringView word, qint64 *value)
{
    if (toInt64(word, value))
        return true;
    double number = 0;
    if (!toDouble(word, &number) || number != std::floor(number) || std::fabs(number) > 9.2e18)
        return false;
    *value = qint64(number);
    return true;
}

// True when the line at `at` opens a section that carries values (not a name in NS_'s list).
bool startsStatement(const QChar *at, const QChar *end)
{
    static const char *const sections[]
        = { "BO_",         "SG_",         "CM_",        "BA_",          "BA_DEF_",
            "BA_DEF_DEF_", "VAL_",        "VAL_TABLE_", "SIG_VALTYPE_", "BO_TX_BU_",
            "SIG_GROUP_",  "SG_MUL_VAL_", "BU_",        "BS_",          "EV_" };
    while (at < end && isBlank(*at))
        ++at;
    const QChar *wordEnd = at;
    while (wordEnd < end && !isSpace(*wordEnd) && !isPunct(*wordEnd))
        ++wordEnd;
    if (wordEnd == at || wordEnd >= end
        || !(wordEnd->unicode() == ' ' || wordEnd->unicode() == '\t' || wordEnd->unicode() == ':'))
        return false;
    const QStringView word(at, wordEnd - at);
    for (const char *section : sections) {
        if (word == QLatin1String(section))
            return true;
    }
    return false;
}

// Reads the words, punctuation and quoted strings of one statement.
class Cursor
{
public:
    Cursor(const QChar *begin, const QChar *end)
        : m_at(begin)
        , m_end(end)
    {
    }

    void skipSpace()
    {
        while (m_at < m_end && isSpace(*m_at))
            ++m_at;
    }
    bool atEnd()
    {
        skipSpace();
        return m_at >= m_end;
    }
    // True (and consumed) when the next character is `c`.
    bool punct(char c)
    {
        skipSpace();
        if (m_at < m_end && m_at->unicode() == uchar(c)) {
            ++m_at;
            return true;
        }
        return false;
    }
    bool peekPunct(char c)
    {
        skipSpace();
        return m_at < m_end && m_at->unicode() == uchar(c);
    }
    QStringView word()
    {
        skipSpace();
        const QChar *begin = m_at;
        while (m_at < m_end && !isSpace(*m_at) && !isPunct(*m_at))
            ++m_at;
        return QStringView(begin, m_at - begin);
    }
    // A quoted string; \" and \\ stand for themselves.
    bool string(QString *text)
    {
        skipSpace();
        if (m_at >= m_end || m_at->unicode() != '"')
            return false;
        ++m_at;
        const QChar *begin = m_at;
        bool escaped = false;
        while (m_at < m_end && m_at->unicode() != '"') {
            if (m_at->unicode() == '\\' && m_at + 1 < m_end) {
                escaped = true;
                ++m_at;
            }
            ++m_at;
        }
        if (m_at >= m_end)
            return false;
        if (!escaped) {
            *text = QString(begin, int(m_at - begin));
        } else {
            text->clear();
            for (const QChar *c = begin; c < m_at; ++c) {
                if (c->unicode() == '\\' && c + 1 < m_at)
                    ++c;
                text->append(*c);
            }
        }
        ++m_at;
        return true;
    }
    bool number(double *value) { return toDouble(word(), value); }
    bool uint64(quint64 *value) { return toUInt64(word(), value); }
    bool integer(int *value)
    {
        qint64 parsed = 0;
        if (!toInt64(word(), &parsed) || parsed < std::numeric_limits<int>::min()
            || parsed > std::numeric_limits<int>::max())
            return false;
        *value = int(parsed);
        return true;
    }
    QChar take() { return m_at < m_end ? *m_at++ : QChar(); }

private:
    const QChar *m_at;
    const QChar *m_end;
};

using Reason = DbcProblem::Kind;

// The names up to the line's closing ';', separated by commas or spaces; nothing may follow.
bool nameList(Cursor &cursor, QStringList *names)
{
    while (!cursor.atEnd() && !cursor.peekPunct(';')) {
        if (cursor.punct(','))
            continue;
        const QStringView name = cursor.word();
        if (name.isEmpty())
            return false;
        names->append(name.toString());
    }
    cursor.punct(';');
    return cursor.atEnd();
}

struct AttributeDefinition
{
    QStringList enumValues;
};

struct PendingSignal
{
    int line = 0;
    bool fromMulVal = false; // SG_MUL_VAL_ already replaced the "mN" range
};

struct PendingMessage
{
    DbcMessage message;
    int line = 0;
    quint64 fileId = 0;
    QVector<PendingSignal> signalLines;
    // The first signal of each name, as DbcMessage::signalIndex() finds it; built on first use
    // for messages with many signals.
    QHash<QString, int> signalIndex;
    int indexed = 0;

    int find(QStringView name)
    {
        const QVector<DbcSignal> &list = message.signalList;
        if (list.size() <= 16) {
            for (int i = 0; i < list.size(); ++i) {
                if (list.at(i).name == name)
                    return i;
            }
            return -1;
        }
        if (indexed != list.size()) {
            signalIndex.clear();
            for (int i = list.size() - 1; i >= 0; --i)
                signalIndex.insert(list.at(i).name, i);
            indexed = list.size();
        }
        return signalIndex.value(name.toString(), -1);
    }
};

// The sections the reader takes; Unknown ones are skipped.
enum class Section {
    Unknown,
    Version,
    NameSpace,
    BitTiming,
    Nodes,
    Message,
    Signal,
    Comment,
    Values,
    ValueTable,
    AttributeDefinition,
    AttributeDefault,
    Attribute,
    ValueType,
    Transmitters,
    SignalGroup,
    MultiplexValues,
};

class Parser
{
    Q_DECLARE_TR_FUNCTIONS(DbcReader)

public:
    explicit Parser(const QString &text)
        : m_text(text)
    {
    }

    void run(DbcReadResult *result);

private:
    enum class Kind { Line, Statement };

    void addProblem(int line,
                    const QChar *begin,
                    const QChar *end,
                    Reason reason,
                    const QString &detail = QString());
    QString reasonText(Reason reason) const;
    const QChar *statementEnd(const QChar *at, Kind kind) const;

    bool parseMessage(Cursor &cursor, Reason *reason);
    bool parseSignal(Cursor &cursor, Reason *reason);
    bool parseComment(Cursor &cursor, Reason *reason);
    bool parseValues(Cursor &cursor, Reason *reason);
    bool parseValueTable(Cursor &cursor);
    bool parseAttributeDefinition(Cursor &cursor);
    bool parseAttributeDefault(Cursor &cursor);
    bool parseAttribute(Cursor &cursor, Reason *reason);
    bool parseValueType(Cursor &cursor, Reason *reason);
    bool parseTransmitters(Cursor &cursor, Reason *reason);
    bool parseSignalGroup(Cursor &cursor, Reason *reason);
    bool parseMultiplexValues(Cursor &cursor, Reason *reason);
    bool parseNodes(Cursor &cursor);
    bool parseNamedValues(Cursor &cursor, QMap<qint64, QString> *values);

    // The message a statement refers to by the identifier the file writes; nullptr with
    // `reason` set when there is none (quietly, without a reason, for one already reported).
    PendingMessage *messageFor(quint64 fileId, bool *known);
    // The message a line refers to; when there is none, *skip says the line goes quietly with a
    // message already reported and left out, else *reason says the file never defined it.
    PendingMessage *referredMessage(quint64 fileId, Reason *reason, bool *skip);
    DbcSignal *signalFor(PendingMessage *message, QStringView name, int *index = nullptr);

    void finish(DbcReadResult *result);

    const QString &m_text;
    QVector<DbcProblem> m_problems;
    int m_problemCount = 0;
    int m_line = 1;
    const QChar *m_lastQuote = nullptr;

    QVector<PendingMessage> m_messages;
    QHash<quint64, int> m_byFileId;
    QSet<quint64> m_refused; // identifiers of messages already reported and left out
    int m_current = -1; // the message SG_ lines belong to
    bool m_skippingSignals = false; // the last BO_ was refused: its SG_ lines go with it

    QHash<QString, AttributeDefinition> m_definitions;
    QHash<QString, QString> m_defaults; // BA_DEF_DEF_, as written
    QVector<QPair<int, QString>> m_frameFormats; // message index -> VFrameFormat value
    QSet<quint64> m_cycleTimeSet;
    bool m_sawDbcSection = false;
    int m_statementLine = 0;
    bool m_inNodes = false;

    QString m_comment;
    QStringList m_nodes;
    QHash<QString, QMap<qint64, QString>> m_valueTables;
    QHash<QString, QStringList> m_signalGroups;
};

QString Parser::reasonText(Reason reason) const
{
    switch (reason) {
    case DbcProblem::Unreadable:
        return tr("无法识别的内容");
    case DbcProblem::IdentifierTooLong:
        return tr("标识符超出 29 位");
    case DbcProblem::DuplicateIdentifier:
        return tr("标识符与前面的报文重复");
    case DbcProblem::SignalPast64Bits:
        return tr("信号超出 64 位");
    case DbcProblem::SignalLength:
        return tr("信号长度须为 1 到 64 位");
    case DbcProblem::SignalOutsideMessage:
        return tr("信号不属于任何报文");
    case DbcProblem::UnknownMessage:
        return tr("引用了未定义的报文");
    case DbcProblem::UnknownSignal:
        return tr("引用了未定义的信号");
    case DbcProblem::FloatLength:
        return tr("浮点信号的长度须为 32 或 64 位");
    case DbcProblem::NoMultiplexor:
        return tr("复用信号没有复用器");
    case DbcProblem::MultiplexorLoop:
        return tr("复用器互相选择，形成循环");
    case DbcProblem::UnclosedQuote:
        return tr("引号未闭合");
    }
    return QString();
}

void Parser::addProblem(
    int line, const QChar *begin, const QChar *end, Reason reason, const QString &detail)
{
    ++m_problemCount;
    if (m_problems.size() >= MaxProblemsKept)
        return;
    const QChar *lineEnd = begin;
    while (lineEnd < end && lineEnd->unicode() != '\n')
        ++lineEnd;
    QString text = QString(begin, int(lineEnd - begin)).trimmed();
    if (text.size() > MaxProblemText)
        text = text.left(MaxProblemText - 3) + QLatin1String("...");
    DbcProblem problem;
    problem.line = line;
    problem.text = text;
    problem.kind = reason;
    problem.reason = detail.isEmpty() ? reasonText(reason) : detail;
    m_problems.append(problem);
}

// Sections that end with ';' may run over several lines inside a quoted string (comments), or
// when the next line carries on with values; the others end with their line.
const QChar *Parser::statementEnd(const QChar *at, Kind kind) const
{
    const QChar *end = m_text.constData() + m_text.size();
    bool quoted = false;
    while (at < end) {
        const ushort c = at->unicode();
        if (quoted) {
            if (c == '\\' && at + 1 < end) {
                ++at;
            } else if (c == '"') {
                quoted = false;
            } else if (c == '\n' && startsStatement(at + 1, end)) {
                // A comment may run over lines, but a line that opens a section means the
                // quote was never closed: the statement ends before that line.
                return at;
            }
            ++at;
            continue;
        }
        if (c == '\n') {
            if (kind == Kind::Line)
                return at;
            const QChar *next = at + 1;
            while (next < end && isBlank(*next))
                ++next;
            if (next >= end)
                return at;
            const ushort n = next->unicode();
            if (!((n >= '0' && n <= '9') || n == '-' || n == '"' || n == ','))
                return at;
        } else if (c == '"' && kind == Kind::Statement) {
            // A quote with no other after it would swallow the rest of the file: it ends with
            // its line, and the statement is reported.
            if (!m_lastQuote || at >= m_lastQuote)
                return std::find(at, end, QLatin1Char('\n'));
            quoted = true;
        } else if (c == ';' && kind == Kind::Statement) {
            return at + 1;
        }
        ++at;
    }
    return end;
}

void Parser::run(DbcReadResult *result)
{
    const QChar *begin = m_text.constData();
    const QChar *end = begin + m_text.size();
    const int lastQuote = m_text.lastIndexOf(QLatin1Char('"'));
    m_lastQuote = lastQuote < 0 ? nullptr : begin + lastQuote;

    static const QHash<QString, Section> keywords = {
        { QStringLiteral("VERSION"), Section::Version },
        { QStringLiteral("NS_"), Section::NameSpace },
        { QStringLiteral("BS_"), Section::BitTiming },
        { QStringLiteral("BU_"), Section::Nodes },
        { QStringLiteral("BO_"), Section::Message },
        { QStringLiteral("SG_"), Section::Signal },
        { QStringLiteral("CM_"), Section::Comment },
        { QStringLiteral("VAL_"), Section::Values },
        { QStringLiteral("VAL_TABLE_"), Section::ValueTable },
        { QStringLiteral("BA_DEF_"), Section::AttributeDefinition },
        { QStringLiteral("BA_DEF_DEF_"), Section::AttributeDefault },
        { QStringLiteral("BA_"), Section::Attribute },
        { QStringLiteral("SIG_VALTYPE_"), Section::ValueType },
        { QStringLiteral("BO_TX_BU_"), Section::Transmitters },
        { QStringLiteral("SIG_GROUP_"), Section::SignalGroup },
        { QStringLiteral("SG_MUL_VAL_"), Section::MultiplexValues },
    };

    const QChar *at = begin;
    while (at < end) {
        while (at < end && isSpace(*at)) {
            if (at->unicode() == '\n')
                ++m_line;
            ++at;
        }
        if (at >= end)
            break;
        const QChar *start = at;
        const int line = m_line;

        const QChar *wordEnd = at;
        while (wordEnd < end && !isSpace(*wordEnd) && !isPunct(*wordEnd))
            ++wordEnd;
        const QStringView keyword(at, wordEnd - at);
        const Section kind = keywords.value(keyword.toString(), Section::Unknown);

        bool dbcKeyword = kind != Section::Unknown;
        if (!dbcKeyword && !keyword.isEmpty()) {
            // Sections this program does not use (EV_, BA_DEF_REL_, SGTYPE_, ...) are skipped.
            dbcKeyword = true;
            for (const QChar c : keyword) {
                const ushort u = c.unicode();
                if (!((u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '_'))
                    dbcKeyword = false;
            }
            dbcKeyword = dbcKeyword
                && (keyword.endsWith(QLatin1Char('_')) || keyword == QLatin1String("FILTER"));
        }
        const bool comment = keyword.startsWith(QLatin1String("//"));
        const bool lineKind = !dbcKeyword || comment || kind == Section::Version
            || kind == Section::NameSpace || kind == Section::BitTiming || kind == Section::Nodes
            || kind == Section::Message || kind == Section::Signal;
        const QChar *stop = statementEnd(wordEnd, lineKind ? Kind::Line : Kind::Statement);
        for (const QChar *c = start; c < stop; ++c) {
            if (c->unicode() == '\n')
                ++m_line;
        }
        at = stop;

        if (comment)
            continue;
        if (kind != Section::Signal) {
            m_current = -1;
            m_skippingSignals = false;
        }
        m_statementLine = line;
        if (!dbcKeyword) {
            // Some writers list the nodes of BU_ one per line below it.
            if (m_inNodes && !keyword.isEmpty() && Cursor(wordEnd, stop).atEnd()) {
                m_nodes.append(keyword.toString());
                continue;
            }
            m_inNodes = false;
            addProblem(line, start, stop, DbcProblem::Unreadable);
            continue;
        }
        m_inNodes = kind == Section::Nodes;
        // A keyword alone is a name in the NS_ list, or nothing at all.
        if (Cursor(wordEnd, stop).atEnd())
            continue;
        Cursor statement(wordEnd, stop);
        Reason reason = DbcProblem::Unreadable;
        bool ok = true;
        switch (kind) {
        case Section::Version:
        case Section::NameSpace:
        case Section::BitTiming:
            m_sawDbcSection = true;
            break;
        case Section::Nodes:
            m_sawDbcSection = true;
            ok = parseNodes(statement);
            break;
        case Section::Message:
            m_sawDbcSection = true;
            ok = parseMessage(statement, &reason);
            break;
        case Section::Signal:
            ok = parseSignal(statement, &reason);
            break;
        case Section::Comment:
            ok = parseComment(statement, &reason);
            break;
        case Section::Values:
            ok = parseValues(statement, &reason);
            break;
        case Section::ValueTable:
            ok = parseValueTable(statement);
            break;
        case Section::AttributeDefinition:
            ok = parseAttributeDefinition(statement);
            break;
        case Section::AttributeDefault:
            ok = parseAttributeDefault(statement);
            break;
        case Section::Attribute:
            ok = parseAttribute(statement, &reason);
            break;
        case Section::ValueType:
            ok = parseValueType(statement, &reason);
            break;
        case Section::Transmitters:
            ok = parseTransmitters(statement, &reason);
            break;
        case Section::SignalGroup:
            ok = parseSignalGroup(statement, &reason);
            break;
        case Section::MultiplexValues:
            ok = parseMultiplexValues(statement, &reason);
            break;
        case Section::Unknown:
            break; // a section skipped whole
        }
        if (!ok) {
            // A quote that never closes is the likelier fault than the words before it.
            if (reason == DbcProblem::Unreadable && int(kind) >= int(Section::Comment)
                && kind != Section::MultiplexValues) {
                bool quoted = false;
                for (const QChar *c = wordEnd; c < stop; ++c) {
                    if (c->unicode() == '"')
                        quoted = !quoted;
                }
                if (quoted)
                    reason = DbcProblem::UnclosedQuote;
            }
            addProblem(line, start, stop, reason);
        }
    }
    finish(result);
}

bool Parser::parseNodes(Cursor &cursor)
{
    if (!cursor.punct(':'))
        return false;
    QStringList nodes;
    while (!cursor.atEnd()) {
        const QStringView name = cursor.word();
        if (name.isEmpty())
            return false;
        nodes.append(name.toString());
    }
    m_nodes += nodes;
    return true;
}

bool Parser::parseMessage(Cursor &cursor, Reason *reason)
{
    m_skippingSignals = true;
    quint64 fileId = 0;
    if (!cursor.uint64(&fileId))
        return false;
    const QStringView name = cursor.word();
    if (name.isEmpty() || !cursor.punct(':'))
        return false;
    int dlc = 0;
    if (!cursor.integer(&dlc) || dlc < 0)
        return false;
    const QStringView transmitter = cursor.word();
    if (!cursor.atEnd())
        return false;

    const bool extended = (fileId & 0x80000000u) != 0;
    const quint64 id = fileId & ~quint64(0x80000000u);
    if (id > 0x1FFFFFFFu) {
        m_refused.insert(fileId);
        *reason = DbcProblem::IdentifierTooLong;
        return false;
    }
    PendingMessage pending;
    pending.line = m_statementLine;
    pending.fileId = fileId;
    pending.message.id = quint32(id);
    // A standard identifier cannot pass 11 bits; tools that write such a file mean extended.
    pending.message.extended = extended || id > 0x7FF;
    pending.message.name = name.toString();
    pending.message.dlc = dlc;
    if (!transmitter.isEmpty())
        pending.message.transmitter = transmitter.toString();
    m_current = m_messages.size();
    m_skippingSignals = false;
    if (!m_byFileId.contains(fileId))
        m_byFileId.insert(fileId, m_messages.size());
    m_messages.append(pending);
    return true;
}

bool Parser::parseSignal(Cursor &cursor, Reason *reason)
{
    if (m_current < 0) {
        if (m_skippingSignals)
            return true;
        *reason = DbcProblem::SignalOutsideMessage;
        return false;
    }
    DbcSignal signal;
    signal.name = cursor.word().toString();
    if (signal.name.isEmpty())
        return false;
    if (!cursor.peekPunct(':')) {
        const QStringView mux = cursor.word();
        if (mux == QLatin1String("M")) {
            signal.isMultiplexor = true;
        } else if (mux.size() >= 2 && mux.at(0) == QLatin1Char('m')) {
            QStringView digits = mux.mid(1);
            if (digits.endsWith(QLatin1Char('M'))) {
                signal.isMultiplexor = true;
                digits.chop(1);
            }
            quint64 value = 0;
            if (!toUInt64(digits, &value) || digits.startsWith(QLatin1Char('+')))
                return false;
            signal.isMultiplexed = true;
            signal.muxRanges.append({ value, value });
        } else {
            return false;
        }
    }
    if (!cursor.punct(':') || !cursor.integer(&signal.startBit) || !cursor.punct('|')
        || !cursor.integer(&signal.length) || !cursor.punct('@'))
        return false;
    const QStringView order = cursor.word();
    if (order.size() != 2 || (order.at(0) != QLatin1Char('0') && order.at(0) != QLatin1Char('1'))
        || (order.at(1) != QLatin1Char('+') && order.at(1) != QLatin1Char('-')))
        return false;
    signal.byteOrder = order.at(0) == QLatin1Char('1') ? DbcSignal::Intel : DbcSignal::Motorola;
    signal.isSigned = order.at(1) == QLatin1Char('-');
    if (!cursor.punct('(') || !cursor.number(&signal.factor) || !cursor.punct(',')
        || !cursor.number(&signal.offset) || !cursor.punct(')'))
        return false;
    if (!cursor.punct('[') || !cursor.number(&signal.minimum) || !cursor.punct('|')
        || !cursor.number(&signal.maximum) || !cursor.punct(']'))
        return false;
    if (cursor.peekPunct('"') && !cursor.string(&signal.unit))
        return false;
    while (!cursor.atEnd()) {
        if (cursor.punct(','))
            continue;
        const QStringView receiver = cursor.word();
        if (receiver.isEmpty())
            return false;
        signal.receivers.append(receiver.toString());
    }

    if (signal.length < 1 || signal.length > 64) {
        *reason = DbcProblem::SignalLength;
        return false;
    }
    bool fits = signal.startBit >= 0 && signal.startBit <= 63;
    if (fits && signal.byteOrder == DbcSignal::Intel)
        fits = signal.startBit + signal.length <= 64;
    if (fits && signal.byteOrder == DbcSignal::Motorola)
        fits = (7 - signal.startBit / 8) * 8 + signal.startBit % 8 - signal.length + 1 >= 0;
    if (!fits) {
        *reason = DbcProblem::SignalPast64Bits;
        return false;
    }
    PendingMessage &message = m_messages[m_current];
    message.message.signalList.append(signal);
    PendingSignal pending;
    pending.line = m_statementLine;
    message.signalLines.append(pending);
    return true;
}

PendingMessage *Parser::messageFor(quint64 fileId, bool *known)
{
    const auto it = m_byFileId.constFind(fileId);
    if (it != m_byFileId.cend()) {
        *known = true;
        return &m_messages[it.value()];
    }
    // One already reported (an identifier past 29 bits) takes what refers to it along quietly.
    *known = m_refused.contains(fileId);
    return nullptr;
}

PendingMessage *Parser::referredMessage(quint64 fileId, Reason *reason, bool *skip)
{
    PendingMessage *message = messageFor(fileId, skip);
    if (!message && !*skip)
        *reason = DbcProblem::UnknownMessage;
    return message;
}

DbcSignal *Parser::signalFor(PendingMessage *message, QStringView name, int *index)
{
    // Files with thousands of signals in one message and a comment for each stay linear.
    const int found = message->find(name);
    if (found < 0)
        return nullptr;
    if (index)
        *index = found;
    return &message->message.signalList[found];
}

bool Parser::parseComment(Cursor &cursor, Reason *reason)
{
    QString text;
    if (cursor.peekPunct('"')) {
        if (!cursor.string(&text))
            return false;
        m_comment = text;
        return cursor.punct(';') || cursor.atEnd();
    }
    const QStringView target = cursor.word();
    QString *into = nullptr;
    bool quiet = false;
    if (target == QLatin1String("BO_") || target == QLatin1String("SG_")) {
        quint64 fileId = 0;
        if (!cursor.uint64(&fileId))
            return false;
        bool known = false;
        PendingMessage *message = messageFor(fileId, &known);
        if (target == QLatin1String("BO_")) {
            if (message)
                into = &message->message.comment;
        } else {
            const QStringView name = cursor.word();
            if (name.isEmpty())
                return false;
            if (message) {
                DbcSignal *signal = signalFor(message, name);
                if (signal) {
                    into = &signal->comment;
                } else {
                    *reason = DbcProblem::UnknownSignal;
                }
            }
        }
        if (!message) {
            if (!known)
                *reason = DbcProblem::UnknownMessage;
            quiet = known;
        }
    } else if (target == QLatin1String("BU_") || target == QLatin1String("EV_")) {
        if (cursor.word().isEmpty())
            return false;
        quiet = true;
    } else {
        return false;
    }
    if (!cursor.string(&text))
        return false;
    if (!cursor.punct(';') && !cursor.atEnd())
        return false;
    if (into)
        *into = text;
    return into || quiet;
}

bool Parser::parseNamedValues(Cursor &cursor, QMap<qint64, QString> *values)
{
    while (!cursor.atEnd() && !cursor.peekPunct(';')) {
        qint64 key = 0;
        QString name;
        if (!toValueKey(cursor.word(), &key) || !cursor.string(&name))
            return false;
        values->insert(key, name);
    }
    cursor.punct(';');
    return cursor.atEnd();
}

bool Parser::parseValues(Cursor &cursor, Reason *reason)
{
    const QStringView first = cursor.word();
    quint64 fileId = 0;
    if (!toUInt64(first, &fileId)) {
        // Values of an environment variable.
        QMap<qint64, QString> ignored;
        return !first.isEmpty() && parseNamedValues(cursor, &ignored);
    }
    const QStringView name = cursor.word();
    if (name.isEmpty())
        return false;
    QMap<qint64, QString> values;
    if (!parseNamedValues(cursor, &values))
        return false;
    bool skip = false;
    PendingMessage *message = referredMessage(fileId, reason, &skip);
    if (!message)
        return skip;
    DbcSignal *signal = signalFor(message, name);
    if (!signal) {
        *reason = DbcProblem::UnknownSignal;
        return false;
    }
    signal->valueNames = values;
    return true;
}

bool Parser::parseValueTable(Cursor &cursor)
{
    const QStringView name = cursor.word();
    QMap<qint64, QString> values;
    if (name.isEmpty() || !parseNamedValues(cursor, &values))
        return false;
    m_valueTables.insert(name.toString(), values);
    return true;
}

bool Parser::parseAttributeDefinition(Cursor &cursor)
{
    if (!cursor.peekPunct('"')) {
        const QStringView object = cursor.word();
        if (object != QLatin1String("BU_") && object != QLatin1String("BO_")
            && object != QLatin1String("SG_") && object != QLatin1String("EV_"))
            return false;
    }
    QString name;
    if (!cursor.string(&name))
        return false;
    const QStringView type = cursor.word();
    AttributeDefinition definition;
    if (type == QLatin1String("ENUM")) {
        while (!cursor.atEnd() && !cursor.peekPunct(';')) {
            QString value;
            if (!cursor.string(&value))
                return false;
            definition.enumValues.append(value);
            cursor.punct(',');
        }
    } else if (type == QLatin1String("INT") || type == QLatin1String("HEX")
               || type == QLatin1String("FLOAT")) {
        double low = 0;
        double high = 0;
        if (!cursor.number(&low) || !cursor.number(&high))
            return false;
    } else if (type != QLatin1String("STRING")) {
        return false;
    }
    if (!cursor.punct(';') && !cursor.atEnd())
        return false;
    m_definitions.insert(name, definition);
    return true;
}

bool Parser::parseAttributeDefault(Cursor &cursor)
{
    QString name;
    if (!cursor.string(&name))
        return false;
    QString value;
    if (cursor.peekPunct('"')) {
        if (!cursor.string(&value))
            return false;
    } else {
        value = cursor.word().toString();
        if (value.isEmpty())
            return false;
    }
    if (!cursor.punct(';') && !cursor.atEnd())
        return false;
    m_defaults.insert(name, value);
    return true;
}

bool Parser::parseAttribute(Cursor &cursor, Reason *reason)
{
    QString name;
    if (!cursor.string(&name))
        return false;
    PendingMessage *message = nullptr;
    DbcSignal *signal = nullptr;
    bool known = true;
    bool forMessage = false;
    if (!cursor.peekPunct('"')) {
        const QStringView object = cursor.word();
        if (object == QLatin1String("BO_") || object == QLatin1String("SG_")) {
            quint64 fileId = 0;
            if (!cursor.uint64(&fileId))
                return false;
            message = messageFor(fileId, &known);
            if (object == QLatin1String("SG_")) {
                const QStringView signalName = cursor.word();
                if (signalName.isEmpty())
                    return false;
                if (message) {
                    signal = signalFor(message, signalName);
                    if (!signal) {
                        *reason = DbcProblem::UnknownSignal;
                        return false;
                    }
                }
            } else {
                forMessage = true;
            }
        } else if (object == QLatin1String("BU_") || object == QLatin1String("EV_")) {
            if (cursor.word().isEmpty())
                return false;
        } else {
            // An attribute of the whole database, with a number for its value.
            double ignored = 0;
            return toDouble(object, &ignored) && (cursor.punct(';') || cursor.atEnd())
                && cursor.atEnd();
        }
    }
    QString text;
    double number = 0;
    bool isNumber = false;
    if (cursor.peekPunct('"')) {
        if (!cursor.string(&text))
            return false;
    } else {
        const QStringView word = cursor.word();
        if (!toDouble(word, &number))
            return false;
        isNumber = true;
        text = word.toString();
    }
    if (!cursor.punct(';') && !cursor.atEnd())
        return false;
    if ((forMessage || signal || !known) && !message) {
        if (!known)
            *reason = DbcProblem::UnknownMessage;
        return known;
    }

    if (forMessage && name == QLatin1String("GenMsgCycleTime") && isNumber) {
        message->message.cycleTimeMs = int(qBound(0.0, number, 1e9));
        m_cycleTimeSet.insert(message->fileId);
    } else if (forMessage && name == QLatin1String("VFrameFormat")) {
        QString value = text;
        if (isNumber) {
            const QStringList values = m_definitions.value(name).enumValues;
            const bool inRange = number >= 0 && number < values.size() && number == int(number);
            value = inRange ? values.at(int(number)) : QString();
        }
        m_frameFormats.append({ int(message - m_messages.data()), value });
    } else if (signal && name == QLatin1String("GenSigStartValue") && isNumber) {
        signal->hasStartValue = true;
        signal->startValue = number;
    }
    return true;
}

bool Parser::parseValueType(Cursor &cursor, Reason *reason)
{
    quint64 fileId = 0;
    if (!cursor.uint64(&fileId))
        return false;
    const QStringView name = cursor.word();
    if (name.isEmpty())
        return false;
    cursor.punct(':');
    int type = 0;
    if (!cursor.integer(&type) || type < 0 || type > 2)
        return false;
    if (!cursor.punct(';') && !cursor.atEnd())
        return false;
    bool skip = false;
    PendingMessage *message = referredMessage(fileId, reason, &skip);
    if (!message)
        return skip;
    DbcSignal *signal = signalFor(message, name);
    if (!signal) {
        *reason = DbcProblem::UnknownSignal;
        return false;
    }
    const DbcSignal::ValueType valueType = type == 1 ? DbcSignal::Float32
        : type == 2                                  ? DbcSignal::Float64
                                                     : DbcSignal::Integer;
    if ((valueType == DbcSignal::Float32 && signal->length != 32)
        || (valueType == DbcSignal::Float64 && signal->length != 64)) {
        *reason = DbcProblem::FloatLength;
        return false;
    }
    signal->valueType = valueType;
    return true;
}

bool Parser::parseTransmitters(Cursor &cursor, Reason *reason)
{
    quint64 fileId = 0;
    if (!cursor.uint64(&fileId) || !cursor.punct(':'))
        return false;
    QStringList names;
    if (!nameList(cursor, &names))
        return false;
    bool skip = false;
    PendingMessage *message = referredMessage(fileId, reason, &skip);
    if (!message)
        return skip;
    message->message.transmitters += names;
    return true;
}

bool Parser::parseSignalGroup(Cursor &cursor, Reason *reason)
{
    quint64 fileId = 0;
    if (!cursor.uint64(&fileId))
        return false;
    const QStringView group = cursor.word();
    int repetitions = 0;
    if (group.isEmpty() || !cursor.integer(&repetitions) || !cursor.punct(':'))
        return false;
    QStringList names;
    if (!nameList(cursor, &names))
        return false;
    bool skip = false;
    PendingMessage *message = referredMessage(fileId, reason, &skip);
    if (!message)
        return skip;
    m_signalGroups.insert(message->message.name + QLatin1Char('/') + group.toString(), names);
    return true;
}

bool Parser::parseMultiplexValues(Cursor &cursor, Reason *reason)
{
    quint64 fileId = 0;
    if (!cursor.uint64(&fileId))
        return false;
    const QStringView name = cursor.word();
    const QStringView switchName = cursor.word();
    if (name.isEmpty() || switchName.isEmpty())
        return false;
    QVector<DbcSignal::MuxRange> ranges;
    while (!cursor.atEnd() && !cursor.peekPunct(';')) {
        if (cursor.punct(','))
            continue;
        // "3-7"; the '-' is part of the word.
        const QStringView range = cursor.word();
        const int dash = range.indexOf(QLatin1Char('-'));
        DbcSignal::MuxRange parsed;
        if (dash <= 0 || !toUInt64(range.left(dash), &parsed.low)
            || !toUInt64(range.mid(dash + 1), &parsed.high) || parsed.low > parsed.high)
            return false;
        ranges.append(parsed);
    }
    cursor.punct(';');
    if (!cursor.atEnd() || ranges.isEmpty())
        return false;
    bool skip = false;
    PendingMessage *message = referredMessage(fileId, reason, &skip);
    if (!message)
        return skip;
    int index = -1;
    DbcSignal *signal = signalFor(message, name, &index);
    if (!signal || !signalFor(message, switchName)) {
        *reason = DbcProblem::UnknownSignal;
        return false;
    }
    PendingSignal &pending = message->signalLines[index];
    if (!pending.fromMulVal) {
        signal->muxRanges.clear();
        pending.fromMulVal = true;
    }
    signal->isMultiplexed = true;
    signal->multiplexorName = switchName.toString();
    signal->muxRanges += ranges;
    return true;
}

void Parser::finish(DbcReadResult *result)
{
    const QChar *begin = m_text.constData();
    const QChar *end = begin + m_text.size();
    // Lines of problems found after the whole file was read point back at their lines.
    QVector<const QChar *> lineStarts;
    auto lineText = [&](int line) -> const QChar * {
        if (lineStarts.isEmpty()) {
            lineStarts.append(begin);
            for (const QChar *c = begin; c < end; ++c) {
                if (c->unicode() == '\n')
                    lineStarts.append(c + 1);
            }
        }
        return lineStarts.value(line - 1, end);
    };

    for (const auto &format : qAsConst(m_frameFormats)) {
        if (format.second.contains(QLatin1String("Extended"))
            || format.second.contains(QLatin1String("J1939")))
            m_messages[format.first].message.extended = true;
    }
    const QString cycleDefault = m_defaults.value(QStringLiteral("GenMsgCycleTime"));
    double defaultCycle = 0;
    const bool hasCycleDefault = toDouble(cycleDefault, &defaultCycle);
    double defaultStart = 0;
    const bool hasStartDefault
        = toDouble(m_defaults.value(QStringLiteral("GenSigStartValue")), &defaultStart);

    CanDatabase &database = result->database;
    for (PendingMessage &pending : m_messages) {
        DbcMessage &message = pending.message;
        if (hasCycleDefault && !m_cycleTimeSet.contains(pending.fileId))
            message.cycleTimeMs = int(qBound(0.0, defaultCycle, 1e9));
        // Simple multiplexing: "mN" signals are selected by the message's top multiplexor.
        int topSwitch = -1;
        for (int i = 0; i < message.signalList.size(); ++i) {
            const DbcSignal &signal = message.signalList.at(i);
            if (signal.isMultiplexor && !signal.isMultiplexed) {
                topSwitch = i;
                break;
            }
        }
        for (int i = 0; i < message.signalList.size(); ++i) {
            DbcSignal &signal = message.signalList[i];
            if (hasStartDefault && !signal.hasStartValue) {
                signal.hasStartValue = true;
                signal.startValue = defaultStart;
            }
            if (!signal.isMultiplexed || !signal.multiplexorName.isEmpty())
                continue;
            if (topSwitch < 0 || topSwitch == i) {
                const int line = pending.signalLines.at(i).line;
                addProblem(line, lineText(line), end, DbcProblem::NoMultiplexor);
                continue;
            }
            signal.multiplexorName = message.signalList.at(topSwitch).name;
        }
        // A chain of multiplexors that comes back on itself selects nothing. Each signal is
        // walked once: 1 marks the chain being followed, 2 one already cleared.
        const int count = message.signalList.size();
        QVector<int> up(count, -1);
        for (int i = 0; i < count; ++i) {
            const DbcSignal &signal = message.signalList.at(i);
            if (signal.isMultiplexed && !signal.multiplexorName.isEmpty())
                up[i] = pending.find(signal.multiplexorName);
        }
        QVector<char> state(count, 0);
        QVector<int> path;
        for (int i = 0; i < count; ++i) {
            path.clear();
            int at = i;
            while (at >= 0 && state.at(at) == 0) {
                state[at] = 1;
                path.append(at);
                at = up.at(at);
            }
            if (at >= 0 && state.at(at) == 1) {
                const int line = pending.signalLines.at(at).line;
                addProblem(line, lineText(line), end, DbcProblem::MultiplexorLoop);
                message.signalList[at].multiplexorName.clear();
            }
            for (int visited : qAsConst(path))
                state[visited] = 2;
        }
        if (!database.addMessage(message))
            addProblem(pending.line, lineText(pending.line), end, DbcProblem::DuplicateIdentifier);
    }
    database.comment = m_comment;
    database.nodes = m_nodes;
    database.valueTables = m_valueTables;
    database.signalGroups = m_signalGroups;
    result->problems = m_problems;
    result->problemCount = m_problemCount;
    result->ok = m_sawDbcSection;
}

} // namespace

QString DbcReadResult::problemSummary(int shown) const
{
    const int count = qMax(problemCount, problems.size());
    if (count == 0)
        return QString();
    QString text = DbcReader::tr("%1 行无法读取，已跳过：").arg(count);
    for (int i = 0; i < problems.size() && i < shown; ++i) {
        const DbcProblem &problem = problems.at(i);
        text += QLatin1Char('\n')
            + DbcReader::tr("第 %1 行：%2（%3）")
                  .arg(problem.line)
                  .arg(problem.reason, problem.text);
    }
    if (count > shown)
        text += QLatin1Char('\n') + DbcReader::tr("……");
    return text;
}

DbcReadResult DbcReader::readFile(const QString &path)
{
    DbcReadResult result;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.error = tr("无法打开文件 %1：%2").arg(path, file.errorString());
        return result;
    }
    if (file.size() > MaxFileBytes) {
        result.error = tr("文件过大，不是 CAN 数据库：%1").arg(path);
        return result;
    }
    // A device rather than a file (a pipe, /dev/zero) is read in pieces up to the limit.
    QByteArray data;
    if (!file.isSequential()) {
        data = file.readAll();
    } else {
        while (data.size() <= MaxFileBytes) {
            const QByteArray piece = file.read(1 << 20);
            if (piece.isEmpty())
                break;
            data += piece;
        }
    }
    if (data.size() > MaxFileBytes) {
        result.error = tr("文件过大，不是 CAN 数据库：%1").arg(path);
        return result;
    }
    return readData(data, path);
}

DbcReadResult DbcReader::readData(const QByteArray &data, const QString &fileName)
{
    DbcReadResult result;
    result.database.fileName = fileName;
    // Real files are UTF-8 or Windows-1252; text that is not valid UTF-8 is the latter.
    QTextCodec *utf8 = QTextCodec::codecForName("UTF-8");
    QTextCodec::ConverterState state;
    QString text = utf8->toUnicode(data.constData(), data.size(), &state);
    if (state.invalidChars > 0 || state.remainingChars > 0) {
        QTextCodec *latin = QTextCodec::codecForName("Windows-1252");
        text = latin ? latin->toUnicode(data) : QString::fromLatin1(data);
    }
    Parser parser(text);
    parser.run(&result);
    if (!result.ok) {
        result.error = tr("不是 DBC 格式的 CAN 数据库：%1").arg(fileName);
        result.database = CanDatabase();
        result.database.fileName = fileName;
        result.problems.clear();
        result.problemCount = 0;
    }
    return result;
}
