#include "canbaudratecalculator.h"

#include "app/widgets/rframelesswidget.h"
#include "ui_canbaudratecalculator.h"

#include <QDebug>
#include <QHeaderView>
#include <QTableWidgetItem>

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
