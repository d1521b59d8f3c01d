#include "portoptions.h"

#include "link/serialcontrol.h"
#include "virtualadapter.h"

#include <QCoreApplication>
#include <QDebug>

namespace {
VirtualAdapter *g_simulated = nullptr;

// Accepts "--name value" and "--name=value"; advances i past what it used.
bool optionValue(const QStringList &arguments, int &i, const QString &name, QString *value)
{
    const QString &arg = arguments.at(i);
    if (arg == name) {
        if (i + 1 >= arguments.size())
            return false;
        *value = arguments.at(++i);
        return true;
    }
    *value = arg.mid(name.size() + 1);
    return true;
}
} // namespace

VirtualAdapter *simulatedAdapter()
{
    return g_simulated;
}

void stopSimulatedAdapter()
{
    if (g_simulated)
        g_simulated->stop();
}

bool applyPortOptions(const QStringList &arguments, QString *error)
{
    QStringList problems;
    QStringList ports;
    bool simulate = false;
    int rate = DefaultSimulatedRate;

    const QString portOption = QStringLiteral("--port");
    const QString rateOption = QStringLiteral("--simulate-rate");
    for (int i = 1; i < arguments.size(); ++i) {
        const QString &arg = arguments.at(i);
        QString value;
        if (arg == QLatin1String("--simulate")) {
            simulate = true;
        } else if (arg == portOption || arg.startsWith(portOption + QLatin1Char('='))) {
            if (!optionValue(arguments, i, portOption, &value) || value.isEmpty()
                || value.startsWith(QLatin1String("--")))
                problems << QStringLiteral("--port needs a device path");
            else
                ports << value;
        } else if (arg == rateOption || arg.startsWith(rateOption + QLatin1Char('='))) {
            bool ok = false;
            if (optionValue(arguments, i, rateOption, &value))
                rate = value.toInt(&ok);
            if (!ok || rate < 0) {
                problems << QStringLiteral("--simulate-rate needs a frame rate of 0 or more");
                rate = DefaultSimulatedRate;
            }
        }
    }

    QString reason;
    if (!applyPortOptions(ports, simulate, rate, &reason))
        problems << reason;
    if (error)
        *error = problems.join(QStringLiteral("; "));
    return problems.isEmpty();
}

bool applyPortOptions(const QStringList &ports, bool simulate, int rate, QString *error)
{
    QStringList problems;
    SerialControl *serial = SerialControl::instance();
    for (const QString &port : ports)
        serial->addExtraPort(port);

    if (simulate && !g_simulated) {
        // Lives as long as the application; its port stays listed until it is unplugged.
        auto *adapter = new VirtualAdapter(QCoreApplication::instance());
        adapter->setFrameRate(rate);
        QString reason;
        if (adapter->start(&reason)) {
            g_simulated = adapter;
            serial->addExtraPort(adapter->slavePath());
            qDebug().noquote() << QStringLiteral("virtual adapter on") << adapter->slavePath();
        } else {
            delete adapter;
            problems << QStringLiteral("virtual adapter: ") + reason;
        }
    }

    if (error)
        *error = problems.join(QStringLiteral("; "));
    return problems.isEmpty();
}
