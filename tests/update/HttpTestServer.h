#pragma once
// A small HTTP/1.1 server on 127.0.0.1 for the update tests, served by the
// test's own event loop: answers each path from a table, records every
// request, and can stay silent or speak TLS with a certificate of the test's
// making.

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QPointer>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>

#include <memory>

namespace quorvane::test {

class HttpTestServer : public QObject {
public:
    struct Response {
        int status = 200;
        QByteArray reason = "OK";
        QByteArray body;
        // Accept the request and never answer it.
        bool silent = false;
        // Announce this many body bytes instead of the real count and close
        // after the body: a transfer that breaks off.
        qint64 announcedLength = -1;
    };

    static Response ok(const QByteArray &body) { return {200, "OK", body, false, -1}; }
    static Response status(int code, const QByteArray &reason)
    {
        return {code, reason, {}, false, -1};
    }
    static Response silence() { return {0, {}, {}, true, -1}; }
    static Response brokenOff(const QByteArray &body, qint64 announced)
    {
        return {200, "OK", body, false, announced};
    }

    // Plain HTTP on a free port.
    bool listen()
    {
        m_server = std::make_unique<QTcpServer>();
        return start();
    }
    // TLS with the given certificate and key.
    bool listenTls(const QSslCertificate &certificate, const QSslKey &key)
    {
        auto server = std::make_unique<QSslServer>();
        QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
        configuration.setLocalCertificate(certificate);
        configuration.setPrivateKey(key);
        configuration.setPeerVerifyMode(QSslSocket::VerifyNone);
        server->setSslConfiguration(configuration);
        m_tls = true;
        m_server = std::move(server);
        return start();
    }

    QString base() const
    {
        return QStringLiteral("%1://127.0.0.1:%2")
            .arg(m_tls ? QStringLiteral("https") : QStringLiteral("http"))
            .arg(m_server->serverPort());
    }

    void route(const QByteArray &path, const Response &response) { m_routes[path] = response; }

    // Every request as "METHOD path".
    QStringList requests;

private:
    bool start()
    {
        // A TLS server has its connections ready only once the handshake is done.
        const auto accept = [this] {
            while (QTcpSocket *socket = m_server->nextPendingConnection()) {
                socket->setParent(this);
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { serve(socket); });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
                if (socket->bytesAvailable() > 0)
                    serve(socket);
            }
        };
        connect(m_server.get(), &QTcpServer::newConnection, this, accept);
        connect(m_server.get(), &QTcpServer::pendingConnectionAvailable, this, accept);
        return m_server->listen(QHostAddress::LocalHost, 0);
    }

    void serve(QTcpSocket *socket)
    {
        QByteArray &pending = m_pending[socket];
        pending += socket->readAll();
        const qsizetype end = pending.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        const QList<QByteArray> requestLine = pending.left(pending.indexOf("\r\n")).split(' ');
        m_pending.remove(socket);
        const QByteArray method = requestLine.value(0);
        const QByteArray path = requestLine.value(1);
        requests.append(QString::fromLatin1(method + ' ' + path));

        const Response response = m_routes.value(path, status(404, "Not Found"));
        if (response.silent)
            return;
        QByteArray out = "HTTP/1.1 " + QByteArray::number(response.status) + ' '
                         + response.reason + "\r\n";
        out += "Content-Type: application/octet-stream\r\n";
        out += "Content-Length: "
               + QByteArray::number(response.announcedLength >= 0 ? response.announcedLength
                                                                   : response.body.size()) + "\r\n";
        out += "Connection: close\r\n\r\n";
        out += response.body;
        socket->write(out);
        socket->disconnectFromHost();
    }

    std::unique_ptr<QTcpServer> m_server;
    bool m_tls = false;
    QHash<QByteArray, Response> m_routes;
    QHash<QTcpSocket *, QByteArray> m_pending;
};

} // namespace quorvane::test
