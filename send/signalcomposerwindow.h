#pragma once

// Builds a transmit-list entry from a CAN database message: the user picks the message, types
// signal values (numbers or names) or the data bytes, and sees the other follow. A value that
// does not fit is refused with the reason and the old one stays.

#include "app/widgets/rborderwidget.h"
#include "link/transmitlistscheduler.h"
#include "send/signalcomposer.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class QTableWidgetItem;
class rFrameLessWidget;

class SignalComposerWindow : public RborderWidget
{
    Q_OBJECT
public:
    enum Column { NameColumn, ValueColumn, UnitColumn, RawColumn, RangeColumn, ColumnCount };

    explicit SignalComposerWindow(QWidget *parent = nullptr);

    // Lists the messages of the databases in use again; the window calls it when shown.
    void loadMessages();
    void setMessage(const DbcMessage &message, int channel);
    const SignalComposer &composer() const { return m_composer; }
    QTableWidget *signalTable() const { return m_table; }
    QLineEdit *bytesEdit() const { return m_bytes; }
    QLabel *errorLabel() const { return m_error; }
    QComboBox *messageBox() const { return m_messages; }
    TransmitEntry entry() const;
    // What the button that hands the frame on says.
    void setActionText(const QString &text);

signals:
    void entryComposed(const TransmitEntry &entry);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void pickMessage(int index);
    void showValues();
    void onValueEdited(QTableWidgetItem *item);
    void onBytesEdited();
    void showError(const QString &text);

    SignalComposer m_composer;
    QVector<DbcMessage> m_listed;
    QVector<int> m_listedChannels;
    rFrameLessWidget *m_title = nullptr;
    QComboBox *m_messages = nullptr;
    QComboBox *m_channel = nullptr;
    QTableWidget *m_table = nullptr;
    QLineEdit *m_bytes = nullptr;
    QLabel *m_error = nullptr;
    QPushButton *m_addButton = nullptr;
    bool m_filling = false;
};
