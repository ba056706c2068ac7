#pragma once
// A value over several boxes or runs: the first one seen, and whether every later one agrees.
// The inspector shows the common value, or its mixed state when they differ. Values gathered
// in consecutive parts merge in order into what one pass over them all would hold (eq must be
// an equivalence, as exact comparison is).
#include <functional>
#include <optional>

template <class T> struct Shared {
    std::optional<T> ref;
    bool same = true;

    template <class Eq = std::equal_to<T>> void take(const T& v, Eq eq = {})
    {
        if (!ref)
            ref = v;
        else if (same && !eq(*ref, v))
            same = false;
    }
    // Takes the values gathered after this one's, as if seen in one pass.
    template <class Eq = std::equal_to<T>> void merge(const Shared& later, Eq eq = {})
    {
        if (!later.ref)
            return;
        if (!ref)
            *this = later;
        else if (same && !(later.same && eq(*ref, *later.ref)))
            same = false;
    }
    // Whether any value was seen.
    bool seen() const { return ref.has_value(); }
    // The first value, or T's default when none was seen.
    T value() const { return ref.value_or(T {}); }
    // Seen and already disagreeing: no later value changes what shows.
    bool mixed() const { return ref && !same; }
    // The common value: seen and agreed on by every value.
    bool uniform() const { return ref && same; }
};
