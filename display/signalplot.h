#pragma once

// Plots of decoded signals over device time, one strip per signal on a shared time axis. New
// values come from the store on a timer, only those not drawn yet; a signal added while frames
// are already in the history is first filled from the history, decoded once on a worker thread.
// Drag and wheel pan and zoom the time; a click puts a cursor that reads every signal's value at
// that time. Following live keeps the newest values in view; freezing stops taking new ones.

#include "candb/signalstore.h"
#include "display/canrecordbuffer.h"

#include <QHash>
#include <QWidget>

#include <functional>

class QCPAxisRect;
class QCPGraph;
class QCPItemStraightLine;
class QCPItemText;
class QCPMarginGroup;
class QCPRange;
class QCustomPlot;
class QLabel;
class QMouseEvent;
class QTimer;
class QToolButton;
class QWheelEvent;

class SignalPlot : public QWidget
{
    Q_OBJECT
public:
    // Gives a copy of the history and runs the callback on the feeding thread right after the
    // copy, before any later frame reaches the store.
    using HistorySource = std::function<CanRecordBuffer(const std::function<void()> &atCopy)>;

    explicit SignalPlot(SignalStore *store,
                        DatabaseSet *databases,
                        HistorySource history,
                        QWidget *parent = nullptr);
    ~SignalPlot() override;

    // Adds the signals not plotted yet.
    void addSignals(const QVector<SignalKey> &keys);
    void removeAll();
    QVector<SignalKey> plotted() const;

    void setFollow(bool on);
    bool follows() const;
    void setFrozen(bool on);
    bool isFrozen() const;
    // The cursor at `time`; the values read there, as shown.
    void setCursor(double time);
    QStringList cursorTexts() const;

    bool exportCsv(const QString &path) const;
    bool exportPng(const QString &path);

    // Takes new values and draws; the timer calls it.
    void update();
    QCustomPlot *plot() const { return m_plot; }
    QCPGraph *graph(const SignalKey &key) const;
    bool backfillPending() const { return m_backfills > 0; }

    // Following live redraws the whole plot; four times a second keeps it moving smoothly enough
    // at a fraction of the cost of ten. Zooming and panning redraw at once, not on this timer.
    static constexpr int RedrawMs = 250;
    static constexpr double DefaultSpanSeconds = 10.0;
    // Values kept per signal unless told otherwise: as many as a history of the default size
    // holds frames.
    static constexpr int MaxPoints = 1000000;
    // A plot kept as deep as the history: asked whenever values are added.
    void setMaxPointsSource(std::function<int()> source) { m_maxPoints = std::move(source); }

signals:
    // A history fill has arrived and is drawn.
    void backfilled();

protected:
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    struct Trace
    {
        SignalKey key;
        QString messageName;
        QString unit;
        QMap<qint64, QString> names; // named values by raw, with the signal's factor and offset
        double factor = 1.0;
        double offset = 0.0;
        QCPAxisRect *rect = nullptr;
        QCPGraph *graph = nullptr;
        QCPItemStraightLine *cursor = nullptr;
        QCPItemText *readout = nullptr;
        int taken = 0; // values taken from the store's series
        double low = 0.0;
        double high = 0.0;
        bool hasRange = false;
    };

    void retranslate();
    Trace *makeTrace(const SignalKey &key);
    void append(Trace &trace, const QVector<SignalSample> &samples);
    void fitValueAxis(Trace &trace);
    void syncTimeAxes(const QCPRange &range);
    void followNewest();
    void fitAll();
    void relayout();
    void updateCursorTexts();
    QString valueText(const Trace &trace, double value) const;
    void onCleared();
    void onBackfill(const QHash<SignalKey, QVector<SignalSample>> &series);
    void askExportCsv();
    void askExportPng();
    void onMousePress(QMouseEvent *event);
    void onMouseRelease(QMouseEvent *event);

    SignalStore *m_store;
    DatabaseSet *m_databases;
    HistorySource m_history;
    std::function<int()> m_maxPoints;
    QCustomPlot *m_plot;
    QCPMarginGroup *m_margins;
    QToolButton *m_follow;
    QToolButton *m_freeze;
    QToolButton *m_fit;
    QToolButton *m_clear;
    QToolButton *m_png;
    QToolButton *m_csv;
    QLabel *m_cursorLabel;
    QTimer *m_timer;
    QVector<Trace *> m_traces;
    bool m_syncing = false;
    bool m_hasCursor = false;
    double m_cursorTime = 0.0;
    QPoint m_pressAt;
    bool m_dirty = false;
    int m_backfills = 0;
    int m_removals = 0; // "Remove all" presses, so a history decoded before one is dropped
    quint64 m_generation = 0; // of the store's values drawn
};
