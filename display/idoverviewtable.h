#pragma once

// The overview mode of the receive view: one sortable row per identifier beside the trace, under
// the same filter editors. Data bytes that changed within the last second are marked and fade;
// rows gone quiet are dimmed.

#include <QTableView>

class CAN_DataDisplaySupport;
class CANTableWidget;
class FrameSignalDetail;
class IdOverviewFilter;
class IdOverviewModel;

class IdOverviewTable : public QTableView
{
    Q_OBJECT
public:
    explicit IdOverviewTable(CAN_DataDisplaySupport *display, QWidget *parent = nullptr);

    IdOverviewModel *overviewModel() const { return m_model; }
    IdOverviewFilter *filterModel() const { return m_filter; }

    // Follows the filter editors of `table`; connect after the display buffer is connected to
    // them, so that the texts in force are already the new ones.
    void followFilters(CANTableWidget *table);
    void setTimeStampeFormat(int format);
    // A row the user clicks shows its newest frame's signals in `detail`.
    void showDetailIn(FrameSignalDetail *detail);

private:
    void updateFilter();
    void showDatabaseColumns();

    CAN_DataDisplaySupport *m_display = nullptr;
    IdOverviewModel *m_model = nullptr;
    IdOverviewFilter *m_filter = nullptr;
    int m_timeStampeFormat = 0;
};
