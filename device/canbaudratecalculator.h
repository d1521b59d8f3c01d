#pragma once

// Finds every prescaler / time-segment combination that gives a chosen CAN bit rate from the
// adapter's 72 MHz clock with a sample point between 75 % and 88 %, lets the user pick one and
// hands the rate and its packed timing code to the device panel.

#include "app/widgets/rborderwidget.h"
#include "protocol/bittiming.h"

#include <QVector>

class QTableWidgetItem;
class rFrameLessWidget;

namespace Ui {
class CANbaudRateCalculator;
}

class CANbaudRateCalculator : public RborderWidget
{
    Q_OBJECT
public:
    static constexpr int CanClockKHz = BitTiming::CanClockKHz;
    static constexpr int MinBaud = BitTiming::MinBaud;
    static constexpr int MaxBaud = BitTiming::MaxBaud;
    using Candidate = BitTiming::Candidate;

    explicit CANbaudRateCalculator(QWidget *parent = nullptr);
    ~CANbaudRateCalculator() override;

    // Every candidate for baud kbps, ascending by prescaler, then TBS1, then TBS2.
    static QVector<Candidate> candidatesFor(int baud) { return BitTiming::candidatesFor(baud); }

    void retranslate();

signals:
    void user_BaudRateConfirmed(int baud, int regsCode);

private slots:
    void on_calculate_clicked();
    void on_confirm_clicked();
    void on_cancle_clicked();
    void on_tableWidget_itemClicked(QTableWidgetItem *item);

private:
    Ui::CANbaudRateCalculator *ui;
    rFrameLessWidget *titleBar = nullptr;
    QVector<Candidate> candidates;
    int selectedRow = 0;
    int calculatedBaud = 0;
};
