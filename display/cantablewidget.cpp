#include "cantablewidget.h"

#include "display/rstanditemmodel.h"

#include <QApplication>
#include <QComboBox>
#include <QGridLayout>
#include <QHash>
#include <QHeaderView>
#include <QLineEdit>
#include <QMetaType>
#include <QPaintEvent>
#include <QPainter>
#include <QPixmap>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTableWidget>
#include <QTextLayout>
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
// Fills the table's viewport with its base colour before the rows are drawn, so that the viewport
// can say it paints every pixel itself: otherwise the style sheet leaves it marked see-through and
// every table repaint also repaints the window, the receive view and the frame behind it.
class OpaqueViewport : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            auto *viewport = static_cast<QWidget *>(watched);
            QPainter painter(viewport);
            painter.fillRect(static_cast<QPaintEvent *>(event)->rect(),
                             viewport->palette().brush(viewport->backgroundRole()));
        }
        return false;
    }
};
// Draws the cells of columns whose texts repeat (row number, channel, identifier, type,
// direction, length) from pictures of cells drawn before: the table is redrawn whole on every
// refresh tick, and laying the same short texts out again each time was most of the GUI thread's
// work under traffic. A picture is the plain delegate's drawing over the viewport's base colour,
// so the cell looks exactly as it would. Times and data rarely repeat and are drawn as before.
class CachedCellDelegate : public QStyledItemDelegate
{
public:
    explicit CachedCellDelegate(QWidget *viewport, QObject *parent)
        : QStyledItemDelegate(parent)
        , m_viewport(viewport)
    {
    }

    void clear() { m_cache.clear(); }

    void paint(QPainter *painter,
               const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
    {
        const int column = index.column();
        if (column == 1 || column == RstandItemModel::ColumnCount - 1) {
            drawCell(painter, option, index);
            return;
        }
        const Key key { index.data(Qt::DisplayRole).toString(), option.rect.size(),
                        int(option.state), column };
        auto found = m_cache.constFind(key);
        if (found == m_cache.constEnd()) {
            if (m_cache.size() >= MaxCells)
                m_cache.clear();
            const qreal ratio = painter->device()->devicePixelRatioF();
            QPixmap picture(option.rect.size() * ratio);
            picture.setDevicePixelRatio(ratio);
            picture.fill(Qt::transparent);
            {
                QPainter cell(&picture);
                cell.fillRect(QRect(QPoint(0, 0), option.rect.size()),
                              m_viewport->palette().brush(m_viewport->backgroundRole()));
                QStyleOptionViewItem at(option);
                at.rect.moveTo(0, 0);
                drawCell(&cell, at, index);
            }
            found = m_cache.insert(key, picture);
        }
        painter->drawPixmap(option.rect.topLeft(), *found);
    }

private:
    // A plain text cell, laid out once; the style lays it out three times (size, eliding,
    // drawing). Everything else, and a text that does not fit, goes the style's way.
    void
    drawCell(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
    {
        QStyleOptionViewItem opt(option);
        initStyleOption(&opt, index);
        const QWidget *widget = opt.widget;
        const QStyle *style = widget ? widget->style() : QApplication::style();
        const QStyleOptionViewItem::ViewItemFeatures plain
            = QStyleOptionViewItem::HasDisplay | QStyleOptionViewItem::WrapText;
        if ((opt.features & ~plain) != 0 || opt.backgroundBrush.style() != Qt::NoBrush
            || (opt.state
                & (QStyle::State_Selected | QStyle::State_Editing | QStyle::State_HasFocus
                   | QStyle::State_MouseOver))) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
        const QRect textRect = opt.rect.adjusted(margin, 0, -margin, 0);
        QTextOption textOption;
        textOption.setWrapMode(opt.features & QStyleOptionViewItem::WrapText
                                   ? QTextOption::WordWrap
                                   : QTextOption::ManualWrap);
        textOption.setTextDirection(opt.direction);
        textOption.setAlignment(QStyle::visualAlignment(opt.direction, opt.displayAlignment));
        // A text that fits on one line is drawn the same whether it could wrap or not.
        QTextLayout layout(opt.text, opt.font);
        layout.setTextOption(textOption);
        layout.beginLayout();
        QTextLine line = layout.createLine();
        if (!line.isValid()) {
            layout.endLayout();
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        line.setLineWidth(textRect.width());
        line.setPosition(QPointF(0, 0));
        const bool oneLine = !layout.createLine().isValid();
        layout.endLayout();
        if (!oneLine || line.naturalTextWidth() > textRect.width()) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        const QRect layoutRect
            = QStyle::alignedRect(opt.direction, opt.displayAlignment & Qt::AlignVertical_Mask,
                                  QSize(textRect.width(), int(line.height())), textRect);
        QPalette::ColorGroup group
            = opt.state & QStyle::State_Enabled ? QPalette::Normal : QPalette::Disabled;
        if (group == QPalette::Normal && !(opt.state & QStyle::State_Active))
            group = QPalette::Inactive;
        painter->save();
        painter->setClipRect(opt.rect);
        painter->setPen(opt.palette.color(group, QPalette::Text));
        layout.draw(painter, QPointF(textRect.x(), layoutRect.top()));
        painter->restore();
    }

    struct Key
    {
        QString text;
        QSize size;
        int state;
        int column;
        bool operator==(const Key &other) const
        {
            return text == other.text && size == other.size && state == other.state
                && column == other.column;
        }
    };
    friend uint qHash(const Key &key, uint seed)
    {
        return qHash(key.text, seed) ^ uint(key.size.width() * 31 + key.size.height())
            ^ uint(key.state << 8) ^ uint(key.column);
    }
    // A few screens of distinct texts (a picture is a few kB); beyond that they start afresh.
    static constexpr int MaxCells = 512;
    QWidget *m_viewport;
    mutable QHash<Key, QPixmap> m_cache;
};

// Font, palette or style changes make the stored cell pictures stale.
class CellCacheReset : public QObject
{
public:
    CellCacheReset(CachedCellDelegate *delegate, QObject *parent)
        : QObject(parent)
        , m_delegate(delegate)
    {
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::FontChange:
        case QEvent::PaletteChange:
        case QEvent::StyleChange:
        case QEvent::EnabledChange:
        case QEvent::ScreenChangeInternal:
            m_delegate->clear();
            break;
        default:
            break;
        }
        return false;
    }

private:
    CachedCellDelegate *m_delegate;
};
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
    // A reset lays the rows out at once, so the one repaint it asks for already shows them; the
    // view's own delayed layout would repaint the whole table a second time every tick.
    connect(m_model, &QAbstractItemModel::modelReset, tableView,
            [this] { tableView->doItemsLayout(); });

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
    tableView->viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    tableView->viewport()->installEventFilter(new OpaqueViewport(tableView));
    auto *delegate = new CachedCellDelegate(tableView->viewport(), tableView);
    tableView->setItemDelegate(delegate);
    tableView->installEventFilter(new CellCacheReset(delegate, tableView));
    tableView->viewport()->installEventFilter(new CellCacheReset(delegate, tableView));
    // Rows never change height; a reset with 100000 rows then measures nothing per row.
    tableView->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    for (int c = 0; c < RstandItemModel::ColumnCount; ++c)
        tableView->setColumnWidth(c, ViewWidths[c]);
    tableView->horizontalHeader()->setStretchLastSection(true);
}
