#pragma once

// Table model of the per-identifier overview: one row per channel, identifier and identifier
// kind, in the order they were first seen. Each refresh applies only the rows that changed; a
// timer of its own fades the changed-byte marks and dims rows gone quiet, repainting only the
// cells whose look changed.

#include "candb/databaseset.h"
#include "display/idoverview.h"

#include <QAbstractTableModel>

#include <functional>
#include <vector>

class QTimer;

class IdOverviewModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column {
        ChannelColumn,
        IdColumn,
        TypeColumn,
        DirColumn,
        CountColumn,
        RemoteColumn,
        CycleColumn,
        MeanColumn,
        MinColumn,
        MaxColumn,
        LengthColumn,
        DataColumn,
        // From the databases in use: the message's name and its signals in the newest frame.
        MessageColumn,
        SignalsColumn,
        ColumnCount
    };
    enum Role {
        SortRole = Qt::UserRole, // numbers where the column holds numbers
        // For the data column: one byte per data byte, how strongly its change shows,
        // 0 to FadeSteps.
        ChangeLevelsRole,
    };
    static constexpr int FadeSteps = 8;
    static constexpr qint64 FadeUs = 1000000;
    static constexpr qint64 MinQuietUs = 1000000;
    static constexpr int QuietCycles = 3;

    explicit IdOverviewModel(IdOverview *source, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // What a numeric column sorts by; identifiers of equal number go by kind, then channel.
    static qint64 sortKey(const IdOverviewRow &row, int column);
    const IdOverviewRow &row(int index) const { return m_rows.at(std::size_t(index)); }
    // Takes what the display thread handed over since the last refresh.
    void refresh();
    void apply(const IdOverviewUpdate &update);
    // While paused the clock stands still, so nothing fades or dims.
    void setPaused(bool paused);
    // A hidden overview takes no rows and runs no timer; shown again, it catches up at once.
    void setShown(bool shown);
    // Microseconds since the epoch; tests and benchmarks replace the host clock.
    void setHostClock(std::function<qint64()> clock);
    // Device time now, in the rows' microseconds: a live stream's clock runs on with the host's
    // past its newest frame, a log's stands at its newest frame.
    qint64 nowUs() const;
    // Brings the fades and dims up to the clock; the timer calls it.
    void updateLooks();
    // Frames of identifiers the overview had no more rows for, since the last clear.
    quint64 unlistedFrames() const { return m_unlistedFrames; }
    // The databases the message and signal columns decode with; the program's own by default.
    void setDatabases(QSharedPointer<const DatabaseSet::Snapshot> databases);
    bool hasDatabases() const { return m_databases && !m_databases->isEmpty(); }

signals:
    void unlistedFramesChanged(quint64 frames);

private:
    QString messageName(const LogFrame &frame) const;
    bool isDimmed(const IdOverviewRow &row, qint64 nowUs) const;
    quint64 lookOf(const IdOverviewRow &row, qint64 nowUs) const;
    void emitChanged(const std::vector<int> &rows,
                     int firstColumn,
                     int lastColumn,
                     const QVector<int> &roles);

    IdOverview *m_source = nullptr;
    std::vector<IdOverviewRow> m_rows;
    std::vector<quint64> m_looks; // the look each row was last painted with
    qint64 m_newestUs = IdOverviewRow::Never;
    qint64 m_newestHostUs = 0;
    bool m_live = true;
    quint64 m_unlistedFrames = 0;
    bool m_paused = false;
    bool m_shown = true;
    qint64 m_pausedHostUs = 0;
    std::function<qint64()> m_hostClock;
    QTimer *m_lookTimer = nullptr;
    QSharedPointer<const DatabaseSet::Snapshot> m_databases;
};
