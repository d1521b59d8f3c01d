#include "send/signalcomposerwindow.h"

#include "app/widgets/rframelesswidget.h"
#include "candb/databaseset.h"
#include "display/signalhub.h"
#include "send/transmitlistwidget.h"

#include <QComboBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStringList>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {
QString bytesText(const QByteArray &bytes)
{
    return TransmitListWidget::dataText(bytes, bytes.size());
}
} // namespace

SignalComposerWindow::SignalComposerWindow(QWidget *parent)
    : RborderWidget(parent)
{
    setObjectName(QStringLiteral("signalComposer"));
    resize(760, 480);
    m_title = new rFrameLessWidget(this, tr(" 由信号值生成帧"), 8, QColor(0, 66, 99));
    m_title->setMaximumHeight(35);
    connect(m_title, &rFrameLessWidget::Signal_Close, this, &QWidget::hide);

    m_messages = new QComboBox(this);
    m_messages->setObjectName(QStringLiteral("composerMessage"));
    m_messages->setMinimumWidth(280);
    m_channel = new QComboBox(this);
    m_channel->setObjectName(QStringLiteral("composerChannel"));
    m_channel->addItem(tr("通道1"), 1);
    m_channel->addItem(tr("通道2"), 2);

    m_table = new QTableWidget(0, ColumnCount, this);
    m_table->setObjectName(QStringLiteral("composerSignals"));
    m_table->setHorizontalHeaderLabels(
        { tr("信号"), tr("值"), tr("单位"), tr("原始值"), tr("范围") });
    m_table->verticalHeader()->setVisible(false);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                             | QAbstractItemView::AnyKeyPressed);
    m_table->setColumnWidth(NameColumn, 180);
    m_table->setColumnWidth(ValueColumn, 140);
    m_table->setColumnWidth(UnitColumn, 70);
    m_table->setColumnWidth(RawColumn, 110);
    m_table->horizontalHeader()->setStretchLastSection(true);

    m_bytes = new QLineEdit(this);
    m_bytes->setObjectName(QStringLiteral("composerBytes"));
    m_error = new QLabel(this);
    m_error->setObjectName(QStringLiteral("composerError"));
    m_error->setWordWrap(true);
    m_error->setStyleSheet(QStringLiteral("color: #c00000;"));
    m_addButton = new QPushButton(tr("添加到发送列表"), this);
    m_addButton->setObjectName(QStringLiteral("composerAdd"));
    auto *close = new QPushButton(tr("关闭"), this);

    auto *top = new QHBoxLayout;
    top->addWidget(new QLabel(tr("报文:"), this));
    top->addWidget(m_messages, 1);
    top->addWidget(new QLabel(tr("通道:"), this));
    top->addWidget(m_channel);
    auto *bytesRow = new QHBoxLayout;
    bytesRow->addWidget(new QLabel(tr("数据(十六进制):"), this));
    bytesRow->addWidget(m_bytes, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_addButton);
    buttons->addWidget(close);

    auto *body = new QVBoxLayout;
    body->setContentsMargins(10, 8, 10, 10);
    body->addLayout(top);
    body->addWidget(m_table, 1);
    body->addLayout(bytesRow);
    body->addWidget(m_error);
    body->addLayout(buttons);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->setSpacing(0);
    layout->addWidget(m_title);
    layout->addLayout(body);

    connect(m_messages, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &SignalComposerWindow::pickMessage);
    connect(m_table, &QTableWidget::itemChanged, this, &SignalComposerWindow::onValueEdited);
    connect(m_bytes, &QLineEdit::editingFinished, this, &SignalComposerWindow::onBytesEdited);
    connect(m_addButton, &QPushButton::clicked, this, [this] { emit entryComposed(entry()); });
    connect(close, &QPushButton::clicked, this, &QWidget::hide);
    showValues();
}

void SignalComposerWindow::showEvent(QShowEvent *event)
{
    RborderWidget::showEvent(event);
    loadMessages();
}

void SignalComposerWindow::loadMessages()
{
    const QString before = m_messages->currentText();
    // Shown again over the same message, the window keeps what the user composed; taken before
    // the list changes, since picking the message again starts it afresh.
    const QByteArray composed = m_composer.bytes();
    m_listed.clear();
    m_listedChannels.clear();
    QStringList names;
    const QSharedPointer<const DatabaseSet::Snapshot> databases
        = SignalHub::instance()->databases()->snapshot();
    if (databases) {
        for (const DatabaseSet::Entry &entry : databases->entries) {
            if (!entry.database)
                continue;
            for (const DbcMessage &message : entry.database->messages()) {
                m_listed.append(message);
                m_listedChannels.append(entry.channels == DatabaseSet::Channel2 ? 2 : 1);
                const QString id = QString::number(message.id, 16)
                                       .toUpper()
                                       .rightJustified(message.extended ? 8 : 3, QLatin1Char('0'));
                names.append(QStringLiteral("%1  (0x%2)  %3")
                                 .arg(message.name, id, QFileInfo(entry.path).fileName()));
            }
        }
    }
    m_messages->blockSignals(true);
    m_messages->clear();
    m_messages->addItems(names);
    m_messages->blockSignals(false);
    m_addButton->setEnabled(!m_listed.isEmpty());
    if (m_listed.isEmpty()) {
        setMessage(DbcMessage(), m_channel->currentData().toInt());
        showError(tr("没有已加载的数据库报文：请先在“CAN数据库”中添加DBC文件。"));
        return;
    }
    const int keep = m_messages->findText(before);
    m_messages->blockSignals(true);
    m_messages->setCurrentIndex(keep >= 0 ? keep : 0);
    m_messages->blockSignals(false);
    pickMessage(m_messages->currentIndex());
    if (keep >= 0) {
        m_composer.setBytes(composed);
        showValues();
    }
}

void SignalComposerWindow::pickMessage(int index)
{
    if (index < 0 || index >= m_listed.size())
        return;
    setMessage(m_listed.at(index), m_listedChannels.at(index));
}

void SignalComposerWindow::setMessage(const DbcMessage &message, int channel)
{
    m_composer = SignalComposer(message);
    m_channel->setCurrentIndex(m_channel->findData(channel));
    showError(QString());
    showValues();
}

void SignalComposerWindow::showValues()
{
    const DbcMessage &message = m_composer.message();
    m_filling = true;
    m_table->setRowCount(message.signalList.size());
    for (int row = 0; row < message.signalList.size(); ++row) {
        const DbcSignal &signal = message.signalList.at(row);
        const bool carried = m_composer.carries(row);
        const auto cell = [this, row](int column, const QString &text, bool editable) {
            QTableWidgetItem *item = m_table->item(row, column);
            if (!item) {
                item = new QTableWidgetItem;
                m_table->setItem(row, column, item);
            }
            item->setText(text);
            item->setFlags(editable ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable
                                    : Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            return item;
        };
        QString name = signal.name;
        if (signal.isMultiplexor)
            name += tr(" (多路复用器)");
        cell(NameColumn, name, false)->setToolTip(signal.comment);
        QTableWidgetItem *value
            = cell(ValueColumn, carried ? m_composer.valueText(row) : QString(), true);
        QStringList names;
        for (auto it = signal.valueNames.cbegin(); it != signal.valueNames.cend(); ++it)
            names.append(QStringLiteral("%1 = %2").arg(it.key()).arg(it.value()));
        value->setToolTip(names.isEmpty()
                              ? tr("输入物理值")
                              : tr("输入物理值或取值名称:\n") + names.join(QLatin1Char('\n')));
        if (!carried)
            value->setToolTip(tr("当前多路复用器的值未选中此信号；输入值会同时设置多路复用器。"));
        cell(UnitColumn, signal.unit, false);
        cell(RawColumn,
             carried ? QStringLiteral("0x") + QString::number(m_composer.rawBits(row), 16).toUpper()
                     : QString(),
             false);
        cell(RangeColumn,
             signal.minimum == 0.0 && signal.maximum == 0.0 ? QString()
                                                            : QStringLiteral("%1 .. %2")
                                                                  .arg(signal.minimum, 0, 'g', 15)
                                                                  .arg(signal.maximum, 0, 'g', 15),
             false);
    }
    m_bytes->setText(bytesText(m_composer.bytes()));
    m_filling = false;
}

void SignalComposerWindow::onValueEdited(QTableWidgetItem *item)
{
    if (m_filling || !item || item->column() != ValueColumn)
        return;
    QString error;
    if (m_composer.setValue(item->row(), item->text(), &error))
        showError(QString());
    else
        showError(error);
    // A refused value goes back to what the bytes hold.
    showValues();
}

void SignalComposerWindow::onBytesEdited()
{
    QByteArray data;
    if (!TransmitListWidget::parseData(m_bytes->text(), &data)) {
        showError(tr("数据只能包含十六进制数字。"));
        m_bytes->setText(bytesText(m_composer.bytes()));
        return;
    }
    m_composer.setBytes(data);
    showError(QString());
    showValues();
}

void SignalComposerWindow::setActionText(const QString &text)
{
    m_addButton->setText(text);
}

void SignalComposerWindow::showError(const QString &text)
{
    m_error->setText(text);
}

TransmitEntry SignalComposerWindow::entry() const
{
    TransmitEntry entry;
    const DbcMessage &message = m_composer.message();
    entry.name = message.name;
    entry.channel = m_channel->currentData().toInt() == 2 ? 2 : 1;
    entry.extended = message.extended;
    entry.id = message.id;
    entry.dlc = m_composer.dlc();
    QByteArray data = m_composer.bytes();
    data.append(QByteArray(8 - data.size(), '\0'));
    entry.data = data;
    if (message.cycleTimeMs > 0)
        entry.periodMs = qMin(message.cycleTimeMs, int(TransmitListWidget::MaxPeriodMs));
    return entry;
}
