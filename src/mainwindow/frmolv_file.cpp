// The main window's File, Database and Help menus, and Exit, which closing the window also does.

#include "frmolv.h"

#include "about/frmabout.h"
#include "commands/importer.h"
#include "dialogs/frmnewcollection.h"
#include "dialogs/frmnewobjectclass.h"
#include "dialogs/frmnewurl.h"
#include "platform/prompter.h"
#include "widgets/longwork.h"
#include "widgets/windowregistry.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QUrl>

namespace olv {

void frmOlv::mnuFileDatabase_Click() {
    const QString chosen = m_ctx.prompter->openFileName(this, QStringLiteral("Olv - Save Report"),
                                                        QFileInfo(Store::defaultPath()).absolutePath(),
                                                        QStringLiteral("Olv.mdb"));
    // Cancel keeps the database in use.
    if (!chosen.isEmpty()) m_ctx.store.setPath(chosen);
}

namespace {

const QString kConnectTitle = QStringLiteral("Olv - Connect to Server");

// The connection with the password added; it lives only in memory, for this run.
QString withPassword(const QString& connection, const QString& password) {
    if (connection.startsWith(QLatin1String("postgresql://")) || connection.startsWith(QLatin1String("postgres://")))
        return connection + (connection.contains(QLatin1Char('?')) ? QLatin1Char('&') : QLatin1Char('?')) +
               QStringLiteral("password=") + QString::fromLatin1(QUrl::toPercentEncoding(password));
    QString quoted = password;
    quoted.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('\''), QLatin1String("\\'"));
    return connection + QStringLiteral(" password='") + quoted + QLatin1Char('\'');
}

} // namespace

std::optional<QString> frmOlv::askForServer(const QString& title, const OpenServer& open) {
    const std::optional<QString> given = m_ctx.prompter->text(
        this, title,
        QStringLiteral("PostgreSQL connection, for example postgresql://user@host/olv, host=... dbname=olv or service=olv:"));
    const QString connection = given ? given->trimmed() : QString();
    if (connection.isEmpty()) return std::nullopt; // Cancel
    if (!isServerConnection(connection)) {
        // Not repeated back: it may hold a password.
        m_ctx.prompter->error(this, QStringLiteral("This is not a connection to a PostgreSQL server. Give it as "
                                                   "postgresql://user@host/dbname, host=... dbname=... or service=..."));
        return std::nullopt;
    }
    return openServer(connection, title, open);
}

std::optional<QString> frmOlv::openServer(const QString& connection, const QString& title, const OpenServer& open) {
    QString candidate = connection;
    bool asked = false;
    for (;;) {
        bool needsPassword = false, cancelled = false;
        const bool opened = guarded([&] {
            try {
                // A host that never answers keeps libpq waiting until its timeout: the user may
                // give up sooner.
                LongWork work(this, QStringLiteral("Connecting to %1 ...").arg(displayNameOf(connection)));
                open(candidate, work.keepGoing());
            } catch (const StoreError& e) {
                if (!e.needsPassword()) throw; // shown by guarded, naming the database, never the password
                needsPassword = true;
            } catch (const Cancelled&) {
                cancelled = true;
            }
        });
        if (cancelled) return std::nullopt;
        if (opened && !needsPassword) return candidate;
        // A refused password has been shown as an error; the question comes again until Cancel.
        if (!needsPassword && !asked) return std::nullopt;
        const std::optional<QString> password =
            m_ctx.prompter->password(this, title, QStringLiteral("Password for %1:").arg(displayNameOf(connection)));
        if (!password) return std::nullopt;
        candidate = withPassword(connection, *password);
        asked = true;
    }
}

namespace {
// To work on: Olv's table and indexes are made where they are missing and the user may.
void openToUse(const QString& connection, KeepGoing keepGoing) {
    Database(connection, Database::Indexes::Leave, std::move(keepGoing));
}
} // namespace

void frmOlv::mnuFileConnect_Click() {
    if (const std::optional<QString> opened = askForServer(kConnectTitle, openToUse)) m_ctx.store.setPath(*opened);
}

bool frmOlv::connectToServer(const QString& connection) {
    const std::optional<QString> opened = openServer(connection, kConnectTitle, openToUse);
    if (opened) m_ctx.store.setPath(*opened);
    return opened.has_value();
}

void frmOlv::mnuFileImport_Click() {
    const QString chosen = m_ctx.prompter->openFileName(
        this, QStringLiteral("Olv - Import"), QFileInfo(Store::defaultPath()).absolutePath(), QString(),
        QStringLiteral("Olv databases (*.mdb *.db *.sqlite);;All files (*)"));
    if (!chosen.isEmpty()) importFrom(chosen);
}

void frmOlv::mnuFileImportServer_Click() {
    // The other database is only read: nothing is made there.
    if (const std::optional<QString> source = askForServer(QStringLiteral("Olv - Import from Server"), reachServer))
        importFrom(*source);
}

void frmOlv::importFrom(const QString& source) {
    ImportCommand::Result result;
    if (!guarded([&] {
            // displayNameOf: a file's path, or user@host/dbname, never a connection's password.
            LongWork work(this, QStringLiteral("Importing %1 ...").arg(displayNameOf(source)));
            Database db = m_ctx.store.open(); // here: it may show the window that makes indexes
            work.runOffThread([&](const LongWork::Progress& progress) { result = ImportCommand::run(db, source, progress); });
        }))
        return;
    m_ctx.prompter->message(this, ImportCommand::resultText(result));
}

void frmOlv::mnuFileExit_Click() { exitProgram(); }

bool frmOlv::exitProgram() {
    if (m_exiting) return true;
    m_exiting = true;
    if (!m_ctx.windows->unloadAllBut(this)) {
        m_exiting = false;
        return false;
    }
    if (m_quit) m_quit();
    else QCoreApplication::quit();
    return true;
}

void frmOlv::closeEvent(QCloseEvent* event) {
    if (exitProgram()) event->accept();
    else event->ignore();
}

void frmOlv::mnuDBStats_Click() {
    qint64 count = 0;
    if (!guarded([&] {
            LongWork work(this, QStringLiteral("Counting ..."));
            Database db = m_ctx.store.open();
            db.setKeepGoing(work.keepGoing());
            count = db.countObjects();
        }))
        return;
    m_ctx.prompter->message(this, QString::number(count) + QStringLiteral(" objects in the database"));
}

void frmOlv::mnuDBNewObject_Click() {
    m_ctx.ownerObjectId.clear();
    m_ctx.windows->open<frmNewObjectClass>([this] { return new frmNewObjectClass(m_ctx); });
}

void frmOlv::mnuDBNewCollection_Click() {
    m_ctx.windows->open<frmNewCollection>([this] { return new frmNewCollection(m_ctx); });
}

void frmOlv::mnuDBNewURL_Click() {
    m_ctx.windows->open<frmNewURL>([this] { return new frmNewURL(m_ctx); });
}

void frmOlv::mnuHelpAbout_Click() {
    m_ctx.windows->open<frmAbout>([this] { return new frmAbout(m_ctx); });
}

} // namespace olv
