#include "app/runtimefiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

// Files beside the program are found from the program's folder first, then from the working
// directory, then from the install location.
class tst_RuntimeFiles : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void lookupOrder_data();
    void lookupOrder();
    void installFolderIsLast();

private:
    QString m_relative;
    QTemporaryDir m_workingDir;
    QString m_originalDir;
};

void tst_RuntimeFiles::initTestCase()
{
    QVERIFY(m_workingDir.isValid());
    m_relative = QStringLiteral("rcan-lookup-%1/probe.txt").arg(QCoreApplication::applicationPid());
    m_originalDir = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_workingDir.path()));
}

void tst_RuntimeFiles::cleanupTestCase()
{
    QDir::setCurrent(m_originalDir);
    QDir(QDir(QCoreApplication::applicationDirPath()).filePath(QFileInfo(m_relative).path()))
        .removeRecursively();
}

void tst_RuntimeFiles::lookupOrder_data()
{
    QTest::addColumn<bool>("besideProgram");
    QTest::addColumn<bool>("inWorkingDir");
    QTest::addColumn<QString>("expectedFolder");

    QTest::newRow("beside the program") << true << false << "program";
    QTest::newRow("in the working directory") << false << true << "working";
    QTest::newRow("both: the program's copy wins") << true << true << "program";
    QTest::newRow("nowhere: the name comes back unchanged") << false << false << "";
}

void tst_RuntimeFiles::lookupOrder()
{
    QFETCH(bool, besideProgram);
    QFETCH(bool, inWorkingDir);
    QFETCH(QString, expectedFolder);

    const QString programDir = QCoreApplication::applicationDirPath();
    const QString workingDir = m_workingDir.path();
    for (const QString &folder : { programDir, workingDir }) {
        const QString path = QDir(folder).filePath(m_relative);
        QFile::remove(path);
        const bool wanted = folder == programDir ? besideProgram : inWorkingDir;
        if (wanted) {
            QVERIFY(QDir().mkpath(QFileInfo(path).path()));
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
    }

    const QString found = RuntimeFiles::locate(m_relative);
    if (expectedFolder.isEmpty())
        QCOMPARE(found, m_relative);
    else
        QCOMPARE(found,
                 QDir(expectedFolder == QLatin1String("program") ? programDir : workingDir)
                     .filePath(m_relative));
}

void tst_RuntimeFiles::installFolderIsLast()
{
    const QStringList folders = RuntimeFiles::searchFolders();
    QCOMPARE(folders.size(), 3);
    QCOMPARE(folders.at(0), QCoreApplication::applicationDirPath());
    QCOMPARE(folders.at(1), QDir::currentPath());
    QCOMPARE(folders.at(2), QStringLiteral(RCAN_INSTALL_DATADIR));
}

QTEST_GUILESS_MAIN(tst_RuntimeFiles)
#include "tst_runtimefiles.moc"
