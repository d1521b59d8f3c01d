#include "canbaudratecalculator.h"

#include "app/widgets/rframelesswidget.h"
#include "ui_canbaudratecalculator.h"

#include <QDebug>
#include <QHeaderView>
#include <QTableWidgetItem>

namespace {
constexpr int MaxTbs1 = 15;
constexpr int MaxTbs2 = 7;
// TBS1 + TBS2 + 3 quanta per bit, from 3 (both zero) to 25 (both at their maximum).
constexpr int MinQuanta = 3;
constexpr int MaxQuanta = MaxTbs1 + MaxTbs2 + 3;
constexpr int MinSamplePercent = 75;
constexpr int MaxSamplePercent = 88;
} // namespace

CANbaudRateCalculator::CANbaudRateCalculator(QWidget *parent)
    : RborderWidget(parent)
    , ui(new Ui::CANbaudRateCalculator)
{
    ui->setupUi(this);

    titleBar = new rFrameLessWidget(this, tr(" 波特率计算器"), 8, QColor(0, 66, 99));
    ui->horizontalLayout->addWidget(titleBar);
    connect(titleBar, &rFrameLessWidget::Signal_Close, this, &QWidget::hide);

    QHeaderView *header = ui->tableWidget->horizontalHeader();
    header->setDefaultSectionSize(100);
    // Six stretched columns must still fit beside the vertical scroll bar.
    header->setMinimumSectionSize(40);
    header->setSectionResizeMode(QHeaderView::Stretch);
    ui->tableWidget->verticalHeader()->hide();
    ui->tableWidget->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ui->tableWidget->setSelectionBehavior(QAbstractItemView::SelectRows);
    ui->tableWidget->setSelectionMode(QAbstractItemView::SingleSelection);
}

CANbaudRateCalculator::~CANbaudRateCalculator()
{
    delete ui;
}

QVector<CANbaudRateCalculator::Candidate> CANbaudRateCalculator::candidatesFor(int baud)
{
    QVector<Candidate> found;
    if (baud < MinBaud || baud > MaxBaud || CanClockKHz % baud != 0)
        return found;

    // A combination matches when prescaler * quanta == 72000 / baud. Walking the divisors of
    // that product in ascending order, and TBS1 ascending within each (TBS2 then follows from
    // the quanta), visits the matches in the same order as a full prescaler/TBS1/TBS2 sweep
    // would, without the 8 million multiplications.
    const int product = CanClockKHz / baud;
    for (int prescaler = 1; prescaler <= product && prescaler <= 0xFFFF; ++prescaler) {
        if (product % prescaler != 0)
            continue;
        const int quanta = product / prescaler;
        if (quanta < MinQuanta || quanta > MaxQuanta)
            continue;
        for (int tbs1 = 0; tbs1 <= MaxTbs1; ++tbs1) {
            const int tbs2 = quanta - MinQuanta - tbs1;
            if (tbs2 < 0 || tbs2 > MaxTbs2)
                continue;
            // Integer division on purpose: 88.9 % still counts as 88.
            const int percent = 100 * (tbs1 + 2) / quanta;
            if (percent < MinSamplePercent || percent > MaxSamplePercent)
                continue;
            Candidate c;
            c.prescaler = quint16(prescaler);
            c.tbs1 = quint8(tbs1);
            c.tbs2 = quint8(tbs2);
            c.samplePoint = double(tbs1 + 2) / double(quanta);
            found.append(c);
        }
    }
    return found;
}

void CANbaudRateCalculator::retranslate()
{
    ui->retranslateUi(this);
    titleBar->setTitle(tr(" 波特率计算器"));
}

void CANbaudRateCalculator::on_calculate_clicked()
{
    candidates.clear();
    ui->tableWidget->clearContents();
    selectedRow = 0;
    calculatedBaud = ui->userbaud->value();

    candidates = candidatesFor(calculatedBaud);

    ui->tableWidget->setRowCount(candidates.size());
    const auto cell = [](const QString &text) {
        auto *item = new QTableWidgetItem(text);
        item->setTextAlignment(Qt::AlignCenter);
        return item;
    };
    for (int row = 0; row < candidates.size(); ++row) {
        const Candidate &c = candidates.at(row);
        ui->tableWidget->setItem(row, 0, cell(QString::number(row)));
        ui->tableWidget->setItem(row, 1,
                                 cell(QString::number(calculatedBaud) + QLatin1String("kbps")));
        ui->tableWidget->setItem(row, 2, cell(QString::number(c.prescaler)));
        ui->tableWidget->setItem(row, 3, cell(QString::number(c.tbs1)));
        ui->tableWidget->setItem(row, 4, cell(QString::number(c.tbs2)));
        ui->tableWidget->setItem(row, 5, cell(QString::number(c.samplePoint, 'f', 2)));
        qDebug() << "PRE:" << c.prescaler << "TBS1:" << int(c.tbs1) << "TBS2:" << int(c.tbs2)
                 << "SamplePoint:" << c.samplePoint;
    }
}

void CANbaudRateCalculator::on_tableWidget_itemClicked(QTableWidgetItem *item)
{
    selectedRow = item ? item->row() : -1;
}

void CANbaudRateCalculator::on_confirm_clicked()
{
    if (selectedRow >= 0 && selectedRow < candidates.size()) {
        emit user_BaudRateConfirmed(calculatedBaud, int(candidates.at(selectedRow).regsCode()));
    }
    hide();
}

void CANbaudRateCalculator::on_cancle_clicked()
{
    hide();
}
