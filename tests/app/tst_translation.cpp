#include "app/applicationshell.h"
#include "app/razoradurodmainwindow.h"
#include "app/rivexabout.h"
#include "app/settings.h"
#include "app/widgets/historysizedialog.h"
#include "device/devicemanagement.h"
#include "support/mainwindowdriver.h"
#include "support/translationcheck.h"

#include <QFile>
#include <QToolButton>
#include <QTranslator>
#include <QXmlStreamReader>
#include <QtTest>

#include <memory>

// Before the application object: nothing in this process may reach the user's own store.
static const bool sandboxed = [] {
    MainWindowDriver::sandboxSettings();
    return true;
}();

// The English translation must leave no Chinese anywhere: every window the main window brings
// up, and every window those create, as they stand after start-up. Pages joining the main window
// are covered without touching this test.
class tst_Translation : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void builtTranslationIsBesideTheProgram();
    void everyWindowIsEnglish();
    void translationFileIsComplete_data();
    void translationFileIsComplete();
    void checkerSeesChinese_data();
    void checkerSeesChinese();
};

void tst_Translation::initTestCase()
{
    QVERIFY(sandboxed);
    ApplicationShell::setUpApplicationFont();
    MainWindowDriver::clearSettings();
}

void tst_Translation::builtTranslationIsBesideTheProgram()
{
    const QString path = TranslationCheck::englishQmPath();
    QVERIFY2(!path.isEmpty(), "language/Language_EN.qm was not built beside the program");
    QCOMPARE(QFileInfo(path).absolutePath(),
             QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("language")));
    QTranslator translator;
    QVERIFY(translator.load(path));
    QVERIFY(!translator.isEmpty());
}

void tst_Translation::everyWindowIsEnglish()
{
    writeSetting(QStringLiteral("Language"), QStringLiteral("EN"));
    auto window = std::make_unique<RAZOradurodMainWindow>();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    // Open every page once, as a user would, so that texts set on showing are seen too.
    for (const char *name :
         { "toolButton_DeviceManagement", "toolButton_MessageSend", "toolButton_Busratio" })
        QTest::mouseClick(MainWindowDriver::toolButton(window.get(), QLatin1String(name)),
                          Qt::LeftButton);
    window->aboutPage()->showNormal();
    MainWindowDriver::chooseFromSettingMenu(window.get(), window->historySizeAction());
    QTRY_VERIFY(window->historySizeDialog() && window->historySizeDialog()->isVisible());
    QTest::qWait(200);

    QList<QWidget *> roots = QApplication::topLevelWidgets();
    roots << DeviceManagement::instance() << QApplication::allWidgets();
    const QStringList left = TranslationCheck::untranslatedTexts(roots);
    // The failure message is cut short; the full list goes to the log.
    for (const QString &line : left)
        qWarning().noquote() << "untranslated:" << line;
    QVERIFY2(left.isEmpty(),
             qPrintable(QStringLiteral("%1 texts left in Chinese:\n").arg(left.size())
                        + left.join(QLatin1Char('\n'))));
}

void tst_Translation::translationFileIsComplete_data()
{
    QTest::addColumn<QString>("context");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("translation");
    QTest::addColumn<bool>("finished");

    const QString path = QFINDTESTDATA("../../app/translations/Language_EN.ts");
    QFile file(path);
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(path));
    QXmlStreamReader xml(&file);
    QString context;
    QString source;
    QString translation;
    QString type;
    const auto text = QXmlStreamReader::IncludeChildElements;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isEndElement() && xml.name() == QLatin1String("message")) {
            QTest::newRow(qPrintable(context + QStringLiteral(": ") + source))
                << context << source << translation
                << (type != QLatin1String("unfinished") && type != QLatin1String("vanished")
                    && type != QLatin1String("obsolete"));
        }
        if (!xml.isStartElement())
            continue;
        if (xml.name() == QLatin1String("name")) {
            context = xml.readElementText(text);
        } else if (xml.name() == QLatin1String("message")) {
            source.clear();
            translation.clear();
            type.clear();
        } else if (xml.name() == QLatin1String("source")) {
            source = xml.readElementText(text);
        } else if (xml.name() == QLatin1String("translation")) {
            type = xml.attributes().value(QLatin1String("type")).toString();
            translation = xml.readElementText(text);
        }
    }
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
}

void tst_Translation::translationFileIsComplete()
{
    QFETCH(QString, context);
    QFETCH(QString, source);
    QFETCH(QString, translation);
    QFETCH(bool, finished);

    QVERIFY2(finished, "marked unfinished or obsolete: lrelease would drop it");
    QVERIFY2(!translation.trimmed().isEmpty(), "no English text");
    QVERIFY2(!TranslationCheck::containsCjk(translation), qPrintable(translation));
    // Leading blanks in titles are part of the caption's spacing.
    QCOMPARE(translation.startsWith(QLatin1Char(' ')), source.startsWith(QLatin1Char(' ')));
    Q_UNUSED(context)
}

void tst_Translation::checkerSeesChinese_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("cjk");

    QTest::newRow("ideographs") << QStringLiteral("设备管理") << true;
    QTest::newRow("full-width colon") << QStringLiteral("Port：") << true;
    QTest::newRow("ideographic full stop") << QStringLiteral("Done。") << true;
    QTest::newRow("plain English") << QStringLiteral("Device Manager") << false;
    QTest::newRow("units and symbols") << QStringLiteral("500kbps, 0x1F, 75 %, ±1") << false;
}

void tst_Translation::checkerSeesChinese()
{
    QFETCH(QString, text);
    QFETCH(bool, cjk);
    QCOMPARE(TranslationCheck::containsCjk(text), cjk);
}

QTEST_MAIN(tst_Translation)
#include "tst_translation.moc"
