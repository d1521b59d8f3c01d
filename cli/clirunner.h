#pragma once

// The command line's entry: picks the command named by the first argument and runs it.

#include <QStringList>

class CliRunner
{
public:
    // `arguments` as the process got them, the program first. Returns the exit code.
    static int run(const QStringList &arguments);
    static QString overview();
};
