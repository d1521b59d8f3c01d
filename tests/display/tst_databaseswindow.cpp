#include "app/settings.h"
#include "candb/databaseset.h"
#include "display/databasesmodel.h"
#include "display/databaseswindow.h"
#include "support/privatesettingsmain.h"
#include "support/textfile.h"
#include "support/vehicledbc.h"

#include <QAbstractItemModelTester>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QTableView>
#include <QtTest>

namespace {
// The vehicle database with an unreadable signal line as line 15.
QByteArray brokenDbc()
{
    QByteArray text = vehicleDbc();
    const int tail = text.indexOf("BO_ 2566869221");
    text.insert(tail - 1, QByteArrayLiteral(" SG_ Broken : 7x|8@1+ (1,0) [0|1] \"\" GW\n"));
    return text;
}
constexpr int BrokenLine = 15;
} // namespace

class tst_DatabasesWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void addReloadRemove();
    void settingsRoundTrip();

private:
    void addFile(DatabasesWindow &window, const QString &path, int channels);

    QScopedPointer<QTemporaryDir> m_dir;
    QString m_good;
    QString m_broken;
    QString m_notDbc;
};

void tst_DatabasesWindow::init()
{
    writeSetting(QLatin1String(DatabasesModel::SettingsKey), QVariant());
    m_dir.reset(new QTemporaryDir);
    QVERIFY(m_dir->isValid());
    m_good = m_dir->filePath(QStringLiteral("vehicle.dbc"));
    m_broken = m_dir->filePath(QStringLiteral("broken.dbc"));
    m_notDbc = m_dir->filePath(QStringLiteral("notes.dbc"));
    QVERIFY(writeTestFile(m_good, vehicleDbc()));
    QVERIFY(writeTestFile(m_broken, brokenDbc()));
    QVERIFY(writeTestFile(m_notDbc, QByteArrayLiteral("Shopping list\nmilk\n")));
}

void tst_DatabasesWindow::addFile(DatabasesWindow &window, const QString &path, int channels)
{
    window.channelsBox()->setCurrentIndex(window.channelsBox()->findData(channels));
    window.setFileProvider([path] { return QStringList { path }; });
    window.addFiles();
}

void tst_DatabasesWindow::addReloadRemove()
{
    DatabaseSet databases;
    DatabasesWindow window(&databases);
    QAbstractItemModelTester tester(window.model(),
                                    QAbstractItemModelTester::FailureReportingMode::QtTest);
    addFile(window, m_good, DatabaseSet::Channel1);
    addFile(window, m_broken, DatabaseSet::Channel2);
    QCOMPARE(window.model()->rowCount(), 2);

    // The file just added is the one shown, with the line the reader could not read.
    const DatabaseSet::Entry broken = window.model()->entry(1);
    QCOMPARE(broken.channels, int(DatabaseSet::Channel2));
    QVERIFY(broken.database);
    QCOMPARE(broken.database->messages().size(), 3);
    QCOMPARE(broken.problems.size(), 1);
    QCOMPARE(broken.problems.first().line, BrokenLine);
    QVERIFY(window.problemsView()->toPlainText().contains(QString::number(BrokenLine)));

    // Repaired on disk and read again: no problem left.
    QVERIFY(writeTestFile(m_broken, vehicleDbc()));
    window.reloadCurrent();
    QVERIFY(window.model()->entry(1).problems.isEmpty());
    QCOMPARE(window.view()->currentIndex().row(), 1);

    // A file that is not a database is listed with why it was refused.
    addFile(window, m_notDbc, DatabaseSet::BothChannels);
    QCOMPARE(window.model()->rowCount(), 3);
    QVERIFY(!window.model()->entry(2).database);
    const QString refusal = window.model()->entry(2).error;
    QVERIFY(!refusal.isEmpty());
    QCOMPARE(window.problemsView()->toPlainText(), refusal);
    QCOMPARE(window.model()->index(2, DatabasesModel::StateColumn).data().toString(), refusal);

    // A file's channels are changed in the list, and kept.
    const QModelIndex channels = window.model()->index(0, DatabasesModel::ChannelsColumn);
    QCOMPARE(channels.data(Qt::EditRole).toInt(), int(DatabaseSet::Channel1));
    QVERIFY(window.model()->setData(channels, int(DatabaseSet::BothChannels)));
    QCOMPARE(databases.entries().at(0).channels, int(DatabaseSet::BothChannels));
    DatabaseSet kept;
    DatabasesModel::restore(&kept);
    QCOMPARE(kept.entries().at(0).channels, int(DatabaseSet::BothChannels));
    QVERIFY(!window.model()->setData(channels, 4));
    window.view()->setCurrentIndex(window.model()->index(0, 0));

    window.removeCurrent();
    QCOMPARE(window.model()->rowCount(), 2);
    QCOMPARE(databases.entries().at(0).path, m_broken);
    QCOMPARE(readSetting(QLatin1String(DatabasesModel::SettingsKey)).toList().size(), 2);
}

void tst_DatabasesWindow::settingsRoundTrip()
{
    {
        DatabaseSet databases;
        DatabasesWindow window(&databases);
        addFile(window, m_good, DatabaseSet::Channel2);
        addFile(window, m_broken, DatabaseSet::BothChannels);
    }
    // Gone before the next start: still listed, with the reason.
    QVERIFY(QFile::remove(m_good));

    DatabaseSet restored;
    DatabasesModel model(&restored);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    DatabasesModel::restore(&restored);
    QCOMPARE(model.rowCount(), 2);
    const DatabaseSet::Entry gone = model.entry(0);
    QCOMPARE(gone.path, m_good);
    QCOMPARE(gone.channels, int(DatabaseSet::Channel2));
    QVERIFY(!gone.database);
    QVERIFY(!gone.error.isEmpty());
    QCOMPARE(model.index(0, DatabasesModel::StateColumn).data().toString(), gone.error);

    const DatabaseSet::Entry read = model.entry(1);
    QCOMPARE(read.path, m_broken);
    QCOMPARE(read.channels, int(DatabaseSet::BothChannels));
    QVERIFY(read.database);
    QCOMPARE(read.problems.size(), 1);
    QCOMPARE(model.index(1, DatabasesModel::MessagesColumn).data().toString(), QStringLiteral("3"));
}

RCAN_TEST_MAIN_PRIVATE_SETTINGS(tst_DatabasesWindow)
#include "tst_databaseswindow.moc"
