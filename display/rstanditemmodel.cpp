#include "rstanditemmodel.h"

#include "display/canframeformatter.h"
#include "display/framesignaltext.h"

RstandItemModel::RstandItemModel(const LockedHandoff<CanRecordView> *viewBuff, QObject *parent)
    : QAbstractTableModel(parent)
    , m_source(viewBuff)
{
}

int RstandItemModel::rowCount(const QModelIndex &parent) const
{
    // A flat table: the item model tester asks children of a cell and must hear none.
    return parent.isValid() ? 0 : rows.size();
}

int RstandItemModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant RstandItemModel::data(const QModelIndex &index, int role) const
{
    // The message and its signals, decoded only for the row the mouse rests on.
    if (role == Qt::ToolTipRole && index.isValid() && index.row() < rows.size()) {
        const QString tip
            = FrameSignalText::toolTip(FrameSignalText::describe(rows.at(index.row()).frame()));
        return tip.isEmpty() ? QVariant() : tip;
    }
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return QVariant();
    const int row = index.row();
    if (row < 0 || row >= rows.size() || index.column() < 0 || index.column() >= ColumnCount)
        return QVariant();

    const CanRecord &r = rows.at(row);
    switch (index.column()) {
    case 0:
        return QString::number(rows.size() - row);
    case 1:
        return CanFrameFormatter::fieldText(r,
                                            timeStampeFormat == 1 ? CanFrameFormatter::TimeStamp
                                                                  : CanFrameFormatter::SystemTime);
    default:
        // The columns after the time follow the record's fields.
        return CanFrameFormatter::fieldText(
            r, CanFrameFormatter::Field(CanFrameFormatter::Channel + index.column() - 2));
    }
}

void RstandItemModel::refresh()
{
    beginResetModel();
    CanRecordView snapshot = m_source->get();
    if (!rows.isSharedWith(snapshot))
        std::swap(rows, snapshot);
    endResetModel();
}

void RstandItemModel::setTimeStampeFormat(unsigned int format)
{
    if (format > 1)
        return;
    timeStampeFormat = format;
    refresh();
}
