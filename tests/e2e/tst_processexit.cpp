// How the program's process ends, watched from outside: killed outright while it records to a
// real-time log, and closed by its window button or by a termination signal while a device is
// open, traffic flows, a send run goes and real-time saving is on. This executable plays the
// program itself in a child process (started with --child-record or --child-close), built exactly
// like the program's entry point.

#include "app/applicationshell.h"
#include "app/razoradurodmainwindow.h"
#include "app/rcanresources.h"
#include "app/terminationsignals.h"
#include "display/canview_widget.h"
#include "send/generallyframesendwidget.h"
#include "send/tablepanel_widget.h"
#include "simulator/portoptions.h"
#include "simulator/virtualadapter.h"
#include "support/mainwindowdriver.h"
#include "support/soakrun.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>
#include <QtTest>

#include <csignal>
#include <cstdio>
#include <sys/resource.h>
#include <unistd.h>

namespace {
constexpr int ChildRatePerChannel = 2000;
const char RecordMode[] = "--child-record";
const char CloseMode[] = "--child-close";
const char SizeLimitMode[] = "--child-size-limit";
constexpr rlim_t SizeLimitBytes = 256 * 1024;
// The entry point lets the last window go with the process; holding on to it here keeps a leak
// checker from reporting what the program ends with on purpose.
RAZOradurodMainWindow *lastWindow = nullptr;

void report(const QByteArray &line)
{
    std::fputs(line.constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// Records from the virtual adapter to a real-time log until killed, telling the parent how many
// frames the buffer has recorded so far.
int childRecord(const QString &folder)
{
    rcanInitResources();
    int argc = 1;
    char name[] = "tst_processexit";
    char *argv[] = { name, nullptr };
    QApplication app(argc, argv);
    ApplicationShell::setUpApplicationFont();
    SoakOptions options;
    options.frames = 0;
    options.ratePerChannel = ChildRatePerChannel;
    options.folder = folder;
    options.scenario = false;
    options.progress = [](quint64 recorded) { report("recorded " + QByteArray::number(recorded)); };
    Soak::run(options);
    return 1; // never reached: the parent kills this process
}

// Records far past the process's file size limit, with the limit's signal left at its default
// (which ends the process): the program itself must turn it into a failed write.
int childSizeLimit(const QString &folder)
{
    std::signal(SIGXFSZ, SIG_DFL);
    rlimit limit {};
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = SizeLimitBytes;
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
        return 12;
    rcanInitResources();
    int argc = 1;
    char name[] = "tst_processexit";
    char *argv[] = { name, nullptr };
    QApplication app(argc, argv);
    SoakOptions options;
    options.frames = 40000; // about 2 MB of log
    options.ratePerChannel = 10000;
    options.folder = folder;
    options.scenario = false;
    const SoakResult result = Soak::run(options);
    report("survived " + QByteArray::number(result.framesRecorded));
    return 0;
}

// The program's entry point with a user who opens the virtual adapter, starts both channels,
// real-time saving and an endless send run, and then closes the main window; or, with `byButton`
// false, waits for the parent's termination signal, its error output a pipe nobody reads any more.
int childClose(const QString &folder, bool byButton)
{
    TerminationSignals::ignoreBrokenPipes();
    if (!byButton) {
        int fds[2];
        if (::pipe(fds) != 0 || ::dup2(fds[1], STDERR_FILENO) < 0)
            return 13;
        ::close(fds[0]);
        ::close(fds[1]);
    }
    rcanInitResources();
    int argc = 3;
    char name[] = "tst_processexit";
    char simulate[] = "--simulate";
    char rate[] = "--simulate-rate=0";
    char *argv[] = { name, simulate, rate, nullptr };
    QApplication app(argc, argv);
    ApplicationShell::setUpApplicationFont();
    if (!applyPortOptions(QApplication::arguments()))
        return 10;
    VirtualAdapter *adapter = simulatedAdapter();
    adapter->setSequenceNumbers(true);
    adapter->setLoopback(false);

    Soak::FrameTally *tally = nullptr;
    const auto snapshot = [&](const char *when) {
        if (!tally)
            return;
        const AdapterStatistics stats = adapter->statistics();
        report(QByteArray(when) + ' ' + QByteArray::number(tally->recordedRx()) + ' '
               + QByteArray::number(tally->recordedTx()) + ' '
               + QByteArray::number(stats.framesOverrun));
    };
    // Before the display buffer drains its queue into the log, and after the program closed.
    QObject::connect(&app, &QCoreApplication::aboutToQuit, [&] { snapshot("before"); });

    const int code = ApplicationShell::runMainWindows([&](RAZOradurodMainWindow *window) {
        lastWindow = window;
        QTimer::singleShot(0, window, [&, window] {
            tally = new Soak::FrameTally;
            CANView_Widget *view = window->receiveView();
            const QString log = QDir(folder).filePath(QStringLiteral("close.txt"));
            view->setFileNameProvider([log] { return log; });
            view->findChild<QPushButton *>(QStringLiteral("Button_saveOnTime"))->click();
            QString error;
            if (!Soak::openAndStart(adapter, &error)) {
                report("error " + error.toUtf8());
                QCoreApplication::exit(11);
                return;
            }
            adapter->setFrameRate(ChildRatePerChannel);

            tablePanel_Widget *panel = window->sendPage()->panel(0);
            panel->findChild<QComboBox *>(QStringLiteral("devicec_hannel"))->setCurrentIndex(0);
            panel->findChild<QLineEdit *>(QStringLiteral("canID"))->setText(QStringLiteral("7EF"));
            panel->findChild<QComboBox *>(QStringLiteral("canDataLength"))->setCurrentIndex(2);
            panel->findChild<QLineEdit *>(QStringLiteral("canData"))->setText(QStringLiteral("AB"));
            auto *times = panel->findChild<QSpinBox *>(QStringLiteral("sendTimes"));
            times->setValue(times->maximum());
            panel->findChild<QSpinBox *>(QStringLiteral("sendInterval"))->setValue(1);
            panel->findChild<QPushButton *>(QStringLiteral("Button_send"))->click();

            Soak::waitUntil(
                [&] { return tally->recordedTx() >= 20 && tally->recordedRx() >= 2000; }, 30000);
            report("running " + QByteArray::number(tally->recordedRx()) + ' '
                   + QByteArray::number(tally->recordedTx()));
            if (byButton)
                MainWindowDriver::pressClose(window);
        });
    });
    snapshot("after");
    // The program closed the device on its way out; the adapter may still be reading it. No
    // events are processed here, so nothing more reaches the log.
    for (int i = 0; i < 1000 && adapter->statistics().deviceCloses == 0; ++i)
        QThread::msleep(10);
    const AdapterStatistics seen = adapter->statistics();
    report("closed " + QByteArray::number(seen.channelStops) + ' '
           + QByteArray::number(seen.deviceCloses));
    report("exit " + QByteArray::number(code));
    stopSimulatedAdapter();
    return code;
}

QList<QByteArray> linesStartingWith(const QByteArray &output, const QByteArray &word)
{
    QList<QByteArray> found;
    for (const QByteArray &line : output.split('\n')) {
        if (line.startsWith(word + ' '))
            found.append(line);
    }
    return found;
}

quint64 field(const QByteArray &line, int index)
{
    return line.split(' ').value(index).toULongLong();
}
} // namespace

class tst_ProcessExit : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void killedWhileSaving();
    void closeWithEverythingRunning_data();
    void closeWithEverythingRunning();
    void fileSizeLimitIsNoCrash();

private:
    QProcessEnvironment childEnvironment() const;
    QTemporaryDir m_settings;
};

void tst_ProcessExit::initTestCase()
{
    QVERIFY(m_settings.isValid());
}

QProcessEnvironment tst_ProcessExit::childEnvironment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_settings.path());
    return env;
}

void tst_ProcessExit::killedWhileSaving()
{
    QTemporaryDir dir;
    QProcess child;
    child.setProcessEnvironment(childEnvironment());
    child.setProcessChannelMode(QProcess::SeparateChannels);
    child.start(QCoreApplication::applicationFilePath(), { QLatin1String(RecordMode), dir.path() });
    QVERIFY(child.waitForStarted());

    // (ms since start, frames recorded) as the child reports them.
    QList<QPair<qint64, quint64>> reports;
    QElapsedTimer clock;
    clock.start();
    QByteArray pending;
    const auto readReports = [&] {
        pending += child.readAllStandardOutput();
        int end;
        while ((end = pending.indexOf('\n')) >= 0) {
            const QByteArray line = pending.left(end);
            pending.remove(0, end + 1);
            if (line.startsWith("recorded "))
                reports.append({ clock.elapsed(), field(line, 1) });
        }
    };
    QVERIFY(QTest::qWaitFor(
        [&] {
            readReports();
            return !reports.isEmpty() && reports.last().second >= 4 * ChildRatePerChannel;
        },
        60000));
    // Well into the next flush period, so the last flush is not simply the last frame.
    QTest::qWait(1700);
    readReports();
    const qint64 killedAt = clock.elapsed();
    child.kill();
    QVERIFY(child.waitForFinished(10000));
    QCOMPARE(child.exitStatus(), QProcess::CrashExit);

    quint64 secondBefore = 0;
    for (const auto &r : qAsConst(reports)) {
        if (r.first <= killedAt - 1000)
            secondBefore = r.second;
    }
    QVERIFY(secondBefore > 0);
    const QString log = dir.filePath(QStringLiteral("soak-realtime.txt"));
    const Soak::LogCheck check = Soak::checkRealTimeLog(log, true, true);
    QVERIFY2(check.failures.isEmpty(), qPrintable(check.failures.join(QLatin1Char('\n'))));
    const quint64 logged = check.lines[0] + check.lines[1];
    QVERIFY2(logged >= secondBefore,
             qPrintable(QStringLiteral("log holds %1 frames; a second before the kill %2 were "
                                       "recorded")
                            .arg(logged)
                            .arg(secondBefore)));
    QVERIFY(logged <= reports.last().second + 2 * ChildRatePerChannel);
}

void tst_ProcessExit::closeWithEverythingRunning_data()
{
    QTest::addColumn<int>("signalNumber"); // 0: the window's close button
    QTest::newRow("close button") << 0;
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
    QTest::newRow("SIGHUP") << int(SIGHUP);
}

void tst_ProcessExit::closeWithEverythingRunning()
{
    QFETCH(int, signalNumber);
    QTemporaryDir dir;
    QProcess child;
    QProcessEnvironment env = childEnvironment();
    // Debug lines on: each one is a write into the reader-less pipe.
    env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("default.debug=true"));
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(),
                { QLatin1String(CloseMode), dir.path(), QString::number(signalNumber) });
    QVERIFY(child.waitForStarted());
    if (signalNumber != 0) {
        QByteArray seen;
        QVERIFY(QTest::qWaitFor(
            [&] {
                seen += child.peek(child.bytesAvailable());
                return seen.contains("running ") || child.state() == QProcess::NotRunning;
            },
            90000));
        QVERIFY2(child.state() == QProcess::Running, seen.constData());
        ::kill(pid_t(child.processId()), signalNumber);
    }
    QVERIFY(child.waitForFinished(90000));
    const QByteArray out = child.readAllStandardOutput();
    const QByteArray err = child.readAllStandardError();
    const QString both = QString::fromLocal8Bit(out + "\n--- stderr ---\n" + err);

    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QVERIFY2(child.exitCode() == 0, qPrintable(both));
    QVERIFY2(!err.contains("Destroyed while thread") && !err.contains("Timers cannot"),
             qPrintable(both));
    QVERIFY2(!err.contains("Sanitizer") && !err.contains("runtime error"), qPrintable(both));
    QVERIFY2(out.contains("exit 0"), qPrintable(both));

    const QList<QByteArray> running = linesStartingWith(out, "running");
    const QList<QByteArray> before = linesStartingWith(out, "before");
    const QList<QByteArray> after = linesStartingWith(out, "after");
    QVERIFY2(running.size() == 1 && before.size() == 1 && after.size() == 1, qPrintable(both));
    QVERIFY2(field(running.first(), 2) >= 20, qPrintable(both));
    QCOMPARE(field(after.first(), 3), quint64(0)); // no overrun: the numbers run without gaps
    // Both running channels were stopped and the device closed before the process ended.
    const QList<QByteArray> closed = linesStartingWith(out, "closed");
    QVERIFY2(closed.size() == 1 && field(closed.first(), 1) == 2 && field(closed.first(), 2) >= 1,
             qPrintable(both));

    // Everything recorded up to the close is in the log, every line whole.
    const Soak::LogCheck check
        = Soak::checkRealTimeLog(dir.filePath(QStringLiteral("close.txt")), true, false);
    QVERIFY2(check.failures.isEmpty(), qPrintable(check.failures.join(QLatin1Char('\n'))));
    const quint64 rx = check.lines[0] + check.lines[1];
    QVERIFY2(rx >= field(before.first(), 1) && rx <= field(after.first(), 1),
             qPrintable(QStringLiteral("%1 received frames logged; %2 / %3 recorded")
                            .arg(rx)
                            .arg(field(before.first(), 1))
                            .arg(field(after.first(), 1))));
    QVERIFY2(check.txLines >= field(before.first(), 2) && check.txLines <= field(after.first(), 2),
             qPrintable(QStringLiteral("%1 sent frames logged; %2 / %3 recorded")
                            .arg(check.txLines)
                            .arg(field(before.first(), 2))
                            .arg(field(after.first(), 2))));
}

void tst_ProcessExit::fileSizeLimitIsNoCrash()
{
    QTemporaryDir dir;
    QProcess child;
    child.setProcessEnvironment(childEnvironment());
    child.start(QCoreApplication::applicationFilePath(),
                { QLatin1String(SizeLimitMode), dir.path() });
    QVERIFY(child.waitForStarted());
    QVERIFY(child.waitForFinished(90000));
    const QByteArray out = child.readAllStandardOutput();
    const QString both
        = QString::fromLocal8Bit(out + "\n--- stderr ---\n" + child.readAllStandardError());
    QVERIFY2(child.exitStatus() == QProcess::NormalExit, qPrintable(both));
    QVERIFY2(child.exitCode() == 0, qPrintable(both));
    const QList<QByteArray> survived = linesStartingWith(out, "survived");
    QVERIFY2(survived.size() == 1 && field(survived.first(), 1) >= 40000, qPrintable(both));

    // The log filled what the limit allowed; its lines are whole up to a cut last one.
    const QString log = dir.filePath(QStringLiteral("soak-realtime.txt"));
    const qint64 size = QFileInfo(log).size();
    QVERIFY2(size > qint64(SizeLimitBytes) - 8192 && size <= qint64(SizeLimitBytes),
             qPrintable(QString::number(size)));
    const Soak::LogCheck check = Soak::checkRealTimeLog(log, false, true);
    QVERIFY2(check.failures.isEmpty(), qPrintable(check.failures.join(QLatin1Char('\n'))));
}

int main(int argc, char *argv[])
{
    if (argc >= 3 && qstrcmp(argv[1], RecordMode) == 0)
        return childRecord(QString::fromLocal8Bit(argv[2]));
    if (argc >= 4 && qstrcmp(argv[1], CloseMode) == 0)
        return childClose(QString::fromLocal8Bit(argv[2]), qstrcmp(argv[3], "0") == 0);
    if (argc >= 3 && qstrcmp(argv[1], SizeLimitMode) == 0)
        return childSizeLimit(QString::fromLocal8Bit(argv[2]));
    QApplication app(argc, argv);
    tst_ProcessExit test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_processexit.moc"
