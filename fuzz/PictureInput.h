#pragma once
// What picture_fuzz does with one input, shared with the regression test that replays the
// inputs kept in tests/data/regressions/picture_fuzz: arbitrary bytes go to the picture
// loader. A picture either loads whole or gives an error value; any crash, leak, undefined
// behaviour or runaway allocation is a finding. Needs a QGuiApplication.
#include "platform/imaging/PictureLoader.h"

#include <QByteArray>

namespace fuzzinput {

inline platform::LoadedPicture loadPicture(const QByteArray& bytes)
{
    return platform::PictureLoader::load(bytes);
}

} // namespace fuzzinput
