#pragma once
// Why a document could not be read or written: a domain and code callers can test, and a
// sentence for the user (empty when the domain and code say it all).
#include <QString>

namespace platform {

struct DocumentError {
    QString domain;
    int code = 0;
    QString description;

    // What an alert shows.
    QString message() const
    {
        if (!description.isEmpty())
            return description;
        return QStringLiteral("The operation couldn\u2019t be completed. (%1 error %2.)")
            .arg(domain)
            .arg(code);
    }
};

// Domains of the errors the document services make themselves.
inline const QString kFileErrorDomain = QStringLiteral("File");
inline const QString kDocumentErrorDomain = QStringLiteral("Document");

} // namespace platform
