#include "boxes/UNDODATA.h"

#include "boxes/BoxesLogging.h"
#include "boxes/RecordFields.h"
#include "platform/archive/KeyedArchiver.h"
#include "platform/archive/KeyedUnarchiver.h"
#include "platform/text/TextValueCoding.h"

using platform::KeyedArchiver;
using platform::KeyedUnarchiver;

namespace {

const bool registered = [] {
    platform::registerTextArchiveClasses();
    KeyedUnarchiver::registerClass(QStringLiteral("UNDODATA"), [](const KeyedUnarchiver& coder) {
        return std::make_shared<const UNDODATA>(UNDODATA::initWithCoder(coder));
    });
    return true;
}();

} // namespace

// Every operation below walks the field table (RecordFields.h); none names a field.

bool UNDODATA::isEqualTo(const UNDODATA& o) const
{
    return drawsAlike(o, true);
}

bool UNDODATA::drawsSameContent(const UNDODATA& o) const
{
    return drawsAlike(o, false);
}

bool UNDODATA::drawsAlike(const UNDODATA& o, bool withDropShadow) const
{
    const record::Kinds kind = record::kindOf(type);
    return type == o.type && record::everyField([&](const auto& f) {
        using C = record::CodingOf<decltype(f)>;
        if (!(f.drawnBy & kind) || (!withDropShadow && record::isDropShadowMember(f.member)))
            return true;
        return record::samePicture<C>(this->*f.member, o.*f.member);
    });
}

bool UNDODATA::validate()
{
    // Every field, also those the record's kind does not hold: a box may still read them.
    bool ok = true;
    record::forEachField([&](const auto& f) {
        using C = record::CodingOf<decltype(f)>;
        ok = C::fix(this->*f.member, f.bounds, *this, f.key) && ok;
    });
    return ok;
}

void UNDODATA::encodeWithCoder(KeyedArchiver& coder) const
{
    record::forEachField([&](const auto& f) {
        if (record::includes(f.holders, type))
            record::CodingOf<decltype(f)>::encode(coder, f.key, this->*f.member);
    });
}

namespace {

// A list longer than its field keeps is cut by validate(); the coder is told first, so that
// whoever reads the archive can tell the person what was cut.
template <class F, class V>
void noteCut(const KeyedUnarchiver& coder, const F& field, const V& value)
{
    using C = record::CodingOf<F>;
    if constexpr (requires { C::countOf(value); }) {
        const std::size_t count = C::countOf(value);
        if (count > field.bounds.maxCount)
            coder.noteCut({ QString::fromLatin1(field.bounds.thing), QString::fromLatin1(C::kUnit),
                qint64(count), qint64(field.bounds.maxCount) });
    }
}

// A value of a wrong kind reads as absent; the coder is told that the box lost it, so that whoever
// reads the archive can tell the person and keep the file from being overwritten without it.
template <class F> void noteLeftOut(const KeyedUnarchiver& coder, const F& field, int type)
{
    if (!record::requiredBy(field, type))
        coder.noteCut({ QStringLiteral("box"), {}, 0, 0, QString::fromLatin1(field.what) });
}

} // namespace

UNDODATA UNDODATA::initWithCoder(const KeyedUnarchiver& coder)
{
    // "type" comes first in the table, so each later field is read by the type just read.
    UNDODATA r;
    record::forEachField([&](const auto& f) {
        if (record::includes(f.holders, r.type)) {
            const int notRead = coder.valuesNotRead();
            record::CodingOf<decltype(f)>::decode(coder, f.key, r.*f.member);
            if (coder.valuesNotRead() != notRead)
                noteLeftOut(coder, f, r.type);
            noteCut(coder, f, r.*f.member);
        }
    });
    r.validate();
    return r;
}

QStringList UNDODATA::allowedClasses()
{
    return { QStringLiteral("UNDODATA"), QStringLiteral("NSAttributedString"),
        QStringLiteral("NSDictionary"), QStringLiteral("SZGradient"), QStringLiteral("NSColor"),
        QStringLiteral("NSGradient"), QStringLiteral("NSMutableParagraphStyle"),
        QStringLiteral("NSFont"), QStringLiteral("NSMutableArray"), QStringLiteral("NSValue"),
        QStringLiteral("CIImage") };
}

QByteArray UNDODATA::encodeToData() const
{
    QString error;
    QByteArray data = KeyedArchiver::archivedData(*this, true, &error);
    if (data.isEmpty())
        qCDebug(lcBoxes).noquote() << error;
    return data;
}

std::optional<UNDODATA> UNDODATA::decodeFromData(const QByteArray& data)
{
    const KeyedUnarchiver::Result result = KeyedUnarchiver::unarchive(data, allowedClasses());
    if (!result.ok()) {
        qCDebug(lcBoxes).noquote() << result.error;
        return std::nullopt;
    }
    const auto record = result.root.objectPointer<UNDODATA>();
    if (!record) {
        qCDebug(lcBoxes) << "the archive holds no box record";
        return std::nullopt;
    }
    return *record;
}
