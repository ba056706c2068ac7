// Saves that would replace another program's work ask first, and a save refused by the folder
// says which folder.
#include "DocumentFakes.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

using namespace documenttest;

namespace {

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        && file.write(bytes) == bytes.size();
}

// What another program does to the file between the document's read and its save.
enum class Elsewhere {
    Nothing,
    RewrittenLonger, // in place, another size
    RewrittenSameSizeLater, // in place, same size, a second later
    ReplacedKeepingTime, // its own atomic save: a new file renamed over, same size and time
    // In place, same size, its modification time put back: what a copy that keeps times does
    // onto the file (a rewrite at an offset, then the old times set again).
    RewrittenInPlaceKeepingTime,
    Removed,
};

void changeElsewhere(Elsewhere how, const QString& path)
{
    const QDateTime was = QFileInfo(path).lastModified();
    switch (how) {
    case Elsewhere::Nothing:
        return;
    case Elsewhere::RewrittenLonger:
        ASSERT_TRUE(writeFile(path, "theirs, longer"));
        return;
    case Elsewhere::RewrittenSameSizeLater: {
        ASSERT_TRUE(writeFile(path, "bbbb"));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(was.addSecs(1), QFileDevice::FileModificationTime));
        return;
    }
    case Elsewhere::ReplacedKeepingTime: {
        const QString beside = path + ".theirs";
        ASSERT_TRUE(writeFile(beside, "cccc"));
        {
            QFile file(beside);
            ASSERT_TRUE(file.open(QIODevice::ReadWrite));
            ASSERT_TRUE(file.setFileTime(was, QFileDevice::FileModificationTime));
        }
        ASSERT_EQ(::rename(QFile::encodeName(beside).constData(), QFile::encodeName(path)), 0);
        return;
    }
    case Elsewhere::RewrittenInPlaceKeepingTime: {
        struct stat before { };
        ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &before), 0);
        const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY);
        ASSERT_GE(fd, 0);
        // The system stamps a change with a clock that may tick only every few milliseconds:
        // written again until the change time moves, as any later write would move it.
        struct stat after { };
        for (int tries = 0; tries < 200; ++tries) {
            ASSERT_EQ(::pwrite(fd, "dddd", 4, 0), 4);
            const struct timespec times[2] = { before.st_atim, before.st_mtim };
            ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
            ASSERT_EQ(::fstat(fd, &after), 0);
            if (after.st_ctim.tv_sec != before.st_ctim.tv_sec
                || after.st_ctim.tv_nsec != before.st_ctim.tv_nsec)
                break;
            ::usleep(2000);
        }
        ::close(fd);
        ASSERT_EQ(after.st_size, before.st_size);
        ASSERT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
        ASSERT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
        ASSERT_EQ(after.st_ino, before.st_ino);
        ASSERT_NE(std::pair(after.st_ctim.tv_sec, after.st_ctim.tv_nsec),
            std::pair(before.st_ctim.tv_sec, before.st_ctim.tv_nsec));
        return;
    }
    case Elsewhere::Removed:
        ASSERT_TRUE(QFile::remove(path));
        return;
    }
}

struct ChangedRow {
    const char* name;
    Elsewhere elsewhere;
    const char* press; // the button pressed when asked; null: not asked
    bool saved;
};

class ChangedElsewhere : public ::testing::TestWithParam<ChangedRow> { };

} // namespace

TEST_P(ChangedElsewhere, SaveAsksBeforeReplacingIt)
{
    const ChangedRow& row = GetParam();
    ScriptedPresenters presenters;
    QTemporaryDir dir;
    const QString path = dir.filePath("a.quillmark");
    ASSERT_TRUE(writeFile(path, "aaaa"));
    BytesDocument document;
    ASSERT_FALSE(document.readFromFile(path));
    document.change();
    changeElsewhere(row.elsewhere, path);
    const QByteArray theirs = fileBytes(path);
    if (row.press)
        presenters.alerts->buttonChoices << row.press;

    EXPECT_EQ(document.save(), row.saved);
    const QStringList asked = row.press
        ? QStringList { "The file \u201ca.quillmark\u201d has been changed by another application "
                        "since it was opened or saved." }
        : QStringList {};
    EXPECT_EQ(presenters.alerts->messages, asked);
    if (row.press) {
        EXPECT_EQ(presenters.alerts->lastButtons, QStringList({ "Cancel", "Save Anyway" }))
            << "Cancel, which loses nothing, is the default";
    }
    EXPECT_EQ(fileBytes(path), row.saved ? QByteArray("aaaax") : theirs);
    EXPECT_EQ(document.isDocumentEdited(), !row.saved);
    if (!row.saved)
        return;
    // What this document wrote itself is no other program's change.
    presenters.alerts->messages.clear();
    document.change();
    EXPECT_TRUE(document.save());
    EXPECT_TRUE(presenters.alerts->messages.isEmpty());
    EXPECT_EQ(fileBytes(path), "aaaaxx");
}

INSTANTIATE_TEST_SUITE_P(Document, ChangedElsewhere,
    ::testing::Values(ChangedRow { "unchanged", Elsewhere::Nothing, nullptr, true },
        ChangedRow { "rewritten_save_anyway", Elsewhere::RewrittenLonger, "Save Anyway", true },
        ChangedRow { "rewritten_cancel", Elsewhere::RewrittenLonger, "Cancel", false },
        ChangedRow {
            "same_size_a_second_later_cancel", Elsewhere::RewrittenSameSizeLater, "Cancel", false },
        ChangedRow { "replaced_keeping_size_and_time_cancel", Elsewhere::ReplacedKeepingTime,
            "Cancel", false },
        ChangedRow { "replaced_save_anyway", Elsewhere::ReplacedKeepingTime, "Save Anyway", true },
        ChangedRow { "in_place_same_size_time_put_back_cancel",
            Elsewhere::RewrittenInPlaceKeepingTime, "Cancel", false },
        ChangedRow { "in_place_same_size_time_put_back_save_anyway",
            Elsewhere::RewrittenInPlaceKeepingTime, "Save Anyway", true },
        ChangedRow { "removed_is_written_again", Elsewhere::Removed, nullptr, true }),
    [](const auto& info) { return std::string(info.param.name); });

// Closing with unsaved changes over a file another program changed: choosing Save there still
// asks, and Cancel keeps the document open with its changes and the other program's file.
TEST(ChangedElsewhere, ClosingAsksBeforeReplacingIt)
{
    ScriptedPresenters presenters;
    QTemporaryDir dir;
    const QString path = dir.filePath("a.quillmark");
    ASSERT_TRUE(writeFile(path, "aaaa"));
    BytesDocument document;
    ASSERT_FALSE(document.readFromFile(path));
    document.change();
    ASSERT_TRUE(writeFile(path, "theirs, longer"));
    presenters.panels->saveChangesAnswers.push_back(platform::SaveChangesAnswer::Save);
    presenters.alerts->buttonChoices << "Cancel";
    EXPECT_FALSE(document.canClose());
    EXPECT_EQ(presenters.alerts->messages.size(), 1);
    EXPECT_TRUE(document.isDocumentEdited());
    EXPECT_EQ(fileBytes(path), "theirs, longer");
}

namespace {

// The message of a save of "new" bytes over path, made by a user who may not write into
// read-only folders: root may, so the save runs in a child process that drops to "nobody".
QString saveMessageAsUnprivileged(const QString& path)
{
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0)
        return "<no pipe>";
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeEnds[0]);
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(3);
        BytesDocument document;
        document.contents = "new";
        const auto error = document.writeToFile(path);
        const QByteArray message = error ? error->message().toUtf8() : QByteArray("<saved>");
        const bool sent
            = ::write(pipeEnds[1], message.constData(), size_t(message.size())) == message.size();
        ::_exit(sent ? 0 : 4);
    }
    ::close(pipeEnds[1]);
    QByteArray message;
    char buffer[512];
    for (ssize_t n; (n = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
        message.append(buffer, n);
    ::close(pipeEnds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return QStringLiteral("<child failed: %1>").arg(status);
    return QString::fromUtf8(message);
}

} // namespace

// A save refused because its folder cannot be written names the folder, not the file: the file
// may well be writable, and the person must know where the fault is.
TEST(SaveRefused, NamesTheFolderThatCannotBeWritten)
{
    QTemporaryDir dir;
    // Others may pass through the test's folder to the one under test.
    ASSERT_TRUE(QFile::setPermissions(
        dir.path(), QFile::permissions(dir.path()) | QFile::ExeOther | QFile::ReadOther));
    const QString folder = dir.filePath("locked");
    ASSERT_TRUE(QDir().mkdir(folder));
    const QString path = folder + "/doc.quillmark";
    ASSERT_TRUE(writeFile(path, "old"));
    const auto everyone = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup
        | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther;
    ASSERT_TRUE(QFile::setPermissions(path, everyone));
    ASSERT_TRUE(QFile::setPermissions(folder,
        QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther
            | QFile::ExeOther));

    const QString message = saveMessageAsUnprivileged(path);
    EXPECT_EQ(message,
        QStringLiteral("The folder \u201c%1\u201d cannot be written to: Permission denied.")
            .arg(folder));
    EXPECT_EQ(fileBytes(path), "old");
    QFile::setPermissions(folder, QFile::permissions(folder) | QFile::WriteOwner);
}
