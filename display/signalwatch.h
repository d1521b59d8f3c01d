#pragma once

// The signal watch: every decoded signal with its latest value, raw value, minimum, maximum,
// count and time, filtered by name. Follows the store on a timer while shown, live or on an
// opened log. The picked signals can be plotted or their history exported as CSV.

#include "candb/signalstore.h"
#include "display/canrecordbuffer.h"

#include <QWidget>

#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;
class QSortFilterProxyModel;
class QTableView;
class QTimer;
class SignalWatchModel;

class SignalWatch : public QWidget
{
    Q_OBJECT
public:
    // `history` gives a copy of the frames the store was fed, for the CSV export.
    using HistorySource = std::function<CanRecordBuffer()>;

    explicit SignalWatch(SignalStore *store,
                         DatabaseSet *databases,
                         HistorySource history,
                         QWidget *parent = nullptr);

    SignalWatchModel *model() const { return m_model; }
    // The picked rows' signals, or every shown row's when none is picked.
    QVector<SignalKey> pickedSignals() const;
    // Writes the history of `keys` to `path`; false with a message shown when it could not.
    bool exportCsv(const QString &path, const QVector<SignalKey> &keys, bool wide);

    static constexpr int RefreshMs = 500;

signals:
    void plotRequested(const QVector<SignalKey> &keys);

protected:
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void retranslate();
    void refresh();
    void askExport();

    SignalStore *m_store;
    DatabaseSet *m_databases;
    HistorySource m_history;
    SignalWatchModel *m_model;
    QSortFilterProxyModel *m_proxy;
    QLineEdit *m_filter;
    QPushButton *m_plot;
    QPushButton *m_export;
    QTableView *m_table;
    QLabel *m_status;
    QTimer *m_timer;
};
