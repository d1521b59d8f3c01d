#pragma once

#include <QSpinBox>

// Spin box in the application's look (light blue outline).
class RSpinBox : public QSpinBox
{
    Q_OBJECT

public:
    explicit RSpinBox(QWidget *parent = nullptr);
};
