#include "idoverviewmodel.h"

#include "display/canframeformatter.h"
#include "display/framesignaltext.h"
#include "display/signalhub.h"

#include <QColor>
#include <QDateTime>
#include <QTimer>

namespace {
constexpr int LookIntervalMs = 1000 / IdOverviewModel::FadeSteps;
constexpr quint64 DimmedLook = quint64(1) << 32;
constexpr std::size_t MaxChangedRuns = 16;

QString milliseconds(qint64 us)
{
    // The device counts in 0.1 ms.
    return QString::number(double(us) / 1000.0, 'f', 1);
}
} // namespace

IdOverviewModel::IdOverviewModel(IdOverview *source, QObject *parent)
    : QAbstractTableModel(parent)
    , m_source(source)
    , m_hostClock([] { return QDateTime::currentMSecsSinceEpoch() * 1000; })
{
    m_lookTimer = new QTimer(this);
    m_lookTimer->setInterval(LookIntervalMs);
    connect(m_lookTimer, &QTimer::timeout, this, &IdOverviewModel::updateLooks);
    DatabaseSet *databases = SignalHub::instance()->databases();
    m_databases = databases->snapshot();
    connect(databases, &DatabaseSet::changed, this,
            [this, databases] { setDatabases(databases->snapshot()); });
}

QString IdOverviewModel::messageName(const LogFrame &frame) const
{
    // Looked up without decoding: sorting by this column asks for it at every comparison.
    if (!m_databases || m_databases->isEmpty())
        return QString();
    const DatabaseSet::Match match = m_databases->find(frame.channel, frame.id, frame.isExtended());
    return match ? match.message->name : QString();
}

void IdOverviewModel::setDatabases(QSharedPointer<const DatabaseSet::Snapshot> databases)
{
    m_databases = std::move(databases);
    if (!m_rows.empty())
        emit dataChanged(index(0, MessageColumn), index(rowCount() - 1, SignalsColumn));
}

int IdOverviewModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int IdOverviewModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant IdOverviewModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= ColumnCount)
        return QVariant();
    const IdOverviewRow &r = m_rows[std::size_t(index.row())];
    const LogFrame f = r.last.frame();
    const int column = index.column();
    const bool hasCycle = r.cycles > 0;

    switch (role) {
    case Qt::DisplayRole:
        switch (column) {
        case ChannelColumn:
            return QString::number(r.last.channel);
        case IdColumn:
            return CanFrameFormatter::frameIdText(r.last.id);
        case TypeColumn:
            return f.isExtended() ? QStringLiteral("EXT") : QStringLiteral("STD");
        case DirColumn:
            return CanFrameFormatter::fieldText(r.last, CanFrameFormatter::Direction);
        case CountColumn:
            return QString::number(r.count);
        case RemoteColumn:
            return QString::number(r.remoteCount);
        case CycleColumn:
            return hasCycle ? milliseconds(r.lastCycleUs) : QString();
        case MeanColumn:
            return hasCycle ? milliseconds(r.meanCycleUs()) : QString();
        case MinColumn:
            return hasCycle ? milliseconds(r.minCycleUs) : QString();
        case MaxColumn:
            return hasCycle ? milliseconds(r.maxCycleUs) : QString();
        case LengthColumn:
            return QString::number(r.last.dlc());
        case MessageColumn:
            return messageName(f);
        case SignalsColumn:
            if (!m_databases)
                return QString();
            return FrameSignalText::signalsText(FrameSignalText::describe(*m_databases, f));
        default:
            return CanFrameFormatter::fieldText(r.last, CanFrameFormatter::Data);
        }
    case Qt::ToolTipRole: {
        // Over any cell: the signals column is often scrolled out of sight.
        if (!m_databases)
            return QVariant();
        const QString tip = FrameSignalText::toolTip(FrameSignalText::describe(*m_databases, f));
        return tip.isEmpty() ? QVariant() : tip;
    }
    case SortRole:
        if (column == DataColumn)
            return CanFrameFormatter::fieldText(r.last, CanFrameFormatter::Data);
        if (column == MessageColumn)
            return messageName(f);
        return sortKey(r, column);
    case Qt::TextAlignmentRole:
        if (column >= CountColumn && column <= MaxColumn)
            return int(Qt::AlignRight | Qt::AlignVCenter);
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    case Qt::ForegroundRole:
        // The look the row was last given, so that a cell shows what its last repaint promised.
        if (m_looks[std::size_t(index.row())] & DimmedLook)
            return QColor(0xA0, 0xA0, 0xA0);
        return QVariant();
    case ChangeLevelsRole: {
        if (column != DataColumn)
            return QVariant();
        const quint64 look = m_looks[std::size_t(index.row())];
        QByteArray levels(8, '\0');
        for (int i = 0; i < 8; ++i)
            levels[i] = char((look >> (4 * i)) & 0xF);
        return levels;
    }
    default:
        return QVariant();
    }
}

qint64 IdOverviewModel::sortKey(const IdOverviewRow &row, int column)
{
    const LogFrame f = row.last.frame();
    const qint64 cycle = row.cycles > 0 ? 0 : -1;
    switch (column) {
    case ChannelColumn:
        return (qint64(f.channel) << 33) | (qint64(f.id) << 1) | qint64(f.isExtended());
    case IdColumn:
        return (qint64(f.id) << 9) | (qint64(f.isExtended()) << 8) | f.channel;
    case TypeColumn:
        return f.isExtended();
    case DirColumn:
        return f.dir;
    case CountColumn:
        return qint64(row.count);
    case RemoteColumn:
        return qint64(row.remoteCount);
    case CycleColumn:
        return cycle < 0 ? cycle : row.lastCycleUs;
    case MeanColumn:
        return cycle < 0 ? cycle : row.meanCycleUs();
    case MinColumn:
        return cycle < 0 ? cycle : row.minCycleUs;
    case MaxColumn:
        return cycle < 0 ? cycle : row.maxCycleUs;
    case LengthColumn:
        return f.dlc();
    default:
        return 0;
    }
}

QVariant IdOverviewModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (role == Qt::DisplayRole) {
        switch (section) {
        case ChannelColumn:
            return tr("通道");
        case IdColumn:
            return tr("帧ID");
        case TypeColumn:
            return tr("类型");
        case DirColumn:
            return tr("方向");
        case CountColumn:
            return tr("计数");
        case RemoteColumn:
            return tr("远程帧");
        case CycleColumn:
            return tr("周期(ms)");
        case MeanColumn:
            return tr("平均(ms)");
        case MinColumn:
            return tr("最小(ms)");
        case MaxColumn:
            return tr("最大(ms)");
        case LengthColumn:
            return tr("长度");
        case MessageColumn:
            return tr("报文");
        case SignalsColumn:
            return tr("信号（最新值）");
        default:
            return tr("数据");
        }
    }
    if (role == Qt::TextAlignmentRole) {
        // Titles stand over their values: numbers to the right, texts to the left.
        const bool number = section >= CountColumn && section <= MaxColumn;
        return int((number ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
    }
    if (role == Qt::ToolTipRole) {
        switch (section) {
        case CountColumn:
            return tr("数据帧数");
        case RemoteColumn:
            return tr("远程帧数");
        case CycleColumn:
            return tr("最近两帧数据帧的间隔，按设备时间戳");
        default:
            break;
        }
    }
    return QVariant();
}

void IdOverviewModel::refresh()
{
    // The display thread keeps one copy per changed row until taken, so skipping costs nothing.
    if (m_shown)
        apply(m_source->take());
}

void IdOverviewModel::setShown(bool shown)
{
    if (shown == m_shown)
        return;
    m_shown = shown;
    if (!shown) {
        m_lookTimer->stop();
        return;
    }
    refresh();
    updateLooks();
}

void IdOverviewModel::apply(const IdOverviewUpdate &update)
{
    if (update.reset) {
        beginResetModel();
        m_rows.clear();
        m_looks.clear();
        endResetModel();
    }
    if (update.newestUs != IdOverviewRow::Never) {
        m_newestUs = update.newestUs;
        m_newestHostUs = update.newestHostUs;
        m_live = update.live;
    }
    const qint64 now = nowUs();
    std::vector<int> changed;
    changed.reserve(std::size_t(update.rows.size()));
    int fresh = 0;
    for (const IdOverviewRow &row : update.rows) {
        if (row.index < rowCount()) {
            m_rows[std::size_t(row.index)] = row;
            m_looks[std::size_t(row.index)] = lookOf(row, now);
            changed.push_back(row.index);
        } else {
            ++fresh;
        }
    }
    emitChanged(changed, 0, ColumnCount - 1, {});
    if (fresh > 0) {
        // Indexes are dense and handed over rising: the new rows are the last ones.
        const int first = rowCount();
        beginInsertRows(QModelIndex(), first, first + fresh - 1);
        for (auto row = update.rows.cend() - fresh; row != update.rows.cend(); ++row) {
            m_rows.push_back(*row);
            m_looks.push_back(lookOf(*row, now));
        }
        endInsertRows();
    }
    if (update.unlistedFrames != m_unlistedFrames) {
        m_unlistedFrames = update.unlistedFrames;
        emit unlistedFramesChanged(m_unlistedFrames);
    }
    const bool running = m_shown && m_live && !m_paused && !m_rows.empty();
    if (running && !m_lookTimer->isActive())
        m_lookTimer->start();
    else if (!running)
        m_lookTimer->stop();
}

void IdOverviewModel::setPaused(bool paused)
{
    if (paused == m_paused)
        return;
    if (paused)
        m_pausedHostUs = m_hostClock();
    m_paused = paused;
    if (paused)
        m_lookTimer->stop();
    else if (m_shown && m_live && !m_rows.empty())
        m_lookTimer->start();
}

void IdOverviewModel::setHostClock(std::function<qint64()> clock)
{
    m_hostClock = std::move(clock);
}

qint64 IdOverviewModel::nowUs() const
{
    if (!m_live || m_newestUs == IdOverviewRow::Never)
        return m_newestUs;
    const qint64 hostUs = m_paused ? m_pausedHostUs : m_hostClock();
    return m_newestUs + qMax<qint64>(0, hostUs - m_newestHostUs);
}

bool IdOverviewModel::isDimmed(const IdOverviewRow &row, qint64 nowUs) const
{
    const qint64 quiet = qMax(QuietCycles * row.meanCycleUs(), MinQuietUs);
    return nowUs - row.lastSeenUs > quiet;
}

quint64 IdOverviewModel::lookOf(const IdOverviewRow &row, qint64 nowUs) const
{
    if (nowUs == IdOverviewRow::Never)
        return 0;
    quint64 look = isDimmed(row, nowUs) ? DimmedLook : 0;
    for (int i = 0; i < 8; ++i) {
        if (row.changedUs[i] == IdOverviewRow::Never)
            continue;
        const qint64 age = nowUs - row.changedUs[i];
        if (age >= 0 && age < FadeUs) {
            const quint64 level = quint64(FadeSteps - age * FadeSteps / FadeUs);
            look |= level << (4 * i);
        }
    }
    return look;
}

void IdOverviewModel::updateLooks()
{
    const qint64 now = nowUs();
    std::vector<int> faded;
    std::vector<int> dimmed;
    for (int i = 0; i < rowCount(); ++i) {
        const quint64 look = lookOf(m_rows[std::size_t(i)], now);
        const quint64 before = m_looks[std::size_t(i)];
        if (look == before)
            continue;
        m_looks[std::size_t(i)] = look;
        if ((look ^ before) & DimmedLook)
            dimmed.push_back(i);
        else
            faded.push_back(i);
    }
    emitChanged(dimmed, 0, ColumnCount - 1, { Qt::ForegroundRole, ChangeLevelsRole });
    emitChanged(faded, DataColumn, DataColumn, { ChangeLevelsRole });
}

void IdOverviewModel::emitChanged(const std::vector<int> &rows,
                                  int firstColumn,
                                  int lastColumn,
                                  const QVector<int> &roles)
{
    if (rows.empty())
        return;
    // One signal per run of neighbouring rows, so that only what changed is repainted; past a
    // few runs one signal over them all, since a sorting proxy re-sorts once per signal.
    std::size_t runs = 1;
    for (std::size_t k = 1; k < rows.size(); ++k)
        runs += rows[k] != rows[k - 1] + 1;
    if (runs > MaxChangedRuns) {
        emit dataChanged(index(rows.front(), firstColumn), index(rows.back(), lastColumn), roles);
        return;
    }
    std::size_t i = 0;
    while (i < rows.size()) {
        std::size_t j = i + 1;
        while (j < rows.size() && rows[j] == rows[j - 1] + 1)
            ++j;
        emit dataChanged(index(rows[i], firstColumn), index(rows[j - 1], lastColumn), roles);
        i = j;
    }
}
