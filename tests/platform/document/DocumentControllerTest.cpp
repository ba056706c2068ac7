// The controller: what a file's first bytes make of it, opening each file once, the add and
// remove hooks, the current document, and closing everything on quit.
#include "platform/document/DocumentController.h"

#include "DocumentFakes.h"
#include "platform/archive/KeyedArchiver.h"
#include "support/ProgressWatcher.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QWidget>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace documenttest;
using platform::Document;
using platform::DocumentController;
using platform::DocumentKind;

namespace {

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray archive()
{
    platform::KeyedArchiver archiver;
    archiver.encodeDouble("Version", 1.2);
    return archiver.finishEncoding();
}

// A file on a slow disk: its bytes take ms to arrive, unless the reading is cancelled.
class SlowFileDocument : public BytesDocument {
public:
    explicit SlowFileDocument(int ms)
        : m_ms(ms)
    {
    }

protected:
    std::variant<QByteArray, platform::DocumentError> readFileContents(
        const QString& path, const std::atomic_bool& cancelled) const override
    {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < m_ms) {
            if (cancelled)
                return platform::DocumentError::cancellation();
            QThread::msleep(5);
        }
        return BytesDocument::readFileContents(path, cancelled);
    }

private:
    int m_ms;
};

// Makes BytesDocuments (slow to read when readMs is set); pictures become untitled documents
// holding the picture's bytes.
class TestController : public DocumentController {
public:
    QStringList events;
    bool untitledFails = false;
    int readMs = 0;

protected:
    std::unique_ptr<Document> makeDocument() override
    {
        if (readMs > 0)
            return std::make_unique<SlowFileDocument>(readMs);
        return std::make_unique<BytesDocument>();
    }
    std::unique_ptr<Document> makeUntitledDocument(
        std::optional<platform::DocumentError>* error) override
    {
        if (untitledFails) {
            *error = platform::DocumentError { "Test", 1, "no picture" };
            return nullptr;
        }
        return DocumentController::makeUntitledDocument(error);
    }
    std::unique_ptr<Document> makeDocumentFromPicture(
        const QByteArray& bytes, const QString&, std::optional<platform::DocumentError>*) override
    {
        auto document = std::make_unique<BytesDocument>();
        document->contents = "picture:" + bytes;
        return document;
    }
    void documentAdded(Document* d) override
    {
        events << "added " + static_cast<BytesDocument*>(d)->contents;
    }
    void documentRemoved(Document* d) override
    {
        events << "removed " + static_cast<BytesDocument*>(d)->contents;
    }
};

QByteArray contentsOf(Document* document)
{
    return static_cast<BytesDocument*>(document)->contents;
}

TEST(DocumentController, KindComesFromTheFirstBytes)
{
    const QByteArray header = archive().left(8);
    struct Row {
        const char* what;
        QByteArray bytes;
        DocumentKind kind;
    };
    const Row rows[] = {
        { "our archive", archive(), DocumentKind::Document },
        { "the header alone", header, DocumentKind::Document },
        { "self-describe tag without ours", QByteArray("\xd9\xd9\xf7\xa0", 4),
            DocumentKind::Picture },
        { "header cut short", header.left(7), DocumentKind::Picture },
        { "another archive tag", header.left(7) + char(0x02), DocumentKind::Picture },
        { "JPEG", QByteArray("\xff\xd8\xff\xe0", 4), DocumentKind::Picture },
        { "PNG", QByteArray("\x89PNG\r\n\x1a\n"), DocumentKind::Picture },
        { "empty", QByteArray(), DocumentKind::Picture },
    };
    QTemporaryDir dir;
    for (const Row& row : rows) {
        EXPECT_EQ(DocumentController::kindOfData(row.bytes), row.kind) << row.what;
        const QString path = dir.filePath("file");
        writeFile(path, row.bytes);
        EXPECT_EQ(DocumentController::kindOfFile(path), row.kind) << row.what << " (file)";
    }
    EXPECT_EQ(DocumentController::kindOfFile(dir.filePath("missing")), DocumentKind::Picture);
}

TEST(DocumentController, OpensEachFileOnce)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("a.quillmark");
    writeFile(path, archive());
    ASSERT_TRUE(QFile::link(path, dir.filePath("link.quillmark")));
    TestController controller;
    const auto first = controller.openDocumentWithContentsOfFile(path);
    ASSERT_TRUE(first.document);
    EXPECT_FALSE(first.alreadyOpen);
    EXPECT_FALSE(first.document->isDocumentEdited());
    for (const QString& same : { path, dir.path() + "/./a.quillmark",
             dir.path() + "/../" + QFileInfo(dir.path()).fileName() + "/a.quillmark",
             dir.filePath("link.quillmark") }) {
        const auto again = controller.openDocumentWithContentsOfFile(same);
        EXPECT_EQ(again.document, first.document) << same.toStdString();
        EXPECT_TRUE(again.alreadyOpen) << same.toStdString();
    }
    EXPECT_EQ(controller.documents().size(), 1u);
}

TEST(DocumentController, OpeningByKind)
{
    struct Row {
        const char* what;
        QByteArray bytes;
        bool opens;
        bool untitled;
        QByteArray contents;
    };
    const QByteArray refused = archive().left(8) + "BAD";
    const Row rows[] = {
        { "a document keeps its file", archive(), true, false, archive() },
        { "a picture opens untitled and edited", "\xff\xd8jpeg", true, true,
            "picture:\xff\xd8jpeg" },
        { "a document that refuses its bytes opens nothing", refused, false, false, {} },
    };
    for (const Row& row : rows) {
        QTemporaryDir dir;
        const QString path = dir.filePath("file.png");
        writeFile(path, row.bytes);
        TestController controller;
        const auto result = controller.openDocumentWithContentsOfFile(path);
        EXPECT_EQ(result.document != nullptr, row.opens) << row.what;
        EXPECT_EQ(result.error.has_value(), !row.opens) << row.what;
        EXPECT_EQ(controller.documents().size(), row.opens ? 1u : 0u) << row.what;
        EXPECT_EQ(controller.events.size(), row.opens ? 1 : 0) << row.what;
        if (!result.document)
            continue;
        EXPECT_EQ(result.document->filePath().isEmpty(), row.untitled) << row.what;
        EXPECT_EQ(result.document->isDocumentEdited(), row.untitled) << row.what;
        EXPECT_EQ(contentsOf(result.document), row.contents) << row.what;
        // A picture has no file, so opening it again makes a second document.
        const auto again = controller.openDocumentWithContentsOfFile(path);
        EXPECT_EQ(again.alreadyOpen, !row.untitled) << row.what;
        EXPECT_EQ(controller.documents().size(), row.untitled ? 2u : 1u) << row.what;
    }
}

TEST(DocumentController, NewAndOpenThroughPanels)
{
    ScriptedPresenters presenters;
    QTemporaryDir dir;
    const QString path = dir.filePath("p.jpg");
    writeFile(path, "jpeg");
    TestController controller;
    presenters.panels->openAnswers = { std::nullopt, path };
    EXPECT_EQ(controller.openDocument(), nullptr) << "cancelled";
    Document* opened = controller.openDocument();
    ASSERT_TRUE(opened);
    EXPECT_EQ(contentsOf(opened), "picture:jpeg");
    EXPECT_EQ(presenters.panels->openRequests.size(), 2u);

    presenters.panels->openAnswers = { dir.filePath("missing.quillmark") };
    EXPECT_EQ(controller.openDocument(), nullptr);
    EXPECT_EQ(presenters.alerts->messages.size(), 1) << "a failed open is shown";

    EXPECT_TRUE(controller.newDocument());
    controller.untitledFails = true;
    EXPECT_EQ(controller.newDocument(), nullptr);
    EXPECT_EQ(presenters.alerts->messages.size(), 2);
    EXPECT_EQ(presenters.alerts->messages.back(), "no picture");
    EXPECT_EQ(controller.documents().size(), 2u);
}

// A file that is slow to read leaves the application responsive: timers keep firing while
// File > Open reads it, a progress window shows, and its Cancel button gives up the opening
// with nothing opened and nothing to tell.
TEST(DocumentController, SlowFileOpensWithTheEventLoopTurning)
{
    struct Row {
        const char* name;
        bool pressCancel;
    };
    for (const Row& row : { Row { "read to its end", false }, Row { "cancelled", true } }) {
        SCOPED_TRACE(row.name);
        ScriptedPresenters presenters;
        QTemporaryDir dir;
        const QString path = dir.filePath("slow.quillmark");
        writeFile(path, archive());
        TestController controller;
        controller.readMs = row.pressCancel ? 20000 : 900;
        presenters.panels->openAnswers = { path };

        testsupport::ProgressWatcher watcher(row.pressCancel);
        QElapsedTimer clock;
        clock.start();
        Document* opened = controller.openDocument();
        watcher.stop();
        EXPECT_GE(watcher.ticks, 20) << "timers fired while the file was read";
        EXPECT_EQ(watcher.said, QStringLiteral("Opening \u201cslow.quillmark\u201d\u2026"));
        EXPECT_TRUE(presenters.alerts->messages.isEmpty());
        if (row.pressCancel) {
            EXPECT_EQ(opened, nullptr);
            EXPECT_TRUE(controller.documents().empty());
            EXPECT_LT(clock.elapsed(), 10000);
        } else {
            ASSERT_TRUE(opened);
            EXPECT_EQ(contentsOf(opened), archive());
            EXPECT_EQ(opened->filePath(), QFileInfo(path).absoluteFilePath());
        }
    }
}

TEST(DocumentController, CloseRemovesTheDocumentAndRunsTheHook)
{
    TestController controller;
    int changes = 0;
    QObject::connect(&controller, &DocumentController::documentsChanged, [&] { ++changes; });
    auto a = std::make_unique<BytesDocument>();
    a->contents = "a";
    auto b = std::make_unique<BytesDocument>();
    b->contents = "b";
    QPointer<Document> first = controller.addDocument(std::move(a));
    controller.addDocument(std::move(b));
    first->close();
    EXPECT_EQ(controller.events, QStringList({ "added a", "added b", "removed a" }));
    EXPECT_EQ(changes, 3);
    ASSERT_EQ(controller.documents().size(), 1u);
    EXPECT_EQ(contentsOf(controller.documents()[0]), "b");
    EXPECT_TRUE(first) << "deleted later, not inside its own close";
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(first);
    controller.removeDocument(nullptr); // unknown: ignored
    EXPECT_EQ(changes, 3);
}

TEST(DocumentController, QuitStopsAtTheFirstCancel)
{
    ScriptedPresenters presenters;
    TestController controller;
    for (const char* name : { "one", "two", "three" }) {
        auto document = std::make_unique<BytesDocument>();
        document->draftName = name;
        controller.addDocument(std::move(document));
    }
    presenters.panels->saveChangesAnswers
        = { platform::SaveChangesAnswer::DontSave, platform::SaveChangesAnswer::Cancel };
    EXPECT_FALSE(controller.closeAllDocuments());
    EXPECT_EQ(presenters.panels->saveChangesAsked, QStringList({ "one", "two" }));
    EXPECT_EQ(controller.documents().size(), 2u);

    presenters.panels->saveChangesAnswers
        = { platform::SaveChangesAnswer::DontSave, platform::SaveChangesAnswer::DontSave };
    EXPECT_TRUE(controller.closeAllDocuments());
    EXPECT_TRUE(controller.documents().empty());
}

TEST(DocumentController, CurrentDocumentOwnsTheActiveWindow)
{
    TestController controller;
    Document* a = controller.addDocument(std::make_unique<BytesDocument>());
    Document* b = controller.addDocument(std::make_unique<BytesDocument>());
    QWidget windowA, windowB;
    QWidget child(&windowB);
    a->setWindow(&windowA);
    b->setWindow(&child); // a document may name a widget inside its window
    EXPECT_EQ(controller.documentForWindow(&windowA), a);
    EXPECT_EQ(controller.documentForWindow(&windowB), b);
    EXPECT_EQ(controller.documentForWindow(nullptr), nullptr);

    windowB.show();
    windowB.activateWindow();
    QElapsedTimer timer;
    timer.start();
    while (QApplication::activeWindow() != &windowB && timer.elapsed() < 2000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    if (QApplication::activeWindow() != &windowB)
        GTEST_SKIP() << "this platform does not activate windows";
    EXPECT_EQ(controller.currentDocument(), b);
}

} // namespace

// Only regular files are read: a named pipe with no writer would block the open, and a device
// would never end. Files over the bound are refused by their size, before a byte is read (a
// sparse file stands in for one larger than memory). Each refusal names the file and says why.
TEST(DocumentController, OnlyRegularFilesWithinTheBoundAreRead)
{
    QTemporaryDir dir;
    const QString pipe = dir.filePath("x.quillmark");
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    const QString huge = dir.filePath("huge.png");
    {
        QFile file(huge);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(Document::kMaxFileBytes + 1)); // sparse: no disk used
    }
    struct Row {
        const char* what;
        QString path;
        QString says;
    };
    const Row rows[] = {
        { "a named pipe", pipe,
            "\u201cx.quillmark\u201d could not be opened: it is a named pipe, "
            "not a file." },
        { "a device", "/dev/zero",
            "\u201czero\u201d could not be opened: it is a device, not a file." },
        { "a folder", dir.path(),
            QStringLiteral("\u201c%1\u201d could not be opened: it is a folder, not a file.")
                .arg(QFileInfo(dir.path()).fileName()) },
        { "a file over the bound", huge,
            "\u201chuge.png\u201d could not be opened: it is 1.0 GB, larger than can be opened "
            "(1.0 GB)." },
    };
    for (const Row& row : rows) {
        EXPECT_EQ(DocumentController::kindOfFile(row.path), DocumentKind::Picture) << row.what;
        const auto bytes = Document::readFileBytes(row.path);
        ASSERT_TRUE(std::holds_alternative<platform::DocumentError>(bytes)) << row.what;
        EXPECT_EQ(std::get<platform::DocumentError>(bytes).message(), row.says) << row.what;
        TestController controller;
        const auto result = controller.openDocumentWithContentsOfFile(row.path);
        EXPECT_FALSE(result.document) << row.what;
        ASSERT_TRUE(result.error) << row.what;
        EXPECT_EQ(result.error->message(), row.says) << row.what;
        EXPECT_TRUE(controller.documents().empty()) << row.what;
    }
    // A smaller bound (a document's) is told with its own figure.
    const auto bounded = Document::readFileBytes(huge, qint64(512) * 1024 * 1024);
    ASSERT_TRUE(std::holds_alternative<platform::DocumentError>(bounded));
    EXPECT_EQ(std::get<platform::DocumentError>(bounded).reason,
        "it is 1.0 GB, larger than can be opened (512.0 MB)");
}
