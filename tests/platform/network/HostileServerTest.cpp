// Servers that never stop sending, against the client's caps: endless chunks, endless headers,
// one header without end, a status line or chunk size without end, "100 Continue" forever, a
// body without length or end. Each runs on its own thread and sends only as fast as the client
// takes, so that what this process holds is the client's. Every exchange must end well before
// its deadline, with the client's peak memory and its thread's CPU time, measured here, within
// their bounds.
#include "platform/network/HttpClient.h"
#include "platform/network/LoopbackServer.h"

#include <QFile>
#include <QThread>
#include <atomic>
#include <ctime>
#include <future>
#include <gtest/gtest.h>
#include <thread>

using platform::HttpClient;
using platform::HttpResult;
using Error = HttpResult::Error;

namespace {

// Sends head, then body pieces without end, keeping no more than a little unsent.
class EndlessServer {
public:
    EndlessServer(QByteArray head, QByteArray piece)
    {
        std::promise<quint16> port;
        auto bound = port.get_future();
        m_thread.start();
        QMetaObject::invokeMethod(
            m_context, [this, head, piece, &port] { start(head, piece, port); },
            Qt::BlockingQueuedConnection);
        m_port = bound.get();
    }
    ~EndlessServer()
    {
        QMetaObject::invokeMethod(
            m_context, [this] { delete m_server; }, Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
        delete m_context;
    }
    QUrl url() const { return QUrl(QStringLiteral("http://127.0.0.1:%1/subscribe").arg(m_port)); }

private:
    void start(const QByteArray& head, const QByteArray& piece, std::promise<quint16>& port)
    {
        m_server = new QTcpServer;
        m_server->listen(QHostAddress::LocalHost);
        QObject::connect(m_server, &QTcpServer::newConnection, m_server, [this, head, piece] {
            while (QTcpSocket* socket = m_server->nextPendingConnection()) {
                socket->setParent(m_server);
                auto more = [socket, piece] {
                    while (socket->state() == QAbstractSocket::ConnectedState
                        && socket->bytesToWrite() < 256 * 1024)
                        socket->write(piece);
                };
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket, head, more] {
                    if (socket->property("answered").toBool()) {
                        socket->readAll();
                        return;
                    }
                    socket->setProperty("answered", true);
                    socket->readAll();
                    socket->write(head);
                    more();
                });
                QObject::connect(socket, &QTcpSocket::bytesWritten, socket, more);
            }
        });
        port.set_value(m_server->serverPort());
    }

    QThread m_thread;
    QObject* m_context = [this] {
        auto* context = new QObject;
        context->moveToThread(&m_thread);
        return context;
    }();
    QTcpServer* m_server = nullptr;
    quint16 m_port = 0;
};

qint64 residentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.value(1).toLongLong() * 4096;
}

double threadCpuSeconds()
{
    timespec t {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// The highest resident size while it runs, sampled every millisecond on a thread of its own.
class PeakMemory {
public:
    PeakMemory()
        : m_sampler([this] {
            while (!m_stop) {
                m_peak = std::max(m_peak.load(), residentBytes());
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        })
    {
    }
    qint64 stop()
    {
        m_stop = true;
        m_sampler.join();
        return m_peak;
    }

private:
    std::atomic<bool> m_stop { false };
    std::atomic<qint64> m_peak { 0 };
    std::thread m_sampler;
};

struct EndlessRow {
    const char* name;
    QByteArray head;
    QByteArray piece;
    Error error;
};

QByteArray chunk(const QByteArray& data)
{
    return QByteArray::number(data.size(), 16) + "\r\n" + data + "\r\n";
}

} // namespace

TEST(HttpClient, EndlessServersAreCutOffWithinTheBounds)
{
    const EndlessRow rows[] = {
        { "chunks without end", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n",
            chunk(QByteArray(16 * 1024, 'x')), Error::TooLarge },
        { "body without length or end", "HTTP/1.1 200 OK\r\n\r\n", QByteArray(16 * 1024, 'x'),
            Error::TooLarge },
        { "headers without end", "HTTP/1.1 200 OK\r\n", "X-More: " + QByteArray(100, 'a') + "\r\n",
            Error::TooLarge },
        { "one header without end", "HTTP/1.1 200 OK\r\nX-Big: ", QByteArray(16 * 1024, 'a'),
            Error::TooLarge },
        { "status line without end", "HTTP/1.1 200 ", QByteArray(16 * 1024, 'a'), Error::TooLarge },
        { "chunk size without end", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n",
            QByteArray(16 * 1024, '0'), Error::Network },
        { "100 Continue forever", "", "HTTP/1.1 100 Continue\r\n\r\n", Error::TooLarge },
    };
    constexpr qint64 kMemoryBound = 16 * 1024 * 1024;
    constexpr double kCpuBound = 1.0;
    for (const EndlessRow& row : rows) {
        SCOPED_TRACE(row.name);
        EndlessServer server(row.head, row.piece);
        HttpClient client;
        client.setDeadline(std::chrono::seconds(30));
        std::optional<HttpResult> result;
        const qint64 idle = residentBytes();
        const double cpuBefore = threadCpuSeconds();
        PeakMemory peak;
        client.post(server.url(), "text/plain", "a=b", [&](const HttpResult& r) { result = r; });
        const bool answered = nettest::waitFor([&] { return result.has_value(); }, 20000);
        const double cpu = threadCpuSeconds() - cpuBefore;
        const qint64 grew = peak.stop() - idle;
        ASSERT_TRUE(answered) << "no answer well within the deadline";
        EXPECT_EQ(result->error, row.error) << result->errorString.toStdString();
        EXPECT_LE(grew, kMemoryBound) << grew / 1024 << " KB";
        EXPECT_LE(cpu, kCpuBound);
    }
}
