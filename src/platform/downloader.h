#pragma once
// Downloading a web page to a file without blocking the window.

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QUrl>
#include <functional>

class QNetworkAccessManager;

namespace olv {

class Downloader : public QObject {
    Q_OBJECT
public:
    using Done = std::function<void(bool ok, const QByteArray& contentType)>;
    using QObject::QObject;
    // Writes the body of url (its first maxBytes at most) to file and then calls done on this
    // thread: ok is false for a failed request, an HTTP error status or a timeout; contentType
    // is the reply's Content-Type header as sent (it may name the page's charset), or empty.
    virtual void download(const QUrl& url, const QString& file, Done done) = 0;
};

class NetworkDownloader : public Downloader {
    Q_OBJECT
public:
    explicit NetworkDownloader(QObject* parent = nullptr);
    void setTimeoutMs(int ms) { m_timeoutMs = ms; }
    void setMaxBytes(qint64 bytes) { m_maxBytes = bytes; }
    void download(const QUrl& url, const QString& file, Done done) override;

private:
    QNetworkAccessManager* m_network;
    int m_timeoutMs = 15000;
    qint64 m_maxBytes = 1024 * 1024;
};

} // namespace olv
