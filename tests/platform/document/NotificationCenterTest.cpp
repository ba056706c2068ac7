// Delivery rules of the notification centre: matching by name and sender, order, changes made
// from inside a delivery, and observers leaving with their context.
#include "platform/document/NotificationCenter.h"

#include <QObject>
#include <gtest/gtest.h>
#include <memory>

using platform::Notification;
using platform::NotificationCenter;

namespace {

int a = 0, b = 0; // two distinct sender addresses

TEST(NotificationCenter, MatchesByNameAndSender)
{
    struct Row {
        const char* what;
        const char* observedName;
        const void* observedSender;
        const char* postedName;
        const void* postedObject;
        bool delivered;
    };
    const Row rows[] = {
        { "same name, any sender", "Changed", nullptr, "Changed", &a, true },
        { "same name, any sender, no object", "Changed", nullptr, "Changed", nullptr, true },
        { "same name and sender", "Changed", &a, "Changed", &a, true },
        { "other sender", "Changed", &a, "Changed", &b, false },
        { "sender given, posted without object", "Changed", &a, "Changed", nullptr, false },
        { "other name", "Changed", nullptr, "Closed", &a, false },
        { "names compare case-sensitively", "Changed", nullptr, "changed", &a, false },
    };
    for (const Row& row : rows) {
        NotificationCenter center;
        QObject context;
        int calls = 0;
        center.addObserver(
            row.observedName, row.observedSender, &context, [&](const Notification&) { ++calls; });
        center.post(row.postedName, row.postedObject);
        EXPECT_EQ(calls, row.delivered ? 1 : 0) << row.what;
    }
}

TEST(NotificationCenter, DeliversNameObjectAndUserInfoInOrder)
{
    NotificationCenter center;
    QObject context;
    QStringList seen;
    center.addObserver("N", nullptr, &context, [&](const Notification& n) {
        EXPECT_EQ(n.name, "N");
        EXPECT_EQ(n.object, &a);
        EXPECT_EQ(n.userInfo.value("key").toInt(), 7);
        seen << "first";
    });
    center.addObserver("N", &a, &context, [&](const Notification&) { seen << "second"; });
    center.post("N", &a, { { "key", 7 } });
    EXPECT_EQ(seen, QStringList({ "first", "second" }));
}

TEST(NotificationCenter, ChangesDuringDelivery)
{
    NotificationCenter center;
    QObject context;
    QStringList seen;
    int second = 0;
    std::unique_ptr<QObject> doomed = std::make_unique<QObject>();
    center.addObserver("N", nullptr, &context, [&](const Notification&) {
        seen << "first";
        center.removeObserver(second); // later observer removed: not called this time
        doomed.reset(); // later observer's context dies: not called either
        center.addObserver("N", nullptr, &context, [&](const Notification&) { seen << "added"; });
    });
    second = center.addObserver(
        "N", nullptr, &context, [&](const Notification&) { seen << "removed"; });
    center.addObserver("N", nullptr, doomed.get(), [&](const Notification&) { seen << "dead"; });
    center.post("N");
    EXPECT_EQ(seen, QStringList({ "first" }));
    seen.clear();
    center.post("N");
    // The first observer adds yet another; the one it added last time now runs.
    EXPECT_EQ(seen, QStringList({ "first", "added" }));
}

TEST(NotificationCenter, ObserverRemovingItselfKeepsRunning)
{
    NotificationCenter center;
    QObject context;
    int token = 0;
    QString captured = "kept alive";
    QString seen;
    token = center.addObserver("N", nullptr, &context, [&, captured](const Notification&) {
        center.removeObserver(token);
        seen = captured; // the closure must still exist after its own removal
    });
    center.post("N");
    center.post("N");
    EXPECT_EQ(seen, "kept alive");
    EXPECT_EQ(center.observerCount(), 0);
}

TEST(NotificationCenter, ObserversLeaveWithTheirContext)
{
    NotificationCenter center;
    int calls = 0;
    auto context = std::make_unique<QObject>();
    QObject other;
    center.addObserver("N", nullptr, context.get(), [&](const Notification&) { ++calls; });
    center.addObserver("M", nullptr, context.get(), [&](const Notification&) { ++calls; });
    const int kept
        = center.addObserver("N", nullptr, &other, [&](const Notification&) { ++calls; });
    context.reset();
    EXPECT_EQ(center.observerCount(), 1);
    center.post("N");
    center.post("M");
    EXPECT_EQ(calls, 1);

    center.removeObservers(&other);
    center.removeObserver(kept); // already gone: ignored
    center.removeObserver(12345);
    center.post("N");
    EXPECT_EQ(calls, 1);
}

TEST(NotificationCenter, NullContextStaysUntilRemoved)
{
    NotificationCenter center;
    int calls = 0;
    const int token
        = center.addObserver("N", nullptr, nullptr, [&](const Notification&) { ++calls; });
    center.post("N");
    center.removeObserver(token);
    center.post("N");
    EXPECT_EQ(calls, 1);
}

TEST(NotificationCenter, CenterOutlivedByContextDoesNotCallBack)
{
    // A context that dies after its centre must not reach into the dead centre.
    auto context = std::make_unique<QObject>();
    {
        NotificationCenter center;
        center.addObserver("N", nullptr, context.get(), [](const Notification&) {});
    }
    context.reset();
    SUCCEED();
}

} // namespace
