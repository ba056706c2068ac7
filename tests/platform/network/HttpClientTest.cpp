// The HTTP client against a loopback server that answers well, badly or not at all: every
// exchange ends once, within its deadline, in the right result.
#include "platform/network/HttpClient.h"

#include "platform/network/LoopbackServer.h"

#include <gtest/gtest.h>

using nettest::LoopbackServer;
using platform::HttpClient;
using platform::HttpResult;
using Error = HttpResult::Error;

namespace {

constexpr std::chrono::milliseconds kDeadline { 1500 };

// Headers promising 100 bytes, then one byte a second.
void tricklingReply(QTcpSocket& socket, const nettest::Request&)
{
    socket.write(LoopbackServer::head(200, 100));
    auto* timer = new QTimer(&socket);
    QObject::connect(timer, &QTimer::timeout, &socket, [&socket] { socket.write("1"); });
    timer->start(1000);
}

void hugeReply(QTcpSocket& socket, qint64 declared)
{
    socket.write(LoopbackServer::head(200, declared));
    socket.write(QByteArray(10 * 1024 * 1024, 'x'));
    socket.disconnectFromHost();
}

struct Case {
    const char* name;
    LoopbackServer::Behaviour behaviour;
    Error error;
    int status;
    QByteArray body;
};

} // namespace

TEST(HttpClient, EndsInTheRightResultWithinItsDeadline)
{
    const Case cases[] = {
        { "answers 1", LoopbackServer::reply(200, "1"), Error::None, 200, "1" },
        { "answers 201 empty", LoopbackServer::reply(201, ""), Error::None, 201, "" },
        { "never answers", [](QTcpSocket&, const nettest::Request&) {}, Error::TimedOut, 0, {} },
        { "one byte a second", tricklingReply, Error::TimedOut, 200, {} },
        { "10 MB declared", [](QTcpSocket& s, const nettest::Request&) { hugeReply(s, 10 << 20); },
            Error::TooLarge, 200, {} },
        { "10 MB undeclared", [](QTcpSocket& s, const nettest::Request&) { hugeReply(s, -1); },
            Error::TooLarge, 200, {} },
        { "exactly 64 KB", LoopbackServer::reply(200, QByteArray(64 * 1024, 'y')), Error::None, 200,
            QByteArray(64 * 1024, 'y') },
        { "not HTTP",
            [](QTcpSocket& s, const nettest::Request&) {
                s.write("garbage, not a status line\r\n\r\n");
                s.disconnectFromHost();
            },
            Error::Network, 0, {} },
        { "chunked 1",
            [](QTcpSocket& s, const nettest::Request&) {
                s.write("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                        "1;ext=a\r\n1\r\n0\r\nX-Trailer: t\r\n\r\n");
            },
            Error::None, 200, "1" },
        { "100 Continue, then 1",
            [](QTcpSocket& s, const nettest::Request&) {
                s.write("HTTP/1.1 100 Continue\r\n\r\n" + LoopbackServer::head(200, 1) + "1");
            },
            Error::None, 200, "1" },
        { "two lengths that disagree",
            LoopbackServer::reply(200, "1", "Content-Length: 2\r\n"), Error::Network, 200, {} },
        { "500 with body 1", LoopbackServer::reply(500, "1"), Error::HttpStatus, 500, {} },
        { "404", LoopbackServer::reply(404, "1"), Error::HttpStatus, 404, {} },
        { "301 to another host",
            LoopbackServer::reply(301, "", "Location: https://example.invalid/subscribe\r\n"),
            Error::HttpStatus, 301, {} },
        { "closes mid-reply",
            [](QTcpSocket& s, const nettest::Request&) {
                s.write(LoopbackServer::head(200, 100) + "1234567890");
                s.disconnectFromHost();
            },
            Error::Network, 200, {} },
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.name);
        LoopbackServer server(row.behaviour);
        HttpClient client;
        client.setDeadline(kDeadline);
        std::optional<HttpResult> result;
        int calls = 0;
        client.post(server.url("subscribe"), "text/plain", "a=b", [&](const HttpResult& r) {
            result = r;
            ++calls;
        });
        ASSERT_TRUE(nettest::waitFor([&] { return result.has_value(); }, 5000));
        EXPECT_EQ(result->error, row.error) << result->errorString.toStdString();
        EXPECT_EQ(result->status, row.status);
        EXPECT_EQ(result->body, row.body);
        EXPECT_EQ(result->ok(), result->errorString.isEmpty());
        EXPECT_EQ(client.pendingCount(), 0);
        nettest::waitFor([] { return false; }, 20);
        EXPECT_EQ(calls, 1);
    }
}

TEST(HttpClient, RefusesInsecureAddressesWithoutSending)
{
    const struct {
        const char* url;
        bool allowed;
    } rows[] = {
        { "https://news.example.org/subscribe", true },
        { "http://127.0.0.1:8080/subscribe", true },
        { "http://localhost/subscribe", true },
        { "http://[::1]:8080/subscribe", true },
        // Judged by the address however it is spelled: these all are 127.0.0.1.
        { "http://0x7f000001/subscribe", true },
        { "http://2130706433/subscribe", true },
        { "http://127.1/subscribe", true },
        { "http://0177.0.0.1/subscribe", true },
        { "http://[::ffff:127.0.0.1]/subscribe", true },
        { "http://10.0.0.1/subscribe", false },
        { "http://0x0a000001/subscribe", false },
        { "http://[::ffff:10.0.0.1]/subscribe", false },
        // Names other than localhost could resolve anywhere.
        { "http://localhost.example.org/subscribe", false },
        { "http://news.example.org/subscribe", false },
        { "http://127.0.0.1.example.org/subscribe", false },
        { "ftp://127.0.0.1/subscribe", false },
        { "file:///etc/passwd", false },
        { "not a url", false },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.url);
        EXPECT_EQ(!HttpClient::refusalFor(QUrl(row.url)).has_value(), row.allowed);
    }
    HttpClient client;
    std::optional<HttpResult> result;
    client.post(QUrl("http://news.example.org/subscribe"), "text/plain", "",
        [&](const HttpResult& r) { result = r; });
    EXPECT_FALSE(result.has_value()) << "the completion waits for the event loop";
    ASSERT_TRUE(nettest::waitFor([&] { return result.has_value(); }, 1000));
    EXPECT_EQ(result->error, Error::Refused);
}

TEST(HttpClient, DestroyedClientAbortsWithoutCallingBack)
{
    LoopbackServer server([](QTcpSocket&, const nettest::Request&) {});
    bool called = false;
    {
        HttpClient client;
        client.post(server.url("subscribe"), "text/plain", "a=b",
            [&](const HttpResult&) { called = true; });
        ASSERT_TRUE(nettest::waitFor([&] { return !server.requests().empty(); }, 3000));
        EXPECT_EQ(client.pendingCount(), 1);
    }
    nettest::waitFor([] { return false; }, 100);
    EXPECT_FALSE(called);
}

// Every spelling of the loopback address reaches the loopback server; "localhost" too, as
// 127.0.0.1 without a lookup.
TEST(HttpClient, LoopbackSpellingsReachThisMachine)
{
    LoopbackServer server;
    const QString port = QString::number(server.serverPort());
    for (const QString host :
        { "0x7f000001", "2130706433", "127.1", "[::ffff:127.0.0.1]", "localhost" }) {
        SCOPED_TRACE(host.toStdString());
        HttpClient client;
        client.setDeadline(kDeadline);
        std::optional<HttpResult> result;
        client.post(QUrl("http://" + host + ":" + port + "/subscribe"), "text/plain", "a=b",
            [&](const HttpResult& r) { result = r; });
        ASSERT_TRUE(nettest::waitFor([&] { return result.has_value(); }, 5000));
        EXPECT_TRUE(result->ok()) << result->errorString.toStdString();
        EXPECT_EQ(result->body, "1");
    }
    EXPECT_EQ(server.requests().size(), 5u);
}
