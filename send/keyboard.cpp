#include "keyboard.h"

#include "ui_keyboard.h"

#include "app/widgets/rframelesswidget.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>

namespace {
constexpr int Rows = 8;
constexpr int BitsPerRow = 8;
constexpr int HexColumn = 8;
constexpr int DecColumn = 9;
constexpr int CellSize = 32;
const QString Zero = QStringLiteral("0");
const QString One = QStringLiteral("1");

uint hexValue(const QString &text)
{
    bool ok = false;
    const uint v = text.toUInt(&ok, 16);
    return ok ? v : 0;
}

uint decValue(const QString &text)
{
    bool ok = false;
    const uint v = text.toUInt(&ok, 10);
    return ok ? v : 0;
}
} // namespace

KeyBoard::KeyBoard(QWidget *parent, int dataLength)
    : RborderWidget(parent)
    , ui(new Ui::KeyBoard)
    , dataLength(qBound(0, dataLength, Rows))
{
    ui->setupUi(this);
    setFixedSize(360, 380);
    open_keyBoard();
    connect(ui->pushButton, &QPushButton::clicked, this, &KeyBoard::get_data);
    ui->tableWidget->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
}

KeyBoard::~KeyBoard()
{
    delete ui;
}

void KeyBoard::open_keyBoard()
{
    titleBar = new rFrameLessWidget(this, tr("数据矩阵"), 8, QColor(0, 66, 99));
    titleBar->setMaximumHeight(35);
    ui->head->layout()->addWidget(titleBar);
    connect(titleBar, &rFrameLessWidget::Signal_Close, this, &QObject::deleteLater);

    QTableWidget *table = ui->tableWidget;
    for (int row = 0; row < Rows; ++row)
        table->setRowHeight(row, CellSize);
    for (int column = 0; column < table->columnCount(); ++column)
        table->setColumnWidth(column, CellSize);
    for (int row = dataLength; row < Rows; ++row)
        table->hideRow(row);

    const auto hexPattern = QRegularExpression(QStringLiteral("[0-9A-Fa-f]{1,2}$"));
    const auto decPattern
        = QRegularExpression(QStringLiteral("^2[0-4]\\d|25[0-5]|1\\d\\d?|[1-9][0-9]?$"));
    for (int k = 0; k < Rows * BitsPerRow; ++k) {
        auto *button = new QPushButton(table);
        button->setFlat(true);
        bitButtons.append(button);
        table->setCellWidget(k / BitsPerRow, k % BitsPerRow, button);
    }
    for (int row = 0; row < Rows; ++row) {
        auto *hex = new QLineEdit(QStringLiteral("00"), table);
        hex->setValidator(new QRegularExpressionValidator(hexPattern, hex));
        hex->setAlignment(Qt::AlignCenter);
        hex->setFrame(false);
        auto *dec = new QLineEdit(table);
        dec->setValidator(new QRegularExpressionValidator(decPattern, dec));
        dec->setAlignment(Qt::AlignCenter);
        dec->setFrame(false);
        byteEdits.append(hex);
        byteEdits.append(dec);
        table->setCellWidget(row, HexColumn, hex);
        table->setCellWidget(row, DecColumn, dec);
    }

    for (int k = 0; k < dataLength * BitsPerRow; ++k) {
        bitButtons.at(k)->setText(Zero);
        connect(
            bitButtons.at(k), &QPushButton::clicked, this, [this, k] { onBitClicked(k); },
            Qt::DirectConnection);
    }
    for (int row = 0; row < Rows; ++row) {
        connect(
            byteEdits.at(2 * row), &QLineEdit::textChanged, this, [this, row] { onHexEdited(row); },
            Qt::DirectConnection);
        connect(
            byteEdits.at(2 * row + 1), &QLineEdit::textChanged, this,
            [this, row] { onDecEdited(row); }, Qt::DirectConnection);
    }
}

void KeyBoard::onBitClicked(int bit)
{
    QPushButton *button = bitButtons.at(bit);
    button->setText(button->text() != Zero ? Zero : One);

    const int row = bit / BitsPerRow;
    uint value = 0;
    for (int column = 0; column < BitsPerRow; ++column)
        value = value * 2 + (bitButtons.at(row * BitsPerRow + column)->text() == One ? 1 : 0);

    byteEdits.at(2 * row)->setText(QString::number(value, 16).toUpper());
    byteEdits.at(2 * row + 1)->setText(QString::number(value));
}

void KeyBoard::setRowBits(int row, uint value)
{
    for (int i = 0; i < BitsPerRow; ++i) {
        QPushButton *button = bitButtons.at(row * BitsPerRow + (BitsPerRow - 1 - i));
        const bool set = value & (1u << i);
        if (set && button->text() == Zero)
            button->setText(One);
        else if (!set && button->text() == One)
            button->setText(Zero);
    }
}

void KeyBoard::onHexEdited(int row)
{
    const uint value = hexValue(byteEdits.at(2 * row)->text());
    setRowBits(row, value);
    QLineEdit *dec = byteEdits.at(2 * row + 1);
    if (decValue(dec->text()) != value)
        dec->setText(QString::number(value));
}

void KeyBoard::onDecEdited(int row)
{
    const uint value = decValue(byteEdits.at(2 * row + 1)->text());
    setRowBits(row, value);
    QLineEdit *hex = byteEdits.at(2 * row);
    if (hexValue(hex->text()) != value)
        hex->setText(QString::number(value, 16).toUpper());
}

void KeyBoard::get_data()
{
    QString result;
    for (int row = 0; row < dataLength; ++row) {
        const uint value = hexValue(byteEdits.at(2 * row)->text()) & 0xFF;
        result += QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper();
        if (row != dataLength - 1)
            result += QLatin1Char(' ');
    }
    emit signal_transResult(result);
    deleteLater();
}
