#pragma once

#include "app/widgets/windowdrag.h"

#include <QColor>
#include <QWidget>

namespace Ui {
class rFrameLessWidget;
}

// Title bar of our frameless windows: title text, the window buttons chosen by `flags`
// (2 minimise, 4 maximise, 8 close) and dragging. It only reports button presses; the window
// that owns it decides what they do.
class rFrameLessWidget : public QWidget
{
    Q_OBJECT

public:
    explicit rFrameLessWidget(QWidget *parent = nullptr,
                              const QString &title = QString(),
                              int flags = 8,
                              const QColor &background = QColor(0, 66, 99));
    ~rFrameLessWidget() override;

    void setTitle(const QString &title);

signals:
    void Signal_Close();
    void Signal_MaxSize();
    void Signal_MinSize();
    void Signal_NormalSize();
    void Signal_Help();

private slots:
    void on_minsize_clicked();
    void on_maxsize_clicked();
    void on_close_clicked();
    void on_help_clicked();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    Ui::rFrameLessWidget *ui = nullptr;
    QWidget *m_target = nullptr;
    WindowDrag m_drag;
};
