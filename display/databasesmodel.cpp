#include "display/databasesmodel.h"

#include "app/settings.h"

#include <QColor>
#include <QDir>
#include <QFileInfo>

DatabasesModel::DatabasesModel(DatabaseSet *databases, QObject *parent)
    : QAbstractTableModel(parent)
    , m_databases(databases)
{
    m_entries = databases->entries();
    connect(databases, &DatabaseSet::changed, this, &DatabasesModel::reload);
}

void DatabasesModel::reload()
{
    beginResetModel();
    m_entries = m_databases->entries();
    endResetModel();
}

int DatabasesModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_entries.size();
}

int DatabasesModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant DatabasesModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_entries.size() || index.column() >= ColumnCount)
        return QVariant();
    const DatabaseSet::Entry &entry = m_entries.at(index.row());
    if (role == Qt::ToolTipRole) {
        if (index.column() == FileColumn)
            return QDir::toNativeSeparators(entry.path);
        if (index.column() == StateColumn) {
            const QString problems = problemText(entry);
            return problems.isEmpty() ? QVariant() : problems;
        }
        return QVariant();
    }
    if (role == Qt::ForegroundRole && index.column() == StateColumn && !entry.error.isEmpty())
        return QColor(0xC0, 0x00, 0x00);
    if (role == Qt::EditRole && index.column() == ChannelsColumn)
        return entry.channels;
    if (role != Qt::DisplayRole)
        return QVariant();
    switch (index.column()) {
    case FileColumn:
        return QFileInfo(entry.path).fileName();
    case ChannelsColumn:
        return channelsText(entry.channels);
    case MessagesColumn:
        return entry.database ? QString::number(entry.database->messages().size()) : QString();
    default:
        if (!entry.error.isEmpty())
            return entry.error;
        if (!entry.problems.isEmpty())
            return tr("已加载，%n 个问题", nullptr, entry.problems.size());
        return tr("已加载");
    }
}

QVariant DatabasesModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0
        || section >= ColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case FileColumn:
        return tr("文件");
    case ChannelsColumn:
        return tr("通道");
    case MessagesColumn:
        return tr("报文数");
    default:
        return tr("状态");
    }
}

Qt::ItemFlags DatabasesModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (index.isValid() && index.column() == ChannelsColumn)
        flags |= Qt::ItemIsEditable;
    return flags;
}

bool DatabasesModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || index.column() != ChannelsColumn
        || index.row() >= m_entries.size())
        return false;
    bool ok = false;
    const int channels = value.toInt(&ok);
    if (!ok || channels < DatabaseSet::Channel1 || channels > DatabaseSet::BothChannels)
        return false;
    if (channels != m_entries.at(index.row()).channels) {
        // The set tells every view, this one included, by its changed signal.
        m_databases->setChannels(index.row(), channels);
        store(m_databases);
    }
    return true;
}

QString DatabasesModel::problemText(const DatabaseSet::Entry &entry)
{
    if (!entry.error.isEmpty())
        return entry.error;
    if (entry.problems.isEmpty())
        return QString();
    DbcReadResult result;
    result.ok = true;
    result.problems = entry.problems;
    return result.problemSummary(entry.problems.size());
}

QString DatabasesModel::channelsText(int channels)
{
    switch (channels) {
    case DatabaseSet::Channel1:
        return tr("通道1");
    case DatabaseSet::Channel2:
        return tr("通道2");
    default:
        return tr("两个通道");
    }
}

void DatabasesModel::store(const DatabaseSet *databases)
{
    writeSetting(QLatin1String(SettingsKey), databases->toSettings());
}

void DatabasesModel::restore(DatabaseSet *databases)
{
    databases->fromSettings(readSetting(QLatin1String(SettingsKey)).toList());
}
