#pragma once

// Read-only table model over a snapshot of the display buffer's filtered list: eight columns,
// newest frame in row 0. A snapshot is one shared list copy; no text is copied.

#include "display/canrecordbuffer.h"
#include "display/lockedhandoff.h"

#include <QAbstractTableModel>

class RstandItemModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    static constexpr int ColumnCount = 8;

    explicit RstandItemModel(const LockedHandoff<CanRecordView> *viewBuff,
                             QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    // The frame shown in `row`, or null past the end.
    const CanRecord *record(int row) const
    {
        return row >= 0 && row < rows.size() ? &rows.at(row) : nullptr;
    }

    void refresh();
    void setTimeStampeFormat(unsigned int format);

private:
    unsigned int timeStampeFormat = 0;
    CanRecordView rows;
    const LockedHandoff<CanRecordView> *m_source = nullptr;
};
