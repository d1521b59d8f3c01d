#pragma once

// rcan-cli decode: every frame of a log as one JSON object a line, in order, with the message the
// CAN database names for it and its signals' physical values (a named value as its name).

#include <QStringList>

class DecodeCommand
{
public:
    int run(const QStringList &arguments);
};
