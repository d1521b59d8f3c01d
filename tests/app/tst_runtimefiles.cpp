#include "app/checkedtranslator.h"
#include "app/runtimefiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

// Files beside the program are found from the program's folder first, then from the install
// location, and only then from the working directory.
class tst_RuntimeFiles : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void lookupOrder_data();
    void lookupOrder();
    void workingDirectoryIsLast();
    void damagedTranslation_data();
    void damagedTranslation();

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

void tst_RuntimeFiles::workingDirectoryIsLast()
{
    const QStringList folders = RuntimeFiles::searchFolders();
    QCOMPARE(folders,
             (QStringList { QCoreApplication::applicationDirPath(),
                            QStringLiteral(RCAN_INSTALL_DATADIR), QDir::currentPath() }));
}

void tst_RuntimeFiles::damagedTranslation_data()
{
    QTest::addColumn<quint32>("seed"); // 0: the file as built
    QTest::newRow("as built") << 0u;
    for (quint32 seed = 1; seed <= 300; ++seed)
        QTest::addRow("damaged %u", seed) << seed;
}

void tst_RuntimeFiles::damagedTranslation()
{
    // A damaged file is either refused or read without harm; the file as built is taken.
    QFETCH(quint32, seed);
    static QList<QPair<QByteArray, QByteArray>> messages;
    if (messages.isEmpty()) {
        QFile ts(QFINDTESTDATA("../../app/translations/Language_EN.ts"));
        QVERIFY(ts.open(QIODevice::ReadOnly));
        QXmlStreamReader xml(&ts);
        QByteArray context;
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isStartElement() && xml.name() == QLatin1String("name"))
                context = xml.readElementText().toUtf8();
            else if (xml.isStartElement() && xml.name() == QLatin1String("source"))
                messages.append({ context, xml.readElementText().toUtf8() });
        }
        QVERIFY(messages.size() > 100);
    }
    QFile built(QCoreApplication::applicationDirPath()
                + QStringLiteral("/language/Language_EN.qm"));
    QVERIFY(built.open(QIODevice::ReadOnly));
    QByteArray data = built.readAll();
    QRandomGenerator random(seed);
    if (seed != 0 && seed % 10 == 0) {
        data.truncate(int(random.bounded(quint32(data.size()))));
    } else if (seed != 0) {
        for (int flips = 1 + int(seed % 4); flips > 0; --flips)
            data[int(random.bounded(quint32(data.size())))] = char(random.generate());
    }
    const QString path = m_workingDir.filePath(QStringLiteral("damaged.qm"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(data);
    file.close();

    CheckedTranslator translator;
    QString why;
    const bool loaded = translator.loadChecked(path, &why);
    if (seed == 0)
        QVERIFY2(loaded, qPrintable(why));
    if (!loaded)
        return;
    int translated = 0;
    for (const auto &m : qAsConst(messages)) {
        translated += !translator.translate(m.first.constData(), m.second.constData()).isEmpty();
        translator.translate("NoSuchContext", m.second.constData());
    }
    if (seed == 0)
        QCOMPARE(translated, messages.size());
}

QTEST_GUILESS_MAIN(tst_RuntimeFiles)
#include "tst_runtimefiles.moc"
