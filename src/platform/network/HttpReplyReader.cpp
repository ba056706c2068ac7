#include "platform/network/HttpReplyReader.h"

#include <QByteArray>
#include <QList>
#include <algorithm>

namespace platform {

namespace {

// A chunk-size line: the size in hexadecimal, perhaps extensions; no more than this.
constexpr qint64 kMaxChunkLineBytes = 1024;

QByteArray trimmedLine(const QByteArray& line)
{
    return line.endsWith('\r') ? line.chopped(1) : line;
}

} // namespace

HttpReplyReader::HttpReplyReader(qint64 maxHeaderBytes, qint64 maxBodyBytes)
    : m_maxHeaderBytes(maxHeaderBytes)
    , m_maxBodyBytes(maxBodyBytes)
{
}

void HttpReplyReader::fail(State state, const QString& why)
{
    if (finished())
        return;
    m_state = state;
    m_error = why;
}

void HttpReplyReader::done()
{
    if (!finished())
        m_state = State::Done;
}

bool HttpReplyReader::appendBody(const char* data, qint64 size)
{
    if (m_body.size() + size > m_maxBodyBytes) {
        fail(State::TooLarge, QStringLiteral("the body passed %1 bytes").arg(m_maxBodyBytes));
        return false;
    }
    m_body.append(data, size);
    return true;
}

void HttpReplyReader::feed(const char* data, qint64 size)
{
    qint64 at = 0;
    while (!finished() && at < size) {
        switch (m_part) {
        case Part::LengthBody:
        case Part::ChunkData: {
            const qint64 take = std::min(m_remaining, size - at);
            if (!appendBody(data + at, take))
                return;
            at += take;
            m_remaining -= take;
            if (m_remaining == 0) {
                if (m_part == Part::ChunkData)
                    m_part = Part::ChunkEnd;
                else
                    done();
            }
            break;
        }
        case Part::BodyUntilClose:
            if (!appendBody(data + at, size - at))
                return;
            at = size;
            break;
        default: {
            // A line: gathered up to its end, within the cap of its part.
            const char* end = static_cast<const char*>(memchr(data + at, '\n', size_t(size - at)));
            const qint64 take = end ? (end - (data + at)) : (size - at);
            const bool head
                = m_part == Part::StatusLine || m_part == Part::Headers || m_part == Part::Trailers;
            const qint64 cap = head ? m_maxHeaderBytes - m_headerBytes : kMaxChunkLineBytes;
            if (m_line.size() + take + (end ? 1 : 0) > cap) {
                if (head) {
                    m_headersTooLarge = true;
                    fail(State::TooLarge,
                        QStringLiteral("the headers passed %1 bytes").arg(m_maxHeaderBytes));
                } else {
                    fail(State::Malformed, QStringLiteral("a chunk size line without end"));
                }
                return;
            }
            m_line.append(data + at, take);
            at += take;
            if (!end)
                break;
            ++at; // the '\n'
            if (head)
                m_headerBytes += m_line.size() + 1;
            const QByteArray line = trimmedLine(m_line);
            m_line.clear();
            if (!takeLine(line))
                return;
            break;
        }
        }
    }
}

bool HttpReplyReader::takeLine(const QByteArray& line)
{
    switch (m_part) {
    case Part::StatusLine: {
        // "HTTP/1.x NNN reason"
        const QList<QByteArray> parts = line.split(' ');
        bool ok = false;
        const int status = parts.size() >= 2 ? parts[1].toInt(&ok) : 0;
        if (!line.startsWith("HTTP/1.") || !ok || status < 100 || status > 999
            || parts[1].size() != 3) {
            fail(State::Malformed, QStringLiteral("no HTTP status line"));
            return false;
        }
        m_status = status;
        m_length = -1;
        m_chunked = false;
        m_part = Part::Headers;
        return true;
    }
    case Part::Headers:
        if (line.isEmpty()) {
            headersDone();
            return !finished() || m_state == State::Done;
        }
        return headerLine(line);
    case Part::ChunkSize: {
        const qsizetype semicolon = line.indexOf(';');
        const QByteArray digits = (semicolon < 0 ? line : line.left(semicolon)).trimmed();
        bool ok = false;
        const qint64 size = digits.toLongLong(&ok, 16);
        if (!ok || size < 0 || digits.size() > 15) {
            fail(State::Malformed, QStringLiteral("a bad chunk size"));
            return false;
        }
        if (m_body.size() + size > m_maxBodyBytes) {
            fail(State::TooLarge, QStringLiteral("a chunk passed the body's cap"));
            return false;
        }
        m_remaining = size;
        m_part = size == 0 ? Part::Trailers : Part::ChunkData;
        return true;
    }
    case Part::ChunkEnd:
        if (!line.isEmpty()) {
            fail(State::Malformed, QStringLiteral("a chunk without its line end"));
            return false;
        }
        m_part = Part::ChunkSize;
        return true;
    case Part::Trailers:
        if (line.isEmpty())
            done();
        return true;
    default:
        return true;
    }
}

bool HttpReplyReader::headerLine(const QByteArray& line)
{
    const qsizetype colon = line.indexOf(':');
    if (colon <= 0) {
        fail(State::Malformed, QStringLiteral("a header without a name"));
        return false;
    }
    const QByteArray name = line.left(colon).trimmed().toLower();
    const QByteArray value = line.mid(colon + 1).trimmed();
    if (name == "content-length") {
        bool ok = false;
        const qint64 length = value.toLongLong(&ok);
        if (!ok || length < 0 || (m_length >= 0 && length != m_length)) {
            fail(State::Malformed, QStringLiteral("a bad Content-Length"));
            return false;
        }
        m_length = length;
    } else if (name == "transfer-encoding") {
        if (value.toLower() != "chunked") {
            fail(State::Malformed, QStringLiteral("a transfer coding we do not read"));
            return false;
        }
        m_chunked = true;
    }
    return true;
}

void HttpReplyReader::headersDone()
{
    // An interim reply: the final one follows, its head counted on the same cap.
    if (m_status >= 100 && m_status < 200) {
        if (m_status == 101) {
            fail(State::Malformed, QStringLiteral("a protocol switch"));
            return;
        }
        m_status = 0;
        m_part = Part::StatusLine;
        return;
    }
    if (m_status == 204 || m_status == 304) {
        done();
        return;
    }
    if (m_chunked) {
        m_part = Part::ChunkSize;
    } else if (m_length >= 0) {
        if (m_length > m_maxBodyBytes) {
            fail(State::TooLarge, QStringLiteral("a declared length past the body's cap"));
            return;
        }
        m_remaining = m_length;
        m_part = Part::LengthBody;
        if (m_length == 0)
            done();
    } else {
        m_part = Part::BodyUntilClose;
    }
}

void HttpReplyReader::closed()
{
    if (finished())
        return;
    if (m_part == Part::BodyUntilClose)
        done();
    else
        fail(State::Malformed, QStringLiteral("the connection closed before the reply ended"));
}

} // namespace platform
