#pragma once
// Work the views do beside the window's thread: reading cards and table rows from the file, and
// making thumbnails and note lines. Painting only asks for it and draws what has come; a view
// that closes meanwhile neither waits for the work nor hears of it.

#include <QMetaObject>
#include <QPointer>
#include <QThreadPool>

namespace olv::aside {

// Reads of the file, one at a time, so a slow picture never holds up the next card's text.
QThreadPool& readers();
// Pictures and notes, one at a time; the other core stays with the window.
QThreadPool& painters();

// Runs work() on pool, then done(result) on the window's thread, provided receiver still lives.
template <class Work, class Done> void run(QThreadPool& pool, QObject* receiver, Work work, Done done) {
    pool.start([&pool, receiver = QPointer<QObject>(receiver), work = std::move(work), done = std::move(done)]() mutable {
        auto result = work();
        QMetaObject::invokeMethod(
            &pool,
            [receiver, done = std::move(done), result = std::move(result)]() mutable {
                if (receiver) done(std::move(result));
            },
            Qt::QueuedConnection);
    });
}

} // namespace olv::aside
