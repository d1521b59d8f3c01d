#pragma once

// rcan-cli ports: the serial ports the adapter can be on, one a line.

#include <QStringList>

class PortsCommand
{
public:
    int run(const QStringList &arguments);
};
