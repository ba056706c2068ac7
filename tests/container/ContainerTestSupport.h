#pragma once
// Fakes of the container's window and canvas, and a fixture that builds a container with its
// own undo manager, for the container tests.
#include "boxes/DocumentWindowRef.h"
#include "boxes/MyImageView.h"
#include "boxes/MyShapeView.h"
#include "boxes/MyTextBox.h"
#include "boxes/MyTextView.h"
#include "container/ContainerCanvas.h"
#include "container/ContainerDelegate.h"
#include "container/TextViewContainer.h"
#include "platform/text/TextEditor.h"
#include "platform/undo/UndoManager.h"

#include <QImage>
#include <gtest/gtest.h>
#include <memory>
#include <random>
#include <vector>

class FakeDelegate : public ContainerDelegate, public DocumentWindowRef {
public:
    void textViewSelected(const std::vector<MyViewBase*>& boxes) override
    {
        ++selectedCalls;
        lastBoxes = boxes;
    }
    void setCurrentlySelectedTextView(MyTextBox* textView) override { edited = textView; }
    MyTextBox* currentlySelectedTextView() const override { return edited; }
    void setInstantAlphaState(int state) override { instantAlphaState = state; }
    void ShowSideBar() override { ++sideBarCalls; }

    int selectedCalls = 0;
    std::vector<MyViewBase*> lastBoxes;
    MyTextBox* edited = nullptr;
    int instantAlphaState = -1;
    int sideBarCalls = 0;
};

class FakeCanvas : public ContainerCanvas {
public:
    std::optional<platform::Size> workingImageSize() const override { return size; }
    double customDrawingZoomScale() const override { return zoom; }
    platform::Rect visibleRect() const override { return visible; }
    MyInstantAlphaView* hintBubble() const override { return bubble; }

    std::optional<platform::Size> size = platform::Size(1200.0, 900.0);
    double zoom = 1.0;
    platform::Rect visible;
    MyInstantAlphaView* bubble = nullptr;
};

// A container over a working picture of the canvas's size, with a delegate, a window and an
// undo manager of its own. Steps are delimited with endGroup(), as the view host does after
// each event.
struct ContainerRig {
    explicit ContainerRig(platform::Size working = platform::Size(1200.0, 900.0))
        : container(std::make_unique<TextViewContainer>(
            platform::Rect(0.0, 0.0, working.width, working.height)))
    {
        canvas.size = working;
        container->setDelegate(&delegate);
        container->setDocumentWindow(&delegate);
        container->setCanvas(&canvas);
        container->setUndoManager(&undo);
    }
    // One finished step (what the end of an input event does).
    void endEvent() { undo.endGroup(); }

    platform::UndoManager undo;
    FakeDelegate delegate;
    FakeCanvas canvas;
    std::unique_ptr<TextViewContainer> container;
};

inline void expectNear(const platform::Point& got, const platform::Point& want, double tol)
{
    EXPECT_NEAR(got.x, want.x, tol);
    EXPECT_NEAR(got.y, want.y, tol);
}

inline void expectNear(const platform::Rect& got, const platform::Rect& want, double tol)
{
    expectNear(got.origin, want.origin, tol);
    EXPECT_NEAR(got.size.width, want.size.width, tol);
    EXPECT_NEAR(got.size.height, want.size.height, tol);
}

// Random premultiplied pixels inside a clear margin, one in clearOneIn of them clear.
inline QImage noisePicture(int w, int h, unsigned seed, int margin, unsigned clearOneIn)
{
    std::mt19937 rng(seed);
    QImage q(w, h, QImage::Format_ARGB32_Premultiplied);
    q.fill(Qt::transparent);
    for (int y = margin; y < h - margin; ++y)
        for (int x = margin; x < w - margin; ++x) {
            const int a = rng() % clearOneIn == 0 ? 0 : int(rng() % 256);
            q.setPixel(
                x, y, qRgba(int(rng() % (a + 1)), int(rng() % (a + 1)), int(rng() % (a + 1)), a));
        }
    return q;
}

inline platform::Image solidPicture(int width, int height)
{
    QImage pixels(width, height, QImage::Format_ARGB32_Premultiplied);
    pixels.fill(Qt::red);
    return platform::Image::fromQImage(pixels);
}

// A container whose one box is a selected picture box centred on 1200 x 900: a 40 x 30 picture
// gets the frame (580, 435, 40, 30), so the container point pixel(c, r) lies at pixel distance
// (c, r) from the picture's top-left corner.
struct PictureBoxRig : ContainerRig {
    explicit PictureBoxRig(const platform::Image& picture)
    {
        container->newImageBox(picture);
        endEvent();
    }
    TextViewContainer& c() { return *container; }
    static platform::Point pixel(double column, double row)
    {
        return platform::Point(580.0 + column, 465.0 - row);
    }
};

// A text box being edited with all of its text selected, as a second click leaves it.
inline bool openForTyping(MyViewBase* box)
{
    auto* text = dynamic_cast<MyTextView*>(box);
    if (!text || !text->txtBox() || !text->isEditing())
        return false;
    const platform::TextEditor& editor = text->txtBox()->editor();
    const platform::TextRange range = editor.selectedRange();
    return range.location == 0 && range.length == editor.text().length() && range.length > 0;
}

// The subviews' boxes in stacking order (the innermost view of each nest).
inline std::vector<platform::View*> boxesOfSubviews(const TextViewContainer& container)
{
    std::vector<platform::View*> boxes;
    for (platform::View* nest : container.subviews()) {
        platform::View* wrapper = nest->subviewAt(0);
        boxes.push_back(wrapper ? wrapper->subviewAt(0) : nullptr);
    }
    return boxes;
}
