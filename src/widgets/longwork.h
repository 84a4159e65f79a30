#pragma once
// Long store work on the window's thread: a busy cursor at once, the windows kept painting, and
// after a moment a progress window with Cancel, so a wide search never freezes the program.

#include "store/store.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QString>
#include <functional>

class QProgressDialog;
class QWidget;

namespace olv {

class LongWork {
public:
    LongWork(QWidget* parent, QString what);
    ~LongWork();
    LongWork(const LongWork&) = delete;
    LongWork& operator=(const LongWork&) = delete;

    // For the store: keeps the windows painting, and answers false once the user cancelled.
    KeepGoing keepGoing() {
        return [this] { return poll(); };
    }
    bool poll();
    // How much is done (0 to 1), for work that knows; shown once the progress window is up.
    void setShare(double share) { m_share = share; }
    // Out of the way, e.g. before a question to the user; the next poll brings it back.
    void pause();
    // Runs work on a thread of its own meanwhile, so that the progress window comes up on time
    // and keeps painting whatever the work is doing (reading a large file, waiting for a busy
    // one). work gets a function for the share done (0 to 1), which answers false once the user
    // cancelled. What work throws is thrown here. work must not touch the windows.
    using Progress = std::function<bool(double)>;
    void runOffThread(const std::function<void(const Progress&)>& work);

private:
    QWidget* m_parent;
    QString m_what;
    QElapsedTimer m_started, m_lastPoll;
    QPointer<QProgressDialog> m_dialog;
    bool m_cursor = false;
    bool m_cancelled = false;
    double m_share = -1; // unknown
};

// Makes a large file's search indexes on a thread of its own, with a progress window that names
// the file, says what it costs and offers Cancel; false when called off or failed (the file is
// then as it was).
class Prompter;
bool makeIndexesWithProgress(QWidget* parent, Prompter& prompter, const IndexRepair& repair);

} // namespace olv
