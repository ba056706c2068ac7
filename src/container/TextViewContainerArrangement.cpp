// The Edit and Arrange menus' operations on the boxes, the frame and corner fields, the arrow
// keys and picture replacement: selection queries, deletion, stacking moves, numeric frame and
// corner-radius edits, nudges, and a new picture for the selected picture boxes. Each change is
// one undo step; a request that does not fit the selection changes nothing and takes no step.
#include "boxes/MyImageView.h"
#include "boxes/MyShapeView.h"
#include "boxes/MyTextView.h"
#include "boxes/MyViewBase.h"
#include "boxes/RecordFields.h"
#include "boxes/ShapeModel.h"
#include "container/ContainerCanvas.h"
#include "container/ContainerDelegate.h"
#include "container/ContainerLogging.h"
#include "container/GestureGeometry.h"
#include "container/TextViewContainer.h"
#include "container/UndoStep.h"
#include "foundation/ImageAdditions.h"
#include "platform/ui/Event.h"

#include <algorithm>
#include <cmath>
#include <limits>

using platform::Point;
using platform::Rect;
using platform::Size;

namespace {

// The index of the one selected box, or nothing when none or several are selected.
std::optional<std::size_t> soleSelected(const std::vector<MyViewBase*>& boxes)
{
    std::optional<std::size_t> found;
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        if (!boxes[i]->selected())
            continue;
        if (found)
            return std::nullopt;
        found = i;
    }
    return found;
}

// Frame values as a restored record holds them.
constexpr record::Frame::Bounds kFrameBounds = record::fieldOf<&UNDODATA::frame>().bounds;

double heldCoordinate(double v)
{
    return std::clamp(v, -kFrameBounds.maxCoordinate, kFrameBounds.maxCoordinate);
}

// A side the lock or a typed value gives: at least 1 (a box of no size cannot be picked up
// again), at most the largest extent a record keeps.
double heldSide(double v)
{
    return std::clamp(v, 1.0, kFrameBounds.maxExtent);
}

int heldInt(qint64 v)
{
    return int(
        std::clamp<qint64>(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

// The corner a field of the corner panel edits, in the unit-box order (0,0), (1,0), (1,1),
// (0,1).
int cornerOfField(qint64 tag)
{
    switch (tag) {
    case 0:
        return 3;
    case 1:
        return 2;
    case 2:
        return 0;
    default:
        return 1;
    }
}

bool hasRoundedCorners(int shapeType)
{
    return shapeType == shape::RoundedRectangle || shapeType == shape::OvalCallout
        || shapeType == shape::RoundedBoxCallout;
}

} // namespace

// ---- selection

void TextViewContainer::selectAll()
{
    for (MyViewBase* box : textViewAry)
        box->setSelected(true);
    markForDisplay();
}

int TextViewContainer::GetSelectedBoxCount() const
{
    return int(std::count_if(
        textViewAry.begin(), textViewAry.end(), [](MyViewBase* b) { return b->selected(); }));
}

platform::FilterImage TextViewContainer::GetSelectedImageBoxImage() const
{
    for (MyViewBase* box : textViewAry) {
        if (auto* image = dynamic_cast<MyImageView*>(box); image && image->selected())
            return image->image();
    }
    return {};
}

TextViewContainer::SelectedBoxStates TextViewContainer::boxSelectedStates() const
{
    SelectedBoxStates states;
    for (MyViewBase* box : textViewAry) {
        if (!box->selected())
            continue;
        if (boxAs<MyTextView>(box)) {
            ++states.texts;
        } else if (boxAs<MyImageView>(box)) {
            ++states.images;
        } else if (auto* s = boxAs<MyShapeView>(box)) {
            ++states.shapes;
            const int type = s->shapeType();
            if (type == shape::Line || type == shape::ArrowLine)
                states.bLine = true;
            else if ((type == shape::Curve || type == shape::PenPath)
                && s->endType() != shape::ClosedPath)
                states.bLine = true;
            else if (hasRoundedCorners(type))
                states.bRoundRect = true;
        }
    }
    return states;
}

// ---- deletion

void TextViewContainer::deleteKeyClicked()
{
    if (GetSelectedBoxCount() == 0)
        return;
    // A pen path, colour removal or drag would go on with views that are about to go.
    beforeAction();
    endGesturesForRebuild();
    if (GetSelectedBoxCount() == 0)
        return; // the selection was a pen path with nothing drawn
    UndoStep step(*this);
    for (std::size_t i = 0; i < textViewAry.size();) {
        MyViewBase* box = textViewAry[i];
        if (!box->selected()) {
            ++i;
            continue;
        }
        textViewAry.erase(textViewAry.begin() + std::ptrdiff_t(i));
        // The window must not keep the text view of a box that is gone.
        auto* text = dynamic_cast<MyTextView*>(box);
        if (text && m_delegate && m_delegate->currentlySelectedTextView() == text->txtBox())
            m_delegate->setCurrentlySelectedTextView(nullptr);
        // The nest owns the box: taking it out of the container ends both.
        if (platform::View* nest = nestOf(*box))
            nest->removeFromSuperview();
    }
    step.commit();
    markForDisplay();
}

// ---- stacking order

bool TextViewContainer::canBringForward() const
{
    const auto i = soleSelected(textViewAry);
    return i && *i + 1 < textViewAry.size();
}

bool TextViewContainer::canSendBackward() const
{
    const auto i = soleSelected(textViewAry);
    return i && *i > 0;
}

void TextViewContainer::bringForward()
{
    if (canBringForward())
        moveBox(*soleSelected(textViewAry), *soleSelected(textViewAry) + 1);
}

void TextViewContainer::bringToFront()
{
    if (canBringForward())
        moveBox(*soleSelected(textViewAry), textViewAry.size() - 1);
}

void TextViewContainer::sendBackward()
{
    if (canSendBackward())
        moveBox(*soleSelected(textViewAry), *soleSelected(textViewAry) - 1);
}

void TextViewContainer::sendToBack()
{
    if (canSendBackward())
        moveBox(*soleSelected(textViewAry), 0);
}

void TextViewContainer::moveBox(std::size_t from, std::size_t to)
{
    UndoStep step(*this);
    MyViewBase* box = textViewAry[from];
    textViewAry.erase(textViewAry.begin() + std::ptrdiff_t(from));
    textViewAry.insert(textViewAry.begin() + std::ptrdiff_t(to), box);
    restackNests();
    step.commit();
    markForDisplay();
}

// ---- frame and corner fields

Rect TextViewContainer::frameChanged(qint64 value, qint64 tag, bool lock)
{
    const auto index = soleSelected(textViewAry);
    if (!index)
        return Rect();
    MyViewBase& box = *textViewAry[*index];
    UndoStep step(*this);
    Rect f = box.frame();
    // A side of 0 counts as 1 in the lock's ratio; the ratio is taken from the side as it is
    // set, so the other side follows a held value and stays at least 1 too.
    const double w = f.width() > 0.0 ? f.width() : 1.0;
    const double h = f.height() > 0.0 ? f.height() : 1.0;
    switch (tag) {
    case 0: {
        const double width = value > 0 ? heldSide(double(value)) : 1.0;
        f.size = Size(width, lock ? heldSide(f.height() * width / w) : f.height());
        box.setFrameSize(f.size);
        box.setFrameOrigin(f.origin);
        break;
    }
    case 1: {
        const double height = value > 0 ? heldSide(double(value)) : 1.0;
        f.size = Size(lock ? heldSide(f.width() * height / h) : f.width(), height);
        box.setFrameSize(f.size);
        box.setFrameOrigin(f.origin);
        break;
    }
    case 2:
        f.origin.x = heldCoordinate(double(value));
        box.setFrameOrigin(f.origin);
        break;
    case 3:
        f.origin.y = heldCoordinate(double(value));
        box.setFrameOrigin(f.origin);
        break;
    default:
        break;
    }
    step.commit();
    markForDisplay();
    return f;
}

void TextViewContainer::roundRectChanged(qint64 radius, qint64 tag, bool lock)
{
    const auto index = soleSelected(textViewAry);
    if (!index)
        return;
    auto* shape = dynamic_cast<MyShapeView*>(textViewAry[*index]);
    if (!shape || !hasRoundedCorners(shape->shapeType()))
        return;
    UndoStep step(*this);
    // With the lock every corner takes the radius; without it only the field's corner.
    shape->setRoundRectRadius(cornerOfField(tag), heldInt(radius), !lock);
    shape->imgPersp = platform::Image();
    step.commit();
    markForDisplay();
}

// ---- keys

void TextViewContainer::MoveTextBoxwithKey(int key, bool bShifted)
{
    if (GetSelectedBoxCount() == 0)
        return;
    double step = bShifted ? 10.0 : 1.0;
    const bool arrow = platform::isArrowKeyCode(key);
    // Only the arrows move boxes; the refresh takes no step.
    std::optional<UndoStep> undoStep;
    if (arrow) {
        // As far as the picture's edge leaves each box a grab margin inside.
        std::vector<Rect> frames;
        for (const MyViewBase* box : textViewAry)
            frames.push_back(box->frame());
        const Point wanted = key == 123 ? Point(-step, 0)
            : key == 124                ? Point(step, 0)
            : key == 125                ? Point(0, -step)
                                        : Point(0, step);
        const Point held = heldMove(frames, wanted);
        step = std::abs(held.x) + std::abs(held.y);
        if (step == 0.0)
            return;
        undoStep.emplace(*this);
    }
    for (MyViewBase* box : textViewAry) {
        if (!box->selected())
            continue;
        const Point o = box->frame().origin;
        switch (key) {
        case 123:
            box->setFrameOrigin(Point(heldCoordinate(o.x - step), o.y));
            break;
        case 124:
            box->setFrameOrigin(Point(heldCoordinate(o.x + step), o.y));
            break;
        case 125:
            box->setFrameOrigin(Point(o.x, heldCoordinate(o.y - step)));
            break;
        case 126:
            box->setFrameOrigin(Point(o.x, heldCoordinate(o.y + step)));
            break;
        case 999:
            // A refresh of the text boxes after a gesture. Moving out and straight back nets
            // nothing, so marking them for display is all it takes.
            if (dynamic_cast<MyTextView*>(box))
                box->setNeedsDisplay();
            break;
        default:
            break;
        }
    }
    if (undoStep)
        undoStep->commit();
    markForDisplay();
}

Point TextViewContainer::heldMove(const std::vector<Rect>& frames, Point delta) const
{
    if (frames.size() != textViewAry.size() || !delta.isFinite())
        return delta;
    const Rect picture = bounds();
    const double margin = kGrabMargin / zoomScale();
    double loX = -INFINITY, hiX = INFINITY, loY = -INFINITY, hiY = INFINITY;
    for (std::size_t i = 0; i < textViewAry.size(); ++i) {
        const MyViewBase* box = textViewAry[i];
        if (!box || !box->selected())
            continue;
        // The box's outline where it was, turned as it is.
        const Point back(
            frames[i].origin.x - box->frame().origin.x, frames[i].origin.y - box->frame().origin.y);
        double minX = INFINITY, maxX = -INFINITY, minY = INFINITY, maxY = -INFINITY;
        for (const Point& q : gesture::outlineOf(*box)) {
            minX = std::min(minX, q.x + back.x);
            maxX = std::max(maxX, q.x + back.x);
            minY = std::min(minY, q.y + back.y);
            maxY = std::max(maxY, q.y + back.y);
        }
        // A box smaller than twice the margin keeps half of itself inside.
        const double mx = std::min(margin, (maxX - minX) / 2);
        const double my = std::min(margin, (maxY - minY) / 2);
        // Where it is out already, it may stay (0 stays allowed) or come back.
        loX = std::max(loX, std::min(0.0, picture.minX() + mx - maxX));
        hiX = std::min(hiX, std::max(0.0, picture.maxX() - mx - minX));
        loY = std::max(loY, std::min(0.0, picture.minY() + my - maxY));
        hiY = std::min(hiY, std::max(0.0, picture.maxY() - my - minY));
    }
    return Point(std::clamp(delta.x, std::min(loX, hiX), std::max(loX, hiX)),
        std::clamp(delta.y, std::min(loY, hiY), std::max(loY, hiY)));
}

// ---- picture replacement

void TextViewContainer::replaceImage(const platform::Image& picture)
{
    // Only picture boxes have a picture to replace; selected texts and shapes stay as they are.
    std::vector<MyImageView*> boxes;
    for (MyViewBase* box : textViewAry) {
        if (auto* image = dynamic_cast<MyImageView*>(box); image && image->selected())
            boxes.push_back(image);
    }
    if (boxes.empty())
        return;
    const std::optional<Size> working = m_canvas ? m_canvas->workingImageSize() : std::nullopt;
    if (!working || !(working->width > 0.0 && working->height > 0.0)) {
        qCWarning(lcContainer) << "replaceImage: no working picture; nothing replaced";
        return;
    }
    const platform::FilterImage source = pictureSource(picture);
    if (source.isNull()) {
        qCWarning(lcContainer) << "replaceImage: the picture has no pixels; nothing replaced";
        return;
    }
    // The picture is held to 600 on its longer side, or three quarters of a working picture
    // smaller than that.
    const double m = std::min(working->width, working->height);
    const float limit = m >= 600.0 ? 600.0f : 0.75f * float(m);
    const Size size = source.extent().size;
    const double longer = size.width > size.height ? size.width : size.height;
    const platform::FilterImage reduced
        = longer > double(limit) ? reducedPicture(source, limit / float(longer)) : source;
    const platform::Image image = imageWithCIImage(reduced);
    const Size extent = reduced.extent().size;

    UndoStep step(*this);
    for (MyImageView* box : boxes) {
        box->setOrgImage(image, extent.width, extent.height);
        box->imgPersp = platform::Image();
        box->setNeedsDisplay();
    }
    step.commit();
    markForDisplay();
}

// ---- copy and paste

std::vector<UNDODATA> TextViewContainer::selectedRecords() const
{
    std::vector<UNDODATA> records;
    for (const MyViewBase* box : textViewAry)
        if (box->selected())
            records.push_back(box->getUndoData());
    return records;
}

int TextViewContainer::pasteRecords(const std::vector<UNDODATA>& records)
{
    // Records may come from another document or an older copy: hold them to what a box can
    // show, and leave out what could not be shown as it was copied.
    std::vector<UNDODATA> arriving;
    for (UNDODATA record : records) {
        if (!record.validate() || record.type < UNDODATA::TextBox
            || record.type > UNDODATA::ShapeBox) {
            qCWarning(lcContainer) << "paste: skipped an invalid record of type" << record.type;
            continue;
        }
        record.selected = true;
        record.isEditing = false;
        arriving.push_back(std::move(record));
    }
    // When nothing arrives, the selection and the history stay as they were.
    if (arriving.empty())
        return 0;
    UndoStep step(*this);
    removeAllSelection();
    if (m_delegate)
        m_delegate->setCurrentlySelectedTextView(nullptr);
    int pasted = 0;
    for (const UNDODATA& record : arriving)
        if (addBoxFromRecord(record))
            ++pasted;
    step.commit();
    if (m_delegate)
        m_delegate->textViewSelected(textViewAry);
    markForDisplay();
    return pasted;
}

void TextViewContainer::duplicateSelection()
{
    pasteRecords(selectedRecords());
}
