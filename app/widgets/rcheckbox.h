#pragma once

#include <QCheckBox>

// Check box in the application's look: light blue box, our own check mark.
class RcHECKbOX : public QCheckBox
{
    Q_OBJECT

public:
    explicit RcHECKbOX(QWidget *parent = nullptr);
};
