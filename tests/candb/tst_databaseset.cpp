// The set of databases in use: which database describes a frame on which channel, snapshots that
// stay as they were while the set changes, reloading a changed file, and the list as settings
// keep it.

#include "candb/databaseset.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QByteArray dbcWith(const QByteArray &messages)
{
    return "VERSION \"\"\n\nBS_:\n\nBU_: E\n\n" + messages;
}

QByteArray message(int id, const QByteArray &name)
{
    return "BO_ " + QByteArray::number(id) + " " + name
        + ": 8 E\n SG_ S : 0|8@1+ (1,0) [0|0] \"\" E\n\n";
}

} // namespace

class tst_DatabaseSet : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void find_data();
    void find();
    void snapshotOutlivesChanges();
    void refusedFileIsListedWithItsReason();
    void reloadReadsTheFileAgain();
    void settingsRoundTrip();

private:
    QString write(const QString &name, const QByteArray &text);

    QScopedPointer<QTemporaryDir> m_dir;
};

void tst_DatabaseSet::init()
{
    m_dir.reset(new QTemporaryDir);
    QVERIFY(m_dir->isValid());
}

QString tst_DatabaseSet::write(const QString &name, const QByteArray &text)
{
    const QString path = m_dir->filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        return QString();
    return path;
}

void tst_DatabaseSet::find_data()
{
    QTest::addColumn<int>("firstChannels");
    QTest::addColumn<int>("secondChannels");
    QTest::addColumn<int>("channel");
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("expected"); // empty: no match

    const int both = DatabaseSet::BothChannels;
    QTest::newRow("only in the first") << both << both << 1 << 0x10 << "OnlyFirst";
    QTest::newRow("only in the second") << both << both << 2 << 0x20 << "OnlySecond";
    QTest::newRow("in both: the first listed wins") << both << both << 1 << 0x30 << "SharedFirst";
    QTest::newRow("first not on this channel")
        << int(DatabaseSet::Channel1) << both << 2 << 0x30 << "SharedSecond";
    QTest::newRow("second on the other channel only")
        << both << int(DatabaseSet::Channel2) << 1 << 0x20 << QString();
    QTest::newRow("unknown identifier") << both << both << 1 << 0x40 << QString();
    QTest::newRow("channel 3 does not exist") << both << both << 3 << 0x10 << QString();
}

void tst_DatabaseSet::find()
{
    QFETCH(int, firstChannels);
    QFETCH(int, secondChannels);
    QFETCH(int, channel);
    QFETCH(int, id);
    QFETCH(QString, expected);
    const QString first = write(QStringLiteral("first.dbc"),
                                dbcWith(message(0x10, "OnlyFirst") + message(0x30, "SharedFirst")));
    const QString second
        = write(QStringLiteral("second.dbc"),
                dbcWith(message(0x20, "OnlySecond") + message(0x30, "SharedSecond")));
    DatabaseSet set;
    QSignalSpy changed(&set, &DatabaseSet::changed);
    QVERIFY(changed.isValid());
    QVERIFY(set.add(first, firstChannels).ok);
    QVERIFY(set.add(second, secondChannels).ok);
    QCOMPARE(changed.count(), 2);

    const DatabaseSet::Match match = set.snapshot()->find(channel, quint32(id), false);
    QCOMPARE(match ? match.message->name : QString(), expected);
    QVERIFY(!set.snapshot()->find(channel, quint32(id), true)); // extended is another identifier
    if (match) {
        const DatabaseSet::Entry &entry = set.snapshot()->entries.at(match.entry);
        QCOMPARE(entry.database->message(quint32(id), false), match.message);
    }
}

void tst_DatabaseSet::snapshotOutlivesChanges()
{
    const QString path = write(QStringLiteral("a.dbc"), dbcWith(message(0x10, "Kept")));
    DatabaseSet set;
    set.add(path, DatabaseSet::BothChannels);
    const QSharedPointer<const DatabaseSet::Snapshot> before = set.snapshot();
    set.setChannels(0, DatabaseSet::Channel2);
    set.remove(0);
    QVERIFY(set.snapshot()->isEmpty());
    QCOMPARE(before->entries.size(), 1);
    QCOMPARE(before->entries.first().channels, int(DatabaseSet::BothChannels));
    const DatabaseSet::Match match = before->find(1, 0x10, false);
    QVERIFY(match);
    QCOMPARE(match.message->name, QStringLiteral("Kept"));
}

void tst_DatabaseSet::refusedFileIsListedWithItsReason()
{
    const QString path = write(QStringLiteral("notes.dbc"), "shopping list\n");
    DatabaseSet set;
    const DbcReadResult result = set.add(path, DatabaseSet::BothChannels);
    QVERIFY(!result.ok);
    QCOMPARE(set.entries().size(), 1);
    QVERIFY(!set.entries().first().database);
    QCOMPARE(set.entries().first().error, result.error);
    QVERIFY(!result.error.isEmpty());
}

void tst_DatabaseSet::reloadReadsTheFileAgain()
{
    const QString path = write(QStringLiteral("a.dbc"), dbcWith(message(0x10, "Old")));
    DatabaseSet set;
    set.add(path, DatabaseSet::Channel1);
    QVERIFY(!write(QStringLiteral("a.dbc"), dbcWith(message(0x10, "New") + "garbage\n")).isEmpty());
    const DbcReadResult result = set.reload(0);
    QVERIFY(result.ok);
    QCOMPARE(set.entries().first().problems.size(), 1);
    QCOMPARE(set.entries().first().channels, int(DatabaseSet::Channel1));
    QCOMPARE(set.snapshot()->find(1, 0x10, false).message->name, QStringLiteral("New"));
    QVERIFY(!set.reload(5).ok);
}

void tst_DatabaseSet::settingsRoundTrip()
{
    const QString a = write(QStringLiteral("a.dbc"), dbcWith(message(0x10, "A")));
    const QString b = write(QStringLiteral("b.dbc"), dbcWith(message(0x20, "B")));
    DatabaseSet set;
    set.add(a, DatabaseSet::Channel2);
    set.add(b, DatabaseSet::BothChannels);

    DatabaseSet restored;
    restored.fromSettings(set.toSettings());
    const QVector<DatabaseSet::Entry> entries = restored.entries();
    QCOMPARE(entries.size(), 2);
    QCOMPARE(entries.at(0).path, a);
    QCOMPARE(entries.at(0).channels, int(DatabaseSet::Channel2));
    QCOMPARE(entries.at(1).path, b);
    QVERIFY(restored.snapshot()->find(2, 0x10, false));
    QVERIFY(!restored.snapshot()->find(1, 0x10, false));
    QVERIFY(restored.snapshot()->find(1, 0x20, false));
}

QTEST_GUILESS_MAIN(tst_DatabaseSet)
#include "tst_databaseset.moc"
