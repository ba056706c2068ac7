#pragma once
// The box view of a shape: lines, curves, pen paths and the figures (rectangles, ellipses,
// triangles, block arrows, a diamond, callouts, polygons and stars). On top of the common box
// style it holds the shape's model (ShapeModel: type, unit-box points, per-type control values,
// the head codes of a line's ends, the pen-drawing flag). It draws nothing itself: its wrapper
// MyShapeSuper turns the model into an outline and paints it.
//
// The model's entries are read defensively everywhere, but a record is also repaired when it
// is restored (repairRecord), so that what a box holds always has the entries its type needs.
// The accessors are plain stores: no validation, no redraw.
#include "boxes/MyViewBase.h"
#include "boxes/ShapeModel.h"
#include "boxes/ShapeOutline.h"
#include "boxes/UnitBoxMap.h"

#include <QString>
#include <array>
#include <vector>

class MyShapeView : public MyViewBase {
public:
    static constexpr BoxKind kBoxKind = BoxKind::Shape;
    BoxKind boxKind() const override { return kBoxKind; }
    // initWithFrame:shapeType: the box defaults, then the shape's presets: no points, blue
    // fill, drop and inner shadow black at 0.75 and angle 90, and per type the points and
    // control values a new shape starts with. Type 1 becomes a line (type 0) with an arrow at
    // its end; line types get stroke width 6. Any other type value gets the common presets only.
    MyShapeView(const platform::Rect& frame, int shapeType);
    ~MyShapeView() override;

    // ---- model
    const std::vector<platform::Point>& points() const { return m_model.points; }
    void setPoints(std::vector<platform::Point> points) { m_model.points = std::move(points); }
    const std::vector<ControlValue>& controlVals() const { return m_model.controlVals; }
    void setControlVals(std::vector<ControlValue> values)
    {
        m_model.controlVals = std::move(values);
    }
    int shapeType() const { return m_model.shapeType; }
    void setShapeType(int type) { m_model.shapeType = type; }
    int startType() const { return m_model.startType; }
    void setStartType(int type) { m_model.startType = type; }
    int endType() const { return m_model.endType; }
    void setEndType(int type) { m_model.endType = type; }
    bool isDrawing() const { return m_model.isDrawing; }
    void setIsDrawing(bool drawing) { m_model.isDrawing = drawing; }

    // The model as the outline code reads it (the stroke width taken from the box).
    const ShapeModel& model() const;

    // Lines, arrow lines, curves and pen paths: the shapes whose points are the geometry, which
    // carry heads, and whose frame follows their points.
    bool isLineType() const { return isLineType(shapeType()); }
    static bool isLineType(int type);
    // A line, or a curve or pen path that is not closed: painted as a band in the stroke fill.
    bool isOpenLine() const;

    // ---- records
    UNDODATA getUndoData() const override;
    // The base restore, then the model from the record after repairRecord, then the drop
    // shadow.
    void setUndoData(const UNDODATA& record) override;
    // The base style transfer; head codes go only from a line-type record to a line-type box,
    // and a closed path (end code 99) on either side keeps the box's end code. Then the drop
    // shadow.
    void setCopyPasteStyle(const UNDODATA& record) override;

    // Brings a shape record into what its type needs, with a log line per repair: control values
    // of the wrong count or kind padded or trimmed with the presets (a callout's outline
    // rebuilt), curve and pen-path flags matched to the points, a block arrow's handle supplied
    // and held in its editing range, side counts held to 0..100 and stored as integers, a star's
    // ratio held to 0..1, negative radii made 0, unit coordinates held within +-1e4, a frame at
    // least 1 by 1, head codes outside 0..8 made 0 (end code 99 kept). Answers whether the
    // record needed nothing. Records of other kinds are left alone.
    static bool repairRecord(UNDODATA& record);

    // ---- handles and their editing
    // The four corners of the turned box (GetFourPoints with gap 0).
    BoxCorners corners() const;
    // The handles in index order, in unit-box coordinates; none for types without handles.
    std::vector<platform::Point> controlPoints() const;
    // Drags handle idx to pt (unit-box coordinates); bAlt while Option is held. Changes the
    // model and, for line types, the frame (fitted to the points). Returns the hint text, empty
    // for none.
    QString modifyControlPoint(int idx, const platform::Point& pt, bool bAlt);

    // ---- corner radii of rounded rectangles and callouts
    // Sets the radius of corner idx (or of all four without bAlt) from a typed pixel value, as
    // a fraction of the frame width, held within 0..0.5 (each corner's arc spans at most half
    // of each side). Ignored by other types and while the frame is less than 1 wide. A
    // callout's outline is rebuilt.
    void setRoundRectRadius(int idx, int val, bool bAlt);
    // The four radii in pixels (rounded half up), or -1 four times for a shape without radii.
    std::array<int, 4> getRoundRectRadius() const;
    // The callout outline with its tail, in unit-box coordinates (writes the tail handle and
    // base control values).
    std::vector<platform::Point> roundRectPoints();
    // The spline samples of container positions, with this shape's corner flags.
    std::optional<SplineSamples> splinePoints(const std::vector<platform::Point>& pts) const;

    // The unit-box map, as the shape offers it to its callers.
    static platform::Point calcPoints(const BoxCorners& outline, const platform::Point& pt);
    static platform::Point calcPoints(const BoxCorners& outline, double x, double y);
    static platform::Point reversePoint(const BoxCorners& outline, const platform::Point& pt);

    // The frame grown by half the border, united with the outline's bounds (grown by half the
    // stroke for a stroked closed shape), as if the box were not turned: a callout's tail and a
    // line's heads may reach beyond the frame.
    platform::Rect drawnBounds() const override;

private:
    QString moveLinePoint(int idx, const platform::Point& pt);
    QString setCornerRadii(int first, int idx, const platform::Point& pt, bool bAlt);
    QString moveCalloutHandle(int idx, const platform::Point& pt, bool bAlt);
    QString setSideCount(const platform::Point& pt);

    // strokeSize is the box's; it is copied in when the model is read.
    mutable ShapeModel m_model;
};
