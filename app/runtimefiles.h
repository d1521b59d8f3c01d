#pragma once

#include <QString>

// Files shipped beside the program (window icon, about logo, translation). They are looked up in
// the program's own folder first, then in the working directory, then where `cmake --install`
// puts them, so the program works from the build tree, from its install prefix and when started
// from a folder that carries its own copies.
namespace RuntimeFiles {

// Returns the first existing candidate for `relativePath` (e.g. "resource/favicon.ico"), or
// `relativePath` unchanged when none exists, so a failed load stays as silent as before.
QString locate(const QString &relativePath);

// The folders searched, in order.
QStringList searchFolders();

} // namespace RuntimeFiles
