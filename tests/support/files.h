#pragma once
// Reading and writing whole files in tests. Qt Core only, so the store's and the text library's
// tests use it too.

#include <QByteArray>
#include <QDebug>
#include <QFile>
#include <QProcess>
#include <QString>

namespace olv::test {

// The file's bytes; empty when it cannot be read.
inline QByteArray bytesOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Writes the bytes as the whole file; false when that failed.
inline bool writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// Writes the bytes as the whole file: its path, or an empty one when that failed.
inline QString fileWith(const QString& path, const QByteArray& bytes) {
    return writeBytes(path, bytes) ? path : QString();
}

// Marks an SQLite file as written by a newer SQLite, which any SQLite then opens for reading only,
// whoever runs it (root too, whom file permissions do not stop). False when that failed.
inline bool markReadOnly(const QString& path) {
    QFile f(path);
    // The header's "file format write version": above 2, the file may be read but not written.
    return f.open(QIODevice::ReadWrite) && f.seek(18) && f.write("\x03", 1) == 1;
}

// Runs statements in the stock sqlite3 shell, with nothing of Olv's loaded, as another program
// writes the file. Answers what it printed; an error is logged.
inline QString sqliteShell(const QString& path, const QString& statements) {
    QProcess p;
    p.start(QStringLiteral("/usr/bin/sqlite3"), {QStringLiteral("-batch"), QStringLiteral("-bail"), path, statements});
    if (!p.waitForFinished(30000) || p.exitCode() != 0) qWarning() << p.readAllStandardError();
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

} // namespace olv::test
