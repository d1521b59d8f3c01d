#pragma once

// Pop-up editor for a frame's data bytes: one row per byte with eight bit buttons, a hex and a
// decimal field kept in step, and a confirm button that hands the bytes back as "AA BB ..." text.
// Deletes itself once it delivered its result or was closed.

#include "app/widgets/rborderwidget.h"

#include <QList>
#include <QString>

class QLineEdit;
class QPushButton;
class rFrameLessWidget;

namespace Ui {
class KeyBoard;
}

class KeyBoard : public RborderWidget
{
    Q_OBJECT
public:
    KeyBoard(QWidget *parent, int dataLength);
    ~KeyBoard() override;

    int byteCount() const { return dataLength; }

public slots:
    void open_keyBoard();
    void get_data();

signals:
    void signal_transResult(QString &st);

private:
    void onBitClicked(int bit);
    void onHexEdited(int row);
    void onDecEdited(int row);
    void setRowBits(int row, uint value);

    Ui::KeyBoard *ui = nullptr;
    int dataLength = 0;
    QList<QPushButton *> bitButtons;
    QList<QLineEdit *> byteEdits; // hex field of row r at 2r, decimal field at 2r + 1
    rFrameLessWidget *titleBar = nullptr;
};
