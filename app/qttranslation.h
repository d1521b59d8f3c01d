#pragma once

class QTranslator;

// Qt's own texts (file dialogs, message boxes, context menus, command-line headings) in the
// interface language, from the translations the system's Qt ships.
namespace QtTranslation {

// Loads Qt's Simplified Chinese texts; false when the system has none installed.
bool loadChinese(QTranslator *translator);

} // namespace QtTranslation
