#include "platform/IniFile.h"

#include "platform/AtomicFile.h"
#include "platform/RegularFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QStringEncoder>

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
    const FileRead file = readRegularFile(path, kMaxFileSize);
    if (file.outcome == FileRead::Outcome::Missing) {
        return IniFile{};
    }
    if (!file.ok()) {
        if (error != nullptr) {
            *error = file.reason();
        }
        return std::nullopt;
    }
    return fromBytes(file.bytes, error);
}

std::optional<IniFile> IniFile::fromBytes(const QByteArray& bytes, QString* error) {
    IniFile ini = parse(bytes);
    if (ini.sections_.empty() && ini.strayText_) {
        if (error != nullptr) {
            *error = QStringLiteral("Oculet cannot make out what it holds: no line in it names a section, such as [FTP]");
        }
        return std::nullopt;
    }
    return ini;
}

IniFile IniFile::parse(const QByteArray& bytes) {
    IniFile ini;
    QByteArray text = bytes;
    if (text.startsWith("\xEF\xBB\xBF")) {
        ini.encoding_ = Encoding::Utf8WithMark;
        text.remove(0, 3);
    } else if (text.startsWith("\xFF\xFE") || text.startsWith("\xFE\xFF")) {
        const bool little = text.startsWith("\xFF\xFE");
        ini.encoding_ = little ? Encoding::Utf16LE : Encoding::Utf16BE;
        QStringDecoder utf16(little ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE);
        text = QString(utf16.decode(QByteArrayView(text).sliced(2))).toUtf8();
    }
    Section* current = nullptr;
    QByteArray pending; // comments and lines not understood, waiting for what they stand before
    qsizetype beforeBlank = 0; // how much of `pending` came before its last blank line
    // A file an editor saved with CR LF line ends, every one of them, is written back with them.
    ini.crlf_ = text.contains('\n') && text.count("\r\n") == text.count('\n');
    const QByteArray eol = ini.lineEnd();
    for (QByteArray line : text.split('\n')) {
        if (ini.crlf_ && line.endsWith('\r')) {
            line.chop(1);
        }
        const QByteArray bare = line.trimmed();
        if (bare.isEmpty()) {
            beforeBlank = pending.size();
            continue;
        }
        if (bare.startsWith('[') && bare.endsWith(']')) {
            const QString name = decode(bare.mid(1, bare.size() - 2).trimmed()).toLower();
            if (!name.isEmpty()) {
                // Above a blank line they end the section before; below it they head this one.
                if (current != nullptr) {
                    current->tail += pending.left(beforeBlank);
                    pending.remove(0, beforeBlank);
                }
                current = &ini.section(name);
                current->leading += pending;
                pending.clear();
                beforeBlank = 0;
                continue;
            }
        }
        const bool comment = bare.startsWith(';') || bare.startsWith('#');
        const qsizetype eq = line.indexOf('=');
        if (comment || eq <= 0 || current == nullptr) {
            ini.strayText_ = ini.strayText_ || (!comment && current == nullptr);
            pending += line + eol;
            continue;
        }
        // A line with only blanks before its "=" names no setting: kept as it stands, like any
        // other line that is not understood, rather than written back as "=value".
        const QString key = decode(line.left(eq).trimmed()).toLower();
        if (key.isEmpty()) {
            pending += line + eol;
            continue;
        }
        // Only the blank before the first value character is layout; the value keeps the rest.
        qsizetype start = eq + 1;
        while (start < line.size() && line[start] == ' ') {
            ++start;
        }
        QByteArray value = line.mid(start);
        if (value.endsWith('\r')) { // a CR LF line end among plain ones
            value.chop(1);
        }
        ini.setRaw(*current, key, unquote(value)).leading += pending;
        pending.clear();
        beforeBlank = 0;
    }
    // In a file without a single section the text stands at its head, and stays there when the
    // settings are saved below it: at the end it would fall into the last section written.
    (current != nullptr ? ini.trailer_ : ini.header_) = pending;
    return ini;
}

IniFile::Section& IniFile::section(const QString& folded) {
    const auto found = index_.constFind(folded);
    if (found != index_.cend()) {
        return sections_[*found];
    }
    index_.insert(folded, sections_.size());
    sections_.push_back({folded, {}, {}, {}, {}});
    return sections_.back();
}

IniFile::Entry& IniFile::setRaw(Section& s, const QString& foldedKey, QByteArray raw) {
    const auto found = s.index.constFind(foldedKey);
    if (found != s.index.cend()) {
        s.entries[*found].raw = std::move(raw);
        return s.entries[*found];
    }
    s.index.insert(foldedKey, s.entries.size());
    s.entries.push_back({foldedKey, std::move(raw), {}});
    return s.entries.back();
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
    const QByteArray eol = lineEnd();
    QByteArray out = header_;
    for (const Section& s : sections_) {
        if (&s != &sections_.front()) {
            out += eol;
        }
        out += s.leading + '[' + s.name.toUtf8() + ']' + eol;
        for (const Entry& e : s.entries) {
            out += e.leading + e.key.toUtf8() + '=' + (needsQuotes(e.raw) ? quote(e.raw) : e.raw) + eol;
        }
        out += s.tail;
    }
    out += trailer_;
    // A line not understood that happens to start with a byte-order mark must not, once it heads
    // the file, make the next read take the file for another encoding: a blank line goes first.
    if (encoding_ == Encoding::Utf8 &&
        (out.startsWith("\xEF\xBB\xBF") || out.startsWith("\xFF\xFE") || out.startsWith("\xFE\xFF"))) {
        out.prepend(eol);
    }
    switch (encoding_) {
    case Encoding::Utf8: return out;
    case Encoding::Utf8WithMark: return "\xEF\xBB\xBF" + out;
    case Encoding::Utf16LE:
    case Encoding::Utf16BE: break;
    }
    QStringEncoder utf16(encoding_ == Encoding::Utf16LE ? QStringEncoder::Utf16LE : QStringEncoder::Utf16BE,
                         QStringEncoder::Flag::WriteBom);
    return utf16.encode(QString::fromUtf8(out));
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
