#pragma once

// Sorts the per-identifier overview by any column and keeps the rows whose newest frame passes
// the receive view's seven filters, tested exactly as the trace tests its records.

#include "display/candatadisplaysupport.h"

#include <QSortFilterProxyModel>

class IdOverviewModel;

class IdOverviewFilter : public QSortFilterProxyModel
{
    Q_OBJECT
public:
    explicit IdOverviewFilter(IdOverviewModel *source, QObject *parent = nullptr);

    void setFilter(const CAN_DataDisplaySupport::ViewFilter &filter);
    const CAN_DataDisplaySupport::ViewFilter &filter() const { return m_filter; }

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;
    // Compares the rows' numbers directly: a tick may re-sort 2,000 rows.
    bool lessThan(const QModelIndex &left, const QModelIndex &right) const override;

private:
    IdOverviewModel *m_source = nullptr;
    CAN_DataDisplaySupport::ViewFilter m_filter;
};
