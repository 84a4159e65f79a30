#include "importer.h"

#include "jetfile.h"

#include <QFile>
#include <QFileInfo>

namespace olv {

namespace {

bool isSqlite(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) && f.read(16) == QByteArray("SQLite format 3\0", 16);
}

} // namespace

QString ImportCommand::resultText(const Result& r) {
    return QStringLiteral("%1 rows imported, %2 already present").arg(r.imported).arg(r.present);
}

QList<TypedRow> ImportCommand::readRows(const QString& path, const std::function<bool(double)>& progress) {
    if (isServerConnection(path)) return readAllRows(path, progress);
    const QFileInfo info(path);
    if (!info.exists()) throw StoreError(path, QStringLiteral("the file does not exist"));
    if (!info.isFile() || !info.isReadable()) throw StoreError(path, QStringLiteral("the file cannot be opened"));
    if (isSqlite(path)) return readAllRows(path, progress);
    if (!jetfile::looksLikeJet(path.toStdString()))
        throw StoreError(path, QStringLiteral("it is neither an Olv database nor a Jet (.mdb) file"));
    std::string error;
    bool stopped = false;
    const std::vector<jetfile::Cells> cells = jetfile::readData(
        path.toStdString(), [&](double share) { return !progress || progress(share); }, error, stopped);
    if (stopped) throw Cancelled();
    if (!error.empty()) throw StoreError(path, QString::fromStdString(error));
    QList<TypedRow> rows;
    rows.reserve(qsizetype(cells.size()));
    for (const jetfile::Cells& c : cells)
        rows.push_back({QString::fromStdString(c.o), QString::fromStdString(c.p), QString::fromStdString(c.v)});
    return rows;
}

ImportCommand::Result ImportCommand::run(const QString& path, const std::function<bool(double)>& progress) {
    // The database in use first: when it cannot be used, the other file need not be read.
    Database db = m_store.open();
    return run(db, path, progress);
}

ImportCommand::Result ImportCommand::run(Database& db, const QString& path, const std::function<bool(double)>& progress) {
    const auto half = [&](double base) {
        return [&progress, base](double share) { return !progress || progress(base + share / 2); };
    };
    // A server database is named as the user knows it, never by its connection (which may hold
    // a password).
    const bool server = isServerConnection(path);
    const QString name = server ? displayNameOf(path) : QFileInfo(path).fileName();
    const QString source = server ? path : QFileInfo(path).canonicalFilePath();
    const QString inUse = isServerConnection(db.path()) ? db.path() : QFileInfo(db.path()).canonicalFilePath();
    if (!source.isEmpty() && source == inUse)
        throw StoreError(server ? name : path, QStringLiteral("it is the database in use, which holds its rows already"));
    const QList<TypedRow> rows = readRows(path, half(0.0));
    Result result;
    result.imported = db.step(QStringLiteral("import of ") + name).addMissing(rows, half(0.5));
    result.present = rows.size() - result.imported;
    return result;
}

} // namespace olv
