#include "platform/archive/KeyedArchiver.h"

#include "platform/archive/ArchiveFormat.h"
#include "platform/concurrency/ThreadPool.h"

#include <QCborStreamWriter>
#include <QHash>
#include <QtEndian>

namespace platform {

namespace fmt = archiveformat;

struct KeyedArchiver::State {
    State(bool secure, const ArchiveLimits& archiveLimits)
        : requiresSecureCoding(secure)
        , limits(archiveLimits)
        , picturePixels(archiveLimits.maxImagePixels)
    {
    }

    QByteArray data;
    QCborStreamWriter writer { &data };
    bool requiresSecureCoding;
    // The level of the coder that may write now: an object's coder is active while the
    // object encodes itself.
    int activeLevel = 1;
    ArchiveLimits limits;
    qint64 values = 0;
    qint64 picturePixels;
    bool finished = false;
    QString error;
    ArchiveLimit exceeded = ArchiveLimit::None;

    // The deepest level written so far: a shared object's height is what writing it added.
    int deepest = 0;
    struct Shared {
        quint64 number;
        int height; // levels below the object itself
    };
    QHash<quint64, Shared> shared; // by identity
    // Bytes still to be made: each stands as a one-byte null at offset in data until then.
    struct Later {
        qsizetype offset;
        BytesProducer producer;
    };
    std::vector<Later> later;
    const std::atomic_bool* cancelled = nullptr;
};

KeyedArchiver::KeyedArchiver(bool requiresSecureCoding, const ArchiveLimits& limits)
    : m_state(std::make_shared<State>(requiresSecureCoding, limits))
    , m_level(1)
{
    countValues(1); // the top-level map
    QCborStreamWriter& w = m_state->writer;
    w.append(QCborTag(fmt::kTagSelfDescribe));
    w.append(QCborTag(fmt::kTagArchive));
    w.startMap();
}

KeyedArchiver::KeyedArchiver(std::shared_ptr<State> state, int level)
    : m_state(std::move(state))
    , m_level(level)
{
}

KeyedArchiver::~KeyedArchiver() = default;

void KeyedArchiver::fail(const QString& why, ArchiveLimit limit)
{
    qCDebug(lcArchive) << "archiving failed:" << why;
    if (m_state->error.isEmpty()) {
        m_state->error = why;
        m_state->exceeded = limit;
    }
}

void KeyedArchiver::failWithLimit(ArchiveLimit limit, const QString& why)
{
    fail(why, limit);
}

ArchiveLimit KeyedArchiver::exceededLimit() const
{
    return m_state->exceeded;
}

const ArchiveLimits& KeyedArchiver::limits() const
{
    return m_state->limits;
}

qint64& KeyedArchiver::picturePixelBudget() const
{
    return m_state->picturePixels;
}

void KeyedArchiver::countValues(qint64 count)
{
    m_state->values += count;
    if (m_state->values > m_state->limits.maxValues)
        fail(QStringLiteral("more than %1 values").arg(m_state->limits.maxValues),
            ArchiveLimit::Values);
}

void KeyedArchiver::checkContainerLength(std::size_t length)
{
    if (length > std::size_t(m_state->limits.maxContainerLength))
        fail(QStringLiteral("a container of %1 items").arg(length), ArchiveLimit::ContainerLength);
}

void KeyedArchiver::writeText(QStringView text)
{
    // Written as UTF-8: up to three bytes for each UTF-16 unit, counted exactly only when
    // that could matter.
    const qint64 limit = m_state->limits.maxStringSize;
    if (text.size() > limit / 3 && text.toUtf8().size() > limit)
        fail(QStringLiteral("a text of more than %1 bytes").arg(limit), ArchiveLimit::StringSize);
    m_state->writer.append(text);
}

void KeyedArchiver::writeBytes(const QByteArray& bytes)
{
    if (bytes.size() > m_state->limits.maxStringSize)
        fail(QStringLiteral("%1 bytes in one value").arg(bytes.size()), ArchiveLimit::StringSize);
    m_state->writer.append(bytes);
}

void KeyedArchiver::failWithError(const QString& why)
{
    fail(why);
}

bool KeyedArchiver::hasError() const
{
    return !m_state->error.isEmpty();
}
QString KeyedArchiver::error() const
{
    return m_state->error;
}

bool KeyedArchiver::beginKey(const QString& key)
{
    if (m_state->finished) {
        fail(QStringLiteral("key \"%1\" written after the archive was finished").arg(key));
        return false;
    }
    if (m_level != m_state->activeLevel) {
        fail(QStringLiteral("key \"%1\" written through a coder that is not the current one")
                 .arg(key));
        return false;
    }
    ++m_entries;
    checkContainerLength(std::size_t(m_entries));
    countValues(1);
    writeText(key);
    return true;
}

void KeyedArchiver::encodeInt32(const QString& key, qint32 value)
{
    if (beginKey(key))
        writeValue(ArchiveValue::fromInt32(value), m_level + 1);
}

void KeyedArchiver::encodeInt64(const QString& key, qint64 value)
{
    if (beginKey(key))
        writeValue(ArchiveValue::fromInt64(value), m_level + 1);
}

void KeyedArchiver::encodeFloat(const QString& key, float value)
{
    if (beginKey(key))
        writeValue(ArchiveValue::fromFloat(value), m_level + 1);
}

void KeyedArchiver::encodeDouble(const QString& key, double value)
{
    if (beginKey(key))
        writeValue(ArchiveValue::fromDouble(value), m_level + 1);
}

void KeyedArchiver::encodeBool(const QString& key, bool value)
{
    if (beginKey(key))
        writeValue(ArchiveValue::fromBool(value), m_level + 1);
}

void KeyedArchiver::encodeRect(const QString& key, const Rect& rect)
{
    if (beginKey(key))
        writeValue(ArchiveValue::fromRect(rect), m_level + 1);
}

void KeyedArchiver::encodeBytes(const QString& key, const QByteArray& bytes)
{
    if (beginKey(key))
        writeValue(ArchiveValue::fromBytes(bytes), m_level + 1);
}

void KeyedArchiver::encodeBytesLater(const QString& key, BytesProducer producer)
{
    if (!beginKey(key))
        return;
    countValues(1);
    reachDepth(m_level + 1);
    QByteArray& data = m_state->data;
    const qsizetype offset = data.size();
    m_state->writer.appendNull();
    Q_ASSERT(data.size() == offset + 1);
    m_state->later.push_back({ offset, std::move(producer) });
}

void KeyedArchiver::setCancellation(const std::atomic_bool* cancelled)
{
    m_state->cancelled = cancelled;
}

void KeyedArchiver::encodeString(const QString& key, const QString& text)
{
    if (beginKey(key))
        writeValue(ArchiveValue::fromString(text), m_level + 1);
}

void KeyedArchiver::encodeArray(const QString& key, const ArchiveArray& items)
{
    if (beginKey(key))
        writeValue(ArchiveValue::fromArray(items), m_level + 1);
}

void KeyedArchiver::encodeDictionary(const QString& key, const ArchiveDictionary& dictionary)
{
    if (beginKey(key))
        writeValue(ArchiveValue::fromDictionary(dictionary), m_level + 1);
}

void KeyedArchiver::encodeValue(const QString& key, const ArchiveValue& value)
{
    if (beginKey(key))
        writeValue(value, m_level + 1);
}

void KeyedArchiver::encodeNull(const QString& key)
{
    if (beginKey(key))
        writeValue(ArchiveValue(), m_level + 1);
}

void KeyedArchiver::encodeKeyedObject(const QString& key, const KeyedCoding* object)
{
    if (!beginKey(key))
        return;
    countValues(1);
    writeObjectOrReference(object, m_level + 1);
}

void KeyedArchiver::reachDepth(int depth)
{
    m_state->deepest = std::max(m_state->deepest, depth);
}

void KeyedArchiver::writeValue(const ArchiveValue& value, int depth)
{
    QCborStreamWriter& w = m_state->writer;
    countValues(1);
    reachDepth(depth);
    // The key has been written: whatever fails below still writes one value after it, so
    // that the bytes stay well formed (the archive as a whole is refused anyway).
    const int maxDepth = m_state->limits.maxDepth;
    if (depth > maxDepth) {
        fail(QStringLiteral("values nested deeper than %1").arg(maxDepth), ArchiveLimit::Depth);
        w.appendNull();
        return;
    }
    switch (value.kind()) {
    case ArchiveValue::Kind::Null:
        w.appendNull();
        break;
    case ArchiveValue::Kind::Int32:
        w.append(qint64(value.toInt32()));
        break;
    case ArchiveValue::Kind::Int64:
        w.append(QCborTag(fmt::kTagInt64));
        w.append(value.toInt64());
        break;
    case ArchiveValue::Kind::Float:
        w.append(value.toFloat());
        break;
    case ArchiveValue::Kind::Double:
        w.append(value.toDouble());
        break;
    case ArchiveValue::Kind::Bool:
        w.append(value.toBool());
        break;
    case ArchiveValue::Kind::Rect: {
        const Rect r = value.toRect();
        w.append(QCborTag(fmt::kTagRect));
        w.startArray(4);
        w.append(r.origin.x);
        w.append(r.origin.y);
        w.append(r.size.width);
        w.append(r.size.height);
        w.endArray();
        break;
    }
    case ArchiveValue::Kind::Bytes:
        writeBytes(value.toBytes());
        break;
    case ArchiveValue::Kind::String:
        writeText(value.toString());
        break;
    case ArchiveValue::Kind::Array: {
        const ArchiveArray& items = value.toArray();
        checkContainerLength(items.size());
        w.startArray(quint64(items.size()));
        for (const ArchiveValue& item : items)
            writeValue(item, depth + 1);
        w.endArray();
        break;
    }
    case ArchiveValue::Kind::Dictionary: {
        const ArchiveDictionary& dictionary = value.toDictionary();
        checkContainerLength(dictionary.size());
        w.startMap(quint64(dictionary.size()));
        for (const auto& [key, item] : dictionary) {
            countValues(1);
            writeText(key);
            writeValue(item, depth + 1);
        }
        w.endMap();
        break;
    }
    case ArchiveValue::Kind::Object:
        writeObjectOrReference(value.toObject().get(), depth);
        break;
    }
}

void KeyedArchiver::writeObjectOrReference(const KeyedCoding* object, int depth)
{
    const quint64 identity = object ? object->sharedIdentity() : 0;
    if (identity == 0 || !fmt::isShareableClass(object->archiveClassName())) {
        writeObject(object, depth);
        return;
    }
    QCborStreamWriter& w = m_state->writer;
    if (const auto found = m_state->shared.constFind(identity); found != m_state->shared.cend()) {
        // A reader takes the reference as deep as the object it stands for.
        const int reached = depth + found->height;
        if (reached > m_state->limits.maxDepth) {
            fail(QStringLiteral("objects nested deeper than %1").arg(m_state->limits.maxDepth),
                ArchiveLimit::Depth);
            w.appendNull();
            return;
        }
        reachDepth(reached);
        w.append(QCborTag(fmt::kTagReference));
        w.append(found->number);
        return;
    }
    const int outerDeepest = std::exchange(m_state->deepest, depth);
    w.append(QCborTag(fmt::kTagShared));
    writeObject(object, depth);
    const quint64 number = quint64(m_state->shared.size());
    m_state->shared.insert(identity, { number, m_state->deepest - depth });
    m_state->deepest = std::max(outerDeepest, m_state->deepest);
}

void KeyedArchiver::writeObject(const KeyedCoding* object, int depth)
{
    QCborStreamWriter& w = m_state->writer;
    reachDepth(depth);
    if (!object) {
        w.appendNull();
        return;
    }
    const QString className = object->archiveClassName();
    if (className.isEmpty()) {
        fail(QStringLiteral("an object without a class name"));
        w.appendNull();
        return;
    }
    if (m_state->requiresSecureCoding && !object->supportsSecureCoding()) {
        fail(QStringLiteral("class %1 does not support secure coding").arg(className));
        w.appendNull();
        return;
    }
    const int maxDepth = m_state->limits.maxDepth;
    if (depth > maxDepth) {
        fail(QStringLiteral("objects nested deeper than %1").arg(maxDepth), ArchiveLimit::Depth);
        w.appendNull();
        return;
    }
    w.append(QCborTag(fmt::kTagObject));
    w.startArray(2);
    countValues(1);
    writeText(className);
    w.startMap();
    {
        KeyedArchiver coder(m_state, depth);
        const int outer = m_state->activeLevel;
        m_state->activeLevel = depth;
        object->encodeWithCoder(coder);
        m_state->activeLevel = outer;
    }
    w.endMap();
    w.endArray();
}

QByteArray KeyedArchiver::finishEncoding()
{
    if (m_level != 1 || m_state->finished) {
        fail(QStringLiteral("finishEncoding called twice or on an object's coder"));
        return {};
    }
    m_state->writer.endMap();
    m_state->finished = true;
    if (!hasError())
        produceLaterBytes();
    if (m_state->data.size() > m_state->limits.maxInputSize)
        fail(
            QStringLiteral("an archive of %1 bytes").arg(m_state->data.size()), ArchiveLimit::Size);
    if (hasError())
        return {};
    return m_state->data;
}

namespace {

// The head of a CBOR byte string of this length (major type 2, RFC 8949 section 3).
QByteArray byteStringHead(quint64 length)
{
    char head[9];
    int size = 1;
    if (length < 24) {
        head[0] = char(0x40 + length);
    } else if (length <= 0xff) {
        head[0] = char(0x58);
        head[1] = char(length);
        size = 2;
    } else if (length <= 0xffff) {
        head[0] = char(0x59);
        qToBigEndian(quint16(length), head + 1);
        size = 3;
    } else if (length <= 0xffffffffu) {
        head[0] = char(0x5a);
        qToBigEndian(quint32(length), head + 1);
        size = 5;
    } else {
        head[0] = char(0x5b);
        qToBigEndian(length, head + 1);
        size = 9;
    }
    return QByteArray(head, size);
}

} // namespace

void KeyedArchiver::produceLaterBytes()
{
    std::vector<State::Later>& later = m_state->later;
    if (later.empty())
        return;
    const std::atomic_bool* cancelled = m_state->cancelled;
    std::vector<QByteArray> made(later.size());
    ThreadPool::parallelFor(int(later.size()), [&](int i) {
        if (!cancelled || !cancelled->load())
            made[size_t(i)] = later[size_t(i)].producer();
    });
    if (cancelled && cancelled->load()) {
        fail(QStringLiteral("cancelled"));
        return;
    }
    const QByteArray& data = m_state->data;
    qint64 total = data.size();
    for (const QByteArray& bytes : made) {
        if (bytes.isEmpty()) {
            fail(QStringLiteral("bytes to be written could not be made"));
            return;
        }
        if (bytes.size() > m_state->limits.maxStringSize) {
            fail(QStringLiteral("%1 bytes in one value").arg(bytes.size()),
                ArchiveLimit::StringSize);
            return;
        }
        // In place of the one-byte null that held the place.
        total += byteStringHead(quint64(bytes.size())).size() - 1 + bytes.size();
    }
    if (total > m_state->limits.maxInputSize) {
        fail(QStringLiteral("an archive of %1 bytes").arg(total), ArchiveLimit::Size);
        return;
    }
    QByteArray whole;
    whole.reserve(qsizetype(total));
    qsizetype from = 0;
    for (size_t i = 0; i < later.size(); ++i) {
        whole.append(QByteArrayView(data).sliced(from, later[i].offset - from));
        whole.append(byteStringHead(quint64(made[i].size())));
        whole.append(made[i]);
        from = later[i].offset + 1; // past the null that held the place
    }
    whole.append(QByteArrayView(data).sliced(from));
    m_state->data = std::move(whole);
    later.clear();
}

QByteArray KeyedArchiver::archivedData(
    const ArchiveValue& root, bool requiresSecureCoding, QString* error)
{
    KeyedArchiver archiver(requiresSecureCoding);
    archiver.encodeValue(QString::fromLatin1(fmt::kRootKey), root);
    QByteArray data = archiver.finishEncoding();
    if (error)
        *error = archiver.error();
    return data;
}

QByteArray KeyedArchiver::archivedData(
    const KeyedCoding& root, bool requiresSecureCoding, QString* error)
{
    KeyedArchiver archiver(requiresSecureCoding);
    archiver.encodeKeyedObject(QString::fromLatin1(fmt::kRootKey), &root);
    QByteArray data = archiver.finishEncoding();
    if (error)
        *error = archiver.error();
    return data;
}

} // namespace platform
