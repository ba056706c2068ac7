#pragma once
// A scripted HTTP server on 127.0.0.1 for the network tests: it reads each request whole
// (headers and a Content-Length body), records it, and hands the socket to the test's
// behaviour, which answers well, badly or not at all. Everything it starts is parented to the
// server, so nothing outlives the test.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>
#include <QUrlQuery>
#include <functional>
#include <map>

namespace nettest {

struct Request {
    QByteArray method;
    QByteArray path;
    std::map<QByteArray, QByteArray> headers; // names in lower case
    QByteArray body;

    // The form body's fields, decoded ("+" is a space).
    std::map<QString, QString> fields() const
    {
        std::map<QString, QString> out;
        for (const QByteArray& pair : body.split('&')) {
            const qsizetype eq = pair.indexOf('=');
            auto decode
                = [](QByteArray part) { return QUrl::fromPercentEncoding(part.replace('+', ' ')); };
            out[decode(pair.left(eq))] = decode(pair.mid(eq + 1));
        }
        return out;
    }
};

class LoopbackServer : public QTcpServer {
public:
    using Behaviour = std::function<void(QTcpSocket&, const Request&)>;

    // Without a behaviour it answers 200 "1".
    explicit LoopbackServer(Behaviour behaviour = {})
        : m_behaviour(behaviour ? std::move(behaviour) : reply(200, "1"))
    {
        listen(QHostAddress::LocalHost);
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = nextPendingConnection()) {
                socket->setParent(this);
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { read(*socket); });
            }
        });
    }

    QUrl url(const QString& path = {}) const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1/%2").arg(serverPort()).arg(path));
    }
    void setBehaviour(Behaviour behaviour) { m_behaviour = std::move(behaviour); }
    const std::vector<Request>& requests() const { return m_requests; }

    static QByteArray head(int status, qint64 length, const QByteArray& extra = {})
    {
        QByteArray out = "HTTP/1.1 " + QByteArray::number(status) + " X\r\n" + extra;
        if (length >= 0)
            out += "Content-Length: " + QByteArray::number(length) + "\r\n";
        return out + "Connection: close\r\n\r\n";
    }
    static Behaviour reply(int status, QByteArray body, QByteArray extra = {})
    {
        return [=](QTcpSocket& socket, const Request&) {
            socket.write(head(status, body.size(), extra) + body);
            socket.disconnectFromHost();
        };
    }

private:
    void read(QTcpSocket& socket)
    {
        QByteArray& buffer = m_buffers[&socket];
        buffer += socket.readAll();
        const qsizetype end = buffer.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        Request request;
        const QList<QByteArray> lines = buffer.left(end).split('\n');
        const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
        request.method = first.value(0);
        request.path = first.value(1);
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const qsizetype colon = lines[i].indexOf(':');
            request.headers[lines[i].left(colon).trimmed().toLower()]
                = lines[i].mid(colon + 1).trimmed();
        }
        const qsizetype length = request.headers["content-length"].toLongLong();
        if (buffer.size() < end + 4 + length)
            return;
        request.body = buffer.mid(end + 4, length);
        m_buffers.erase(&socket);
        m_requests.push_back(request);
        m_behaviour(socket, request);
    }

    Behaviour m_behaviour;
    std::map<QTcpSocket*, QByteArray> m_buffers;
    std::vector<Request> m_requests;
};

// Runs the event loop until done() or ms milliseconds; answers done().
inline bool waitFor(const std::function<bool()>& done, int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

} // namespace nettest
