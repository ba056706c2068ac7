#include "platform/archive/ArchiveParser.h"

#include "platform/archive/ArchiveFormat.h"

#include <QCborStreamReader>
#include <algorithm>
#include <limits>
#include <utility>

namespace platform {

namespace fmt = archiveformat;

namespace {

// Strings from this length on keep a buffer of their own: a picture's bytes are then shared
// by the value built from them instead of copied.
constexpr qint64 kOwnBufferFrom = 256;

} // namespace

const ArchiveNode* ArchiveTree::root() const
{
    return m_nodes.empty() ? nullptr : &m_nodes[size_t(m_root)];
}

std::span<const ArchiveNode> ArchiveTree::items(const ArchiveNode& array) const
{
    if (array.kind != ArchiveNode::Kind::Array || array.count == 0)
        return {};
    return { m_nodes.data() + array.first, array.count };
}

quint64 ArchiveTree::firstEntry(const ArchiveNode& map) const
{
    // An object's entries follow its class name.
    return map.first + (map.kind == ArchiveNode::Kind::Object ? 1 : 0);
}

const ArchiveNode& ArchiveTree::key(const ArchiveNode& map, quint32 i) const
{
    return m_nodes[size_t(firstEntry(map) + 2 * quint64(i))];
}

const ArchiveNode& ArchiveTree::value(const ArchiveNode& map, quint32 i) const
{
    return m_nodes[size_t(firstEntry(map) + 2 * quint64(i) + 1)];
}

const ArchiveNode* ArchiveTree::find(const ArchiveNode& map, const QString& key) const
{
    if (map.kind != ArchiveNode::Kind::Map && map.kind != ArchiveNode::Kind::Object)
        return nullptr;
    for (quint32 i = map.count; i-- > 0;) {
        const QByteArrayView k = view(this->key(map, i));
        if (QAnyStringView::equal(QUtf8StringView(k.data(), k.size()), key))
            return &value(map, i);
    }
    return nullptr;
}

QString ArchiveTree::className(const ArchiveNode& object) const
{
    return object.kind == ArchiveNode::Kind::Object ? text(m_nodes[size_t(object.first)])
                                                    : QString();
}

QByteArrayView ArchiveTree::view(const ArchiveNode& node) const
{
    if (node.kind != ArchiveNode::Kind::Bytes && node.kind != ArchiveNode::Kind::String)
        return {};
    if (node.ownBuffer)
        return m_ownBuffers[size_t(node.first)];
    return QByteArrayView(m_smallStrings).sliced(qsizetype(node.first), node.count);
}

QByteArray ArchiveTree::bytes(const ArchiveNode& node) const
{
    if (node.kind == ArchiveNode::Kind::Bytes && node.ownBuffer)
        return m_ownBuffers[size_t(node.first)]; // shared, not copied
    return view(node).toByteArray();
}

QString ArchiveTree::text(const ArchiveNode& node) const
{
    const QByteArrayView v = view(node);
    return QString::fromUtf8(v.data(), v.size());
}

Rect ArchiveTree::rect(const ArchiveNode& node) const
{
    return node.kind == ArchiveNode::Kind::Rect ? m_rects[size_t(node.first)] : Rect();
}

ArchiveParser::ArchiveParser(const ArchiveLimits& limits)
    : m_limits(limits)
{
}

bool ArchiveParser::fail(
    QCborStreamReader& reader, const QString& why, ArchiveFailure::Kind kind, ArchiveLimit limit)
{
    using Kind = ArchiveFailure::Kind;
    if (!m_error.isEmpty())
        return false;
    m_error = QStringLiteral("%1 at byte %2").arg(why).arg(reader.currentOffset());
    qCDebug(lcArchive) << "unreadable archive:" << m_error;
    const bool atEnd = reader.lastError() == QCborError::EndOfFile && m_size > 0;
    if (atEnd && (kind == Kind::Unreadable || kind == Kind::NotAnArchive))
        kind = Kind::CutShort;
    m_failure = { kind, reader.currentOffset(), limit };
    return false;
}

bool ArchiveParser::overLimit(QCborStreamReader& reader, const QString& why, ArchiveLimit limit)
{
    return fail(reader, why, ArchiveFailure::Kind::OverLimit, limit);
}

bool ArchiveParser::cutShort(QCborStreamReader& reader, const QString& why)
{
    return fail(reader, why, ArchiveFailure::Kind::CutShort);
}

bool ArchiveParser::parse(const QByteArray& data, ArchiveTree& tree)
{
    m_error.clear();
    m_failure = {};
    m_values = 0;
    m_size = data.size();
    m_pending.clear();
    m_shared.clear();
    m_deepest = 0;
    tree = ArchiveTree();
    m_tree = &tree;
    QCborStreamReader reader(data);
    const bool ok = [&] {
        if (m_size > m_limits.maxInputSize)
            return overLimit(reader, QStringLiteral("archive of %1 bytes is too large").arg(m_size),
                ArchiveLimit::Size);
        constexpr auto kNotAnArchive = ArchiveFailure::Kind::NotAnArchive;
        for (const std::uint64_t tag : { fmt::kTagSelfDescribe, fmt::kTagArchive }) {
            if (!reader.isTag() || quint64(reader.toTag()) != tag || !reader.next())
                return fail(reader, QStringLiteral("not a keyed archive"), kNotAnArchive);
        }
        if (!reader.isMap())
            return fail(reader, QStringLiteral("not a keyed archive"), kNotAnArchive);
        ArchiveNode root;
        root.kind = ArchiveNode::Kind::Map;
        if (!countValue() || !parseMap(reader, 1, root, 0))
            return fail(reader, QStringLiteral("unreadable archive"));
        if (reader.currentOffset() != m_size)
            return fail(reader, QStringLiteral("data after the end of the archive"));
        tree.m_root = tree.m_nodes.size();
        tree.m_nodes.push_back(root);
        return true;
    }();
    m_pending = {};
    m_shared = {};
    m_tree = nullptr;
    if (!ok)
        tree = ArchiveTree(); // nothing half-read is kept
    return ok;
}

bool ArchiveParser::countValue()
{
    return ++m_values <= m_limits.maxValues;
}

quint64 ArchiveParser::commit(size_t from)
{
    std::vector<ArchiveNode>& nodes = m_tree->m_nodes;
    const quint64 first = nodes.size();
    nodes.insert(nodes.end(), m_pending.begin() + qsizetype(from), m_pending.end());
    m_pending.resize(from);
    return first;
}

bool ArchiveParser::checkLength(QCborStreamReader& reader, qint64 minimumBytesPerItem)
{
    const quint64 length = reader.length();
    const quint64 remaining = quint64(m_size - reader.currentOffset());
    if (length > quint64(m_limits.maxContainerLength))
        return overLimit(reader, QStringLiteral("container of %1 items is too long").arg(length),
            ArchiveLimit::ContainerLength);
    if (length > remaining / quint64(minimumBytesPerItem))
        return cutShort(reader, QStringLiteral("container claims more items than the data holds"));
    return true;
}

bool ArchiveParser::parseValue(QCborStreamReader& reader, int depth)
{
    if (depth > m_limits.maxDepth)
        return overLimit(reader,
            QStringLiteral("values nested deeper than %1").arg(m_limits.maxDepth),
            ArchiveLimit::Depth);
    if (!countValue())
        return overLimit(reader, QStringLiteral("more than %1 values").arg(m_limits.maxValues),
            ArchiveLimit::Values);
    m_deepest = std::max(m_deepest, depth);
    using K = ArchiveNode::Kind;
    ArchiveNode node;
    bool ok = true;
    bool advance = true; // whether the item still has to be stepped over
    switch (reader.type()) {
    case QCborStreamReader::UnsignedInteger:
    case QCborStreamReader::NegativeInteger:
        ok = parseInteger(reader, node, false);
        advance = false;
        break;
    case QCborStreamReader::ByteArray:
    case QCborStreamReader::String:
        ok = readString(reader, node);
        advance = false;
        break;
    case QCborStreamReader::Array:
        ok = parseArray(reader, depth, node);
        advance = false;
        break;
    case QCborStreamReader::Map:
        node.kind = K::Map;
        ok = parseMap(reader, depth, node, m_pending.size());
        advance = false;
        break;
    case QCborStreamReader::Tag:
        ok = parseTagged(reader, depth, node);
        advance = false;
        break;
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
    if (!ok)
        return false;
    if (advance && !reader.next())
        return fail(reader, reader.lastError().toString());
    m_pending.push_back(node);
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
                if (!parseValue(reader, depth + 1))
                    return false;
                m_pending.pop_back();
                ok = false;
            }
        }
        if (!reader.leaveContainer())
            return fail(reader, reader.lastError().toString());
        node.kind = ok ? K::Rect : K::Invalid;
        if (ok) {
            node.first = m_tree->m_rects.size();
            m_tree->m_rects.emplace_back(v[0], v[1], v[2], v[3]);
        }
        return true;
    }

    if (tag == fmt::kTagObject && reader.isArray() && reader.isLengthKnown()
        && reader.length() == 2) {
        if (!reader.enterContainer())
            return fail(reader, reader.lastError().toString());
        if (!reader.hasNext() || !reader.isString())
            return fail(reader, QStringLiteral("object without a class name"));
        const size_t from = m_pending.size();
        ArchiveNode className;
        if (!countValue())
            return overLimit(reader, QStringLiteral("more than %1 values").arg(m_limits.maxValues),
                ArchiveLimit::Values);
        if (!readString(reader, className))
            return false;
        m_pending.push_back(className);
        if (!reader.hasNext() || !reader.isMap())
            return fail(reader, QStringLiteral("object without fields"));
        node.kind = K::Object;
        if (!parseMap(reader, depth, node, from))
            return false;
        if (!reader.leaveContainer())
            return fail(reader, reader.lastError().toString());
        return true;
    }

    if (tag == fmt::kTagShared && reader.isTag() && quint64(reader.toTag()) == fmt::kTagObject)
        return parseShared(reader, depth, node);
    if (tag == fmt::kTagReference && reader.isUnsignedInteger())
        return parseReference(reader, depth, node);

    // A tag we do not write, or one of ours around the wrong content: read past it, and let
    // the value read as absent. The tag is a level of nesting like any other, or a chain of
    // one-byte tags would recurse without bound.
    qCDebug(lcArchive) << "unexpected CBOR tag" << tag << "read as an absent value";
    if (!parseValue(reader, depth + 1))
        return false;
    m_pending.pop_back();
    node = ArchiveNode();
    return true;
}

bool ArchiveParser::parseShared(QCborStreamReader& reader, int depth, ArchiveNode& node)
{
    const int outerDeepest = std::exchange(m_deepest, depth);
    if (!parseTagged(reader, depth, node))
        return false;
    const int height = m_deepest - depth;
    m_deepest = std::max(outerDeepest, m_deepest);
    if (node.kind != ArchiveNode::Kind::Object || !fmt::isShareableClass(m_tree->className(node))) {
        qCDebug(lcArchive) << "a shared value that is no picture read as absent";
        node = ArchiveNode();
        return true;
    }
    node.shared = true;
    m_shared.push_back({ node, height });
    return true;
}

bool ArchiveParser::parseReference(QCborStreamReader& reader, int depth, ArchiveNode& node)
{
    const quint64 number = reader.toUnsignedInteger();
    if (!reader.next())
        return fail(reader, reader.lastError().toString());
    node = ArchiveNode(); // absent unless it stands for an object written before
    if (number >= quint64(m_shared.size())) {
        qCDebug(lcArchive) << "a reference to shared object" << number << "of" << m_shared.size()
                           << "read as absent";
        return true;
    }
    const Shared& target = m_shared[size_t(number)];
    // Read through the reference, the object's fields lie as deep as they would in its place.
    if (depth + target.height > m_limits.maxDepth) {
        qCDebug(lcArchive) << "a reference nested deeper than" << m_limits.maxDepth
                           << "read as absent";
        return true;
    }
    m_deepest = std::max(m_deepest, depth + target.height);
    node = target.node;
    return true;
}

bool ArchiveParser::parseArray(QCborStreamReader& reader, int depth, ArchiveNode& node)
{
    if (reader.isLengthKnown() && !checkLength(reader, 1))
        return false;
    if (!reader.enterContainer())
        return fail(reader, reader.lastError().toString());
    const size_t from = m_pending.size();
    qint64 count = 0;
    while (reader.hasNext()) {
        if (count >= m_limits.maxContainerLength)
            return overLimit(
                reader, QStringLiteral("array too long"), ArchiveLimit::ContainerLength);
        if (!parseValue(reader, depth + 1))
            return false;
        ++count;
    }
    if (reader.lastError() != QCborError::NoError || !reader.leaveContainer())
        return fail(reader, reader.lastError().toString());
    node.kind = ArchiveNode::Kind::Array;
    node.count = quint32(count);
    node.first = commit(from);
    return true;
}

bool ArchiveParser::parseMap(QCborStreamReader& reader, int depth, ArchiveNode& node, size_t from)
{
    if (reader.isLengthKnown() && !checkLength(reader, 2))
        return false;
    if (!reader.enterContainer())
        return fail(reader, reader.lastError().toString());
    qint64 count = 0;
    while (reader.hasNext()) {
        if (count >= m_limits.maxContainerLength)
            return overLimit(reader, QStringLiteral("map too long"), ArchiveLimit::ContainerLength);
        // A key costs as much as a value once read, and counts as one.
        const bool textKey = reader.isString();
        if (textKey) {
            if (!countValue())
                return overLimit(reader,
                    QStringLiteral("more than %1 values").arg(m_limits.maxValues),
                    ArchiveLimit::Values);
            ArchiveNode key;
            if (!readString(reader, key))
                return false;
            m_pending.push_back(key);
        } else if (!parseValue(reader, depth + 1)) {
            return false;
        }
        if (!reader.hasNext())
            return fail(reader, QStringLiteral("map key without a value"));
        if (!parseValue(reader, depth + 1))
            return false;
        if (!textKey) {
            qCDebug(lcArchive) << "map entry with a key that is not text skipped";
            m_pending.resize(m_pending.size() - 2);
            continue;
        }
        ++count;
    }
    if (reader.lastError() != QCborError::NoError || !reader.leaveContainer())
        return fail(reader, reader.lastError().toString());
    node.count = quint32(count);
    node.first = commit(from);
    return true;
}

bool ArchiveParser::readString(QCborStreamReader& reader, ArchiveNode& node)
{
    const bool isText = reader.isString();
    node.kind = isText ? ArchiveNode::Kind::String : ArchiveNode::Kind::Bytes;
    // Small strings of known length go straight to the shared buffer; the rest are read on
    // their own, and stay so when large.
    const bool small = reader.isLengthKnown() && reader.length() < quint64(kOwnBufferFrom);
    QByteArray own;
    QByteArray& out = small ? m_tree->m_smallStrings : own;
    const qsizetype start = out.size();
    if (!readBytes(reader, out))
        return false;
    const qsizetype length = out.size() - start;
    if (length > qsizetype(std::numeric_limits<quint32>::max()))
        return overLimit(reader, QStringLiteral("string of %1 bytes is too long").arg(length),
            ArchiveLimit::StringSize);
    if (isText && !QUtf8StringView(out.constData() + start, length).isValidUtf8())
        return fail(reader, QStringLiteral("text that is not UTF-8"));
    node.count = quint32(length);
    if (length >= kOwnBufferFrom) {
        node.ownBuffer = true;
        node.first = m_tree->m_ownBuffers.size();
        m_tree->m_ownBuffers.push_back(std::move(out));
    } else if (small) {
        node.first = quint64(start);
    } else {
        node.first = quint64(m_tree->m_smallStrings.size());
        m_tree->m_smallStrings.append(own);
    }
    return true;
}

bool ArchiveParser::readBytes(QCborStreamReader& reader, QByteArray& out)
{
    const qsizetype start = out.size();
    if (reader.isLengthKnown()) {
        const quint64 length = reader.length();
        const quint64 remaining = quint64(m_size - reader.currentOffset());
        if (length > quint64(m_limits.maxStringSize))
            return overLimit(reader, QStringLiteral("string of %1 bytes is too long").arg(length),
                ArchiveLimit::StringSize);
        if (length > remaining)
            return cutShort(reader, QStringLiteral("string of %1 bytes is cut short").arg(length));
    }
    for (;;) {
        const qsizetype chunk = reader.currentStringChunkSize();
        if (chunk < 0) {
            // -1 also answers at the end of the string; anything else is broken data.
            if (reader.lastError() != QCborError::NoError)
                return fail(reader, reader.lastError().toString());
        } else if (qint64(chunk) > m_limits.maxStringSize - (out.size() - start)) {
            return overLimit(reader,
                QStringLiteral("string chunk of %1 bytes is too long").arg(chunk),
                ArchiveLimit::StringSize);
        } else if (qint64(chunk) > m_size - reader.currentOffset()) {
            return cutShort(
                reader, QStringLiteral("string chunk of %1 bytes is cut short").arg(chunk));
        }
        const qsizetype at = out.size();
        if (chunk > 0)
            out.resize(at + chunk);
        const auto r = reader.readStringChunk(out.data() + at, qMax<qsizetype>(chunk, 0));
        if (r.status == QCborStreamReader::Error)
            return fail(reader, reader.lastError().toString());
        if (r.status == QCborStreamReader::EndOfString) {
            out.resize(at);
            break;
        }
        out.resize(at + r.data);
    }
    return true;
}

} // namespace platform
