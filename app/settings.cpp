#include "app/settings.h"

#include <QSettings>

namespace {

const QString organization = QStringLiteral("QJN-QT");
const QString application = QStringLiteral("VEDOvozevoz_Iviz");

} // namespace

QVariant readSetting(const QString &key, const QVariant &defaultValue)
{
    const QSettings settings(organization, application);
    return settings.value(key, defaultValue);
}

void writeSetting(const QString &key, const QVariant &value)
{
    QSettings settings(organization, application);
    settings.setValue(key, value);
}
