// The application from picture to saved document and back, headless with the real document
// window: a picture document from a JPEG, a text box typed into by key events, a picture box
// and an image fill, saved, closed, reopened exactly, and exported at the picture's own size;
// a box exported after its editing as it is after reopening, without caret or selection.
#include "AppFakes.h"
#include "app/DocumentWindowAdapter.h"
#include "boxes/MyTextBox.h"
#include "boxes/MyTextView.h"
#include "boxes/ShapeModel.h"
#include "canvas/CanvasControls.h"
#include "canvas/CanvasCustomShapeControls.h"
#include "canvas/PaintView.h"
#include "container/TextViewContainer.h"
#include "platform/imaging/JpegWriter.h"
#include "platform/ui/Stepper.h"
#include "platform/ui/ViewHost.h"
#include "support/SyntheticMouse.h"
#include "window/DocumentWindow.h"
#include "window/ImageEffectIntensitySlider.h"
#include "window/InspectorFields.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QProcess>
#include <gtest/gtest.h>

using namespace apptest;

namespace {

constexpr QSize kPhotoSize(480, 320);

struct Session : AppSession {
    DocumentWindowFactory replaced = installDocumentWindowFactory(
        [](platform::UndoManager& undo) { return std::make_unique<DocumentWindowAdapter>(undo); });

    // A new document on a photo of kPhotoSize, its window shown; null when none was made.
    platform::Document* newDocumentOnPhoto()
    {
        fixture.panels->openAnswers.push_back(picture("photo.jpg", kPhotoSize));
        platform::Document* document = controller.newDocument();
        spin(50);
        return document;
    }

    static DocumentWindow& windowOf(platform::Document* document)
    {
        auto* port = static_cast<ColorDocument*>(document)->windowPort();
        return static_cast<DocumentWindowAdapter*>(port)->window();
    }
};

platform::ViewHost* canvasHost(DocumentWindow& window)
{
    for (auto* host : window.findChildren<platform::ViewHost*>())
        if (host->rootView() && window.canvasControls()
            && window.canvasControls()->rootView() == host->rootView())
            return host;
    return nullptr;
}

void sendClick(platform::ViewHost& host, const QPointF& at, int clicks)
{
    for (int i = 0; i < clicks; ++i) {
        const auto type = i == 0 ? QEvent::MouseButtonPress : QEvent::MouseButtonDblClick;
        QMouseEvent down(
            type, at, host.mapToGlobal(at), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&host, &down);
        QMouseEvent up(QEvent::MouseButtonRelease, at, host.mapToGlobal(at), Qt::LeftButton,
            Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&host, &up);
        spin(20);
    }
}

MyTextView* firstTextView(platform::View& view)
{
    if (auto* text = dynamic_cast<MyTextView*>(&view))
        return text;
    for (platform::View* child : view.subviews())
        if (MyTextView* text = firstTextView(*child))
            return text;
    return nullptr;
}

// Opens the canvas's only text box for typing, as a person does: a click on it, and a second
// one when the first only selected it; the box opens once its animation has run.
bool openTextBoxForTyping(DocumentWindow& window)
{
    platform::ViewHost* host = canvasHost(window);
    TextViewContainer* boxes = window.canvasControls()->textViewContainer();
    MyTextView* box = boxes ? firstTextView(*boxes) : nullptr;
    if (!host || !box)
        return false;
    const platform::Rect bounds = box->bounds();
    const platform::Point centre(bounds.midX(), bounds.midY());
    const QPointF at = host->widgetPointFromWindow(box->convertPointToView(centre, nullptr));
    for (int clicks : { 1, 1 }) {
        sendClick(*host, at, clicks);
        spin(600);
        if (box->isEditing())
            return true;
    }
    return false;
}

void sendKey(QWidget& host, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
    const QString& text = {})
{
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QCoreApplication::sendEvent(&host, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
    QCoreApplication::sendEvent(&host, &release);
}

void typeText(QWidget& host, const QString& text)
{
    for (const QChar c : text)
        sendKey(host, Qt::Key_A + (c.toUpper().unicode() - 'A'), Qt::NoModifier, QString(c));
    spin(20);
}

QString textOf(const ContainerSnapshot& snapshot)
{
    QString all;
    for (const UNDODATA& record : snapshot.records())
        if (record.rtf)
            all += record.rtf->string();
    return all;
}

bool samePixels(const platform::Image& a, const platform::Image& b)
{
    if (a.isNull() || b.isNull())
        return a.isNull() == b.isNull();
    return a.toQImage().convertToFormat(QImage::Format_ARGB32_Premultiplied)
        == b.toQImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

// Pictures come back from the file as new pictures with the same pixels: those are compared by
// their pixels. Frames are stored in single precision: those within 1e-4. Everything else by
// value.
bool sameRecords(const ContainerSnapshot& a, const ContainerSnapshot& b)
{
    if (a.size() != b.size())
        return false;
    std::vector<UNDODATA> left, right;
    for (std::size_t i = 0; i < a.size(); ++i) {
        UNDODATA l = a.records()[i], r = b.records()[i];
        if (!samePixels(l.orgImage, r.orgImage))
            return false;
        l.orgImage = r.orgImage = {};
        for (auto fill : { &UNDODATA::overlayColor, &UNDODATA::backColor, &UNDODATA::borderColor,
                 &UNDODATA::strokeColor }) {
            if ((l.*fill).has_value() != (r.*fill).has_value())
                return false;
            if (!(l.*fill))
                continue;
            if (!samePixels((l.*fill)->image, (r.*fill)->image))
                return false;
            (l.*fill)->image = (r.*fill)->image = {};
        }
        const auto near = [](double x, double y) { return std::abs(x - y) <= 1e-4; };
        if (!near(l.frame.origin.x, r.frame.origin.x) || !near(l.frame.origin.y, r.frame.origin.y)
            || !near(l.frame.size.width, r.frame.size.width)
            || !near(l.frame.size.height, r.frame.size.height) || !near(l.fixedWidth, r.fixedWidth))
            return false;
        r.frame = l.frame;
        r.fixedWidth = l.fixedWidth;
        left.push_back(l);
        right.push_back(r);
    }
    return ContainerSnapshot(left) == ContainerSnapshot(right);
}

int channelDistance(QRgb a, QRgb b)
{
    return std::max({ std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
        std::abs(qBlue(a) - qBlue(b)) });
}

// The picture a document exports, read back from its JPEG file.
QImage exportedPicture(Session& s, platform::Document* document, const QString& name)
{
    const QString path = s.dir.filePath(name);
    s.fixture.exports->answers.push_back(ExportChoice { path, 100.0 });
    if (!static_cast<ColorDocument*>(document)->exportImage())
        return {};
    return QImage(path).convertToFormat(QImage::Format_RGB32);
}

// The document saved to its file at path, closed, and that file opened again; null when the
// save or the opening fails.
platform::Document* savedAndReopened(Session& s, platform::Document* document, const QString& path)
{
    if (!document->save())
        return nullptr;
    document->close();
    spin(20);
    platform::Document* again = s.controller.openDocumentWithContentsOfFile(path).document;
    spin(50);
    return again;
}

} // namespace

TEST(EndToEnd, PictureTextSaveReopenExport)
{
    Session s;
    const QString photoPath = s.picture("photo.jpg", kPhotoSize);
    const QByteArray photo = readFile(photoPath);

    // ---- a picture document from the JPEG, with the sliders' starting values
    s.fixture.panels->openAnswers.push_back(photoPath);
    platform::Document* document = s.controller.newDocument();
    ASSERT_TRUE(document);
    spin(50);
    DocumentWindow& window = Session::windowOf(document);
    const DocumentWindowOutlets& o = window.outlets();
    struct Start {
        const char* name;
        ImageEffectIntensitySlider* slider;
        double value;
    };
    for (const Start& row :
        { Start { "aperture", o.apertureSlider, 0.0 }, Start { "vignette", o.vignetteSlider, 0.0 },
            Start { "saturation", o.saturationSlider, 0.5 },
            Start { "brush size", o.drawSizeSlider, 0.25 },
            Start { "hardness", o.drawHardnessSlider, 0.5 },
            Start { "opacity", o.drawOpacitySlider, 1.0 } })
        EXPECT_NEAR(row.slider->value(), row.value, 1e-9) << row.name;
    canvas::CanvasControls* canvas = window.canvasControls();
    ASSERT_TRUE(canvas);
    EXPECT_FALSE(canvas->supressRendering()) << "the first render was asked for";
    EXPECT_EQ(static_cast<ColorDocument*>(document)->windowPort()->pictureSize(), kPhotoSize);

    // ---- a text box, "Hello" typed into it; a picture box; an image fill on the text box
    window.newTextBox();
    spin(20);
    ASSERT_TRUE(openTextBoxForTyping(window)) << "a click opens the new box for typing";
    typeText(*canvasHost(window), QStringLiteral("Hello"));
    TextViewContainer* boxes = canvas->textViewContainer();
    ASSERT_TRUE(textOf(boxes->containerSnapshot()).contains("Hello"));

    QImage fillPicture(16, 16, QImage::Format_ARGB32_Premultiplied);
    fillPicture.fill(qRgb(200, 30, 30));
    canvas->newImageBox(&window, platform::Image::fromQImage(fillPicture));
    spin(20);
    {
        std::vector<UNDODATA> records = boxes->containerSnapshot().records();
        ASSERT_EQ(records.size(), 2u);
        SZGradient fill;
        fill.gradientType = SZGradient::ImageFill;
        fill.image = platform::Image::fromQImage(fillPicture);
        records[0].backColor = fill;
        boxes->applyUndoData(ContainerSnapshot(records));
    }
    // A painted mask sample, to see the 16-bit mask survive the file.
    auto* brush = dynamic_cast<canvas::CanvasCustomShapeControls*>(canvas->controls());
    ASSERT_TRUE(brush && brush->paintView());
    canvas::PaintView& paint = *brush->paintView();
    QImage mask = DocumentWindowAdapter::maskToImage(paint.workingImage());
    ASSERT_FALSE(mask.isNull());
    reinterpret_cast<QRgba64*>(mask.scanLine(3))[5] = QRgba64::fromRgba64(1234, 40000, 2, 40000);
    paint.setWorkingImage(DocumentWindowAdapter::maskFromImage(mask));
    paint.setMaskScale(paint.maskScale());
    spin(20);

    const ContainerSnapshot before = boxes->containerSnapshot();
    const DocumentContents saved
        = static_cast<ColorDocument*>(document)->windowPort()->captureContents();

    // ---- saved, closed without a question, reopened
    const QString path = s.dir.filePath("card.quillmark");
    s.fixture.panels->saveAnswers.push_back(path);
    ASSERT_TRUE(document->save());
    EXPECT_FALSE(document->isDocumentEdited());
    ASSERT_TRUE(document->canClose());
    document->close();
    spin(20);
    EXPECT_TRUE(s.fixture.panels->saveChangesAsked.isEmpty()) << "closed without a prompt";
    EXPECT_TRUE(s.controller.documents().empty());

    auto reopened = s.controller.openDocumentWithContentsOfFile(path);
    ASSERT_TRUE(reopened.document);
    spin(50);
    auto* again = static_cast<ColorDocument*>(reopened.document);
    EXPECT_EQ(again->imageData(), photo) << "the picture's bytes, never re-encoded";
    DocumentWindow& window2 = Session::windowOf(again);
    TextViewContainer* boxes2 = window2.canvasControls()->textViewContainer();
    const ContainerSnapshot after = boxes2->containerSnapshot();
    EXPECT_TRUE(sameRecords(after, before)) << "the box records";
    ASSERT_EQ(after.size(), 2u);
    EXPECT_EQ(after.records()[1].type, UNDODATA::ImageBox);
    EXPECT_FALSE(after.records()[1].orgImage.isNull()) << "the picture box keeps its picture";
    ASSERT_TRUE(after.records()[0].backColor);
    EXPECT_FALSE(after.records()[0].backColor->image.isNull()) << "the image fill";
    const DocumentContents restored = again->windowPort()->captureContents();
    EXPECT_EQ(restored.pictureSliders, saved.pictureSliders);
    ASSERT_TRUE(restored.mask && saved.mask);
    ASSERT_EQ(restored.mask->image.size(), saved.mask->image.size());
    EXPECT_DOUBLE_EQ(restored.mask->scale, saved.mask->scale);
    int worst = 0;
    for (int y = 0; y < saved.mask->image.height(); ++y) {
        const auto* a = reinterpret_cast<const QRgba64*>(saved.mask->image.constScanLine(y));
        const auto* b = reinterpret_cast<const QRgba64*>(restored.mask->image.constScanLine(y));
        for (int x = 0; x < saved.mask->image.width(); ++x)
            worst = std::max({ worst, std::abs(int(a[x].red()) - int(b[x].red())),
                std::abs(int(a[x].green()) - int(b[x].green())),
                std::abs(int(a[x].alpha()) - int(b[x].alpha())) });
    }
    EXPECT_LE(worst, 2) << "mask samples out of 65535";

    // ---- exported at 0.8: the picture's size, the glyphs over the photo, the rest the photo
    s.fixture.exports->answers.push_back(ExportChoice { s.dir.filePath("card.jpg"), 80.0 });
    ASSERT_TRUE(again->exportImage());
    QImage exported(s.dir.filePath("card.jpg"));
    ASSERT_EQ(exported.size(), kPhotoSize);
    const QImage original = QImage::fromData(photo);
    int changed = 0;
    const QRect textArea(kPhotoSize.width() / 2 - 40, kPhotoSize.height() / 2 - 10, 80, 20);
    for (int y = textArea.top(); y <= textArea.bottom(); ++y)
        for (int x = textArea.left(); x <= textArea.right(); ++x)
            changed += channelDistance(exported.pixel(x, y), original.pixel(x, y)) > 40;
    EXPECT_GT(changed, 20) << "the glyphs show over the photo";
    for (const QPoint far : { QPoint(10, 10), QPoint(470, 10), QPoint(10, 310), QPoint(470, 310) })
        EXPECT_LE(channelDistance(exported.pixel(far), original.pixel(far)), 3)
            << far.x() << "," << far.y();
    // Written stripe by stripe as the window composed them, the file is byte for byte the
    // whole composition encoded at once.
    static_assert(kPhotoSize.height() > canvas::kExportStripeRows, "more than one stripe");
    EXPECT_EQ(readFile(s.dir.filePath("card.jpg")),
        platform::JpegWriter::encode(again->windowPort()->composeImage(kPhotoSize), 80));
}

// The export is the picture's own size whatever the screen's scale: the same session in a
// child process under QT_SCALE_FACTOR=2.
TEST(EndToEnd, ExportSizeIgnoresScreenScale)
{
    if (qEnvironmentVariableIsSet("QUILLMARK_END_TO_END_CHILD"))
        GTEST_SKIP() << "already the child";
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QUILLMARK_END_TO_END_CHILD", "1");
    env.insert("QT_SCALE_FACTOR", "2");
    env.insert("QT_QPA_PLATFORM", "offscreen");
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(),
        { "--gtest_filter=EndToEnd.PictureTextSaveReopenExport" });
    ASSERT_TRUE(child.waitForFinished(120000));
    const QByteArray output = child.readAll();
    EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.contains("[  PASSED  ] 1 test")) << output.toStdString();
}

// Zoom and straightening are edits: a drag marks the document edited, so closing asks, and a
// saved document reopens with its sliders where they were (touching one does not jump).
TEST(EndToEnd, ZoomIsAnEditThatReopensWithItsSliders)
{
    Session s;
    const QString photoPath = s.picture("photo.jpg", kPhotoSize);
    s.fixture.panels->openAnswers.push_back(photoPath);
    platform::Document* document = s.controller.newDocument();
    ASSERT_TRUE(document);
    spin(50);
    const QString path = s.dir.filePath("zoomed.quillmark");
    s.fixture.panels->saveAnswers.push_back(path);
    ASSERT_TRUE(document->save());
    ASSERT_FALSE(document->isDocumentEdited());

    const DocumentWindowOutlets& o = Session::windowOf(document).outlets();
    for (ImageEffectIntensitySlider* slider : { o.zoomSlider, o.zoomAndStraightenSlider }) {
        const double y = slider->height() / 2.0;
        testsupport::drag(*slider, { slider->width() * 0.2, y }, { slider->width() * 0.75, y });
    }
    spin(20);
    EXPECT_TRUE(document->isDocumentEdited());
    platform::Document* reopened = savedAndReopened(s, document, path);
    ASSERT_TRUE(reopened);
    DocumentWindow& again = Session::windowOf(reopened);
    EXPECT_NEAR(again.outlets().zoomSlider->value(), 0.75, 1e-9);
    EXPECT_NEAR(again.outlets().zoomAndStraightenSlider->value(), 0.75, 1e-9);
    EXPECT_NEAR(again.canvasControls()->scale(), 1.75, 1e-9);
    EXPECT_NEAR(again.canvasControls()->straighten(), 0.0175, 1e-9);
}

// The caret and the selection of a box being edited are no part of any picture made of it: a
// warped box's picture made while it is edited (by a save, whose preview draws the boxes as the
// export does, or by an export) is made again when editing ends, and the export then equals the
// export of the document saved and opened again, pixel for pixel. A flat box exported while
// edited shows no caret or selection either.
TEST(EndToEnd, EditedBoxExportsWithoutCaretOrSelection)
{
    enum class Warp { None, Curve, Perspective };
    enum class Shown { Caret, Selection };
    enum class Made { BySave, ByExport };
    enum class Leave { ByClick, ByEscape };
    struct Row {
        const char* name;
        Warp warp;
        Shown shown;
        Made whileEditing;
        Leave leave;
    };
    const Row rows[] = {
        { "curve, caret, saved", Warp::Curve, Shown::Caret, Made::BySave, Leave::ByClick },
        { "curve, selection, exported", Warp::Curve, Shown::Selection, Made::ByExport,
            Leave::ByEscape },
        { "perspective, caret, exported", Warp::Perspective, Shown::Caret, Made::ByExport,
            Leave::ByClick },
        { "perspective, selection, saved", Warp::Perspective, Shown::Selection, Made::BySave,
            Leave::ByEscape },
        { "flat, caret, exported", Warp::None, Shown::Caret, Made::ByExport, Leave::ByEscape },
        { "flat, selection, exported", Warp::None, Shown::Selection, Made::ByExport,
            Leave::ByClick },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Session s;
        platform::Document* document = s.newDocumentOnPhoto();
        ASSERT_TRUE(document);
        DocumentWindow& window = Session::windowOf(document);
        const DocumentWindowOutlets& o = window.outlets();
        window.newTextBox();
        spin(20);
        ASSERT_TRUE(openTextBoxForTyping(window));
        platform::ViewHost& host = *canvasHost(window);
        TextViewContainer* boxes = window.canvasControls()->textViewContainer();
        MyTextView* box = firstTextView(*boxes);

        // "Hello" typed, the caret after it; or the first two characters of the box's text
        // selected and made italic.
        if (row.shown == Shown::Caret) {
            typeText(host, QStringLiteral("Hello"));
        } else {
            sendKey(host, Qt::Key_Home);
            sendKey(host, Qt::Key_Right, Qt::ShiftModifier);
            sendKey(host, Qt::Key_Right, Qt::ShiftModifier);
            sendKey(host, Qt::Key_I, Qt::ControlModifier);
        }
        spin(20);
        const platform::TextRange shownRange
            = row.shown == Shown::Caret ? platform::TextRange(5, 0) : platform::TextRange(0, 2);
        ASSERT_EQ(box->txtBox()->editor().selectedRange(), shownRange);

        // The stepper pressed ten times on its upper half while the box is edited.
        platform::Stepper* stepper = row.warp == Warp::Curve ? o.curveStepper
            : row.warp == Warp::Perspective                  ? o.perspectiveStepper
                                                             : nullptr;
        for (int i = 0; stepper && i < 10; ++i)
            testsupport::click(*stepper, QPointF(stepper->width() / 2.0, stepper->height() / 4.0));
        spin(20);
        EXPECT_EQ(box->isWarped(), row.warp != Warp::None);

        // A picture of the boxes made while the box is still edited.
        const QString path = s.dir.filePath("card.quillmark");
        s.fixture.panels->saveAnswers.push_back(path);
        QImage exportedWhileEditing;
        if (row.whileEditing == Made::BySave)
            ASSERT_TRUE(document->save());
        else
            exportedWhileEditing = exportedPicture(s, document, "editing.jpg");
        ASSERT_TRUE(box->isEditing());

        if (row.leave == Leave::ByClick) {
            const platform::Point beside(20.0, 20.0);
            sendClick(
                host, host.widgetPointFromWindow(boxes->convertPointToView(beside, nullptr)), 1);
        } else {
            sendKey(host, Qt::Key_Escape);
        }
        spin(300);
        ASSERT_FALSE(box->isEditing());
        const QImage left = exportedPicture(s, document, "left.jpg");
        ASSERT_FALSE(left.isNull());
        if (!exportedWhileEditing.isNull())
            EXPECT_TRUE(exportedWhileEditing == left) << "the export while editing";

        platform::Document* reopened = savedAndReopened(s, document, path);
        ASSERT_TRUE(reopened);
        EXPECT_FALSE(
            firstTextView(*Session::windowOf(reopened).canvasControls()->textViewContainer())
                ->isEditing());
        EXPECT_TRUE(left == exportedPicture(s, reopened, "reopened.jpg"))
            << "the export after editing against the export after reopening";
    }
}

// A document saved with a box selected reopens with the box selected and the inspector showing
// it, every field as a fresh look at the box shows it; saved with none selected, it shows the
// picture's panel.
TEST(EndToEnd, ReopenedSelectionShowsInTheInspector)
{
    struct Row {
        const char* name;
        std::function<void(DocumentWindow&)> make;
        const char* container;
    };
    const Row rows[] = {
        { "a text box", [](DocumentWindow& w) { w.newTextBox(); }, "boxes" },
        { "a rounded rectangle",
            [](DocumentWindow& w) {
                w.canvasControls()->textViewContainer()->newShapeBox(shape::RoundedRectangle);
            },
            "boxes" },
        { "no box selected",
            [](DocumentWindow& w) {
                w.newTextBox();
                w.canvasControls()->textViewContainer()->removeAllSelection();
            },
            "picture" },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Session s;
        platform::Document* document = s.newDocumentOnPhoto();
        ASSERT_TRUE(document);
        row.make(Session::windowOf(document));
        spin(20);
        const QString path = s.dir.filePath("selected.quillmark");
        s.fixture.panels->saveAnswers.push_back(path);
        ASSERT_TRUE(document->save());
        document->close();
        spin(20);

        platform::Document* again = s.controller.openDocumentWithContentsOfFile(path).document;
        ASSERT_TRUE(again);
        spin(50);
        DocumentWindow& window = Session::windowOf(again);
        TextViewContainer& boxes = *window.canvasControls()->textViewContainer();
        ASSERT_EQ(boxes.textViewAry.size(), 1u);
        EXPECT_EQ(boxes.textViewAry[0]->selected(), row.container == std::string("boxes"));
        const windowtest::InspectorFields shown = windowtest::inspectorFields(window);
        EXPECT_EQ(shown.values.at("container").toStdString(), row.container);
        window.textViewSelected(boxes.textViewAry);
        const windowtest::InspectorFields fresh = windowtest::inspectorFields(window);
        EXPECT_TRUE(shown == fresh) << windowtest::differences(shown, fresh);
        again->close();
        spin(20);
    }
}
