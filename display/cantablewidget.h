#pragma once

// The frame table: a fixed two-row header (titles, then one filter editor per filterable column)
// stacked over the view of the display buffer's filtered list.

#include "display/canrecordbuffer.h"
#include "display/lockedhandoff.h"

#include <QWidget>

class FrameSignalDetail;
class QComboBox;
class QGridLayout;
class QLineEdit;
class QTableView;
class QTableWidget;
class RstandItemModel;

class CANTableWidget : public QWidget
{
    Q_OBJECT
public:
    explicit CANTableWidget(QWidget *parent, const LockedHandoff<CanRecordView> *viewBuff);

    RstandItemModel *model() const { return m_model; }

    // The filter editors in column order; the receive view connects them.
    QLineEdit *timeEdit = nullptr;
    QLineEdit *channelEdit = nullptr;
    QLineEdit *idEdit = nullptr;
    QComboBox *typeCombo = nullptr;
    QComboBox *dirCombo = nullptr;
    QLineEdit *lengthEdit = nullptr;
    QLineEdit *dataEdit = nullptr;
    QTableWidget *headerTable = nullptr;
    QTableView *tableView = nullptr;
    // The signals of the frame last clicked, under the table.
    FrameSignalDetail *detail = nullptr;

private:
    RstandItemModel *m_model = nullptr;
    QGridLayout *m_layout = nullptr;
};
