#include "transmitlistwidget.h"
#include "ui_transmitlistwidget.h"

#include "app/settings.h"
#include "display/candatadisplaysupport.h"
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
#include <cmath>

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

namespace {
// What a page hands to the page that replaces it when the main window is rebuilt.
struct KeptPage
{
    TransmitListScheduler *list = nullptr;
    TransmitListScheduler *replay = nullptr;
    QVector<TransmitEntry> entries;
    bool listRunning = false;
    bool replayRunning = false;
    bool replayPaused = false;
    QVector<LogFrame> frames;
    QString path;
    double speed = 1;
    double askedSpeed = 0;
    bool fast = false;
    int loops = 1;
    int map[2] = { 1, 2 };
};
std::unique_ptr<KeptPage> keptPage;
} // namespace

TransmitListWidget::TransmitListWidget(QWidget *parent)
    : QWidget(parent)
{
    if (keptPage) {
        m_listScheduler = keptPage->list;
        m_replayScheduler = keptPage->replay;
    } else {
        m_listScheduler = new TransmitListScheduler;
        m_replayScheduler = new TransmitListScheduler;
    }
    connect(m_listScheduler, &TransmitListScheduler::signal_report, this,
            &TransmitListWidget::onListReport);
    connect(m_replayScheduler, &TransmitListScheduler::signal_report, this,
            &TransmitListWidget::onReplayReport);
    buildUi();

    // Logs are read on the receive view's loader, but into numbers only: a replay needs none of
    // the display texts.
    m_loader = new LogLoader(nullptr, this);
    connect(m_loader, &LogLoader::finished, this, &TransmitListWidget::onReplayLogLoaded);

    const QVariant stored = readSetting(QLatin1String(SettingsKey));
    QVector<TransmitEntry> kept;
    QString why;
    if (stored.isValid() && !fromJson(stored.toByteArray(), &kept, &why)) {
        // Said once per run of the program, not again by each window a language switch builds;
        // the stored list stays as it is until the user edits the empty one.
        static bool told = false;
        if (!told)
            showListState(tr("保存的发送列表无法读取，列表为空。%1").arg(why), true);
        told = true;
    } else {
        setEntries(kept);
    }
    adoptKept();
}

TransmitListWidget::~TransmitListWidget()
{
    if (!m_handedOver) {
        m_listScheduler->release();
        m_replayScheduler->release();
    }
    delete ui;
}

void TransmitListWidget::keepForRebuild()
{
    auto kept = std::make_unique<KeptPage>();
    kept->list = m_listScheduler;
    kept->replay = m_replayScheduler;
    kept->entries = m_entries;
    kept->listRunning = m_listRunning;
    kept->replayRunning = m_replayRunning;
    kept->replayPaused = m_replayPaused;
    kept->frames = m_replayFrames;
    kept->path = m_replayPath;
    kept->speed = m_speed->value();
    kept->askedSpeed = m_askedSpeed;
    kept->fast = m_fast->isChecked();
    kept->loops = m_loops->value();
    for (int i = 0; i < 2; ++i)
        kept->map[i] = m_map[i]->currentIndex();
    // A log still loading is dropped with this page; the one chosen before goes on.
    keptPage = std::move(kept);
    m_handedOver = true;
}

void TransmitListWidget::adoptKept()
{
    const std::unique_ptr<KeptPage> kept = std::move(keptPage);
    if (!kept)
        return;
    // The settings hold the list the page shows; only a running one must match its scheduler
    // exactly, and an unreadable stored list is not overwritten by a rebuild.
    if (kept->listRunning)
        setEntries(kept->entries);
    m_speed->setValue(kept->speed);
    m_fast->setChecked(kept->fast);
    m_loops->setValue(kept->loops);
    for (int i = 0; i < 2; ++i)
        m_map[i]->setCurrentIndex(kept->map[i]);
    if (!kept->frames.isEmpty()) {
        m_replayFrames = kept->frames;
        m_replayPath = kept->path;
        showReplayFile();
    }
    // The runs go on; their next report fills in the counts.
    if (kept->listRunning)
        setListRunning(true);
    if (kept->replayRunning) {
        m_replayRunning = true;
        m_replayPaused = kept->replayPaused;
        m_askedSpeed = kept->askedSpeed;
        m_play->setText(tr("停止回放"));
        m_pause->setText(m_replayPaused ? tr("继续") : tr("暂停"));
        m_pause->setEnabled(true);
        m_chooseLog->setEnabled(false);
        m_useOpened->setEnabled(false);
    }
}

void TransmitListWidget::showReplayFile()
{
    m_replayFile->setText(QFileInfo(m_replayPath).fileName()
                          + tr(" (%1 帧)").arg(m_replayFrames.size()));
    m_replayFile->setToolTip(QDir::toNativeSeparators(m_replayPath));
    m_progress->setRange(0, m_replayFrames.size());
    m_progress->setValue(0);
}

void TransmitListWidget::showListState(const QString &text, bool problem)
{
    m_listState->setText(text);
    m_listState->setStyleSheet(problem ? QStringLiteral("color: #c00000;") : QString());
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
            showListState(tr("无法保存列表"), true);
    });
    connect(m_load, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getOpenFileName(this, tr("加载列表"), QString(),
                                                          tr("发送列表 (*.json)"));
        if (!path.isEmpty())
            loadList(path);
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

bool TransmitListWidget::fromJson(const QByteArray &json,
                                  QVector<TransmitEntry> *list,
                                  QString *why)
{
    const auto refuse = [why](const QString &reason) {
        if (why)
            *why = reason;
        return false;
    };
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError)
        return refuse(tr("不是有效的 JSON（第 %1 个字符：%2）")
                          .arg(error.offset + 1)
                          .arg(error.errorString()));
    const QJsonValue framesValue = doc.object().value(QStringLiteral("frames"));
    if (!doc.isObject() || !framesValue.isArray())
        return refuse(tr("缺少“frames”列表"));

    const QJsonArray frames = framesValue.toArray();
    QVector<TransmitEntry> result;
    result.reserve(frames.size());
    for (int i = 0; i < frames.size(); ++i) {
        QString reason;
        TransmitEntry e;
        if (!entryFromJson(frames.at(i), &e, &reason)) {
            // Named by its place, and by its name where it has a readable one.
            const QString name = frames.at(i).toObject().value(QStringLiteral("name")).toString();
            const QString entry = name.isEmpty() ? tr("第 %1 项").arg(i + 1)
                                                 : tr("第 %1 项（%2）").arg(i + 1).arg(name);
            return refuse(entry + tr("：") + reason);
        }
        result.append(e);
    }
    *list = result;
    return true;
}

bool TransmitListWidget::entryFromJson(const QJsonValue &value, TransmitEntry *e, QString *why)
{
    if (!value.isObject()) {
        *why = tr("不是一个对象");
        return false;
    }
    const QJsonObject o = value.toObject();
    const auto quoted = [](const char *key) { return QLatin1String(key); };
    // Absent flags and names take the editor's defaults; everything that is present must be
    // exactly what the editor writes, never bent into range.
    const auto flag = [&](const char *key, bool fallback, bool *out) {
        const QJsonValue v = o.value(QLatin1String(key));
        if (v.isUndefined()) {
            *out = fallback;
            return true;
        }
        if (!v.isBool()) {
            *why = tr("“%1”应为 true 或 false").arg(quoted(key));
            return false;
        }
        *out = v.toBool();
        return true;
    };
    const auto whole = [&](const char *key, int low, int high, int *out) {
        const QJsonValue v = o.value(QLatin1String(key));
        if (v.isUndefined()) {
            *why = tr("缺少“%1”").arg(quoted(key));
            return false;
        }
        const double d = v.toDouble(std::nan(""));
        if (!v.isDouble() || !std::isfinite(d) || d != std::floor(d)) {
            *why = tr("“%1”应为整数").arg(quoted(key));
            return false;
        }
        if (d < low || d > high) {
            *why = tr("“%1”为 %2，不在 %3 到 %4 之间")
                       .arg(quoted(key))
                       .arg(d, 0, 'g', 15)
                       .arg(low)
                       .arg(high);
            return false;
        }
        *out = int(d);
        return true;
    };

    if (!flag("enabled", true, &e->enabled) || !flag("extended", false, &e->extended)
        || !flag("remote", false, &e->remote))
        return false;
    const QJsonValue name = o.value(QStringLiteral("name"));
    if (!name.isUndefined() && !name.isString()) {
        *why = tr("“name”应为文字");
        return false;
    }
    e->name = name.toString();
    if (e->name.size() > MaxNameLength) {
        *why = tr("名称超过 %1 个字符").arg(MaxNameLength);
        return false;
    }
    if (!whole("channel", 1, 2, &e->channel) || !whole("dlc", 0, CanFrame::MaxDlc, &e->dlc)
        || !whole("periodMs", 0, MaxPeriodMs, &e->periodMs))
        return false;

    static const QRegularExpression hexId(QStringLiteral("^[0-9a-fA-F]{1,8}$"));
    const QJsonValue id = o.value(QStringLiteral("id"));
    if (!id.isString() || !hexId.match(id.toString()).hasMatch()) {
        *why = id.isUndefined() ? tr("缺少“id”") : tr("“id”应为 1 到 8 位十六进制数");
        return false;
    }
    e->id = id.toString().toUInt(nullptr, 16);
    const quint32 limit = e->extended ? CanFrame::MaxExtendedId : CanFrame::MaxStandardId;
    if (e->id > limit) {
        *why = tr("标识符 %1 超出%2的范围（最大 %3）")
                   .arg(id.toString().toUpper(), e->extended ? tr("扩展帧") : tr("标准帧"),
                        QString::number(limit, 16).toUpper());
        return false;
    }

    // Whole bytes apart from a lone last digit, as the editor takes them; at most eight.
    static const QRegularExpression hexBytes(
        QStringLiteral("^(([0-9a-fA-F]{2} )*[0-9a-fA-F]{0,2}|[0-9a-fA-F]*)$"));
    const QJsonValue data = o.value(QStringLiteral("data"));
    QString digits = data.toString();
    digits.remove(QLatin1Char(' '));
    if (data.isUndefined()) {
        e->data = QByteArray(CanFrame::DataSize, '\0');
    } else if (!data.isString() || !hexBytes.match(data.toString()).hasMatch()) {
        *why = tr("“data”应为十六进制字节");
        return false;
    } else if (digits.size() > 2 * CanFrame::DataSize) {
        *why = tr("“data”有 %1 个字节，最多 8 个").arg((digits.size() + 1) / 2);
        return false;
    } else {
        parseData(digits, &e->data);
    }
    return true;
}

bool TransmitListWidget::saveList(const QString &path) const
{
    QFile file(withListSuffix(path));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const QByteArray bytes = toJson(m_entries).toJson();
    return file.write(bytes) == bytes.size() && file.flush();
}

bool TransmitListWidget::loadList(const QString &path, QString *why)
{
    const auto refuse = [this, why, &path](const QString &reason) {
        if (why)
            *why = reason;
        showListState(tr("无法读取列表 %1：%2").arg(QFileInfo(path).fileName(), reason), true);
        return false;
    };
    if (m_listRunning)
        return refuse(tr("列表正在发送"));
    // A pipe or device would block the window in open() or never end.
    const QFileInfo info(path);
    if (!info.isFile())
        return refuse(tr("不是普通文件"));
    if (info.size() > MaxListFileBytes)
        return refuse(tr("文件过大"));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return refuse(file.errorString());
    QVector<TransmitEntry> list;
    QString reason;
    if (!fromJson(file.read(MaxListFileBytes), &list, &reason))
        return refuse(reason);
    setEntries(list);
    showListState(QString(), false);
    return true;
}

QString TransmitListWidget::withListSuffix(const QString &path)
{
    // The load dialog shows .json files only; a name typed without it would be lost there.
    return path.endsWith(QLatin1String(".json"), Qt::CaseInsensitive)
        ? path
        : path + QLatin1String(".json");
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
    // A replay takes as many frames as the history holds: the opened log plays whole.
    m_loader->setFrameLimit(CAN_DataDisplaySupport::instance()->maxBuffSize());
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
    if (result.notRegular) {
        m_replayState->setText(tr("无法打开日志：不是普通文件"));
    } else if (!result.opened) {
        m_replayState->setText(tr("无法打开日志"));
    } else if (result.cancelled) {
        m_replayState->setText(tr("已取消读取日志"));
    } else if (result.frames.isEmpty()) {
        m_replayState->setText(tr("日志中没有可回放的帧"));
    } else {
        m_replayFrames = result.frames;
        m_replayPath = result.path;
        showReplayFile();
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
    showListState(QString(), false);
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
    if (report.end == RunEnd::DeviceGone) {
        showListState(tr("设备已断开，列表已停止。"), true);
    } else {
        showListState(state, report.overloaded);
    }
    if (!report.running)
        setListRunning(false);
}

void TransmitListWidget::startReplay()
{
    if (m_replayRunning || m_replayFrames.isEmpty() || m_loader->isRunning())
        return;
    ReplayOptions options;
    options.speed = m_fast->isChecked() ? 0.0 : m_speed->value();
    m_askedSpeed = options.speed;
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
    m_replayState->setStyleSheet(QString());
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
    QStringList notes { tr("第 %1/%2 遍").arg(report.pass).arg(m_loops->value()) };
    if (report.failed > 0)
        notes << tr("失败 %1").arg(report.failed);
    // The pace can only follow the log as far as the adapter confirms frames; when it cannot,
    // the speed really reached is shown beside the one asked for.
    const double asked = m_askedSpeed;
    bool slow = false;
    if (asked > 0 && report.replaySpeed > 0 && report.replaySpeed < asked * SpeedShortfall) {
        notes << tr("链路跟不上：实际 %1×，要求 %2×")
                     .arg(report.replaySpeed, 0, 'f', 2)
                     .arg(asked, 0, 'f', 1);
        slow = true;
    }
    if (report.cappedGaps > 0)
        notes << tr("%1 处超过一天的间隔按一天计").arg(report.cappedGaps);
    if (report.end == RunEnd::DeviceGone)
        notes.prepend(tr("设备已断开，回放已停止"));
    m_replayState->setText(notes.join(tr("，")));
    m_replayState->setStyleSheet(
        slow || report.end == RunEnd::DeviceGone ? QStringLiteral("color: #c00000;") : QString());
    if (!report.running)
        replayEnded();
}

void TransmitListWidget::replayEnded()
{
    m_replayRunning = false;
    m_play->setText(tr("回放"));
    m_pause->setEnabled(false);
    m_chooseLog->setEnabled(true);
    m_useOpened->setEnabled(true);
}
