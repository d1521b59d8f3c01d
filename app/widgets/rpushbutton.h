#pragma once

#include <QPushButton>

// Push button in the application's look: white, blue outline, light blue on hover, grey when
// disabled.
class RPushButton : public QPushButton
{
    Q_OBJECT

public:
    explicit RPushButton(QWidget *parent = nullptr);
};
