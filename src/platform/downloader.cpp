#include "downloader.h"

#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <memory>

namespace olv {

NetworkDownloader::NetworkDownloader(QObject* parent)
    : Downloader(parent), m_network(new QNetworkAccessManager(this)) {}

void NetworkDownloader::download(const QUrl& url, const QString& file, Done done) {
    auto out = std::make_shared<QFile>(file);
    if (!out->open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        QTimer::singleShot(0, this, [done] { done(false, {}); });
        return;
    }
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setTransferTimeout(m_timeoutMs);
    QNetworkReply* reply = m_network->get(request);

    auto timer = new QTimer(reply);
    timer->setSingleShot(true);
    auto timedOut = std::make_shared<bool>(false);
    auto enough = std::make_shared<bool>(false);
    connect(timer, &QTimer::timeout, reply, [reply, timedOut] {
        *timedOut = true;
        reply->abort();
    });
    timer->start(m_timeoutMs);

    const qint64 maxBytes = m_maxBytes;
    connect(reply, &QNetworkReply::readyRead, reply, [reply, out, enough, maxBytes] {
        const qint64 room = maxBytes - out->size();
        out->write(reply->read(std::max<qint64>(room, 0)));
        if (out->size() >= maxBytes && !*enough) {
            // The rest of a large page is never needed.
            *enough = true;
            reply->abort();
        }
    });
    connect(reply, &QNetworkReply::finished, this, [reply, out, done, timedOut, enough] {
        if (!*enough && !*timedOut && reply->error() == QNetworkReply::NoError)
            out->write(reply->readAll());
        out->close();
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        const bool ok = *enough || (!*timedOut && reply->error() == QNetworkReply::NoError &&
                                    (status == 0 || (status >= 200 && status < 300)));
        const QByteArray contentType = reply->rawHeader("Content-Type");
        reply->deleteLater();
        done(ok, contentType);
    });
}

} // namespace olv
