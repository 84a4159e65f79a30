#include "links.h"

#include "search.h"

#include <QFile>
#include <QFileInfo>

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

} // namespace

bool LinkCommands::isImagePath(const QString& path) {
    const QString ending = path.right(4).toUpper();
    return ending == u".GIF" || ending == u".JPG" || ending == u".BMP";
}

LinkCommands::Outcome LinkCommands::addImage(const QString& id, const QString& property,
                                             const QString& path) {
    if (!standsForAnObject(id)) return Outcome::NoObject;
    if (!isImagePath(path)) return Outcome::NotAnImage;
    m_store.open().append(id, property, path);
    return Outcome::Added;
}

QString LinkCommands::notePath(const QString& id, int n) const {
    const QString base = m_store.path() + QLatin1Char('.') + id;
    return n <= 1 ? base + QStringLiteral(".rtf") : base + QLatin1Char('.') + QString::number(n) + QStringLiteral(".rtf");
}

LinkCommands::Note LinkCommands::addNote(const QString& id, const QString& property, const QByteArray& rtf) {
    if (!standsForAnObject(id)) return {Outcome::NoObject, {}, {}};
    Database db = m_store.open();
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
    const QString path = file.fileName();
    if (file.write(rtf) != rtf.size() || !file.flush()) {
        const QString reason = file.errorString();
        file.remove();
        return {Outcome::NotWritten, path, notWritten(path, reason)};
    }
    file.close();
    try {
        db.append(id, property, path);
    } catch (...) {
        QFile::remove(path); // no note without its row
        throw;
    }
    return {Outcome::Added, path, {}};
}

} // namespace olv
