#include "signalplot.h"

#include "candb/signalcsvwriter.h"
#include "display/signalhistory.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QSaveFile>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <qcustomplot.h>

#include <cmath>

namespace {
const QColor Colours[]
    = { QColor(0x1f, 0x77, 0xb4), QColor(0xd6, 0x27, 0x28), QColor(0x2c, 0xa0, 0x2c),
        QColor(0xff, 0x7f, 0x0e), QColor(0x94, 0x67, 0xbd), QColor(0x8c, 0x56, 0x4b),
        QColor(0xe3, 0x77, 0xc2), QColor(0x7f, 0x7f, 0x7f), QColor(0xbc, 0xbd, 0x22),
        QColor(0x17, 0xbe, 0xcf) };

QToolButton *toolButton(QWidget *parent, const char *name, bool checkable)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setCheckable(checkable);
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    return button;
}
} // namespace

SignalPlot::SignalPlot(SignalStore *store,
                       DatabaseSet *databases,
                       HistorySource history,
                       QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_store(store)
    , m_databases(databases)
    , m_history(std::move(history))
    , m_plot(new QCustomPlot(this))
    , m_margins(new QCPMarginGroup(m_plot))
    , m_follow(toolButton(this, "followLive", true))
    , m_freeze(toolButton(this, "freeze", true))
    , m_fit(toolButton(this, "fitAll", false))
    , m_clear(toolButton(this, "removeAll", false))
    , m_png(toolButton(this, "exportPng", false))
    , m_csv(toolButton(this, "exportCsv", false))
    , m_cursorLabel(new QLabel(this))
    , m_timer(new QTimer(this))
{
    setObjectName(QStringLiteral("SignalPlot"));
    m_plot->setObjectName(QStringLiteral("signalPlot"));
    m_plot->plotLayout()->clear();
    m_plot->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    m_plot->setNoAntialiasingOnDrag(true);
    m_plot->setMinimumSize(400, 200);
    m_follow->setChecked(true);

    auto *bar = new QHBoxLayout;
    for (QToolButton *button : { m_follow, m_freeze, m_fit, m_clear, m_png, m_csv })
        bar->addWidget(button);
    bar->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(m_plot, 1);
    layout->addWidget(m_cursorLabel);
    m_cursorLabel->setWordWrap(true);
    m_cursorLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);

    connect(m_follow, &QToolButton::toggled, this, [this](bool on) { setFollow(on); });
    connect(m_freeze, &QToolButton::toggled, this, [this](bool on) { setFrozen(on); });
    connect(m_fit, &QToolButton::clicked, this, &SignalPlot::fitAll);
    connect(m_clear, &QToolButton::clicked, this, &SignalPlot::removeAll);
    connect(m_png, &QToolButton::clicked, this, &SignalPlot::askExportPng);
    connect(m_csv, &QToolButton::clicked, this, &SignalPlot::askExportCsv);
    connect(m_plot, &QCustomPlot::mousePress, this, &SignalPlot::onMousePress);
    connect(m_plot, &QCustomPlot::mouseRelease, this, &SignalPlot::onMouseRelease);
    // Looking back in time with the mouse ends following; the toolbar brings it back.
    connect(m_plot, &QCustomPlot::mouseWheel, this, [this] { setFollow(false); });
    connect(m_store, &SignalStore::cleared, this, &SignalPlot::onCleared);
    m_timer->setInterval(RedrawMs);
    connect(m_timer, &QTimer::timeout, this, &SignalPlot::update);
    m_generation = m_store->generation();

    retranslate();
    resize(900, 600);
}

SignalPlot::~SignalPlot()
{
    // History fills still decoding finish first; their results are then dropped with this.
    for (QThread *thread : findChildren<QThread *>())
        thread->wait();
    // Nobody reads the series any more: the store stops keeping them.
    m_store->setTracked({});
    qDeleteAll(m_traces);
}

void SignalPlot::retranslate()
{
    setWindowTitle(tr("信号曲线"));
    m_follow->setText(tr("跟随最新"));
    m_follow->setToolTip(tr("时间轴随最新数据移动；拖动或缩放时间轴会停止跟随"));
    m_freeze->setText(tr("冻结"));
    m_freeze->setToolTip(tr("暂停接收新数据，便于查看；取消冻结后补上期间的数据"));
    m_fit->setText(tr("全部显示"));
    m_clear->setText(tr("移除全部"));
    m_png->setText(tr("导出PNG…"));
    m_csv->setText(tr("导出CSV…"));
    m_csv->setToolTip(tr("把曲线中的数据导出为CSV（每个时间一行，每个信号一列）"));
    relayout();
}

void SignalPlot::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QWidget::changeEvent(event);
}

void SignalPlot::showEvent(QShowEvent *event)
{
    m_timer->start();
    update();
    QWidget::showEvent(event);
}

void SignalPlot::hideEvent(QHideEvent *event)
{
    m_timer->stop();
    QWidget::hideEvent(event);
}

QVector<SignalKey> SignalPlot::plotted() const
{
    QVector<SignalKey> keys;
    for (const Trace *trace : m_traces)
        keys << trace->key;
    return keys;
}

QCPGraph *SignalPlot::graph(const SignalKey &key) const
{
    for (const Trace *trace : m_traces) {
        if (trace->key == key)
            return trace->graph;
    }
    return nullptr;
}

SignalPlot::Trace *SignalPlot::makeTrace(const SignalKey &key)
{
    auto *trace = new Trace;
    trace->key = key;
    const QSharedPointer<const DatabaseSet::Snapshot> snapshot = m_databases->snapshot();
    if (const DatabaseSet::Match match = snapshot->find(key.channel, key.id, key.extended)) {
        trace->messageName = match.message->name;
        const int index = match.message->signalIndex(key.signal);
        if (index >= 0) {
            const DbcSignal &signal = match.message->signalList.at(index);
            trace->unit = signal.unit;
            trace->names = signal.valueNames;
            trace->factor = signal.factor;
            trace->offset = signal.offset;
        }
    }
    const QColor colour = Colours[m_traces.size() % int(sizeof Colours / sizeof Colours[0])];
    trace->rect = new QCPAxisRect(m_plot);
    trace->rect->setRangeDrag(Qt::Horizontal);
    trace->rect->setRangeZoom(Qt::Horizontal);
    trace->rect->setMarginGroup(QCP::msLeft | QCP::msRight, m_margins);
    QCPAxis *time = trace->rect->axis(QCPAxis::atBottom);
    QCPAxis *value = trace->rect->axis(QCPAxis::atLeft);
    value->setBasePen(QPen(colour));
    value->setTickLabelColor(colour);
    value->setPadding(4);
    trace->graph = m_plot->addGraph(time, value);
    // A one-pixel pen: wider ones go through the stroker, many times slower on dense data.
    trace->graph->setPen(QPen(colour, 1));
    trace->graph->setAdaptiveSampling(true);
    if (!trace->names.isEmpty()) {
        // A named signal jumps between states: drawn as steps, its states named on the axis.
        trace->graph->setLineStyle(QCPGraph::lsStepLeft);
        QSharedPointer<QCPAxisTickerText> ticker(new QCPAxisTickerText);
        for (auto it = trace->names.cbegin(); it != trace->names.cend(); ++it)
            ticker->addTick(double(it.key()) * trace->factor + trace->offset, it.value());
        value->setTicker(ticker);
    }
    connect(time, qOverload<const QCPRange &>(&QCPAxis::rangeChanged), this,
            &SignalPlot::syncTimeAxes);

    trace->cursor = new QCPItemStraightLine(m_plot);
    trace->cursor->setClipAxisRect(trace->rect);
    trace->cursor->point1->setAxes(time, value);
    trace->cursor->point2->setAxes(time, value);
    trace->cursor->setPen(QPen(Qt::black, 1, Qt::DashLine));
    trace->cursor->setVisible(m_hasCursor);
    trace->readout = new QCPItemText(m_plot);
    trace->readout->setClipAxisRect(trace->rect);
    trace->readout->position->setType(QCPItemPosition::ptAxisRectRatio);
    trace->readout->position->setAxisRect(trace->rect);
    trace->readout->position->setCoords(0.005, 0.02);
    trace->readout->setPositionAlignment(Qt::AlignLeft | Qt::AlignTop);
    trace->readout->setColor(colour);
    trace->readout->setBrush(QBrush(QColor(255, 255, 255, 210)));
    return trace;
}

void SignalPlot::relayout()
{
    QCPLayoutGrid *layout = m_plot->plotLayout();
    // The rects move to their new rows; take them out first so none is deleted.
    for (Trace *trace : qAsConst(m_traces)) {
        if (trace->rect->layout() == layout)
            layout->take(trace->rect);
    }
    layout->simplify();
    for (int i = 0; i < m_traces.size(); ++i) {
        layout->addElement(i, 0, m_traces.at(i)->rect);
        // One time scale for all: its numbers under the lowest strip only.
        QCPAxis *time = m_traces.at(i)->rect->axis(QCPAxis::atBottom);
        time->setTickLabels(i == m_traces.size() - 1);
        time->setLabel(i == m_traces.size() - 1 ? tr("设备时间 (s)") : QString());
    }
    updateCursorTexts();
}

void SignalPlot::addSignals(const QVector<SignalKey> &keys)
{
    QVector<SignalKey> added;
    for (const SignalKey &key : keys) {
        if (!graph(key) && !added.contains(key))
            added << key;
    }
    if (added.isEmpty())
        return;
    const QCPRange span = m_traces.isEmpty()
        ? QCPRange(0, DefaultSpanSeconds)
        : m_traces.constFirst()->rect->axis(QCPAxis::atBottom)->range();
    for (const SignalKey &key : qAsConst(added))
        m_traces << makeTrace(key);
    relayout();
    syncTimeAxes(span);

    const QVector<SignalKey> all = plotted();
    // The store's series of the new signals start right where the history copy ends.
    CanRecordBuffer history;
    quint64 generation = 0;
    auto track = [this, all, &generation] {
        m_store->setTracked(all);
        generation = m_store->generation();
    };
    if (m_history)
        history = m_history(track);
    else
        track();
    // The history belongs to the store's frames as they are now; what was drawn before may not.
    onCleared();
    if (!history.isEmpty() && generation == m_generation) {
        ++m_backfills;
        DatabaseSet *databases = m_databases;
        // The decoding thread outlives a window closed meanwhile: it reaches the window only
        // through the guard, on the GUI thread, and deletes itself when done. A "Remove all"
        // meanwhile makes its result stale like a newer set of store values does.
        const QPointer<SignalPlot> guard(this);
        const int removals = m_removals;
        QThread *thread = QThread::create([guard, databases, history, added, generation, removals] {
            const QHash<SignalKey, QVector<SignalSample>> series
                = SignalHistory::decode(databases, history, added);
            QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [guard, series, generation, removals] {
                    if (!guard)
                        return;
                    --guard->m_backfills;
                    if (generation == guard->m_generation && removals == guard->m_removals)
                        guard->onBackfill(series);
                },
                Qt::QueuedConnection);
        });
        thread->setObjectName(QStringLiteral("plot history"));
        connect(thread, &QThread::finished, thread, &QObject::deleteLater);
        thread->start(QThread::LowPriority);
    }
    update();
}

void SignalPlot::removeAll()
{
    ++m_removals;
    m_plot->clearItems();
    m_plot->clearGraphs();
    m_plot->plotLayout()->clear();
    qDeleteAll(m_traces);
    m_traces.clear();
    m_store->setTracked({});
    m_hasCursor = false;
    updateCursorTexts();
    m_plot->replot();
}

void SignalPlot::onBackfill(const QHash<SignalKey, QVector<SignalSample>> &series)
{
    for (Trace *trace : qAsConst(m_traces)) {
        const auto it = series.constFind(trace->key);
        if (it != series.constEnd())
            append(*trace, it.value());
    }
    if (follows())
        followNewest();
    updateCursorTexts();
    m_plot->replot(QCustomPlot::rpQueuedReplot);
    emit backfilled();
}

void SignalPlot::append(Trace &trace, const QVector<SignalSample> &samples)
{
    if (samples.isEmpty())
        return;
    QVector<QCPGraphData> data;
    data.reserve(samples.size());
    double low = trace.hasRange ? trace.low : samples.constFirst().value;
    double high = trace.hasRange ? trace.high : samples.constFirst().value;
    for (const SignalSample &sample : samples) {
        data.append(QCPGraphData(sample.time, sample.value));
        low = qMin(low, sample.value);
        high = qMax(high, sample.value);
    }
    // A history fill goes in front of the live values: the container takes it there unsorted.
    const QSharedPointer<QCPGraphDataContainer> container = trace.graph->data();
    container->add(data, true);
    // A long live session keeps as many values as the history holds frames.
    const int maxPoints = m_maxPoints ? qMax(1, m_maxPoints()) : MaxPoints;
    if (container->size() > maxPoints + maxPoints / 10)
        container->removeBefore((container->constBegin() + (container->size() - maxPoints))->key);
    if (!trace.hasRange || low < trace.low || high > trace.high) {
        trace.low = low;
        trace.high = high;
        trace.hasRange = true;
        fitValueAxis(trace);
    }
    m_dirty = true;
}

void SignalPlot::fitValueAxis(Trace &trace)
{
    double margin = (trace.high - trace.low) * 0.08;
    if (margin <= 0)
        margin = qMax(std::abs(trace.high) * 0.1, 1.0);
    trace.rect->axis(QCPAxis::atLeft)->setRange(trace.low - margin, trace.high + margin);
}

void SignalPlot::syncTimeAxes(const QCPRange &range)
{
    if (m_syncing)
        return;
    m_syncing = true;
    for (Trace *trace : qAsConst(m_traces))
        trace->rect->axis(QCPAxis::atBottom)->setRange(range);
    m_syncing = false;
    m_dirty = true;
}

void SignalPlot::followNewest()
{
    bool any = false;
    double newest = 0;
    for (const Trace *trace : qAsConst(m_traces)) {
        const QSharedPointer<QCPGraphDataContainer> data = trace->graph->data();
        if (data->isEmpty())
            continue;
        const double last = (data->constEnd() - 1)->key;
        newest = any ? qMax(newest, last) : last;
        any = true;
    }
    if (!any)
        return;
    const double span = m_traces.constFirst()->rect->axis(QCPAxis::atBottom)->range().size();
    syncTimeAxes(QCPRange(newest - span, newest));
}

void SignalPlot::fitAll()
{
    setFollow(false);
    bool any = false;
    QCPRange all;
    for (const Trace *trace : qAsConst(m_traces)) {
        bool found = false;
        const QCPRange keys = trace->graph->data()->keyRange(found);
        if (!found)
            continue;
        all = any ? QCPRange(qMin(all.lower, keys.lower), qMax(all.upper, keys.upper)) : keys;
        any = true;
    }
    if (!any)
        return;
    if (all.size() <= 0)
        all = QCPRange(all.lower - 0.5, all.upper + 0.5);
    syncTimeAxes(all);
    m_plot->replot();
}

void SignalPlot::update()
{
    if (!isFrozen()) {
        bool grew = false;
        // Twice at most: once more after finding the store emptied since the last look, whose
        // values then belong to other frames.
        for (int pass = 0; pass < 2; ++pass) {
            bool stale = false;
            for (Trace *trace : qAsConst(m_traces)) {
                quint64 generation = 0;
                const QVector<SignalSample> samples
                    = m_store->samples(trace->key, trace->taken, &generation);
                if (generation != m_generation) {
                    stale = true;
                    break;
                }
                if (samples.isEmpty())
                    continue;
                trace->taken += samples.size();
                m_store->forget(trace->key, trace->taken, generation);
                append(*trace, samples);
                grew = true;
            }
            if (!stale)
                break;
            onCleared();
            grew = true;
        }
        if (grew && follows())
            followNewest();
        if (grew && m_hasCursor)
            updateCursorTexts();
    }
    if (m_dirty) {
        m_dirty = false;
        m_plot->replot(QCustomPlot::rpQueuedReplot);
    }
}

void SignalPlot::setFollow(bool on)
{
    if (m_follow->isChecked() != on)
        m_follow->setChecked(on);
    if (on && !isFrozen()) {
        followNewest();
        m_plot->replot(QCustomPlot::rpQueuedReplot);
    }
}

bool SignalPlot::follows() const
{
    return m_follow->isChecked();
}

void SignalPlot::setFrozen(bool on)
{
    if (m_freeze->isChecked() != on)
        m_freeze->setChecked(on);
    if (!on)
        update();
}

bool SignalPlot::isFrozen() const
{
    return m_freeze->isChecked();
}

void SignalPlot::onMousePress(QMouseEvent *event)
{
    m_pressAt = event->pos();
    if (event->button() == Qt::LeftButton)
        setFollow(false);
}

void SignalPlot::onMouseRelease(QMouseEvent *event)
{
    // A click, not a drag, puts the cursor.
    if (event->button() != Qt::LeftButton
        || (event->pos() - m_pressAt).manhattanLength() > QApplication::startDragDistance())
        return;
    for (const Trace *trace : qAsConst(m_traces)) {
        if (trace->rect->rect().contains(event->pos())) {
            setCursor(trace->rect->axis(QCPAxis::atBottom)->pixelToCoord(event->pos().x()));
            return;
        }
    }
}

void SignalPlot::setCursor(double time)
{
    m_hasCursor = true;
    m_cursorTime = time;
    updateCursorTexts();
    m_plot->replot(QCustomPlot::rpQueuedReplot);
}

QString SignalPlot::valueText(const Trace &trace, double value) const
{
    if (!trace.names.isEmpty() && trace.factor != 0) {
        const auto it
            = trace.names.constFind(qint64(std::llround((value - trace.offset) / trace.factor)));
        if (it != trace.names.constEnd())
            return it.value();
    }
    const QString number = QString::number(value, 'g', 10);
    return trace.unit.isEmpty() ? number : number + QLatin1Char(' ') + trace.unit;
}

QStringList SignalPlot::cursorTexts() const
{
    QStringList texts;
    for (const Trace *trace : m_traces) {
        QString text = trace->messageName + QLatin1Char('.') + trace->key.signal;
        if (m_hasCursor) {
            const QSharedPointer<QCPGraphDataContainer> data = trace->graph->data();
            // The value in force at the cursor: the last one at or before it.
            auto it = data->findEnd(m_cursorTime, false);
            text += QStringLiteral(" = ");
            text += it == data->constBegin() ? QStringLiteral("—")
                                             : valueText(*trace, (it - 1)->value);
        }
        texts << text;
    }
    return texts;
}

void SignalPlot::updateCursorTexts()
{
    const QStringList texts = cursorTexts();
    for (int i = 0; i < m_traces.size(); ++i) {
        Trace *trace = m_traces.at(i);
        trace->readout->setText(
            QStringLiteral(" %1  (CH%2) ").arg(texts.at(i)).arg(trace->key.channel));
        trace->cursor->setVisible(m_hasCursor);
        trace->cursor->point1->setCoords(m_cursorTime, 0);
        trace->cursor->point2->setCoords(m_cursorTime, 1);
    }
    if (m_traces.isEmpty())
        m_cursorLabel->setText(tr("在信号监视窗口中选择信号并点击“绘制曲线”。"));
    else if (!m_hasCursor)
        m_cursorLabel->setText(tr("单击曲线放置光标，读取该时刻的值；拖动平移、滚轮缩放时间轴。"));
    else
        m_cursorLabel->setText(tr("光标：%1 s").arg(m_cursorTime, 0, 'f', 4));
    m_dirty = true;
}

void SignalPlot::onCleared()
{
    const quint64 generation = m_store->generation();
    if (generation == m_generation)
        return;
    m_generation = generation;
    for (Trace *trace : qAsConst(m_traces)) {
        trace->graph->data()->clear();
        trace->taken = 0;
        trace->hasRange = false;
    }
    m_hasCursor = false;
    updateCursorTexts();
    m_plot->replot(QCustomPlot::rpQueuedReplot);
}

bool SignalPlot::exportCsv(const QString &path) const
{
    QVector<SignalCsvWriter::Column> columns;
    for (const Trace *trace : m_traces) {
        SignalCsvWriter::Column column { trace->key, trace->messageName, trace->unit, {} };
        const QSharedPointer<QCPGraphDataContainer> data = trace->graph->data();
        column.samples.reserve(data->size());
        for (auto it = data->constBegin(); it != data->constEnd(); ++it)
            column.samples.append(SignalSample { it->key, it->value });
        columns << column;
    }
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly)
        && SignalCsvWriter::write(&file, SignalCsvWriter::Wide, columns) && file.commit();
}

bool SignalPlot::exportPng(const QString &path)
{
    return m_plot->savePng(path);
}

void SignalPlot::askExportPng()
{
    QString path
        = QFileDialog::getSaveFileName(this, tr("导出曲线为PNG"), QString(), tr("PNG图片 (*.png)"));
    if (path.isEmpty())
        return;
    if (!path.endsWith(QLatin1String(".png"), Qt::CaseInsensitive))
        path += QStringLiteral(".png");
    if (!exportPng(path))
        QMessageBox::warning(this, windowTitle(), tr("无法写入文件 %1").arg(path));
}

void SignalPlot::askExportCsv()
{
    QString path = QFileDialog::getSaveFileName(this, tr("导出曲线数据为CSV"), QString(),
                                                tr("CSV文件 (*.csv)"));
    if (path.isEmpty())
        return;
    if (!path.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive))
        path += QStringLiteral(".csv");
    if (!exportCsv(path))
        QMessageBox::warning(this, windowTitle(), tr("无法写入文件 %1").arg(path));
}
