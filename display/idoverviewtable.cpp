#include "idoverviewtable.h"

#include "display/candatadisplaysupport.h"
#include "display/cantablewidget.h"
#include "display/framesignaldetail.h"
#include "display/idoverviewfilter.h"
#include "display/idoverviewmodel.h"
#include "display/signalhub.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPainter>
#include <QStyledItemDelegate>

namespace {
constexpr int ColumnWidths[] = { 64, 100, 50, 50, 80, 64, 84, 84, 80, 80, 50, 200, 140, 300 };
const QColor ChangedColour(0xFF, 0xB0, 0x30);

// Paints every cell as plain text, without the style's item layout and eliding, which cost more
// than the text itself with 2,000 rows changing several times a second. Behind each data byte
// that changed lately goes a mark, as strong as the change is fresh.
class OverviewCellDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter,
               const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
    {
        const QString text = index.data(Qt::DisplayRole).toString();
        const QVariant foreground = index.data(Qt::ForegroundRole);
        const int alignment = index.data(Qt::TextAlignmentRole).toInt();
        const QRect textRect = option.rect.adjusted(CellMargin, 0, -CellMargin, 0);
        painter->save();
        painter->setClipRect(option.rect);
        if (index.column() == IdOverviewModel::DataColumn) {
            const QByteArray levels = index.data(IdOverviewModel::ChangeLevelsRole).toByteArray();
            const QFontMetrics &metrics = option.fontMetrics;
            for (int i = 0; i < levels.size() && i * 3 + 2 <= text.size(); ++i) {
                const int level = levels.at(i);
                if (level <= 0)
                    continue;
                QColor colour = ChangedColour;
                colour.setAlpha(40 + 200 * level / IdOverviewModel::FadeSteps);
                const int left = metrics.horizontalAdvance(text.left(i * 3));
                const int width = metrics.horizontalAdvance(text.mid(i * 3, 2));
                painter->fillRect(QRect(textRect.left() + left - 1, textRect.top() + 3, width + 2,
                                        textRect.height() - 6),
                                  colour);
            }
        }
        painter->setPen(foreground.isValid() ? foreground.value<QColor>()
                                             : option.palette.color(QPalette::Text));
        painter->drawText(textRect, alignment | Qt::TextSingleLine, text);
        painter->restore();
    }

private:
    static constexpr int CellMargin = 4;
};
} // namespace

IdOverviewTable::IdOverviewTable(CAN_DataDisplaySupport *display, QWidget *parent)
    : QTableView(parent)
    , m_display(display)
{
    setObjectName(QStringLiteral("idOverview"));
    m_model = new IdOverviewModel(display->idOverview(), this);
    m_filter = new IdOverviewFilter(m_model, this);
    setModel(m_filter);
    setItemDelegate(new OverviewCellDelegate(this));

    verticalHeader()->setVisible(false);
    // Rows never change height; 2,000 of them then cost nothing to lay out.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(24);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::NoSelection);
    setShowGrid(false);
    setFocusPolicy(Qt::NoFocus);
    setWordWrap(false);
    setStyleSheet(QStringLiteral("QTableView{border: 0px}"));
    for (int c = 0; c < IdOverviewModel::ColumnCount; ++c)
        setColumnWidth(c, ColumnWidths[c]);
    horizontalHeader()->setStretchLastSection(true);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSortIndicator(IdOverviewModel::IdColumn, Qt::AscendingOrder);
    setSortingEnabled(true);
    // Without a database the message and signal columns would only be empty.
    showDatabaseColumns();
    connect(SignalHub::instance()->databases(), &DatabaseSet::changed, this,
            &IdOverviewTable::showDatabaseColumns);

    connect(display, &CAN_DataDisplaySupport::signal_DisplayBuff_Changed, m_model,
            &IdOverviewModel::refresh);
    // A view built later, as after a language switch, starts with every row the display
    // thread already has.
    QMetaObject::invokeMethod(
        display,
        [display] {
            display->idOverview()->publishAll();
            display->announceView();
        },
        Qt::QueuedConnection);
    updateFilter();
}

void IdOverviewTable::followFilters(CANTableWidget *table)
{
    for (QLineEdit *edit : { table->timeEdit, table->channelEdit, table->idEdit, table->lengthEdit,
                             table->dataEdit }) {
        connect(edit, &QLineEdit::textChanged, this, &IdOverviewTable::updateFilter);
    }
    for (QComboBox *combo : { table->typeCombo, table->dirCombo })
        connect(combo, &QComboBox::currentTextChanged, this, &IdOverviewTable::updateFilter);
    updateFilter();
}

void IdOverviewTable::setTimeStampeFormat(int format)
{
    if (format != 0 && format != 1)
        return;
    m_timeStampeFormat = format;
    updateFilter();
}

void IdOverviewTable::updateFilter()
{
    // The time column choice reaches the display thread later than the texts; take it from here.
    CAN_DataDisplaySupport::ViewFilter filter = m_display->filterInForce();
    filter.timeStampeFormat = unsigned(m_timeStampeFormat);
    m_filter->setFilter(filter);
}

void IdOverviewTable::showDatabaseColumns()
{
    const bool shown = m_model->hasDatabases();
    setColumnHidden(IdOverviewModel::MessageColumn, !shown);
    setColumnHidden(IdOverviewModel::SignalsColumn, !shown);
}

void IdOverviewTable::showDetailIn(FrameSignalDetail *detail)
{
    connect(this, &QTableView::clicked, detail, [this, detail](const QModelIndex &index) {
        const QModelIndex source = m_filter->mapToSource(index);
        if (source.isValid())
            detail->showFrame(m_model->row(source.row()).last.frame);
    });
}
