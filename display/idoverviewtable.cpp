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
constexpr int ColumnWidths[] = { 64, 100, 66, 66, 72, 64, 84, 84, 80, 80, 50, 200, 140, 300 };
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

// The overview's column titles with a row of filter editors under them, each under the column it
// filters, as the trace has under its own titles.
class FilterHeader : public QHeaderView
{
public:
    static constexpr int FilterRowHeight = 30;

    explicit FilterHeader(QWidget *parent)
        : QHeaderView(Qt::Horizontal, parent)
    {
        setSectionsClickable(true);
        connect(this, &QHeaderView::sectionResized, this, &FilterHeader::placeEditors);
        connect(this, &QHeaderView::sectionMoved, this, &FilterHeader::placeEditors);
        connect(this, &QHeaderView::geometriesChanged, this, &FilterHeader::placeEditors);
    }

    void addEditor(int column, QWidget *editor)
    {
        editor->setParent(viewport());
        m_editors.append({ column, editor });
        placeEditors();
    }

    QSize sizeHint() const override
    {
        QSize size = QHeaderView::sizeHint();
        size.rheight() += FilterRowHeight;
        return size;
    }

    void placeEditors()
    {
        const int top = height() - FilterRowHeight;
        for (const auto &entry : qAsConst(m_editors)) {
            entry.second->setGeometry(sectionViewportPosition(entry.first) + 2, top + 2,
                                      sectionSize(entry.first) - 4, FilterRowHeight - 4);
            entry.second->setVisible(!isSectionHidden(entry.first));
        }
    }

protected:
    void paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const override
    {
        QHeaderView::paintSection(painter, rect.adjusted(0, 0, 0, -FilterRowHeight), logicalIndex);
        painter->fillRect(
            QRect(rect.left(), rect.bottom() - FilterRowHeight + 1, rect.width(), FilterRowHeight),
            palette().color(QPalette::Base));
    }

    void resizeEvent(QResizeEvent *event) override
    {
        QHeaderView::resizeEvent(event);
        placeEditors();
    }

    void scrollContentsBy(int dx, int dy) override
    {
        QHeaderView::scrollContentsBy(dx, dy);
        placeEditors();
    }

private:
    QVector<QPair<int, QWidget *>> m_editors;
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
    setHorizontalHeader(new FilterHeader(this));

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
    // Editors of their own under the overview's columns, kept in step with the trace's: either
    // pair shows and sets the same filter.
    auto *header = static_cast<FilterHeader *>(horizontalHeader());
    const QString style = table->idEdit->styleSheet();
    const auto mirrorEdit = [this, header, &style](QLineEdit *original, int column) {
        auto *edit = new QLineEdit(original->text());
        edit->setStyleSheet(style);
        connect(edit, &QLineEdit::textChanged, original, &QLineEdit::setText);
        connect(original, &QLineEdit::textChanged, edit, &QLineEdit::setText);
        header->addEditor(column, edit);
    };
    const auto mirrorCombo = [this, header, &style](QComboBox *original, int column) {
        auto *combo = new QComboBox;
        for (int i = 0; i < original->count(); ++i)
            combo->addItem(original->itemText(i));
        combo->setCurrentIndex(original->currentIndex());
        combo->setStyleSheet(style);
        connect(combo, qOverload<int>(&QComboBox::currentIndexChanged), original,
                &QComboBox::setCurrentIndex);
        connect(original, qOverload<int>(&QComboBox::currentIndexChanged), combo,
                &QComboBox::setCurrentIndex);
        header->addEditor(column, combo);
    };
    mirrorEdit(table->channelEdit, IdOverviewModel::ChannelColumn);
    mirrorEdit(table->idEdit, IdOverviewModel::IdColumn);
    mirrorCombo(table->typeCombo, IdOverviewModel::TypeColumn);
    mirrorCombo(table->dirCombo, IdOverviewModel::DirColumn);
    mirrorEdit(table->lengthEdit, IdOverviewModel::LengthColumn);
    mirrorEdit(table->dataEdit, IdOverviewModel::DataColumn);

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
            detail->showFrame(m_model->row(source.row()).last.frame());
    });
}
