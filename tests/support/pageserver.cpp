#include "pageserver.h"

#include <QTcpSocket>

namespace olv::test {

PageServer::PageServer() {
    // Loopback only: the tests never reach out of the machine.
    m_server.listen(QHostAddress::LocalHost);
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = m_server.nextPendingConnection()) {
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { answer(socket); });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
}

QString PageServer::url(const QString& path) const {
    return QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path);
}

void PageServer::answer(QTcpSocket* socket) {
    QByteArray request = socket->property("request").toByteArray() + socket->readAll();
    socket->setProperty("request", request);
    if (!request.contains("\r\n\r\n") || socket->property("answered").toBool()) return;
    socket->setProperty("answered", true);

    const QList<QByteArray> requestLine = request.left(request.indexOf("\r\n")).split(' ');
    const QByteArray target = requestLine.value(1);
    requests << target;
    const QByteArray path =
        target.left(target.indexOf('?') < 0 ? target.size() : target.indexOf('?'));
    const Page page = m_pages.value(path, Page{404, "<title>Not Found</title>", {}, true});
    if (!page.answers) return; // the connection stays open until the client gives up

    const QByteArray reason = page.status == 200   ? "OK"
                              : page.status == 302 ? "Found"
                                                   : "Not Found";
    QByteArray response = "HTTP/1.1 " + QByteArray::number(page.status) + ' ' + reason + "\r\n";
    response += "Content-Type: text/html\r\n";
    response += "Content-Length: " + QByteArray::number(page.body.size()) + "\r\n";
    if (!page.location.isEmpty()) response += "Location: " + page.location + "\r\n";
    response += "Connection: close\r\n\r\n";
    socket->write(response + page.body);
    socket->disconnectFromHost();
}

} // namespace olv::test
