#include "platform/IniFile.h"

#include "platform/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace oculet {
namespace {

bool needsQuotes(const QString& value) {
    if (value.isEmpty()) {
        return false;
    }
    return value.front().isSpace() || value.back().isSpace() || value.front() == u'"' ||
           value.contains(u'\n') || value.contains(u'\r');
}

QString quote(const QString& value) {
    QString out = QStringLiteral("\"");
    for (const QChar c : value) {
        switch (c.unicode()) {
        case u'\\': out += QStringLiteral("\\\\"); break;
        case u'"': out += QStringLiteral("\\\""); break;
        case u'\n': out += QStringLiteral("\\n"); break;
        case u'\r': out += QStringLiteral("\\r"); break;
        default: out += c;
        }
    }
    out += u'"';
    return out;
}

QString unquote(const QString& raw) {
    if (raw.size() < 2 || raw.front() != u'"' || raw.back() != u'"') {
        return raw;
    }
    QString out;
    for (qsizetype i = 1; i + 1 < raw.size(); ++i) {
        QChar c = raw[i];
        if (c == u'\\' && i + 2 < raw.size()) {
            const QChar next = raw[++i];
            c = next == u'n' ? QChar(u'\n') : next == u'r' ? QChar(u'\r') : next;
        }
        out += c;
    }
    return out;
}

} // namespace

IniFile IniFile::read(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return parse(file.readAll());
}

IniFile IniFile::parse(const QByteArray& text) {
    IniFile ini;
    QString section;
    const QString all = QString::fromUtf8(text);
    for (QString line : all.split(u'\n')) {
        if (line.endsWith(u'\r')) {
            line.chop(1);
        }
        const QString trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith(u';') || trimmed.startsWith(u'#')) {
            continue;
        }
        if (trimmed.startsWith(u'[') && trimmed.endsWith(u']')) {
            section = trimmed.mid(1, trimmed.size() - 2).trimmed();
            continue;
        }
        const qsizetype eq = line.indexOf(u'=');
        if (eq <= 0 || section.isEmpty()) {
            continue;
        }
        // Only the blank before the first value character is layout; the value keeps the rest.
        QString raw = line.mid(eq + 1);
        while (!raw.isEmpty() && raw.front() == u' ') {
            raw.remove(0, 1);
        }
        ini.setValue(section, line.left(eq).trimmed(), unquote(raw));
    }
    return ini;
}

IniFile::Section* IniFile::findSection(const QString& folded) {
    for (Section& s : sections_) {
        if (s.name == folded) {
            return &s;
        }
    }
    return nullptr;
}

const IniFile::Section* IniFile::findSection(const QString& folded) const {
    return const_cast<IniFile*>(this)->findSection(folded);
}

std::optional<QString> IniFile::value(const QString& section, const QString& key) const {
    const Section* s = findSection(section.toLower());
    if (s == nullptr) {
        return std::nullopt;
    }
    const QString k = key.toLower();
    for (const auto& [name, value] : s->entries) {
        if (name == k) {
            return value;
        }
    }
    return std::nullopt;
}

void IniFile::setValue(const QString& section, const QString& key, const QString& value) {
    const QString foldedSection = section.toLower();
    Section* s = findSection(foldedSection);
    if (s == nullptr) {
        sections_.push_back({foldedSection, {}});
        s = &sections_.back();
    }
    const QString k = key.toLower();
    for (auto& entry : s->entries) {
        if (entry.first == k) {
            entry.second = value;
            return;
        }
    }
    s->entries.emplace_back(k, value);
}

QByteArray IniFile::serialise() const {
    QString out;
    for (const Section& s : sections_) {
        if (!out.isEmpty()) {
            out += u'\n';
        }
        out += u'[' + s.name + QStringLiteral("]\n");
        for (const auto& [key, value] : s.entries) {
            out += key + u'=' + (needsQuotes(value) ? quote(value) : value) + u'\n';
        }
    }
    return out.toUtf8();
}

bool IniFile::write(const QString& path, QString* error) const {
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath())) {
        if (error != nullptr) {
            *error = QStringLiteral("cannot create the folder %1").arg(info.absolutePath());
        }
        return false;
    }
    // The file holds the FTP password: only its owner may read it.
    return writeFileAtomically(path, serialise(), AtomicWriteOptions{.mode = 0600, .durable = true}, error);
}

} // namespace oculet
