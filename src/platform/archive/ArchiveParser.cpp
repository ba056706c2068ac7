#include "platform/archive/ArchiveParser.h"

#include "platform/archive/ArchiveFormat.h"

#include <QCborStreamReader>
#include <limits>

namespace platform {

namespace fmt = archiveformat;

namespace {

// Containers grow as their items are read, never by what their header claims: a claimed
// length only guides the first reservation.
constexpr qint64 kMaxReserve = 1024;

} // namespace

const ArchiveNode* ArchiveNode::find(const QString& key) const
{
    for (size_t i = keys.size(); i-- > 0;) {
        if (keys[i] == key)
            return &items[i];
    }
    return nullptr;
}

ArchiveParser::ArchiveParser(const ArchiveLimits& limits)
    : m_limits(limits)
{
}

bool ArchiveParser::fail(QCborStreamReader& reader, const QString& why)
{
    if (m_error.isEmpty()) {
        m_error = QStringLiteral("%1 at byte %2").arg(why).arg(reader.currentOffset());
        qCDebug(lcArchive) << "unreadable archive:" << m_error;
    }
    return false;
}

bool ArchiveParser::parse(const QByteArray& data, ArchiveNode& root)
{
    m_error.clear();
    m_values = 0;
    m_size = data.size();
    QCborStreamReader reader(data);
    if (m_size > m_limits.maxInputSize)
        return fail(reader, QStringLiteral("archive of %1 bytes is too large").arg(m_size));
    for (const std::uint64_t tag : { fmt::kTagSelfDescribe, fmt::kTagArchive }) {
        if (!reader.isTag() || quint64(reader.toTag()) != tag || !reader.next())
            return fail(reader, QStringLiteral("not a keyed archive"));
    }
    if (!reader.isMap())
        return fail(reader, QStringLiteral("not a keyed archive"));
    root = ArchiveNode();
    root.kind = ArchiveNode::Kind::Map;
    if (!countValue() || !parseMap(reader, 1, root))
        return fail(reader, QStringLiteral("unreadable archive"));
    if (reader.currentOffset() != m_size)
        return fail(reader, QStringLiteral("data after the end of the archive"));
    return true;
}

bool ArchiveParser::countValue()
{
    return ++m_values <= m_limits.maxValues;
}

bool ArchiveParser::checkLength(QCborStreamReader& reader, qint64 minimumBytesPerItem)
{
    const quint64 length = reader.length();
    const quint64 remaining = quint64(m_size - reader.currentOffset());
    if (length > quint64(m_limits.maxContainerLength))
        return fail(reader, QStringLiteral("container of %1 items is too long").arg(length));
    if (length > remaining / quint64(minimumBytesPerItem))
        return fail(reader, QStringLiteral("container claims more items than the data holds"));
    return true;
}

bool ArchiveParser::parseValue(QCborStreamReader& reader, int depth, ArchiveNode& node)
{
    if (depth > m_limits.maxDepth)
        return fail(reader, QStringLiteral("values nested deeper than %1").arg(m_limits.maxDepth));
    if (!countValue())
        return fail(reader, QStringLiteral("more than %1 values").arg(m_limits.maxValues));
    using K = ArchiveNode::Kind;
    switch (reader.type()) {
    case QCborStreamReader::UnsignedInteger:
    case QCborStreamReader::NegativeInteger:
        return parseInteger(reader, node, false);
    case QCborStreamReader::ByteArray:
        node.kind = K::Bytes;
        return readBytes(reader, node.bytes);
    case QCborStreamReader::String:
        node.kind = K::String;
        return readText(reader, node.text);
    case QCborStreamReader::Array:
        node.kind = K::Array;
        return parseArray(reader, depth, node);
    case QCborStreamReader::Map:
        node.kind = K::Map;
        return parseMap(reader, depth, node);
    case QCborStreamReader::Tag:
        return parseTagged(reader, depth, node);
    case QCborStreamReader::SimpleType:
        if (reader.isBool()) {
            node.kind = K::Bool;
            node.integer = reader.toBool() ? 1 : 0;
        } else {
            node.kind = reader.isNull() ? K::Null : K::Invalid;
        }
        break;
    case QCborStreamReader::Float16:
        node.kind = K::Float;
        node.real = float(reader.toFloat16());
        break;
    case QCborStreamReader::Float:
        node.kind = K::Float;
        node.real = reader.toFloat();
        break;
    case QCborStreamReader::Double:
        node.kind = K::Double;
        node.real = reader.toDouble();
        break;
    case QCborStreamReader::Invalid:
        return fail(reader, reader.lastError().toString());
    }
    if (!reader.next())
        return fail(reader, reader.lastError().toString());
    return true;
}

bool ArchiveParser::parseInteger(QCborStreamReader& reader, ArchiveNode& node, bool wide)
{
    constexpr quint64 kMax64 = quint64(std::numeric_limits<qint64>::max());
    bool fits = true;
    qint64 value = 0;
    if (reader.isUnsignedInteger()) {
        const quint64 u = reader.toUnsignedInteger();
        fits = u <= kMax64;
        value = fits ? qint64(u) : 0;
    } else {
        // The item encodes -1 - n; n itself is recovered without overflow.
        const quint64 n = quint64(reader.toNegativeInteger()) - 1;
        fits = n <= kMax64;
        value = fits ? -qint64(n) - 1 : 0;
    }
    using K = ArchiveNode::Kind;
    const bool fits32 = value >= std::numeric_limits<qint32>::min()
        && value <= std::numeric_limits<qint32>::max();
    // An untagged integer is a 32-bit one; one that does not fit 32 bits (never written by
    // us) is read as the 64-bit number it is.
    node.kind = !fits ? K::Invalid : (wide || !fits32) ? K::Int64 : K::Int32;
    node.integer = value;
    if (!reader.next())
        return fail(reader, reader.lastError().toString());
    return true;
}

bool ArchiveParser::parseTagged(QCborStreamReader& reader, int depth, ArchiveNode& node)
{
    using K = ArchiveNode::Kind;
    const quint64 tag = quint64(reader.toTag());
    if (!reader.next())
        return fail(reader, reader.lastError().toString());

    if (tag == fmt::kTagInt64 && reader.isInteger())
        return parseInteger(reader, node, true);

    if (tag == fmt::kTagRect && reader.isArray() && reader.isLengthKnown()
        && reader.length() == 4) {
        if (!reader.enterContainer())
            return fail(reader, reader.lastError().toString());
        double v[4] = {};
        bool ok = true;
        for (double& c : v) {
            if (!reader.hasNext())
                return fail(reader, QStringLiteral("truncated rectangle"));
            if (reader.isDouble() || reader.isFloat()) {
                c = reader.isDouble() ? reader.toDouble() : double(reader.toFloat());
                if (!reader.next())
                    return fail(reader, reader.lastError().toString());
            } else {
                ArchiveNode skipped;
                if (!parseValue(reader, depth + 1, skipped))
                    return false;
                ok = false;
            }
        }
        if (!reader.leaveContainer())
            return fail(reader, reader.lastError().toString());
        node.kind = ok ? K::Rect : K::Invalid;
        node.rect = Rect(v[0], v[1], v[2], v[3]);
        return true;
    }

    if (tag == fmt::kTagObject && reader.isArray() && reader.isLengthKnown()
        && reader.length() == 2) {
        if (!reader.enterContainer())
            return fail(reader, reader.lastError().toString());
        if (!reader.hasNext() || !reader.isString())
            return fail(reader, QStringLiteral("object without a class name"));
        if (!readText(reader, node.text))
            return false;
        if (!reader.hasNext() || !reader.isMap())
            return fail(reader, QStringLiteral("object without fields"));
        node.kind = K::Object;
        if (!parseMap(reader, depth, node))
            return false;
        if (!reader.leaveContainer())
            return fail(reader, reader.lastError().toString());
        return true;
    }

    // A tag we do not write, or one of ours around the wrong content: read past it, and let
    // the value read as absent.
    qCDebug(lcArchive) << "unexpected CBOR tag" << tag << "read as an absent value";
    ArchiveNode skipped;
    if (!parseValue(reader, depth, skipped))
        return false;
    node = ArchiveNode();
    node.kind = K::Invalid;
    return true;
}

bool ArchiveParser::parseArray(QCborStreamReader& reader, int depth, ArchiveNode& node)
{
    if (reader.isLengthKnown()) {
        if (!checkLength(reader, 1))
            return false;
        node.items.reserve(size_t(std::min<quint64>(reader.length(), kMaxReserve)));
    }
    if (!reader.enterContainer())
        return fail(reader, reader.lastError().toString());
    while (reader.hasNext()) {
        if (qint64(node.items.size()) >= m_limits.maxContainerLength)
            return fail(reader, QStringLiteral("array too long"));
        node.items.emplace_back();
        if (!parseValue(reader, depth + 1, node.items.back()))
            return false;
    }
    if (reader.lastError() != QCborError::NoError || !reader.leaveContainer())
        return fail(reader, reader.lastError().toString());
    return true;
}

bool ArchiveParser::parseMap(QCborStreamReader& reader, int depth, ArchiveNode& node)
{
    if (reader.isLengthKnown()) {
        if (!checkLength(reader, 2))
            return false;
        const size_t reserve = size_t(std::min<quint64>(reader.length(), kMaxReserve));
        node.keys.reserve(reserve);
        node.items.reserve(reserve);
    }
    if (!reader.enterContainer())
        return fail(reader, reader.lastError().toString());
    while (reader.hasNext()) {
        if (qint64(node.items.size()) >= m_limits.maxContainerLength)
            return fail(reader, QStringLiteral("map too long"));
        QString key;
        bool textKey = reader.isString();
        if (textKey) {
            if (!readText(reader, key))
                return false;
        } else {
            ArchiveNode skipped;
            if (!parseValue(reader, depth + 1, skipped))
                return false;
        }
        if (!reader.hasNext())
            return fail(reader, QStringLiteral("map key without a value"));
        ArchiveNode value;
        if (!parseValue(reader, depth + 1, value))
            return false;
        if (!textKey) {
            qCDebug(lcArchive) << "map entry with a key that is not text skipped";
            continue;
        }
        node.keys.push_back(std::move(key));
        node.items.push_back(std::move(value));
    }
    if (reader.lastError() != QCborError::NoError || !reader.leaveContainer())
        return fail(reader, reader.lastError().toString());
    return true;
}

bool ArchiveParser::readText(QCborStreamReader& reader, QString& out)
{
    // Text is gathered as UTF-8 and converted once, so that chunk limits count bytes.
    QByteArray utf8;
    if (!readBytes(reader, utf8))
        return false;
    out = QString::fromUtf8(utf8);
    return true;
}

bool ArchiveParser::readBytes(QCborStreamReader& reader, QByteArray& out)
{
    const bool isText = reader.isString();
    if (reader.isLengthKnown()) {
        const quint64 length = reader.length();
        const quint64 remaining = quint64(m_size - reader.currentOffset());
        if (length > quint64(m_limits.maxStringSize) || length > remaining)
            return fail(reader, QStringLiteral("string of %1 bytes is too long").arg(length));
    }
    out.clear();
    for (;;) {
        const qsizetype chunk = reader.currentStringChunkSize();
        if (chunk < 0) {
            // -1 also answers at the end of the string; anything else is broken data.
            if (reader.lastError() != QCborError::NoError)
                return fail(reader, reader.lastError().toString());
        } else if (qint64(chunk) > m_limits.maxStringSize - out.size()
            || qint64(chunk) > m_size - reader.currentOffset()) {
            return fail(reader, QStringLiteral("string chunk of %1 bytes is too long").arg(chunk));
        }
        const qsizetype start = out.size();
        if (chunk > 0)
            out.resize(start + chunk);
        const auto r = reader.readStringChunk(out.data() + start, qMax<qsizetype>(chunk, 0));
        if (r.status == QCborStreamReader::Error)
            return fail(reader, reader.lastError().toString());
        if (r.status == QCborStreamReader::EndOfString) {
            out.resize(start);
            break;
        }
        out.resize(start + r.data);
    }
    if (isText && !QUtf8StringView(out).isValidUtf8())
        return fail(reader, QStringLiteral("text that is not UTF-8"));
    return true;
}

} // namespace platform
