#pragma once
// The welcome window's newsletter form: a drawn invitation, a white e-mail box holding the text
// field, and a drawn text button that subscribes the address or, once subscribed (remembered
// in "ORBSubscribeViewEmail"), unsubscribes it, by form posts to the newsletter server.
//
// Its rectangles are fixed and given y-down, from the view's top-left corner (the view is
// flipped); the drawing itself goes through the y-up Control base.
//
// At most one request runs at a time: the button is disabled while one is under way. The
// client belongs to the form, so closing the form aborts the request and its reply is never
// handled.
#include "platform/network/HttpClient.h"
#include "platform/ui/Control.h"

#include <QLineEdit>
#include <QString>
#include <functional>
#include <utility>
#include <vector>

class ORBSubscribeView final : public platform::Control {
public:
    static constexpr QLatin1String kEmailKey { "ORBSubscribeViewEmail" };
    // The newsletter server's base address; unset means kDefaultServer.
    static constexpr QLatin1String kServerKey { "NewsletterServerAddress" };
    static constexpr QLatin1String kDefaultServer { "https://news.quillmark.org" };

    // Flipped view coordinates (y grows downwards).
    static constexpr QRect kEmailInputFrame { 0, 35, 220, 23 };
    static constexpr QRect kCorrectedEmailInputFrame { 5, 37, 220, 23 };
    static constexpr QRect kButtonFrame { 230, 35, 120, 23 };

    explicit ORBSubscribeView(QWidget* parent = nullptr);

    QLineEdit* inputField() const { return m_inputField; }
    const QString& subscribeButtonTitle() const { return m_subscribeButtonTitle; }
    bool subscribeButtonEnabled() const { return m_subscribeButtonEnabled; }
    const QString& listID() const { return m_listID; }
    // The client the form posts through (tests shorten its deadline).
    platform::HttpClient& client() { return m_client; }

    void setSubscribeButtonTitle(const QString& title, bool enabled);
    // A non-empty address is stored and shown, and the button offers to unsubscribe; an empty
    // one clears the default and the field and offers to subscribe.
    void setSubscribedEmail(const QString& email);
    void showMessage(const QString& message);
    // Subscribes or unsubscribes, by the button's title; does nothing while it is disabled.
    void pushSubscribeButton();

    // application/x-www-form-urlencoded: UTF-8, letters, digits and * - . _ kept, a space as
    // "+", every other byte as %XX (upper case).
    static QString URLEncodedString(const QString& string);
    // Whether address may be an e-mail address: not empty, one "@" with text on each side, no
    // white space, at most 254 characters.
    static bool isPlausibleEmail(const QString& address);
    // The newsletter server's base address from the user defaults, or the built-in one.
    static QUrl serverAddress();

    // The server's reply text, or a message saying why there is none (failed).
    struct Reply {
        QString text;
        bool failed = false;
    };
    using Parameters = std::vector<std::pair<QString, QString>>;
    void sendyRequest(const QString& path, const Parameters& parameters,
        std::function<void(const Reply&)> onComplete);

protected:
    void drawRect(platform::GraphicsContext& ctx, const platform::Rect& dirty) override;
    void mouseUp(const platform::Point& location, unsigned modifierFlags) override;

private:
    void initialized();
    Parameters parametersFor(const QString& email) const;
    // A rectangle given y-down from the top-left, in the drawing's y-up coordinates.
    platform::Rect flipped(const QRect& r) const;

    QLineEdit* m_inputField = nullptr;
    QString m_subscribeButtonTitle;
    bool m_subscribeButtonEnabled = false;
    QString m_listID;
    platform::HttpClient m_client;
};
