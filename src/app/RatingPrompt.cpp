#include "app/RatingPrompt.h"

#include "platform/document/AlertPresenter.h"
#include "platform/document/UserDefaults.h"

#include <QDesktopServices>

const QString RatingPrompt::kSuggestedKey = QStringLiteral("PostShareRateSuggested");
// There is no store to rate in: the button leads to the project's own page.
const QUrl RatingPrompt::kProjectPage = QUrl(QStringLiteral("https://quillmark.org/"));

namespace {

RatingPrompt::UrlOpener& urlOpener()
{
    static RatingPrompt::UrlOpener opener = [](const QUrl& url) { QDesktopServices::openUrl(url); };
    return opener;
}

} // namespace

RatingPrompt::UrlOpener RatingPrompt::installUrlOpener(UrlOpener opener)
{
    return std::exchange(urlOpener(), std::move(opener));
}

void RatingPrompt::afterShare()
{
    auto& defaults = platform::UserDefaults::standard();
    if (defaults.boolForKey(kSuggestedKey))
        return;
    defaults.setBool(kSuggestedKey, true);
    defaults.synchronize();
    const int answer = platform::AlertPresenter::current().runModalWithButtons(
        platform::AlertStyle::Informational, QStringLiteral("What a beautiful Quillmark picture!"),
        QStringLiteral("Please, if you can take a moment and rate Quillmark, we\u2019d really "
                       "appreciate it. Thank you!"),
        { QStringLiteral("Rate Quillmark"), QStringLiteral("No, thanks") });
    if (answer == platform::AlertPresenter::kFirstButtonReturn && urlOpener())
        urlOpener()(kProjectPage);
}
