// A document's edited state, reading, atomic saving with its failures, and the "save changes?"
// question before closing.
#include "DocumentFakes.h"
#include "platform/archive/KeyedArchiver.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <optional>
#include <sys/resource.h>

using namespace documenttest;
using platform::SaveChangesAnswer;

namespace {

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// Scripted presenters and a folder holding a.quillmark with the bytes "old".
struct OldFile {
    ScriptedPresenters presenters;
    QTemporaryDir dir;
    QString path = dir.filePath("a.quillmark");
    OldFile() { writeFile(path, "old"); }
};

TEST(Document, EditedStateFollowsTheUndoHistoryAndTheFile)
{
    enum Step { Read, Change, Undo, Redo, Save };
    struct Row {
        const char* what;
        Step step;
        bool edited;
    };
    const Row rows[] = {
        { "read from a file: clean", Read, false },
        { "a change: edited", Change, true },
        { "undone back to the file: clean", Undo, false },
        { "redone: edited", Redo, true },
        { "saved: clean", Save, false },
        { "undone past the save: edited", Undo, true },
        { "redone to the save: clean", Redo, false },
    };
    ScriptedPresenters presenters;
    QTemporaryDir dir;
    const QString path = dir.filePath("a.quillmark");
    writeFile(path, "abc");
    BytesDocument document;
    EXPECT_TRUE(document.isDocumentEdited()) << "a document with no file is edited";
    int editedSignals = 0;
    QObject::connect(&document, &platform::Document::editedChanged, [&] { ++editedSignals; });
    int expectedSignals = 0;
    bool was = true;
    for (const Row& row : rows) {
        switch (row.step) {
        case Read:
            ASSERT_FALSE(document.readFromFile(path));
            break;
        case Change:
            document.change();
            break;
        case Undo:
            document.undoManager().undo();
            break;
        case Redo:
            document.undoManager().redo();
            break;
        case Save:
            ASSERT_TRUE(document.save());
            break;
        }
        EXPECT_EQ(document.isDocumentEdited(), row.edited) << row.what;
        expectedSignals += row.edited != was;
        was = row.edited;
        EXPECT_EQ(editedSignals, expectedSignals) << row.what;
    }
    EXPECT_EQ(fileBytes(path), "abcx");
    EXPECT_TRUE(presenters.alerts->messages.isEmpty());
}

TEST(Document, ReadingTakesThePathOnlyOnSuccess)
{
    QTemporaryDir dir;
    const QString good = dir.filePath("good.quillmark");
    const QString bad = dir.filePath("bad.quillmark");
    const QString huge = dir.filePath("huge.quillmark");
    writeFile(good, "contents");
    writeFile(bad, "BAD file");
    {
        QFile file(huge);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(platform::Document::kMaxFileBytes + 1)); // sparse: no disk used
    }
    struct Row {
        const char* what;
        QString path;
        bool opens;
        QString errorDomain;
    };
    const Row rows[] = {
        { "readable", good, true, {} },
        { "refused by the document", bad, false, "Invalid Version" },
        { "missing file", dir.filePath("none.quillmark"), false, platform::kFileErrorDomain },
        { "a folder", dir.path(), false, platform::kFileErrorDomain },
        { "over the size bound", huge, false, platform::kFileErrorDomain },
    };
    for (const Row& row : rows) {
        BytesDocument document;
        const auto error = document.readFromFile(row.path);
        EXPECT_EQ(!error, row.opens) << row.what;
        if (error) {
            EXPECT_EQ(error->domain, row.errorDomain) << row.what;
            EXPECT_FALSE(error->message().isEmpty()) << row.what;
            EXPECT_TRUE(document.filePath().isEmpty()) << row.what;
            EXPECT_TRUE(document.isDocumentEdited()) << row.what;
        } else {
            EXPECT_EQ(document.filePath(), row.path) << row.what;
            EXPECT_EQ(document.displayName(), "good") << row.what;
            EXPECT_EQ(document.contents, "contents") << row.what;
        }
    }
}

TEST(Document, SaveAsAsksForANameAndAppendsTheSuffix)
{
    struct Row {
        const char* what;
        std::optional<QString> answer; // relative to the temporary folder
        QString written; // relative; empty: nothing written
    };
    const Row rows[] = {
        { "name without suffix", QString("doc"), "doc.quillmark" },
        { "name with suffix", QString("doc.quillmark"), "doc.quillmark" },
        { "suffix in capitals kept", QString("doc.QUILLMARK"), "doc.QUILLMARK" },
        { "another suffix gets ours too", QString("photo.png"), "photo.png.quillmark" },
        { "cancelled", std::nullopt, {} },
    };
    for (const Row& row : rows) {
        ScriptedPresenters presenters;
        QTemporaryDir dir;
        BytesDocument document;
        document.contents = "data";
        presenters.panels->saveAnswers.push_back(
            row.answer ? std::optional(dir.filePath(*row.answer)) : std::nullopt);
        const bool saved = document.save(); // no file yet: save runs save-as
        ASSERT_EQ(presenters.panels->saveRequests.size(), 1u) << row.what;
        EXPECT_EQ(presenters.panels->saveRequests[0].defaultName, "Draft.quillmark") << row.what;
        EXPECT_EQ(saved, !row.written.isEmpty()) << row.what;
        if (row.written.isEmpty()) {
            EXPECT_TRUE(document.filePath().isEmpty()) << row.what;
            EXPECT_TRUE(document.isDocumentEdited()) << row.what;
            EXPECT_TRUE(QDir(dir.path()).isEmpty()) << row.what;
            continue;
        }
        EXPECT_EQ(document.filePath(), dir.filePath(row.written)) << row.what;
        EXPECT_EQ(fileBytes(dir.filePath(row.written)), "data") << row.what;
        EXPECT_FALSE(document.isDocumentEdited()) << row.what;
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 1) << "no temporary left";
    }
}

// Makes this process's writes fail past a size, as on a full disk (EFBIG in place of ENOSPC),
// while it lives.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        m_savedHandler = std::signal(SIGXFSZ, SIG_IGN); // a failed write, not a dead process
        rlimit limit = m_saved;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_savedHandler);
    }

private:
    rlimit m_saved {};
    void (*m_savedHandler)(int) = nullptr;
};

TEST(Document, FailedSaveKeepsTheOldFileAndTheEditedState)
{
    enum Fault { ContentsFail, FolderMissing, DiskFull };
    struct Row {
        const char* what;
        Fault fault;
    };
    const Row rows[] = {
        { "the document cannot produce its bytes", ContentsFail },
        { "the folder chosen is missing", FolderMissing },
        { "the disk fills during the write", DiskFull },
    };
    for (const Row& row : rows) {
        OldFile files;
        auto& [presenters, dir, path] = files;
        BytesDocument document;
        ASSERT_FALSE(document.readFromFile(path));
        document.change();
        document.failWrite = row.fault == ContentsFail;
        if (row.fault == DiskFull)
            document.contents = QByteArray(2 * 1024 * 1024, 'n');
        const QString target
            = row.fault == FolderMissing ? dir.filePath("missing/b.quillmark") : path;
        if (row.fault == FolderMissing)
            presenters.panels->saveAnswers.push_back(target);
        bool saved = false;
        {
            std::optional<FileSizeLimit> full;
            if (row.fault == DiskFull)
                full.emplace(1024 * 1024);
            saved = row.fault == FolderMissing ? document.saveAs() : document.save();
        }
        EXPECT_FALSE(saved) << row.what;
        EXPECT_EQ(fileBytes(path), "old") << row.what;
        EXPECT_TRUE(document.isDocumentEdited()) << row.what;
        EXPECT_EQ(document.filePath(), path) << row.what;
        ASSERT_EQ(presenters.alerts->messages.size(), 1) << row.what;
        EXPECT_TRUE(presenters.alerts->messages[0].contains("\u201ca\u201d")) << row.what;
        EXPECT_FALSE(presenters.alerts->messages[0].contains("Unknown error"))
            << row.what << ": says why";
        if (row.fault != ContentsFail) {
            EXPECT_TRUE(presenters.alerts->messages[0].contains(QDir::toNativeSeparators(target)))
                << row.what << ": names the path";
        }
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList { "a.quillmark" })
            << row.what << ": no temporary left";
    }
}

TEST(Document, CanCloseAsksOnlyWhenEdited)
{
    struct Row {
        const char* what;
        bool hasFile;
        bool changed;
        std::optional<SaveChangesAnswer> answer; // nothing: no question expected
        bool saveFails; // the save panel is cancelled (untitled) or the write fails
        bool mayClose;
        QByteArray fileAfter;
    };
    const Row rows[] = {
        { "clean: closes without a question", true, false, std::nullopt, false, true, "old" },
        { "edited, don't save", true, true, SaveChangesAnswer::DontSave, false, true, "old" },
        { "edited, cancel", true, true, SaveChangesAnswer::Cancel, false, false, "old" },
        { "edited, save", true, true, SaveChangesAnswer::Save, false, true, "oldx" },
        { "edited, save fails", true, true, SaveChangesAnswer::Save, true, false, "old" },
        { "untitled, save, panel cancelled", false, false, SaveChangesAnswer::Save, true, false,
            "old" },
        { "untitled, don't save", false, false, SaveChangesAnswer::DontSave, false, true, "old" },
    };
    for (const Row& row : rows) {
        OldFile files;
        auto& [presenters, dir, path] = files;
        BytesDocument document;
        document.draftName = "Untitled draft";
        if (row.hasFile) {
            ASSERT_FALSE(document.readFromFile(path));
        }
        if (row.changed)
            document.change();
        if (row.answer)
            presenters.panels->saveChangesAnswers.push_back(*row.answer);
        document.failWrite = row.saveFails;
        EXPECT_EQ(document.canClose(), row.mayClose) << row.what;
        EXPECT_EQ(presenters.panels->saveChangesAsked.size(), row.answer ? 1 : 0) << row.what;
        if (row.answer) {
            EXPECT_EQ(presenters.panels->saveChangesAsked[0], row.hasFile ? "a" : "Untitled draft");
        }
        EXPECT_EQ(fileBytes(path), row.fileAfter) << row.what;
    }
}

TEST(Document, DraftNameIsAskedOnce)
{
    struct CountingDocument : BytesDocument {
        mutable int asked = 0;
        QString defaultDraftName() const override { return QString("Draft %1").arg(++asked); }
    } document;
    EXPECT_EQ(document.displayName(), "Draft 1");
    EXPECT_EQ(document.displayName(), "Draft 1");
}

} // namespace

// A save killed between linking its temporary file and renaming it leaves "<name>.XXXXXX"
// beside the document, whole. The next open or save of that document removes such leftovers,
// and nothing else: not a save under way (fresh), not a person's own file of a like name.
TEST(Document, OpenAndSaveSweepStaleTemporaryFilesOfOurs)
{
    platform::KeyedArchiver archiver;
    archiver.encodeDouble("Version", 1.2);
    const QByteArray document = archiver.finishEncoding();
    const QDateTime old = QDateTime::currentDateTime().addSecs(-3600);
    struct Row {
        const char* name;
        QByteArray bytes;
        bool stale;
        bool removed;
    };
    const Row rows[] = {
        { "a.quillmark.AbXyQz", document, true, true },
        { "a.quillmark.qWERTY", document.left(12), true, true }, // cut short
        { "a.quillmark.AbXyQw", document, false, false }, // a save under way
        { "a.quillmark.backup", document, true, false }, // one case: a person's name
        { "a.quillmark.AbXy12", document, true, false }, // digits: not the save's
        { "a.quillmark.AbXyQzz", document, true, false },
        { "b.quillmark.AbXyQz", document, true, false }, // another document's
        { "a.quillmark.TextQz", "some notes", true, false }, // not a document
    };
    for (const bool bySave : { false, true }) {
        SCOPED_TRACE(bySave ? "save" : "open");
        OldFile f;
        for (const Row& row : rows) {
            const QString path = f.dir.filePath(row.name);
            writeFile(path, row.bytes);
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::ReadWrite));
            if (row.stale)
                ASSERT_TRUE(file.setFileTime(old, QFileDevice::FileModificationTime));
        }
        BytesDocument doc;
        if (bySave) {
            ASSERT_FALSE(doc.writeToFile(f.path));
        } else {
            ASSERT_FALSE(doc.readFromFile(f.path));
        }
        for (const Row& row : rows)
            EXPECT_EQ(QFileInfo::exists(f.dir.filePath(row.name)), !row.removed) << row.name;
    }
}

namespace {

// Two drafts opened in the same minute get names of their own (the Window menu lists both
// apart); a name is free again once its document is gone.
TEST(Document, DraftNamesOfOpenDocumentsDiffer)
{
    struct SameMinute : BytesDocument {
        QString defaultDraftName() const override { return QStringLiteral("Quillmark 8.08 AM"); }
    };
    auto first = std::make_unique<SameMinute>();
    SameMinute second, third;
    EXPECT_EQ(first->displayName(), "Quillmark 8.08 AM");
    EXPECT_EQ(second.displayName(), "Quillmark 8.08 AM (2)");
    first.reset();
    EXPECT_EQ(third.displayName(), "Quillmark 8.08 AM");
    EXPECT_EQ(second.displayName(), "Quillmark 8.08 AM (2)") << "a title never changes";
}

} // namespace
