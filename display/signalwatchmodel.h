#pragma once

// The signal watch's rows: one per decoded signal, in the order the signals first came, with its
// latest value, raw value, minimum, maximum, count and time. refresh() brings the rows up to the
// store only when the store changed, so a timer may call it at any rate.

#include "candb/signalstore.h"

#include <QAbstractTableModel>
#include <QVector>

class SignalWatchModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column {
        Signal,
        Message,
        Channel,
        Value,
        Raw,
        Minimum,
        Maximum,
        Count,
        Time,
        ColumnCount
    };
    // Column Signal's data under this role is "message.signal", what the name filter looks at.
    static constexpr int FilterRole = Qt::UserRole;

    explicit SignalWatchModel(SignalStore *store, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    void refresh();
    SignalKey keyAt(int row) const { return m_rows.at(row).key; }
    const SignalState &stateAt(int row) const { return m_rows.at(row); }

private:
    SignalStore *m_store;
    QVector<SignalState> m_rows;
    quint64 m_serial = 0;
    bool m_seen = false;
    bool m_cleared = false;
};
