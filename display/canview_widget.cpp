#include "canview_widget.h"

#include "ui_canview_widget.h"

#include "device/devicemanagement.h"
#include "display/candatadisplaysupport.h"
#include "display/cantablewidget.h"
#include "display/idoverviewmodel.h"
#include "display/idoverviewtable.h"
#include "display/logfiledialogs.h"
#include "display/logloader.h"
#include "display/logopenprogress.h"
#include "display/rstanditemmodel.h"
#include "protocol/contextprotocol.h"
#include "recording/filesavesupport.h"
#include "recording/logtarget.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>

namespace {
// The counters change on every refresh tick while frames flow. A label that may change size makes
// the whole window lay itself out again at each new text, so once shown a counter keeps a fixed
// size, widened (with a digit to spare) only when a number grows longer than it.
void showCount(QLabel *label, qint64 count)
{
    const QString text = QString::number(count);
    if (text == label->text())
        return;
    const bool fixed = label->minimumSize() == label->maximumSize();
    const bool longer = text.size() > label->text().size();
    label->setText(text);
    if ((fixed && !longer) || !label->isVisible())
        return;
    const int wanted = label->fontMetrics().horizontalAdvance(text + QLatin1Char('0'))
        + 2 * (label->margin() + label->frameWidth());
    if (fixed && wanted <= label->width())
        return;
    label->setFixedSize(qMax(wanted, label->width()), label->height());
}

const QString SaveOnTimeStyle = QStringLiteral(
    "QPushButton{background-color:#ffffff;border:1px solid "
    "#6495ED;border-top-left-radius:5px;border-bottom-left-radius:3px}QPushButton:hover{"
    "background-color:#87CEFA;border:1px solid "
    "#6495ED;border-top-left-radius:5px;border-bottom-left-radius:3px}QPushButton:pressed{"
    "background-color:#4169E1;border:1px solid "
    "#6495ED;border-top-left-radius:5px;border-bottom-left-radius:3px}");
const QString MiddleStyle = QStringLiteral(
    "QPushButton{background-color:#ffffff;border:1px solid "
    "#6495ED;}QPushButton:hover{background-color:#87CEFA;border:1px solid "
    "#6495ED;}QPushButton:pressed{background-color:#4169E1;border:1px solid #6495ED;}");
const QString PauseRunningStyle = QStringLiteral(
    "QPushButton{background-color:#ffffff;border:1px solid "
    "#6495ED;border-top-right-radius:5px;border-bottom-right-radius:3px}QPushButton:hover{"
    "background-color:#87CEFA;border:1px solid "
    "#6495ED;border-top-right-radius:5px;border-bottom-right-radius:3px}QPushButton:pressed{"
    "background-color:#4169E1;border:1px solid "
    "#6495ED;border-top-right-radius:5px;border-bottom-right-radius:3px}");
const QString OpenStyle = QStringLiteral(
    "QPushButton{background-color:#ffffff;border:1px solid #6495ED;border-radius:4px}"
    "QPushButton:hover{background-color:#87CEFA;border:1px solid #6495ED;border-radius:4px}"
    "QPushButton:pressed{background-color:#4169E1;border:1px solid #6495ED;border-radius:4px}");
const QString OverviewStyle = QStringLiteral(
    "QPushButton{background-color:#ffffff;border:1px solid #6495ED;border-radius:4px}"
    "QPushButton:hover{background-color:#87CEFA}"
    "QPushButton:checked{background-color:#4169E1;color:#ffffff}");
const QString PausedStyle
    = QStringLiteral("QPushButton{background-color:#4169E1;border:1px solid "
                     "#6495ED;border-top-right-radius:5px;border-bottom-right-radius:3px}");

// The shown file's name: middle-elided to the room the top bar leaves, the whole path in the tip.
class ElidedLabel : public QLabel
{
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        const QRect area = contentsRect();
        painter.drawText(area, Qt::AlignLeft | Qt::AlignVCenter,
                         fontMetrics().elidedText(text(), Qt::ElideMiddle, area.width()));
    }
};

// The history outlives a view rebuilt on a language switch, and so do the file it came from
// and the way the user was looking at it.
struct KeptViewState
{
    QString logPath;
    bool logComplete = true;
    bool overview = false;
    bool paused = false;
};

KeptViewState &keptState()
{
    static KeptViewState state;
    return state;
}
} // namespace

CANView_Widget::CANView_Widget(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::CANView_Widget)
{
    ui->setupUi(this);
    ui->gridLayout->setContentsMargins(0, 0, 0, 0);
    // Room for the longer time column name in the language in use.
    ui->comboBox->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    ui->comboBox->setMinimumWidth(
        qMax(ui->comboBox->minimumWidth(), ui->comboBox->sizeHint().width()));

    m_display = CAN_DataDisplaySupport::instance();
    m_table = new CANTableWidget(this, m_display->viewBuff());
    ui->gridLayout->addWidget(m_table, 1, 0);
    ui->gridLayout->addWidget(ui->widget_2, 2, 0);
    applyButtonStyles();

    // Offline analysis: the open button stands before the record buttons. The file shown goes
    // to the bottom bar, beside the counters: the top bar has no room for a name at the window's
    // default width.
    m_openButton = new QPushButton(tr("打开"), ui->widget);
    m_openButton->setObjectName(QStringLiteral("button_open"));
    m_openButton->setMinimumSize(72, ui->button_save->minimumHeight());
    m_openButton->setStyleSheet(OpenStyle);
    const int spacerAt = ui->horizontalLayout->indexOf(ui->horizontalSpacer);
    ui->horizontalLayout->insertWidget(spacerAt + 1, m_openButton);
    ui->horizontalLayout->insertSpacing(spacerAt + 2, 8);
    m_fileLabel = new ElidedLabel(ui->widget_2);
    m_fileLabel->setObjectName(QStringLiteral("label_file"));
    m_fileLabel->setMinimumWidth(40);
    m_fileLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_fileLabel->setContentsMargins(12, 0, 0, 0);
    ui->horizontalSpacer_2->changeSize(0, 0, QSizePolicy::Fixed, QSizePolicy::Minimum);
    ui->horizontalLayout_2->insertWidget(ui->horizontalLayout_2->indexOf(ui->horizontalSpacer_2),
                                         m_fileLabel, 1);
    // A filter over a deep history takes a moment; the table keeps the rows it had until then.
    m_filterProgress = new QProgressBar(ui->widget_2);
    m_filterProgress->setObjectName(QStringLiteral("progressBar_filter"));
    m_filterProgress->setRange(0, 100);
    m_filterProgress->setFormat(tr("筛选中 %p%"));
    m_filterProgress->setFixedWidth(150);
    m_filterProgress->hide();
    ui->horizontalLayout_2->insertWidget(ui->horizontalLayout_2->indexOf(m_fileLabel),
                                         m_filterProgress);
    // Wide enough for the longer of its two captions in the language in use.
    const QFontMetrics metrics = ui->Button_saveOnTime->fontMetrics();
    ui->Button_saveOnTime->setMinimumWidth(qMax(ui->Button_saveOnTime->minimumWidth(),
                                                qMax(metrics.horizontalAdvance(tr("实时保存")),
                                                     metrics.horizontalAdvance(tr("停止实时保存")))
                                                    + 20));
    m_loader = new LogLoader(CAN_DataDisplaySupport::instance(), this);
    m_openProgress = new LogOpenProgress(this);
    m_openProgress->setWindowFlags(m_openProgress->windowFlags() | Qt::Window);
    m_openProgress->hide();
    connect(m_openButton, &QPushButton::clicked, this, [this] {
        const QString path
            = m_fileNameProvider ? m_fileNameProvider() : LogFileDialogs::askOpenFile(this);
        if (!path.isEmpty())
            openLogFile(path);
    });
    connect(m_openProgress, &LogOpenProgress::cancelRequested, m_loader, &LogLoader::cancel);
    connect(m_loader, &LogLoader::progressChanged, m_openProgress,
            &LogOpenProgress::setProgressValue);
    connect(m_loader, &LogLoader::finished, this, &CANView_Widget::onLogLoaded);
    DeviceManagement::instance()->setStartGuard(
        [view = QPointer<CANView_Widget>(this)] { return !view || view->mayStartChannel(); });
    connect(m_display, &CAN_DataDisplaySupport::signal_LiveFramesRefused, this, [this] {
        note(tr("适配器正在发送帧，但表格显示的是日志文件：这些帧没有记录。"
                "要看实时帧，请先清空表格。"));
    });

    FileSaveSupport *writer = m_display->fileSaveSupport();
    connect(this, &CANView_Widget::signal_BuffRefresh_Start, m_display,
            &CAN_DataDisplaySupport::startRefresh);
    // Direct: the requests queue themselves among the frames, at the place of the click.
    connect(this, &CANView_Widget::signal_HistoryClear, m_display,
            &CAN_DataDisplaySupport::clearHistory, Qt::DirectConnection);
    connect(this, &CANView_Widget::signal_Pause, m_display, &CAN_DataDisplaySupport::setPause,
            Qt::DirectConnection);
    connect(this, &CANView_Widget::signal_GlobalSave, m_display,
            &CAN_DataDisplaySupport::copyForGlobalSave);
    connect(this, &CANView_Widget::signal_globalSave_pathSet, writer,
            &FileSaveSupport::setGlobalSavePath);
    connect(this, &CANView_Widget::signal_realTimeSave_Command, writer,
            &FileSaveSupport::realTimeSaveCommand);
    connect(this, &CANView_Widget::signal_realTimeSave_SignalCommand, m_display,
            &CAN_DataDisplaySupport::setRealTimeSave, Qt::DirectConnection);
    connect(this, &CANView_Widget::signal_TimeStampeFormat_Changed, m_table->model(),
            [this](int format) { m_table->model()->setTimeStampeFormat(unsigned(format)); });
    connect(this, &CANView_Widget::signal_TimeStampeFormat_Changed, m_display,
            &CAN_DataDisplaySupport::setTimeStampeFormat);

    connect(m_display, &CAN_DataDisplaySupport::signal_DisplayBuff_Changed, m_table->model(),
            &RstandItemModel::refresh);
    connect(m_display, &CAN_DataDisplaySupport::signal_DisplayCount_Changed, this,
            &CANView_Widget::updateCounters);
    connect(m_display, &CAN_DataDisplaySupport::signal_FilterProgress, m_filterProgress,
            [this](int percent) {
                m_filterProgress->setValue(percent);
                m_filterProgress->setVisible(percent < 100);
            });
    connectFilters();
    setUpOverview();
    connect(DeviceManagement::instance(), &DeviceManagement::signals_deviceModelCommand, this,
            [this](const QString &model) { ui->label_modelstring->setText(model); });
    connect(contextProtocol::instance(), &contextProtocol::signal_REP_ErroCount, this,
            &CANView_Widget::updateErroCount);
    connect(writer, &FileSaveSupport::signal_realTimeSaveFailed, this,
            &CANView_Widget::onRealTimeSaveFailed);
    connect(writer, &FileSaveSupport::signal_globalSaveFailed, this,
            [this](const QString &path, const QString &reason) {
                showSaveFailure(
                    tr("保存失败，文件未被改动。\n文件：%1\n原因：%2").arg(path, reason));
            });
    showFiltersInForce();

    // A view rebuilt after a language switch takes over the state the buffer and writer kept:
    // a running real-time log can still be stopped, and the table runs like its button says.
    if (writer->isRealTimeSaving()) {
        realTimeSaveFlag = true;
        ui->Button_saveOnTime->setText(tr("停止实时保存"));
    }
    showFile(keptState().logPath, keptState().logComplete);
    m_overviewButton->setChecked(keptState().overview);
    // The display thread kept the pause, and with it the frames the table held.
    pauseFlag = keptState().paused;
    showPause();
    emit signal_Pause(pauseFlag);

    emit signal_BuffRefresh_Start();
    m_display->announceView();
}

CANView_Widget::~CANView_Widget()
{
    delete ui;
}

void CANView_Widget::setFileNameProvider(std::function<QString()> provider)
{
    m_fileNameProvider = std::move(provider);
}

void CANView_Widget::setUserPrompts(std::function<void(const QString &)> inform,
                                    std::function<bool(const QString &)> confirm)
{
    m_inform = std::move(inform);
    m_confirm = std::move(confirm);
}

void CANView_Widget::inform(const QString &text)
{
    if (m_inform)
        m_inform(text);
    else
        QMessageBox::information(this, tr("打开日志"), text);
}

bool CANView_Widget::confirm(const QString &text)
{
    if (m_confirm)
        return m_confirm(text);
    return QMessageBox::question(this, tr("打开日志"), text) == QMessageBox::Yes;
}

void CANView_Widget::askSaveFile(QString *path, LogFormat *format)
{
    *format = LogFormat::Native;
    if (m_fileNameProvider) {
        *path = m_fileNameProvider();
        if (!path->isEmpty())
            *path = LogFileDialogs::completedName(*path, LogFormat::Native, format);
        return;
    }
    const LogFileDialogs::Choice choice = LogFileDialogs::askSaveFile(this);
    *path = choice.path;
    *format = choice.format;
}

void CANView_Widget::applyButtonStyles()
{
    ui->Button_saveOnTime->setStyleSheet(SaveOnTimeStyle);
    ui->button_save->setStyleSheet(MiddleStyle);
    ui->button_clear->setStyleSheet(MiddleStyle);
    ui->Button_pause->setStyleSheet(PauseRunningStyle);
}

void CANView_Widget::connectFilters()
{
    using D = CAN_DataDisplaySupport;
    const auto edit = [this](QLineEdit *editor, D::FilterField field) {
        connect(editor, &QLineEdit::textChanged, this,
                [this, field](const QString &text) { m_display->setFilterText(field, text); });
    };
    // The "all" entry, whatever language shows it, filters nothing.
    const auto combo = [this](QComboBox *box, D::FilterField field, const QStringList &values) {
        connect(box, &QComboBox::currentTextChanged, this,
                [this, field, values](const QString &text) {
                    m_display->setFilterText(field, values.contains(text) ? text : QString());
                });
    };
    edit(m_table->timeEdit, D::FilterTime);
    edit(m_table->channelEdit, D::FilterChannel);
    edit(m_table->idEdit, D::FilterID);
    combo(m_table->typeCombo, D::FilterType,
          { QStringLiteral("STD"), QStringLiteral("EXT"), QStringLiteral("STD-R"),
            QStringLiteral("EXT-R") });
    combo(m_table->dirCombo, D::FilterDir, { QStringLiteral("Tx"), QStringLiteral("Rx") });
    edit(m_table->lengthEdit, D::FilterLength);
    edit(m_table->dataEdit, D::FilterData);
}

void CANView_Widget::setUpOverview()
{
    m_overview = new IdOverviewTable(m_display, m_table);
    m_overview->hide();
    m_overview->overviewModel()->setShown(false);
    // Under the same filter editors, in the trace's place.
    if (auto *grid = qobject_cast<QGridLayout *>(m_table->layout()))
        grid->addWidget(m_overview, 1, 0);
    m_overview->followFilters(m_table);
    m_overview->showDetailIn(m_table->detail);
    // Says so when identifiers arrive beyond what the overview lists.
    auto *unlisted = new QLabel(m_table);
    unlisted->setObjectName(QStringLiteral("label_overviewUnlisted"));
    unlisted->hide();
    if (auto *grid = qobject_cast<QGridLayout *>(m_table->layout()))
        grid->addWidget(unlisted, 2, 0);
    const auto showUnlisted = [this, unlisted] {
        const quint64 frames = m_overview->overviewModel()->unlistedFrames();
        unlisted->setText(tr("另有 %1 帧属于未列出的帧ID：总览最多列出 %2 个帧ID。")
                              .arg(frames)
                              .arg(m_display->idOverview()->maxRows()));
        unlisted->setVisible(frames > 0 && m_overviewButton->isChecked());
    };
    connect(m_overview->overviewModel(), &IdOverviewModel::unlistedFramesChanged, unlisted,
            showUnlisted);
    connect(this, &CANView_Widget::signal_TimeStampeFormat_Changed, m_overview,
            &IdOverviewTable::setTimeStampeFormat);
    connect(this, &CANView_Widget::signal_Pause, m_overview->overviewModel(),
            &IdOverviewModel::setPaused);

    // A toggle rather than a pair of tabs: the top bar has no room to spare at the window's
    // smallest width.
    m_overviewButton = new QPushButton(tr("总览"), ui->widget);
    m_overviewButton->setObjectName(QStringLiteral("button_overview"));
    m_overviewButton->setStyleSheet(OverviewStyle);
    m_overviewButton->setCheckable(true);
    m_overviewButton->setMinimumSize(64, ui->button_save->minimumHeight());
    m_overviewButton->setToolTip(tr("按帧ID总览：计数、周期、变化的字节。再按一次回到逐帧列表。"));
    const int at = ui->horizontalLayout->indexOf(ui->comboBox) + 1;
    ui->horizontalLayout->insertSpacing(at, 8);
    ui->horizontalLayout->insertWidget(at + 1, m_overviewButton);
    connect(m_overviewButton, &QPushButton::toggled, this, [this, showUnlisted](bool overview) {
        keptState().overview = overview;
        m_overview->overviewModel()->setShown(overview);
        m_table->tableView->setVisible(!overview);
        // The overview has columns of its own, and its own filter editors under them.
        m_table->headerTable->setVisible(!overview);
        m_overview->setVisible(overview);
        showUnlisted();
    });
}

// A view rebuilt after a language switch shows what the buffer still filters by, so the table
// never looks filtered for no visible reason.
void CANView_Widget::showFiltersInForce()
{
    const CAN_DataDisplaySupport::ViewFilter filter = m_display->filterInForce();
    m_table->timeEdit->setText(filter.time);
    m_table->channelEdit->setText(filter.channel);
    m_table->idEdit->setText(filter.id);
    m_table->typeCombo->setCurrentIndex(qMax(0, m_table->typeCombo->findText(filter.type)));
    m_table->dirCombo->setCurrentIndex(qMax(0, m_table->dirCombo->findText(filter.dir)));
    m_table->lengthEdit->setText(filter.length);
    m_table->dataEdit->setText(filter.data);
    ui->comboBox->setCurrentIndex(int(filter.timeStampeFormat));
}

void CANView_Widget::showSaveFailure(const QString &text)
{
    // Not modal: recording, sending and the table go on while the user reads it.
    auto *box = new QMessageBox(QMessageBox::Warning, tr("保存失败"), text, QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("saveFailure"));
    box->setTextFormat(Qt::PlainText);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->show();
}

void CANView_Widget::onRealTimeSaveFailed(const QString &path, const QString &reason)
{
    if (realTimeSaveFlag) {
        ui->Button_saveOnTime->setText(tr("实时保存"));
        realTimeSaveFlag = false;
        emit signal_realTimeSave_SignalCommand(false);
    }
    showSaveFailure(tr("实时保存已停止：写入失败。\n文件：%1\n原因：%2").arg(path, reason));
}

void CANView_Widget::on_Button_pause_clicked()
{
    pauseFlag = !pauseFlag;
    keptState().paused = pauseFlag;
    showPause();
    emit signal_Pause(pauseFlag);
}

void CANView_Widget::showPause()
{
    if (pauseFlag) {
        ui->Button_pause->setText(tr("继续"));
        ui->Button_pause->setStyleSheet(PausedStyle);
    } else {
        ui->Button_pause->setText(tr("暂停"));
        ui->Button_pause->setStyleSheet(PauseRunningStyle);
    }
}

void CANView_Widget::on_button_clear_clicked()
{
    if (m_loader->isRunning()) {
        // The rest of the file would fill the table again: the load ends first, the clear
        // follows when every block read so far is in.
        m_clearWhenLoaded = true;
        m_loader->cancel();
        return;
    }
    showFile(QString(), true);
    emit signal_HistoryClear();
}

bool CANView_Widget::mayStartChannel()
{
    if (m_loader->isRunning()) {
        inform(tr("正在打开日志，不能启动通道。请等日志读完或取消后再试。"));
        return false;
    }
    if (m_shownFile.isEmpty())
        return true;
    if (!confirm(tr("表格显示的是日志文件“%1”。启动通道会关闭它并清空表格，以显示实时帧。"
                    "仍要启动吗？")
                     .arg(QFileInfo(m_shownFile).fileName()))) {
        return false;
    }
    // Queued among the frames ahead of any the channel brings.
    showFile(QString(), true);
    emit signal_HistoryClear();
    return true;
}

void CANView_Widget::note(const QString &text)
{
    if (m_inform) {
        m_inform(text);
        return;
    }
    // Not modal: it reports what the adapter does, the user need not answer.
    auto *box
        = new QMessageBox(QMessageBox::Information, tr("打开日志"), text, QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("liveFramesRefused"));
    box->setTextFormat(Qt::PlainText);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->show();
}

void CANView_Widget::openLogFile(const QString &path)
{
    if (m_loader->isRunning()) {
        inform(tr("正在打开另一个日志。请等它读完或取消后再打开。"));
        return;
    }
    const QString name = QFileInfo(path).fileName();
    if (DeviceManagement::instance()->anyChannelRunning()) {
        inform(tr("通道正在运行，不能打开日志。请先停止通道。"));
        return;
    }
    // Found from the content before anything changes: a file that is no log leaves the history.
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) {
        inform(tr("无法读取文件“%1”。").arg(name));
        return;
    }
    LogFormat format = LogFormat::Native;
    if (!LogCodec::detect(file.peek(LogFileReader::DetectBytes), &format)) {
        inform(tr("“%1”不是可识别的 CAN 日志。可以打开的格式：RCAN 文本日志、candump 日志、"
                  "Vector ASC 和 PEAK TRC 1.0 至 2.1。")
                   .arg(name));
        return;
    }
    file.close();
    if (m_display->hasUnsavedFrames()
        && !confirm(tr("历史记录中有尚未保存的帧，打开日志会替换它们。仍要打开吗？"))) {
        return;
    }

    m_openProgress->start(path);
    m_openProgress->showOver(this);
    showFile(path, false);
    m_loader->start(path);
}

void CANView_Widget::onLogLoaded(const LogLoadResult &result)
{
    m_openProgress->hide();
    const QString name = QFileInfo(result.path).fileName();
    if (m_clearWhenLoaded || !result.opened) {
        // Back to live traffic: the clear also ends the display's hold for the log.
        const bool cleared = m_clearWhenLoaded;
        m_clearWhenLoaded = false;
        showFile(QString(), true);
        emit signal_HistoryClear();
        if (!cleared)
            inform(tr("无法读取文件“%1”。").arg(name));
        return;
    }
    showFile(result.path, !result.cancelled);
    QStringList notes;
    if (result.dropped > 0 && result.cancelled) {
        // How many the whole file holds is not known: reading stopped part way.
        notes << tr("已读取的 %1 帧中，历史记录最多保存 %2 帧：最早的 %3 帧没有载入。")
                     .arg(result.kept + result.dropped)
                     .arg(m_display->maxBuffSize())
                     .arg(result.dropped);
    } else if (result.dropped > 0) {
        notes << tr("文件中有 %1 帧，历史记录最多保存 %2 帧：最早的 %3 帧没有载入。")
                     .arg(result.kept + result.dropped)
                     .arg(m_display->maxBuffSize())
                     .arg(result.dropped);
    }
    if (result.read.badLines > 0) {
        notes << tr("有 %1 行无法识别，已跳过。第一行是第 %2 行：%3")
                     .arg(result.read.badLines)
                     .arg(result.read.firstBadLine)
                     .arg(QString::fromLatin1(result.read.firstBadText));
    }
    if (result.read.refusedLines > 0) {
        notes << tr("有 %1 行没有载入，第一行是第 %2 行：%3")
                     .arg(result.read.refusedLines)
                     .arg(result.read.firstRefusedLine)
                     .arg(result.read.refusal);
    }
    if (!notes.isEmpty())
        inform(notes.join(QLatin1Char('\n')));
}

void CANView_Widget::showFile(const QString &path, bool complete)
{
    m_shownFile = path;
    keptState().logPath = path;
    keptState().logComplete = complete;
    if (path.isEmpty()) {
        m_fileLabel->clear();
        m_fileLabel->setToolTip(QString());
        return;
    }
    const QString name = QFileInfo(path).fileName();
    m_fileLabel->setText(complete ? tr("日志：%1").arg(name) : tr("日志：%1（未读完）").arg(name));
    m_fileLabel->setToolTip(QDir::toNativeSeparators(path));
}

void CANView_Widget::on_button_save_clicked()
{
    if (m_loader->isRunning()) {
        inform(tr("正在打开日志，现在保存只能存下其中一部分。请等日志读完或取消后再保存。"));
        return;
    }
    QString path;
    LogFormat format = LogFormat::Native;
    askSaveFile(&path, &format);
    if (path.isEmpty())
        return;
    const QString refused = LogTarget::refusal(path);
    if (!refused.isEmpty()) {
        showSaveFailure(tr("保存失败，文件未被改动。\n文件：%1\n原因：%2").arg(path, refused));
        return;
    }
    m_display->fileSaveSupport()->setGlobalSaveFormat(format);
    emit signal_globalSave_pathSet(path);
    emit signal_GlobalSave();
}

void CANView_Widget::on_Button_saveOnTime_clicked()
{
    if (realTimeSaveFlag) {
        ui->Button_saveOnTime->setText(tr("实时保存"));
        realTimeSaveFlag = false;
        // Every frame in before the click is logged, none after it.
        emit signal_realTimeSave_SignalCommand(false);
        m_display->handOverLogLines();
        emit signal_realTimeSave_Command(QString(), false);
        return;
    }

    QString path;
    LogFormat format = LogFormat::Native;
    askSaveFile(&path, &format);
    if (path.isEmpty())
        return;
    // Creates or empties the file; a path that cannot take the log leaves everything as it was,
    // and the user learns why.
    QFile probe(path);
    QString error;
    if (!LogTarget::open(probe, path, &error)) {
        showSaveFailure(tr("无法开始实时保存。\n文件：%1\n原因：%2").arg(path, error));
        return;
    }
    probe.close();

    ui->Button_saveOnTime->setText(tr("停止实时保存"));
    realTimeSaveFlag = true;
    m_display->fileSaveSupport()->setRealTimeFormat(format);
    emit signal_realTimeSave_Command(path, true);
    // The writer may have failed to open it after all, and said so.
    if (!realTimeSaveFlag)
        return;
    emit signal_realTimeSave_SignalCommand(true);
}

void CANView_Widget::on_comboBox_currentIndexChanged(int index)
{
    emit signal_TimeStampeFormat_Changed(index);
}

void CANView_Widget::updateCounters()
{
    const CAN_DataDisplaySupport::Counts counts = m_display->counts();
    showCount(ui->label_recvCount, counts.recv);
    showCount(ui->label_sendCount, counts.send);
}

void CANView_Widget::updateErroCount(uchar channel, uint count)
{
    if (channel == 1)
        erroCount1 = count;
    else if (channel == 2)
        erroCount2 = count;
    ui->label_erroCount_t->setText(QString::number(erroCount1 + erroCount2));
}

void CANView_Widget::paintEvent(QPaintEvent *event)
{
    Q_UNUSED(event)
    QPainter painter(this);
    painter.setPen(Qt::NoPen);
    painter.fillRect(rect(), QColor(QStringLiteral("#BCD2EE")));
}
