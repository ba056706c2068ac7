#pragma once
// Writes a keyed archive (the byte layout is in ArchiveFormat.h). Values are written by key, in
// the order of the calls; writing a key again replaces its value for the reader.
//
//     KeyedArchiver archiver;                      // requires secure coding
//     archiver.encodeDouble("Version", 1.2);
//     archiver.encodeBytes("ImageData", bytes);
//     archiver.encodeObject("TextContainer", snapshot);
//     const QByteArray data = archiver.finishEncoding(); // empty on failure, see error()
//
// Objects are written as they are passed: encodeWithCoder() runs at once, with a coder for the
// object's own keys; an object with a shared identity (a picture) is written at its first use
// only, and each later use refers to it. Only the coder an object was handed may be used while it
// encodes itself; calls on an outer coder meanwhile are refused as errors.
//
// The archive keeps to its ArchiveLimits exactly as KeyedUnarchiver counts them (values, entries
// of a container, bytes of a string, nesting, pictures, the whole size): an archive that a reader
// with the same limits would refuse is not written, and exceededLimit() says which bound it met.
#include "platform/archive/ArchiveLimits.h"
#include "platform/archive/ArchiveValue.h"
#include "platform/archive/KeyedCoding.h"

#include <QByteArray>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <type_traits>

namespace platform {

class KeyedArchiver {
public:
    // An archiver requiring secure coding refuses objects whose supportsSecureCoding() is
    // false: archiving fails.
    explicit KeyedArchiver(bool requiresSecureCoding = true, const ArchiveLimits& limits = {});
    ~KeyedArchiver();
    KeyedArchiver(const KeyedArchiver&) = delete;
    KeyedArchiver& operator=(const KeyedArchiver&) = delete;

    void encodeInt32(const QString& key, qint32 value);
    void encodeInt64(const QString& key, qint64 value);
    // Callers holding a double narrow it themselves: what is written is the float.
    void encodeFloat(const QString& key, float value);
    void encodeDouble(const QString& key, double value);
    void encodeBool(const QString& key, bool value);
    // The rectangle at full double precision.
    void encodeRect(const QString& key, const Rect& rect);
    void encodeBytes(const QString& key, const QByteArray& bytes);
    // Bytes made when the archive is finished: every producer given runs then, on the worker
    // threads together with the others, so that costly encodings (pictures) run side by side
    // and only once everything else has been written and found within the limits. A producer
    // may run on any thread; it answers empty when it fails, which fails the archive.
    using BytesProducer = std::function<QByteArray()>;
    void encodeBytesLater(const QString& key, BytesProducer producer);
    void encodeString(const QString& key, const QString& text);
    void encodeArray(const QString& key, const ArchiveArray& items);
    void encodeDictionary(const QString& key, const ArchiveDictionary& dictionary);
    void encodeValue(const QString& key, const ArchiveValue& value);
    // A null object (what an absent object reads back as).
    void encodeNull(const QString& key);
    // An object of any KeyedCoding class; null writes a null object.
    void encodeKeyedObject(const QString& key, const KeyedCoding* object);

    // An object: a KeyedCoding (by reference, pointer or shared pointer) or one of the value
    // types of ValueCoding.h (Color, Gradient, Image, Point, Size, Rect as a value object).
    // Null pointers, empty optionals and null images write a null object.
    template <class T> void encodeObject(const QString& key, const T& object);
    void encodeObject(const QString& key, std::nullptr_t) { encodeNull(key); }

    // Ends the archive and answers its bytes; empty when anything failed (see error()).
    // Only the archiver made by the caller can finish; it can finish once.
    QByteArray finishEncoding();
    // When *cancelled becomes true, finishEncoding() makes no more bytes (see encodeBytesLater)
    // and fails. The flag must outlive the archiver.
    void setCancellation(const std::atomic_bool* cancelled);
    // Marks the archive as failed (an object that cannot write itself calls this); the
    // first reason is kept.
    void failWithError(const QString& why);
    bool hasError() const;
    // The first failure, for the log.
    QString error() const;
    // Marks the archive as failed on one of its limits (a picture too large calls this).
    void failWithLimit(ArchiveLimit limit, const QString& why);
    // The limit the archive met when that was its first failure; None otherwise.
    ArchiveLimit exceededLimit() const;

    const ArchiveLimits& limits() const;
    // The pixels that pictures written into this archive may still have, as a reader counts
    // them (see KeyedUnarchiver::picturePixelBudget); starts at ArchiveLimits::maxImagePixels.
    qint64& picturePixelBudget() const;

    // A whole archive whose key "root" holds the value or object; empty on failure, with the
    // reason in *error when given.
    static QByteArray archivedData(
        const ArchiveValue& root, bool requiresSecureCoding, QString* error = nullptr);
    static QByteArray archivedData(
        const KeyedCoding& root, bool requiresSecureCoding, QString* error = nullptr);

private:
    struct State;
    KeyedArchiver(std::shared_ptr<State> state, int level);

    bool beginKey(const QString& key);
    void writeValue(const ArchiveValue& value, int depth);
    void writeObject(const KeyedCoding* object, int depth);
    // The object itself, or a reference when it was written before.
    void writeObjectOrReference(const KeyedCoding* object, int depth);
    void reachDepth(int depth);
    // Runs the producers of encodeBytesLater and puts their bytes in place.
    void produceLaterBytes();
    void writeText(QStringView text);
    void writeBytes(const QByteArray& bytes);
    // Each of these counts against a limit and fails the archive once it is over.
    void countValues(qint64 count);
    void checkContainerLength(std::size_t length);
    void fail(const QString& why, ArchiveLimit limit = ArchiveLimit::None);

    std::shared_ptr<State> m_state;
    int m_level; // depth of the map this coder writes into; 1 for the archive itself
    qint64 m_entries = 0; // keys written into that map, repeats included (a reader counts them)
};

template <class T> void KeyedArchiver::encodeObject(const QString& key, const T& object)
{
    if constexpr (std::is_pointer_v<T>) {
        if (!object)
            encodeNull(key);
        else
            encodeObject(key, *object);
    } else if constexpr (requires {
                             object.get();
                             bool(object);
                             typename T::element_type;
                         }) {
        if (!object)
            encodeNull(key);
        else
            encodeObject(key, *object);
    } else if constexpr (requires {
                             object.has_value();
                             *object;
                         }) {
        if (!object.has_value())
            encodeNull(key);
        else
            encodeObject(key, *object);
    } else if constexpr (std::is_base_of_v<KeyedCoding, T>) {
        encodeKeyedObject(key, &object);
    } else {
        static_assert(ArchivableValue<T>, "not an archivable object");
        encodeValue(key, ArchiveValue::fromValue(object));
    }
}

} // namespace platform
