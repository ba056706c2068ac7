#include "platform/text/ShapingThreads.h"

#include "platform/concurrency/FirstFailure.h"
#include "platform/concurrency/ThreadPool.h"
#include "platform/text/TextLayout.h"

#include <QAbstractTextDocumentLayout>
#include <QFontMetricsF>
#include <QThread>
#include <QThreadPool>
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace platform {

namespace {

QTextCharFormat freshFormat(const Font& font, double spacing)
{
    QFont qfont = font.toQFont();
    if (spacing != 0.0)
        qfont.setLetterSpacing(QFont::AbsoluteSpacing, spacing);
    QTextCharFormat format;
    format.setFont(qfont, QTextCharFormat::FontPropertiesAll);
    return format;
}

// A document layout that lays nothing out: its document's blocks are laid out by hand.
class InertDocumentLayout final : public QAbstractTextDocumentLayout {
public:
    using QAbstractTextDocumentLayout::QAbstractTextDocumentLayout;
    void draw(QPainter*, const PaintContext&) override { }
    int hitTest(const QPointF&, Qt::HitTestAccuracy) const override { return -1; }
    int pageCount() const override { return 1; }
    QSizeF documentSize() const override { return {}; }
    QRectF frameBoundingRect(QTextFrame*) const override { return {}; }
    QRectF blockBoundingRect(const QTextBlock&) const override { return {}; }

protected:
    void documentChanged(int, int, int) override { }
};

} // namespace

QTextCharFormat characterFormat(const Font& font, double spacing)
{
    struct Key {
        QString face;
        double size;
        double spacing;
        bool operator==(const Key& o) const
        {
            return size == o.size && spacing == o.spacing && face == o.face;
        }
    };
    struct KeyHash {
        size_t operator()(const Key& k) const { return qHashMulti(0, k.face, k.size, k.spacing); }
    };
    // Kept in Qt's own per-thread storage: a thread's formats go before its font cache when
    // the thread ends, so that the cache can let go of the engines they hold.
    using Formats = std::unordered_map<Key, QTextCharFormat, KeyHash>;
    static QThreadStorage<Formats*> storage;
    if (!storage.hasLocalData())
        storage.setLocalData(new Formats);
    Formats& formats = *storage.localData();
    Key key { font.fontName(), font.pointSize(), spacing };
    if (const auto found = formats.find(key); found != formats.end())
        return found->second;
    // Sizes come and go with the text's changes; the table stays small.
    if (formats.size() > 1024)
        formats.clear();
    QTextCharFormat format = freshFormat(font, spacing);
    // Resolved now, so that every copy shares the resolved font.
    (void)format.font();
    return formats.emplace(std::move(key), format).first->second;
}

ScratchDocument::ScratchDocument()
{
    document.setUndoRedoEnabled(false);
    document.setDocumentLayout(new InertDocumentLayout(&document));
}

QThreadStorage<ScratchDocument*>& scratchDocuments()
{
    static QThreadStorage<ScratchDocument*> storage;
    return storage;
}

void onShapingThreads(int most, const std::function<void(const std::function<void(int)>&)>& produce,
    const std::function<void(int)>& f)
{
    static const bool fontsResolved = [] { return QFontMetricsF(QFont()).height() >= 0.0; }();
    (void)fontsResolved;
    // The per-thread stores the threads fill are made before the threads, so that they go
    // after them: a store that goes first leaves the data of threads still running behind.
    (void)characterFormat(TextLayout::defaultFont(), 0.0);
    (void)scratchDocuments();
    static QThreadPool threads;
    static const bool configured = [] {
        threads.setExpiryTimeout(-1);
        threads.setMaxThreadCount(std::max(1, QThread::idealThreadCount() - 1));
        return true;
    }();
    (void)configured;
    // Completion is counted by finished items, not by threads: a helper that starts late,
    // on a busy machine, finds nothing left and is not waited for. It holds the job, never
    // the caller's f, which it calls only for an item published before all were finished.
    // A helper that has claimed an item not yet published sleeps until it is, or until the
    // producer finishes without it (then the item does not exist and the helper leaves). It
    // does not spin: on two cores it would take the core of the thread it waits for.
    struct Job {
        const std::function<void(int)>* f = nullptr;
        std::atomic<int> published { 0 };
        std::atomic<bool> closed { false };
        std::atomic<int> next { 0 };
        std::atomic<int> done { 0 };
        std::atomic<int> waiting { 0 };
        std::mutex mutex;
        std::condition_variable finished;
        std::condition_variable progressed;
        FirstFailure failure;

        // After published or closed changed: wakes the helpers asleep on them. A helper
        // counts itself waiting before it looks at them, under the lock it sleeps with.
        void wakeWaiting()
        {
            if (waiting.load() > 0) {
                std::lock_guard lock(mutex);
                progressed.notify_all();
            }
        }

        void work()
        {
            for (;;) {
                const int i = next.fetch_add(1);
                if (published.load() <= i && !closed.load()) {
                    std::unique_lock lock(mutex);
                    waiting.fetch_add(1);
                    progressed.wait(lock, [&] { return published.load() > i || closed.load(); });
                    waiting.fetch_sub(1);
                }
                if (i >= published.load())
                    return;
                failure.run([&] { (*f)(i); });
                if (done.fetch_add(1) + 1 == published.load() && closed.load()) {
                    std::lock_guard lock(mutex);
                    finished.notify_all();
                }
            }
        }
    };
    auto job = std::make_shared<Job>();
    job->f = &f;
    const int helpers = std::min(most, ThreadPool::maxThreads()) - 1;
    bool started = false;
    auto startHelpers = [&] {
        started = true;
        for (int i = 0; i < helpers; ++i) {
            if (!threads.tryStart([job] { job->work(); }))
                break;
        }
    };
    std::exception_ptr producerFailure;
    try {
        produce([&](int count) {
            job->published.store(std::clamp(count, job->published.load(), most));
            job->wakeWaiting();
            if (!started && count > 0)
                startHelpers();
        });
    } catch (...) {
        producerFailure = std::current_exception();
    }
    job->closed.store(true);
    job->wakeWaiting();
    // The items published stay to be run even when the producer failed: the helpers may be
    // running some already, and the caller frees them only after all are done.
    job->work();
    std::unique_lock lock(job->mutex);
    job->finished.wait(lock, [&] { return job->done.load() == job->published.load(); });
    if (producerFailure)
        std::rethrow_exception(producerFailure);
    job->failure.rethrow();
}

} // namespace platform
