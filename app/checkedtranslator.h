#pragma once

#include <QByteArray>
#include <QTranslator>

// A translator that takes a compiled translation file only after checking its structure, so a
// damaged or foreign file falls back to the built-in Chinese texts instead of taking the program
// down inside the translator. The checked bytes are kept: the translator reads them in place.
class CheckedTranslator : public QTranslator
{
    Q_OBJECT
public:
    using QTranslator::QTranslator;

    // Reads `path`, checks it and loads it; on failure nothing is loaded and `why` says what was
    // wrong.
    bool loadChecked(const QString &path, QString *why = nullptr);

    // Empty when `data` is a translation file every lookup can read safely; otherwise the reason.
    static QString problemIn(const QByteArray &data);

    static constexpr qint64 MaxFileSize = 16 * 1024 * 1024;

private:
    QByteArray m_data;
};
