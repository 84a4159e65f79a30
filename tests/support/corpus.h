#pragma once
// Files made by other programs (notes, web pages, Jet databases), kept beside the repository
// rather than in it. OLV_CORPUS names their folder; without it they are looked for in
// ../shared/realworld next to the source. A test that needs them skips when they are absent,
// with one line saying why, unless OLV_CORPUS_REQUIRED is set (as CI does): then it fails.
// ./test collects the skip lines from OLV_SKIP_LOG and prints them at the end.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtTest>

namespace olv::test {

inline QString corpusDir() {
    const QString set = qEnvironmentVariable("OLV_CORPUS");
    return QDir::cleanPath(set.isEmpty() ? QStringLiteral(OLV_REALWORLD_DIR) : set);
}

inline QString corpusFile(const QString& relative) { return corpusDir() + QLatin1Char('/') + relative; }

inline bool corpusRequired() { return !qEnvironmentVariable("OLV_CORPUS_REQUIRED").isEmpty(); }

// Empty when the file is there; otherwise the reason to skip (or fail) with.
inline QString corpusMissing(const QString& relative) {
    if (QFileInfo::exists(corpusFile(relative))) return {};
    return QStringLiteral("real-world files not found at %1 (set OLV_CORPUS to their folder)").arg(corpusDir());
}

inline void logSkip(const QString& reason) {
    const QString log = qEnvironmentVariable("OLV_SKIP_LOG");
    if (log.isEmpty()) return;
    QFile f(log);
    if (f.open(QIODevice::Append | QIODevice::Text))
        f.write(QStringLiteral("%1::%2: %3\n")
                    .arg(QCoreApplication::applicationName(), QString::fromLatin1(QTest::currentTestFunction()), reason)
                    .toUtf8());
}

} // namespace olv::test

// Skips the test (or fails it where the files are required) when a real-world file is absent.
#define OLV_NEEDS_CORPUS(relative)                                                                     \
    do {                                                                                               \
        const QString olvWhy = ::olv::test::corpusMissing(relative);                                   \
        if (!olvWhy.isEmpty()) {                                                                       \
            if (::olv::test::corpusRequired()) QFAIL(qPrintable(olvWhy));                              \
            ::olv::test::logSkip(olvWhy);                                                              \
            QSKIP(qPrintable(olvWhy));                                                                 \
        }                                                                                              \
    } while (false)
