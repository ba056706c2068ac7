#include "platform/archive/KeyedArchiver.h"

#include "platform/archive/ArchiveFormat.h"

#include <QCborStreamWriter>

namespace platform {

namespace fmt = archiveformat;

struct KeyedArchiver::State {
    explicit State(bool secure)
        : requiresSecureCoding(secure)
    {
    }

    QByteArray data;
    QCborStreamWriter writer { &data };
    bool requiresSecureCoding;
    // The level of the coder that may write now: an object's coder is active while the
    // object encodes itself.
    int activeLevel = 1;
    int maxDepth = ArchiveLimits().maxDepth;
    bool finished = false;
    QString error;
};

KeyedArchiver::KeyedArchiver(bool requiresSecureCoding)
    : m_state(std::make_shared<State>(requiresSecureCoding))
    , m_level(1)
{
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

void KeyedArchiver::fail(const QString& why)
{
    qCDebug(lcArchive) << "archiving failed:" << why;
    if (m_state->error.isEmpty())
        m_state->error = why;
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
    m_state->writer.append(QStringView(key));
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
        m_state->writer.appendNull();
}

void KeyedArchiver::encodeKeyedObject(const QString& key, const KeyedCoding* object)
{
    if (beginKey(key))
        writeObject(object, m_level + 1);
}

void KeyedArchiver::writeValue(const ArchiveValue& value, int depth)
{
    QCborStreamWriter& w = m_state->writer;
    // The key has been written: whatever fails below still writes one value after it, so
    // that the bytes stay well formed (the archive as a whole is refused anyway).
    if (depth > m_state->maxDepth) {
        fail(QStringLiteral("values nested deeper than %1").arg(m_state->maxDepth));
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
        w.append(value.toBytes());
        break;
    case ArchiveValue::Kind::String:
        w.append(QStringView(value.toString()));
        break;
    case ArchiveValue::Kind::Array: {
        const ArchiveArray& items = value.toArray();
        w.startArray(quint64(items.size()));
        for (const ArchiveValue& item : items)
            writeValue(item, depth + 1);
        w.endArray();
        break;
    }
    case ArchiveValue::Kind::Dictionary: {
        const ArchiveDictionary& dictionary = value.toDictionary();
        w.startMap(quint64(dictionary.size()));
        for (const auto& [key, item] : dictionary) {
            w.append(QStringView(key));
            writeValue(item, depth + 1);
        }
        w.endMap();
        break;
    }
    case ArchiveValue::Kind::Object:
        writeObject(value.toObject().get(), depth);
        break;
    }
}

void KeyedArchiver::writeObject(const KeyedCoding* object, int depth)
{
    QCborStreamWriter& w = m_state->writer;
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
    if (depth > m_state->maxDepth) {
        fail(QStringLiteral("objects nested deeper than %1").arg(m_state->maxDepth));
        w.appendNull();
        return;
    }
    w.append(QCborTag(fmt::kTagObject));
    w.startArray(2);
    w.append(QStringView(className));
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
    if (hasError())
        return {};
    return m_state->data;
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
