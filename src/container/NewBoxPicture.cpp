#include "container/NewBoxPicture.h"

#include "platform/geometry/AffineTransform.h"
#include "platform/geometry/Rect.h"
#include "platform/imaging/PixelRect.h"

#include <QRect>
#include <algorithm>

namespace newbox {

using platform::Rect;
using platform::Size;

float pictureScale(const Size& picture, const Size& working)
{
    // A picture of no pixels is not reduced (and divides by nothing).
    if (!(picture.width > 0.0 && picture.height > 0.0))
        return 1.0f;
    const float s = float(
        std::min(0.75 * working.width / picture.width, 0.75 * working.height / picture.height));
    return std::min(s, 1.0f);
}

QSize reducedPictureSize(const QSize& picture, float s)
{
    if (!(s > 0.0f && s < 1.0f))
        return picture;
    // What the scaled extent covers, as the render of the reduction makes it.
    const Rect scaled = platform::AffineTransform::makeScale(s, s).mapRect(
        Rect(0.0, 0.0, picture.width(), picture.height()));
    const platform::PixelRect r = platform::PixelRect::covering(scaled);
    return { r.width, r.height };
}

QSize keptOfReduced(const QSize& reduced)
{
    return { std::max(1, reduced.width() - 1), std::max(1, reduced.height() - 1) };
}

platform::LoadedPicture loadForNewBox(
    const QByteArray& bytes, const Size& working, qint64& pixelBudget)
{
    float s = 1.0f;
    platform::LoadedPicture loaded
        = platform::PictureLoader::load(bytes, {}, pixelBudget, [&](QSize upright) {
              s = pictureScale(Size(upright.width(), upright.height()), working);
              return reducedPictureSize(upright, s);
          });
    // Cut as the reduction cuts it: the box then keeps it as it comes.
    if (loaded.ok() && s > 0.0f && s < 1.0f)
        loaded.pixels = loaded.pixels.copy(QRect(QPoint(), keptOfReduced(loaded.pixels.size())));
    return loaded;
}

} // namespace newbox
