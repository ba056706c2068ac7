#pragma once
// Documents holding a value longer than a box keeps: one text box whose text has so many
// characters, or whose background is a gradient of so many stops. Reading keeps the first ones
// and must say so. fuzz_seeds --at-limits writes them into the kept inputs of document_fuzz,
// and the tests of the reader make them at any size.
#include "app/DocumentFile.h"
#include "platform/archive/ArchiveDictionary.h"
#include "platform/archive/KeyedArchiver.h"
#include "platform/text/TextValueCoding.h"

#include <QByteArray>
#include <memory>

namespace fuzzinput {

namespace detail {

// The writers' own types hold at most what is kept, so these write the archive's keys by hand.
struct RawGradient final : platform::KeyedCoding {
    int stops = 0;
    QString archiveClassName() const override { return QStringLiteral("NSGradient"); }
    void encodeWithCoder(platform::KeyedArchiver& coder) const override
    {
        platform::ArchiveArray items;
        for (int i = 0; i < stops; ++i) {
            const double t = stops > 1 ? double(i) / (stops - 1) : 0.0;
            items.push_back(platform::ArchiveValue::fromArray({ platform::ArchiveValue::fromDouble(
                                                                    t),
                platform::ArchiveValue::fromDouble(0.2), platform::ArchiveValue::fromDouble(1 - t),
                platform::ArchiveValue::fromDouble(1.0), platform::ArchiveValue::fromDouble(t) }));
        }
        coder.encodeArray(QStringLiteral("stops"), items);
    }
};

// An advanced linear gradient fill.
struct RawFill final : platform::KeyedCoding {
    RawGradient gradient;
    QString archiveClassName() const override { return QStringLiteral("SZGradient"); }
    void encodeWithCoder(platform::KeyedArchiver& coder) const override
    {
        coder.encodeKeyedObject(QStringLiteral("gradient"), &gradient);
        coder.encodeInt32(QStringLiteral("gradienttype"), 4);
        coder.encodeFloat(QStringLiteral("angle"), 90.0f);
        coder.encodeInt32(QStringLiteral("imageScaleType"), 1);
        coder.encodeFloat(QStringLiteral("opacity"), 1.0f);
    }
};

// A text box record with its kind, frame, text and background; the rest reads as absent.
struct RawTextRecord final : platform::KeyedCoding {
    RawFill background;
    QString archiveClassName() const override { return QStringLiteral("UNDODATA"); }
    void encodeWithCoder(platform::KeyedArchiver& coder) const override
    {
        coder.encodeInt32(QStringLiteral("type"), UNDODATA::TextBox);
        coder.encodeObject(QStringLiteral("rtf"), platform::AttributedString("Gradient"));
        coder.encodeKeyedObject(QStringLiteral("textBoxBackgroundColor"), &background);
        coder.encodeRect(QStringLiteral("frame"), platform::Rect(20, 20, 200, 60));
    }
};

} // namespace detail

// A document of picture (a picture file's bytes) with one text box of this many characters:
// words, in paragraphs of about 500 characters.
inline QByteArray documentWithText(const QByteArray& picture, int characters)
{
    QString text;
    text.reserve(characters + 16);
    static const char* const words[] = { "quill ", "mark ", "photograph ", "type ", "a ", "line " };
    for (int i = 0; text.size() < characters; ++i)
        text += (i % 90 == 89) ? QStringLiteral("end.\n") : QString::fromLatin1(words[i % 6]);
    text.truncate(characters);
    UNDODATA record;
    record.type = UNDODATA::TextBox;
    record.frame = platform::Rect(20, 20, 400, 300);
    record.rtf = platform::AttributedString(text);
    DocumentContents contents;
    contents.imageData = picture;
    contents.boxes = ContainerSnapshot({ record });
    return DocumentFile::write(contents);
}

// A document of picture with one text box whose background gradient has this many stops.
inline QByteArray documentWithGradient(const QByteArray& picture, int stops)
{
    auto record = std::make_shared<detail::RawTextRecord>();
    record->background.gradient.stops = stops;
    platform::KeyedArchiver archiver(true);
    archiver.encodeDouble(QStringLiteral("Version"), DocumentFile::kVersion);
    archiver.encodeBytes(QStringLiteral("ImageData"), picture);
    archiver.encodeNull(QStringLiteral("Preset"));
    platform::ArchiveDictionary layer;
    layer.insert(QStringLiteral("textviewary"),
        platform::ArchiveValue::fromArray({ platform::ArchiveValue::fromObject(record) }));
    archiver.encodeDictionary(QStringLiteral("TextContainer"), layer);
    return archiver.finishEncoding();
}

} // namespace fuzzinput
