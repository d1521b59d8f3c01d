#pragma once

#include "app/widgets/windowdrag.h"

#include <QWidget>

// The main window's logo strip: a painted colour ramp under the logo picture. It doubles as the
// main window's drag handle; a double click toggles between maximised and normal.
class Rtitle : public QWidget
{
    Q_OBJECT

public:
    explicit Rtitle(QWidget *parent = nullptr);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    QWidget *m_target = nullptr;
    WindowDrag m_drag;
};
