#include "signalwatchmodel.h"

namespace {
QString number(double value)
{
    return QString::number(value, 'g', 10);
}
} // namespace

SignalWatchModel::SignalWatchModel(SignalStore *store, QObject *parent)
    : QAbstractTableModel(parent)
    , m_store(store)
{
    connect(m_store, &SignalStore::cleared, this, [this] { m_cleared = true; });
}

int SignalWatchModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows.size();
}

int SignalWatchModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant SignalWatchModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const SignalState &s = m_rows.at(index.row());
    if (role == FilterRole && index.column() == Signal)
        return QString(s.messageName + QLatin1Char('.') + s.key.signal);
    if (role == Qt::TextAlignmentRole && index.column() >= Channel)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    if (role == Qt::ToolTipRole && index.column() == Message)
        return QStringLiteral("0x%1%2")
            .arg(s.key.id, 0, 16)
            .arg(s.key.extended ? QStringLiteral("x") : QString())
            .toUpper();
    if (role != Qt::DisplayRole)
        return {};
    switch (index.column()) {
    case Signal:
        return s.key.signal;
    case Message:
        return s.messageName;
    case Channel:
        return s.key.channel;
    case Value:
        // A named value stands alone; a number carries its unit.
        return s.named || s.unit.isEmpty() ? s.text : s.text + QLatin1Char(' ') + s.unit;
    case Raw:
        return number(s.raw);
    case Minimum:
        return number(s.minimum);
    case Maximum:
        return number(s.maximum);
    case Count:
        return s.count;
    case Time:
        return QString::number(s.lastTime, 'f', 4);
    default:
        return {};
    }
}

QVariant SignalWatchModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case Signal:
        return tr("信号");
    case Message:
        return tr("报文");
    case Channel:
        return tr("通道");
    case Value:
        return tr("值");
    case Raw:
        return tr("原始值");
    case Minimum:
        return tr("最小值");
    case Maximum:
        return tr("最大值");
    case Count:
        return tr("次数");
    case Time:
        return tr("时间(s)");
    default:
        return {};
    }
}

void SignalWatchModel::refresh()
{
    const quint64 serial = m_store->serial();
    if (m_seen && serial == m_serial && !m_cleared)
        return;
    m_seen = true;
    m_serial = serial;
    QVector<SignalState> states = m_store->states();
    // The store only appends signals until it is emptied; anything else starts the rows afresh.
    const bool sameRows = !m_cleared && states.size() >= m_rows.size()
        && (m_rows.isEmpty() || states.at(m_rows.size() - 1).key == m_rows.constLast().key);
    m_cleared = false;
    if (!sameRows) {
        beginResetModel();
        m_rows = states;
        endResetModel();
        return;
    }
    int first = -1;
    int last = -1;
    for (int i = 0; i < m_rows.size(); ++i) {
        const SignalState &was = m_rows.at(i);
        const SignalState &now = states.at(i);
        if (was.count == now.count && was.text == now.text)
            continue;
        if (first < 0)
            first = i;
        last = i;
    }
    const int old = m_rows.size();
    if (states.size() > old)
        beginInsertRows(QModelIndex(), old, states.size() - 1);
    m_rows = states;
    if (states.size() > old)
        endInsertRows();
    if (first >= 0)
        emit dataChanged(index(first, 0), index(last, ColumnCount - 1), { Qt::DisplayRole });
}
