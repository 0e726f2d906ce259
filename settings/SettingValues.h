#pragma once

// The text forms of stored values: whole numbers and colours as decimal text, Booleans as
// "True"/"False", the window position as a decimal number. Reading is lenient the way the
// stored forms were always read (a Boolean may also be a number; surrounding blanks are fine);
// anything else is not a value of the type and yields nothing, so the caller keeps the default.

#include "settings/Settings.h"

#include <QString>

#include <optional>

namespace oculet {

// A whole number in [min, max]. A fractional number is rounded to the nearest whole number,
// halves to the even one.
std::optional<int> parseInteger(const QString& text, int min, int max);
std::optional<bool> parseBoolean(const QString& text);
std::optional<Colour> parseColour(const QString& text);
std::optional<double> parseSingle(const QString& text);

QString formatBoolean(bool value);
QString formatColour(Colour value);
QString formatSingle(double value);

} // namespace oculet
