#pragma once
// The document file: one keyed archive with no root object, every value under its own key at
// the top level, written in this order:
//
//   "Version"               double   1.2 (files below 1.2, or not finite, are refused)
//   "ImageData"             bytes    the picture file's bytes exactly as first read
//   "Aperture"              double   the picture sliders the file keeps, 0..1, one key per
//   "Vignette"              double   slider with a document key, in the table's order
//   "Saturation"            double   (window/PictureSliders.h)
//   "Preset"                text     the preset name, or null for none
//   "ColorCustomMaskData"   bytes    the brush mask as a 16-bit RGBA PNG (straight alpha)
//   "ColorCustomMaskScale"  float    mask pixels per working-picture pixel
//   "TextContainer"         dictionary {"textviewary": array of box records}, bottom box first
//   "CanvasScale"           double   the canvas's picture zoom, straightening and offset,
//   "CanvasStraighten"      double   which change the export and so must survive a reopen
//   "CanvasOffset"          point
//   "preview"               bytes    a small JPEG of the composed picture; never read
//
// The two mask keys are present only when the document's canvas paints a mask. A picture that
// several boxes, runs or fills use is stored once, where it is first used, and referred to
// everywhere else (ArchiveFormat.h); files that hold a copy at every use read the copies as the
// one picture.
//
// Reading validates everything: a missing or unreadable number reads 0, a bad slider 0, a bad
// canvas setting its neutral value; a mask that cannot be read or does not fit the picture is
// left out (maskLeftOut), box records of the wrong structure are skipped (and counted), a box
// layer that cannot be read at all is left out (boxLayerLeftOut), a value longer than a box
// keeps (a text, a gradient's stops, a shape's points) is cut to the limit (cuts); each with a
// line in the "quillmark.app" log.
// A file is refused as a whole when it is no archive, is damaged, has no version we read, or
// has more boxes than kMaxBoxes; the error says why (DocumentError::reason).
//
// Writing keeps to the same bounds as reading (the archive's limits, kMaxBoxes, one picture
// budget for the picture and the boxes' pictures together): a file that could not be read back
// is not written.
#include "container/ContainerSnapshot.h"
#include "platform/archive/KeyedUnarchiver.h"
#include "platform/document/DocumentError.h"
#include "platform/geometry/Point.h"

#include <QByteArray>
#include <QImage>
#include <QMap>
#include <QSize>
#include <QString>
#include <atomic>
#include <optional>
#include <variant>

// The brush mask: 16-bit premultiplied pixels and their scale to the working picture.
struct DocumentMask {
    QImage image; // Format_RGBA64_Premultiplied; null when the canvas has no mask yet
    double scale = 1.0;
};

// Everything a document file holds, as plain values.
struct DocumentContents {
    QByteArray imageData;
    // The picture sliders' positions by document key ("Aperture", ...). On reading, a key the
    // file does not have is absent, and the window leaves that slider at its start.
    QMap<QString, double> pictureSliders;
    QString preset; // null: no preset chosen
    // Only for canvases that paint a mask; on reading, present whenever the file had either key.
    std::optional<DocumentMask> mask;
    // Absent when the file holds no readable box layer (nothing to apply).
    std::optional<ContainerSnapshot> boxes;
    double canvasScale = 1.0;
    double straighten = 0.0;
    platform::Point offset;
    // Written on every save (the app composes it); never read back.
    QByteArray preview;
    // Reading only: the box records in the file that could not be read and were left out.
    int leftOutBoxes = 0;
    // Reading only: the box layer itself could not be read (of the wrong kind, without its
    // records, missing, or written twice), so whatever boxes it held were left out.
    bool boxLayerLeftOut = false;
    // Reading only: the file held a mask that could not be read (not a PNG, too large, or not
    // fitting the picture), which was left out.
    bool maskLeftOut = false;
    // Reading only: values of the boxes longer than a box keeps, each kept in part (a text of
    // more than a million characters, a gradient of more than 1,000 stops, ...).
    std::vector<platform::ArchiveCut> cuts;

    // Whether reading left anything of the file out: saving over it would lose it.
    bool leftContentOut() const
    {
        return leftOutBoxes > 0 || boxLayerLeftOut || maskLeftOut || !cuts.empty();
    }
};

class DocumentFile {
public:
    static constexpr double kVersion = 1.2;
    // Files of this version and later were made by a newer, incompatible Quillmark.
    static constexpr double kNewerVersion = 2.0;
    static constexpr int kInvalidVersionCode = 1000;
    // Masks are made with their longer side at this many pixels at most.
    static constexpr int kMaxMaskSide = 512;
    // More boxes than this are neither written nor read. The archive's value limit must hold
    // this many boxes of the usual kinds (about 250 values each).
    static constexpr int kMaxBoxes = 5000;
    // How many full-size copies of its picture a picture box holds at most once shown.
    static constexpr int kBoxPictureCopies = 3;

    using ReadResult = std::variant<DocumentContents, platform::DocumentError>;

    // Parses and validates a whole file once. The picture itself is not decoded (only its
    // header, to check the mask against its size): an unreadable picture is the caller's to
    // report, as with a new document.
    static ReadResult read(const QByteArray& data);
    // The file's bytes; empty (with a log line) when the archive could not be written, with
    // the reason for the person in *whyNot when given. Each distinct picture is written once
    // and counted against the picture budget once; pictures over the budget are refused by
    // their pixel counts before any is encoded, and those to encode are encoded side by side
    // on the worker threads (a picture read or saved before keeps its bytes and is not encoded
    // again). When *cancelled becomes true the write stops early and answers empty. Touches
    // nothing but contents: it may run off the main thread.
    static QByteArray write(const DocumentContents& contents, QString* whyNot = nullptr,
        const std::atomic_bool* cancelled = nullptr);
    // Why a document of this many boxes cannot be written, or nothing when it can: known
    // before any box is captured or encoded.
    static std::optional<QString> boxCountRefusal(std::size_t boxes);

    // The mask scale a new mask gets for a working picture of this size.
    static double standardMaskScale(QSize workingSize);
    // The 16-bit PNG form of a mask, and back (null on failure). The pixels are premultiplied
    // and unpremultiplied here by hand, since Qt's own conversion squares alpha.
    static QByteArray encodeMask(const QImage& premultiplied);
    static QImage decodeMask(const QByteArray& png);
};
