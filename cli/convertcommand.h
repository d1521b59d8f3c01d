#pragma once

// rcan-cli convert: reads a log of any format the program reads and writes it in another.

#include <QStringList>

class ConvertCommand
{
public:
    int run(const QStringList &arguments);
};
