#pragma once
// The base view of every box on the canvas: the style all kinds share (fills, border and
// stroke widths, drop, inner and box shadows, rotation, perspective and curve warps), the
// selection and editing flags, the references to the window and the container, the cache of
// the box's warped picture, the box outline, and the record operations (getUndoData,
// setUndoData, setCopyPasteStyle).
//
// A box never stands alone: it sits in a wrapper of its kind, which sits in the box's warp
// view; both cover the container, so the box's frame is in container coordinates. The box
// itself is turned about its centre (rotationAngle); the wrappers stay unturned and draw from
// the outline (GetFourPoints).
//
// Property setters are plain stores unless their comment says otherwise.
#include "boxes/UNDODATA.h"
#include "foundation/SZGradient.h"
#include "platform/graphics/Color.h"
#include "platform/graphics/GraphicsContext.h"
#include "platform/graphics/Image.h"
#include "platform/ui/View.h"

#include <array>
#include <optional>
#include <vector>

class BoxHost;
class DocumentWindowRef;

class MyViewBase : public platform::View {
public:
    // initWithFrame: the defaults of every box.
    explicit MyViewBase(const platform::Rect& frame);
    ~MyViewBase() override;

    // The box's kind, for code that visits thousands of boxes (the inspector's refresh), where
    // a dynamic_cast costs more than the rest of the visit: see boxAs.
    enum class BoxKind { Other, Text, Image, Shape };
    virtual BoxKind boxKind() const { return BoxKind::Other; }

    // ---- fields without accessors (the warp view and the container use them)
    // The drop shadow last built by setShadows; installed on the box's warp view.
    std::optional<platform::Shadow> shadow;
    // The cached warped picture of the box, where it is drawn (container coordinates, before
    // turning), and the record it was made from.
    platform::Image imgPersp;
    platform::Rect imgRect;
    std::optional<UNDODATA> ud;

    // ---- outline
    // The four corners of the turned box grown by gap on every side (p0 at the frame origin,
    // p1 along the turned x axis, p2 opposite p0, p3 along the turned y axis), then the
    // midpoints of the sides p3-p0, p1-p2, p0-p1 and p3-p2. Sine and cosine are taken in
    // single precision, with pi as 3.141592.
    void GetFourPoints(std::array<platform::Point, 8>& points, double gap) const;

    // What the box draws, in container coordinates as if the box were not turned: the warp
    // capture renders at least this much. The frame unless a kind draws beyond it.
    virtual platform::Rect drawnBounds() const;
    // What the box draws in its wrappers, in container coordinates: the turned outline, what
    // it draws beyond its frame and its warped picture, grown by its border and stroke (and a
    // unit for antialiasing). The drop shadow, cast by the warp view, is not included.
    platform::Rect drawnCoverage() const;

    // ---- records
    virtual UNDODATA getUndoData() const;
    // Restores the box from a record; the record is validated first (bad values become safe
    // ones with a log line). Missing fills restore as the defaults of a new box.
    virtual void setUndoData(const UNDODATA& record);
    // Takes a record's look but not its place, size, rotation, selection or content.
    virtual void setCopyPasteStyle(const UNDODATA& record);

    // Builds the drop shadow from the shadow fields and installs it on the box's warp view
    // (the superview's superview), so that it falls behind the whole warped box. Without a
    // shadow colour no shadow is installed.
    void setShadows();

    // ---- rotation: wraps once into 0..360 (one correction each way), stores, turns the view
    // about its centre. A non-finite angle is refused with a log line.
    double rotationAngle() const { return _rotationAngle; }
    void setRotationAngle(double angle);

    // ---- warp direction codes, as the inspector shows and sets them
    int getPerspectiveAngle() const;
    int getPerspectiveSize() const;
    int getCurveAngle() const;
    int getCurveSize() const;
    // A perspective or a curve bends the box: it is shown from its warped picture unless edited.
    bool isWarped() const { return getPerspectiveSize() != 0 || getCurveSize() != 0; }
    // Chooses the perspective's direction (0 or 180 horizontal, 90 or 270 vertical) keeping its
    // strength and sign; empties the cached picture.
    void setPerspectiveAngle(int code);
    // Puts the whole curve on one side (0 up, 180 down); empties the cached picture.
    void setCurveAngle(int code);

    // ---- frame: resizing drops the cached picture, moving carries it along.
    void setFrame(const platform::Rect& frame) override;
    void setFrameSize(const platform::Size& size) override;
    void setFrameOrigin(const platform::Point& origin) override;

    // ---- the opacity of the box's layer: the whole box view drawn at this alpha, and its
    // fills drawn with it by the wrappers. Clamped to 0..1; NaN reads 1.
    float layerOpacity() const { return _layerOpacity; }
    void setLayerOpacity(float opacity);

    // ---- properties
    bool selected() const { return _selected; }
    virtual void setSelected(bool selected) { _selected = selected; }
    bool isEditing() const { return _isEditing; }
    virtual void setIsEditing(bool editing) { _isEditing = editing; }
    int borderSize() const { return _borderSize; }
    void setBorderSize(int size) { _borderSize = size; }
    int strokeSize() const { return _strokeSize; }
    void setStrokeSize(int size) { _strokeSize = size; }
    float horzPerspective() const { return _horzPerspective; }
    void setHorzPerspective(float value) { _horzPerspective = value; }
    float vertPerspective() const { return _vertPerspective; }
    void setVertPerspective(float value) { _vertPerspective = value; }
    int innerShadowAngle() const { return _innerShadowAngle; }
    void setInnerShadowAngle(int value) { _innerShadowAngle = value; }
    int innerShadowBlurSize() const { return _innerShadowBlurSize; }
    void setInnerShadowBlurSize(int value) { _innerShadowBlurSize = value; }
    int innerShadowOffsetSize() const { return _innerShadowOffsetSize; }
    void setInnerShadowOffsetSize(int value) { _innerShadowOffsetSize = value; }
    int boxShadowAngle() const { return _boxShadowAngle; }
    void setBoxShadowAngle(int value) { _boxShadowAngle = value; }
    int boxShadowBlurSize() const { return _boxShadowBlurSize; }
    void setBoxShadowBlurSize(int value) { _boxShadowBlurSize = value; }
    int boxShadowOffsetSize() const { return _boxShadowOffsetSize; }
    void setBoxShadowOffsetSize(int value) { _boxShadowOffsetSize = value; }
    int shadowAngle() const { return _shadowAngle; }
    void setShadowAngle(int value) { _shadowAngle = value; }
    int shadowBlurSize() const { return _shadowBlurSize; }
    void setShadowBlurSize(int value) { _shadowBlurSize = value; }
    int shadowOffsetSize() const { return _shadowOffsetSize; }
    void setShadowOffsetSize(int value) { _shadowOffsetSize = value; }
    const SZGradient& backColor() const { return _backColor; }
    void setBackColor(const SZGradient& fill) { _backColor = fill; }
    const SZGradient& overlayColor() const { return _overlayColor; }
    virtual void setOverlayColor(const SZGradient& fill) { _overlayColor = fill; }
    const SZGradient& borderColor() const { return _borderColor; }
    void setBorderColor(const SZGradient& fill) { _borderColor = fill; }
    const SZGradient& strokeColor() const { return _strokeColor; }
    void setStrokeColor(const SZGradient& fill) { _strokeColor = fill; }
    const std::vector<platform::Point>& curves() const { return _curves; }
    void setCurves(const std::vector<platform::Point>& curves) { _curves = curves; }
    const std::optional<platform::Color>& innerShadowColor() const { return _innerShadowColor; }
    void setInnerShadowColor(const std::optional<platform::Color>& c) { _innerShadowColor = c; }
    const std::optional<platform::Color>& boxShadowColor() const { return _boxShadowColor; }
    void setBoxShadowColor(const std::optional<platform::Color>& c) { _boxShadowColor = c; }
    const std::optional<platform::Color>& shadowColor() const { return _shadowColor; }
    void setShadowColor(const std::optional<platform::Color>& c) { _shadowColor = c; }
    DocumentWindowRef* myDocumentWindow() const { return _myDocumentWindow; }
    virtual void setMyDocumentWindow(DocumentWindowRef* window) { _myDocumentWindow = window; }
    BoxHost* myTextViewContainer() const { return _myTextViewContainer; }
    virtual void setMyTextViewContainer(BoxHost* host) { _myTextViewContainer = host; }

    // The fills of a new box.
    static SZGradient defaultBackColor();
    static SZGradient defaultOverlayColor();
    static SZGradient defaultLineColor(); // border and stroke

private:
    // The record fields the box stores just as the record holds them (line sizes and the three
    // shadows), one row each: visit(record member, box member, whether a pasted style carries
    // it). getUndoData, setUndoData and setCopyPasteStyle copy them from this one list.
    template <class Visit> static void forEachStoredField(Visit&& visit);
    bool _selected = false;
    bool _isEditing = false;
    int _borderSize = 0;
    int _strokeSize = 0;
    float _horzPerspective = 0.0f;
    float _vertPerspective = 0.0f;
    int _innerShadowAngle = 0;
    int _innerShadowBlurSize = 0;
    int _innerShadowOffsetSize = 0;
    int _boxShadowAngle = 0;
    int _boxShadowBlurSize = 0;
    int _boxShadowOffsetSize = 0;
    int _shadowAngle = 0;
    int _shadowBlurSize = 0;
    int _shadowOffsetSize = 0;
    double _rotationAngle = 0.0;
    SZGradient _backColor;
    SZGradient _overlayColor;
    SZGradient _borderColor;
    SZGradient _strokeColor;
    std::vector<platform::Point> _curves;
    std::optional<platform::Color> _innerShadowColor;
    std::optional<platform::Color> _boxShadowColor;
    std::optional<platform::Color> _shadowColor;
    // Not owned: the window and the container outlive the boxes they hold.
    DocumentWindowRef* _myDocumentWindow = nullptr;
    BoxHost* _myTextViewContainer = nullptr;
    float _layerOpacity = 1.0f;
};

// The box as one of the kinds (MyTextView, MyImageView or MyShapeView, which name their
// kBoxKind), or nullptr: what a dynamic_cast to the kind answers, at the cost of one call.
template <class T> T* boxAs(MyViewBase* box)
{
    return box && box->boxKind() == T::kBoxKind ? static_cast<T*>(box) : nullptr;
}
template <class T> const T* boxAs(const MyViewBase* box)
{
    return box && box->boxKind() == T::kBoxKind ? static_cast<const T*>(box) : nullptr;
}
