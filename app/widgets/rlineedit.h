#pragma once

#include <QLineEdit>

// Line edit in the application's look (light blue outline).
class RLineEdit : public QLineEdit
{
    Q_OBJECT

public:
    explicit RLineEdit(QWidget *parent = nullptr);
};
