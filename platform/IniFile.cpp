#include "platform/IniFile.h"

#include "platform/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

namespace oculet {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; }

bool needsQuotes(const QByteArray& raw) {
    if (raw.isEmpty()) {
        return false;
    }
    return isBlank(raw.front()) || isBlank(raw.back()) || raw.front() == '"' || raw.contains('\n') ||
           raw.contains('\r');
}

QByteArray quote(const QByteArray& raw) {
    QByteArray out = "\"";
    for (const char c : raw) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '"': out += "\\\""; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        default: out += c;
        }
    }
    out += '"';
    return out;
}

QByteArray unquote(const QByteArray& raw) {
    if (raw.size() < 2 || raw.front() != '"' || raw.back() != '"') {
        return raw;
    }
    QByteArray out;
    for (qsizetype i = 1; i + 1 < raw.size(); ++i) {
        char c = raw[i];
        if (c == '\\' && i + 2 < raw.size()) {
            const char next = raw[++i];
            c = next == 'n' ? '\n' : next == 'r' ? '\r' : next;
        }
        out += c;
    }
    return out;
}

// UTF-8 where the bytes are UTF-8; anything else was written by an editor in Latin-1.
QString decode(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    return utf8.hasError() ? QString::fromLatin1(bytes) : text;
}

} // namespace

std::optional<IniFile> IniFile::read(const QString& path, QString* error) {
    auto refuse = [&](const QString& why) -> std::optional<IniFile> {
        if (error != nullptr) {
            *error = why;
        }
        return std::nullopt;
    };
    const QFileInfo info(path);
    if (!info.exists()) {
        return IniFile{};
    }
    if (!info.isFile()) {
        return refuse(QStringLiteral("it is not a file"));
    }
    if (info.size() > kMaxFileSize) {
        return refuse(QStringLiteral("it is larger than %1 KiB").arg(kMaxFileSize / 1024));
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return refuse(file.errorString());
    }
    const QByteArray text = file.read(kMaxFileSize + 1);
    if (file.error() != QFileDevice::NoError) {
        return refuse(file.errorString());
    }
    if (text.size() > kMaxFileSize) {
        return refuse(QStringLiteral("it is larger than %1 KiB").arg(kMaxFileSize / 1024));
    }
    return parse(text);
}

IniFile IniFile::parse(const QByteArray& text) {
    IniFile ini;
    Section* current = nullptr;
    for (QByteArray line : text.split('\n')) {
        if (line.endsWith('\r')) {
            line.chop(1);
        }
        const QByteArray bare = line.trimmed();
        if (bare.isEmpty() || bare.startsWith(';') || bare.startsWith('#')) {
            continue;
        }
        if (bare.startsWith('[') && bare.endsWith(']')) {
            const QString name = decode(bare.mid(1, bare.size() - 2).trimmed()).toLower();
            current = name.isEmpty() ? nullptr : &ini.section(name);
            continue;
        }
        const qsizetype eq = line.indexOf('=');
        if (eq <= 0 || current == nullptr) {
            continue;
        }
        // A line with only blanks before its "=" names no setting; kept, it would be written back
        // as "=value", which is then no longer read.
        const QString key = decode(line.left(eq).trimmed()).toLower();
        if (key.isEmpty()) {
            continue;
        }
        // Only the blank before the first value character is layout; the value keeps the rest.
        qsizetype start = eq + 1;
        while (start < line.size() && line[start] == ' ') {
            ++start;
        }
        ini.setRaw(*current, key, unquote(line.mid(start)));
    }
    return ini;
}

IniFile::Section& IniFile::section(const QString& folded) {
    const auto found = index_.constFind(folded);
    if (found != index_.cend()) {
        return sections_[*found];
    }
    index_.insert(folded, sections_.size());
    sections_.push_back({folded, {}, {}});
    return sections_.back();
}

void IniFile::setRaw(Section& s, const QString& foldedKey, QByteArray raw) {
    const auto found = s.index.constFind(foldedKey);
    if (found != s.index.cend()) {
        s.entries[*found].raw = std::move(raw);
        return;
    }
    s.index.insert(foldedKey, s.entries.size());
    s.entries.push_back({foldedKey, std::move(raw)});
}

std::optional<QString> IniFile::value(const QString& sectionName, const QString& key) const {
    const auto s = index_.constFind(sectionName.toLower());
    if (s == index_.cend()) {
        return std::nullopt;
    }
    const Section& section = sections_[*s];
    const auto e = section.index.constFind(key.toLower());
    if (e == section.index.cend()) {
        return std::nullopt;
    }
    return decode(section.entries[*e].raw);
}

void IniFile::setValue(const QString& sectionName, const QString& key, const QString& value) {
    Section& s = section(sectionName.toLower());
    const QString folded = key.toLower();
    const auto found = s.index.constFind(folded);
    if (found != s.index.cend() && decode(s.entries[*found].raw) == value) {
        return; // unchanged: the bytes it was read with stay
    }
    setRaw(s, folded, value.toUtf8());
}

QByteArray IniFile::serialise() const {
    QByteArray out;
    for (const Section& s : sections_) {
        if (!out.isEmpty()) {
            out += '\n';
        }
        out += '[' + s.name.toUtf8() + "]\n";
        for (const Entry& e : s.entries) {
            out += e.key.toUtf8() + '=' + (needsQuotes(e.raw) ? quote(e.raw) : e.raw) + '\n';
        }
    }
    return out;
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
