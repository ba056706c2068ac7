// The document class: which bytes make a document, the order in which a window is loaded and
// restored, the draft name, and a save that reopens as it was.
#include "AppFakes.h"
#include "platform/archive/KeyedArchiver.h"
#include "support/NamedCase.h"
#include "support/PictureFiles.h"

#include <gtest/gtest.h>

using namespace apptest;

namespace {

QByteArray pngClaiming(quint32 width, quint32 height)
{
    return testsupport::pngClaiming(pictureBytes({ 4, 4 }, "png"), width, height);
}

QByteArray jpegClaiming(quint16 width, quint16 height)
{
    return testsupport::jpegClaiming(pictureBytes({ 16, 16 }, "jpeg"), width, height);
}

struct PictureRow {
    const char* name;
    QByteArray bytes;
    const char* says; // the reason given; null when the picture opens
};

class PictureBytes : public ::testing::TestWithParam<PictureRow> { };

// A picture is decoded before any window is made; a refusal names the file and the reason.
TEST_P(PictureBytes, DecodeBeforeAnyWindow)
{
    AppFixture fixture;
    std::optional<platform::DocumentError> error;
    auto document = ColorDocument::fromPicture(GetParam().bytes, &error, "/pictures/photo.jpg");
    const bool opens = !GetParam().says;
    EXPECT_EQ(document != nullptr, opens);
    EXPECT_EQ(FakeWindow::made, 0);
    if (opens) {
        EXPECT_FALSE(error);
        EXPECT_TRUE(document->isDocumentEdited()) << "a picture document has no file yet";
        EXPECT_EQ(document->imageData(), GetParam().bytes);
        EXPECT_TRUE(document->displayName().startsWith("Quillmark "));
    } else {
        ASSERT_TRUE(error);
        // The system's words only where they fit the reason: a format refusal.
        const QString reason(GetParam().says);
        const bool ofFormat = reason.contains("format") || reason.contains("not a Quillmark");
        EXPECT_EQ(error->refusingFile("/pictures/photo.jpg").message(),
            "\u201cphoto.jpg\u201d could not be opened: " + reason
                + (ofFormat ? ". Unsupported image format!" : "."));
    }
}

INSTANTIATE_TEST_SUITE_P(ColorDocument, PictureBytes,
    ::testing::Values(PictureRow { "png", pictureBytes({ 40, 30 }, "png"), nullptr },
        PictureRow { "jpeg", pictureBytes({ 40, 30 }, "jpeg"), nullptr },
        PictureRow { "empty", QByteArray(), "it is not a Quillmark document or a picture" },
        PictureRow { "text", QByteArray("not a picture at all"),
            "it is not a Quillmark document or a picture" },
        PictureRow {
            "cut_png", pictureBytes({ 40, 30 }, "png").left(60), "it is damaged (cut short)" },
        PictureRow {
            "cut_jpeg", pictureBytes({ 40, 30 }, "jpeg").chopped(40), "it is damaged (cut short)" },
        PictureRow { "header_40000_square", pngClaiming(40000, 40000),
            "it is a picture larger than can be opened (40000 \u00d7 40000 pixels)" },
        PictureRow { "gif", QByteArray::fromHex("47494638396101000100000000"),
            "it is in a picture format that is not supported (GIF)" },
        PictureRow { "header_checksum_control", pngClaiming(4, 4), nullptr }),
    testsupport::RowName());

TEST(ColorDocument, DraftNameFollowsTheDateFormat)
{
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    struct Row {
        QDateTime when;
        const char* expected;
    } rows[] = {
        { QDateTime(QDate(2026, 3, 7), QTime(21, 5)), "Quillmark 03-07-2026 at 9.05 PM" },
        { QDateTime(QDate(2026, 12, 31), QTime(0, 0)), "Quillmark 12-31-2026 at 12.00 AM" },
        { QDateTime(QDate(2027, 1, 2), QTime(12, 30)), "Quillmark 01-02-2027 at 12.30 PM" },
    };
    for (const Row& row : rows)
        EXPECT_EQ(ColorDocument::draftNameAt(row.when), row.expected);
    QLocale::setDefault(previous);
}

// A new document loads its picture and asks for the first render a turn later; a read file
// restores its contents in between. Nothing renders while the load is still on the stack.
TEST(ColorDocument, WindowLoadOrder)
{
    AppSession s;
    ASSERT_TRUE(s.open(s.picture()));
    EXPECT_EQ(callLog(), QStringList { "loadPicture" });
    spin(20);
    EXPECT_EQ(callLog(), (QStringList { "loadPicture", "requestSaturation" }));

    DocumentContents contents;
    contents.imageData = pictureBytes({ 32, 24 }, "jpeg");
    contents.pictureSliders["Aperture"] = 0.25;
    contents.preset = "Warm";
    const QString docPath = s.dir.filePath("saved.quillmark");
    ASSERT_TRUE(writeFile(docPath, DocumentFile::write(contents)));
    callLog().clear();
    auto opened = s.controller.openDocumentWithContentsOfFile(docPath);
    ASSERT_TRUE(opened.document) << opened.error->message().toStdString();
    EXPECT_FALSE(opened.document->isDocumentEdited());
    EXPECT_EQ(callLog(), (QStringList { "loadPicture", "applyContents" }));
    spin(20);
    EXPECT_EQ(callLog().last(), "requestSaturation");
    auto* window
        = static_cast<FakeWindow*>(static_cast<ColorDocument*>(opened.document)->windowPort());
    EXPECT_EQ(window->state.pictureSliders.value("Aperture"), 0.25);
    EXPECT_EQ(window->state.preset, "Warm");
    EXPECT_EQ(window->pictureBytes, contents.imageData);
}

struct RefusedRow {
    const char* name;
    QByteArray file;
    QString domain;
    int code;
    QString message; // what the person is told
};

const QString kInvalidVersion
    = QStringLiteral("The operation couldn\u2019t be completed. (Invalid Version error 1000.)");

QByteArray archiveWithVersion(double version, const QByteArray& picture)
{
    platform::KeyedArchiver archiver;
    archiver.encodeDouble("Version", version);
    archiver.encodeBytes("ImageData", picture);
    return archiver.finishEncoding();
}

class RefusedFiles : public ::testing::TestWithParam<RefusedRow> { };

// A refused file makes no document and no window: the error goes to the caller as it is.
TEST_P(RefusedFiles, NoDocumentNoWindow)
{
    AppSession s;
    const QString path = s.dir.filePath("file.quillmark");
    ASSERT_TRUE(writeFile(path, GetParam().file));
    const auto result = s.controller.openDocumentWithContentsOfFile(path);
    EXPECT_FALSE(result.document);
    ASSERT_TRUE(result.error);
    EXPECT_EQ(result.error->domain, GetParam().domain);
    EXPECT_EQ(result.error->code, GetParam().code);
    EXPECT_EQ(result.error->message(), GetParam().message);
    EXPECT_EQ(FakeWindow::made, 0);
    EXPECT_TRUE(s.controller.documents().empty());
}

INSTANTIATE_TEST_SUITE_P(ColorDocument, RefusedFiles,
    ::testing::Values(RefusedRow { "old_version", archiveWithVersion(1.19, pictureBytes({ 8, 8 })),
                          "Invalid Version", 1000,
                          "\u201c"
                          "file.quillmark\u201d could not be opened: it was made by an old "
                          "version (1.19) that cannot be opened. "
                              + kInvalidVersion },
        RefusedRow { "newer_version", archiveWithVersion(2.5, pictureBytes({ 8, 8 })),
            "Invalid Version", 1000,
            "\u201c"
            "file.quillmark\u201d could not be opened: it was made by a newer version of "
            "Quillmark (2.5). "
                + kInvalidVersion },
        RefusedRow { "cut_short", archiveWithVersion(1.2, pictureBytes({ 8, 8 })).left(60),
            "Invalid Version", 1000,
            "\u201c"
            "file.quillmark\u201d could not be opened: it is damaged (cut short)." },
        RefusedRow { "unreadable_picture", archiveWithVersion(1.2, "GIF89a nonsense"),
            platform::kDocumentErrorDomain, 4,
            "\u201cfile.quillmark\u201d could not be opened: its picture is in a picture format "
            "that is not supported (GIF). Unsupported image format!" },
        RefusedRow { "no_picture", archiveWithVersion(1.3, {}), platform::kDocumentErrorDomain, 4,
            "\u201cfile.quillmark\u201d could not be opened: its picture cannot be read. "
            "Unsupported image format!" },
        RefusedRow { "picture_too_large", archiveWithVersion(1.2, jpegClaiming(30000, 30000)),
            platform::kDocumentErrorDomain, 4,
            "\u201cfile.quillmark\u201d could not be opened: its picture is larger than can "
            "be opened (30000 \u00d7 30000 pixels)." },
        RefusedRow { "cut_picture_with_document_suffix", pictureBytes({ 8, 8 }, "png").left(40),
            platform::kDocumentErrorDomain, 4,
            "\u201cfile.quillmark\u201d could not be opened: it is damaged (cut short)." }),
    testsupport::RowName());

// A window that cannot show the picture: the alert, then the document closes itself.
TEST(ColorDocument, WindowFailureClosesTheDocument)
{
    AppSession s;
    FakeWindow::refusePictures = true;
    ASSERT_TRUE(s.open(s.picture()));
    EXPECT_EQ(s.fixture.alerts->messages,
        QStringList { "\u201cphoto.png\u201d could not be opened. Unsupported image format!" });
    spin(40);
    EXPECT_TRUE(s.controller.documents().empty());
    EXPECT_TRUE(s.welcome.visible);
    EXPECT_FALSE(callLog().contains("requestSaturation"));
}

// Saved, closed without a question, reopened: the picture's bytes and the window's state come
// back as they were; a failed save keeps the document edited and the old file whole.
TEST(ColorDocument, SaveReopenAndFailedSave)
{
    AppSession s;
    const QString picturePath = s.picture("photo.jpg", { 120, 80 });
    const QByteArray picture = readFile(picturePath);
    auto* document = s.open(picturePath);
    ASSERT_TRUE(document);
    auto* window = static_cast<FakeWindow*>(document->windowPort());
    window->state.pictureSliders["Saturation"] = 0.7;
    window->state.pictureSliders["Vignette"] = 0.3;
    window->state.mask = DocumentMask { QImage(), 0.5 };

    QWidget* shown = document->window();
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->windowTitle(), document->displayName() + "[*]");
    EXPECT_TRUE(shown->isWindowModified()) << "a picture document is unsaved";

    const QString savePath = s.dir.filePath("kept.quillmark");
    s.fixture.panels->saveAnswers.push_back(savePath);
    ASSERT_TRUE(document->save());
    EXPECT_FALSE(document->isDocumentEdited());
    EXPECT_EQ(shown->windowTitle(), "kept[*]");
    EXPECT_FALSE(shown->isWindowModified());
    const QByteArray saved = readFile(savePath);
    EXPECT_TRUE(document->canClose());
    EXPECT_TRUE(s.fixture.panels->saveChangesAsked.isEmpty());
    document->close();
    spin(5);

    FakeWindow::registerWhileLoading = true;
    auto reopened = s.controller.openDocumentWithContentsOfFile(savePath);
    ASSERT_TRUE(reopened.document);
    auto* again = static_cast<ColorDocument*>(reopened.document);
    spin(5);
    EXPECT_FALSE(again->isDocumentEdited()) << "opening is no edit";
    EXPECT_FALSE(again->undoManager().canUndo()) << "nothing of the opening can be undone";
    FakeWindow::registerWhileLoading = false;
    EXPECT_EQ(again->imageData(), picture) << "picture bytes are never re-encoded";
    auto* restored = static_cast<FakeWindow*>(again->windowPort());
    EXPECT_EQ(restored->state.pictureSliders.value("Saturation"), 0.7);
    EXPECT_EQ(restored->state.pictureSliders.value("Vignette"), 0.3);
    ASSERT_TRUE(restored->state.mask);
    EXPECT_EQ(s.controller.openDocumentWithContentsOfFile(savePath).document, again)
        << "one file, one document";

    // A save that cannot be written (a folder that is not there; tests may run as root, for
    // whom a read-only folder is writable): alert, still edited, the old file whole.
    restored->state.pictureSliders["Saturation"] = 0.1;
    platform::UndoLifetime life;
    again->undoManager().registerUndo(again, life, [] {});
    again->undoManager().endGroup();
    ASSERT_TRUE(again->isDocumentEdited());
    s.fixture.panels->saveAnswers.push_back(s.dir.filePath("missing/kept.quillmark"));
    const int alertsBefore = int(s.fixture.alerts->messages.size());
    EXPECT_FALSE(again->saveAs());
    EXPECT_EQ(s.fixture.alerts->messages.size(), alertsBefore + 1);
    EXPECT_TRUE(again->isDocumentEdited());
    EXPECT_EQ(again->filePath(), QFileInfo(savePath).absoluteFilePath());
    EXPECT_EQ(readFile(savePath), saved);
}

// Boxes that cannot be read are left out with a word, and the document opens as an edited copy
// under the file's name: saving asks where, rather than overwrite the file with less.
TEST(ColorDocument, BoxesLeftOutAreToldAndTheFileIsNotOverwritten)
{
    AppSession s;
    DocumentContents contents;
    contents.imageData = pictureBytes({ 32, 24 }, "jpeg");
    UNDODATA text;
    text.type = UNDODATA::TextBox;
    UNDODATA unknown = text;
    unknown.type = 7;
    contents.boxes = ContainerSnapshot({ text, unknown, text });
    const QString path = s.dir.filePath("Trip.quillmark");
    ASSERT_TRUE(writeFile(path, DocumentFile::write(contents)));

    auto* document = s.open(path);
    ASSERT_TRUE(document);
    EXPECT_EQ(s.fixture.alerts->messages,
        QStringList { "1 box of \u201cTrip\u201d could not be read and was left out." });
    EXPECT_EQ(ColorDocument::leftOutMessage(3, "Trip"),
        "3 boxes of \u201cTrip\u201d could not be read and were left out.");
    auto* window = static_cast<FakeWindow*>(document->windowPort());
    ASSERT_TRUE(window->state.boxes);
    EXPECT_EQ(window->state.boxes->size(), 2u);
    spin(5);
    EXPECT_TRUE(document->isDocumentEdited());
    EXPECT_TRUE(document->filePath().isEmpty());
    EXPECT_EQ(document->window()->windowTitle(), "Trip[*]");

    const QString copy = s.dir.filePath("Trip again.quillmark");
    s.fixture.panels->saveAnswers.push_back(copy);
    ASSERT_TRUE(document->save());
    ASSERT_EQ(s.fixture.panels->saveRequests.size(), 1u);
    EXPECT_EQ(s.fixture.panels->saveRequests[0].defaultName, "Trip.quillmark");
    EXPECT_EQ(s.fixture.panels->saveRequests[0].directory, QFileInfo(path).absolutePath());
    EXPECT_EQ(readFile(path), DocumentFile::write(contents)) << "the original is whole";
    EXPECT_EQ(document->filePath(), QFileInfo(copy).absoluteFilePath());
}

// A save past a limit of the file is refused before a byte is written, and says why.
TEST(ColorDocument, SavePastALimitKeepsTheOldFile)
{
    AppSession s;
    auto* document = s.open(s.picture());
    ASSERT_TRUE(document);
    const QString path = s.dir.filePath("kept.quillmark");
    s.fixture.panels->saveAnswers.push_back(path);
    ASSERT_TRUE(document->save());
    const QByteArray saved = readFile(path);

    UNDODATA text;
    text.type = UNDODATA::TextBox;
    auto* window = static_cast<FakeWindow*>(document->windowPort());
    window->state.boxes
        = ContainerSnapshot(std::vector<UNDODATA>(size_t(DocumentFile::kMaxBoxes + 1), text));
    EXPECT_FALSE(document->save());
    EXPECT_EQ(s.fixture.alerts->messages,
        QStringList { "The document \u201ckept\u201d could not be saved. It has 5001 boxes; a "
                      "document can keep at most 5000." });
    EXPECT_EQ(readFile(path), saved);
}

// A picture decoded from damaged data opens, and once its window shows the person is told,
// naming the file; a whole one says nothing.
TEST(ColorDocument, DamagedPictureOpensWithAWarning)
{
    AppSession s;
    const QByteArray jpeg = pictureBytes({ 64, 48 }, "jpeg");
    const QString torn = s.dir.filePath("torn.jpg");
    ASSERT_TRUE(writeFile(torn, testsupport::withStrayBytesBeforeEnd(jpeg)));
    ASSERT_TRUE(s.open(torn));
    EXPECT_EQ(s.fixture.alerts->messages,
        QStringList { "\u201ctorn.jpg\u201d is damaged; parts of it may look wrong." });
    ASSERT_TRUE(s.open(s.picture("whole.jpg")));
    EXPECT_EQ(s.fixture.alerts->messages.size(), 1);
}

// Every picture a document decodes comes out of one budget: the document's own picture
// first, its box pictures share what is left; a box picture refused leaves its box out and
// the document opens.
TEST(ColorDocument, OnePictureBudgetPerDocument)
{
    UNDODATA box;
    box.type = UNDODATA::ImageBox;
    QImage pixels(16, 9, QImage::Format_ARGB32_Premultiplied);
    pixels.fill(qRgb(200, 30, 40));
    box.orgImage = platform::Image::fromQImage(pixels);
    box.frame = platform::Rect(0, 0, 16, 9);
    // Written with small pictures, which the writer accepts, then made to claim the sizes
    // (the writer would not write what the reader refuses).
    const auto file = [&box](QSize pictureClaims, QSize boxClaims) {
        DocumentContents contents;
        contents.imageData = pictureBytes({ 32, 24 }, "jpeg");
        contents.boxes = ContainerSnapshot({ box });
        QByteArray bytes = DocumentFile::write(contents);
        if (pictureClaims.isValid())
            bytes = testsupport::jpegClaiming(bytes, pictureClaims.width(), pictureClaims.height());
        if (boxClaims.isValid())
            bytes = testsupport::pngClaiming(bytes, boxClaims.width(), boxClaims.height());
        return bytes;
    };
    // A real one-bit picture: 2.4 megabytes, 125 million budget pixels to decode.
    QImage mono(10000, 10000, QImage::Format_Mono);
    mono.fill(1);
    QByteArray monoPng;
    {
        QBuffer buffer(&monoPng);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter(&buffer, "png").write(mono);
    }
    const struct {
        const char* name;
        QByteArray file;
        std::size_t boxes;
    } rows[] = {
        { "small picture, small box", file({}, {}), 1 },
        { "a 16000 x 16000 picture leaves nothing for the box", file({ 16000, 16000 }, {}), 0 },
        { "a box picture of 30000 x 30000", file({}, { 30000, 30000 }), 0 },
        { "16000 x 16000 picture and box", file({ 16000, 16000 }, { 16000, 16000 }), 0 },
        { "a 10000 x 10000 box picture, shown three times over",
            testsupport::withPngReplaced(file({}, {}), monoPng), 0 },
    };
    for (const auto& row : rows) {
        const DocumentFile::ReadResult read = DocumentFile::read(row.file);
        const auto* contents = std::get_if<DocumentContents>(&read);
        ASSERT_TRUE(contents && contents->boxes) << row.name;
        EXPECT_EQ(contents->boxes->records().size(), row.boxes) << row.name;
    }
}

// A mask is checked against the picture as it shows, turned upright: a portrait photo stored
// sideways keeps its mask.
TEST(ColorDocument, MaskFitsTheUprightPicture)
{
    DocumentContents contents;
    contents.imageData = testsupport::withExifOrientation(pictureBytes({ 40, 20 }, "jpeg"), 6);
    QImage mask(10, 20, QImage::Format_RGBA64_Premultiplied);
    mask.fill(Qt::transparent);
    contents.mask = DocumentMask { mask, 0.5 };
    const DocumentFile::ReadResult read = DocumentFile::read(DocumentFile::write(contents));
    const auto* reopened = std::get_if<DocumentContents>(&read);
    ASSERT_TRUE(reopened && reopened->mask);
    EXPECT_EQ(reopened->mask->image.size(), QSize(10, 20));
}

} // namespace

// A document saved while a box was being typed in reopens with that box selected, not open for
// typing (the window would show no inspector for it and a click would only move a caret).
TEST(ColorDocument, ABoxSavedWhileTypedInReopensSelected)
{
    AppSession s;
    DocumentContents contents;
    contents.imageData = pictureBytes({ 32, 24 }, "jpeg");
    UNDODATA text;
    text.type = UNDODATA::TextBox;
    text.selected = true;
    text.isEditing = true;
    contents.boxes = ContainerSnapshot({ text });
    const QString path = s.dir.filePath("typing.quillmark");
    ASSERT_TRUE(writeFile(path, DocumentFile::write(contents)));
    auto* document = s.open(path);
    ASSERT_TRUE(document);
    const auto& boxes = static_cast<FakeWindow*>(document->windowPort())->state.boxes;
    ASSERT_TRUE(boxes && boxes->size() == 1u);
    EXPECT_FALSE(boxes->records()[0].isEditing);
    EXPECT_TRUE(boxes->records()[0].selected);
}

// Past the box limit a save is refused by the count alone: capturing and composing thousands of
// boxes took seconds only to be refused.
TEST(ColorDocument, TooManyBoxesAreRefusedBeforeAnythingIsCaptured)
{
    for (const int boxes : { DocumentFile::kMaxBoxes, DocumentFile::kMaxBoxes + 1 }) {
        AppSession s;
        auto* document = s.open(s.picture());
        ASSERT_TRUE(document);
        auto* window = static_cast<FakeWindow*>(document->windowPort());
        UNDODATA text;
        text.type = UNDODATA::TextBox;
        window->state.boxes = ContainerSnapshot(std::vector<UNDODATA>(size_t(boxes), text));
        callLog().clear();
        const QString path = s.dir.filePath("many.quillmark");
        s.fixture.panels->saveAnswers.push_back(path);
        const bool past = boxes > DocumentFile::kMaxBoxes;
        EXPECT_EQ(document->save(), !past) << boxes;
        EXPECT_EQ(QFileInfo::exists(path), !past) << boxes;
        if (past) {
            EXPECT_TRUE(callLog().isEmpty()) << callLog().join(", ").toStdString();
            ASSERT_EQ(s.fixture.alerts->messages.size(), 1);
            EXPECT_TRUE(s.fixture.alerts->messages.front().contains(
                "It has 5001 boxes; a document can keep at most 5000."));
        } else {
            EXPECT_TRUE(callLog().contains("captureContents"));
        }
    }
}
