#pragma once
// Where TextLayout's paragraphs are shaped off the calling thread: each thread's character
// formats and scratch document, and the threads themselves. Not for other code.
#include "platform/text/Font.h"

#include <QTextCharFormat>
#include <QTextDocument>
#include <QThreadStorage>
#include <functional>

namespace platform {

// The character format of a face at a size and spacing. Qt resolves a format's font and its
// font engines once and keeps them in the format's shared data, so a layout that reuses a
// format skips that work (a fresh format costs more than shaping its run). Each thread keeps
// its own table: a Qt font's resolved engines belong to the thread that resolved them, and
// paragraphs are broken on the pool's threads too.
QTextCharFormat characterFormat(const Font& font, double spacing);

// One thread's document for breaking paragraphs ahead. A document keeps every format it
// has held: it is made anew after a while, so that sizes that came and went do not pile up.
struct ScratchDocument {
    static constexpr int kUses = 4096;
    QTextDocument document;
    int uses = 0;
    ScratchDocument();
};

// Every thread's scratch document.
QThreadStorage<ScratchDocument*>& scratchDocuments();

// Runs f(i), once each, for the items i that `produce` publishes, on the calling thread and the
// shaping threads, as many at once as ThreadPool allows; returns when all are done (rethrowing
// the first exception, the producer's first). The producer runs first on the calling thread
// and calls publish(count) as items become ready, so the shaping threads start on the first
// items while the rest are being made; the calling thread then joins them.
// Shaping resolves fonts, and Qt keeps each thread's fonts and faces in per-thread caches:
// those of ThreadPool's workers (not Qt's threads) were never freed, not even at exit, where
// Qt's own threads free theirs when they end. So shaping runs on Qt threads, started after
// this thread has resolved a font (Qt's font globals are made before them and go after them)
// and kept for the life of the process.
void onShapingThreads(int most, const std::function<void(const std::function<void(int)>&)>& produce,
    const std::function<void(int)>& f);

} // namespace platform
