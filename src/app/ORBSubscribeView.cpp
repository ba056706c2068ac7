#include "app/ORBSubscribeView.h"

#include "foundation/ColorAdditions.h"
#include "platform/document/AlertPresenter.h"
#include "platform/document/UserDefaults.h"
#include "platform/text/StringDrawing.h"

using namespace platform;

namespace {

const QString kSubscribe = QStringLiteral("Subscribe");
const QString kUnsubscribe = QStringLiteral("Unsubscribe");
const QString kOneReply = QStringLiteral("1");
const QString kAlreadySubscribed = QStringLiteral("Already subscribed.");
const QString kListID = QStringLiteral("Gh5QpWm2Lt9XcVb7NzRk3e");
const QString kApiKey = QStringLiteral("Vd8kLmQ2xTnR5pWc7HjZ");
constexpr int kMaxEmailLength = 254;

// The server's own text, when a person can read it in an alert: one short line of plain
// text, control characters removed. Anything else (a web page, a long or empty text) is said
// in the form's words.
constexpr qsizetype kMaxServerTextLength = 200;
const QString kServerAnsweredWithAnError
    = QStringLiteral("The newsletter server answered with an error.");

QString serverText(const QString& text)
{
    QString plain;
    plain.reserve(std::min(text.size(), kMaxServerTextLength + 1));
    for (const QChar c : text) {
        if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format)
            continue;
        plain += c;
        if (plain.size() > kMaxServerTextLength)
            return kServerAnsweredWithAnError;
    }
    const QString trimmed = plain.trimmed();
    if (trimmed.isEmpty() || trimmed.startsWith(QLatin1Char('<'))
        || trimmed.contains(QLatin1String("<html"), Qt::CaseInsensitive))
        return kServerAnsweredWithAnError;
    return plain;
}

// Failures in the form's words: the client's and the system's own texts are for the log.
QString replyMessage(const HttpResult& result)
{
    switch (result.error) {
    case HttpResult::Error::HttpStatus:
        return QStringLiteral("The newsletter server answered with an error (HTTP %1).")
            .arg(result.status);
    case HttpResult::Error::TimedOut:
        return QStringLiteral("The newsletter server did not answer in time.");
    case HttpResult::Error::TooLarge:
        return QStringLiteral("The newsletter server’s answer was too large.");
    case HttpResult::Error::Network:
        return QStringLiteral("The connection to the newsletter server failed.");
    case HttpResult::Error::Refused: // our own words, naming the address
    case HttpResult::Error::None:
        break;
    }
    return result.errorString;
}

} // namespace

ORBSubscribeView::ORBSubscribeView(QWidget* parent)
    : Control(parent)
{
    initialized();
}

void ORBSubscribeView::initialized()
{
    setSubscribeButtonTitle(kSubscribe, true);
    m_inputField = new QLineEdit(this);
    m_inputField->setGeometry(kCorrectedEmailInputFrame);
    m_inputField->setFrame(false);
    m_inputField->setAttribute(Qt::WA_MacShowFocusRect, false);
    m_inputField->setStyleSheet(
        QStringLiteral("QLineEdit { background: transparent; color: black; border: none; }"));
    m_inputField->setPlaceholderText(QStringLiteral("Email"));
    connect(m_inputField, &QLineEdit::returnPressed, this, [this] { pushSubscribeButton(); });
    // The field has the keyboard once its window shows: a person can type an address at once.
    // (A remembered address disables it below, and the keyboard moves on.)
    m_inputField->setFocus(Qt::OtherFocusReason);
    m_inputField->selectAll();
    setSubscribedEmail(UserDefaults::standard().stringForKey(kEmailKey));
}

Rect ORBSubscribeView::flipped(const QRect& r) const
{
    return Rect(r.x(), height() - r.y() - r.height(), r.width(), r.height());
}

void ORBSubscribeView::drawRect(GraphicsContext& ctx, const Rect&)
{
    // The invitation, with the company's name in the regular face of the same family.
    const QString before = QStringLiteral("Get news & app deals from ");
    const QString name = QStringLiteral("Tinkerfolk");
    const QString after = QStringLiteral(":");
    const Font light = controlFont(QStringLiteral("Helvetica Neue Light"), 16);
    const Font regular = controlFont(QStringLiteral("Helvetica Neue"), 16);
    Rect header = flipped(QRect(0, 0, width(), 30));
    for (const auto& [text, font] :
        { std::pair { before, light }, std::pair { name, regular }, std::pair { after, light } }) {
        drawStringInRect(ctx, text, header, font, Color::white());
        header.origin.x += sizeOfString(text, font).width;
    }

    const BezierPath box = BezierPath::rect(flipped(kEmailInputFrame));
    ctx.setFillColor(Color::white());
    ctx.fillPath(box);
    ctx.setStrokeColor(Color::grey(2.0 / 3.0));
    ctx.strokePath(box);

    drawStringInRect(ctx, m_subscribeButtonTitle, flipped(kButtonFrame),
        controlFont(QStringLiteral("Helvetica Neue"), 15),
        colorWithValue(m_subscribeButtonEnabled ? 0x1499FF : 0xCCCCCC));
}

void ORBSubscribeView::mouseUp(const Point& location, unsigned)
{
    const QPointF flippedLocation(location.x, height() - location.y);
    if (QRectF(kButtonFrame).contains(flippedLocation))
        pushSubscribeButton();
}

void ORBSubscribeView::setSubscribeButtonTitle(const QString& title, bool enabled)
{
    m_subscribeButtonTitle = title;
    m_subscribeButtonEnabled = enabled;
    setNeedsDisplay();
}

void ORBSubscribeView::setSubscribedEmail(const QString& email)
{
    auto& defaults = UserDefaults::standard();
    if (!email.isEmpty()) {
        defaults.setString(kEmailKey, email);
        defaults.synchronize();
        m_inputField->setText(email);
        m_inputField->setEnabled(false);
        setSubscribeButtonTitle(kUnsubscribe, true);
    } else {
        defaults.removeObjectForKey(kEmailKey);
        defaults.synchronize();
        m_inputField->clear();
        m_inputField->setEnabled(true);
        setSubscribeButtonTitle(kSubscribe, true);
    }
}

void ORBSubscribeView::showMessage(const QString& message)
{
    AlertPresenter::current().runModal(AlertStyle::Informational, message);
}

ORBSubscribeView::Parameters ORBSubscribeView::parametersFor(const QString& email) const
{
    return { { QStringLiteral("list"), m_listID }, { QStringLiteral("email"), email },
        { QStringLiteral("api_key"), kApiKey },
        { QStringLiteral("boolean"), QStringLiteral("true") } };
}

void ORBSubscribeView::pushSubscribeButton()
{
    if (!m_subscribeButtonEnabled)
        return;
    const QString email = m_inputField->text();
    m_listID = kListID;
    if (m_subscribeButtonTitle == kSubscribe) {
        // Nothing is sent for an address the server could only refuse.
        if (!isPlausibleEmail(email)) {
            showMessage(QStringLiteral("Please enter a valid e-mail address."));
            return;
        }
        setSubscribeButtonTitle(QStringLiteral("Subscribing..."), false);
        sendyRequest(
            QStringLiteral("subscribe"), parametersFor(email), [this, email](const Reply& reply) {
                if (!reply.failed
                    && (reply.text == kOneReply || reply.text == kAlreadySubscribed)) {
                    setSubscribedEmail(email);
                    m_inputField->setText(QStringLiteral("Thank you!"));
                    setSubscribeButtonTitle(QString(), false);
                } else {
                    setSubscribedEmail(QString());
                    showMessage(reply.failed ? reply.text : serverText(reply.text));
                }
            });
    } else if (m_subscribeButtonTitle == kUnsubscribe) {
        setSubscribeButtonTitle(QStringLiteral("Unsubscribing..."), false);
        sendyRequest(
            QStringLiteral("unsubscribe"), parametersFor(email), [this, email](const Reply& reply) {
                if (!reply.failed && reply.text == kOneReply) {
                    setSubscribedEmail(QString());
                } else {
                    setSubscribedEmail(email);
                    showMessage(reply.failed ? reply.text : serverText(reply.text));
                }
            });
    }
}

QString ORBSubscribeView::URLEncodedString(const QString& string)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    QString out;
    for (const unsigned char byte : string.toUtf8()) {
        if (std::isalnum(byte) && byte < 0x80)
            out += QChar(byte);
        else if (byte == '*' || byte == '-' || byte == '.' || byte == '_')
            out += QChar(byte);
        else if (byte == ' ')
            out += QChar('+');
        else {
            out += QChar('%');
            out += QChar(kHex[byte >> 4]);
            out += QChar(kHex[byte & 15]);
        }
    }
    return out;
}

bool ORBSubscribeView::isPlausibleEmail(const QString& address)
{
    const qsizetype at = address.indexOf(QChar('@'));
    if (address.size() > kMaxEmailLength || at <= 0 || at == address.size() - 1
        || address.count(QChar('@')) != 1)
        return false;
    return std::none_of(address.begin(), address.end(), [](QChar c) { return c.isSpace(); });
}

QUrl ORBSubscribeView::serverAddress()
{
    const QString stored = UserDefaults::standard().stringForKey(kServerKey);
    return QUrl(stored.isEmpty() ? QString(kDefaultServer) : stored);
}

void ORBSubscribeView::sendyRequest(
    const QString& path, const Parameters& parameters, std::function<void(const Reply&)> onComplete)
{
    QUrl url = serverAddress();
    QString base = url.path();
    if (!base.endsWith(QChar('/')))
        base += QChar('/');
    url.setPath(base + path);

    QStringList pairs;
    for (const auto& [key, value] : parameters)
        pairs << URLEncodedString(key) + QChar('=') + URLEncodedString(value);
    m_client.post(url, "application/x-www-form-urlencoded", pairs.join(QChar('&')).toUtf8(),
        [onComplete = std::move(onComplete)](const HttpResult& result) {
            if (result.ok())
                onComplete({ QString::fromUtf8(result.body), false });
            else
                onComplete({ replyMessage(result), true });
        });
}
