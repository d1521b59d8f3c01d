#include "idoverviewfilter.h"

#include "display/canframeformatter.h"
#include "display/idoverviewmodel.h"

IdOverviewFilter::IdOverviewFilter(IdOverviewModel *source, QObject *parent)
    : QSortFilterProxyModel(parent)
    , m_source(source)
{
    setSourceModel(source);
    setSortRole(IdOverviewModel::SortRole);
    setDynamicSortFilter(true);
}

void IdOverviewFilter::setFilter(const CAN_DataDisplaySupport::ViewFilter &filter)
{
    if (filter == m_filter)
        return;
    m_filter = filter;
    invalidateFilter();
}

bool IdOverviewFilter::filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const
{
    if (sourceParent.isValid())
        return false;
    return m_filter.isEmpty()
        || CAN_DataDisplaySupport::recordMatches(m_filter, m_source->row(sourceRow).last);
}

bool IdOverviewFilter::lessThan(const QModelIndex &left, const QModelIndex &right) const
{
    const int column = left.column();
    const IdOverviewRow &a = m_source->row(left.row());
    const IdOverviewRow &b = m_source->row(right.row());
    if (column == IdOverviewModel::DataColumn)
        return CanFrameFormatter::fieldText(a.last, CanFrameFormatter::Data)
            < CanFrameFormatter::fieldText(b.last, CanFrameFormatter::Data);
    if (column == IdOverviewModel::MessageColumn)
        return left.data(IdOverviewModel::SortRole).toString()
            < right.data(IdOverviewModel::SortRole).toString();
    return IdOverviewModel::sortKey(a, column) < IdOverviewModel::sortKey(b, column);
}
