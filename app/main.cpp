#include "link/serialcontrol.h"
#include "protocol/contextprotocol.h"

#include <QApplication>
#include <QDebug>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    SerialControl *serial = SerialControl::instance();
    contextProtocol::instance();
    qDebug() << "ports:" << serial->availablePorts();
    return 0;
}
