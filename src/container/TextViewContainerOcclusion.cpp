// TextViewContainer: the nests a pass leaves out because opaque shapes above them hide them
// wholly. Only certainties count: a shape hides what lies under the pixels its opaque fill
// covers fully, with a pixel's four neighbours covered too (the painter's and our edges may
// round a hair apart), and a nest is left out only when everything it may draw, its drop
// shadow included, falls on such pixels within the area being drawn.
#include "boxes/MyPerspectiveView.h"
#include "boxes/MyShapeSuper.h"
#include "boxes/MyShapeView.h"
#include "container/TextViewContainer.h"
#include "platform/graphics/CoverageRasterizer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>

using platform::Rect;
using platform::View;

namespace {

// Fewer nests than this are drawn as they come: the check would cost more than it saves.
constexpr int kFewNests = 8;
// Nor is a pass over more device pixels than this checked (a mask byte each).
constexpr long long kLargestMask = 1LL << 26;

QRect roundedOut(const QRectF& r)
{
    constexpr double kLimit = double(1 << 28);
    if (!std::isfinite(r.left()) || !std::isfinite(r.top()) || !std::isfinite(r.right())
        || !std::isfinite(r.bottom()))
        return {};
    const int x0 = int(std::clamp(std::floor(r.left()), -kLimit, kLimit));
    const int y0 = int(std::clamp(std::floor(r.top()), -kLimit, kLimit));
    const int x1 = int(std::clamp(std::ceil(r.right()), -kLimit, kLimit));
    const int y1 = int(std::clamp(std::ceil(r.bottom()), -kLimit, kLimit));
    return x1 > x0 && y1 > y0 ? QRect(QPoint(x0, y0), QPoint(x1 - 1, y1 - 1)) : QRect();
}

// The one flat box of a nest shown as usual (not warped, not translucent), with its wrapper.
struct FlatBox {
    const View* wrapper = nullptr;
    const MyViewBase* box = nullptr;
};

std::optional<FlatBox> flatBoxOf(const View& nest)
{
    const auto* perspective = dynamic_cast<const MyPerspectiveView*>(&nest);
    if (!perspective || nest.isHidden() || nest.subviewCount() != 1)
        return std::nullopt;
    const View* wrapper = nest.subviewAt(0);
    const MyViewBase* box = MyPerspectiveView::boxOfWrapper(*wrapper);
    if (!box || wrapper->isHidden()
        || perspective->drawingFor(*wrapper) != MyPerspectiveView::BoxDrawing::Flat)
        return std::nullopt;
    return FlatBox { wrapper, box };
}

// Where a nest may draw, in the container's space: its box, grown by the drop shadow's reach
// (the blur's three sigmas and the offset, generously); nothing when it cannot be told.
std::optional<Rect> drawnExtent(const View& nest, const FlatBox& flat)
{
    Rect extent = flat.wrapper->transformToSuperview().mapRect(flat.box->drawnCoverage());
    if (const auto& shadow = nest.shadow()) {
        const double blur = std::isfinite(shadow->blur) ? std::abs(shadow->blur) : 0.0;
        const double reach
            = 2.0 * blur + std::abs(shadow->offset.width) + std::abs(shadow->offset.height) + 2.0;
        if (!std::isfinite(reach))
            return std::nullopt;
        extent = extent.insetBy(-reach, -reach);
    }
    return nest.transformToSuperview().mapRect(extent);
}

// The outline of a shape whose fill covers it opaquely (wrapper space), or nothing.
std::optional<platform::BezierPath> opaqueOutline(const MyViewBase& box)
{
    const auto* shapeBox = dynamic_cast<const MyShapeView*>(&box);
    if (!shapeBox || !(shapeBox->layerOpacity() >= 1.0f))
        return std::nullopt;
    const SZGradient& fill
        = shapeBox->isOpenLine() ? shapeBox->strokeColor() : shapeBox->overlayColor();
    if (fill.gradientType != SZGradient::ColorFill || !fill.color || !(fill.color->alpha >= 1.0))
        return std::nullopt;
    return MyShapeSuper::shapePath(*shapeBox);
}

// Which pixels of an area are certainly covered, a byte each.
class Mask {
public:
    explicit Mask(const QRect& area)
        : m_area(area)
        , m_bytes(size_t(area.width()) * size_t(area.height()), 0)
    {
    }

    // Whether every pixel of r (within the area) is covered.
    bool covers(const QRect& r) const
    {
        if ((r & m_area) != r)
            return false;
        const QRect part = r & m_open;
        for (int y = part.top(); y <= part.bottom(); ++y) {
            if (std::memchr(row(y) + (part.left() - m_area.left()), 0, size_t(part.width())))
                return false;
        }
        return true;
    }

    // Adds the pixels a fill of the device path covers fully, as do their four neighbours,
    // within `within`.
    void add(const QPainterPath& device, const QRect& within)
    {
        const QRect part = roundedOut(device.controlPointRect()) & within & m_open;
        if (part.isEmpty())
            return;
        // One pixel more around, for the neighbours of the part's edge pixels.
        const QRect plane = part.adjusted(-1, -1, 1, 1);
        const int w = plane.width();
        std::vector<std::uint8_t> k(size_t(w) * size_t(plane.height()));
        if (!platform::CoverageRasterizer(device, plane).write(plane, k.data(), w))
            return;
        auto full = [&](int x, int y) {
            return k[size_t(y - plane.top()) * size_t(w) + size_t(x - plane.left())] == 255;
        };
        for (int y = part.top(); y <= part.bottom(); ++y) {
            std::uint8_t* out = row(y) - m_area.left();
            for (int x = part.left(); x <= part.right(); ++x) {
                if (out[x] == 0 && full(x, y) && full(x - 1, y) && full(x + 1, y) && full(x, y - 1)
                    && full(x, y + 1)) {
                    out[x] = 1;
                }
            }
        }
        shrinkOpen();
    }

private:
    std::uint8_t* row(int y) { return m_bytes.data() + size_t(y - m_area.top()) * m_area.width(); }
    const std::uint8_t* row(int y) const
    {
        return m_bytes.data() + size_t(y - m_area.top()) * m_area.width();
    }

    // The bounds of what is not covered yet shrink to the rows and columns that still hold
    // such pixels.
    void shrinkOpen()
    {
        int top = m_open.bottom() + 1, bottom = m_open.top() - 1;
        int left = m_open.right() + 1, right = m_open.left() - 1;
        for (int y = m_open.top(); y <= m_open.bottom(); ++y) {
            const std::uint8_t* r = row(y) + (m_open.left() - m_area.left());
            const auto* first
                = static_cast<const std::uint8_t*>(std::memchr(r, 0, size_t(m_open.width())));
            if (!first)
                continue;
            const auto* last
                = static_cast<const std::uint8_t*>(memrchr(r, 0, size_t(m_open.width())));
            top = std::min(top, y);
            bottom = y;
            left = std::min(left, m_open.left() + int(first - r));
            right = std::max(right, m_open.left() + int(last - r));
        }
        m_open = top <= bottom ? QRect(QPoint(left, top), QPoint(right, bottom)) : QRect();
    }

    QRect m_area;
    QRect m_open = m_area; // every pixel outside is covered
    std::vector<std::uint8_t> m_bytes;
};

} // namespace

void TextViewContainer::findHiddenNests(platform::GraphicsContext& ctx)
{
    m_hiddenNests.clear();
    if (subviewCount() < kFewNests)
        return;
    const QRect area = ctx.visibleDeviceArea();
    if (area.isEmpty() || qint64(area.width()) * area.height() > kLargestMask)
        return;
    const QTransform toDevice = ctx.userToDeviceTransform().toQt();
    std::optional<Mask> mask;
    for (int i = subviewCount() - 1; i >= 0; --i) {
        const View& nest = *subviewAt(i);
        const std::optional<FlatBox> flat = flatBoxOf(nest);
        if (!flat)
            continue; // drawn as it comes, and hides nothing
        if (mask) {
            const std::optional<Rect> extent = drawnExtent(nest, *flat);
            if (extent) {
                const QRect drawn
                    = roundedOut(toDevice.mapRect(extent->toQt())).adjusted(-2, -2, 2, 2) & area;
                if (drawn.isEmpty() || mask->covers(drawn)) {
                    m_hiddenNests.push_back(&nest);
                    continue;
                }
            }
        }
        if (nest.alphaValue() < 1.0)
            continue;
        const std::optional<platform::BezierPath> outline = opaqueOutline(*flat->box);
        if (!outline || outline->isEmpty())
            continue;
        // The nest and the wrapper clip what they draw to their bounds.
        const QTransform wrapperToDevice = flat->wrapper->transformToSuperview().toQt()
            * nest.transformToSuperview().toQt() * toDevice;
        const QTransform nestToDevice = nest.transformToSuperview().toQt() * toDevice;
        if (!wrapperToDevice.isAffine() || wrapperToDevice.isRotating()
            || nestToDevice.isRotating())
            continue;
        const QRectF bounds = wrapperToDevice.mapRect(flat->wrapper->bounds().toQt())
                                  .intersected(nestToDevice.mapRect(nest.bounds().toQt()));
        const QRect inside(QPoint(int(std::ceil(std::clamp(bounds.left(), -1e9, 1e9))),
                               int(std::ceil(std::clamp(bounds.top(), -1e9, 1e9)))),
            QPoint(int(std::floor(std::clamp(bounds.right(), -1e9, 1e9))) - 1,
                int(std::floor(std::clamp(bounds.bottom(), -1e9, 1e9))) - 1));
        if (!mask)
            mask.emplace(area);
        mask->add(wrapperToDevice.map(outline->toQPainterPath()), inside);
    }
    std::sort(m_hiddenNests.begin(), m_hiddenNests.end());
}

bool TextViewContainer::drawsSubview(const View& subview) const
{
    return !std::binary_search(m_hiddenNests.begin(), m_hiddenNests.end(), &subview);
}
