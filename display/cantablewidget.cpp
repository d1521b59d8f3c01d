#include "cantablewidget.h"

#include "display/rstanditemmodel.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QMetaType>
#include <QTableView>
#include <QTableWidget>
#include <QVector>

namespace {
constexpr int HeaderWidths[] = { 70, 170, 60, 100, 70, 60, 50, 300 };
constexpr int ViewWidths[] = { 70, 170, 50, 100, 70, 60, 50, 300 };
constexpr int HeaderRowHeight = 30;
constexpr int HeaderHeight = 62;

const QString EditorStyle = QStringLiteral("border:1px solid #ADD8E6");

QLineEdit *filterEdit(int width)
{
    auto *edit = new QLineEdit;
    edit->setFixedWidth(width);
    edit->setStyleSheet(EditorStyle);
    return edit;
}

QComboBox *filterCombo(const QStringList &items, int width)
{
    auto *combo = new QComboBox;
    combo->addItems(items);
    combo->setCurrentIndex(0);
    combo->setFixedWidth(width);
    combo->setStyleSheet(EditorStyle);
    return combo;
}
} // namespace

CANTableWidget::CANTableWidget(QWidget *parent, const LockedHandoff<CanRecordView> *viewBuff)
    : QWidget(parent)
{
    qRegisterMetaType<QVector<int>>("QVector<int>");

    headerTable = new QTableWidget(this);
    tableView = new QTableView(this);
    m_model = new RstandItemModel(viewBuff);
    m_model->setParent(this);
    tableView->setModel(m_model);

    m_layout = new QGridLayout(this);
    m_layout->addWidget(headerTable, 0, 0);
    m_layout->addWidget(tableView, 1, 0);
    m_layout->setContentsMargins(5, 0, 5, 0);
    m_layout->setVerticalSpacing(0);

    headerTable->setColumnCount(RstandItemModel::ColumnCount);
    headerTable->setRowCount(2);
    headerTable->horizontalHeader()->setVisible(false);
    headerTable->verticalHeader()->setVisible(false);
    headerTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    headerTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    headerTable->setSelectionMode(QAbstractItemView::NoSelection);
    headerTable->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    headerTable->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    headerTable->setRowHeight(0, HeaderRowHeight);
    headerTable->setRowHeight(1, HeaderRowHeight);
    headerTable->setMinimumHeight(HeaderHeight);
    headerTable->setMaximumHeight(HeaderHeight);
    headerTable->setShowGrid(false);
    headerTable->setFocusPolicy(Qt::NoFocus);
    headerTable->setStyleSheet(QStringLiteral("QTableWidget{border: 0px;}"));
    for (int c = 0; c < RstandItemModel::ColumnCount; ++c)
        headerTable->setColumnWidth(c, HeaderWidths[c]);
    // The data column, last in both tables, takes whatever width the window gives.
    headerTable->horizontalHeader()->setStretchLastSection(true);

    const QStringList titles { tr("序号"),    tr("时间标识"), tr("源通道"), tr("帧ID"),
                               tr("CAN类型"), tr("方向"),     tr("长度"),   tr("数据") };
    for (int c = 0; c < titles.size(); ++c) {
        auto *item = new QTableWidgetItem(titles.at(c));
        item->setFlags(item->flags() & ~Qt::ItemIsEditable);
        headerTable->setItem(0, c, item);
    }

    timeEdit = filterEdit(165);
    channelEdit = filterEdit(55);
    idEdit = filterEdit(95);
    // "STD" and "EXT" take in the remote frames of their kind; the "-R" entries show those alone.
    typeCombo = filterCombo({ tr("全部"), QStringLiteral("STD"), QStringLiteral("EXT"),
                              QStringLiteral("STD-R"), QStringLiteral("EXT-R") },
                            65);
    dirCombo = filterCombo({ tr("全部"), QStringLiteral("Tx"), QStringLiteral("Rx") }, 55);
    lengthEdit = filterEdit(45);
    dataEdit = filterEdit(300);
    dataEdit->setMaximumWidth(QWIDGETSIZE_MAX);
    const QList<QWidget *> editors { timeEdit, channelEdit, idEdit,  typeCombo,
                                     dirCombo, lengthEdit,  dataEdit };
    for (int c = 0; c < editors.size(); ++c)
        headerTable->setCellWidget(1, c + 1, editors.at(c));
    headerTable->setSpan(0, 0, 2, 1);

    tableView->horizontalHeader()->setVisible(false);
    tableView->verticalHeader()->setVisible(false);
    tableView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tableView->setSelectionBehavior(QAbstractItemView::SelectRows);
    tableView->setSelectionMode(QAbstractItemView::NoSelection);
    tableView->setShowGrid(false);
    tableView->setFocusPolicy(Qt::NoFocus);
    tableView->setStyleSheet(QStringLiteral("border: 0px"));
    tableView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Rows never change height; a reset with 100000 rows then measures nothing per row.
    tableView->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    for (int c = 0; c < RstandItemModel::ColumnCount; ++c)
        tableView->setColumnWidth(c, ViewWidths[c]);
    tableView->horizontalHeader()->setStretchLastSection(true);
}
