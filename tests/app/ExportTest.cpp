// JPEG export and sharing: the file name offered, the quality taken from the panel, a file of
// exactly the picture's pixel size showing the boxes, failures shown without a rating prompt, and
// the rating prompt once per user.
#include "AppFakes.h"
#include "support/FillingDevice.h"
#include "support/JpegSampling.h"
#include "support/NamedCase.h"
#include "support/PixelProbe.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <cmath>
#include <csignal>
#include <gtest/gtest.h>
#include <limits>
#include <sys/resource.h>

using namespace apptest;

namespace {

TEST(Export, QualityFromThePanel)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct Row {
        double percent;
        double quality;
    } rows[] = { { 75, 0.75 }, { 100, 1.0 }, { 0, 0.0 }, { -20, 0.0 }, { 250, 1.0 }, { nan, 1.0 },
        { inf, 1.0 }, { -inf, 0.0 } };
    for (const Row& row : rows)
        EXPECT_EQ(ColorDocument::exportQuality(row.percent), row.quality) << row.percent;
}

// A session with one picture document open.
struct Exporting : AppSession {
    ColorDocument* document;
    explicit Exporting(QSize size = { 160, 120 })
        : document(open(picture("photo.png", size)))
    {
    }
};

// The panel offers the document's name (the draft name until it has a file) in its folder, and
// its quality starts where the user left it.
TEST(Export, OffersTheDocumentsNameFolderAndLastQuality)
{
    Exporting e;
    ASSERT_TRUE(e.document);
    const auto exportWith = [&](double percent) {
        e.fixture.exports->answers.push_back(ExportChoice { e.dir.filePath("out.jpg"), percent });
        EXPECT_TRUE(e.document->exportImage());
        return e.fixture.exports->requests.back();
    };
    ExportPanelRequest asked = exportWith(55);
    EXPECT_EQ(asked.defaultName, e.document->displayName() + ".jpg");
    EXPECT_TRUE(asked.defaultName.startsWith("Quillmark "));
    EXPECT_EQ(asked.qualityPercent, 100);
    EXPECT_EQ(asked.directory, platform::PanelPresenter::openDirectory());

    e.fixture.panels->saveAnswers.push_back(e.dir.filePath("doc1"));
    ASSERT_TRUE(e.document->saveAs());
    asked = exportWith(80);
    EXPECT_EQ(asked.defaultName, "doc1.jpg");
    EXPECT_EQ(asked.qualityPercent, 55) << "the last quality chosen";
    EXPECT_EQ(asked.directory, e.dir.path());
    EXPECT_EQ(exportWith(80).qualityPercent, 80);
}

// At 0.8 the file is a JPEG of the picture's own size; under the box it shows the box, away
// from it the photo.
TEST(Export, WritesThePictureSizeWithTheBoxes)
{
    Exporting e({ 301, 157 });
    ASSERT_TRUE(e.document);
    const QString out = e.dir.filePath("out.jpg");
    e.fixture.exports->answers.push_back(ExportChoice { out, 80 });
    ASSERT_TRUE(e.document->exportImage());
    ASSERT_EQ(e.fixture.exports->requests.size(), 1u);
    const QString offered = e.fixture.exports->requests[0].defaultName;
    EXPECT_TRUE(offered.startsWith("Quillmark ") && offered.endsWith(".jpg"))
        << offered.toStdString();

    QImageReader reader(out);
    EXPECT_EQ(reader.format(), "jpeg");
    const QImage image = reader.read();
    ASSERT_EQ(image.size(), QSize(301, 157));
    const QImage photo = QImage::fromData(pictureBytes({ 301, 157 }));
    using testsupport::near;
    using testsupport::pixelAt;
    // The box covers the top-left quarter; probes are y-up.
    EXPECT_TRUE(near(pixelAt(image, 20, 157 - 15), testsupport::Rgba { 255, 0, 0, 255 }, 6));
    for (QPoint p : { QPoint(150, 100), QPoint(280, 140), QPoint(100, 80) })
        EXPECT_TRUE(near(pixelAt(image, p.x(), p.y()), pixelAt(photo, p.x(), p.y()), 3))
            << p.x() << "," << p.y();
}

// The quality really reaches the encoder: a lower quality makes a smaller file.
TEST(Export, QualityChangesTheFile)
{
    Exporting e;
    ASSERT_TRUE(e.document);
    const QByteArray best = e.document->exportImageData(1.0);
    const QByteArray low = e.document->exportImageData(0.1);
    ASSERT_FALSE(best.isEmpty());
    EXPECT_LT(low.size(), best.size());
    EXPECT_EQ(e.document->exportImageData(std::numeric_limits<double>::quiet_NaN()), best);
}

enum class Failure { None, Cancelled, MissingFolder, FolderIsAFile, ReadOnlyPlace, WrongSize };

struct FailureRow {
    const char* name;
    Failure failure;
    bool written;
    int alerts; // error alerts (the rating prompt counted apart)
    bool ratingPrompt;
};

class ExportFailures : public ::testing::TestWithParam<FailureRow> { };

TEST_P(ExportFailures, OnlyACompletedExportAsksForARating)
{
    const FailureRow& row = GetParam();
    Exporting e;
    ASSERT_TRUE(e.document);
    QString out = e.dir.filePath("out.jpg");
    if (row.failure == Failure::MissingFolder)
        out = e.dir.filePath("missing/out.jpg");
    // Where no file can be made, whoever runs the test (root ignores a folder's permissions).
    if (row.failure == Failure::ReadOnlyPlace)
        out = QStringLiteral("/proc/out.jpg");
    if (row.failure == Failure::FolderIsAFile) {
        ASSERT_TRUE(writeFile(e.dir.filePath("file"), "not a folder"));
        out = e.dir.filePath("file/out.jpg");
    }
    if (row.failure != Failure::Cancelled)
        e.fixture.exports->answers.push_back(ExportChoice { out, 100 });
    FakeWindow::composeWrongSize = row.failure == Failure::WrongSize;
    EXPECT_EQ(e.document->exportImage(), row.written);
    EXPECT_EQ(QFile::exists(out), row.written);
    const int ratings
        = int(e.fixture.alerts->messages.count("What a beautiful Quillmark picture!"));
    EXPECT_EQ(ratings, row.ratingPrompt ? 1 : 0);
    EXPECT_EQ(e.fixture.alerts->messages.size() - ratings, row.alerts);
    if (row.alerts) {
        EXPECT_TRUE(e.fixture.alerts->messages.front().contains("out.jpg"))
            << "the alert names the file";
    }
}

INSTANTIATE_TEST_SUITE_P(Export, ExportFailures,
    ::testing::Values(FailureRow { "written", Failure::None, true, 0, true },
        FailureRow { "cancelled", Failure::Cancelled, false, 0, false },
        FailureRow { "missing_folder", Failure::MissingFolder, false, 1, false },
        FailureRow { "folder_is_a_file", Failure::FolderIsAFile, false, 1, false },
        FailureRow { "read_only_place", Failure::ReadOnlyPlace, false, 1, false },
        FailureRow { "composed_at_wrong_size", Failure::WrongSize, false, 1, false }),
    testsupport::RowName());

// Colour at full resolution from quality 90 (halving it smears the coloured edges of text),
// halved below: read back from the exported file's sampling factors.
TEST(Export, FullColourFromQuality90)
{
    Exporting e;
    ASSERT_TRUE(e.document);
    struct Row {
        double percent;
        int luma; // luma sampling factor both ways; chroma is 1
    } rows[] = { { 100, 1 }, { 90, 1 }, { 89, 2 }, { 10, 2 } };
    for (const Row& row : rows) {
        const QString out = e.dir.filePath(QStringLiteral("q%1.jpg").arg(row.percent));
        e.fixture.exports->answers.push_back(ExportChoice { out, row.percent });
        ASSERT_TRUE(e.document->exportImage());
        const testsupport::JpegSampling s = testsupport::jpegSampling(readFile(out));
        EXPECT_EQ(s.lumaH, row.luma) << row.percent;
        EXPECT_EQ(s.lumaV, row.luma) << row.percent;
        EXPECT_EQ(s.chromaH, 1) << row.percent;
        EXPECT_EQ(s.chromaV, 1) << row.percent;
    }
}

// A device that fails mid-way (a full disk) fails the export with the device's reason.
TEST(Export, DeviceFailingMidwayFailsTheExport)
{
    Exporting e({ 640, 480 });
    ASSERT_TRUE(e.document);
    testsupport::FillingDevice device(1000);
    EXPECT_EQ(e.document->writeExport(device, 1.0), "No space left on device");
    QByteArray bytes;
    QBuffer whole(&bytes);
    whole.open(QIODevice::WriteOnly);
    EXPECT_EQ(e.document->writeExport(whole, 1.0), "");
    EXPECT_GT(bytes.size(), 1000);
}

// A disk that fills up during the export: the export fails with an alert naming the file,
// and neither a partial file nor a temporary one is left; a file that was there stays.
TEST(Export, FullDiskLeavesNoPartialFile)
{
    Exporting e({ 640, 480 });
    ASSERT_TRUE(e.document);
    const QString out = e.dir.filePath("out.jpg");
    ASSERT_TRUE(writeFile(out, "the earlier picture"));
    ASSERT_GT(e.document->exportImageData(1.0).size(), 8192);
    const QStringList before = QDir(e.dir.path()).entryList(QDir::Files);
    {
        // Files of this process may grow to 4 KiB: writing past it fails as on a full disk
        // (EFBIG, its signal ignored).
        const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
        rlimit old {};
        ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
        rlimit small = old;
        small.rlim_cur = 4096;
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
        e.fixture.exports->answers.push_back(ExportChoice { out, 100 });
        const bool written = e.document->exportImage();
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldSignal);
        EXPECT_FALSE(written);
    }
    EXPECT_EQ(readFile(out), "the earlier picture");
    EXPECT_EQ(QDir(e.dir.path()).entryList(QDir::Files), before) << "no temporary file left";
    ASSERT_EQ(e.fixture.alerts->messages.size(), 1);
    EXPECT_TRUE(e.fixture.alerts->messages.front().contains("out.jpg"));
}

// Once per user: a second export, from another document too, asks no more. "Rate Quillmark"
// opens the project page.
TEST(Export, RatingPromptOncePerUser)
{
    Exporting e;
    ASSERT_TRUE(e.document);
    e.fixture.alerts->buttonAnswer = platform::AlertPresenter::kFirstButtonReturn;
    e.fixture.exports->answers.push_back(ExportChoice { e.dir.filePath("1.jpg"), 100 });
    ASSERT_TRUE(e.document->exportImage());
    EXPECT_EQ(e.fixture.openedUrls, QList<QUrl> { RatingPrompt::kProjectPage });
    EXPECT_TRUE(platform::UserDefaults::standard().boolForKey("PostShareRateSuggested"));

    auto* second = e.open(e.picture("other.png", { 50, 40 }));
    ASSERT_TRUE(second);
    e.fixture.exports->answers.push_back(ExportChoice { e.dir.filePath("2.jpg"), 100 });
    ASSERT_TRUE(second->exportImage());
    e.fixture.panels->saveAnswers.push_back(e.dir.filePath("doc.quillmark"));
    ASSERT_TRUE(second->saveQuillmarkDocument());
    EXPECT_EQ(e.fixture.alerts->messages.size(), 1);
    EXPECT_EQ(e.fixture.openedUrls.size(), 1);
}

// "Save Quillmark document" asks for a rating only after the save went through.
TEST(Export, CancelledSaveAsksForNoRating)
{
    Exporting e;
    ASSERT_TRUE(e.document);
    EXPECT_FALSE(e.document->saveQuillmarkDocument());
    EXPECT_TRUE(e.fixture.alerts->messages.isEmpty());
    e.fixture.panels->saveAnswers.push_back(e.dir.filePath("doc"));
    EXPECT_TRUE(e.document->saveQuillmarkDocument());
    EXPECT_TRUE(QFile::exists(e.dir.filePath("doc.quillmark")));
    EXPECT_EQ(e.fixture.alerts->messages, QStringList { "What a beautiful Quillmark picture!" });
}

} // namespace

// A share menu service that records what it was handed and answers as told.
class RecordingService final : public platform::SharingService {
public:
    platform::ShareResult answer { true, {} };
    std::vector<platform::SharingItems> received;
    QString title() const override { return QStringLiteral("Recorder"); }
    void performWithItems(
        const platform::SharingItems& items, platform::ShareCompletion completion) override
    {
        received.push_back(items);
        completion(answer);
    }
};

// Every share writes the composed picture as quillmarkout.jpg in the document's own folder
// (readable by us alone), overwriting the last; only a completed share asks for a rating, a
// failed one says why, a cancelled one says nothing.
TEST(Export, SharingHandsTheServiceThePictureFile)
{
    struct Row {
        const char* name;
        platform::ShareResult answer;
        int ratings;
        int errors;
    };
    const Row rows[] = {
        { "completed", { true, {} }, 1, 0 },
        { "failed", { false, QStringLiteral("xdg-email could not be started.") }, 0, 1 },
        { "cancelled", { false, {} }, 0, 0 },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Exporting e({ 90, 70 });
        ASSERT_TRUE(e.document);
        auto service = std::make_shared<RecordingService>();
        service->answer = row.answer;
        for (int share = 0; share < 2; ++share)
            ASSERT_TRUE(e.document->shareWithItem(service));
        ASSERT_EQ(service->received.size(), 2u);
        const QString path = service->received[1].filePath;
        EXPECT_EQ(service->received[0].filePath, path);
        EXPECT_EQ(QFileInfo(path).fileName(), "quillmarkout.jpg");
        EXPECT_EQ(QFileInfo(path).absolutePath(), e.document->shareFolder());
        EXPECT_EQ(QFileInfo(e.document->shareFolder()).permissions() & 0x0077, 0)
            << "no one else may read or replace the shared picture";
        EXPECT_EQ(QImage(path).size(), QSize(90, 70));
        EXPECT_EQ(service->received[1].image.size(), QSize(90, 70));
        const int ratings
            = int(e.fixture.alerts->messages.count("What a beautiful Quillmark picture!"));
        EXPECT_EQ(ratings, row.ratings);
        EXPECT_EQ(e.fixture.alerts->messages.size() - ratings, row.errors * 2);
        if (row.errors) {
            EXPECT_TRUE(e.fixture.alerts->messages.back().contains(row.answer.error));
        }
    }
}
