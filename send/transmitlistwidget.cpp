#include "transmitlistwidget.h"
#include "ui_transmitlistwidget.h"

#include "app/settings.h"
#include "display/logloader.h"
#include "display/logopenprogress.h"
#include "protocol/canframe.h"
#include "send/keyboard.h"
#include "send/signalcomposerwindow.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonObject>
#include <QLineEdit>
#include <QPainter>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QStyledItemDelegate>
#include <QTableWidget>

#include <algorithm>

namespace {

// Editors for the table cells that take a choice or a number; text cells are checked after the
// edit, since their rules depend on the row's other cells.
class EntryDelegate : public QStyledItemDelegate
{
public:
    explicit EntryDelegate(QObject *parent)
        : QStyledItemDelegate(parent)
    {
    }

    QWidget *createEditor(QWidget *parent,
                          const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override
    {
        switch (index.column()) {
        case TransmitListWidget::ColChannel:
        case TransmitListWidget::ColType:
        case TransmitListWidget::ColFormat: {
            auto *box = new QComboBox(parent);
            box->addItems(choices(index.column()));
            return box;
        }
        case TransmitListWidget::ColDlc:
        case TransmitListWidget::ColPeriod: {
            auto *spin = new QSpinBox(parent);
            spin->setRange(0,
                           index.column() == TransmitListWidget::ColDlc
                               ? CanFrame::MaxDlc
                               : TransmitListWidget::MaxPeriodMs);
            return spin;
        }
        case TransmitListWidget::ColId: {
            auto *edit = new QLineEdit(parent);
            edit->setValidator(new QRegularExpressionValidator(
                QRegularExpression(QStringLiteral("^[0-9a-fA-F]{0,8}$")), edit));
            return edit;
        }
        case TransmitListWidget::ColData: {
            auto *edit = new QLineEdit(parent);
            edit->setValidator(new QRegularExpressionValidator(
                QRegularExpression(QStringLiteral("^[0-9a-fA-F ]{0,23}$")), edit));
            return edit;
        }
        default:
            return QStyledItemDelegate::createEditor(parent, option, index);
        }
    }

    void setEditorData(QWidget *editor, const QModelIndex &index) const override
    {
        const QString text = index.data().toString();
        if (auto *box = qobject_cast<QComboBox *>(editor))
            box->setCurrentIndex(qMax(0, box->findText(text)));
        else if (auto *spin = qobject_cast<QSpinBox *>(editor))
            spin->setValue(text.toInt());
        else
            QStyledItemDelegate::setEditorData(editor, index);
    }

    void setModelData(QWidget *editor,
                      QAbstractItemModel *model,
                      const QModelIndex &index) const override
    {
        if (auto *box = qobject_cast<QComboBox *>(editor))
            model->setData(index, box->currentText());
        else if (auto *spin = qobject_cast<QSpinBox *>(editor))
            model->setData(index, QString::number(spin->value()));
        else
            QStyledItemDelegate::setModelData(editor, model, index);
    }

private:
    QStringList choices(int column) const
    {
        switch (column) {
        case TransmitListWidget::ColChannel:
            return { TransmitListWidget::tr("通道1"), TransmitListWidget::tr("通道2") };
        case TransmitListWidget::ColType:
            return { TransmitListWidget::tr("标准帧"), TransmitListWidget::tr("扩展帧") };
        default:
            return { TransmitListWidget::tr("数据帧"), TransmitListWidget::tr("远程帧") };
        }
    }
};

QString hexId(quint32 id, bool extended)
{
    return QStringLiteral("%1").arg(id, extended ? 8 : 3, 16, QLatin1Char('0')).toUpper();
}

} // namespace

TransmitListWidget::TransmitListWidget(QWidget *parent)
    : QWidget(parent)
{
    m_listScheduler = new TransmitListScheduler;
    m_replayScheduler = new TransmitListScheduler;
    connect(m_listScheduler, &TransmitListScheduler::signal_report, this,
            &TransmitListWidget::onListReport);
    connect(m_replayScheduler, &TransmitListScheduler::signal_report, this,
            &TransmitListWidget::onReplayReport);
    buildUi();

    // Logs are read on the receive view's loader, but into numbers only: a replay needs none of
    // the display texts, and a million frames then stay a few tens of megabytes.
    m_loader = new LogLoader(nullptr, this);
    m_loader->setFrameLimit(MaxReplayFrames);
    connect(m_loader, &LogLoader::finished, this, &TransmitListWidget::onReplayLogLoaded);

    QVector<TransmitEntry> kept;
    if (fromJson(readSetting(QLatin1String(SettingsKey)).toByteArray(), &kept))
        setEntries(kept);
}

TransmitListWidget::~TransmitListWidget()
{
    m_listScheduler->release();
    m_replayScheduler->release();
    delete ui;
}

void TransmitListWidget::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event)
    QPainter painter(this);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(QStringLiteral("#ffffff")));
    painter.drawRect(rect());
}

void TransmitListWidget::buildUi()
{
    ui = new Ui::TransmitListWidget;
    ui->setupUi(this);
    m_table = ui->transmitTable;
    m_add = ui->listAdd;
    m_copy = ui->listCopy;
    m_remove = ui->listRemove;
    m_matrix = ui->listMatrix;
    m_save = ui->listSave;
    m_load = ui->listLoad;
    m_startList = ui->listStart;
    m_listState = ui->listState;
    m_replayFile = ui->replayFile;
    m_chooseLog = ui->replayChoose;
    m_useOpened = ui->replayUseOpened;
    m_map[0] = ui->replayMap1;
    m_map[1] = ui->replayMap2;
    m_speed = ui->replaySpeed;
    m_fast = ui->replayFast;
    m_loops = ui->replayLoops;
    m_progress = ui->replayProgress;
    m_play = ui->replayPlay;
    m_pause = ui->replayPause;
    m_replayState = ui->replayState;
    ui->replayMapLabel1->setText(tr("日志通道%1 →").arg(1));
    ui->replayMapLabel2->setText(tr("日志通道%1 →").arg(2));

    m_table->setColumnCount(ColumnCount);
    m_table->setItemDelegate(new EntryDelegate(this));
    const int widths[ColumnCount] = { 40, 90, 76, 80, 80, 64, 44, 0, 86, 64, 120 };
    for (int column = 0; column < ColumnCount; ++column) {
        if (widths[column] > 0)
            m_table->setColumnWidth(column, widths[column]);
    }
    m_table->horizontalHeader()->setSectionResizeMode(ColData, QHeaderView::Stretch);
    connect(m_table, &QTableWidget::itemChanged, this, &TransmitListWidget::onItemChanged);
    // A double click edits a cell in place; on the data it opens the data matrix instead, and the
    // data can still be typed after selecting the cell.
    connect(m_table, &QTableWidget::cellDoubleClicked, this, [this](int row, int column) {
        if (m_listRunning)
            return;
        if (column == ColData)
            openDataMatrix(row);
        else if (QTableWidgetItem *item = m_table->item(row, column); item && column != ColEnabled)
            m_table->editItem(item);
    });

    connect(m_add, &QPushButton::clicked, this, [this] { addEntry(TransmitEntry()); });
    // An entry built from a database message's signal values.
    auto *fromDatabase = new QPushButton(tr("从数据库..."), this);
    fromDatabase->setObjectName(QStringLiteral("listFromDatabase"));
    fromDatabase->setStyleSheet(m_add->styleSheet());
    ui->listButtons->insertWidget(ui->listButtons->indexOf(m_copy), fromDatabase);
    connect(fromDatabase, &QPushButton::clicked, this, [this] {
        auto *composer = findChild<SignalComposerWindow *>();
        if (!composer) {
            composer = new SignalComposerWindow(this);
            connect(composer, &SignalComposerWindow::entryComposed, this,
                    &TransmitListWidget::addEntry);
        }
        composer->showNormal();
    });
    connect(m_copy, &QPushButton::clicked, this, [this] {
        const int row = m_table->currentRow();
        if (row >= 0 && row < m_entries.size())
            addEntry(m_entries.at(row));
    });
    connect(m_remove, &QPushButton::clicked, this, [this] {
        const int row = m_table->currentRow();
        if (row < 0 || row >= m_entries.size())
            return;
        m_entries.remove(row);
        m_table->removeRow(row);
        storeInSettings();
    });
    connect(m_matrix, &QPushButton::clicked, this,
            [this] { openDataMatrix(m_table->currentRow()); });
    connect(m_save, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getSaveFileName(this, tr("保存列表"), QString(),
                                                          tr("发送列表 (*.json)"));
        if (!path.isEmpty() && !saveList(path))
            m_listState->setText(tr("无法保存列表"));
    });
    connect(m_load, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getOpenFileName(this, tr("加载列表"), QString(),
                                                          tr("发送列表 (*.json)"));
        if (!path.isEmpty() && !loadList(path))
            m_listState->setText(tr("无法读取列表"));
    });
    connect(m_startList, &QPushButton::clicked, this, [this] {
        if (m_listRunning)
            stopList();
        else
            startList();
    });

    connect(m_fast, &QCheckBox::toggled, m_speed, &QWidget::setDisabled);
    connect(m_chooseLog, &QPushButton::clicked, this, [this] {
        const QString path
            = QFileDialog::getOpenFileName(this, tr("选择日志"), QString(),
                                           tr("日志文件 (*.txt *.log *.asc *.trc);;所有文件 (*)"));
        if (!path.isEmpty())
            openReplayLog(path);
    });
    connect(m_useOpened, &QPushButton::clicked, this, [this] {
        const QString path = m_openedLog ? m_openedLog() : QString();
        if (path.isEmpty())
            m_replayState->setText(tr("接收视图未打开日志"));
        else
            openReplayLog(path);
    });
    connect(m_play, &QPushButton::clicked, this, [this] {
        if (m_replayRunning)
            stopReplay();
        else
            startReplay();
    });
    connect(m_pause, &QPushButton::clicked, this, [this] {
        m_replayPaused = !m_replayPaused;
        m_pause->setText(m_replayPaused ? tr("继续") : tr("暂停"));
        m_replayScheduler->setPaused(m_replayPaused);
    });
}

QString TransmitListWidget::channelText(int channel) const
{
    return channel == 2 ? tr("通道2") : tr("通道1");
}

QString TransmitListWidget::typeText(bool extended) const
{
    return extended ? tr("扩展帧") : tr("标准帧");
}

QString TransmitListWidget::formatText(bool remote) const
{
    return remote ? tr("远程帧") : tr("数据帧");
}

void TransmitListWidget::setEntries(const QVector<TransmitEntry> &list)
{
    m_entries = list;
    m_filling = true;
    m_table->setRowCount(m_entries.size());
    for (int row = 0; row < m_entries.size(); ++row)
        fillRow(row);
    m_filling = false;
    storeInSettings();
}

void TransmitListWidget::addEntry(const TransmitEntry &entry)
{
    if (m_listRunning)
        return;
    m_entries.append(entry);
    m_filling = true;
    m_table->setRowCount(m_entries.size());
    fillRow(m_entries.size() - 1);
    m_filling = false;
    m_table->setCurrentCell(m_entries.size() - 1, ColId);
    storeInSettings();
}

void TransmitListWidget::openDataMatrix(int row)
{
    if (row < 0 || row >= m_entries.size() || m_listRunning)
        return;
    auto *editor = new KeyBoard(this, m_entries.at(row).dlc);
    connect(editor, &KeyBoard::signal_transResult, this, [this, row](QString &text) {
        if (row < m_table->rowCount() && !m_listRunning)
            m_table->item(row, ColData)->setText(text);
    });
    editor->show();
}

double TransmitListWidget::requestedRate(const QVector<TransmitEntry> &list)
{
    double rate = 0;
    for (const TransmitEntry &e : list) {
        if (e.enabled && e.periodMs > 0)
            rate += 1000.0 / e.periodMs;
    }
    return rate;
}

void TransmitListWidget::fillRow(int row)
{
    const bool wasFilling = m_filling;
    m_filling = true;
    const TransmitEntry &e = m_entries.at(row);
    const auto cell = [&](int column, const QString &text) {
        QTableWidgetItem *item = m_table->item(row, column);
        if (!item) {
            item = new QTableWidgetItem;
            m_table->setItem(row, column, item);
        }
        item->setText(text);
        return item;
    };
    QTableWidgetItem *enabled = cell(ColEnabled, QString());
    enabled->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    enabled->setCheckState(e.enabled ? Qt::Checked : Qt::Unchecked);
    cell(ColName, e.name);
    cell(ColChannel, channelText(e.channel));
    cell(ColId, hexId(e.id, e.extended));
    cell(ColType, typeText(e.extended));
    cell(ColFormat, formatText(e.remote));
    cell(ColDlc, QString::number(e.dlc));
    cell(ColData, e.remote ? QString() : dataText(e.data, e.dlc));
    cell(ColPeriod, QString::number(e.periodMs));
    for (int column : { ColCount, ColResult }) {
        QTableWidgetItem *item = cell(
            column, m_table->item(row, column) ? m_table->item(row, column)->text() : QString());
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    }
    m_filling = wasFilling;
}

quint32 TransmitListWidget::boundedId(const QString &text, bool extended, quint32 previous)
{
    if (text.isEmpty())
        return 0;
    bool ok = false;
    const quint32 value = text.toUInt(&ok, 16);
    if (!ok)
        return previous;
    // Leading zeros count too, as on the send panel.
    if (!extended && (value > CanFrame::MaxStandardId || text.size() > 3))
        return CanFrame::MaxStandardId;
    if (extended && (value > CanFrame::MaxExtendedId || text.size() > 8))
        return CanFrame::MaxExtendedId;
    return value;
}

bool TransmitListWidget::parseData(const QString &text, QByteArray *data)
{
    QString digits = text;
    digits.remove(QLatin1Char(' '));
    static const QRegularExpression hexOnly(QStringLiteral("^[0-9a-fA-F]*$"));
    if (!hexOnly.match(digits).hasMatch() || digits.size() > 2 * CanFrame::DataSize)
        return false;
    while (digits.size() < 2 * CanFrame::DataSize)
        digits += QLatin1Char('0');
    QByteArray bytes(CanFrame::DataSize, '\0');
    for (int i = 0; i < CanFrame::DataSize; ++i)
        bytes[i] = char(digits.midRef(2 * i, 2).toUInt(nullptr, 16));
    *data = bytes;
    return true;
}

QString TransmitListWidget::dataText(const QByteArray &data, int dlc)
{
    QStringList bytes;
    for (int i = 0; i < qMin(dlc, int(data.size())); ++i)
        bytes << QStringLiteral("%1").arg(quint8(data.at(i)), 2, 16, QLatin1Char('0')).toUpper();
    return bytes.join(QLatin1Char(' '));
}

void TransmitListWidget::onItemChanged(QTableWidgetItem *item)
{
    if (m_filling)
        return;
    const int row = item->row();
    if (row < 0 || row >= m_entries.size())
        return;
    TransmitEntry &e = m_entries[row];
    const QString text = item->text().trimmed();
    switch (item->column()) {
    case ColEnabled:
        e.enabled = item->checkState() == Qt::Checked;
        break;
    case ColName:
        e.name = text.left(20);
        break;
    case ColChannel:
        e.channel = text == tr("通道2") ? 2 : 1;
        break;
    case ColId:
        e.id = boundedId(text, e.extended, e.id);
        break;
    case ColType:
        e.extended = text == tr("扩展帧");
        // Back to standard: an extended identifier is cut to the largest standard one.
        e.id = boundedId(QString::number(e.id, 16), e.extended, e.id);
        break;
    case ColFormat:
        e.remote = text == tr("远程帧");
        break;
    case ColDlc:
        e.dlc = qBound(0, text.toInt(), CanFrame::MaxDlc);
        break;
    case ColData: {
        QByteArray data;
        if (parseData(text, &data))
            e.data = data;
        break;
    }
    case ColPeriod:
        e.periodMs = qBound(0, text.toInt(), MaxPeriodMs);
        break;
    default:
        return;
    }
    fillRow(row);
    storeInSettings();
}

void TransmitListWidget::storeInSettings() const
{
    writeSetting(QLatin1String(SettingsKey), toJson(m_entries).toJson(QJsonDocument::Compact));
}

QJsonDocument TransmitListWidget::toJson(const QVector<TransmitEntry> &list)
{
    QJsonArray frames;
    for (const TransmitEntry &e : list) {
        QJsonObject o;
        o.insert(QStringLiteral("enabled"), e.enabled);
        o.insert(QStringLiteral("name"), e.name);
        o.insert(QStringLiteral("channel"), e.channel);
        o.insert(QStringLiteral("id"), QString::number(e.id, 16).toUpper());
        o.insert(QStringLiteral("extended"), e.extended);
        o.insert(QStringLiteral("remote"), e.remote);
        o.insert(QStringLiteral("dlc"), e.dlc);
        o.insert(QStringLiteral("data"), dataText(e.data, CanFrame::DataSize));
        o.insert(QStringLiteral("periodMs"), e.periodMs);
        frames.append(o);
    }
    QJsonObject root;
    root.insert(QStringLiteral("frames"), frames);
    return QJsonDocument(root);
}

bool TransmitListWidget::fromJson(const QByteArray &json, QVector<TransmitEntry> *list)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return false;
    const QJsonValue framesValue = doc.object().value(QStringLiteral("frames"));
    if (!framesValue.isArray())
        return false;
    QVector<TransmitEntry> result;
    for (const QJsonValue &v : framesValue.toArray()) {
        const QJsonObject o = v.toObject();
        TransmitEntry e;
        e.enabled = o.value(QStringLiteral("enabled")).toBool(true);
        e.name = o.value(QStringLiteral("name")).toString().left(20);
        e.channel = o.value(QStringLiteral("channel")).toInt(1) == 2 ? 2 : 1;
        e.extended = o.value(QStringLiteral("extended")).toBool();
        e.remote = o.value(QStringLiteral("remote")).toBool();
        e.id = boundedId(o.value(QStringLiteral("id")).toString(), e.extended, 0);
        e.dlc = qBound(0, o.value(QStringLiteral("dlc")).toInt(8), CanFrame::MaxDlc);
        if (!parseData(o.value(QStringLiteral("data")).toString(), &e.data))
            return false;
        e.periodMs = qBound(0, o.value(QStringLiteral("periodMs")).toInt(100), MaxPeriodMs);
        result.append(e);
    }
    *list = result;
    return true;
}

bool TransmitListWidget::saveList(const QString &path) const
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const QByteArray bytes = toJson(m_entries).toJson();
    return file.write(bytes) == bytes.size() && file.flush();
}

bool TransmitListWidget::loadList(const QString &path)
{
    QFile file(path);
    QVector<TransmitEntry> list;
    if (m_listRunning || !file.open(QIODevice::ReadOnly) || !fromJson(file.readAll(), &list))
        return false;
    setEntries(list);
    return true;
}

bool TransmitListWidget::openReplayLog(const QString &path)
{
    if (m_replayRunning || m_loader->isRunning())
        return false;
    // Made at the first load: a page that never reads a log carries no second window.
    if (!m_openProgress) {
        m_openProgress = new LogOpenProgress(this);
        m_openProgress->setWindowFlags(m_openProgress->windowFlags() | Qt::Window);
        connect(m_openProgress, &LogOpenProgress::cancelRequested, m_loader, &LogLoader::cancel);
        connect(m_loader, &LogLoader::progressChanged, m_openProgress,
                &LogOpenProgress::setProgressValue);
    }
    m_openProgress->start(path);
    m_openProgress->showOver(this);
    enableReplayInputs(false);
    m_replayState->setText(tr("正在读取日志..."));
    m_loader->start(path);
    return true;
}

bool TransmitListWidget::replayLogLoading() const
{
    return m_loader->isRunning();
}

void TransmitListWidget::onReplayLogLoaded(const LogLoadResult &result)
{
    m_openProgress->hide();
    enableReplayInputs(true);
    // A cancelled or failed load keeps the log loaded before.
    if (!result.opened) {
        m_replayState->setText(tr("无法打开日志"));
    } else if (result.cancelled) {
        m_replayState->setText(tr("已取消读取日志"));
    } else if (result.frames.isEmpty()) {
        m_replayState->setText(tr("日志中没有可回放的帧"));
    } else {
        m_replayFrames = result.frames;
        m_replayFile->setText(QFileInfo(result.path).fileName()
                              + tr(" (%1 帧)").arg(m_replayFrames.size()));
        m_replayFile->setToolTip(QDir::toNativeSeparators(result.path));
        m_progress->setRange(0, m_replayFrames.size());
        m_progress->setValue(0);
        QStringList notes;
        if (result.dropped > 0)
            notes << tr("只载入前 %1 帧").arg(result.kept);
        if (result.read.badLines > 0)
            notes << tr("%1 行无法识别，已跳过").arg(result.read.badLines);
        m_replayState->setText(notes.join(tr("，")));
    }
    emit replayLogLoaded(!result.cancelled && !result.frames.isEmpty());
}

void TransmitListWidget::enableReplayInputs(bool enable)
{
    for (QPushButton *b : { m_chooseLog, m_useOpened, m_play })
        b->setEnabled(enable);
}

void TransmitListWidget::setListRunning(bool running)
{
    m_listRunning = running;
    m_startList->setText(running ? tr("停止列表") : tr("启动列表"));
    m_table->setEditTriggers(running ? QAbstractItemView::NoEditTriggers
                                     : QAbstractItemView::EditKeyPressed
                                     | QAbstractItemView::SelectedClicked);
    for (QPushButton *b : { m_add, m_copy, m_remove, m_matrix, m_load })
        b->setEnabled(!running);
    // Check boxes stay clickable in a table without edit triggers.
    for (int row = 0; row < m_table->rowCount(); ++row) {
        QTableWidgetItem *item = m_table->item(row, ColEnabled);
        m_filling = true;
        item->setFlags(running
                           ? Qt::ItemIsSelectable
                           : Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        m_filling = false;
    }
}

void TransmitListWidget::startList()
{
    if (m_listRunning || m_entries.isEmpty())
        return;
    for (int row = 0; row < m_table->rowCount(); ++row) {
        m_filling = true;
        m_table->item(row, ColCount)->setText(QStringLiteral("0"));
        m_table->item(row, ColResult)->setText(QString());
        m_table->item(row, ColResult)->setBackground(QBrush());
        m_filling = false;
    }
    setListRunning(true);
    m_listState->clear();
    m_listScheduler->startList(m_entries);
}

void TransmitListWidget::stopList()
{
    m_listScheduler->stop();
}

void TransmitListWidget::onListReport(const TransmitReport &report)
{
    if (!m_listRunning)
        return;
    m_filling = true;
    for (int row = 0; row < report.entries.size() && row < m_table->rowCount(); ++row) {
        const TransmitEntryStatus &s = report.entries.at(row);
        m_table->item(row, ColCount)->setText(QString::number(s.confirmed));
        QString result;
        switch (s.last) {
        case SendOutcome::Confirmed:
            result = tr("成功");
            break;
        case SendOutcome::Refused:
            result = tr("设备发送失败");
            break;
        case SendOutcome::NoResponse:
            result = tr("设备未响应");
            break;
        case SendOutcome::None:
            break;
        }
        const quint64 failures = s.refused + s.unanswered;
        if (failures > 0)
            result += tr(" (失败 %1)").arg(failures);
        QTableWidgetItem *item = m_table->item(row, ColResult);
        item->setText(result);
        item->setBackground(failures > 0 ? QBrush(QColor(255, 208, 208)) : QBrush());
    }
    m_filling = false;

    QString state = tr("实际速率: %1 帧/秒").arg(report.framesPerSecond, 0, 'f', 0);
    if (report.overloaded) {
        // Entries on period 0 ask for whatever the link carries; only a list without them has a
        // rate it asks for.
        const bool unbounded
            = std::any_of(m_entries.cbegin(), m_entries.cend(),
                          [](const TransmitEntry &e) { return e.enabled && e.periodMs == 0; });
        const double asked = requestedRate(m_entries);
        state = tr("周期要求超出链路能力。") + state;
        if (!unbounded)
            state += tr(" (要求 %1 帧/秒)").arg(asked, 0, 'f', 0);
    }
    m_listState->setText(state);
    m_listState->setStyleSheet(report.overloaded ? QStringLiteral("color: #c00000;") : QString());
    if (!report.running)
        setListRunning(false);
}

void TransmitListWidget::startReplay()
{
    if (m_replayRunning || m_replayFrames.isEmpty() || m_loader->isRunning())
        return;
    ReplayOptions options;
    options.speed = m_fast->isChecked() ? 0.0 : m_speed->value();
    options.loops = m_loops->value();
    // The choices are "not sent", channel 1, channel 2, in that order.
    options.channelFor[1] = m_map[0]->currentIndex();
    options.channelFor[2] = m_map[1]->currentIndex();
    m_replayRunning = true;
    m_replayPaused = false;
    m_play->setText(tr("停止回放"));
    m_pause->setText(tr("暂停"));
    m_pause->setEnabled(true);
    m_chooseLog->setEnabled(false);
    m_useOpened->setEnabled(false);
    m_progress->setValue(0);
    m_replayState->clear();
    m_replayScheduler->startReplay(m_replayFrames, options);
}

void TransmitListWidget::stopReplay()
{
    m_replayScheduler->stop();
}

void TransmitListWidget::onReplayReport(const TransmitReport &report)
{
    if (!m_replayRunning)
        return;
    m_progress->setValue(int(qMin<qint64>(report.done, m_progress->maximum())));
    QString state = tr("第 %1/%2 遍").arg(report.pass).arg(m_loops->value());
    if (report.failed > 0)
        state += tr(", 失败 %1").arg(report.failed);
    m_replayState->setText(state);
    if (!report.running) {
        m_replayRunning = false;
        m_play->setText(tr("回放"));
        m_pause->setEnabled(false);
        m_chooseLog->setEnabled(true);
        m_useOpened->setEnabled(true);
    }
}
