#pragma once
// Internal to the archive: reads the bytes of an archive into a tree of nodes, checking every
// length and the nesting against ArchiveLimits before anything is allocated. Objects are kept
// as class name plus fields; KeyedUnarchiver builds them on demand, where the allow-list
// applies.
#include "platform/archive/ArchiveLimits.h"
#include "platform/geometry/Rect.h"

#include <QByteArray>
#include <QString>
#include <vector>

class QCborStreamReader;

namespace platform {

struct ArchiveNode {
    // Invalid: a well-formed CBOR item that is no archive value (an unknown tag, a malformed
    // rectangle, undefined, ...). It reads as absent.
    enum class Kind : quint8 {
        Invalid,
        Null,
        Int32,
        Int64,
        Float,
        Double,
        Bool,
        Rect,
        Bytes,
        String,
        Array,
        Map,
        Object
    };

    Kind kind = Kind::Invalid;
    qint64 integer = 0; // Int32, Int64, Bool
    double real = 0.0; // Float (exactly the float), Double
    Rect rect;
    QString text; // String; the class name of an Object
    QByteArray bytes;
    std::vector<QString> keys; // Map and Object, parallel to items
    std::vector<ArchiveNode> items; // Array elements; Map and Object values

    // The value at key in a Map or Object (the last one when a key repeats); null if none.
    const ArchiveNode* find(const QString& key) const;
};

class ArchiveParser {
public:
    explicit ArchiveParser(const ArchiveLimits& limits);

    // The top-level map of the archive, or false with error() set.
    bool parse(const QByteArray& data, ArchiveNode& root);
    QString error() const { return m_error; }

private:
    bool parseValue(QCborStreamReader& reader, int depth, ArchiveNode& node);
    bool parseTagged(QCborStreamReader& reader, int depth, ArchiveNode& node);
    bool parseArray(QCborStreamReader& reader, int depth, ArchiveNode& node);
    bool parseMap(QCborStreamReader& reader, int depth, ArchiveNode& node);
    bool parseInteger(QCborStreamReader& reader, ArchiveNode& node, bool wide);
    bool readText(QCborStreamReader& reader, QString& out);
    bool readBytes(QCborStreamReader& reader, QByteArray& out);
    bool checkLength(QCborStreamReader& reader, qint64 minimumBytesPerItem);
    bool countValue();
    bool fail(QCborStreamReader& reader, const QString& why);

    ArchiveLimits m_limits;
    qint64 m_size = 0;
    qint64 m_values = 0;
    QString m_error;
};

} // namespace platform
