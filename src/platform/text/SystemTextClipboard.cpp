#include "platform/text/SystemTextClipboard.h"

#include "platform/archive/KeyedArchiver.h"
#include "platform/archive/KeyedUnarchiver.h"
#include "platform/text/TextValueCoding.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QTextDocumentFragment>

namespace platform {

const QString SystemTextClipboard::attributedTextType
    = QStringLiteral("application/x-quillmark-attributed-text");

SystemTextClipboard::SystemTextClipboard(QStringList allowedClasses)
    : m_allowedClasses(std::move(allowedClasses))
{
    if (m_allowedClasses.isEmpty())
        m_allowedClasses = { AttributedString::attributeClassName(), QStringLiteral("NSDictionary"),
            QStringLiteral("NSColor"), ParagraphStyle::attributeClassName(),
            Font::attributeClassName() };
}

namespace {

// The plain text of what a clipboard holds: its text, or the text of its HTML when that is all
// there is (a web browser can leave a copy as text/html alone).
QString plainTextOf(const QMimeData* data)
{
    if (!data)
        return {};
    if (data->hasText())
        return data->text();
    if (data->hasHtml())
        return QTextDocumentFragment::fromHtml(data->html()).toPlainText();
    return {};
}

} // namespace

QString SystemTextClipboard::text() const
{
    const QClipboard* clipboard = QGuiApplication::clipboard();
    return clipboard ? plainTextOf(clipboard->mimeData()) : QString();
}

void SystemTextClipboard::setText(const QString& text)
{
    if (QClipboard* clipboard = QGuiApplication::clipboard())
        clipboard->setText(text);
}

std::optional<AttributedString> SystemTextClipboard::attributedText() const
{
    const QClipboard* clipboard = QGuiApplication::clipboard();
    const QMimeData* data = clipboard ? clipboard->mimeData() : nullptr;
    if (!data || !data->hasFormat(attributedTextType))
        return std::nullopt;
    registerTextArchiveClasses();
    auto text = KeyedUnarchiver::unarchive(data->data(attributedTextType), m_allowedClasses)
                    .root.objectValue<AttributedString>();
    // Another program may have put plain text beside a stale copy of ours; the plain text is
    // what the person copied last.
    if (!text || text->string() != data->text())
        return std::nullopt;
    return text;
}

void SystemTextClipboard::setAttributedText(const AttributedString& text)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        return;
    auto data = std::make_unique<QMimeData>();
    data->setText(text.string());
    const QByteArray archived = KeyedArchiver::archivedData(ArchiveValue::fromValue(text), true);
    if (!archived.isEmpty())
        data->setData(attributedTextType, archived);
    clipboard->setMimeData(data.release());
}

QString SystemTextClipboard::selectionText() const
{
    const QClipboard* clipboard = QGuiApplication::clipboard();
    return clipboard && clipboard->supportsSelection()
        ? plainTextOf(clipboard->mimeData(QClipboard::Selection))
        : QString();
}

void SystemTextClipboard::setSelectionText(const QString& text)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard && clipboard->supportsSelection() && !text.isEmpty())
        clipboard->setText(text, QClipboard::Selection);
}

} // namespace platform
