#include "links.h"

#include "search.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace olv {

namespace {

// Beyond this many notes of one object something else is wrong; the search stops there.
constexpr int kMaxNotes = 10000;

bool taken(Database& db, const QString& path) {
    // A dangling link counts too: writing through it would land somewhere else.
    const QFileInfo file(path);
    if (file.exists() || file.isSymLink()) return true;
    // A row may still lead to a note whose file was removed: its name stays that note's.
    return !db.findObjects(path, false).isEmpty();
}

QString notWritten(const QString& path, const QString& reason) {
    return QStringLiteral("The note could not be written to %1: %2. Nothing was added.").arg(path, reason);
}

QString systemError() { return QString::fromLocal8Bit(std::strerror(errno)); }

// Writes the file whole or not at all, and on the disk, name and all, before it returns true:
// the row that leads to it is committed next. On failure the file is as it was and why says why.
bool writeDurably(const QString& path, const QByteArray& bytes, QString& why) {
    QSaveFile file(path); // a file of its own, put in place at the end
    if (!file.open(QIODevice::WriteOnly)) {
        why = file.errorString();
        return false;
    }
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        why = file.errorString();
        file.cancelWriting();
        return false;
    }
    // Committing syncs as well, but does not say when that fails.
    if (::fsync(file.handle()) != 0) {
        why = systemError();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        why = file.errorString();
        return false;
    }
    // The name given to it, too: the folder's entry is on the disk once the folder is synced.
    const int folder = ::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) return true; // the file is there whole; only the last sync is not ours to make
    const bool synced = ::fsync(folder) == 0 || errno == EINVAL || errno == EROFS; // some file systems sync no folders
    if (!synced) why = systemError();
    ::close(folder);
    return synced;
}

} // namespace

bool LinkCommands::isImagePath(const QString& path) {
    const QString ending = path.right(4).toUpper();
    return ending == u".GIF" || ending == u".JPG" || ending == u".BMP";
}

LinkCommands::Outcome LinkCommands::addImage(const QString& id, const QString& property,
                                             const QString& path) {
    if (!standsForAnObject(id)) return Outcome::NoObject;
    if (!isImagePath(path)) return Outcome::NotAnImage;
    m_store.open().step(QStringLiteral("image link ") + property).append(id, property, path);
    return Outcome::Added;
}

QString LinkCommands::notePath(const QString& id, int n) const {
    // A file's notes lie beside it. A server database's lie in the folder of the default database,
    // named by the server's database (never by its connection string, which may hold a password).
    const QString beside = isServerConnection(m_store.path())
                               ? QFileInfo(Store::defaultPath()).absolutePath() + QLatin1Char('/') +
                                     displayNameOf(m_store.path()).replace(QLatin1Char('/'), QLatin1Char('_'))
                               : m_store.path();
    const QString base = beside + QLatin1Char('.') + id;
    return n <= 1 ? base + QStringLiteral(".rtf") : base + QLatin1Char('.') + QString::number(n) + QStringLiteral(".rtf");
}

LinkCommands::Note LinkCommands::addNote(const QString& id, const QString& property, const QByteArray& rtf) {
    if (!standsForAnObject(id)) return {Outcome::NoObject, {}, {}};
    Database db = m_store.open();
    QDir().mkpath(QFileInfo(notePath(id, 1)).absolutePath()); // a server's notes folder may be new
    // The name is claimed by creating the file: another program choosing the same one meanwhile
    // makes us take the next.
    QFile file;
    for (int n = 1;; ++n) {
        const QString path = notePath(id, n);
        if (n > kMaxNotes)
            return {Outcome::NotWritten, path, notWritten(path, QStringLiteral("no free file name is left"))};
        if (taken(db, path)) continue;
        file.setFileName(path);
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) break;
        if (!taken(db, path)) return {Outcome::NotWritten, path, notWritten(path, file.errorString())};
    }
    // The name is held by the empty file meanwhile; the note then takes its place whole.
    const QString path = file.fileName();
    file.close();
    QString reason;
    if (!writeDurably(path, rtf, reason)) {
        QFile::remove(path);
        return {Outcome::NotWritten, path, notWritten(path, reason)};
    }
    try {
        db.step(QStringLiteral("note ") + property).append(id, property, path);
    } catch (...) {
        QFile::remove(path); // no note without its row
        throw;
    }
    return {Outcome::Added, path, {}};
}

} // namespace olv
