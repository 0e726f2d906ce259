#include "settings/SettingValues.h"

#include <QLocale>

#include <cmath>
#include <limits>

namespace oculet {
namespace {

std::optional<double> parseNumber(const QString& text) {
    const QString t = text.trimmed();
    if (t.isEmpty()) {
        return std::nullopt;
    }
    // Plain decimal notation only: no hexadecimal, no exponent, no "inf"/"nan".
    for (const QChar c : t) {
        if (!(c.isDigit() || c == u'.' || c == u'-' || c == u'+')) {
            return std::nullopt;
        }
    }
    bool ok = false;
    const double value = t.toDouble(&ok);
    if (!ok || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

} // namespace

std::optional<int> parseInteger(const QString& text, int min, int max) {
    const std::optional<double> number = parseNumber(text);
    if (!number || *number < static_cast<double>(min) - 0.5 || *number > static_cast<double>(max) + 0.5) {
        return std::nullopt;
    }
    const double rounded = std::nearbyint(*number);
    if (rounded < min || rounded > max) {
        return std::nullopt;
    }
    return static_cast<int>(rounded);
}

std::optional<bool> parseBoolean(const QString& text) {
    const QString t = text.trimmed();
    if (t.compare(QStringLiteral("True"), Qt::CaseInsensitive) == 0) {
        return true;
    }
    if (t.compare(QStringLiteral("False"), Qt::CaseInsensitive) == 0) {
        return false;
    }
    const std::optional<double> number = parseNumber(t);
    if (!number) {
        return std::nullopt;
    }
    return *number != 0.0;
}

std::optional<Colour> parseColour(const QString& text) {
    const std::optional<double> number = parseNumber(text);
    if (!number || *number != std::floor(*number)) {
        return std::nullopt;
    }
    // Stored as a signed 32-bit value by some writers, unsigned by others: both mean the same bits.
    if (*number < std::numeric_limits<std::int32_t>::min() || *number > std::numeric_limits<std::uint32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<Colour>(static_cast<std::int64_t>(*number));
}

std::optional<double> parseSingle(const QString& text) {
    const std::optional<double> number = parseNumber(text);
    if (!number || std::fabs(*number) > std::numeric_limits<float>::max()) {
        return std::nullopt;
    }
    return static_cast<double>(static_cast<float>(*number));
}

QString formatBoolean(bool value) { return value ? QStringLiteral("True") : QStringLiteral("False"); }

QString formatColour(Colour value) { return QString::number(value); }

QString formatSingle(double value) {
    const auto single = static_cast<float>(value);
    const QString text = QString::number(single, 'g', 9);
    // Nine digits take the exponent form from 1e9 up and below 1e-4, which is not read back: such a
    // value is written in plain digits, as many as it takes.
    return text.contains(u'e') ? QString::number(single, 'f', QLocale::FloatingPointShortest) : text;
}

} // namespace oculet
