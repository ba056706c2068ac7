#include "platform/network/HttpClient.h"

#include <QHostAddress>
#include <QLoggingCategory>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <algorithm>
#include <memory>

Q_LOGGING_CATEGORY(lcNetwork, "quillmark.network", QtWarningMsg)

namespace platform {

namespace {

bool isLoopbackHost(const QString& host)
{
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        return true;
    const QHostAddress address(host);
    return !address.isNull() && address.isLoopback();
}

// What has arrived, up to limit bytes (reading only what is there: a large cap must not
// become a large allocation).
QByteArray readAtMost(QNetworkReply& reply, qint64 limit)
{
    return reply.read(std::min(reply.bytesAvailable(), limit));
}

// What one request has gathered so far, and why it was cut short, if it was.
struct Exchange {
    QByteArray body;
    HttpResult::Error abortReason = HttpResult::Error::None;
    QString abortMessage;
};

} // namespace

HttpClient::HttpClient(QObject* parent)
    : QObject(parent)
    , m_manager(new QNetworkAccessManager(this))
{
    // Straight to the server: loopback requests must never wander off through a proxy.
    m_manager->setProxy(QNetworkProxy::NoProxy);
    m_manager->setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
}

HttpClient::~HttpClient()
{
    abortAll();
}

std::optional<QString> HttpClient::refusalFor(const QUrl& url)
{
    if (!url.isValid() || url.host().isEmpty())
        return QStringLiteral("The address \u201c%1\u201d is not valid.").arg(url.toString());
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("https"))
        return std::nullopt;
    if (scheme == QLatin1String("http") && isLoopbackHost(url.host()))
        return std::nullopt;
    return QStringLiteral("The address \u201c%1\u201d is not a secure (HTTPS) address.")
        .arg(url.toString());
}

void HttpClient::post(
    const QUrl& url, const QByteArray& contentType, const QByteArray& body, Completion done)
{
    if (auto refusal = refusalFor(url)) {
        qCWarning(lcNetwork) << "refused" << url;
        HttpResult result;
        result.error = HttpResult::Error::Refused;
        result.errorString = *refusal;
        QTimer::singleShot(0, this, [done = std::move(done), result] { done(result); });
        return;
    }
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::ContentTypeHeader, contentType);
    request.setAttribute(
        QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.setAttribute(
        QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    watch(m_manager->post(request, body), std::move(done));
}

void HttpClient::watch(QNetworkReply* reply, Completion done)
{
    ++m_pending;
    auto exchange = std::make_shared<Exchange>();
    const qint64 cap = m_maxReplyBytes;
    auto abortWith = [reply, exchange](HttpResult::Error reason, QString message) {
        if (exchange->abortReason != HttpResult::Error::None)
            return;
        exchange->abortReason = reason;
        exchange->abortMessage = std::move(message);
        reply->abort();
    };
    auto tooLarge = [cap] {
        return QStringLiteral("The server's reply is larger than %1 KB.").arg(cap / 1024);
    };

    auto* timer = new QTimer(reply);
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, reply, [abortWith] {
        abortWith(
            HttpResult::Error::TimedOut, QStringLiteral("The server did not answer in time."));
    });
    timer->start(m_deadline);

    // A declared length over the cap is refused before its body arrives.
    connect(reply, &QNetworkReply::metaDataChanged, reply, [reply, cap, abortWith, tooLarge] {
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > cap)
            abortWith(HttpResult::Error::TooLarge, tooLarge());
    });
    connect(reply, &QNetworkReply::readyRead, reply, [reply, cap, exchange, abortWith, tooLarge] {
        if (exchange->abortReason != HttpResult::Error::None)
            return;
        exchange->body += readAtMost(*reply, cap + 1 - exchange->body.size());
        if (exchange->body.size() > cap)
            abortWith(HttpResult::Error::TooLarge, tooLarge());
    });
    connect(reply, &QNetworkReply::finished, this,
        [this, reply, exchange, cap, done = std::move(done)] {
            --m_pending;
            reply->deleteLater();
            HttpResult result;
            result.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
            if (exchange->abortReason == HttpResult::Error::None)
                exchange->body += readAtMost(*reply, cap + 1 - exchange->body.size());
            if (exchange->abortReason != HttpResult::Error::None) {
                result.error = exchange->abortReason;
                result.errorString = exchange->abortMessage;
            } else if (exchange->body.size() > cap) {
                result.error = HttpResult::Error::TooLarge;
                result.errorString
                    = QStringLiteral("The server's reply is larger than %1 KB.").arg(cap / 1024);
            } else if (result.status != 0 && (result.status < 200 || result.status > 299)) {
                result.error = HttpResult::Error::HttpStatus;
                result.errorString = QStringLiteral("HTTP %1").arg(result.status);
            } else if (reply->error() != QNetworkReply::NoError || result.status == 0) {
                result.error = HttpResult::Error::Network;
                result.errorString = reply->errorString();
            } else {
                result.body = std::move(exchange->body);
            }
            if (!result.ok())
                qCWarning(lcNetwork) << reply->url() << result.errorString;
            done(result);
        });
}

void HttpClient::abortAll()
{
    const auto replies = m_manager->findChildren<QNetworkReply*>();
    for (QNetworkReply* reply : replies) {
        if (reply->isFinished())
            continue;
        disconnect(reply, nullptr, this, nullptr);
        reply->abort();
        reply->deleteLater();
        --m_pending;
    }
}

} // namespace platform
