#pragma once

// Where a log may be written: a regular file, existing or still to be created. A pipe, a device,
// a socket or a folder is refused before anything opens it, so a pipe without a reader cannot
// block the window and a device cannot swallow a log that looks saved.

#include <QString>

class QByteArray;
class QFile;
class QFileDevice;

namespace LogTarget {

// Empty when `path` may take a log; otherwise the reason, for the user.
QString refusal(const QString &path);

// Opens `path` write-only, creating or emptying it, without ever blocking; refuses what is not a
// regular file even if it appeared after refusal() was asked. On failure `file` stays closed and
// `error` holds the reason (the system's error text where there is one).
bool open(QFile &file, const QString &path, QString *error);

// Writes all of `bytes`, going on after a short write so that a failure leaves its reason in
// `file`'s error string.
bool writeAll(QFileDevice &file, const QByteArray &bytes);

// Why a write on `file` failed, for the user. A short write records no error: the bytes still
// buffered are tried once more to learn the system's reason, and `savedErrno` (errno right after
// the failure) is the last resort.
QString writeFailure(QFileDevice &file, int savedErrno);

} // namespace LogTarget
