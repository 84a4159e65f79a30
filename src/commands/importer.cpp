#include "importer.h"

#include "jetfile.h"

#include <QFile>
#include <QFileInfo>
#include <SQLiteCpp/SQLiteCpp.h>

namespace olv {

namespace {

bool isSqlite(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) && f.read(16) == QByteArray("SQLite format 3\0", 16);
}

// The value as the file holds it: NULL, a number, bytes or text.
QVariant value(const SQLite::Column& c) {
    if (c.isNull()) return {};
    if (c.isInteger()) return QVariant::fromValue(qint64(c.getInt64()));
    if (c.isFloat()) return c.getDouble();
    if (c.isBlob()) return QByteArray(static_cast<const char*>(c.getBlob()), c.getBytes());
    const char* utf8 = c.getText(); // before its length, which is only then that of the UTF-8 form
    return QString::fromUtf8(utf8, c.getBytes());
}

QList<TypedRow> readOlvFile(const QString& path, const std::function<bool(double)>& progress) {
    try {
        // Read-only: the other file is never written, not even with indexes.
        SQLite::Database db(path.toStdString(), SQLite::OPEN_READONLY, 5000);
        SQLite::Statement names(db, "SELECT name FROM sqlite_master WHERE type = 'table' AND name = 'DATA' COLLATE NOCASE");
        if (!names.executeStep()) throw StoreError(path, QStringLiteral("it has no table DATA"));
        // Progress goes by row number, read in order: the last one is found at once, where
        // counting the rows would read the whole table before the first is copied.
        double last = 1;
        {
            SQLite::Statement q(db, "SELECT max(rowid) FROM DATA");
            if (q.executeStep()) last = std::max(1.0, double(q.getColumn(0).getInt64()));
        }
        SQLite::Statement q(db, "SELECT rowid, O, P, V FROM DATA ORDER BY rowid");
        QList<TypedRow> rows;
        while (q.executeStep()) {
            if (progress && rows.size() % 1000 == 0 &&
                !progress(std::clamp(double(q.getColumn(0).getInt64()) / last, 0.0, 1.0)))
                throw Cancelled();
            rows.push_back({value(q.getColumn(1)), value(q.getColumn(2)), value(q.getColumn(3))});
        }
        return rows;
    } catch (const SQLite::Exception& e) {
        // The table may lack a column, or the file be damaged.
        throw StoreError(path, QString::fromUtf8(e.what()));
    }
}

} // namespace

QString ImportCommand::resultText(const Result& r) {
    return QStringLiteral("%1 rows imported, %2 already present").arg(r.imported).arg(r.present);
}

QList<TypedRow> ImportCommand::readRows(const QString& path, const std::function<bool(double)>& progress) {
    const QFileInfo info(path);
    if (!info.exists()) throw StoreError(path, QStringLiteral("the file does not exist"));
    if (!info.isFile() || !info.isReadable()) throw StoreError(path, QStringLiteral("the file cannot be opened"));
    if (isSqlite(path)) return readOlvFile(path, progress);
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
    const QString source = QFileInfo(path).canonicalFilePath();
    if (!source.isEmpty() && source == QFileInfo(db.path()).canonicalFilePath())
        throw StoreError(path, QStringLiteral("it is the database in use, which holds its rows already"));
    const QList<TypedRow> rows = readRows(path, half(0.0));
    Result result;
    result.imported = db.addMissing(rows, half(0.5));
    result.present = rows.size() - result.imported;
    return result;
}

} // namespace olv
