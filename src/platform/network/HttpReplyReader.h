#pragma once
// Reads one HTTP/1.1 reply as its bytes arrive, holding no more than its caps: the status line
// and headers of every reply in the exchange together (interim "100 Continue" replies
// included) at most maxHeaderBytes, the body at most maxBodyBytes, whether it comes with a
// length, in chunks or until the connection closes. Past a cap, or on anything that is not
// HTTP, it stops at once and says why; what it has been fed since is ignored.
#include <QByteArray>
#include <QString>

namespace platform {

class HttpReplyReader {
public:
    enum class State { Reading, Done, TooLarge, Malformed };

    HttpReplyReader(qint64 maxHeaderBytes, qint64 maxBodyBytes);

    // Takes the next bytes of the connection.
    void feed(const char* data, qint64 size);
    // The connection closed: a body read until the close is complete, anything else is cut
    // short (Malformed).
    void closed();

    State state() const { return m_state; }
    bool finished() const { return m_state != State::Reading; }
    // The final reply's status, once its status line has arrived; else 0.
    int status() const { return m_status; }
    const QByteArray& body() const { return m_body; }
    // Why the reader stopped (for the log), when it did not end Done.
    QString error() const { return m_error; }
    // Whether the cap passed was the headers' (TooLarge).
    bool headersTooLarge() const { return m_headersTooLarge; }

private:
    enum class Part {
        StatusLine,
        Headers,
        LengthBody,
        ChunkSize,
        ChunkData,
        ChunkEnd,
        Trailers,
        BodyUntilClose
    };

    // Takes one line of the head (status line, header or trailer); false once stopped.
    bool takeLine(const QByteArray& line);
    bool headerLine(const QByteArray& line);
    void headersDone();
    void fail(State state, const QString& why);
    void done();
    bool appendBody(const char* data, qint64 size);

    const qint64 m_maxHeaderBytes;
    const qint64 m_maxBodyBytes;
    State m_state = State::Reading;
    Part m_part = Part::StatusLine;
    QByteArray m_line; // the line being gathered; bounded by the cap that applies to it
    qint64 m_headerBytes = 0;
    int m_status = 0;
    qint64 m_length = -1; // Content-Length, when given
    bool m_chunked = false;
    qint64 m_remaining = 0; // of the body or the current chunk
    QByteArray m_body;
    QString m_error;
    bool m_headersTooLarge = false;
};

} // namespace platform
