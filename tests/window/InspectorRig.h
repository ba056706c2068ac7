#pragma once
// A ready window whose layer is built from box records: the inspector tests select boxes of
// each kind and read the panels.
#include "ReadyWindow.h"
#include "boxes/MyImageView.h"
#include "boxes/MyShapeView.h"
#include "boxes/MyTextBox.h"
#include "boxes/MyTextView.h"
#include "boxes/ShapeModel.h"
#include "container/ContainerSnapshot.h"
#include "platform/text/Font.h"
#include "platform/text/TextAttributeNames.h"

#include <functional>
#include <stdexcept>
#include <vector>

namespace windowtest {

enum class Kind { Text, Image, Shape };

struct BoxSpec {
    Kind kind = Kind::Text;
    int shapeType = shape::Rectangle;
    bool selected = true;
    // Changes the record before the box is made (fonts, shadows, ...).
    std::function<void(UNDODATA&)> edit = {};
};

inline UNDODATA recordOf(const BoxSpec& b, int i)
{
    const platform::Rect frame(10.0 + 5 * (i % 50), 20.0 + 3 * (i % 50), 100.0, 50.0);
    UNDODATA r;
    switch (b.kind) {
    case Kind::Text:
        r = MyTextView(frame).getUndoData();
        break;
    case Kind::Image: {
        MyImageView image(frame);
        image.setOrgImage(solidPicture(40, 20, QColor(20, 200, 40)), 100, 50);
        r = image.getUndoData();
        break;
    }
    case Kind::Shape:
        r = MyShapeView(frame, b.shapeType).getUndoData();
        break;
    }
    r.frame = frame;
    r.selected = b.selected;
    if (b.edit)
        b.edit(r);
    return r;
}

struct InspectorWindow : ReadyWindow {
    using ReadyWindow::ReadyWindow;
    // Replaces the layer by the boxes, bottom first, without an undo step; the container
    // tells the window of the new selection as it does after any change.
    void build(const std::vector<BoxSpec>& boxes)
    {
        std::vector<UNDODATA> records;
        for (std::size_t i = 0; i < boxes.size(); ++i)
            records.push_back(recordOf(boxes[i], int(i)));
        this->boxes().applyUndoData(ContainerSnapshot(std::move(records)));
        win.textViewSelected(this->boxes().textViewAry);
    }
    template <class T> T* boxAt(std::size_t i) const
    {
        return dynamic_cast<T*>(boxes().textViewAry.at(i));
    }
    // The window's controller of one inspector panel.
    template <class P> P& panel() const
    {
        for (const auto& p : win.inspectorPanels())
            if (auto* found = dynamic_cast<P*>(p.get()))
                return *found;
        throw std::logic_error("no such panel");
    }
};

} // namespace windowtest

namespace windowtest {

// One run of a text box's text: its characters in a face and size, with extra attributes.
struct Run {
    QString text;
    QString face = QStringLiteral("Helvetica");
    double size = 24.0;
    platform::AttributeDictionary extra = {};
};

inline platform::AttributedString runs(const std::vector<Run>& parts)
{
    platform::AttributedString s;
    for (const Run& r : parts) {
        platform::AttributeDictionary a = MyTextBox::defaultAttributes();
        if (auto font = platform::Font::withName(r.face, r.size))
            a[platform::TextAttributeNames::font] = *font;
        for (const auto& [k, v] : r.extra)
            a[k] = v;
        s.append(platform::AttributedString(r.text, a));
    }
    return s;
}

// A selected text box holding the runs.
inline BoxSpec textOf(std::vector<Run> parts)
{
    return { Kind::Text, shape::Rectangle, true, [parts](UNDODATA& r) { r.rtf = runs(parts); } };
}

} // namespace windowtest
