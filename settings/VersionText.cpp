#include "settings/VersionText.h"

namespace oculet {
namespace {
const QString kProduct = QStringLiteral("Oculet");
}

std::optional<QString> offeredVersionText(const QByteArray& page) {
    // One character per byte, as the page's own code page is unknown and only digits matter.
    const QString text = QString::fromLatin1(page);
    const qsizetype at = text.indexOf(kProduct);
    if (at < 0) {
        return std::nullopt;
    }
    return text.mid(at + 11, 4);
}

double versionValue(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && text[i] == u' ') {
        ++i;
    }
    QString number;
    bool point = false;
    for (; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'.' && !point) {
            point = true;
        } else if (c < u'0' || c > u'9') {
            break;
        }
        number += c;
    }
    return number.toDouble(); // "" and "." give 0
}

double installedVersion(const QString& programVersionText) {
    const QString version = programVersionText.section(u' ', -1);
    const QString major = version.section(u'.', 0, 0);
    const QString minor = version.section(u'.', 1, 1);
    // "2.3" is read as 2 + .3: a one-digit minor number is worth more than "21".
    return versionValue(major) + versionValue(QStringLiteral(".") + minor);
}

} // namespace oculet
