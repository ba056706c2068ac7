#pragma once
// What an object implements to be written into a keyed archive. The archive knows nothing of
// its clients: a class writes itself through encodeWithCoder() and is rebuilt by a decoder
// registered under its class name (KeyedUnarchiver::registerClass), once, before reading:
//
//     void Fill::encodeWithCoder(KeyedArchiver& coder) const
//     {
//         coder.encodeObject("color", color);           // a Color value object
//         coder.encodeFloat("angle", float(angle));     // narrowed on purpose
//     }
//     KeyedUnarchiver::registerClass("Fill", [](const KeyedUnarchiver& coder) {
//         auto fill = std::make_shared<Fill>();
//         fill->color = coder.decodeObject<Color>("color").value_or(Color());
//         fill->angle = coder.decodeFloat("angle");
//         return fill;
//     });
#include <QString>
#include <QtGlobal>

namespace platform {

class KeyedArchiver;

class KeyedCoding {
public:
    virtual ~KeyedCoding() = default;

    // The class tag written with the object and looked up in the reader's allow-list.
    virtual QString archiveClassName() const = 0;
    // Writes the object's keys. Nested objects are written through the same coder.
    virtual void encodeWithCoder(KeyedArchiver& coder) const = 0;
    // An archiver that requires secure coding refuses objects that answer false.
    virtual bool supportsSecureCoding() const { return true; }
    // Objects that answer the same non-zero identity are one object: the archive writes it
    // once and every later use as a reference to it. Only pictures have one (their content
    // id); 0 writes the object at every use.
    virtual quint64 sharedIdentity() const { return 0; }
};

} // namespace platform
