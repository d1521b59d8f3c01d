#pragma once

// The send window's third page: a list of frames each sent on its own period, and the replay of a
// recorded log. The form lays it out; the table's editors and the page's logic are set up here.
// Both run on transmit schedulers of their own; the page only edits, starts, stops and shows what
// the schedulers report. The last list is kept in the settings.

#include "link/transmitlistscheduler.h"

#include <QJsonDocument>
#include <QJsonValue>
#include <QVector>
#include <QWidget>

#include <functional>

struct LogLoadResult;

namespace Ui {
class TransmitListWidget;
}

class LogLoader;
class LogOpenProgress;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTableWidget;
class QTableWidgetItem;

class TransmitListWidget : public QWidget
{
    Q_OBJECT
public:
    enum Column {
        ColEnabled,
        ColName,
        ColChannel,
        ColId,
        ColType,
        ColFormat,
        ColDlc,
        ColData,
        ColPeriod,
        ColCount,
        ColResult,
        ColumnCount
    };
    static constexpr int MaxPeriodMs = 100000;
    static constexpr int MaxNameLength = 20;
    static constexpr qint64 MaxListFileBytes = 16 * 1024 * 1024;
    // A replay below this share of the asked speed is reported as held back by the link.
    static constexpr double SpeedShortfall = 0.95;
    static constexpr const char *SettingsKey = "TransmitList";

    explicit TransmitListWidget(QWidget *parent = nullptr);
    ~TransmitListWidget() override;

    QVector<TransmitEntry> entries() const { return m_entries; }
    void setEntries(const QVector<TransmitEntry> &entries);
    TransmitListScheduler *listScheduler() const { return m_listScheduler; }
    TransmitListScheduler *replayScheduler() const { return m_replayScheduler; }
    bool listRunning() const { return m_listRunning; }

    static QJsonDocument toJson(const QVector<TransmitEntry> &entries);
    // A list is taken whole or not at all: the first entry that cannot be read as written
    // refuses it, and `why` names that entry and the reason.
    static bool
    fromJson(const QByteArray &json, QVector<TransmitEntry> *entries, QString *why = nullptr);
    // The send panel's rules: hex digits only, bounded by the frame type.
    static quint32 boundedId(const QString &text, bool extended, quint32 previous);
    // Typed bytes first, missing bytes zero, a lone last digit the high nibble of its byte.
    static bool parseData(const QString &text, QByteArray *data);
    static QString dataText(const QByteArray &data, int dlc);

    // Saves under `path`, with ".json" added when it lacks it.
    bool saveList(const QString &path) const;
    static QString withListSuffix(const QString &path);
    // The list shown stays when the file is refused, and the page says why.
    bool loadList(const QString &path, QString *why = nullptr);
    // Starts reading a log of any known format on a worker thread, with a progress window that can
    // cancel it; replayLogLoaded() tells how it ended. False while a log loads or a replay runs.
    bool openReplayLog(const QString &path);
    bool replayLogLoading() const;
    int replayFrameCount() const { return m_replayFrames.size(); }
    // Where the log the receive view shows comes from; empty when it shows live traffic.
    void setOpenedLogSource(std::function<QString()> source) { m_openedLog = std::move(source); }
    // Frames per second the enabled entries ask for; period 0 entries ask for as many as the
    // link carries and are not counted.
    static double requestedRate(const QVector<TransmitEntry> &entries);

    void startList();
    void stopList();
    void startReplay();
    void stopReplay();

    // Hands the running list and replay, the chosen log and the replay settings to the page the
    // next main window builds, so a language switch neither ends a run nor forgets the log.
    void keepForRebuild();

signals:
    void replayLogLoaded(bool ok);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    static bool entryFromJson(const QJsonValue &value, TransmitEntry *entry, QString *why);
    void showListState(const QString &text, bool problem);
    void buildUi();
    void fillRow(int row);
    void onItemChanged(QTableWidgetItem *item);
    void onListReport(const TransmitReport &report);
    void onReplayReport(const TransmitReport &report);
    void onReplayLogLoaded(const LogLoadResult &result);
    void enableReplayInputs(bool enable);
    void setListRunning(bool running);
    void adoptKept();
    void showReplayFile();
    void replayEnded();
    void storeInSettings() const;
    void addEntry(const TransmitEntry &entry);
    void openDataMatrix(int row);
    QString channelText(int channel) const;
    QString typeText(bool extended) const;
    QString formatText(bool remote) const;

    Ui::TransmitListWidget *ui = nullptr;
    QVector<TransmitEntry> m_entries;
    QVector<LogFrame> m_replayFrames;
    QString m_replayPath;
    bool m_handedOver = false;
    LogLoader *m_loader = nullptr;
    LogOpenProgress *m_openProgress = nullptr;
    TransmitListScheduler *m_listScheduler = nullptr;
    TransmitListScheduler *m_replayScheduler = nullptr;
    bool m_listRunning = false;
    bool m_replayRunning = false;
    bool m_replayPaused = false;
    double m_askedSpeed = 0; // of the replay running; 0 for as fast as confirmed
    bool m_filling = false;

    QTableWidget *m_table = nullptr;
    QPushButton *m_add = nullptr;
    QPushButton *m_copy = nullptr;
    QPushButton *m_remove = nullptr;
    QPushButton *m_matrix = nullptr;
    QPushButton *m_save = nullptr;
    QPushButton *m_load = nullptr;
    QPushButton *m_startList = nullptr;
    QLabel *m_listState = nullptr;

    QLabel *m_replayFile = nullptr;
    QPushButton *m_chooseLog = nullptr;
    QPushButton *m_useOpened = nullptr;
    std::function<QString()> m_openedLog;
    QComboBox *m_map[2] = {};
    QDoubleSpinBox *m_speed = nullptr;
    QCheckBox *m_fast = nullptr;
    QSpinBox *m_loops = nullptr;
    QProgressBar *m_progress = nullptr;
    QPushButton *m_play = nullptr;
    QPushButton *m_pause = nullptr;
    QLabel *m_replayState = nullptr;
};
