#include "cantablewidget.h"

#include "display/framesignaldetail.h"
#include "display/rstanditemmodel.h"

#include <QApplication>
#include <QComboBox>
#include <QGlyphRun>
#include <QGridLayout>
#include <QHash>
#include <QHeaderView>
#include <QLineEdit>
#include <QMetaType>
#include <QPaintEvent>
#include <QPainter>
#include <QPixmap>
#include <QRawFont>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTableWidget>
#include <QTextLayout>
#include <QVector>

#include <algorithm>
#include <functional>
#include <memory>

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
// Lays texts of digits, hex letters and time punctuation out from a table of glyphs and of the
// step from each character to the next, skipping the shaping a text layout does each time: times,
// data and row numbers differ in every row, and shaping them again on every repaint was the larger
// part of drawing the table. A font may kern pairs, so the table is read off a text layout of every
// sequence of three such characters, once per font, and used only if each step depends on the pair
// alone; the glyphs and their positions are then those of a layout, and so is every pixel drawn.
class PlainGlyphs
{
public:
    explicit PlainGlyphs(const QFont &font)
        : m_font(font)
    {
        const QRawFont raw = QRawFont::fromFont(font);
        if (!raw.isValid())
            return;
        std::fill(std::begin(m_index), std::end(m_index), -1);
        for (int i = 0; i < Count; ++i)
            m_index[uchar(Characters[i])] = qint8(i);
        for (qreal(&row)[Count] : m_step)
            std::fill(std::begin(row), std::end(row), -1.0);
        // Each character alone: where it starts and how wide it is at the end of a text.
        for (int i = 0; i < Count; ++i) {
            QGlyphRun run;
            qreal width = 0;
            if (!shape(font, raw, QString(QLatin1Char(Characters[i])), run, width)
                || run.positions().first().x() != 0)
                return;
            m_glyph[i] = run.glyphIndexes().first();
            m_lastWidth[i] = width;
        }
        // Every sequence of three, each once (a de Bruijn sequence), so that each pair is seen
        // after every character.
        QString probe;
        QVector<int> digits(3 * Count, 0);
        std::function<void(int, int)> build = [&](int t, int p) {
            if (t > 3) {
                if (3 % p == 0) {
                    for (int j = 1; j <= p; ++j)
                        probe.append(QLatin1Char(Characters[digits[j]]));
                }
                return;
            }
            digits[t] = digits[t - p];
            build(t + 1, p);
            for (int j = digits[t - p] + 1; j < Count; ++j) {
                digits[t] = j;
                build(t + 1, t);
            }
        };
        build(1, 1);
        probe.append(probe.left(2));
        QGlyphRun run;
        qreal width = 0;
        if (!shape(font, raw, probe, run, width))
            return;
        const QVector<quint32> glyphs = run.glyphIndexes();
        const QVector<QPointF> positions = run.positions();
        for (int i = 0; i + 1 < probe.size(); ++i) {
            const int a = m_index[probe.at(i).unicode()];
            const int b = m_index[probe.at(i + 1).unicode()];
            const qreal step = positions.at(i + 1).x() - positions.at(i).x();
            if (glyphs.at(i) != m_glyph[a] || positions.at(i).y() != positions.first().y()
                || (m_step[a][b] >= 0 && m_step[a][b] != step))
                return;
            m_step[a][b] = step;
        }
        m_raw = raw;
        m_ascent = positions.first().y();
        m_usable = true;
    }

    const QFont &font() const { return m_font; }
    qreal height() const { return m_height; }
    qreal ascent() const { return m_ascent; }

    // Fills `run` with the glyphs of `text`, the first at x = 0 on the baseline, and gives the
    // width a layout would; false when a character is not in the table, or the text ends in a
    // space, which a layout leaves out of the width.
    bool layOut(const QString &text, QGlyphRun &run, qreal &width) const
    {
        if (!m_usable || text.isEmpty() || text.endsWith(QLatin1Char(' ')))
            return false;
        QVector<quint32> glyphs(text.size());
        QVector<QPointF> positions(text.size());
        qreal x = 0;
        int previous = -1;
        for (int i = 0; i < text.size(); ++i) {
            const ushort c = text.at(i).unicode();
            const int at = c < 128 ? m_index[c] : -1;
            if (at < 0)
                return false;
            if (previous >= 0)
                x += m_step[previous][at];
            glyphs[i] = m_glyph[at];
            positions[i] = QPointF(x, 0);
            previous = at;
        }
        run.setRawFont(m_raw);
        run.setGlyphIndexes(glyphs);
        run.setPositions(positions);
        width = x + m_lastWidth[previous];
        return true;
    }

private:
    // One line of `text` laid out as a cell would, as a single run of the font's own glyphs.
    bool
    shape(const QFont &font, const QRawFont &raw, const QString &text, QGlyphRun &run, qreal &width)
    {
        QTextLayout layout(text, font);
        layout.beginLayout();
        QTextLine line = layout.createLine();
        layout.endLayout();
        const QList<QGlyphRun> runs = layout.glyphRuns();
        if (!line.isValid() || runs.size() != 1 || runs.first().rawFont() != raw
            || runs.first().glyphIndexes().size() != text.size())
            return false;
        run = runs.first();
        width = line.naturalTextWidth();
        m_height = line.height();
        return true;
    }

    static constexpr char Characters[] = "0123456789ABCDEFabcdefx:. ";
    static constexpr int Count = int(sizeof(Characters)) - 1;
    QFont m_font;
    QRawFont m_raw;
    bool m_usable = false;
    qreal m_ascent = 0;
    qreal m_height = 0;
    qint8 m_index[128];
    quint32 m_glyph[Count] = {};
    qreal m_lastWidth[Count] = {};
    qreal m_step[Count][Count];
};

// Draws the cells of columns whose texts repeat (channel, identifier, type, direction, length)
// from pictures of cells drawn before: the table is redrawn whole on every refresh tick, and
// laying the same short texts out again each time was most of the GUI thread's work under
// traffic. A picture is the plain delegate's drawing over the viewport's base colour, so the cell
// looks exactly as it would. Row numbers, times and data change with every tick and are drawn
// directly, through the glyph table where the font allows.
class CachedCellDelegate : public QStyledItemDelegate
{
public:
    explicit CachedCellDelegate(QWidget *viewport, QObject *parent)
        : QStyledItemDelegate(parent)
        , m_viewport(viewport)
    {
    }

    void clear()
    {
        m_cache.clear();
        m_glyphs.reset();
    }

    void paint(QPainter *painter,
               const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
    {
        const int column = index.column();
        if (column <= 1 || column == RstandItemModel::ColumnCount - 1) {
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
        QPalette::ColorGroup group
            = opt.state & QStyle::State_Enabled ? QPalette::Normal : QPalette::Disabled;
        if (group == QPalette::Normal && !(opt.state & QStyle::State_Active))
            group = QPalette::Inactive;
        if (opt.direction == Qt::LeftToRight
            && (opt.displayAlignment & Qt::AlignHorizontal_Mask & ~Qt::AlignAbsolute)
                == Qt::AlignLeft
            && painter->transform().type() <= QTransform::TxTranslate) {
            if (!m_glyphs || m_glyphs->font() != opt.font)
                m_glyphs.reset(new PlainGlyphs(opt.font));
            QGlyphRun run;
            qreal width = 0;
            if (m_glyphs->layOut(opt.text, run, width)) {
                if (width > textRect.width()) {
                    QStyledItemDelegate::paint(painter, option, index);
                    return;
                }
                const QRect layoutRect = QStyle::alignedRect(
                    opt.direction, opt.displayAlignment & Qt::AlignVertical_Mask,
                    QSize(textRect.width(), int(m_glyphs->height())), textRect);
                painter->save();
                painter->setClipRect(opt.rect);
                painter->setPen(opt.palette.color(group, QPalette::Text));
                painter->drawGlyphRun(QPointF(textRect.x(), layoutRect.top() + m_glyphs->ascent()),
                                      run);
                painter->restore();
                return;
            }
        }
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
    mutable std::unique_ptr<PlainGlyphs> m_glyphs;
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
    detail = new FrameSignalDetail(this);
    m_layout->addWidget(detail, 3, 0);
    connect(tableView, &QTableView::clicked, detail, [this](const QModelIndex &index) {
        if (const CanRecord *record = m_model->record(index.row()))
            detail->showFrame(record->frame());
    });

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
