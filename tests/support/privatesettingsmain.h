#pragma once

// A QTEST_MAIN for widget tests that reach the device panel or anything else that writes
// settings: every write lands in a temporary folder, never in the user's real store.

#include <QApplication>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#define RCAN_TEST_MAIN_PRIVATE_SETTINGS(TestObject)                                                \
    int main(int argc, char *argv[])                                                               \
    {                                                                                              \
        QTemporaryDir config;                                                                      \
        if (!config.isValid())                                                                     \
            return 1;                                                                              \
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));                              \
        QApplication app(argc, argv);                                                              \
        /* Qt's test mode would send every test program to one shared ~/.qttest store. */          \
        const QString store                                                                        \
            = QSettings(QStringLiteral("QJN-QT"), QStringLiteral("VEDOvozevoz_Iviz")).fileName();  \
        if (!store.startsWith(config.path())) {                                                    \
            qCritical("settings would land in %s", qPrintable(store));                             \
            return 1;                                                                              \
        }                                                                                          \
        TestObject test;                                                                           \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return QTest::qExec(&test, argc, argv);                                                    \
    }
