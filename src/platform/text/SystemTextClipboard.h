#pragma once
// The application's clipboard (QGuiApplication::clipboard()): plain text under text/plain,
// attributed text as a keyed archive under its own type, and the selection clipboard where
// the system has one. Another program's copy read as plain text is its text/plain, else the
// text of its text/html.
#include "platform/text/TextClipboard.h"

#include <QStringList>

namespace platform {

class SystemTextClipboard final : public TextClipboard {
public:
    // The MIME type of the archived attributed text.
    static const QString attributedTextType;

    // allowedClasses: the archive classes an attributed paste may hold (those of the text's
    // attribute values); the text system's own when empty.
    explicit SystemTextClipboard(QStringList allowedClasses = {});

    QString text() const override;
    void setText(const QString& text) override;
    std::optional<AttributedString> attributedText() const override;
    void setAttributedText(const AttributedString& text) override;
    QString selectionText() const override;
    void setSelectionText(const QString& text) override;

private:
    QStringList m_allowedClasses;
};

} // namespace platform
