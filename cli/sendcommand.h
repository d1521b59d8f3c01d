#pragma once

// rcan-cli send: puts frames given in cansend syntax on one channel, each waiting for the
// adapter's send result; a refusal or a missing answer ends it with exit code 1.

#include <QObject>
#include <QStringList>

class SendCommand : public QObject
{
    Q_OBJECT
public:
    int run(const QStringList &arguments);
};
