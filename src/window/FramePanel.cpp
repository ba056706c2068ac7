// The frame and corner panels: whole-pixel frame values with the aspect lock, corner radii
// with the corner lock, and the lock buttons' pictures.
#include "window/FramePanel.h"

#include "boxes/MyShapeView.h"
#include "boxes/MyViewBase.h"
#include "boxes/ShapeModel.h"
#include "container/TextViewContainer.h"
#include "platform/ui/NamedImage.h"
#include "platform/ui/Stepper.h"
#include "window/DocumentWindowOutlets.h"
#include "window/FieldNumbers.h"

#include <QIcon>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <algorithm>
#include <cmath>

using fieldnumbers::kPixels;
using platform::Rect;
using platform::Stepper;

namespace {

// The field (tag 0 to 3) or the stepper (100 to 103) of a panel.
template <class T> T* byTag(QWidget* panel, int tag)
{
    for (QObject* child : panel->children()) {
        auto* w = dynamic_cast<T*>(child);
        const QVariant t = child->property("tag");
        if (w && t.isValid() && t.toInt() == tag)
            return w;
    }
    return nullptr;
}

int tagOf(const QObject& control)
{
    return control.property("tag").toInt();
}

// Frame values as the fields show them: rounded half up, and kept where a stepper can hold
// them. (Truncating v + 0.5 toward zero would show -20 as -19.)
int roundedPixels(double v)
{
    if (!std::isfinite(v))
        return 0;
    return int(std::floor(std::clamp(v + 0.5, -1e9, 1e9)));
}

const MyShapeView* roundedShape(const MyViewBase* box)
{
    const auto* shape = boxAs<MyShapeView>(box);
    if (!shape)
        return nullptr;
    const int type = shape->shapeType();
    return type == shape::RoundedRectangle || type == shape::OvalCallout
            || type == shape::RoundedBoxCallout
        ? shape
        : nullptr;
}

// The largest radius a shape keeps, in the pixels the fields show: a radius is a fraction of
// the width, and each corner spans at most half of each side.
int maxRadiusOf(const MyViewBase& box)
{
    return roundedPixels(std::max(box.frame().width(), 0.0) / 2.0);
}

// The four radii in field order: tags 0 to 3 show the corners 3, 2, 0 and 1.
std::array<int, 4> fieldOrder(const std::array<int, 4>& r)
{
    return { r[3], r[2], r[0], r[1] };
}

const MyViewBase* firstSelected(const TextViewContainer* layer)
{
    if (!layer)
        return nullptr;
    for (const MyViewBase* box : layer->textViewAry)
        if (box->selected())
            return box;
    return nullptr;
}

// The last selected box and the last selected rounded shape, which the panels show.
struct Shown {
    const MyViewBase* last = nullptr;
    const MyShapeView* rounded = nullptr;
};

// Looked for from the end, which Select All over thousands of boxes reaches at once.
Shown shownOf(const std::vector<MyViewBase*>& boxes)
{
    Shown s;
    for (auto it = boxes.rbegin(); it != boxes.rend() && !s.rounded; ++it) {
        const MyViewBase* box = *it;
        if (!box->selected())
            continue;
        if (!s.last)
            s.last = box;
        s.rounded = roundedShape(box);
    }
    return s;
}

} // namespace

FramePanel::FramePanel(InspectorHost& host)
    : InspectorPanel(host)
{
    const DocumentWindowOutlets& c = controls();
    for (QWidget* panel : { c.panelFrame, c.panelRoundRect }) {
        const bool frame = panel == c.panelFrame;
        for (int tag = 0; tag < 4; ++tag) {
            Stepper* stepper = byTag<Stepper>(panel, 100 + tag);
            QLineEdit* field = byTag<QLineEdit>(panel, tag);
            onAction(stepper, [this, stepper, frame] {
                frame ? frameStepperChanged(*stepper) : roundRectStepperChanged(*stepper);
            });
            onEdited(field, [this, field, frame] {
                frame ? frameTextFieldChanged(*field) : roundRectTextFieldChanged(*field);
            });
        }
    }
    onClicked(c.btnFrameLock, [this, b = c.btnFrameLock] { btnFrameLockClicked(*b); });
    onClicked(c.btnRoundRectLock, [this, b = c.btnRoundRectLock] { btnRoundReckClicked(*b); });
    showLock(*c.btnFrameLock);
    showLock(*c.btnRoundRectLock);
}

QString FramePanel::lockImageName(bool locked)
{
    return locked ? QStringLiteral("lockbutton1") : QStringLiteral("lockbutton");
}

void FramePanel::showLock(QPushButton& button)
{
    const QString name = lockImageName(button.isChecked());
    button.setProperty("imageName", name);
    const QSize size = button.iconSize();
    const platform::Image picture = platform::namedImage(
        name, platform::Size(size.width(), size.height()), button.devicePixelRatioF());
    QPixmap pixmap = QPixmap::fromImage(picture.toQImage());
    pixmap.setDevicePixelRatio(button.devicePixelRatioF());
    button.setIcon(QIcon(pixmap));
}

void FramePanel::refresh(const std::vector<MyViewBase*>& boxes)
{
    const Shown shown = shownOf(boxes);
    if (shown.last)
        showFrame(shown.last->frame(), false);
    showCornersOf(shown.rounded);
}

void FramePanel::showEditedText(MyTextBox&, platform::TextRange)
{
    if (const TextViewContainer* layer = boxLayer())
        refresh(layer->textViewAry);
}

void FramePanel::startSelection()
{
    const DocumentWindowOutlets& c = controls();
    for (QPushButton* lock : { c.btnFrameLock, c.btnRoundRectLock }) {
        lock->setChecked(true);
        showLock(*lock);
    }
}

void FramePanel::showFrame(const Rect& frame, bool originOnly)
{
    QWidget* panel = controls().panelFrame;
    if (!originOnly) {
        showByTag(panel, 0, roundedPixels(frame.width()));
        showByTag(panel, 1, roundedPixels(frame.height()));
    }
    showByTag(panel, 2, roundedPixels(frame.x()));
    showByTag(panel, 3, roundedPixels(frame.y()));
}

void FramePanel::showByTag(QWidget* panel, int tag, int value)
{
    Stepper* stepper = byTag<Stepper>(panel, 100 + tag);
    QLineEdit* field = byTag<QLineEdit>(panel, tag);
    if (!stepper || !field)
        return;
    stepper->setIntValue(value);
    showText(field, stepper->stringValue() + kPixels);
}

void FramePanel::showCornersOf(const MyShapeView* rounded)
{
    showCorners(rounded ? fieldOrder(rounded->getRoundRectRadius()) : std::array<int, 4> {},
        rounded ? maxRadiusOf(*rounded) : 0);
}

void FramePanel::showCorners(const std::array<int, 4>& radii, int max)
{
    QWidget* panel = controls().panelRoundRect;
    // A radius stored before radii were held is still shown as it is.
    const int top = std::max(max, *std::max_element(radii.begin(), radii.end()));
    for (int tag = 0; tag < 4; ++tag) {
        if (Stepper* stepper = byTag<Stepper>(panel, 100 + tag))
            stepper->setMaxValue(top);
        showByTag(panel, tag, radii[std::size_t(tag)]);
    }
}

void FramePanel::UpdateBoxFrameInfo(bool originOnly)
{
    const MyViewBase* box = firstSelected(boxLayer());
    showFrame(box ? box->frame() : Rect(), originOnly);
}

void FramePanel::UpdateBoxRoundInfo()
{
    const MyShapeView* rounded = nullptr;
    if (const TextViewContainer* layer = boxLayer()) {
        for (const MyViewBase* box : layer->textViewAry) {
            if (box->selected() && (rounded = roundedShape(box)))
                break;
        }
    }
    showCornersOf(rounded);
}

// ---- frame and corners

// The field a stepper (tag 100 + k) writes: the one tagged k in the same panel.
void FramePanel::stepperChanged(Stepper& sender, void (FramePanel::*fieldAction)(QLineEdit&))
{
    host().beforeAction();
    QLineEdit* field = byTag<QLineEdit>(sender.parentWidget(), tagOf(sender) - 100);
    if (!field)
        return;
    showText(field, sender.stringValue() + kPixels);
    (this->*fieldAction)(*field);
}

// The field's leading whole number, held to the range of its stepper; nothing for text
// without a number.
std::optional<int> FramePanel::typedValue(const QLineEdit& field)
{
    const std::optional<int> typed = fieldnumbers::leadingInt(field.text(), kPixels);
    const Stepper* stepper = byTag<Stepper>(field.parentWidget(), 100 + tagOf(field));
    if (!typed || !stepper)
        return std::nullopt;
    return fieldnumbers::held(*typed, stepper->minValue(), stepper->maxValue());
}

void FramePanel::frameStepperChanged(Stepper& sender)
{
    stepperChanged(sender, &FramePanel::frameTextFieldChanged);
}

void FramePanel::frameTextFieldChanged(QLineEdit& sender)
{
    host().beforeAction();
    TextViewContainer* layer = boxLayer();
    if (!layer)
        return;
    // A side of 0 or less is sent as 1: the stepper's range starts there.
    if (const std::optional<int> n = typedValue(sender))
        layer->frameChanged(*n, tagOf(sender), controls().btnFrameLock->isChecked());
    // What the boxes have now: a refused edit (several boxes, no number) puts their values
    // back, and the lock's other side shows the box's, rounded half up.
    if (const MyViewBase* box = shownOf(layer->textViewAry).last)
        showFrame(box->frame(), false);
}

void FramePanel::roundRectStepperChanged(Stepper& sender)
{
    stepperChanged(sender, &FramePanel::roundRectTextFieldChanged);
}

void FramePanel::roundRectTextFieldChanged(QLineEdit& sender)
{
    host().beforeAction();
    TextViewContainer* layer = boxLayer();
    if (!layer)
        return;
    if (const std::optional<int> n = typedValue(sender))
        layer->roundRectChanged(*n, tagOf(sender), controls().btnRoundRectLock->isChecked());
    // The radii the shape took (all four with the lock); with no single rounded shape
    // selected the container refused, and the fields show what the boxes have.
    showCornersOf(shownOf(layer->textViewAry).rounded);
}

// ---- locks

void FramePanel::btnFrameLockClicked(QPushButton& sender)
{
    showLock(sender);
}

void FramePanel::btnRoundReckClicked(QPushButton& sender)
{
    showLock(sender);
}
