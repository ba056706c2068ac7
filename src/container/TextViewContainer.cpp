// The container's structure: its collaborators, the nests of the boxes, selection, the
// point-in-outline test, the hint bubble and the creation of new boxes.
#include "container/TextViewContainer.h"

#include "boxes/MyImageView.h"
#include "boxes/MyImageViewSuper.h"
#include "boxes/MyPerspectiveView.h"
#include "boxes/MyShapeSuper.h"
#include "boxes/MyShapeView.h"
#include "boxes/MyTextBox.h"
#include "boxes/MyTextView.h"
#include "boxes/MyTextViewSuper.h"
#include "boxes/ShapeModel.h"
#include "container/ContainerCanvas.h"
#include "container/ContainerDelegate.h"
#include "container/ContainerLogging.h"
#include "container/MyInstantAlphaView.h"
#include "container/NewBoxPicture.h"
#include "foundation/ImageAdditions.h"
#include "platform/ui/TrackingArea.h"

#include <algorithm>
#include <climits>
#include <cmath>

using platform::Point;
using platform::Rect;
using platform::Size;

namespace {

const platform::Color kDefaultShadow(0.0, 0.0, 0.0, 0.75);
constexpr int kDefaultShadowAngle = 90;

// The drop and inner shadows every new box starts with.
void setDefaultShadows(MyViewBase& box)
{
    box.setShadowColor(kDefaultShadow);
    box.setShadowAngle(kDefaultShadowAngle);
    box.setInnerShadowColor(kDefaultShadow);
    box.setInnerShadowAngle(kDefaultShadowAngle);
}

} // namespace

TextViewContainer::TextViewContainer(const Rect& frame)
    : platform::View(frame)
{
}

TextViewContainer::~TextViewContainer()
{
    if (m_undoManager)
        m_undoManager->removeAllActions(this);
}

void TextViewContainer::setUndoManager(platform::UndoManager* manager)
{
    if (m_undoManager && m_undoManager != manager)
        m_undoManager->removeAllActions(this);
    m_undoManager = manager;
}

// ---- structure

void TextViewContainer::updateTrackingAreas()
{
    if (m_trackingArea)
        removeTrackingArea(m_trackingArea);
    m_trackingArea = addTrackingArea(bounds(),
        platform::TrackingMouseEnteredAndExited | platform::TrackingMouseMoved
            | platform::TrackingCursorUpdate | platform::TrackingActiveInKeyWindow);
}

void TextViewContainer::drawRect(const Rect& dirty, platform::GraphicsContext& ctx)
{
    // Nothing of its own: the nests and the overlay draw themselves, and a draw marks nothing.
    (void)dirty;
    findHiddenNests(ctx);
}

void TextViewContainer::markForDisplay()
{
    setNeedsDisplay();
    if (platform::View* overlay = selectedView.get())
        overlay->setNeedsDisplay();
}

MyViewBase* TextViewContainer::addBoxNest(std::unique_ptr<MyViewBase> box)
{
    MyViewBase* raw = box.get();
    const Rect all = bounds();
    std::unique_ptr<platform::View> wrapper;
    if (dynamic_cast<MyImageView*>(raw)) {
        std::unique_ptr<MyImageView> image(static_cast<MyImageView*>(box.release()));
        wrapper = std::make_unique<MyImageViewSuper>(std::move(image), all);
    } else {
        if (dynamic_cast<MyShapeView*>(raw))
            wrapper = std::make_unique<MyShapeSuper>(all);
        else
            wrapper = std::make_unique<MyTextViewSuper>(all);
        wrapper->addSubview(std::move(box));
    }
    auto nest = std::make_unique<MyPerspectiveView>(all);
    nest->addSubview(std::move(wrapper));
    addSubview(std::move(nest));
    raw->setMyTextViewContainer(this);
    textViewAry.push_back(raw);
    return raw;
}

platform::View* TextViewContainer::nestOf(MyViewBase& box)
{
    platform::View* wrapper = box.superview();
    return wrapper ? wrapper->superview() : nullptr;
}

void TextViewContainer::restackNests()
{
    std::vector<std::unique_ptr<platform::View>> nests;
    nests.reserve(textViewAry.size());
    for (MyViewBase* box : textViewAry)
        if (platform::View* nest = nestOf(*box))
            nests.push_back(nest->removeFromSuperview());
    for (auto& nest : nests)
        addSubview(std::move(nest));
}

// ---- selection

void TextViewContainer::leaveEditing(MyViewBase& box)
{
    AnimateBox(box, false);
}

void TextViewContainer::beforeAction()
{
    bDrawWithPen = false;
    // A path left unfinished would keep drawing with no step of its own.
    if (penView)
        endPenPath(true);
}

void TextViewContainer::removeAllSelection()
{
    for (MyViewBase* box : textViewAry) {
        if (auto* text = dynamic_cast<MyTextView*>(box)) {
            text->setSelected(false);
            text->setEditable(false);
            text->setSelectable(false);
            if (MyTextBox* view = text->txtBox()) {
                const platform::TextRange range = view->editor().selectedRange();
                view->editor().setSelectedRange(platform::TextRange(range.location, 0));
            }
        } else if (auto* shape = dynamic_cast<MyShapeView*>(box)) {
            shape->setSelected(false);
            shape->setIsDrawing(false);
        } else {
            box->setSelected(false);
        }
        // Sent to every box, not only those already editing: a box whose editing is still
        // animating in must turn back too, or it ends editable though deselected.
        leaveEditing(*box);
    }
    expandingSubId = -1;
    expandingId = -1;
    hideAlert();
    markForDisplay();
}

bool TextViewContainer::isPointinPolygon(const Point& p, const Point* pts)
{
    bool inside = false;
    for (int i = 0, j = 3; i < 4; j = i++) {
        const Point& qi = pts[i];
        const Point& qj = pts[j];
        if ((qi.y > p.y) != (qj.y > p.y)
            && qi.x + (p.y - qi.y) * (qj.x - qi.x) / (qj.y - qi.y) > p.x)
            inside = !inside;
    }
    return inside;
}

bool TextViewContainer::isBaseEditing(const MyViewBase& box)
{
    return box.isEditing();
}

// ---- creation

std::optional<Size> TextViewContainer::beginCreation(const char* what)
{
    std::optional<Size> size = m_canvas ? m_canvas->workingImageSize() : std::nullopt;
    if (!size || !(size->width > 0.0) || !(size->height > 0.0) || !std::isfinite(size->width)
        || !std::isfinite(size->height)) {
        // Boxes of no size at the origin, and a text of 0 pt, help nobody.
        qCWarning(lcContainer) << what << ": no working picture, nothing created";
        return std::nullopt;
    }
    prepUndoData();
    removeAllSelection();
    return size;
}

MyViewBase* TextViewContainer::finishCreation(std::unique_ptr<MyViewBase> created)
{
    created->setMyDocumentWindow(m_documentWindow);
    created->setSelected(true);
    MyViewBase* box = addBoxNest(std::move(created));
    box->setShadows();
    if (m_delegate) {
        m_delegate->setCurrentlySelectedTextView(nullptr);
        m_delegate->textViewSelected(textViewAry);
    }
    logUndoData();
    markForDisplay();
    return box;
}

void TextViewContainer::newTextBox()
{
    const std::optional<Size> size = beginCreation("newTextBox");
    if (!size)
        return;
    const double W = size->width;
    const double H = size->height;
    const double side = std::min(0.25 * W, H / 3.0);
    const double height = side / 2.5;
    gDefaultFontSize = 3.0 * height / 5.0;
    auto text = std::make_unique<MyTextView>(
        Rect(W / 2.0 - side / 2.0, H / 2.0 - height / 2.0, side, height));
    text->setEditable(false);
    text->setSelectable(false);
    setDefaultShadows(*text);
    text->setBoxShadowColor(kDefaultShadow);
    text->setBoxShadowAngle(kDefaultShadowAngle);
    text->setIsEditing(false);
    finishCreation(std::move(text));
}

platform::FilterImage TextViewContainer::pictureSource(const platform::Image& picture)
{
    if (picture.isNull())
        return {};
    return CIImage(unscaledBitmapImageRep(picture));
}

platform::FilterImage TextViewContainer::reducedPicture(
    const platform::FilterImage& picture, float s)
{
    if (picture.isNull() || !(s > 0.0f && s < 1.0f))
        return picture;
    const platform::FilterImage scaled
        = picture.transformed(platform::AffineTransform::makeScale(s, s));
    // The round trip through a picture renders the scaling, as the box will hold it.
    const platform::FilterImage rendered = CIImage(imageWithCIImage(scaled));
    if (rendered.isNull())
        return {};
    const Rect extent = rendered.extent();
    const QSize kept = newbox::keptOfReduced(
        QSize(int(std::clamp(std::floor(extent.size.width), 0.0, double(INT_MAX))),
            int(std::clamp(std::floor(extent.size.height), 0.0, double(INT_MAX)))));
    return rendered.cropped(Rect(0.0, 0.0, kept.width(), kept.height()));
}

void TextViewContainer::newImageBox(const platform::Image& picture)
{
    const std::optional<Size> size = beginCreation("newImageBox");
    if (!size)
        return;
    const double W = size->width;
    const double H = size->height;
    platform::FilterImage source = pictureSource(picture);
    if (!source.isNull())
        source = reducedPicture(source, newbox::pictureScale(source.extent().size, Size(W, H)));
    const Size boxSize = source.isNull() ? Size() : source.extent().size;
    auto image = std::make_unique<MyImageView>(Rect(W / 2.0 - boxSize.width / 2.0,
        H / 2.0 - boxSize.height / 2.0, boxSize.width, boxSize.height));
    if (!source.isNull())
        image->setOrgImage(imageWithCIImage(source), boxSize.width, boxSize.height);
    else
        qCWarning(lcContainer) << "newImageBox: the picture could not be read; an empty box";
    setDefaultShadows(*image);
    image->setSaturation(1.0);
    finishCreation(std::move(image));
}

void TextViewContainer::newShapeBox(int type)
{
    bDrawWithPen = false;
    if (penView)
        endPenPath(true);
    if (type == shape::PenPath) {
        removeAllSelection();
        if (m_delegate)
            m_delegate->setCurrentlySelectedTextView(nullptr);
        bDrawWithPen = true;
        penView = nullptr;
        showAlert(0, Point(), QString());
        return;
    }
    const std::optional<Size> size = beginCreation("newShapeBox");
    if (!size)
        return;
    const double W = size->width;
    const double H = size->height;
    const double side = std::min(W / 5.0, H / 5.0);
    auto shapeBox = std::make_unique<MyShapeView>(
        Rect(W / 2.0 - side / 2.0, H / 2.0 - side / 2.0, side, side), type);
    shapeBox->setIsEditing(false);
    shapeBox->setIsDrawing(false);
    MyShapeView* created = shapeBox.get();
    finishCreation(std::move(shapeBox));
    // By the type the shape took (an arrow line is stored as a line).
    switch (created->shapeType()) {
    case shape::Curve:
    case shape::PenPath:
        showAlert(1, Point(), QString());
        break;
    case shape::RoundedRectangle:
    case shape::OvalCallout:
    case shape::RoundedBoxCallout:
        showAlert(3, Point(), QString());
        break;
    default:
        break;
    }
}

// ---- pen path

void TextViewContainer::startPenPath(const Point& p)
{
    prepUndoData();
    auto path = std::make_unique<MyShapeView>(Rect(p.x, p.y, 1.0, 1.0), shape::PenPath);
    path->setMyDocumentWindow(m_documentWindow);
    path->setSelected(true);
    path->setIsDrawing(true);
    MyViewBase* box = addBoxNest(std::move(path));
    penView = box;
    if (m_delegate)
        m_delegate->textViewSelected(textViewAry);
}

void TextViewContainer::endPenPath(bool logStep)
{
    auto* path = dynamic_cast<MyShapeView*>(penView.get());
    bDrawWithPen = false;
    penView = nullptr;
    hideAlert();
    if (!path)
        return;
    // The last point follows the pointer: it is no point of the path.
    std::vector<Point> points = path->points();
    std::vector<ControlValue> controls = path->controlVals();
    if (!points.empty())
        points.pop_back();
    if (!controls.empty())
        controls.pop_back();
    path->setIsDrawing(false);
    if (points.size() < 2) {
        // Nothing was drawn: the layer is as it was before the path began, so no step.
        auto it = std::find(textViewAry.begin(), textViewAry.end(), path);
        if (it != textViewAry.end())
            textViewAry.erase(it);
        if (platform::View* nest = nestOf(*path))
            nest->removeFromSuperview();
        markForDisplay();
        return;
    }
    path->setPoints(std::move(points));
    path->setControlVals(std::move(controls));
    path->setNeedsDisplay();
    if (logStep)
        logUndoData();
    markForDisplay();
}

// ---- hints

double TextViewContainer::zoomScale() const
{
    const double z = m_canvas ? m_canvas->customDrawingZoomScale() : 1.0;
    return std::isfinite(z) && z > 0.0 ? z : 1.0;
}

void TextViewContainer::showAlert(int kind, const Point& pt, const QString& str)
{
    MyInstantAlphaView* bubble = m_canvas ? m_canvas->hintBubble() : nullptr;
    if (!bubble)
        return;
    const Rect v = m_canvas->visibleRect();
    const double m = v.origin.x + v.size.width / 2.0;
    const double top = v.origin.y + 30.0;
    struct Hint {
        const char* text;
        int lines;
        double width;
        double height;
    };
    static const Hint hints[] = {
        { "\u2022 Click to draw straight lines. Drag to draw curved lines.\n\u2022 To close a "
          "shape, click the first point.\n\u2022 To leave a shape open, double-click",
            3, 360.0, 70.0 },
        { "\u2022 Drag a midpoint to divide a line and add a new point\n\u2022 Double-click a "
          "point to toggle between straight and curved lines.",
            2, 400.0, 50.0 },
        { nullptr, 1, 90.0, 25.0 },
        // The modifier as this desktop's keyboards name it (see dragShapePoint).
        { "\u2022 Hold Ctrl while dragging a point to only adjust a specific corner", 1, 400.0,
            30.0 },
        { "\u2022 Click the shape again to edit", 1, 220.0, 30.0 },
    };
    if (kind >= 0 && kind <= 4) {
        const Hint& hint = hints[kind];
        const QString text = hint.text ? QString::fromUtf8(hint.text) : str;
        const double width = std::max(hint.width, MyInstantAlphaView::widthToFit(text));
        Point origin(m - width / 2.0, top);
        if (kind == 2) {
            // The container point in the canvas's points, 30 below it.
            const platform::View* canvasView = m_canvas->canvasView();
            const Point c = canvasView ? convertPointToView(pt, canvasView)
                                       : Point(zoomScale() * pt.x, zoomScale() * pt.y);
            origin = Point(c.x, c.y - 30.0);
        }
        bubble->setString(text);
        bubble->setLinesCount(hint.lines);
        bubble->setFrame(Rect(origin.x, origin.y, width, hint.height));
    }
    bubble->setNeedsDisplay();
    bubble->setHidden(false);
}

void TextViewContainer::hideAlert()
{
    if (MyInstantAlphaView* bubble = m_canvas ? m_canvas->hintBubble() : nullptr)
        bubble->setHidden(true);
}
