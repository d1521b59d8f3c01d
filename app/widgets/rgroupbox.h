#pragma once

#include <QGroupBox>

// Group box of our forms; kept as its own class so forms can restyle all group boxes at once.
class RGroupBox : public QGroupBox
{
    Q_OBJECT

public:
    explicit RGroupBox(QWidget *parent = nullptr);
};
