#pragma once
// The byte layout of a keyed archive, shared by the writer and the reader.
//
// An archive is one CBOR item (RFC 8949):
//
//   tag 55799 (self-describe: the file starts with d9 d9 f7)
//     tag kTagArchive
//       map of text keys to values, in the order they were written
//
// Values:
//   32-bit integer   a plain CBOR integer
//   64-bit integer   tag kTagInt64 around a CBOR integer
//   32-bit float     a CBOR single-precision float (0xfa)
//   double           a CBOR double-precision float (0xfb)
//   bool, null       CBOR true/false, null
//   rectangle        tag kTagRect around an array of four doubles: x, y, width, height
//   byte string      a CBOR byte string
//   text             a CBOR text string
//   array            a CBOR array of values
//   dictionary       a CBOR map of text keys to values
//   object           tag kTagObject around a two-element array: the class name (text) and
//                    a map of the object's keys to values
//   shared object    tag kTagShared around an object: the object, which later values may
//                    refer to; the shared objects are numbered from 0 in the order written
//   reference        tag kTagReference around an unsigned integer: the shared object of that
//                    number, written before it. Only pictures (isShareableClass) are shared.
//                    A reference to a number not yet written, or a shared object of another
//                    class, reads as absent; a reference counts as deep as the object it
//                    stands for, where it stands.
//
// Maps may be of definite or indefinite length. When a map repeats a key, the last value wins.
#include <QLoggingCategory>
#include <QStringView>
#include <cstdint>

namespace platform::archiveformat {

// Our tags sit in the first-come-first-served range, spelled "QMA" plus a number, far from the
// tags other encoders use.
constexpr std::uint64_t kTagSelfDescribe = 55799;
constexpr std::uint64_t kTagArchive = 0x514D4101;
constexpr std::uint64_t kTagInt64 = 0x514D4102;
constexpr std::uint64_t kTagRect = 0x514D4103;
constexpr std::uint64_t kTagObject = 0x514D4104;
constexpr std::uint64_t kTagShared = 0x514D4105;
constexpr std::uint64_t kTagReference = 0x514D4106;

// The classes whose objects may be shared: pictures, which are large, immutable and often used
// by many boxes, fills and text runs at once. Anything else shared could let a small file
// stand for a huge document.
inline bool isShareableClass(QStringView className)
{
    return className == u"NSImage" || className == u"CIImage";
}

// The key under which archivedData() stores its root value.
inline constexpr char kRootKey[] = "root";

} // namespace platform::archiveformat

Q_DECLARE_LOGGING_CATEGORY(lcArchive)
