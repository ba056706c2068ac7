#pragma once
// A careful HTTP client for small form posts, reading the connection itself.
//
//  - Addresses: HTTPS, or plain HTTP to this machine only (tests run their own server on
//    127.0.0.1). Anything else is refused before a byte is sent.
//  - One request per connection (HTTP/1.1, "Connection: close"); redirects are never followed:
//    a 3xx reply is an HTTP error like any other non-2xx.
//  - Every request has a deadline for the whole exchange (not only for silence), after which
//    it is aborted and reported as timed out.
//  - What is held of the reply is bounded as it arrives, not after: the socket's own buffer is
//    small and read in small pieces into a reader that stops at once past either cap, the
//    heads of the reply (interim replies included) at kMaxHeaderBytes and the body at
//    maxReplyBytes, however it is framed.
//  - The completion runs once, on the main thread, and never after the client is destroyed:
//    destroying the client aborts what is under way without calling back.
//
// Main thread only.
#include <QByteArray>
#include <QObject>
#include <QString>
#include <QUrl>
#include <chrono>
#include <functional>
#include <optional>
#include <vector>

namespace platform {

struct HttpResult {
    enum class Error { None, Refused, TimedOut, HttpStatus, TooLarge, Network };
    Error error = Error::None;
    int status = 0; // the HTTP status when one arrived, else 0
    QByteArray body; // the whole reply when error is None
    QString errorString; // a readable description when error is not None (for the log)

    bool ok() const { return error == Error::None; }
};

class HttpExchange;

class HttpClient : public QObject {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds kDefaultDeadline { 60'000 };
    static constexpr qint64 kDefaultMaxReplyBytes = 64 * 1024;
    // The status lines and headers of one exchange together.
    static constexpr qint64 kMaxHeaderBytes = 64 * 1024;
    // What the socket may hold unread, and what is read from it at a time.
    static constexpr qint64 kReadChunkBytes = 16 * 1024;

    using Completion = std::function<void(const HttpResult&)>;

    explicit HttpClient(QObject* parent = nullptr);
    ~HttpClient() override;

    void setDeadline(std::chrono::milliseconds deadline) { m_deadline = deadline; }
    std::chrono::milliseconds deadline() const { return m_deadline; }
    void setMaxReplyBytes(qint64 bytes) { m_maxReplyBytes = bytes; }

    // Why url may not be used (a readable reason), or nothing when it may.
    static std::optional<QString> refusalFor(const QUrl& url);

    // POSTs body with the given Content-Type; done gets the result later (a refused address
    // too, on the next turn of the event loop).
    void post(
        const QUrl& url, const QByteArray& contentType, const QByteArray& body, Completion done);

    // Requests under way.
    int pendingCount() const { return m_pending; }
    // Aborts every request under way; their completions are not called.
    void abortAll();

private:
    friend class HttpExchange;
    void finished(HttpExchange* exchange, const HttpResult& result, const Completion& done);

    std::chrono::milliseconds m_deadline = kDefaultDeadline;
    qint64 m_maxReplyBytes = kDefaultMaxReplyBytes;
    int m_pending = 0;
    std::vector<HttpExchange*> m_exchanges; // under way; owned (children)
};

} // namespace platform
