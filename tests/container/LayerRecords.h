#pragma once
// Box layers for the message and arrangement tests: records of new boxes of each kind, a layer
// built from them, and the check that undo and redo give back the layer a change left.
#include "ContainerTestSupport.h"

#include <vector>

namespace layertest {

enum class Kind { Text, Image, Shape };

struct Box {
    Kind kind = Kind::Text;
    bool selected = true;
    platform::Rect frame = platform::Rect(10.0, 20.0, 100.0, 50.0);
    int shapeType = shape::Rectangle;
};

// The record of a new box of the kind, at the frame, selected or not.
inline UNDODATA record(const Box& b)
{
    UNDODATA r;
    switch (b.kind) {
    case Kind::Text:
        r = MyTextView(b.frame).getUndoData();
        break;
    case Kind::Image: {
        MyImageView image(b.frame);
        image.setOrgImage(solidPicture(40, 20), b.frame.width(), b.frame.height());
        r = image.getUndoData();
        break;
    }
    case Kind::Shape:
        r = MyShapeView(b.frame, b.shapeType).getUndoData();
        break;
    }
    r.frame = b.frame;
    r.selected = b.selected;
    return r;
}

// Replaces the rig's layer by the boxes, bottom first; no undo step.
inline void build(ContainerRig& rig, const std::vector<Box>& boxes)
{
    std::vector<UNDODATA> records;
    for (const Box& b : boxes)
        records.push_back(record(b));
    rig.container->applyUndoData(ContainerSnapshot(std::move(records)));
}

template <class T> T* boxAt(ContainerRig& rig, std::size_t i)
{
    return dynamic_cast<T*>(rig.container->textViewAry.at(i));
}

// Undo gives back before; redo gives back the layer as the change left it, so the live boxes
// held nothing that their records could not restore.
inline void expectUndoRedoRoundTrip(ContainerRig& rig, const ContainerSnapshot& before)
{
    const ContainerSnapshot after = rig.container->containerSnapshot();
    rig.undo.undo();
    EXPECT_TRUE(rig.container->containerSnapshot() == before) << "after undo";
    rig.undo.redo();
    EXPECT_TRUE(rig.container->containerSnapshot() == after) << "after redo";
}

} // namespace layertest
