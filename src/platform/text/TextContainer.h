#pragma once
// The region text is laid out in. Coordinates are the text system's own: the origin is the
// container's top-left corner and y grows downward, line after line (the line-shape rules of
// containers are written that way). TextLayout turns them into y-up positions where asked.
//
// For every line the layout proposes a rectangle (the full container width at the line's top,
// as tall as the line's font asks) and the container answers the line fragment: the part of
// it where text may go. A subclass shapes lines (circular or vertical text) by overriding
// lineFragmentRect(). An empty answer means the container is full: the text from there on is
// not laid out. An answer depends only on the proposed rectangle, the characters of the
// line's paragraph and the container's own state (see geometryGeneration()): a layout keeps
// the lines of a paragraph whose characters and attributes an edit left unchanged.
#include "platform/geometry/Rect.h"
#include "platform/geometry/Size.h"

#include <QtGlobal>
#include <limits>

namespace platform {

class AttributedString;

class TextContainer {
public:
    // The largest 32-bit float: a container that never runs out of height.
    static constexpr double unlimited = double(std::numeric_limits<float>::max());

    explicit TextContainer(Size size = Size(unlimited, unlimited))
        : m_size(size)
    {
    }
    virtual ~TextContainer() = default;

    Size size() const { return m_size; }
    void setSize(Size size);

    // Space kept free at both ends of every line fragment.
    double lineFragmentPadding() const { return m_lineFragmentPadding; }
    void setLineFragmentPadding(double padding);

    // Counts the changes of what shapes the lines (size, padding, and whatever a subclass's
    // lineFragmentRect() reads): a layout made at another count is laid out again. Setting a
    // value a container already has changes nothing.
    quint64 geometryGeneration() const { return m_geometryGeneration; }

    // The line fragment for a proposed rectangle; characterIndex is the first character of the
    // line, text the text being laid out. remaining receives what is left of the proposed
    // rectangle beside the fragment (always empty here). The base answer is the proposed
    // rectangle cut to the container's bounds.
    virtual Rect lineFragmentRect(
        const Rect& proposed, int characterIndex, const AttributedString& text, Rect* remaining);

    // False when lineFragmentRect() shapes lines, so callers may not assume full-width lines.
    virtual bool isSimpleRectangularTextContainer() const { return true; }
    // Whether a fragment's x and width depend on the proposed line's y (a circle's chords do;
    // the base container only ends at its bottom edge); a container that shapes lines is
    // taken to unless it says otherwise. Where they do not, a layout moves an unchanged
    // paragraph to a new top without breaking its lines again.
    virtual bool fragmentShapeDependsOnY() const { return !isSimpleRectangularTextContainer(); }

protected:
    // A subclass calls this whenever something its lineFragmentRect() reads changes.
    void geometryDidChange() { ++m_geometryGeneration; }

private:
    Size m_size;
    double m_lineFragmentPadding = 5.0;
    quint64 m_geometryGeneration = 0;
};

} // namespace platform
