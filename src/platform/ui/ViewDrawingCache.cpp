#include "platform/ui/ViewDrawingCache.h"

#include "platform/ui/View.h"

#include <QGuiApplication>
#include <QScreen>
#include <algorithm>

namespace platform {

namespace {

constexpr qsizetype kBytesPerPixel = 4 * 4; // four screenfuls of 4-byte pixels

// Most recently used first, each with the paint it was last used in.
std::list<std::pair<View*, qint64>> s_order;
qint64 s_paint = 0;
qsizetype s_used = 0;
qsizetype s_largestDisplay = 0;
std::optional<qsizetype> s_budget;
qint64 s_drawn = 0;
qint64 s_clears = 0;

qsizetype largestScreenPixels()
{
    qsizetype largest = 0;
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        for (const QScreen* screen : QGuiApplication::screens()) {
            const double ratio = std::max(screen->devicePixelRatio(), 1.0);
            const QSize size = screen->size();
            largest = std::max(
                largest, qsizetype(double(size.width()) * double(size.height()) * ratio * ratio));
        }
    }
    // Without a screen to ask, a common desktop's.
    return largest > 0 ? largest : qsizetype(1920) * 1080;
}

} // namespace

qsizetype ViewDrawingCache::budgetBytes()
{
    if (s_budget)
        return *s_budget;
    return std::max(largestScreenPixels(), s_largestDisplay) * kBytesPerPixel;
}

void ViewDrawingCache::setBudgetBytes(std::optional<qsizetype> bytes)
{
    s_budget = bytes;
}

qsizetype ViewDrawingCache::usedBytes()
{
    return s_used;
}

int ViewDrawingCache::pictureCount()
{
    return int(s_order.size());
}

qint64 ViewDrawingCache::clearCount()
{
    return s_clears;
}

void ViewDrawingCache::clear()
{
    ++s_clears;
    while (!s_order.empty())
        s_order.back().first->dropCachedDrawing();
}

ViewDrawingCache::Entry ViewDrawingCache::add(View* view, qsizetype bytes)
{
    s_order.emplace_front(view, s_paint);
    s_used += bytes;
    return s_order.begin();
}

void ViewDrawingCache::evictOverBudget(View* newest)
{
    const qsizetype budget = budgetBytes();
    while (s_used > budget && !s_order.empty()) {
        // Paints that need more than the budget keep what they used first: letting go of a
        // picture this paint or the one before put down, for one that may not be put down
        // again before it, would draw every picture anew every time.
        if (s_order.back().second >= s_paint - 1 && newest && newest->hasCachedDrawing()) {
            newest->dropCachedDrawing();
            continue;
        }
        s_order.back().first->dropCachedDrawing();
    }
}

void ViewDrawingCache::account(qsizetype delta)
{
    s_used += delta;
}

void ViewDrawingCache::touch(Entry entry)
{
    entry->second = s_paint;
    s_order.splice(s_order.begin(), s_order, entry);
}

void ViewDrawingCache::remove(Entry entry, qsizetype bytes)
{
    s_order.erase(entry);
    s_used -= bytes;
}

qint64 ViewDrawingCache::picturesDrawn()
{
    return s_drawn;
}

void ViewDrawingCache::noteDrawn()
{
    ++s_drawn;
}

void ViewDrawingCache::beginPaint(qsizetype pixels)
{
    ++s_paint;
    s_largestDisplay = std::max(s_largestDisplay, pixels);
}

} // namespace platform
