#pragma once

#include <QComboBox>

// Combo box in the application's look (light blue outline).
class Rcombox : public QComboBox
{
    Q_OBJECT

public:
    explicit Rcombox(QWidget *parent = nullptr);
};
