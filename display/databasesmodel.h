#pragma once

// The CAN databases in use as a table: file, channels, messages and what went wrong reading it.
// Follows the database set; the list is kept in the settings ("CanDatabases") by store() and read
// back, every file again, by restore().

#include "candb/databaseset.h"

#include <QAbstractTableModel>

class DatabasesModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { FileColumn, ChannelsColumn, MessagesColumn, StateColumn, ColumnCount };
    static constexpr const char *SettingsKey = "CanDatabases";

    explicit DatabasesModel(DatabaseSet *databases, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    // The channels column is edited with a DatabaseSet::Channels value; the change is kept.
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;

    DatabaseSet::Entry entry(int row) const { return m_entries.value(row); }
    // Why the file was refused, or every problem found in it, with line numbers; empty when it
    // loaded cleanly.
    static QString problemText(const DatabaseSet::Entry &entry);
    static QString channelsText(int channels);

    static void store(const DatabaseSet *databases);
    static void restore(DatabaseSet *databases);

private:
    void reload();

    DatabaseSet *m_databases = nullptr;
    QVector<DatabaseSet::Entry> m_entries;
};
