#pragma once

// A QTEST_MAIN for widget tests that reach the device panel or anything else that writes
// settings: every write lands in a temporary folder, never in the user's real store.

#include <QApplication>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#define RCAN_TEST_MAIN_PRIVATE_SETTINGS(TestObject)                                               \
    int main(int argc, char *argv[])                                                             \
    {                                                                                            \
        QTemporaryDir config;                                                                    \
        if (!config.isValid())                                                                   \
            return 1;                                                                            \
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));                            \
        QStandardPaths::setTestModeEnabled(true);                                                \
        QApplication app(argc, argv);                                                            \
        TestObject test;                                                                         \
        QTEST_SET_MAIN_SOURCE_PATH                                                               \
        return QTest::qExec(&test, argc, argv);                                                  \
    }
