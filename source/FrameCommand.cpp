#include "source/FrameCommand.h"

#include <QRegularExpression>
#include <QStringList>

#include <algorithm>

namespace oculet {

QString frameCommandText(const QString& title, const QString& colourLiteral, const QString& closeCaption) {
    return title + colourLiteral + closeCaption;
}

FrameCommand parseFrameCommand(const QString& text) {
    FrameCommand command;
    // Greedy title: the literal taken is the last one, and the caption after it holds no colon.
    static const QRegularExpression shape(QStringLiteral("^(.*) :([^:]*):([^:]*)$"),
                                          QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch parts = shape.match(text);
    if (!parts.hasMatch()) {
        command.title = text;
        return command;
    }
    command.title = parts.captured(1);
    command.closeCaption = parts.captured(3);
    static const QRegularExpression literal(QStringLiteral("^&[Hh]([0-9A-Fa-f]{1,8})&?$"));
    const QRegularExpressionMatch hex = literal.match(parts.captured(2).trimmed());
    if (hex.hasMatch()) {
        command.colour = static_cast<Colour>(hex.captured(1).toUInt(nullptr, 16) & 0xFFFFFF);
    }
    return command;
}

FrameCommand takeFrameCommand(int& argc, char** argv) {
    QStringList pieces;
    for (int i = 1; i < argc; ++i) {
        pieces << QString::fromLocal8Bit(argv[i]);
    }
    argc = std::min(argc, 1);
    return parseFrameCommand(pieces.join(u' '));
}

} // namespace oculet
