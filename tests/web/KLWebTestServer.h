#pragma once

// A tiny HTTPS server for pages a test writes itself: each path answers a fixed HTML body.
// It presents the certificate set it is given, so a test can serve from an authority the page
// view trusts or from one it does not.

#include "SimCertificates.h"

#include <QHash>
#include <QSslServer>
#include <QSslSocket>

namespace kltest {

class WebTestServer : public QSslServer {
public:
    bool start(const kelvosim::SimCertificateFiles &certificates, QString *error)
    {
        QSslConfiguration config;
        if (!kelvosim::SimCertificates::serverConfiguration(certificates, &config, error))
            return false;
        setSslConfiguration(config);
        connect(this, &QTcpServer::pendingConnectionAvailable, this, [this] {
            while (QTcpServer::hasPendingConnections())
                serve(static_cast<QSslSocket *>(nextPendingConnection()));
        });
        if (!listen(QHostAddress::LocalHost)) {
            *error = errorString();
            return false;
        }
        return true;
    }
    void setPage(const QString &path, const QByteArray &html) { m_pages.insert(path, html); }
    QString url(const QString &path) const
    {
        return QStringLiteral("https://127.0.0.1:%1%2").arg(serverPort()).arg(path);
    }

private:
    void serve(QSslSocket *socket)
    {
        auto *buffer = new QByteArray;
        connect(socket, &QSslSocket::disconnected, socket, [socket, buffer] {
            delete buffer;
            socket->deleteLater();
        });
        connect(socket, &QSslSocket::readyRead, socket, [this, socket, buffer] {
            buffer->append(socket->readAll());
            if (!buffer->contains("\r\n\r\n"))
                return;
            const QList<QByteArray> line = buffer->left(buffer->indexOf("\r\n")).split(' ');
            const QString path = QString::fromLatin1(line.value(1)).section(QLatin1Char('?'), 0, 0);
            buffer->clear();
            const bool found = m_pages.contains(path);
            const QByteArray body = found ? m_pages.value(path) : QByteArray("not found");
            socket->write((found ? "HTTP/1.1 200 OK\r\n" : "HTTP/1.1 404 Not Found\r\n") +
                          QByteArray("Content-Type: text/html; charset=utf-8\r\nConnection: close\r\n") +
                          "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body);
            socket->disconnectFromHost();
        });
    }

    QHash<QString, QByteArray> m_pages;
};

} // namespace kltest
