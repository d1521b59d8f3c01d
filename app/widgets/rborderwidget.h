#pragma once

#include <QWidget>

// Base of every secondary window: a frameless, application-modal tool window drawn with a thin
// border in the title-bar colour and a white body. Its title bar is an rFrameLessWidget.
class RborderWidget : public QWidget
{
    Q_OBJECT

public:
    explicit RborderWidget(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};
