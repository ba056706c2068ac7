#pragma once
// PIXEL_LOOP marks a loop over pixels (a function's or a lambda's body) that a fuzzer's
// coverage build leaves uninstrumented, and keeps apart (code inlined elsewhere is traced
// there): its branches follow pixel values, not the structure of the input, so they tell the
// fuzzer nothing, while tracing each of their comparisons made a document of wide shadows take
// minutes to open there. Other builds are unchanged.
#if defined(__clang__)
#define PIXEL_LOOP __attribute__((no_sanitize("coverage"), noinline))
#else
#define PIXEL_LOOP
#endif
