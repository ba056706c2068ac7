#pragma once
// The document class: one picture with its sliders, preset, brush mask and boxes, shown in one
// document window, read from and written to the document file (DocumentFile).
//
// A document comes from a picture file's bytes (new, untitled, edited until first saved) or
// from a document file. A file some of whose boxes could not be read, or whose values were
// longer than a box keeps, opens as an edited copy under the file's name, and its window says
// what was left out or cut. Either way the picture is decoded before any window exists: bytes
// that do not decode give "Unsupported image format!", the file's name and the reason, and no
// document at all. A picture decoded from damaged data opens with a warning that says so, in
// the same alert as what was left out. A file is read and validated once; what it holds waits
// here until the window is made, then is restored into it in the file's order, and 1 ms later
// the window's first render is asked for.
//
// Main thread only.
#include "app/DocumentFile.h"
#include "app/DocumentWindowPort.h"
#include "platform/document/Document.h"
#include "platform/document/SharingService.h"
#include "platform/graphics/Image.h"
#include "platform/imaging/PictureLoader.h"

#include <QDateTime>
#include <QIODevice>
#include <QTemporaryDir>
#include <memory>
#include <optional>

class ColorDocument : public platform::Document {
    Q_OBJECT
public:
    static const QString kDocumentType; // "com.corvatile.quillmark.document"
    static const QString kUnsupportedImageFormat; // "Unsupported image format!"

    // An empty document, to read a file into.
    ColorDocument();
    ~ColorDocument() override;

    // A new untitled document from the bytes of the picture file at path; null with the
    // "Unsupported image format!" error, naming the file, when they do not decode.
    static std::unique_ptr<ColorDocument> fromPicture(const QByteArray& bytes,
        std::optional<platform::DocumentError>* error, const QString& path = {});

    // Where a picture came from, for what is said about it.
    struct PictureSource {
        QString path; // the file; empty when unknown
        bool inDocument = false; // the picture of a document file rather than a picture file
    };
    // What a person is told about a picture that did not load: "Unsupported image format!",
    // then which file and why. Also the warning for one that loaded damaged.
    static QString pictureRefusal(
        const PictureSource& source, const platform::LoadedPicture& picture);
    static QString damagedPictureWarning(const PictureSource& source);

    // What a document opened without some of its boxes tells the person, as the window shows.
    static QString leftOutMessage(int boxes, const QString& name);
    // Everything a read left out of the file, one sentence for each part: boxes one by one,
    // the box layer as a whole, the mask, the values cut.
    static QStringList leftOutMessages(const DocumentContents& contents, const QString& name);
    // What a read that kept values only in part, or left them out, tells the person: one
    // sentence for each kind of cut ("A text of “Trip” has 1,500,000 characters; only the first
    // 1,000,000 were kept.", "A box of “Trip” was opened without its frame, which could not be
    // read.").
    static QStringList cutMessages(
        const std::vector<platform::ArchiveCut>& cuts, const QString& name);
    // Everything opening the document named name tells the person, as the text of one alert: a
    // single message alone; several under a line naming the document, one line each, the
    // first kListedOpeningMessages of them and then how many more there are. Empty for none.
    static constexpr int kListedOpeningMessages = 5;
    static QString openingAlert(const QStringList& messages, const QString& name);

    // "Quillmark %@" filled with the date and time as "MM-dd-yyyy 'at' h.mm a".
    QString defaultDraftName() const override;
    static QString draftNameAt(const QDateTime& when);

    // Makes the window through the installed factory, loads the picture into it and restores a
    // read file. False when the window could not show the picture: the alert is shown and the
    // document closes itself 10 ms later.
    bool makeWindowAndLoad();
    DocumentWindowPort* windowPort() const { return m_port.get(); }

    // The picture file's bytes exactly as first read.
    const QByteArray& imageData() const { return m_imageData; }
    const platform::Image& picture() const { return m_picture; }

    // Export quality from the panel's percent: 0..1, NaN meaning best.
    static double exportQuality(double percent);
    // The composed picture at exactly its pixel size as JPEG bytes; empty when the composition
    // or the encoding failed.
    QByteArray exportImageData(double quality) const;
    // The same JPEG, streamed to device as the composition is made; the reason when it could
    // not be composed or written (device then holds part of a file), empty when it was.
    QString writeExport(QIODevice& device, double quality) const;
    // Writes the same JPEG to path atomically: on failure nothing is left at path (or what
    // was there stays).
    std::optional<platform::DocumentError> exportJpeg(const QString& path, double quality) const;
    // "Export JPEG image": the panel, the file, then the rating prompt. A failed write is shown
    // and asks for no rating. True when a file was written.
    bool exportImage();
    // "Save Quillmark document": save as, and the rating prompt only when it was saved.
    bool saveQuillmarkDocument();
    // A share menu service: the composed picture as "quillmarkout.jpg" in this document's
    // private folder, handed to the service; the rating prompt after a completed share, an
    // alert when it failed. False when the file could not be made.
    bool shareWithItem(const std::shared_ptr<platform::SharingService>& service);
    // The folder the shared picture is written to; empty until the first share.
    QString shareFolder() const;

protected:
    // The archive reader's own bound: a larger document could never be read, so none of it is.
    qint64 maxFileBytes() const override;
    std::optional<platform::DocumentError> readFromData(const QByteArray& data) override;
    std::variant<QByteArray, platform::DocumentError> dataOfType() const override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The picture, the boxes and the masked picture at exactly the picture's pixel size; null
    // when that cannot be made.
    QImage composeForExport() const;
    // Decodes the picture into this document; the refusal when it does not decode.
    std::optional<platform::DocumentError> takePicture(
        const QByteArray& bytes, const PictureSource& source);
    void failLoading();
    // The window's title is the document's name, marked while there are unsaved changes.
    void showTitle();

    QByteArray m_imageData;
    QString m_picturePath; // the file the picture came from (a picture, or the document)
    std::unique_ptr<QTemporaryDir> m_shareFolder;
    platform::Image m_picture;
    // Shown once the window shows the picture: it was decoded from damaged data.
    QString m_pictureWarning;
    // What a read file holds beyond the picture, until the window has restored it.
    std::optional<DocumentContents> m_pendingRestore;
    std::unique_ptr<DocumentWindowPort> m_port;
};
