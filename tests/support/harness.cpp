#include "harness.h"

#include "widgets/ui.h"

#include <QApplication>
#include <SQLiteCpp/SQLiteCpp.h>

namespace olv::test {

Harness::Harness() {
    ctx.store.setPath(dir.filePath(QStringLiteral("Olv.mdb")));
    Store::createIfMissing(ctx.store.path());
    ctx.clock = &clock;
    ctx.clipboard = &clipboard;
    ctx.shell = &shell;
    ctx.prompter = &prompter;
    ctx.downloader = &downloader;
    ctx.windows = &windows;
}

void Harness::add(const QString& o, const QString& p, const QString& v) { add(QList<Row>{{o, p, v}}); }

void Harness::add(const QList<Row>& rows) { ctx.store.open().appendAll(rows); }

QString Harness::otherDatabase(const QString& name, const QList<Row>& rows) const {
    const QString file = dir.filePath(name);
    Store::createIfMissing(file);
    if (!rows.isEmpty()) Store(file).open().appendAll(rows);
    return file;
}

QList<Row> Harness::allRows() const {
    SQLite::Database db(path().toStdString(), SQLite::OPEN_READONLY);
    SQLite::Statement q(db, "SELECT O, P, V FROM DATA ORDER BY rowid");
    QList<Row> rows;
    while (q.executeStep())
        rows.push_back({QString::fromStdString(q.getColumn(0).getString()),
                        QString::fromStdString(q.getColumn(1).getString()),
                        QString::fromStdString(q.getColumn(2).getString())});
    return rows;
}

void prepareApplication() {
    exposeToScreenReaders();
    if (auto app = qobject_cast<QApplication*>(QCoreApplication::instance())) applyLook(*app);
}

} // namespace olv::test
