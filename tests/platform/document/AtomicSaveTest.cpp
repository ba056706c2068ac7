// A save killed at any moment leaves the file with its old bytes or its new ones, never a mix:
// a child process (this test executable again) saves two large contents in turn, and is killed
// at random moments while it does.
#include "DocumentFakes.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>
#include <gtest/gtest.h>
#include <random>

using namespace documenttest;

namespace {

constexpr char kLoopFileVariable[] = "QUILLMARK_SAVE_LOOP_FILE";
constexpr int kContentBytes = 20 * 1024 * 1024;
constexpr int kKills = 50;
// scripts/crash-save.sh asks for more kills than a test run affords.
constexpr char kKillsVariable[] = "QUILLMARK_SAVE_KILLS";

int killCount()
{
    bool ok = false;
    const int asked = qEnvironmentVariableIntValue(kKillsVariable, &ok);
    return ok && asked > 0 ? asked : kKills;
}

// Two contents that differ in every byte and are not uniform, so a torn file cannot equal one.
QByteArray contents(int which)
{
    QByteArray bytes(kContentBytes, Qt::Uninitialized);
    for (int i = 0; i < bytes.size(); ++i)
        bytes[i] = char((i * 7 + which * 128) & 0xff);
    return bytes;
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The child's side: runs only when the parent names a file.
TEST(AtomicSave, ChildSavesInALoop)
{
    const QString path = QString::fromLocal8Bit(qgetenv(kLoopFileVariable));
    if (path.isEmpty())
        GTEST_SKIP() << "the child of KilledSavesLeaveOldOrNewBytes";
    BytesDocument first, second;
    first.contents = contents(0);
    second.contents = contents(1);
    for (int i = 0;; ++i) {
        ASSERT_FALSE((i % 2 ? second : first).writeToFile(path));
        std::fputs("saved\n", stdout);
        std::fflush(stdout);
    }
}

TEST(AtomicSave, KilledSavesLeaveOldOrNewBytes)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("big.quillmark");
    const QByteArray old = contents(0), fresh = contents(1);
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(old);
    }
    std::mt19937 random(20261206);
    std::uniform_int_distribution<int> delayMs(0, 60);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(kLoopFileVariable, path);
    for (int kill = 0, kills = killCount(); kill < kills; ++kill) {
        QProcess child;
        child.setProcessEnvironment(environment);
        child.start(QCoreApplication::applicationFilePath(),
            { "--gtest_filter=AtomicSave.ChildSavesInALoop" });
        ASSERT_TRUE(child.waitForStarted(10000));
        // Wait for a first complete save, then kill somewhere inside a later one.
        while (!child.canReadLine())
            ASSERT_TRUE(child.waitForReadyRead(20000)) << "the child never saved";
        QThread::msleep(delayMs(random));
        child.kill();
        ASSERT_TRUE(child.waitForFinished(10000));
        const QByteArray bytes = fileBytes(path);
        EXPECT_TRUE(bytes == old || bytes == fresh)
            << "kill " << kill << ": " << bytes.size() << " bytes of neither content";
        // The killed save's unfinished temporary stays behind; clear it for the next round.
        for (const QString& name : QDir(dir.path()).entryList(QDir::Files))
            if (name != "big.quillmark")
                QFile::remove(dir.filePath(name));
    }
}

} // namespace
