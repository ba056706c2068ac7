#pragma once
// A document window for canvas tests: a scroll view of a given viewport that records what
// the canvas asks of it, an undo manager and a delegate that counts selection reports; and a
// plain blue box to put in the box layer.
#include "canvas/CanvasWindow.h"
#include "container/ContainerDelegate.h"
#include "platform/ui/View.h"
#include "platform/undo/UndoManager.h"

namespace canvastest {

class CountingDelegate : public ContainerDelegate {
public:
    int selected = 0;
    void textViewSelected(const std::vector<MyViewBase*>&) override { ++selected; }
    void setCurrentlySelectedTextView(MyTextBox* v) override { m_text = v; }
    MyTextBox* currentlySelectedTextView() const override { return m_text; }

private:
    MyTextBox* m_text = nullptr;
};

class BlueBox : public platform::View {
public:
    using View::View;
    void drawRect(const platform::Rect&, platform::GraphicsContext& ctx) override
    {
        ctx.setFillColor(platform::Color(0, 0, 1, 1));
        ctx.fillRect(bounds());
    }
};

class FakeCanvasWindow : public canvas::CanvasWindow {
public:
    platform::Size viewport { 800, 600 };
    platform::Size document { 800, 600 };
    platform::Point scroll { 0, 0 };
    int wheelEvents = 0;
    platform::UndoManager undo;
    CountingDelegate delegate;

    platform::Size viewportSize() const override { return viewport; }
    platform::Rect visibleRect() const override { return { scroll, viewport }; }
    platform::Size documentSize() const override { return document; }
    void setDocumentSize(const platform::Size& size) override { document = size; }
    void scrollTo(const platform::Point& p) override { scroll = p; }
    void scrollWheel(const platform::Event&) override { ++wheelEvents; }
    platform::UndoManager* undoManager() const override
    {
        return const_cast<platform::UndoManager*>(&undo);
    }
    ContainerDelegate* containerDelegate() const override
    {
        return const_cast<CountingDelegate*>(&delegate);
    }
};

} // namespace canvastest
