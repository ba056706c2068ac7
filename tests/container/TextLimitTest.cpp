// A text box holds at most MyTextBox::kMaxCharacters: a paste that would pass it keeps what
// fits and the person is told the rest was left out; a record read with more is held to it
// too. The work of a paste is bounded by the limit, not by what the clipboard holds (CPU time
// of this thread, with room for a slow machine: ten million characters took seconds).
#include "ContainerTestSupport.h"
#include "boxes/MyTextBox.h"
#include "boxes/MyTextView.h"
#include "platform/document/AlertPresenter.h"
#include "platform/text/TextClipboard.h"

#include <ctime>
#include <gtest/gtest.h>

namespace {

struct HeldClipboard final : platform::TextClipboard {
    QString held;
    QString text() const override { return held; }
    void setText(const QString& t) override { held = t; }
};

struct RecordedAlerts final : platform::AlertPresenter {
    QStringList messages;
    void runModal(platform::AlertStyle, const QString& message) override { messages << message; }
};

double threadCpuSeconds()
{
    timespec t {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// Words of seven letters, the last character of the text an emoji of two UTF-16 units.
QString words(int length)
{
    QString s;
    s.reserve(length);
    for (int i = 0; s.size() < length - 2; ++i)
        s += (i % 8 == 7) ? QChar(' ') : QChar('a' + i % 26);
    return s + QString::fromUtf8("\xF0\x9F\x98\x80");
}

struct LimitRig {
    ContainerRig rig;
    std::shared_ptr<RecordedAlerts> alerts = std::make_shared<RecordedAlerts>();
    std::shared_ptr<platform::AlertPresenter> previous = platform::AlertPresenter::install(alerts);
    std::shared_ptr<HeldClipboard> clipboard = std::make_shared<HeldClipboard>();

    LimitRig()
    {
        rig.container->newTextBox();
        rig.endEvent();
        box()->setIsEditing(true);
        box()->setSelectable(true);
        box()->setEditable(true);
        box()->txtBox()->editor().setClipboard(clipboard);
        box()->txtBox()->editor().selectAll(); // the new box's "Text" is replaced
    }
    ~LimitRig() { platform::AlertPresenter::install(previous); }
    MyTextView* box() const { return dynamic_cast<MyTextView*>(rig.container->textViewAry.back()); }
    int length() const { return box()->txtStorage().length(); }
};

} // namespace

TEST(TextLimit, APasteKeepsWhatFitsAndSaysSo)
{
    constexpr int kMax = MyTextBox::kMaxCharacters;
    struct Row {
        const char* name;
        int pasted;
        int kept;
        bool told;
    };
    const Row rows[] = {
        { "one million exactly", kMax, kMax, false },
        { "one more", kMax + 1, kMax - 1, true }, // the emoji at the cut is not split
        { "ten million", 10 * kMax, kMax, true },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        LimitRig t;
        t.clipboard->held = words(row.pasted);
        const double before = threadCpuSeconds();
        t.box()->txtBox()->editor().paste();
        t.rig.endEvent();
        EXPECT_LT(threadCpuSeconds() - before, 3.0);
        EXPECT_EQ(t.length(), row.kept);
        EXPECT_EQ(t.alerts->messages,
            row.told ? QStringList { MyTextBox::characterLimitMessage() } : QStringList());
        // Full: typing adds nothing more.
        if (row.kept == kMax) {
            t.box()->txtBox()->editor().insertText("x");
            EXPECT_EQ(t.length(), kMax);
        }
    }
    EXPECT_EQ(MyTextBox::characterLimitMessage(),
        "A text box can hold at most 1,000,000 characters; the rest was left out.");
}

TEST(TextLimit, ARecordWithMoreIsHeldToTheLimit)
{
    LimitRig t;
    UNDODATA record = t.box()->getUndoData();
    record.rtf = platform::AttributedString(QString(MyTextBox::kMaxCharacters + 500, 'r'));
    t.box()->setUndoData(record);
    EXPECT_EQ(t.length(), MyTextBox::kMaxCharacters);
}
