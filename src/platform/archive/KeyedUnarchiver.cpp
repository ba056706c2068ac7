#include "platform/archive/KeyedUnarchiver.h"

#include "platform/archive/ArchiveBox.h"
#include "platform/archive/ArchiveFormat.h"
#include "platform/archive/ArchiveParser.h"
#include "platform/archive/ValueCoding.h"

#include <QHash>
#include <limits>
#include <mutex>
#include <utility>

Q_LOGGING_CATEGORY(lcArchive, "quillmark.archive", QtWarningMsg)

namespace platform {

namespace fmt = archiveformat;

struct KeyedUnarchiver::Context {
    ArchiveLimits limits;
    ArchiveTree tree;
    bool valid = false;
    QString error;
    ArchiveFailure failure;
    QStringList allowedList;
    QSet<QString> allowed; // allowedList with the picture aliases added
    qint64 picturePixels = 0;
    std::vector<ArchiveCut> cuts;
    // Shared objects (pictures) once built, by where their fields are in the tree, null ones
    // included: every reference reads the one object, and one that failed is not tried again.
    QHash<quint64, ArchiveValue> sharedBuilt;
    // Pictures built, by their encoded bytes (see pictureReadBefore).
    QHash<QByteArray, std::vector<std::pair<std::optional<Size>, Image>>> picturesRead;
};

namespace {

QSet<QString> expandAllowed(const QStringList& list)
{
    QSet<QString> set(list.begin(), list.end());
    const QString nsImage = QStringLiteral("NSImage");
    const QString ciImage = QStringLiteral("CIImage");
    // The document reader allows "CIImage" only, yet fills hold pictures too: both tags
    // stand for the same picture type here, so allowing one allows the other.
    if (set.contains(nsImage) || set.contains(ciImage)) {
        set.insert(nsImage);
        set.insert(ciImage);
    }
    return set;
}

template <ArchivableValue T>
std::shared_ptr<const KeyedCoding> decodeBoxed(const KeyedUnarchiver& coder)
{
    std::optional<T> value = ValueCoding<T>::decode(coder);
    if (!value)
        return nullptr;
    return std::make_shared<const ArchiveBox<T>>(std::move(*value));
}

// One tag for points, sizes and rectangles, told apart by their keys.
std::shared_ptr<const KeyedCoding> decodeNSValue(const KeyedUnarchiver& coder)
{
    if (coder.containsValueForKey(QStringLiteral("rect")))
        return decodeBoxed<Rect>(coder);
    if (coder.containsValueForKey(QStringLiteral("x")))
        return decodeBoxed<Point>(coder);
    if (coder.containsValueForKey(QStringLiteral("width")))
        return decodeBoxed<Size>(coder);
    return nullptr;
}

class Registry {
public:
    Registry()
    {
        m_decoders.insert(QStringLiteral("NSColor"), decodeBoxed<Color>);
        m_decoders.insert(QStringLiteral("NSGradient"), decodeBoxed<Gradient>);
        m_decoders.insert(QStringLiteral("NSImage"), decodeBoxed<Image>);
        m_decoders.insert(QStringLiteral("CIImage"), decodeBoxed<Image>);
        m_decoders.insert(QStringLiteral("NSValue"), decodeNSValue);
    }

    void insert(const QString& className, KeyedUnarchiver::Decoder decoder)
    {
        std::lock_guard lock(m_mutex);
        m_decoders.insert(className, std::move(decoder));
    }

    // A copy, so that decoders may decode nested objects without holding the lock.
    KeyedUnarchiver::Decoder find(const QString& className) const
    {
        std::lock_guard lock(m_mutex);
        return m_decoders.value(className);
    }

private:
    mutable std::mutex m_mutex;
    QHash<QString, KeyedUnarchiver::Decoder> m_decoders;
};

Registry& registry()
{
    static Registry instance;
    return instance;
}

bool isInteger(ArchiveValue::Kind k)
{
    return k == ArchiveValue::Kind::Int32 || k == ArchiveValue::Kind::Int64;
}

bool isFloating(ArchiveValue::Kind k)
{
    return k == ArchiveValue::Kind::Float || k == ArchiveValue::Kind::Double;
}

} // namespace

void KeyedUnarchiver::registerClass(const QString& className, Decoder decoder)
{
    registry().insert(className, std::move(decoder));
}

KeyedUnarchiver::KeyedUnarchiver(
    const QByteArray& data, const QStringList& allowedClasses, const ArchiveLimits& limits)
    : m_context(std::make_shared<Context>())
    , m_fields(nullptr)
{
    m_context->limits = limits;
    m_context->picturePixels = limits.maxImagePixels;
    m_context->allowedList = allowedClasses;
    m_context->allowed = expandAllowed(allowedClasses);
    ArchiveParser parser(limits);
    m_context->valid = parser.parse(data, m_context->tree);
    if (m_context->valid)
        m_fields = m_context->tree.root();
    else
        m_context->error = parser.error();
    m_context->failure = parser.failure();
}

KeyedUnarchiver::KeyedUnarchiver(std::shared_ptr<Context> context, const ArchiveNode* fields)
    : m_context(std::move(context))
    , m_fields(fields)
{
}

KeyedUnarchiver::~KeyedUnarchiver() = default;

bool KeyedUnarchiver::isValid() const
{
    return m_context->valid;
}
QString KeyedUnarchiver::error() const
{
    return m_context->error;
}
ArchiveFailure KeyedUnarchiver::failure() const
{
    return m_context->failure;
}
const ArchiveLimits& KeyedUnarchiver::limits() const
{
    return m_context->limits;
}
QStringList KeyedUnarchiver::allowedClasses() const
{
    return m_context->allowedList;
}

const ArchiveNode* KeyedUnarchiver::nodeFor(const QString& key) const
{
    return m_fields ? m_context->tree.find(*m_fields, key) : nullptr;
}

qint64& KeyedUnarchiver::picturePixelBudget() const
{
    return m_context->picturePixels;
}

void KeyedUnarchiver::noteCut(ArchiveCut cut) const
{
    if (cut.leftOutWhole())
        qCWarning(lcArchive).noquote()
            << QStringLiteral("the %1 of a %2 could not be read and is left out")
                   .arg(cut.part, cut.thing);
    else
        qCWarning(lcArchive).noquote()
            << QStringLiteral("a %1 of %2 %3 keeps the first %4")
                   .arg(cut.thing, QString::number(cut.found), cut.unit, QString::number(cut.kept));
    m_context->cuts.push_back(std::move(cut));
}

const std::vector<ArchiveCut>& KeyedUnarchiver::cuts() const
{
    return m_context->cuts;
}

int KeyedUnarchiver::valuesNotRead() const
{
    return m_valuesNotRead;
}

Image KeyedUnarchiver::pictureReadBefore(
    const QByteArray& encoded, const std::optional<Size>& pointSize) const
{
    const auto found = m_context->picturesRead.constFind(encoded);
    if (found == m_context->picturesRead.cend())
        return {};
    for (const auto& [size, picture] : *found) {
        if (size == pointSize)
            return picture;
    }
    return {};
}

void KeyedUnarchiver::keepPictureRead(
    const QByteArray& encoded, const std::optional<Size>& pointSize, const Image& picture) const
{
    m_context->picturesRead[encoded].emplace_back(pointSize, picture);
}

bool KeyedUnarchiver::containsValueForKey(const QString& key) const
{
    return nodeFor(key) != nullptr;
}

int KeyedUnarchiver::entryCountForKey(const QString& key) const
{
    int count = 0;
    if (!m_fields)
        return count;
    for (quint32 i = 0; i < m_fields->count; ++i)
        count += m_context->tree.text(m_context->tree.key(*m_fields, i)) == key;
    return count;
}

QStringList KeyedUnarchiver::allKeys() const
{
    QStringList keys;
    if (!m_fields)
        return keys;
    QSet<QString> seen;
    for (quint32 i = 0; i < m_fields->count; ++i) {
        const QString key = m_context->tree.text(m_context->tree.key(*m_fields, i));
        if (!seen.contains(key)) {
            seen.insert(key);
            keys.append(key);
        }
    }
    return keys;
}

ArchiveValue KeyedUnarchiver::scalarFor(const QString& key) const
{
    const ArchiveNode* node = nodeFor(key);
    if (!node)
        return {};
    switch (node->kind) {
    case ArchiveNode::Kind::Array:
    case ArchiveNode::Kind::Map:
    case ArchiveNode::Kind::Object:
        // Not built just to be refused.
        qCDebug(lcArchive).nospace()
            << "key " << key << " holds a container or object; read as absent";
        return {};
    default:
        return build(*node);
    }
}

ArchiveValue KeyedUnarchiver::accepted(
    const QString& key, ArchiveValue value, bool ok, const char* what) const
{
    if (ok)
        return value;
    notRead(key, what);
    return {};
}

void KeyedUnarchiver::notRead(const QString& key, const char* what) const
{
    // A missing key or a null is absent, not unread. An object that could not be built reads as
    // a null value but was there.
    const ArchiveNode* node = nodeFor(key);
    if (!node || node->kind == ArchiveNode::Kind::Null)
        return;
    qCDebug(lcArchive).nospace() << "key " << key << " holds no " << what << "; read as absent";
    ++m_valuesNotRead;
}

qint32 KeyedUnarchiver::decodeInt32(const QString& key) const
{
    const ArchiveValue v = scalarFor(key);
    // A 64-bit integer is read when it fits.
    const bool fits = v.kind() == ArchiveValue::Kind::Int32
        || (v.kind() == ArchiveValue::Kind::Int64
            && v.toInt64() >= std::numeric_limits<qint32>::min()
            && v.toInt64() <= std::numeric_limits<qint32>::max());
    return accepted(key, v, fits, "32-bit integer").toInt32();
}

qint64 KeyedUnarchiver::decodeInt64(const QString& key) const
{
    const ArchiveValue v = scalarFor(key);
    return accepted(key, v, isInteger(v.kind()), "integer").toInt64();
}

float KeyedUnarchiver::decodeFloat(const QString& key) const
{
    const ArchiveValue v = scalarFor(key);
    return accepted(key, v, isFloating(v.kind()), "float").toFloat();
}

double KeyedUnarchiver::decodeDouble(const QString& key) const
{
    const ArchiveValue v = scalarFor(key);
    return accepted(key, v, isFloating(v.kind()), "double").toDouble();
}

bool KeyedUnarchiver::decodeBool(const QString& key) const
{
    const ArchiveValue v = scalarFor(key);
    return accepted(key, v, v.kind() == ArchiveValue::Kind::Bool, "bool").toBool();
}

Rect KeyedUnarchiver::decodeRect(const QString& key) const
{
    const ArchiveValue v = scalarFor(key);
    return accepted(key, v, v.kind() == ArchiveValue::Kind::Rect, "rectangle").toRect();
}

QByteArray KeyedUnarchiver::decodeBytes(const QString& key) const
{
    const ArchiveValue v = scalarFor(key);
    return accepted(key, v, v.kind() == ArchiveValue::Kind::Bytes, "bytes").toBytes();
}

QString KeyedUnarchiver::decodeString(const QString& key) const
{
    const ArchiveValue v = scalarFor(key);
    return accepted(key, v, v.kind() == ArchiveValue::Kind::String, "text").toString();
}

ArchiveValue KeyedUnarchiver::decodeValue(const QString& key) const
{
    const ArchiveNode* node = nodeFor(key);
    return node ? build(*node) : ArchiveValue();
}

ArchiveValue KeyedUnarchiver::decodeValue(
    const QString& key, const QStringList& allowedClasses) const
{
    // Swapped for the duration of this read, so that what it contains is built with it.
    struct Swap {
        Context& context;
        QSet<QString> saved;
        ~Swap() { context.allowed = std::move(saved); }
    } swap { *m_context, std::exchange(m_context->allowed, expandAllowed(allowedClasses)) };
    return decodeValue(key);
}

std::optional<ArchiveArray> KeyedUnarchiver::decodeArray(const QString& key) const
{
    ArchiveValue v = decodeValue(key);
    if (v.kind() != ArchiveValue::Kind::Array) {
        notRead(key, "array");
        return std::nullopt;
    }
    return v.toArray();
}

std::optional<ArchiveDictionary> KeyedUnarchiver::decodeDictionary(const QString& key) const
{
    ArchiveValue v = decodeValue(key);
    if (v.kind() != ArchiveValue::Kind::Dictionary) {
        notRead(key, "dictionary");
        return std::nullopt;
    }
    return v.toDictionary();
}

ArchiveValue KeyedUnarchiver::build(const ArchiveNode& node) const
{
    using K = ArchiveNode::Kind;
    const ArchiveTree& tree = m_context->tree;
    switch (node.kind) {
    case K::Invalid:
    case K::Null:
        return {};
    case K::Int32:
        return ArchiveValue::fromInt32(qint32(node.integer));
    case K::Int64:
        return ArchiveValue::fromInt64(node.integer);
    case K::Float:
        return ArchiveValue::fromFloat(float(node.real)); // exact: it was read as a float
    case K::Double:
        return ArchiveValue::fromDouble(node.real);
    case K::Bool:
        return ArchiveValue::fromBool(node.integer != 0);
    case K::Rect:
        return ArchiveValue::fromRect(tree.rect(node));
    case K::Bytes:
        return ArchiveValue::fromBytes(tree.bytes(node));
    case K::String:
        return ArchiveValue::fromString(tree.text(node));
    case K::Array: {
        ArchiveArray items;
        items.reserve(node.count);
        for (const ArchiveNode& item : tree.items(node))
            items.push_back(build(item));
        return ArchiveValue::fromArray(std::move(items));
    }
    case K::Map: {
        ArchiveDictionary dictionary;
        for (quint32 i = 0; i < node.count; ++i)
            dictionary.insert(tree.text(tree.key(node, i)), build(tree.value(node, i)));
        return ArchiveValue::fromDictionary(std::move(dictionary));
    }
    case K::Object:
        return buildObject(node);
    }
    return {};
}

ArchiveValue KeyedUnarchiver::buildObject(const ArchiveNode& node) const
{
    const QString className = m_context->tree.className(node);
    if (!m_context->allowed.contains(className)) {
        qCDebug(lcArchive).nospace()
            << "class " << className << " is not allowed here; read as absent";
        return {};
    }
    const Decoder decoder = registry().find(className);
    if (!decoder) {
        qCDebug(lcArchive).nospace() << "no decoder for class " << className << "; read as absent";
        return {};
    }
    if (node.shared) {
        if (const auto built = m_context->sharedBuilt.constFind(node.first);
            built != m_context->sharedBuilt.cend())
            return *built;
    }
    const KeyedUnarchiver coder(m_context, &node);
    std::shared_ptr<const KeyedCoding> object = decoder(coder);
    if (!object)
        qCDebug(lcArchive) << "an object of class" << className << "was unreadable";
    ArchiveValue value = ArchiveValue::fromObject(std::move(object));
    if (node.shared)
        m_context->sharedBuilt.insert(node.first, value);
    return value;
}

KeyedUnarchiver::Result KeyedUnarchiver::unarchive(
    const QByteArray& data, const QStringList& allowedClasses, const ArchiveLimits& limits)
{
    const KeyedUnarchiver coder(data, allowedClasses, limits);
    if (!coder.isValid())
        return { {}, coder.error(), coder.failure() };
    const QString rootKey = QString::fromLatin1(fmt::kRootKey);
    const ArchiveNode* node = coder.nodeFor(rootKey);
    if (!node)
        return { {}, QStringLiteral("the archive has no root"), {} };
    ArchiveValue root = coder.decodeValue(rootKey);
    if (root.isNull() && node->kind != ArchiveNode::Kind::Null) {
        const QString why = node->kind == ArchiveNode::Kind::Object
            ? QStringLiteral("the root object of class %1 could not be read")
                  .arg(coder.m_context->tree.className(*node))
            : QStringLiteral("the root value could not be read");
        return { {}, why, {} };
    }
    return { std::move(root), {}, {} };
}

} // namespace platform
