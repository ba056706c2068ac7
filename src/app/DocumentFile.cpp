#include "app/DocumentFile.h"

#include "app/AppLogging.h"
#include "platform/archive/ArchiveDictionary.h"
#include "platform/archive/KeyedArchiver.h"
#include "platform/archive/KeyedUnarchiver.h"
#include "platform/document/Document.h"
#include "platform/imaging/PictureLoader.h"
#include "window/PictureSliders.h"

#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>
#include <QLocale>
#include <QSet>
#include <algorithm>
#include <cmath>

using platform::ArchiveValue;
using platform::KeyedArchiver;
using platform::KeyedUnarchiver;

namespace {

const QString kVersionKey = QStringLiteral("Version");
const QString kImageDataKey = QStringLiteral("ImageData");
const QString kPresetKey = QStringLiteral("Preset");
const QString kMaskDataKey = QStringLiteral("ColorCustomMaskData");
const QString kMaskScaleKey = QStringLiteral("ColorCustomMaskScale");
const QString kBoxesKey = QStringLiteral("TextContainer");
const QString kRecordsKey = QStringLiteral("textviewary");
const QString kCanvasScaleKey = QStringLiteral("CanvasScale");
const QString kStraightenKey = QStringLiteral("CanvasStraighten");
const QString kOffsetKey = QStringLiteral("CanvasOffset");
const QString kPreviewKey = QStringLiteral("preview");

const std::vector<UNDODATA> kNoRecords;

// The canvas zooms the picture between 1 and 2; anything far beyond is no zoom we made.
constexpr double kMaxCanvasScale = 100.0;

double sliderValue(const KeyedUnarchiver& coder, const QString& key)
{
    const double v = coder.decodeDouble(key);
    if (!std::isfinite(v)) {
        qCWarning(lcApp) << "document:" << key << "is not finite; using 0";
        return 0.0;
    }
    return std::clamp(v, 0.0, 1.0);
}

// Whether a mask of maskSize covers a working picture of workingSize at one scale: its width
// and height must give the same scale within a pixel.
bool maskFitsPicture(QSize maskSize, QSize workingSize)
{
    const double expectedHeight
        = double(maskSize.width()) * workingSize.height() / workingSize.width();
    return std::abs(maskSize.height() - expectedHeight) <= 1.0;
}

std::optional<DocumentMask> readMask(const KeyedUnarchiver& coder, QSize workingSize, bool& leftOut)
{
    if (!coder.containsValueForKey(kMaskDataKey) && !coder.containsValueForKey(kMaskScaleKey))
        return std::nullopt;
    DocumentMask mask;
    // Null (or no key) is a canvas that has not been painted yet; anything but bytes is a mask
    // that cannot be read.
    const ArchiveValue data = coder.decodeValue(kMaskDataKey, {});
    const bool hasData = data.kind() != ArchiveValue::Kind::Null;
    const QByteArray png = data.kind() == ArchiveValue::Kind::Bytes ? data.toBytes() : QByteArray();
    if (hasData && png.isEmpty()) {
        qCWarning(lcApp) << "document: the mask is not a picture; left out";
        leftOut = true;
    }
    if (!png.isEmpty()) {
        if (!workingSize.isValid())
            qCWarning(lcApp) << "document: no picture size to check the mask against; left out";
        else
            mask.image = DocumentFile::decodeMask(png);
        if (!mask.image.isNull() && !maskFitsPicture(mask.image.size(), workingSize)) {
            qCWarning(lcApp) << "document: a mask of" << mask.image.size()
                             << "does not fit a picture of" << workingSize << "; left out";
            mask.image = QImage();
        }
        leftOut = leftOut || mask.image.isNull();
    }
    // Stored as a float: read at the width it was written.
    const double scale = coder.decodeFloat(kMaskScaleKey);
    if (scale > 0.0 && scale <= 1.0) {
        mask.scale = scale;
    } else if (!mask.image.isNull()) {
        // The mask itself tells its scale; any fixed fallback would misplace it.
        mask.scale = double(mask.image.width()) / workingSize.width();
        qCWarning(lcApp) << "document: mask scale" << scale << "taken from the mask:" << mask.scale;
    } else {
        mask.scale = workingSize.isValid() ? DocumentFile::standardMaskScale(workingSize) : 1.0;
        qCWarning(lcApp) << "document: mask scale" << scale << "replaced by" << mask.scale;
    }
    return mask;
}

// Whether a decoded record is one a box can be built from.
bool isUsableRecord(const UNDODATA& record)
{
    if (record.type < UNDODATA::TextBox || record.type > UNDODATA::ShapeBox) {
        qCWarning(lcApp) << "document: skipped a box record of type" << record.type;
        return false;
    }
    if (record.type == UNDODATA::ImageBox && record.orgImage.isNull()) {
        qCWarning(lcApp) << "document: skipped a picture box without a picture";
        return false;
    }
    return true;
}

// A picture is decoded once however many boxes use it, but each picture box showing it holds
// two copies of its own (at its saturation, and tinted): a picture box whose picture an earlier
// one has shown costs those two thirds of a picture of the box pictures' budget.
class PictureBoxUses {
public:
    // Takes the cost of the record's picture from budget; false, leaving it, when it is over.
    bool take(const UNDODATA& record, qint64& budget)
    {
        if (record.type != UNDODATA::ImageBox || record.orgImage.isNull())
            return true;
        if (!m_shown.contains(record.orgImage.contentId())) {
            m_shown.insert(record.orgImage.contentId());
            return true;
        }
        const QSize size = record.orgImage.pixelSize();
        const qint64 cost = (2 * qint64(size.width()) * size.height() + 2) / 3;
        if (cost > budget)
            return false;
        budget -= cost;
        return true;
    }

private:
    QSet<quint64> m_shown;
};

// The box layer; its size has been checked (refusalOf). A layer that cannot be read as a whole
// sets layerLeftOut: every document we write holds one, so whatever boxes it held are lost.
std::optional<ContainerSnapshot> readBoxes(
    const KeyedUnarchiver& coder, int& leftOut, bool& layerLeftOut)
{
    const auto unreadable = [&](const char* why) {
        qCWarning(lcApp) << "document: the box layer" << why << "; its boxes are left out";
        layerLeftOut = true;
        return std::nullopt;
    };
    if (!coder.containsValueForKey(kBoxesKey))
        return unreadable("is missing");
    // Which of two layers holds the boxes cannot be told.
    if (coder.entryCountForKey(kBoxesKey) > 1)
        return unreadable("is written twice");
    const ArchiveValue layer = coder.decodeValue(kBoxesKey, UNDODATA::allowedClasses());
    if (layer.kind() != ArchiveValue::Kind::Dictionary)
        return unreadable("is not a dictionary");
    if (layer.toDictionary().value(kRecordsKey).kind() != ArchiveValue::Kind::Array)
        return unreadable("holds no record array");
    std::vector<UNDODATA> records;
    PictureBoxUses uses;
    for (const ArchiveValue& item : layer.toDictionary().value(kRecordsKey).toArray()) {
        std::optional<UNDODATA> record = item.objectValue<UNDODATA>();
        if (!record)
            qCWarning(lcApp) << "document: skipped an entry that is no box record"
                             << item.className();
        if (record && !isUsableRecord(*record)) {
            record.reset();
        } else if (record && !uses.take(*record, coder.picturePixelBudget())) {
            qCWarning(lcApp) << "document: skipped a picture box over the picture budget";
            record.reset();
        }
        if (record)
            records.push_back(std::move(*record));
        else
            ++leftOut;
    }
    return ContainerSnapshot(std::move(records));
}

void readCanvasSettings(const KeyedUnarchiver& coder, DocumentContents& contents)
{
    if (coder.containsValueForKey(kCanvasScaleKey)) {
        const double scale = coder.decodeDouble(kCanvasScaleKey);
        if (scale > 0.0 && scale <= kMaxCanvasScale)
            contents.canvasScale = scale;
        else
            qCWarning(lcApp) << "document: canvas scale" << scale << "replaced by 1";
    }
    const double straighten = coder.decodeDouble(kStraightenKey);
    if (std::isfinite(straighten))
        contents.straighten = straighten;
    else
        qCWarning(lcApp) << "document: straightening is not finite; using 0";
    // The point's own decoding refuses non-finite numbers.
    const platform::Point offset
        = coder.decodeObject<platform::Point>(kOffsetKey).value_or(platform::Point());
    if (std::abs(offset.x) <= UNDODATA::kMaxCoordinate
        && std::abs(offset.y) <= UNDODATA::kMaxCoordinate)
        contents.offset = offset;
    else
        qCWarning(lcApp) << "document: canvas offset out of range; using 0";
}

// Counts as the messages say them, grouped by thousands ("1,800,000") whatever the locale.
QString countText(qint64 count)
{
    return QLocale(QLocale::English, QLocale::UnitedStates).toString(count);
}

// "84.7 million pixels": a count of pixels as the messages say it.
QString pixelCount(qint64 count)
{
    if (count < 1000000)
        return QStringLiteral("%1 pixels").arg(countText(count));
    return QStringLiteral("%1 million pixels").arg(QString::number(double(count) / 1e6, 'g', 3));
}

// Which of the reader's limits a file passed, with the limit's true figure.
QString overLimitReason(platform::ArchiveLimit limit)
{
    using platform::ArchiveLimit;
    const platform::ArchiveLimits limits;
    switch (limit) {
    case ArchiveLimit::Values:
        return QStringLiteral("it holds more values than can be opened (%1)")
            .arg(countText(limits.maxValues));
    case ArchiveLimit::ContainerLength:
        return QStringLiteral("it holds a list longer than can be opened (%1 entries)")
            .arg(countText(limits.maxContainerLength));
    case ArchiveLimit::Size:
        return QStringLiteral("it is larger than can be opened (%1)")
            .arg(platform::Document::fileSizeText(limits.maxInputSize));
    case ArchiveLimit::StringSize:
        return QStringLiteral("it holds data larger than can be opened (%1 in one piece)")
            .arg(platform::Document::fileSizeText(limits.maxStringSize));
    case ArchiveLimit::Depth:
        return QStringLiteral("it is nested more deeply than can be opened (%1 levels)")
            .arg(limits.maxDepth);
    case ArchiveLimit::PictureSide:
        return QStringLiteral("a picture in it is larger than can be opened (%1 pixels on a side)")
            .arg(limits.maxImageDimension);
    case ArchiveLimit::PicturePixels:
        return QStringLiteral("its pictures together have more pixels than can be opened (%1)")
            .arg(pixelCount(limits.maxImagePixels));
    case ArchiveLimit::None:
        break;
    }
    return QStringLiteral("it is larger than can be opened");
}

// Why an archive could not be read, as refusalMessage() says it.
QString unreadableReason(const platform::ArchiveFailure& failure)
{
    using Kind = platform::ArchiveFailure::Kind;
    using platform::ArchiveLimit;
    switch (failure.kind) {
    case Kind::None:
    case Kind::NotAnArchive:
        return QStringLiteral("it is not a Quillmark document");
    case Kind::CutShort:
        return QStringLiteral("it is damaged (cut short)");
    case Kind::Unreadable:
        break;
    case Kind::OverLimit:
        return overLimitReason(failure.limit);
    }
    return QStringLiteral("it is damaged (unreadable at byte %1)").arg(failure.offset);
}

// A version as the refusals say it: exactly enough to tell it from every other, so that
// 1.1999999 is never shown as the current 1.2.
QString versionText(double version)
{
    return QString::number(version, 'g', QLocale::FloatingPointShortest);
}

// Every refusal of a file keeps the one error the document architecture gives for it; its
// own text ("Invalid Version") is said only of a version the reader refuses.
platform::DocumentError refusal(const QString& reason, bool ofVersion = false)
{
    qCWarning(lcApp).noquote() << "document refused:" << reason;
    const QString domain = QStringLiteral("Invalid Version");
    const int code = DocumentFile::kInvalidVersionCode;
    const QString systemText
        = ofVersion ? platform::DocumentError { domain, code, {} }.message() : QString();
    return { domain, code, systemText, reason };
}

// The number of box records the file holds, when it holds a list of them.
std::size_t boxRecordCount(const KeyedUnarchiver& coder)
{
    // The structure alone, with no class allowed: nothing is built for a layer that is
    // refused as a whole.
    const ArchiveValue items = coder.decodeValue(kBoxesKey, {}).toDictionary().value(kRecordsKey);
    return items.kind() == ArchiveValue::Kind::Array ? items.toArray().size() : 0;
}

// Why the file cannot be opened, judged before anything in it is built; nothing when it can.
std::optional<platform::DocumentError> refusalOf(const KeyedUnarchiver& coder)
{
    if (!coder.isValid())
        return refusal(unreadableReason(coder.failure()));
    const ArchiveValue version = coder.decodeValue(kVersionKey);
    if (version.kind() != ArchiveValue::Kind::Double || !std::isfinite(version.toDouble()))
        return refusal(QStringLiteral("it is not a Quillmark document"), true);
    if (version.toDouble() < DocumentFile::kVersion)
        return refusal(QStringLiteral("it was made by an old version (%1) that cannot be opened")
                           .arg(versionText(version.toDouble())),
            true);
    if (version.toDouble() >= DocumentFile::kNewerVersion)
        return refusal(QStringLiteral("it was made by a newer version of Quillmark (%1)")
                           .arg(versionText(version.toDouble())),
            true);
    if (const std::size_t boxes = boxRecordCount(coder);
        boxes > std::size_t(DocumentFile::kMaxBoxes))
        return refusal(QStringLiteral("it has %1 boxes, more than can be opened (%2)")
                           .arg(boxes)
                           .arg(DocumentFile::kMaxBoxes));
    return std::nullopt;
}

} // namespace

DocumentFile::ReadResult DocumentFile::read(const QByteArray& data)
{
    const KeyedUnarchiver coder(data, UNDODATA::allowedClasses());
    if (auto refused = refusalOf(coder))
        return *refused;
    DocumentContents contents;
    contents.imageData = coder.decodeBytes(kImageDataKey);
    // One budget for every picture the document decodes: the picture's own decode is taken
    // from it first. A box picture is held up to three times over once shown (as decoded, at
    // its saturation, and tinted), so the box pictures decode within a third of what is left.
    const platform::PictureHeader picture = platform::PictureLoader::header(contents.imageData);
    qint64& budget = coder.picturePixelBudget();
    budget = (budget - std::min(picture.cost, budget)) / kBoxPictureCopies;
    for (const PictureSlider& slider : pictureSliders()) {
        const QString key = QString::fromLatin1(slider.documentKey);
        if (!key.isEmpty() && coder.containsValueForKey(key))
            contents.pictureSliders.insert(key, sliderValue(coder, key));
    }
    contents.preset = coder.decodeString(kPresetKey);
    // The working picture, turned upright.
    contents.mask = readMask(coder, picture.uprightSize, contents.maskLeftOut);
    contents.boxes = readBoxes(coder, contents.leftOutBoxes, contents.boxLayerLeftOut);
    contents.cuts = coder.cuts();
    readCanvasSettings(coder, contents);
    return contents;
}

namespace {

// Why an archive could not be written, for the sentence "The document … could not be saved."
QString unwritableReason(
    platform::ArchiveLimit limit, const platform::ArchiveLimits& limits, qint64 boxPicturePixels)
{
    using platform::ArchiveLimit;
    switch (limit) {
    case ArchiveLimit::Values:
    case ArchiveLimit::ContainerLength:
        return QStringLiteral("Its boxes hold more than a document can keep.");
    case ArchiveLimit::Size:
    case ArchiveLimit::StringSize:
        return QStringLiteral("It would be larger than a document can be.");
    case ArchiveLimit::PictureSide:
        return QStringLiteral("A picture in it is larger than a document can keep (%1 pixels on a "
                              "side at most).")
            .arg(limits.maxImageDimension);
    case ArchiveLimit::PicturePixels:
        // The budget the boxes' pictures were given beside the document's own picture, not
        // the archive's whole one.
        return QStringLiteral("The pictures of its boxes together have more pixels than a "
                              "document can keep beside its picture (%1).")
            .arg(pixelCount(boxPicturePixels));
    case ArchiveLimit::Depth:
    case ArchiveLimit::None:
        break;
    }
    return QStringLiteral("The document could not be encoded.");
}

} // namespace

std::optional<QString> DocumentFile::boxCountRefusal(std::size_t boxes)
{
    if (boxes <= std::size_t(kMaxBoxes))
        return std::nullopt;
    return QStringLiteral("It has %1 boxes; a document can keep at most %2.")
        .arg(boxes)
        .arg(kMaxBoxes);
}

QByteArray DocumentFile::write(
    const DocumentContents& contents, QString* whyNot, const std::atomic_bool* cancelled)
{
    const auto refuse = [&](const QString& why) {
        qCWarning(lcApp).noquote() << "document: not written:" << why;
        if (whyNot)
            *whyNot = why;
        return QByteArray();
    };
    if (auto tooMany = boxCountRefusal(contents.boxes ? contents.boxes->size() : 0))
        return refuse(*tooMany);
    KeyedArchiver archiver(true);
    archiver.setCancellation(cancelled);
    // The picture and the boxes' pictures are read on one budget: what the reader will charge
    // is charged here, so that no file is written that cannot be opened again.
    const platform::PictureHeader picture = platform::PictureLoader::header(contents.imageData);
    qint64& budget = archiver.picturePixelBudget();
    budget = (budget - std::min(picture.cost, budget)) / kBoxPictureCopies;
    const qint64 boxPicturePixels = budget;
    // What the reader takes for picture boxes sharing a picture, taken before anything is
    // encoded.
    PictureBoxUses uses;
    for (const UNDODATA& record : contents.boxes ? contents.boxes->records() : kNoRecords) {
        if (!uses.take(record, budget))
            return refuse(unwritableReason(
                platform::ArchiveLimit::PicturePixels, archiver.limits(), boxPicturePixels));
    }
    archiver.encodeDouble(kVersionKey, kVersion);
    archiver.encodeBytes(kImageDataKey, contents.imageData);
    for (const PictureSlider& slider : pictureSliders()) {
        const QString key = QString::fromLatin1(slider.documentKey);
        if (!key.isEmpty())
            archiver.encodeDouble(key, contents.pictureSliders.value(key, slider.start));
    }
    if (contents.preset.isNull())
        archiver.encodeNull(kPresetKey);
    else
        archiver.encodeString(kPresetKey, contents.preset);
    if (contents.mask) {
        if (contents.mask->image.isNull())
            archiver.encodeNull(kMaskDataKey);
        else
            archiver.encodeBytes(kMaskDataKey, encodeMask(contents.mask->image));
        archiver.encodeFloat(kMaskScaleKey, float(contents.mask->scale));
    }
    const ContainerSnapshot noBoxes;
    archiver.encodeValue(kBoxesKey, contents.boxes.value_or(noBoxes).toArchiveValue());
    archiver.encodeDouble(kCanvasScaleKey, contents.canvasScale);
    archiver.encodeDouble(kStraightenKey, contents.straighten);
    archiver.encodeObject(kOffsetKey, contents.offset);
    archiver.encodeBytes(kPreviewKey, contents.preview);
    QByteArray bytes = archiver.finishEncoding();
    if (bytes.isEmpty()) {
        qCWarning(lcApp).noquote() << "document: archive failed:" << archiver.error();
        return refuse(
            unwritableReason(archiver.exceededLimit(), archiver.limits(), boxPicturePixels));
    }
    return bytes;
}

double DocumentFile::standardMaskScale(QSize workingSize)
{
    const int longer = std::max(workingSize.width(), workingSize.height());
    if (longer <= 0)
        return 1.0;
    return std::min(1.0, double(kMaxMaskSide) / longer);
}

QByteArray DocumentFile::encodeMask(const QImage& premultiplied)
{
    QImage straight = premultiplied.convertToFormat(QImage::Format_RGBA64_Premultiplied);
    straight.reinterpretAsFormat(QImage::Format_RGBA64);
    for (int y = 0; y < straight.height(); ++y) {
        auto* px = reinterpret_cast<QRgba64*>(straight.scanLine(y));
        for (int x = 0; x < straight.width(); ++x) {
            const quint32 a = px[x].alpha();
            if (a == 0 || a == 65535)
                continue;
            const auto unmul = [a](quint32 c) {
                return quint16(std::min<quint32>(65535, (c * 65535u + a / 2) / a));
            };
            px[x] = QRgba64::fromRgba64(
                unmul(px[x].red()), unmul(px[x].green()), unmul(px[x].blue()), quint16(a));
        }
    }
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    if (!writer.write(straight)) {
        qCWarning(lcApp) << "document: the mask was not encoded:" << writer.errorString();
        return {};
    }
    return png;
}

QImage DocumentFile::decodeMask(const QByteArray& png)
{
    QBuffer buffer;
    buffer.setData(png);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "png");
    reader.setAutoTransform(false);
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty() || std::max(size.width(), size.height()) > kMaxMaskSide) {
        qCWarning(lcApp) << "document: a mask of" << size << "refused";
        return {};
    }
    QImage image;
    if (!reader.read(&image)) {
        qCWarning(lcApp) << "document: the mask is unreadable:" << reader.errorString();
        return {};
    }
    // Pictures of any depth come in as straight 16-bit pixels (8-bit values scale exactly).
    image = image.convertToFormat(QImage::Format_RGBA64);
    for (int y = 0; y < image.height(); ++y) {
        auto* px = reinterpret_cast<QRgba64*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const quint32 a = px[x].alpha();
            const auto mul = [a](quint32 c) { return quint16((c * a + 32767u) / 65535u); };
            px[x] = QRgba64::fromRgba64(
                mul(px[x].red()), mul(px[x].green()), mul(px[x].blue()), quint16(a));
        }
    }
    image.reinterpretAsFormat(QImage::Format_RGBA64_Premultiplied);
    return image;
}
