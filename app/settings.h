#pragma once

#include <QString>
#include <QVariant>

// The program's few remembered values ("Language", "CBAUDRATE1", "CBAUDNAME1", "CBAUDRATE2",
// "CBAUDNAME2", "HistorySize") in the platform settings store. Each call opens and closes the
// store, so a written value is on disk when writeSetting returns.

QVariant readSetting(const QString &key, const QVariant &defaultValue = QVariant());
void writeSetting(const QString &key, const QVariant &value);
