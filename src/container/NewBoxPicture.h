#pragma once
// How a picture is reduced for a new picture box (TextViewContainer::newImageBox): to fit
// three quarters of the working picture, then cut by its last, partly covered row and column.
// Shared with the loading of picture files for new boxes, which decodes them at that size.
#include "platform/geometry/Size.h"
#include "platform/imaging/PictureLoader.h"

#include <QByteArray>
#include <QSize>

namespace newbox {

// The scale a picture of `picture` points is reduced by on a working picture of `working`; 1
// when it is kept as it is.
float pictureScale(const platform::Size& picture, const platform::Size& working);
// The pixels a picture of `picture` pixels is rendered at when reduced by s, and the part of
// them the box keeps.
QSize reducedPictureSize(const QSize& picture, float s);
QSize keptOfReduced(const QSize& reduced);

// A picture file decoded for a new box on a working picture of `working`: at the size the box
// keeps it at, so that a huge picture is never held whole twice (nor decoded whole where its
// format allows less). Safe off the main thread.
platform::LoadedPicture loadForNewBox(
    const QByteArray& bytes, const platform::Size& working, qint64& pixelBudget);

} // namespace newbox
