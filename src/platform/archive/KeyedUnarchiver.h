#pragma once
// Reads a keyed archive written by KeyedArchiver.
//
//     KeyedUnarchiver coder(data, { "UNDODATA", "SZGradient", "NSColor", ... });
//     if (!coder.isValid()) ...              // not an archive, truncated, over a limit
//     const double version = coder.decodeDouble("Version");
//     const ArchiveValue box = coder.decodeValue("TextContainer");
//
// Reads never fail: a missing key, a value of the wrong kind (see ArchiveValue for the
// leniencies between integer widths and between float widths), an object whose class is not
// allowed or has no registered decoder, and an object whose decoder refuses it all read as 0,
// false, empty or absent, with a line in the "quillmark.archive" log. An invalid archive reads
// as empty. A value that was there but could not be read as asked is counted
// (valuesNotRead()), so that a decoder can tell it from one that was missing.
//
// Objects are built when read, by the decoder registered for their class tag; nested objects
// are built with the same allow-list. A shared object (a picture written once and referred to
// at its other uses) is built once, and every reference to it reads that one object. Plain arrays,
// dictionaries, numbers, text and bytes are kinds of the archive, not objects: they need no entry
// in the allow-list (naming "NSArray", "NSMutableArray", "NSDictionary", "NSData" or "NSString"
// there is harmless). "NSImage" and "CIImage" allow each other: both are pictures.
//
// A KeyedUnarchiver is used on one thread at a time.
#include "platform/archive/ArchiveLimits.h"
#include "platform/archive/ArchiveValue.h"
#include "platform/archive/KeyedCoding.h"
#include "platform/graphics/Image.h"

#include <QByteArray>
#include <QSet>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace platform {

struct ArchiveNode;

// A value a decoder kept only in part because it held more than a reader keeps (a gradient's
// stops past Gradient::kMaxStops, ...): what held it and what it counts, as a person is told
// ("gradient", "stops"), and how many there were and were kept. Or a value a decoder could not
// read at all (of a wrong kind: a number where a text belongs) and left out whole: what held it
// and what the value was ("box", "frame"), with no unit and nothing found or kept.
struct ArchiveCut {
    QString thing;
    QString unit;
    qint64 found = 0;
    qint64 kept = 0;
    QString part {}; // the value left out whole; empty for one kept in part
    bool leftOutWhole() const { return !part.isEmpty(); }
};

class KeyedUnarchiver {
public:
    // Builds an object from its coder; null when the object's keys make no sense (which reads
    // as absent).
    using Decoder = std::function<std::shared_ptr<const KeyedCoding>(const KeyedUnarchiver&)>;

    // The root of a whole archive (see KeyedArchiver::archivedData) or why there is none.
    struct Result {
        ArchiveValue root;
        QString error; // empty on success
        ArchiveFailure failure; // Kind::None unless the bytes were unreadable
        bool ok() const { return error.isEmpty(); }
    };

    KeyedUnarchiver(const QByteArray& data, const QStringList& allowedClasses,
        const ArchiveLimits& limits = {});
    ~KeyedUnarchiver();

    bool isValid() const;
    // Why the archive is invalid: error() for the log, failure() to tell a person.
    QString error() const;
    ArchiveFailure failure() const;
    const ArchiveLimits& limits() const;
    QStringList allowedClasses() const;

    // The pixels that pictures decoded from this archive may still have: every picture read
    // from it, at any depth and by any decoder, draws on this one budget, which starts at
    // ArchiveLimits::maxImagePixels.
    qint64& picturePixelBudget() const;
    // Decoders at any depth note here what they kept only in part, so that the reader's caller
    // can tell the person rather than lose it silently; cuts() lists them in the order noted.
    void noteCut(ArchiveCut cut) const;
    const std::vector<ArchiveCut>& cuts() const;
    // How many values this coder's typed reads (decodeInt32 ... decodeObject, decodeArray,
    // decodeDictionary) found under their key but could not read as asked: of another kind, or
    // an object that could not be built. A missing key or a null is no such value; nor is
    // anything read by the coders of nested objects. A decoder compares the count before and
    // after a read to know whether it lost a value.
    int valuesNotRead() const;

    // A picture this read has already built from the same encoded bytes and point size (none:
    // the size its pixels give), or a null image; and the note of one built.
    Image pictureReadBefore(const QByteArray& encoded, const std::optional<Size>& pointSize) const;
    void keepPictureRead(const QByteArray& encoded, const std::optional<Size>& pointSize,
        const Image& picture) const;

    bool containsValueForKey(const QString& key) const;
    // How many entries the archive holds under key: a key written twice is read as its last
    // value, which a caller may want to doubt.
    int entryCountForKey(const QString& key) const;
    // The keys of this level, in the order written.
    QStringList allKeys() const;

    qint32 decodeInt32(const QString& key) const;
    qint64 decodeInt64(const QString& key) const;
    float decodeFloat(const QString& key) const;
    double decodeDouble(const QString& key) const;
    bool decodeBool(const QString& key) const;
    Rect decodeRect(const QString& key) const;
    QByteArray decodeBytes(const QString& key) const;
    QString decodeString(const QString& key) const;

    // The value at key, objects built (at any depth inside arrays and dictionaries). Objects
    // that cannot be built read as null values, also inside arrays and dictionaries.
    ArchiveValue decodeValue(const QString& key) const;
    // The same with another allow-list for this one read (and what it contains).
    ArchiveValue decodeValue(const QString& key, const QStringList& allowedClasses) const;
    std::optional<ArchiveArray> decodeArray(const QString& key) const;
    std::optional<ArchiveDictionary> decodeDictionary(const QString& key) const;

    // An object of type T at key: a KeyedCoding subclass (copied) or a value type of
    // ValueCoding.h. Nothing when the key is missing, null, or holds anything else.
    template <class T> std::optional<T> decodeObject(const QString& key) const
    {
        std::optional<T> object = decodeValue(key).objectValue<T>();
        if (!object)
            notRead(key, "object of the kind asked");
        return object;
    }
    // The object shared, for KeyedCoding subclasses.
    template <class T>
    requires std::is_base_of_v<KeyedCoding, T> std::shared_ptr<const T> decodeObjectPointer(
        const QString& key)
    const
    {
        std::shared_ptr<const T> object = decodeValue(key).objectPointer<T>();
        if (!object)
            notRead(key, "object of the kind asked");
        return object;
    }

    // Registers (or replaces) the decoder of a class tag for the whole process. The tags of
    // ValueCoding.h are registered from the start.
    static void registerClass(const QString& className, Decoder decoder);

    // Reads the root value of an archive made by KeyedArchiver::archivedData.
    static Result unarchive(const QByteArray& data, const QStringList& allowedClasses,
        const ArchiveLimits& limits = {});

private:
    struct Context;
    KeyedUnarchiver(std::shared_ptr<Context> context, const ArchiveNode* fields);

    const ArchiveNode* nodeFor(const QString& key) const;
    ArchiveValue scalarFor(const QString& key) const;
    // The value if its kind is accepted; otherwise absent, and a value that was there (not
    // null) is logged and counted in valuesNotRead().
    ArchiveValue accepted(const QString& key, ArchiveValue value, bool ok, const char* what) const;
    void notRead(const QString& key, const char* what) const;
    ArchiveValue build(const ArchiveNode& node) const;
    ArchiveValue buildObject(const ArchiveNode& node) const;

    std::shared_ptr<Context> m_context;
    const ArchiveNode* m_fields; // the map this coder reads; null for an invalid archive
    mutable int m_valuesNotRead = 0;
};

} // namespace platform
