#include "longwork.h"

#include "platform/prompter.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QLocale>
#include <QProgressDialog>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

namespace olv {

namespace {
// Work shorter than this shows only the busy cursor.
constexpr int kShowAfterMs = 600;
// How often the windows are given a chance to paint.
constexpr int kPollEveryMs = 40;
} // namespace

LongWork::LongWork(QWidget* parent, QString what) : m_parent(parent), m_what(std::move(what)) {
    m_started.start();
    m_lastPoll.start();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_cursor = true;
}

LongWork::~LongWork() {
    pause();
}

void LongWork::pause() {
    delete m_dialog.data();
    m_started.restart();
    if (m_cursor) QApplication::restoreOverrideCursor();
    m_cursor = false;
}

bool LongWork::poll() {
    if (m_cancelled) return false;
    if (m_lastPoll.elapsed() < kPollEveryMs) return true;
    m_lastPoll.restart();
    if (!m_cursor) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        m_cursor = true;
    }
    if (!m_dialog && m_started.elapsed() >= kShowAfterMs) {
        // Modal: while it shows, the user can cancel and nothing else, so no other command
        // reaches the file half-way through this one.
        m_dialog = new QProgressDialog(m_what, QStringLiteral("Cancel"), 0, 0, m_parent);
        m_dialog->setObjectName(QStringLiteral("dlgLongWork"));
        m_dialog->setWindowTitle(kAppTitle);
        m_dialog->setWindowModality(Qt::ApplicationModal);
        m_dialog->setMinimumDuration(0);
        m_dialog->setAutoReset(false);
        m_dialog->setAutoClose(false);
        m_dialog->show();
    }
    if (m_dialog && m_share >= 0) {
        m_dialog->setMaximum(1000);
        m_dialog->setValue(std::min(999, int(m_share * 1000)));
    }
    // Without the dialog, input waits: the user cannot start another command meanwhile.
    QCoreApplication::processEvents(m_dialog ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
    if (m_dialog && m_dialog->wasCanceled()) m_cancelled = true;
    return !m_cancelled;
}

void LongWork::runOffThread(const std::function<void(const Progress&)>& work) {
    std::atomic<int> permille{-1};
    std::atomic<bool> cancel{false};
    std::mutex mutex;
    std::condition_variable ended;
    bool finished = false;
    std::exception_ptr failure;
    std::thread worker([&] {
        try {
            work([&](double share) {
                permille = int(std::clamp(share, 0.0, 1.0) * 1000);
                return !cancel.load();
            });
        } catch (...) {
            failure = std::current_exception();
        }
        const std::lock_guard lock(mutex);
        finished = true;
        ended.notify_all();
    });
    for (;;) {
        {
            std::unique_lock lock(mutex);
            if (ended.wait_for(lock, std::chrono::milliseconds(kPollEveryMs), [&] { return finished; })) break;
        }
        if (cancel) {
            // Called off: painting goes on until the work notices.
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
            continue;
        }
        if (const int done = permille; done >= 0) setShare(done / 1000.0);
        if (!poll()) cancel = true;
    }
    worker.join();
    if (failure) std::rethrow_exception(failure);
}

bool makeIndexesWithProgress(QWidget* parent, Prompter& prompter, const IndexRepair& repair) {
    const QLocale locale;
    QProgressDialog dialog(
        QStringLiteral("Olv is making the search indexes of\n%1\n\nThis is done once for a file. "
                       "It takes a little while and makes the file about %2 larger.")
            .arg(QDir::toNativeSeparators(repair.path), locale.formattedDataSize(repair.growthBytes(), 0, QLocale::DataSizeSIFormat)),
        QStringLiteral("Cancel"), 0, 1000, parent);
    dialog.setObjectName(QStringLiteral("dlgIndexes"));
    dialog.setWindowTitle(kAppTitle);
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setMinimumDuration(0);
    dialog.setAutoReset(false);
    dialog.setAutoClose(false);
    dialog.setValue(0);
    dialog.show();

    std::atomic<int> permille{0};
    std::atomic<bool> cancel{false}, finished{false};
    enum class End { Made, Cancelled, Failed } end = End::Made;
    QString failure;
    std::thread worker([&] {
        try {
            repair.run([&](double share) {
                permille = int(share * 1000);
                return !cancel.load();
            });
        } catch (const Cancelled&) {
            end = End::Cancelled;
        } catch (const StoreError& e) {
            end = End::Failed;
            failure = e.message();
        }
        finished = true;
    });
    QEventLoop loop;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        if (dialog.wasCanceled()) cancel = true;
        else dialog.setValue(std::min(permille.load(), 999));
        if (finished) loop.quit();
    });
    tick.start(50);
    loop.exec();
    worker.join();
    dialog.hide();
    if (end == End::Failed) prompter.error(parent, failure);
    return end == End::Made;
}

} // namespace olv
