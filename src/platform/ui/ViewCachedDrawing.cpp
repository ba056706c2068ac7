// View: the drawing of a view that caches it. The content goes into a picture of device
// pixels, which is kept while a host paints and put down again, moved by whole pixels, until
// what it shows changes (View.h says what does).
#include "platform/concurrency/Parallel.h"
#include "platform/concurrency/ThreadPool.h"
#include "platform/graphics/AlphaBlur.h"
#include "platform/ui/UiLogging.h"
#include "platform/ui/View.h"
#include "platform/ui/ViewCachedDrawing_p.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <future>
#include <system_error>
#include <thread>

namespace platform {

namespace {

int s_keepingPictures = 0; // > 0 while a host paints

// A picture over more device pixels than this is drawn the old way, straight through a
// transparency layer over what shows: no picture of the whole is made.
constexpr double kLargestPicture = double(1 << 26);

// A device rectangle from a floating one: rounded out, but an edge a hair past a whole pixel
// (arithmetic on a moved transform) does not take in another row or column.
QRect deviceArea(const Rect& r)
{
    constexpr double kHair = 1e-6, kLimit = double(1 << 28);
    const Rect s = r.standardized();
    if (!s.isFinite() || s.isNull() || s.isEmpty())
        return {};
    const double x0 = std::clamp(std::floor(s.minX() + kHair), -kLimit, kLimit);
    const double y0 = std::clamp(std::floor(s.minY() + kHair), -kLimit, kLimit);
    const double x1 = std::clamp(std::ceil(s.maxX() - kHair), -kLimit, kLimit);
    const double y1 = std::clamp(std::ceil(s.maxY() - kHair), -kLimit, kLimit);
    if (x1 <= x0 || y1 <= y0)
        return {};
    return QRect(QPoint(int(x0), int(y0)), QPoint(int(x1) - 1, int(y1) - 1));
}

// The whole-pixel move from one device transform to another, when that is all that differs.
std::optional<QPoint> wholePixelMove(const AffineTransform& from, const AffineTransform& to)
{
    if (from.a != to.a || from.b != to.b || from.c != to.c || from.d != to.d)
        return std::nullopt;
    const double dx = to.tx - from.tx, dy = to.ty - from.ty;
    constexpr double kHair = 1e-7, kLimit = double(1 << 28);
    if (!(std::abs(dx) < kLimit) || !(std::abs(dy) < kLimit))
        return std::nullopt;
    const double rx = std::round(dx), ry = std::round(dy);
    if (std::abs(dx - rx) > kHair || std::abs(dy - ry) > kHair)
        return std::nullopt;
    return QPoint(int(rx), int(ry));
}

// What a shadow cast ahead from a picture would hold, in bytes: the picture grown by the blur's
// reach on every side, a byte a pixel.
double castBytes(const QImage& picture, const Shadow& shadow, double baseScale)
{
    const double blur = std::isfinite(shadow.blur) ? std::max(shadow.blur, 0.0) : 0.0;
    const int reach = AlphaBlur::reachOf(blur * baseScale / 2.0);
    return (double(picture.width()) + 2.0 * reach) * (double(picture.height()) + 2.0 * reach);
}

// A shadow is cast ahead and kept only while it holds at most a sixteenth of the budget (a
// wide blur's plane is far larger than its picture); a larger one is blurred over what shows,
// each time it is put down.
bool castFits(const QImage& picture, const Shadow& shadow, double baseScale)
{
    return castBytes(picture, shadow, baseScale) <= double(ViewDrawingCache::budgetBytes()) / 16.0;
}

// The most a transform stretches any unit vector, bounded from above.
double stretchOf(const AffineTransform& t)
{
    return std::max(std::abs(t.a) + std::abs(t.c), std::abs(t.b) + std::abs(t.d));
}

} // namespace

// A shadow cast ahead. The job holds its own reference to the picture's pixels: the view may
// let go of its picture while the cast runs.
struct PendingCast {
    View* view; // null once the view let go of the picture (main thread only)
    QImage picture;
    Shadow shadow;
    double baseScale = 1.0;
    CastShadow cast;
    bool failed = false;
    std::atomic<bool> done { false };
};

View::KeepingPictures::KeepingPictures(bool keep)
    : m_before(s_keepingPictures > 0)
{
    s_keepingPictures = keep ? 1 : 0;
}

View::KeepingPictures::~KeepingPictures()
{
    s_keepingPictures = m_before ? 1 : 0;
}

void View::setCachesDrawing(bool caches)
{
    if (caches == m_cachesDrawing)
        return;
    m_cachesDrawing = caches;
    dropCachedDrawing();
}

void View::dropCachedDrawing()
{
    if (!m_cachedDrawing)
        return;
    if (m_cachedDrawing->pending) // the cast goes on; its result is not kept
        m_cachedDrawing->pending->view = nullptr;
    ViewDrawingCache::remove(m_cachedDrawing->entry, m_cachedDrawing->bytes);
    m_cachedDrawing.reset();
}

AffineTransform View::anchorToOwn(const View*& anchor) const
{
    anchor = cachedDrawingAnchor();
    AffineTransform t;
    const View* v = anchor;
    for (; v && v != this; v = v->m_superview)
        t = t.concatenated(v->transformToSuperview());
    if (v != this) { // not a subview: the view itself
        anchor = this;
        return {};
    }
    return t;
}

QImage View::drawPicture(GraphicsContext& ctx, const QRect& area, QPoint& origin)
{
    const auto toOwn = ctx.userToDeviceTransform().inverted();
    const Rect dirty
        = toOwn ? toOwn->mapRect(Rect(area.x(), area.y(), area.width(), area.height())) : bounds();
    ViewDrawingCache::noteDrawn();
    ctx.beginPicture(area);
    displayContent(ctx, dirty);
    return ctx.endPicture(origin);
}

void View::displayCached(GraphicsContext& ctx, const Rect& dirty)
{
    const AffineTransform toDevice = ctx.userToDeviceTransform();
    const Rect extent = cachedDrawingExtent().intersection(bounds().standardized());
    QRect deviceExtent = deviceArea(toDevice.mapRect(extent));
    if (deviceExtent.isEmpty())
        return;
    // Content outside what shows may cast its shadow into it.
    const double reachPixels = m_shadow ? shadowReach() * stretchOf(toDevice) : 0.0;
    const int reach
        = std::isfinite(reachPixels) ? int(std::ceil(std::min(reachPixels, 4096.0))) : 4096;
    const QRect visible = ctx.visibleDeviceArea();
    const QRect needed = deviceExtent & visible.adjusted(-reach, -reach, reach, reach);
    if (needed.isEmpty())
        return;

    const View* anchor = nullptr;
    const AffineTransform anchorToDevice = anchorToOwn(anchor).concatenated(toDevice);
    QImage picture;
    QPoint origin;
    bool found = false;
    if (s_keepingPictures > 0 && canKeepCachedDrawing()) {
        if (m_cachedDrawing) {
            const auto move = wholePixelMove(m_cachedDrawing->anchorToDevice, anchorToDevice);
            if (move && m_cachedDrawing->area.translated(*move).contains(needed)
                && cachedDrawingIsCurrent()) {
                picture = m_cachedDrawing->picture;
                origin = m_cachedDrawing->pictureOrigin + *move;
                ViewDrawingCache::touch(m_cachedDrawing->entry);
                found = true;
            } else {
                dropCachedDrawing();
            }
        }
        // A new picture holds all of the content that lies on the surface, and as far around
        // it as the shadow reaches from, so that it serves the repaint of any part of it.
        const QRect surface = ctx.deviceSurfaceArea().adjusted(-reach, -reach, reach, reach);
        QRect area = deviceExtent & surface;
        // One picture takes at most a quarter of the budget (a screenful).
        const double largestKept = double(ViewDrawingCache::budgetBytes()) / 16.0;
        if (!found && double(area.width()) * double(area.height()) <= largestKept) {
            picture = drawPicture(ctx, area, origin);
            // Drawing may have made what the extent depends on (a warped picture): once more
            // over the new extent when it grew.
            const QRect grown = deviceArea(toDevice.mapRect(
                                    cachedDrawingExtent().intersection(bounds().standardized())))
                & surface;
            if (!area.contains(grown)) {
                area = grown;
                picture = drawPicture(ctx, area, origin);
            }
            found = true;
            auto kept = std::make_unique<CachedDrawing>();
            kept->picture = picture;
            kept->pictureOrigin = origin;
            kept->area = area;
            kept->anchorToDevice = anchorToDevice;
            kept->bytes = picture.isNull() ? 0 : picture.sizeInBytes();
            kept->entry = ViewDrawingCache::add(this, kept->bytes);
            m_cachedDrawing = std::move(kept);
            cachedDrawingWasMade();
            ViewDrawingCache::evictOverBudget(this);
        }
    } else if (s_keepingPictures > 0) {
        // A picture the view cannot keep now (its content changes on its own) goes; a render
        // into an image elsewhere (an export) leaves the kept pictures alone.
        dropCachedDrawing();
    }
    if (!found) {
        if (double(needed.width()) * double(needed.height()) > kLargestPicture) {
            // Too large a picture: the transparency layer over what shows.
            Rect grown = dirty;
            if (m_shadow) {
                const double r = shadowReach();
                grown = grown.insetBy(-r, -r);
            }
            GStateGuard state(ctx);
            if (m_shadow)
                ctx.setShadow(shadowInBaseSpace(ctx.ctm()));
            else
                ctx.clearShadow();
            ctx.setAlpha(m_alpha);
            ctx.beginTransparencyLayer();
            displayContent(ctx, grown);
            ctx.endTransparencyLayer();
            return;
        }
        picture = drawPicture(ctx, needed, origin);
    }
    if (picture.isNull())
        return;
    GStateGuard state(ctx);
    const CastShadow* cast = nullptr;
    bool grew = false;
    if (m_shadow) {
        takeCastShadow();
        const Shadow shadow = shadowInBaseSpace(ctx.ctm());
        ctx.setShadow(shadow);
        // (A translucent view's shadow is cast from the picture at its alpha, each time.)
        if (m_alpha >= 1.0 && m_cachedDrawing
            && m_cachedDrawing->picture.cacheKey() == picture.cacheKey()
            && castFits(picture, shadow, ctx.baseScale())) {
            // The kept picture's shadow is kept with it: a move puts it down again, and a
            // changed shadow is cast once (or was, ahead, with the others: castKeptShadows).
            CachedDrawing& kept = *m_cachedDrawing;
            kept.ctm = ctx.ctm();
            kept.baseScale = ctx.baseScale();
            if (!kept.cast || !GraphicsContext::isCastFor(*kept.cast, shadow, kept.baseScale)) {
                const qsizetype before = kept.cast ? qsizetype(kept.cast->alpha.size()) : 0;
                kept.cast = GraphicsContext::castShadow(kept.picture, shadow, kept.baseScale);
                ViewDrawingCache::account(qsizetype(kept.cast->alpha.size()) - before);
                kept.bytes += qsizetype(kept.cast->alpha.size()) - before;
                grew = true;
            }
            cast = &*kept.cast;
        }
    } else {
        ctx.clearShadow();
    }
    ctx.setAlpha(m_alpha);
    ctx.drawDevicePicture(picture, origin, cast);
    if (grew)
        ViewDrawingCache::evictOverBudget(this);
}

namespace {

// The casts begun for the paint under way (main thread only, like the views, but for
// castNext). Each thread that helps, the main thread among them, takes the next job in tree
// order, the order in which the views are put down.
struct CastBatch {
    std::vector<std::unique_ptr<PendingCast>> jobs;
    std::atomic<int> next { 0 };
    std::future<void> running;

    // Casts the next job not taken yet; false when none is left.
    bool castNext()
    {
        const int i = next.fetch_add(1, std::memory_order_relaxed);
        if (i >= int(jobs.size()))
            return false;
        PendingCast& job = *jobs[size_t(i)];
        try {
            job.cast = GraphicsContext::castShadow(job.picture, job.shadow, job.baseScale);
        } catch (...) {
            job.failed = true; // cast again, or not, when the picture is put down
        }
        job.done.store(true, std::memory_order_release);
        job.done.notify_all();
        return true;
    }
};
std::unique_ptr<CastBatch> s_batch;

// Waits for a job of the batch, casting the ones still waiting meanwhile.
void waitFor(const PendingCast& job)
{
    while (!job.done.load(std::memory_order_acquire)) {
        if (!s_batch || !s_batch->castNext()) {
            job.done.wait(false, std::memory_order_acquire);
            return;
        }
    }
}

} // namespace

void View::takeCastShadow()
{
    if (!m_cachedDrawing || !m_cachedDrawing->pending)
        return;
    CachedDrawing& kept = *m_cachedDrawing;
    PendingCast& job = *kept.pending;
    kept.pending = nullptr;
    job.view = nullptr;
    waitFor(job);
    if (job.failed || job.picture.cacheKey() != kept.picture.cacheKey())
        return;
    const qsizetype before = kept.cast ? qsizetype(kept.cast->alpha.size()) : 0;
    const qsizetype after = qsizetype(job.cast.alpha.size());
    kept.cast = std::move(job.cast);
    kept.bytes += after - before;
    ViewDrawingCache::account(after - before);
}

void View::castKeptShadows(View& root)
{
    beginCastingKeptShadows(root);
    finishCastingShadows();
}

void View::beginCastingKeptShadows(View& root)
{
    finishCastingShadows();
    auto batch = std::make_unique<CastBatch>();
    std::vector<std::unique_ptr<PendingCast>>& jobs = batch->jobs;
    auto collect = [&jobs](View& v, auto& self) -> void {
        if (v.m_hidden)
            return;
        if (v.m_shadow && v.m_alpha >= 1.0 && v.m_cachedDrawing
            && !v.m_cachedDrawing->picture.isNull()) {
            const CachedDrawing& kept = *v.m_cachedDrawing;
            // Put down last with this transform; a move by whole pixels keeps its linear part.
            const Shadow shadow = v.shadowInBaseSpace(kept.ctm);
            if ((!kept.cast || !GraphicsContext::isCastFor(*kept.cast, shadow, kept.baseScale))
                && castFits(kept.picture, shadow, kept.baseScale)) {
                auto job = std::make_unique<PendingCast>();
                job->view = &v;
                job->picture = kept.picture;
                job->shadow = shadow;
                job->baseScale = kept.baseScale;
                jobs.push_back(std::move(job));
            }
        }
        for (const auto& sub : v.m_subviews)
            self(*sub, self);
    };
    collect(root, collect);
    // What is cast ahead at once stays within a quarter of the budget; the rest is cast as
    // each picture is put down.
    long work = 0;
    double bytes = 0.0;
    const double most = double(ViewDrawingCache::budgetBytes()) / 4.0;
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        const PendingCast& job = *jobs[i];
        bytes += castBytes(job.picture, job.shadow, job.baseScale);
        if (bytes > most) {
            jobs.resize(i);
            break;
        }
        work += long(job.picture.width()) * job.picture.height();
    }
    if (jobs.empty())
        return;
    for (const auto& job : jobs)
        job->view->m_cachedDrawing->pending = job.get();
    // Cast on the other cores while the caller draws; it joins in whenever it waits.
    constexpr long kParallelWork = 64 * 1024;
    if (work >= kParallelWork && ThreadPool::maxThreads() > 1) {
        try {
            CastBatch* b = batch.get();
            b->running = std::async(std::launch::async, [b] {
                // (The caller makes one more.)
                ThreadPool::parallelFor(
                    std::min(ThreadPool::maxThreads() - 1, int(b->jobs.size())), [b](int) {
                        while (b->castNext()) { }
                    });
            });
        } catch (const std::system_error&) { // no thread to spare: cast as views are put down
        }
    }
    s_batch = std::move(batch);
}

void View::finishCastingShadows()
{
    if (!s_batch)
        return;
    while (s_batch->castNext()) { }
    if (s_batch->running.valid())
        s_batch->running.wait();
    for (const auto& job : s_batch->jobs) {
        if (job->view)
            job->view->takeCastShadow();
    }
    s_batch.reset();
    ViewDrawingCache::evictOverBudget();
}

} // namespace platform
