#pragma once
// Gathers what a panel shows from the selected boxes. Over thousands of boxes these passes are
// most of an inspector refresh, and each is bound by reading the boxes from memory: a large
// selection is cut into consecutive parts gathered on several threads, then merged in order,
// so that the result is what one pass from the first box to the last would hold.
//
// Values is default-constructible and has merge(const Values& later); take(values, box) is
// called for each selected box, in order within a part, and must only read the box.
#include "boxes/MyViewBase.h"
#include "platform/concurrency/ThreadPool.h"

#include <algorithm>
#include <vector>

namespace selectiongather {

// Fewer boxes than this per part cost more to hand to another thread than to read.
constexpr int kBoxesPerPart = 512;

template <class Values, class Take>
Values gatherSelected(const std::vector<MyViewBase*>& boxes, Take&& take)
{
    const int count = int(boxes.size());
    const auto gatherPart = [&](int first, int last, Values& values) {
        for (int i = first; i < last; ++i) {
            const MyViewBase* box = boxes[std::size_t(i)];
            if (box->selected())
                take(values, *box);
        }
    };
    const int parts = std::min(count / kBoxesPerPart, 4 * platform::ThreadPool::maxThreads());
    Values all;
    if (parts < 2) {
        gatherPart(0, count, all);
        return all;
    }
    std::vector<Values> gathered(static_cast<std::size_t>(parts));
    platform::ThreadPool::parallelFor(parts, [&](int part) {
        gatherPart(int(long(part) * count / parts), int(long(part + 1) * count / parts),
            gathered[std::size_t(part)]);
    });
    for (const Values& values : gathered)
        all.merge(values);
    return all;
}

} // namespace selectiongather
