#pragma once
// A tiny web server on the loopback address for the page-title fetch: serves fixed pages by
// path, records what it was asked for, and can be told never to answer a path.

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QTcpServer>

class QTcpSocket;

namespace olv::test {

struct Page {
    int status = 200;
    QByteArray body;
    QByteArray location; // for a redirect
    bool answers = true; // false: the request is read and then left hanging
};

class PageServer : public QObject {
    Q_OBJECT
public:
    PageServer();
    void serve(const QByteArray& path, const Page& page) { m_pages.insert(path, page); }
    void serve(const QByteArray& path, const QByteArray& body) {
        serve(path, Page{200, body, {}, true});
    }
    // "http://127.0.0.1:PORT" followed by path.
    QString url(const QString& path) const;
    // Request targets (path and query as sent) in the order they came in.
    QList<QByteArray> requests;

private:
    void answer(QTcpSocket* socket);
    QTcpServer m_server;
    QHash<QByteArray, Page> m_pages;
};

} // namespace olv::test
