#pragma once
// The one memory budget of the views' kept pictures (View::setCachesDrawing): at most four
// screenfuls of 4-byte pixels, the least recently used picture let go first. Main thread only,
// like the views.
#include <QtGlobal>
#include <list>
#include <optional>
#include <utility>

namespace platform {

class View;

class ViewDrawingCache {
public:
    // The budget in bytes: 16 bytes for each device pixel of the largest screen, or of the
    // largest view host that painted when one is larger (an offscreen window can be).
    static qsizetype budgetBytes();
    // Replaces the budget (for tests); nothing goes back to the screen's.
    static void setBudgetBytes(std::optional<qsizetype> bytes);
    // What the kept pictures hold now, and how many there are.
    static qsizetype usedBytes();
    static int pictureCount();
    // Lets go of every kept picture; views that keep pictures of their own (account) let go of
    // them when they see the count of clears change.
    static void clear();
    static qint64 clearCount();
    // Pictures a view keeps of its own (beyond its drawing's) grew or shrank by delta bytes:
    // they count in what the budget holds. The view bounds them itself.
    static void account(qsizetype delta);
    // How many pictures the views have drawn so far, kept or not (for tests and benchmarks:
    // what a change cost in redrawing).
    static qint64 picturesDrawn();

private:
    friend class View;
    friend class ViewHost;
    using Entry = std::list<std::pair<View*, qint64>>::iterator;

    // A view's new picture of `bytes`, put first in line.
    static Entry add(View* view, qsizetype bytes);
    // The least recently used pictures go until the budget holds; but where they were put
    // down in the paint under way or the one before, newest (a picture just kept) goes
    // instead.
    static void evictOverBudget(View* newest = nullptr);
    // The picture was put down again: first in line.
    static void touch(Entry entry);
    // The view let go of its picture.
    static void remove(Entry entry, qsizetype bytes);
    // A view drew a picture.
    static void noteDrawn();
    // A host begins to paint; its window has `pixels` device pixels.
    static void beginPaint(qsizetype pixels);
};

} // namespace platform
