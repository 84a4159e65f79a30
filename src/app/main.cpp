#include "mainwindow/frmolv.h"
#include "platform/clipboard.h"
#include "platform/downloader.h"
#include "platform/prompter.h"
#include "platform/shell.h"
#include "store/pgengine.h"
#include "widgets/context.h"
#include "widgets/longwork.h"
#include "widgets/ui.h"
#include "widgets/windowregistry.h"

#include <QApplication>
#include <QFileInfo>
#include <QScreen>
#include <cstdio>
#include <cstring>

int main(int argc, char* argv[]) {
    // For an administrator making a server database ready: no window, no display needed.
    if (argc == 2 && std::strcmp(argv[1], "--print-server-schema") == 0) {
        for (const QString& statement : olv::PgEngine::schemaStatements()) std::printf("%s\n", qPrintable(statement));
        return 0;
    }
    // A server that cannot be reached is given up on after a while rather than after the system's
    // own TCP timeout of minutes. Only a default: a connection string, a service file or the
    // user's own PGCONNECT_TIMEOUT come first.
    if (!qEnvironmentVariableIsSet("PGCONNECT_TIMEOUT")) qputenv("PGCONNECT_TIMEOUT", "15");
    // Before the application exists, so that a screen reader's first look finds our interfaces.
    olv::exposeToScreenReaders();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Olv"));
    olv::applyLook(app);

    olv::SystemClock clock;
    olv::SystemClipboard clipboard;
    olv::DesktopShell shell;
    olv::DialogPrompter prompter;
    olv::NetworkDownloader downloader;
    olv::WindowRegistry windows;

    olv::Context context;
    context.clock = &clock;
    context.clipboard = &clipboard;
    context.shell = &shell;
    context.prompter = &prompter;
    context.downloader = &downloader;
    context.windows = &windows;

    // "olv FILE" works on that file for the run, as Set Database would; like a file chosen there,
    // it is never created. So does "olv postgresql://..." on a server database. The default
    // database is made on first start.
    const QStringList args = QCoreApplication::arguments();
    if (args.size() > 1) {
        const QString named = args.at(1);
        context.store.setPath(olv::isServerConnection(named) ? named : QFileInfo(named).absoluteFilePath());
    } else {
        try {
            olv::Store::createIfMissing(context.store.path());
        } catch (const olv::StoreError& e) {
            prompter.error(nullptr, e.message());
        }
    }

    olv::frmOlv main(context);
    windows.add(&main);
    // A large file without search indexes gets them once, with progress and Cancel.
    context.store.setIndexMaker([&](const olv::IndexRepair& repair) {
        return olv::makeIndexesWithProgress(QApplication::activeWindow(), prompter, repair);
    });
    main.adjustSize(); // the designed size, which is also the smallest
    if (const QScreen* screen = main.screen())
        main.move(screen->availableGeometry().center() - main.rect().center());
    main.show();
    // A server database is opened at once, so that a password it wants is asked for before the
    // first command rather than failing it.
    if (olv::isServerConnection(context.store.path())) main.connectToServer(context.store.path());
    const int status = app.exec();
    olv::PgEngine::closeIdleConnections();
    return status;
}
