// The newsletter form against a loopback server: every state change, what goes over the wire,
// replies that must not count, the drawn parts, and the form's encoding.
#include "AppFakes.h"
#include "app/ORBSubscribeView.h"
#include "platform/network/LoopbackServer.h"
#include "support/PixelProbe.h"
#include "support/SyntheticMouse.h"

#include <QKeyEvent>
#include <QRandomGenerator>
#include <gtest/gtest.h>

using nettest::LoopbackServer;
using nettest::Request;

namespace {

constexpr QLatin1String kEmailKey = ORBSubscribeView::kEmailKey;
const QPointF kButtonCentre(290, 46);

// The fakes, a server the form posts to, and the form; the defaults are put back after.
struct FormRig {
    apptest::AppFixture fixture;
    LoopbackServer server;
    std::unique_ptr<ORBSubscribeView> view;

    explicit FormRig(const QString& storedEmail = {})
    {
        auto& defaults = platform::UserDefaults::standard();
        defaults.setString(ORBSubscribeView::kServerKey, server.url().toString());
        if (storedEmail.isEmpty())
            defaults.removeObjectForKey(kEmailKey);
        else
            defaults.setString(kEmailKey, storedEmail);
        remake();
    }
    ~FormRig()
    {
        view.reset();
        auto& defaults = platform::UserDefaults::standard();
        defaults.removeObjectForKey(ORBSubscribeView::kServerKey);
        defaults.removeObjectForKey(kEmailKey);
    }
    // The form as the next start makes it.
    void remake()
    {
        view.reset();
        view = std::make_unique<ORBSubscribeView>();
        view->resize(350, 60);
        view->client().setDeadline(std::chrono::milliseconds(800));
    }
    void pressReturn()
    {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
        QCoreApplication::sendEvent(view->inputField(), &press);
    }
    bool settled()
    {
        return nettest::waitFor(
            [&] {
                return view->subscribeButtonEnabled() || view->subscribeButtonTitle().isEmpty();
            },
            4000);
    }
    QString stored() const { return platform::UserDefaults::standard().stringForKey(kEmailKey); }
    QStringList alerts() const { return fixture.alerts->messages; }
};

struct State {
    QString title;
    bool buttonEnabled;
    QString field;
    bool fieldEnabled;
    QString stored;
};

void expectState(FormRig& rig, const State& want)
{
    EXPECT_EQ(rig.view->subscribeButtonTitle(), want.title);
    EXPECT_EQ(rig.view->subscribeButtonEnabled(), want.buttonEnabled);
    EXPECT_EQ(rig.view->inputField()->text(), want.field);
    EXPECT_EQ(rig.view->inputField()->isEnabled(), want.fieldEnabled);
    EXPECT_EQ(rig.stored(), want.stored);
}

LoopbackServer::Behaviour silent()
{
    return [](QTcpSocket&, const Request&) {};
}

} // namespace

TEST(SubscribeForm, StateChangesAgainstTheServer)
{
    const QString ann = QStringLiteral("ann+news@example.org");
    const QString odd = QStringLiteral("a&b=c+d@ex\u00e4mple.org");
    const State notSubscribed { "Subscribe", true, "", true, "" };
    const State justSubscribed { "", false, "Thank you!", false, ann };
    const State subscribed { "Unsubscribe", true, ann, false, ann };
    const QString http500 = "The newsletter server answered with an error (HTTP 500).";
    const QString invalid = "Please enter a valid e-mail address.";
    enum Trigger { Click, Return };
    const struct Row {
        const char* name;
        QString storedAtStart;
        QString typed;
        Trigger trigger;
        LoopbackServer::Behaviour behaviour;
        State after;
        QString alert; // empty: none
    } rows[] = {
        { "subscribe, reply 1, by click", {}, ann, Click, LoopbackServer::reply(200, "1"),
            justSubscribed, {} },
        { "subscribe, reply 1, by Return", {}, ann, Return, LoopbackServer::reply(200, "1"),
            justSubscribed, {} },
        { "subscribe, Already subscribed.", {}, ann, Click,
            LoopbackServer::reply(200, "Already subscribed."), justSubscribed, {} },
        { "subscribe, & = + and non-ASCII in the address", {}, odd, Return,
            LoopbackServer::reply(200, "1"), { "", false, "Thank you!", false, odd }, {} },
        { "subscribe, other letter case", {}, ann, Click,
            LoopbackServer::reply(200, "already subscribed."), notSubscribed,
            "already subscribed." },
        { "subscribe, extra space", {}, ann, Click,
            LoopbackServer::reply(200, "Already subscribed. "), notSubscribed,
            "Already subscribed. " },
        { "subscribe, 500 with body 1", {}, ann, Click, LoopbackServer::reply(500, "1"),
            notSubscribed, http500 },
        { "subscribe, 301 to another host", {}, ann, Click,
            LoopbackServer::reply(301, "1", "Location: https://example.invalid/\r\n"),
            notSubscribed, "The newsletter server answered with an error (HTTP 301)." },
        { "subscribe, never answers", {}, ann, Click, silent(), notSubscribed,
            "The newsletter server did not answer in time." },
        { "subscribe, 10 MB reply", {}, ann, Click,
            LoopbackServer::reply(200, QByteArray(10 << 20, '1')), notSubscribed,
            "The newsletter server\u2019s answer was too large." },
        // An alert shows the server's text only as one short plain line.
        { "subscribe, a 64 KB web page", {}, ann, Click,
            LoopbackServer::reply(200,
                "<!DOCTYPE html><html><body>" + QByteArray(64 * 1024 - 50, 'w') + "</body></html>"),
            notSubscribed, "The newsletter server answered with an error." },
        { "subscribe, a short page", {}, ann, Click,
            LoopbackServer::reply(200, "  <p>Invalid list</p>"), notSubscribed,
            "The newsletter server answered with an error." },
        { "subscribe, control characters", {}, ann, Click,
            LoopbackServer::reply(200, "Invalid\x1b[31m e-mail\r\n\x07"), notSubscribed,
            "Invalid[31m e-mail" },
        { "subscribe, 200 characters", {}, ann, Click,
            LoopbackServer::reply(200, QByteArray(200, 'e')), notSubscribed, QString(200, 'e') },
        { "subscribe, 201 characters", {}, ann, Click,
            LoopbackServer::reply(200, QByteArray(201, 'e')), notSubscribed,
            "The newsletter server answered with an error." },
        { "subscribe, connection closed without a reply", {}, ann, Click,
            [](QTcpSocket& s, const Request&) { s.disconnectFromHost(); }, notSubscribed,
            "The connection to the newsletter server failed." },
        { "subscribe, not HTTP", {}, ann, Click,
            [](QTcpSocket& s, const Request&) {
                s.write("Unknown error\r\n\r\n");
                s.disconnectFromHost();
            },
            notSubscribed, "The connection to the newsletter server failed." },
        { "unsubscribe, reply 1", ann, ann, Click, LoopbackServer::reply(200, "1"), notSubscribed,
            {} },
        { "unsubscribe, Already subscribed. is no success", ann, ann, Click,
            LoopbackServer::reply(200, "Already subscribed."), subscribed, "Already subscribed." },
        { "unsubscribe, 500 with body 1", ann, ann, Click, LoopbackServer::reply(500, "1"),
            subscribed, http500 },
        { "empty address", {}, "", Click, {}, notSubscribed, invalid },
        { "no at sign", {}, "ann.example.org", Return, {},
            { "Subscribe", true, "ann.example.org", true, "" }, invalid },
        { "space", {}, "ann @example.org", Click, {},
            { "Subscribe", true, "ann @example.org", true, "" }, invalid },
        { "300 characters", {}, QString(288, 'a') + "@example.org", Click, {},
            { "Subscribe", true, QString(288, 'a') + "@example.org", true, "" }, invalid },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        FormRig rig(row.storedAtStart);
        if (row.behaviour)
            rig.server.setBehaviour(row.behaviour);
        if (row.storedAtStart.isEmpty())
            rig.view->inputField()->setText(row.typed);
        const bool unsubscribing = !row.storedAtStart.isEmpty();
        if (row.trigger == Return)
            rig.pressReturn();
        else
            testsupport::click(*rig.view, kButtonCentre);
        if (row.behaviour) {
            EXPECT_EQ(rig.view->subscribeButtonTitle(),
                unsubscribing ? "Unsubscribing..." : "Subscribing...");
            EXPECT_FALSE(rig.view->subscribeButtonEnabled());
            EXPECT_EQ(rig.view->inputField()->isEnabled(), !unsubscribing);
            testsupport::click(*rig.view, kButtonCentre); // ignored while under way
            ASSERT_TRUE(rig.settled());
        }
        nettest::waitFor([] { return false; }, 30);
        expectState(rig, row.after);
        EXPECT_EQ(rig.alerts(), row.alert.isEmpty() ? QStringList() : QStringList { row.alert });
        if (!row.behaviour) {
            EXPECT_TRUE(rig.server.requests().empty());
            continue;
        }
        ASSERT_EQ(rig.server.requests().size(), 1u);
        const Request& sent = rig.server.requests().front();
        EXPECT_EQ(sent.method, "POST");
        EXPECT_EQ(sent.path, unsubscribing ? "/unsubscribe" : "/subscribe");
        EXPECT_EQ(sent.headers.at("content-type"), "application/x-www-form-urlencoded");
        const std::map<QString, QString> fields { { "list", "Gh5QpWm2Lt9XcVb7NzRk3e" },
            { "email", unsubscribing ? row.storedAtStart : row.typed },
            { "api_key", "Vd8kLmQ2xTnR5pWc7HjZ" }, { "boolean", "true" } };
        EXPECT_EQ(sent.fields(), fields);
        EXPECT_EQ(rig.view->listID(), "Gh5QpWm2Lt9XcVb7NzRk3e");
    }
}

TEST(SubscribeForm, PlusAndAtAreEncodedAndTheNextStartShowsUnsubscribe)
{
    FormRig rig;
    rig.view->inputField()->setText("ann+news@example.org");
    rig.pressReturn();
    ASSERT_TRUE(rig.settled());
    ASSERT_EQ(rig.server.requests().size(), 1u);
    EXPECT_TRUE(rig.server.requests()[0].body.contains("email=ann%2Bnews%40example.org"));
    rig.remake();
    expectState(
        rig, { "Unsubscribe", true, "ann+news@example.org", false, "ann+news@example.org" });
}

TEST(SubscribeForm, ClicksOutsideTheButtonDoNothing)
{
    const struct {
        QPointF at;
        bool pushes;
    } rows[] = {
        { { 230.5, 35.5 }, true },
        { { 349.5, 57.5 }, true },
        { kButtonCentre, true },
        { { 2, 36 }, false }, // the e-mail box, beside its field
        { { 2, 57 }, false },
        { { 229.5, 46 }, false },
        { { 350.5, 46 }, false },
        { { 290, 34.5 }, false },
        { { 290, 58.5 }, false },
        { { 100, 10 }, false },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.at.x() << "," << row.at.y());
        FormRig rig;
        testsupport::click(*rig.view, row.at);
        // An empty address is refused with a message: the alert tells that the button acted.
        EXPECT_EQ(rig.alerts().size(), row.pushes ? 1 : 0);
    }
}

TEST(SubscribeForm, AReplyAfterTheFormIsGoneIsIgnored)
{
    FormRig rig;
    QPointer<QTcpSocket> waiting;
    rig.server.setBehaviour([&](QTcpSocket& socket, const Request&) { waiting = &socket; });
    rig.view->inputField()->setText("ann@example.org");
    rig.pressReturn();
    ASSERT_TRUE(nettest::waitFor([&] { return !waiting.isNull(); }, 3000));
    rig.view.reset();
    if (waiting)
        waiting->write(LoopbackServer::head(200, 1) + "1");
    nettest::waitFor([] { return false; }, 200);
    EXPECT_TRUE(rig.alerts().isEmpty());
    EXPECT_TRUE(rig.stored().isEmpty());
}

TEST(SubscribeForm, InsecureServerAddressIsRefusedAndNothingIsSent)
{
    FormRig rig;
    platform::UserDefaults::standard().setString(
        ORBSubscribeView::kServerKey, "http://news.example.org");
    rig.view->inputField()->setText("ann@example.org");
    rig.pressReturn();
    ASSERT_TRUE(rig.settled());
    expectState(rig, { "Subscribe", true, "", true, "" });
    ASSERT_EQ(rig.alerts().size(), 1);
    EXPECT_TRUE(rig.alerts()[0].contains("HTTPS"));
    EXPECT_EQ(ORBSubscribeView::serverAddress().scheme(), "http");
    platform::UserDefaults::standard().removeObjectForKey(ORBSubscribeView::kServerKey);
    EXPECT_EQ(ORBSubscribeView::serverAddress().scheme(), "https");
}

TEST(SubscribeForm, EncodingMatchesQtsFormEncoding)
{
    auto expected = [](const QString& s) {
        return QString::fromLatin1(QUrl::toPercentEncoding(s, "*", "~").replace("%20", "+"));
    };
    for (int code = 0; code < 256; ++code) {
        const QString s(QChar(static_cast<char16_t>(code)));
        ASSERT_EQ(ORBSubscribeView::URLEncodedString(s), expected(s)) << code;
    }
    QRandomGenerator random(26);
    for (int i = 0; i < 500; ++i) {
        QString s;
        for (int n = random.bounded(1, 12); n > 0; --n) {
            char32_t c = random.bounded(0x20, 0x2FFFF);
            if (c >= 0xD800 && c < 0xE000)
                c = '+';
            s += QString::fromUcs4(&c, 1);
        }
        ASSERT_EQ(ORBSubscribeView::URLEncodedString(s), expected(s)) << s.toStdString();
    }
}

TEST(SubscribeForm, DrawsHeaderBoxAndButtonInBothColours)
{
    FormRig rig;
    auto countNear = [](const QImage& image, QRect flippedRect, testsupport::Rgba want) {
        int count = 0;
        for (int y = flippedRect.top(); y <= flippedRect.bottom(); ++y)
            for (int x = flippedRect.left(); x <= flippedRect.right(); ++x)
                count += testsupport::near(
                    testsupport::pixelAt(image, x, image.height() - 1 - y), want, 40);
        return count;
    };
    const testsupport::Rgba white { 255, 255, 255, 255 };
    const testsupport::Rgba blue { 0x14, 0x99, 0xFF, 255 };
    const testsupport::Rgba grey { 0xCC, 0xCC, 0xCC, 255 };
    const QRect header(0, 0, 350, 30);
    const QRect button = ORBSubscribeView::kButtonFrame;

    QImage image = rig.view->renderToImage();
    EXPECT_GT(countNear(image, header, white), 50) << "the white invitation";
    EXPECT_EQ(testsupport::pixelAt(image, 110, 60 - 1 - 47), white) << "inside the e-mail box";
    const testsupport::Rgba edge = testsupport::pixelAt(image, 110, 60 - 1 - 35);
    EXPECT_TRUE(edge.r < 235 && edge.r > 120 && edge.a > 100) << testsupport::describe(edge);
    EXPECT_GT(countNear(image, button, blue), 20);
    EXPECT_EQ(countNear(image, button, grey), 0);

    rig.view->setSubscribeButtonTitle("Subscribe", false);
    image = rig.view->renderToImage();
    EXPECT_GT(countNear(image, button, grey), 20);
    EXPECT_EQ(countNear(image, button, blue), 0);
}
