#include "signalwatch.h"

#include "candb/signalcsvwriter.h"
#include "display/signalhistory.h"
#include "display/signalwatchmodel.h"

#include <QApplication>
#include <QEvent>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSaveFile>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

SignalWatch::SignalWatch(SignalStore *store,
                         DatabaseSet *databases,
                         HistorySource history,
                         QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_store(store)
    , m_databases(databases)
    , m_history(std::move(history))
    , m_model(new SignalWatchModel(store, this))
    , m_proxy(new QSortFilterProxyModel(this))
    , m_filter(new QLineEdit(this))
    , m_plot(new QPushButton(this))
    , m_export(new QPushButton(this))
    , m_table(new QTableView(this))
    , m_status(new QLabel(this))
    , m_timer(new QTimer(this))
{
    setObjectName(QStringLiteral("SignalWatch"));
    m_filter->setObjectName(QStringLiteral("signalFilter"));
    m_filter->setClearButtonEnabled(true);
    m_plot->setObjectName(QStringLiteral("plotSignals"));
    m_export->setObjectName(QStringLiteral("exportSignals"));
    m_table->setObjectName(QStringLiteral("signalTable"));

    m_proxy->setSourceModel(m_model);
    m_proxy->setFilterRole(SignalWatchModel::FilterRole);
    m_proxy->setFilterKeyColumn(SignalWatchModel::Signal);
    m_proxy->setFilterCaseSensitivity(Qt::CaseInsensitive);
    m_table->setModel(m_proxy);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSortingEnabled(true);
    m_table->sortByColumn(-1, Qt::AscendingOrder);
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->setAlternatingRowColors(true);

    auto *bar = new QHBoxLayout;
    bar->addWidget(m_filter, 1);
    bar->addWidget(m_plot);
    bar->addWidget(m_export);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(m_table, 1);
    layout->addWidget(m_status);

    connect(m_filter, &QLineEdit::textChanged, m_proxy,
            &QSortFilterProxyModel::setFilterFixedString);
    connect(m_plot, &QPushButton::clicked, this, [this] {
        const QVector<SignalKey> keys = pickedSignals();
        if (!keys.isEmpty())
            emit plotRequested(keys);
    });
    connect(m_table, &QTableView::doubleClicked, this, [this](const QModelIndex &index) {
        emit plotRequested({ m_model->keyAt(m_proxy->mapToSource(index).row()) });
    });
    connect(m_export, &QPushButton::clicked, this, &SignalWatch::askExport);
    m_timer->setInterval(RefreshMs);
    connect(m_timer, &QTimer::timeout, this, &SignalWatch::refresh);
    connect(m_databases, &DatabaseSet::changed, this, &SignalWatch::refresh);

    retranslate();
    resize(820, 480);
}

void SignalWatch::retranslate()
{
    setWindowTitle(tr("信号监视"));
    m_filter->setPlaceholderText(tr("按名称过滤（信号或报文）"));
    m_plot->setText(tr("绘制曲线"));
    m_plot->setToolTip(tr("在曲线窗口中绘制选中的信号（双击一行也可）"));
    m_export->setText(tr("导出CSV…"));
    m_export->setToolTip(tr("把选中信号（未选中时为显示的全部信号）的历史数据导出为CSV"));
    m_model->headerDataChanged(Qt::Horizontal, 0, SignalWatchModel::ColumnCount - 1);
    refresh();
}

void SignalWatch::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QWidget::changeEvent(event);
}

void SignalWatch::showEvent(QShowEvent *event)
{
    refresh();
    m_timer->start();
    QWidget::showEvent(event);
}

void SignalWatch::hideEvent(QHideEvent *event)
{
    // Nothing to follow while nobody looks.
    m_timer->stop();
    QWidget::hideEvent(event);
}

void SignalWatch::refresh()
{
    const bool wasEmpty = m_model->rowCount() == 0;
    m_model->refresh();
    // Columns fit the first rows; after that the user's widths stay.
    if (wasEmpty && m_model->rowCount() > 0)
        m_table->resizeColumnsToContents();
    if (m_databases->snapshot()->isEmpty())
        m_status->setText(tr("未加载数据库：请先添加DBC数据库，才能解码信号。"));
    else
        m_status->setText(tr("%n 个信号", nullptr, m_model->rowCount()));
}

QVector<SignalKey> SignalWatch::pickedSignals() const
{
    QVector<SignalKey> keys;
    QModelIndexList rows = m_table->selectionModel()->selectedRows();
    if (rows.isEmpty()) {
        for (int row = 0; row < m_proxy->rowCount(); ++row)
            rows << m_proxy->index(row, 0);
    }
    for (const QModelIndex &index : qAsConst(rows))
        keys << m_model->keyAt(m_proxy->mapToSource(index).row());
    return keys;
}

void SignalWatch::askExport()
{
    const QVector<SignalKey> keys = pickedSignals();
    if (keys.isEmpty()) {
        QMessageBox::information(this, windowTitle(), tr("没有可导出的信号。"));
        return;
    }
    const QString wide = tr("宽表：每个时间一行，每个信号一列 (*.csv)");
    const QString narrow = tr("长表：time,channel,message,signal,value,unit (*.csv)");
    QString filter = wide;
    QString path = QFileDialog::getSaveFileName(this, tr("导出信号为CSV"), QString(),
                                                wide + QStringLiteral(";;") + narrow, &filter);
    if (path.isEmpty())
        return;
    if (!path.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive))
        path += QStringLiteral(".csv");
    exportCsv(path, keys, filter != narrow);
}

bool SignalWatch::exportCsv(const QString &path, const QVector<SignalKey> &keys, bool wide)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const QHash<SignalKey, QVector<SignalSample>> series
        = SignalHistory::decode(m_databases, m_history ? m_history() : CanRecordBuffer(), keys);
    QHash<SignalKey, SignalState> states;
    for (const SignalState &state : m_store->states())
        states.insert(state.key, state);
    QVector<SignalCsvWriter::Column> columns;
    for (const SignalKey &key : keys) {
        const SignalState state = states.value(key);
        columns.append({ key, state.messageName, state.unit, series.value(key) });
    }
    QSaveFile file(path);
    const bool ok = file.open(QIODevice::WriteOnly)
        && SignalCsvWriter::write(&file, wide ? SignalCsvWriter::Wide : SignalCsvWriter::Long,
                                  columns)
        && file.commit();
    QApplication::restoreOverrideCursor();
    if (!ok)
        QMessageBox::warning(this, windowTitle(),
                             tr("无法写入文件 %1：%2").arg(path, file.errorString()));
    return ok;
}
