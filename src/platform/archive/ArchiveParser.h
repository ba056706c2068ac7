#pragma once
// Internal to the archive: reads the bytes of an archive into a tree of nodes, checking every
// length and the nesting against ArchiveLimits before anything is allocated. Objects are kept
// as class name plus fields; KeyedUnarchiver builds them on demand, where the allow-list
// applies.
//
// The tree is flat: sixteen bytes a value, the items of each container side by side, and the
// text of small strings back to back in one buffer, so that a value read costs no allocation
// of its own (ArchiveLimits::maxValues is priced on that).
#include "platform/archive/ArchiveLimits.h"
#include "platform/geometry/Rect.h"

#include <QByteArray>
#include <QString>
#include <span>
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
    bool ownBuffer = false; // Bytes, String: kept in a buffer of its own (see ArchiveTree)
    // Object: a shared object, or a reference to one (its copy): built once, whatever reads it.
    bool shared = false;
    // Bytes, String: the length in bytes; Array: items; Map, Object: entries.
    quint32 count = 0;
    union {
        qint64 integer = 0; // Int32, Int64, Bool
        double real; // Float (exactly the float), Double
        // Bytes, String: where the bytes are (see ArchiveTree). Rect: the index of the
        // rectangle. Array: the index of the first item. Map: the index of the first key,
        // keys and values alternating. Object: the index of the class name (a String), then
        // keys and values alternating.
        quint64 first;
    };
};
static_assert(sizeof(ArchiveNode) == 16, "the value limit is priced on 16-byte nodes");

// The nodes of one archive. Nodes never move once read, so pointers to them stay valid for
// the life of the tree.
class ArchiveTree {
public:
    // The top-level map; null for an empty tree.
    const ArchiveNode* root() const;

    std::span<const ArchiveNode> items(const ArchiveNode& array) const;
    // Entry i of a Map or Object: its key (a String) and its value.
    const ArchiveNode& key(const ArchiveNode& map, quint32 i) const;
    const ArchiveNode& value(const ArchiveNode& map, quint32 i) const;
    // The value at key in a Map or Object (the last one when a key repeats); null if none.
    const ArchiveNode* find(const ArchiveNode& map, const QString& key) const;
    // The class name of an Object.
    QString className(const ArchiveNode& object) const;

    QByteArray bytes(const ArchiveNode& node) const;
    QString text(const ArchiveNode& node) const;
    Rect rect(const ArchiveNode& node) const;

private:
    friend class ArchiveParser;

    QByteArrayView view(const ArchiveNode& node) const;
    quint64 firstEntry(const ArchiveNode& map) const;

    std::vector<ArchiveNode> m_nodes;
    quint64 m_root = 0; // meaningful when m_nodes is not empty
    // Small strings, back to back (first is an offset); larger ones keep their own buffer
    // (first is an index), so that building the value shares it rather than copying.
    QByteArray m_smallStrings;
    std::vector<QByteArray> m_ownBuffers;
    std::vector<Rect> m_rects;
};

class ArchiveParser {
public:
    explicit ArchiveParser(const ArchiveLimits& limits);

    // The archive read into tree, or false with error() and failure() set (and tree empty).
    bool parse(const QByteArray& data, ArchiveTree& tree);
    // For the log.
    QString error() const { return m_error; }
    ArchiveFailure failure() const { return m_failure; }

private:
    // Each of these reads one value and adds its node to m_pending.
    bool parseValue(QCborStreamReader& reader, int depth);
    bool parseTagged(QCborStreamReader& reader, int depth, ArchiveNode& node);
    // After the tag: the shared object, or the object a reference stands for.
    bool parseShared(QCborStreamReader& reader, int depth, ArchiveNode& node);
    bool parseReference(QCborStreamReader& reader, int depth, ArchiveNode& node);
    bool parseArray(QCborStreamReader& reader, int depth, ArchiveNode& node);
    // Reads a map's entries after what m_pending holds from `from` on (the class name of an
    // object), and moves them all into the tree.
    bool parseMap(QCborStreamReader& reader, int depth, ArchiveNode& node, size_t from);
    bool parseInteger(QCborStreamReader& reader, ArchiveNode& node, bool wide);
    bool readString(QCborStreamReader& reader, ArchiveNode& node);
    bool readBytes(QCborStreamReader& reader, QByteArray& out);
    // Moves m_pending from `from` on into the tree; the index of the first one moved.
    quint64 commit(size_t from);
    bool checkLength(QCborStreamReader& reader, qint64 minimumBytesPerItem);
    bool countValue();
    // Keeps the first failure. An unreadable value met at the end of the data is taken as the
    // data cut short.
    bool fail(QCborStreamReader& reader, const QString& why,
        ArchiveFailure::Kind kind = ArchiveFailure::Kind::Unreadable,
        ArchiveLimit limit = ArchiveLimit::None);
    bool overLimit(QCborStreamReader& reader, const QString& why, ArchiveLimit limit);
    bool cutShort(QCborStreamReader& reader, const QString& why);

    ArchiveLimits m_limits;
    ArchiveTree* m_tree = nullptr;
    // The deepest level read so far: a shared object's height is what reading it added.
    int m_deepest = 0;
    struct Shared {
        ArchiveNode node;
        int height; // levels below the object itself
    };
    std::vector<Shared> m_shared; // in the order written, numbered from 0
    // The items of the containers being read, innermost last: a container's items are moved
    // into the tree together once it is read, so that they lie side by side.
    std::vector<ArchiveNode> m_pending;
    qint64 m_size = 0;
    qint64 m_values = 0;
    QString m_error;
    ArchiveFailure m_failure;
};

} // namespace platform
