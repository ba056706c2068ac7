#include "platform/network/HttpClient.h"

#include "platform/network/HttpReplyReader.h"

#include <QHostAddress>
#include <QLoggingCategory>
#include <QNetworkProxy>
#include <QPointer>
#include <QSslSocket>
#include <QTcpSocket>
#include <QTimer>
#include <memory>
#include <utility>

Q_LOGGING_CATEGORY(lcNetwork, "quillmark.network", QtWarningMsg)

namespace platform {

namespace {

// Where plain HTTP may go: this machine only. Decided by the address, not by how it is
// written: the URL parser turns every spelling of an address (127.1, 0x7f000001, 2130706433,
// 0177.0.0.1, [::ffff:127.0.0.1]) into the address itself, which must be loopback. The one
// name accepted is "localhost", which is this machine by definition and is connected to as
// 127.0.0.1 without asking a resolver; any other name could resolve anywhere, and is refused.
std::optional<QHostAddress> loopbackAddressOf(const QString& host)
{
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        return QHostAddress(QHostAddress::LocalHost);
    const QHostAddress address(host);
    if (address.isNull() || !address.isLoopback())
        return std::nullopt;
    // An IPv4 address in its IPv6 form is reached as itself, where there is no IPv6.
    bool isIPv4 = false;
    const quint32 ipv4 = address.toIPv4Address(&isIPv4);
    return isIPv4 ? QHostAddress(ipv4) : address;
}

QString tooLargeMessage(bool headers, qint64 cap)
{
    return headers ? QStringLiteral("The server's reply headers are larger than %1 KB.")
                         .arg(HttpClient::kMaxHeaderBytes / 1024)
                   : QStringLiteral("The server's reply is larger than %1 KB.").arg(cap / 1024);
}

// The request's bytes: one POST, no keep-alive, nothing encoded that we would have to undo.
QByteArray requestBytes(const QUrl& url, const QByteArray& contentType, const QByteArray& body)
{
    QByteArray target = url.path(QUrl::FullyEncoded).toLatin1();
    if (target.isEmpty())
        target = "/";
    if (url.hasQuery())
        target += '?' + url.query(QUrl::FullyEncoded).toLatin1();
    QByteArray host = url.host(QUrl::FullyEncoded).toLatin1();
    if (host.contains(':'))
        host = '[' + host + ']';
    if (url.port() != -1)
        host += ':' + QByteArray::number(url.port());
    return "POST " + target + " HTTP/1.1\r\nHost: " + host + "\r\nContent-Type: " + contentType
        + "\r\nContent-Length: " + QByteArray::number(body.size())
        + "\r\nAccept-Encoding: identity\r\nConnection: close\r\nUser-Agent: Quillmark\r\n\r\n"
        + body;
}

} // namespace

// One request on its own connection. It belongs to the client: destroyed with it, it takes its
// socket down without calling back.
class HttpExchange : public QObject {
public:
    HttpExchange(HttpClient& client, const QUrl& url, QByteArray request, qint64 cap,
        std::chrono::milliseconds deadline, HttpClient::Completion done)
        : QObject(&client)
        , m_client(client)
        , m_request(std::move(request))
        , m_cap(cap)
        , m_reader(HttpClient::kMaxHeaderBytes, cap)
        , m_done(std::move(done))
    {
        const bool secure = url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0;
        QSslSocket* tls = secure ? new QSslSocket(this) : nullptr;
        m_socket = tls ? tls : new QTcpSocket(this);
        m_socket->setProxy(QNetworkProxy::NoProxy);
        // Qt reads no further ahead than this; the rest waits in the system's buffer.
        m_socket->setReadBufferSize(HttpClient::kReadChunkBytes);
        connect(m_socket, &QTcpSocket::readyRead, this, [this] { readAvailable(); });
        connect(m_socket, &QTcpSocket::disconnected, this, [this] {
            readAvailable();
            m_reader.closed();
            finishFromReader();
        });
        connect(m_socket, &QAbstractSocket::errorOccurred, this,
            [this](QAbstractSocket::SocketError error) {
                if (error == QAbstractSocket::RemoteHostClosedError)
                    return; // told by disconnected, after what arrived is read
                fail(HttpResult::Error::Network, m_socket->errorString());
            });
        m_timer.setSingleShot(true);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            fail(HttpResult::Error::TimedOut, QStringLiteral("The server did not answer in time."));
        });
        m_timer.start(deadline);

        const quint16 port = quint16(url.port(secure ? 443 : 80));
        if (tls) {
            if (!QSslSocket::supportsSsl()) {
                QTimer::singleShot(0, this, [this] {
                    fail(HttpResult::Error::Network,
                        QStringLiteral("Secure connections are not available."));
                });
                return;
            }
            connect(tls, &QSslSocket::encrypted, this, [this] { m_socket->write(m_request); });
            tls->connectToHostEncrypted(url.host(), port);
        } else {
            connect(m_socket, &QTcpSocket::connected, this, [this] { m_socket->write(m_request); });
            m_socket->connectToHost(*loopbackAddressOf(url.host()), port);
        }
    }

    ~HttpExchange() override
    {
        // Aborted quietly: nobody is told any more.
        m_socket->disconnect(this);
        m_socket->abort();
    }

private:
    void readAvailable()
    {
        char buffer[HttpClient::kReadChunkBytes];
        while (!m_finished && !m_reader.finished()) {
            const qint64 n = m_socket->read(buffer, sizeof buffer);
            if (n <= 0)
                break;
            m_reader.feed(buffer, n);
        }
        if (m_reader.finished())
            finishFromReader();
    }

    void finishFromReader()
    {
        HttpResult result;
        result.status = m_reader.status();
        switch (m_reader.state()) {
        case HttpReplyReader::State::Reading:
            return;
        case HttpReplyReader::State::Done:
            if (result.status < 200 || result.status > 299) {
                result.error = HttpResult::Error::HttpStatus;
                result.errorString = QStringLiteral("HTTP %1").arg(result.status);
            } else {
                result.body = m_reader.body();
            }
            break;
        case HttpReplyReader::State::TooLarge:
            result.error = HttpResult::Error::TooLarge;
            result.errorString = tooLargeMessage(m_reader.headersTooLarge(), m_cap);
            break;
        case HttpReplyReader::State::Malformed:
            result.error = HttpResult::Error::Network;
            result.errorString = QStringLiteral("The server's reply could not be read (%1).")
                                     .arg(m_reader.error());
            break;
        }
        finish(result);
    }

    void fail(HttpResult::Error error, const QString& why)
    {
        HttpResult result;
        result.error = error;
        result.status = m_reader.status();
        result.errorString = why;
        finish(result);
    }

    void finish(const HttpResult& result)
    {
        if (m_finished)
            return;
        m_finished = true;
        m_timer.stop();
        m_socket->disconnect(this);
        m_socket->abort();
        // The client lets go of this exchange and calls back; nothing here runs after that.
        m_client.finished(this, result, m_done);
    }

    HttpClient& m_client;
    QTcpSocket* m_socket = nullptr;
    QByteArray m_request;
    const qint64 m_cap;
    HttpReplyReader m_reader;
    QTimer m_timer;
    HttpClient::Completion m_done;
    bool m_finished = false;
};

HttpClient::HttpClient(QObject* parent)
    : QObject(parent)
{
}

HttpClient::~HttpClient()
{
    abortAll();
}

std::optional<QString> HttpClient::refusalFor(const QUrl& url)
{
    if (!url.isValid() || url.host().isEmpty())
        return QStringLiteral("The address \u201c%1\u201d is not valid.").arg(url.toString());
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("https"))
        return std::nullopt;
    if (scheme == QLatin1String("http") && loopbackAddressOf(url.host()))
        return std::nullopt;
    return QStringLiteral("The address \u201c%1\u201d is not a secure (HTTPS) address.")
        .arg(url.toString());
}

void HttpClient::post(
    const QUrl& url, const QByteArray& contentType, const QByteArray& body, Completion done)
{
    if (auto refusal = refusalFor(url)) {
        qCWarning(lcNetwork) << "refused" << url;
        HttpResult result;
        result.error = HttpResult::Error::Refused;
        result.errorString = *refusal;
        QTimer::singleShot(0, this, [done = std::move(done), result] { done(result); });
        return;
    }
    ++m_pending;
    m_exchanges.push_back(new HttpExchange(*this, url, requestBytes(url, contentType, body),
        m_maxReplyBytes, m_deadline, std::move(done)));
}

void HttpClient::finished(HttpExchange* exchange, const HttpResult& result, const Completion& done)
{
    --m_pending;
    std::erase(m_exchanges, exchange);
    if (!result.ok())
        qCWarning(lcNetwork) << result.errorString;
    const Completion call = done;
    // Not deleted while its own slot is on the stack.
    exchange->setParent(nullptr);
    exchange->deleteLater();
    call(result);
}

void HttpClient::abortAll()
{
    for (HttpExchange* exchange : std::exchange(m_exchanges, {})) {
        --m_pending;
        delete exchange;
    }
}

} // namespace platform
