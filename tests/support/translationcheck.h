#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class QTranslator;
class QWidget;

// Checks that a window shows no Chinese once the English translation is installed.
//
//   QTranslator english;
//   QVERIFY(TranslationCheck::installEnglish(&english));
//   MyWindow w;
//   const QStringList left = TranslationCheck::untranslatedTexts(&w);
//   QVERIFY2(left.isEmpty(), qPrintable(left.join(QLatin1Char('\n'))));
namespace TranslationCheck {

// The built language/Language_EN.qm (found like the program finds it), or an empty string.
QString englishQmPath();

// Loads the English translation into `translator` and installs it on the application.
bool installEnglish(QTranslator *translator);

// True for CJK ideographs and CJK or full-width punctuation.
bool containsCjk(const QString &text);

// Every text `root` and its descendants can show that still contains CJK characters, as
// "path kind: text" lines. Hidden widgets are included: they show their texts once opened.
// Looked at: label and button texts, window titles, tool tips, status tips, placeholders, line
// edit and text edit contents, tab texts and tab tool tips, combo and list items, header items of
// item views, table and tree items, group box titles, spin box prefixes and suffixes, the actions
// and menus of widgets and tool buttons, and plot axis labels, legends and graph names.
QStringList untranslatedTexts(QWidget *root);

// Same for several roots; widgets met twice are reported once.
QStringList untranslatedTexts(const QList<QWidget *> &roots);

} // namespace TranslationCheck
