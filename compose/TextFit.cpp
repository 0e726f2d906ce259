#include "compose/TextFit.h"

#include "settings/Units.h"
#include "compose/OverlayFont.h"

#include <QFontMetricsF>

#include <cmath>
#include <vector>

namespace oculet {
namespace {

constexpr double kMargin = 8;
constexpr int kSmallestEstimateSize = 6;
constexpr int kLargestSize = 72;

// How a line of the wrapped text ended.
enum LineEnd : int { EndNone = 0, EndSpace = 1, EndHyphen = 2, EndHard = 3 };

struct Line {
    QString text;
    int end = EndNone;
};

// A measurement the surface could not make; ends the fit with a failure.
struct MeasureFailed {};

double checked(double value) {
    if (!std::isfinite(value) || value < 0) {
        throw MeasureFailed{};
    }
    return value;
}

double widthOf(const TextSurface& s, const QString& text) { return checked(s.textWidth(text)); }
double heightOf(const TextSurface& s, const QString& text) { return checked(s.textHeight(text)); }

// Lines are trimmed of blanks only; other white space belongs to the text.
QString trimSpaces(const QString& text) {
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text[first] == u' ') {
        ++first;
    }
    while (last > first && text[last - 1] == u' ') {
        --last;
    }
    return text.mid(first, last - first);
}

int countHardBreaks(const QString& text) {
    int count = 0;
    for (qsizetype at = text.indexOf(QStringLiteral("\r\n")); at >= 0;
         at = text.indexOf(QStringLiteral("\r\n"), at + 1)) {
        ++count;
    }
    return count;
}

// Word-wraps at the surface's current size. Lines break after spaces and after hyphens that
// still fit; a word wider than the box is cut at the first character that does not fit.
std::vector<Line> wrap(const TextSurface& s, const QString& text, double usableWidth) {
    enum class Outcome { Add, Space, Hyphen, Break, Overflow };
    std::vector<Line> lines(1);
    QString word;
    const qsizetype n = text.size();
    qsizetype p = 0;
    while (p < n) {
        const QChar c = text[p];
        Line& line = lines.back();
        Outcome outcome = Outcome::Add;
        if (c == u' ') {
            outcome = Outcome::Space;
        } else if (c == u'-') {
            outcome = widthOf(s, line.text + word + c) < usableWidth ? Outcome::Hyphen : Outcome::Overflow;
        } else if (c == u'\r' || c == u'\n') {
            outcome = Outcome::Break;
            if (c == u'\r' && p + 1 < n && text[p + 1] == u'\n') {
                ++p;
            }
        } else if (widthOf(s, line.text + word + c) < usableWidth) {
            word += c;
        } else {
            outcome = Outcome::Overflow;
        }
        ++p;

        switch (outcome) {
        case Outcome::Add:
            if (p >= n) {
                line.text += word;
                line.end = EndHard;
                word.clear();
            }
            break;
        case Outcome::Space:
        case Outcome::Hyphen:
            line.text += word + c;
            line.end = outcome == Outcome::Space ? EndSpace : EndHyphen;
            word.clear();
            break;
        case Outcome::Break:
            line.text += word;
            line.end = EndHard;
            word.clear();
            lines.emplace_back();
            break;
        case Outcome::Overflow:
            if (line.end == EndSpace || line.end == EndHyphen) {
                line.text = trimSpaces(line.text);
                word += c;
            } else {
                line.text = word;
                word = c;
            }
            lines.emplace_back();
            break;
        }
    }
    // A word carried over by the very last character would otherwise be dropped with the end
    // of the loop: it becomes the last line.
    if (!word.isEmpty()) {
        lines.back().text = word;
        lines.back().end = EndHard;
    }
    return lines;
}

void printJustified(TextSurface& s, const QString& line, double usableWidth) {
    const qsizetype spaces = line.count(u' ');
    const double freeWidth = usableWidth - widthOf(s, line);
    const double spaceWidth = widthOf(s, QStringLiteral(" "));
    double charGap = 0;
    double spaceGap = 0;
    if (spaces == 0 || roundHalfEven(freeWidth) / static_cast<int>(spaces) > 3 * spaceWidth) {
        // Few or no spaces to stretch: spread the free width over every character, spaces
        // taking three shares.
        const double shares = static_cast<double>(line.size() - 1 + 2 * spaces);
        if (shares <= 0) {
            s.print(line); // one character: nothing to spread between
            return;
        }
        charGap = freeWidth / shares;
        spaceGap = 3 * charGap;
    } else {
        spaceGap = freeWidth / static_cast<double>(spaces);
    }
    double x = s.position().x();
    for (const QChar c : line) {
        const double next = x + widthOf(s, QString(c));
        const double y = s.position().y();
        s.print(QString(c));
        x = next + (c == u' ' ? spaceGap : charGap);
        s.setPosition(QPointF(x, y));
    }
    s.print(QString());
}

void drawPass(TextSurface& s, const std::vector<Line>& lines, int alignment, int top, double usableWidth,
              double dx, double dy) {
    const double left = kMargin / 2;
    s.setPosition(QPointF(s.position().x(), top + dy));
    bool first = true;
    for (const Line& entry : lines) {
        s.setPosition(QPointF(left + dx, s.position().y()));
        const QString line = trimSpaces(entry.text);
        switch (alignment) {
        case AlignLeft:
            s.print(line);
            break;
        case AlignCentred: {
            double y = s.position().y();
            if (first) {
                y += 13;
            }
            s.setPosition(QPointF((usableWidth - widthOf(s, line)) / 2 + left + dx, y));
            s.print(line);
            break;
        }
        case AlignRight:
            s.setPosition(QPointF(usableWidth - widthOf(s, line) + left + dx, s.position().y()));
            s.print(line);
            break;
        case AlignJustified:
            if (entry.end == EndHard) {
                s.print(line); // the last line of a paragraph keeps its natural spacing
            } else {
                printJustified(s, line, usableWidth);
            }
            break;
        default:
            break;
        }
        first = false;
    }
}

} // namespace

bool fitText(TextSurface& surface, const QString& text, int alignment, int top, int& shadowPosition,
             const QColor& shadowColour) {
    const int shadow = shadowPosition >= 0 && shadowPosition <= 8 ? shadowPosition : kNoShadow;
    shadowPosition = kNoShadow;
    const double usableWidth = surface.innerWidth() - kMargin;
    const double usableHeight = surface.innerHeight() - kMargin;
    if (!(usableWidth > 0) || !(usableHeight > 0)) {
        return false;
    }
    try {
        // The estimate treats the text as one long line cut into box widths, plus its hard
        // breaks; it only has to find where to start the exact fit.
        const int breaks = countHardBreaks(text);
        int candidate = 0;
        for (int size = kSmallestEstimateSize; size <= kLargestSize; ++size) {
            surface.setFontSize(size);
            const double estimate =
                (widthOf(surface, text) / usableWidth + breaks) * heightOf(surface, QStringLiteral(" "));
            if (estimate >= usableHeight) {
                break;
            }
            candidate = size;
        }
        if (candidate == 0) {
            return false;
        }

        std::vector<Line> lines;
        for (int size = candidate;; --size) {
            if (size < 1) {
                return false;
            }
            surface.setFontSize(size);
            lines = wrap(surface, text, usableWidth);
            if (static_cast<double>(lines.size()) * heightOf(surface, QStringLiteral("X")) <= usableHeight) {
                break;
            }
        }

        const int step = surface.fontSize() / 15 + 1;
        const double dx = (shadow % 3 - 1) * step;
        const double dy = (shadow / 3 - 1) * step;
        const QColor textColour = surface.drawingColour();
        if (shadow != kNoShadow) {
            surface.setDrawingColour(shadowColour);
        }
        drawPass(surface, lines, alignment, top, usableWidth, dx, dy);
        // The text itself goes over the shadow only when the shadow looked different; a shadow
        // in the text's own colour is simply the text drawn at the offset.
        if (surface.drawingColour() != textColour) {
            surface.setDrawingColour(textColour);
            drawPass(surface, lines, alignment, top, usableWidth, 0, 0);
        }
        return true;
    } catch (const MeasureFailed&) {
        return false;
    }
}

PainterTextSurface::PainterTextSurface(QImage& image, const QFont& font, const QColor& colour)
    : painter_(&image), font_(font), metrics_(font), width_(image.width()), height_(image.height()), colour_(colour) {
    painter_.setRenderHint(QPainter::TextAntialiasing);
    points_ = qRound(font.pixelSize() > 0 ? font.pixelSize() * 72.0 / 96.0 : font.pointSizeF());
    applyFont();
}

void PainterTextSurface::setFontSize(int points) {
    points_ = points;
    font_.setPixelSize(pixelSizeForPoints(points));
    applyFont();
}

void PainterTextSurface::applyFont() {
    painter_.setFont(font_);
    metrics_ = QFontMetricsF(font_);
}

double PainterTextSurface::textWidth(const QString& text) const { return metrics_.horizontalAdvance(text); }

double PainterTextSurface::textHeight(const QString&) const { return metrics_.height(); }

void PainterTextSurface::print(const QString& text) {
    if (!text.isEmpty()) {
        painter_.setPen(colour_);
        painter_.drawText(QPointF(position_.x(), position_.y() + metrics_.ascent()), text);
    }
    position_ = QPointF(0, position_.y() + metrics_.height());
}

} // namespace oculet
