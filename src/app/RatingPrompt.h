#pragma once
// The one-time request for a rating, after the first completed export or save of a Quillmark
// document a user ever makes (remembered in "PostShareRateSuggested").
#include <QUrl>
#include <functional>

class RatingPrompt {
public:
    static const QString kSuggestedKey; // "PostShareRateSuggested"
    static const QUrl kProjectPage;

    // Shows the alert unless it was shown before; the key is stored first, so the alert never
    // shows twice even if the application stops while it is up.
    static void afterShare();

    // How the project page is opened (the desktop's browser); tests install a recorder.
    using UrlOpener = std::function<void(const QUrl&)>;
    static UrlOpener installUrlOpener(UrlOpener opener);
};
