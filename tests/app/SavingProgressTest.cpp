// A save whose pictures take long to encode runs off the main thread: the window keeps turning,
// a progress window says what is being saved once it takes long, and Cancel there stops the
// save with nothing written and nothing to tell.
#include "AppFakes.h"
#include "support/ProgressWatcher.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QThread>
#include <gtest/gtest.h>

using namespace apptest;

namespace {

// Pixels that take a while to make, as a large photo takes to encode.
class SlowPixels final : public platform::ImageRepresentation {
public:
    explicit SlowPixels(int ms)
        : m_ms(ms)
    {
    }
    QSize pixelSize() const override { return { 64, 48 }; }
    QImage rasterize() const override
    {
        QThread::msleep(m_ms);
        QImage pixels(pixelSize(), QImage::Format_ARGB32_Premultiplied);
        pixels.fill(qRgb(30, 90, 200));
        return pixels;
    }

private:
    int m_ms;
};

UNDODATA slowPictureBox(int ms)
{
    UNDODATA r;
    r.type = UNDODATA::ImageBox;
    r.orgImage = platform::Image::fromRepresentations(
        { std::make_shared<SlowPixels>(ms) }, platform::Size(64, 48));
    r.frame = platform::Rect(0, 0, 64, 48);
    return r;
}

} // namespace

TEST(SavingProgress, ASlowSaveShowsItIsWorkingAndCanBeStopped)
{
    struct Row {
        const char* name;
        bool pressCancel;
    };
    for (const Row& row : { Row { "saved to its end", false }, Row { "cancelled", true } }) {
        SCOPED_TRACE(row.name);
        AppSession s;
        auto* document = s.open(s.picture("photo.png"));
        ASSERT_TRUE(document);
        auto* window = static_cast<FakeWindow*>(document->windowPort());
        window->state.boxes = ContainerSnapshot({ slowPictureBox(1200) });
        const QString path = s.dir.filePath("slow.quillmark");
        s.fixture.panels->saveAnswers.push_back(path);

        testsupport::ProgressWatcher watcher(row.pressCancel);
        ASSERT_NE(document->displayName(), "slow");
        const bool saved = document->save();
        watcher.stop();
        EXPECT_GE(watcher.ticks, 20) << "the window kept turning while the pictures were encoded";
        EXPECT_EQ(watcher.said, "Saving \u201cslow\u201d\u2026")
            << "the first save of a draft names the file chosen, not the draft";
        EXPECT_TRUE(s.fixture.alerts->messages.isEmpty()) << "nothing to tell";
        EXPECT_EQ(saved, !row.pressCancel);
        EXPECT_EQ(QFileInfo::exists(path), !row.pressCancel);
        EXPECT_EQ(document->isDocumentEdited(), row.pressCancel);
        if (!row.pressCancel) {
            EXPECT_EQ(document->filePath(), QFileInfo(path).absoluteFilePath());
        }
    }
}
