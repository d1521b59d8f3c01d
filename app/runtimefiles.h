#pragma once

#include <QString>

// Files shipped beside the program (window icon, about logo, translation). They are looked up in
// the program's own folder first, then where `cmake --install` puts them, and only then in the
// working directory, so the program works from the build tree and from its install prefix, and a
// folder it happens to be started in cannot replace what was installed.
namespace RuntimeFiles {

// Returns the first existing candidate for `relativePath` (e.g. "resource/favicon.ico"), or
// `relativePath` unchanged when none exists, so a failed load stays as silent as before.
QString locate(const QString &relativePath);

// The folders searched, in order.
QStringList searchFolders();

} // namespace RuntimeFiles
