#pragma once
// A temporary database and a Context wired to fakes, for driving the real windows in tests.

#include "fakes.h"
#include "platform/downloader.h"
#include "widgets/context.h"
#include "widgets/windowregistry.h"

#include <QTemporaryDir>

namespace olv::test {

struct Harness {
    QTemporaryDir dir;
    FakeClock clock;
    FakeClipboard clipboard;
    FakeShell shell;
    FakePrompter prompter;
    NetworkDownloader downloader;
    WindowRegistry windows;
    Context ctx;

    Harness();
    QString path() const { return ctx.store.path(); }
    // Appends rows straight into the file, for setting up a case.
    void add(const QString& o, const QString& p, const QString& v);
    void add(const QList<Row>& rows);
    // Another database in the test's folder, holding rows; its path.
    QString otherDatabase(const QString& name, const QList<Row>& rows = {}) const;
    QList<Row> allRows() const;
    qsizetype rowCount() const { return allRows().size(); }
};

// Applies the program's look once per test program (call from initTestCase).
void prepareApplication();

} // namespace olv::test
