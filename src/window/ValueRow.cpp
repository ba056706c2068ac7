#include "window/ValueRow.h"

#include "window/FieldNumbers.h"

int ValueRow::typed() const
{
    const int n = fieldnumbers::leadingInt(field->text(), unit).value_or(0);
    const int lo = stepper->minValue(), hi = stepper->maxValue();
    if (!stepper->valueWraps() || hi <= lo)
        return fieldnumbers::held(n, lo, hi);
    // 64-bit: the span and the distance from lo may exceed int near its ends.
    const long long span = (long long)hi - lo + 1;
    long long r = ((long long)n - lo) % span;
    if (r < 0)
        r += span;
    return int(lo + r);
}
