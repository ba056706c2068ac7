#pragma once
// Why a document could not be read or written: a domain and code callers can test, and a
// sentence for the user (empty when the domain and code say it all).
#include <QFileInfo>
#include <QString>

namespace platform {

// What a refusal to open a file says: the file's name, the reason, then the system's own text
// when there is one, as in
//     “Trip.quillmark” could not be opened: it is damaged (cut short). The operation ...
// A reason is a clause about the file without a final stop ("it is not a picture"); without
// one the sentence ends after "opened".
inline QString refusalMessage(
    const QString& path, const QString& reason, const QString& systemText = {})
{
    QString message
        = QStringLiteral("\u201c%1\u201d could not be opened").arg(QFileInfo(path).fileName());
    message += reason.isEmpty() ? QStringLiteral(".") : QStringLiteral(": %1.").arg(reason);
    if (!systemText.isEmpty())
        message += QLatin1Char(' ') + systemText;
    return message;
}

struct DocumentError {
    QString domain;
    int code = 0;
    QString description;
    // Why a file was refused, for refusalMessage(); empty when the message says all there is.
    QString reason = {};

    // The person cancelled the work that would have given a result: nothing to tell.
    static DocumentError cancellation() { return { kCancelledDomain(), kCancelledCode, {} }; }
    bool isCancellation() const { return domain == kCancelledDomain() && code == kCancelledCode; }

    // What an alert shows.
    QString message() const
    {
        if (!description.isEmpty())
            return description;
        return QStringLiteral("The operation couldn\u2019t be completed. (%1 error %2.)")
            .arg(domain)
            .arg(code);
    }

    // The same error, its message naming the file at path and the reason (the domain and code
    // stay for callers to test). The system's own text follows only when it was given (it
    // fits this reason) or there is no reason to say instead: a generic "couldn't be
    // completed" would only contradict the reason.
    DocumentError refusingFile(const QString& path) const
    {
        const QString systemText
            = description.isEmpty() && !reason.isEmpty() ? QString() : message();
        return { domain, code, refusalMessage(path, reason, systemText), reason };
    }

private:
    static constexpr int kCancelledCode = 3072;
    static QString kCancelledDomain() { return QStringLiteral("Cancelled"); }
};

// Domains of the errors the document services make themselves.
inline const QString kFileErrorDomain = QStringLiteral("File");
inline const QString kDocumentErrorDomain = QStringLiteral("Document");

} // namespace platform
