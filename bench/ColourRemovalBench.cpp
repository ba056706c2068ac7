// Colour removal benchmarks (BM_ColourRemovalDrag and the OpenCV floodFill comparison),
// linked into bench_container; the REMOVAL helper fills this in.
