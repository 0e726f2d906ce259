// A stand-in for a radio program: a top-level window with a known title, place and picture that
// tests can move, retitle and recolour through commands on standard input.
//
//   test_window --title T --geometry WxH+X+Y [--colour #rrggbb | --picture FILE | --quadrants]
//               [--decorated]
//
// Standard input, one command a line: "move X Y", "title T", "colour #rrggbb", "raise", "quit".
// Each command is acknowledged with "ok <command>" (or "error <why>") on standard output.
// "ready <window id>" is printed once the window has been shown and painted; a mouse press
// prints "click X Y", a key press "key <code>".
#include <QApplication>
#include <QCommandLineParser>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QRegularExpression>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <functional>
#include <unistd.h>
#include <utility>

namespace {

void say(const QString& line) {
    std::fputs(line.toUtf8().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

class Canvas : public QWidget {
  public:
    enum class Fill { Colour, Picture, Quadrants };

    explicit Canvas(Qt::WindowFlags flags) : QWidget(nullptr, flags) {
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

    void setColour(const QColor& colour) {
        m_fill = Fill::Colour;
        m_colour = colour;
        update();
    }
    void setPicture(const QImage& picture) {
        m_fill = Fill::Picture;
        m_picture = picture;
        update();
    }
    void setQuadrants() {
        m_fill = Fill::Quadrants;
        update();
    }

    std::function<void()> onFirstPaint;

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        const QRect all = rect();
        switch (m_fill) {
        case Fill::Colour:
            painter.fillRect(all, m_colour);
            break;
        case Fill::Picture:
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            painter.drawImage(all, m_picture);
            break;
        case Fill::Quadrants: {
            const int w = all.width() / 2;
            const int h = all.height() / 2;
            painter.fillRect(0, 0, w, h, QColor(255, 0, 0));
            painter.fillRect(w, 0, all.width() - w, h, QColor(0, 255, 0));
            painter.fillRect(0, h, w, all.height() - h, QColor(0, 0, 255));
            painter.fillRect(w, h, all.width() - w, all.height() - h, QColor(255, 255, 0));
            break;
        }
        }
        if (onFirstPaint) {
            // Reported once control is back in the event loop, after Qt has flushed this paint.
            QTimer::singleShot(0, std::exchange(onFirstPaint, nullptr));
        }
    }
    void mousePressEvent(QMouseEvent* event) override {
        const QPoint at = event->position().toPoint();
        say(QStringLiteral("click %1 %2").arg(at.x()).arg(at.y()));
    }
    void keyPressEvent(QKeyEvent* event) override {
        say(QStringLiteral("key %1").arg(event->key()));
    }

  private:
    Fill m_fill = Fill::Colour;
    QColor m_colour = Qt::gray;
    QImage m_picture;
};

// Reads commands from standard input without blocking the window.
class CommandReader : public QObject {
  public:
    CommandReader(Canvas* canvas)
        : m_canvas(canvas), m_notifier(STDIN_FILENO, QSocketNotifier::Read) {
        connect(&m_notifier, &QSocketNotifier::activated, this, [this] { readSome(); });
    }

  private:
    void readSome() {
        char buffer[1024];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) {
            // The test has gone or closed our input: nobody can stop us any more.
            m_notifier.setEnabled(false);
            QCoreApplication::exit(0);
            return;
        }
        m_pending.append(buffer, n);
        for (qsizetype end = m_pending.indexOf('\n'); end >= 0; end = m_pending.indexOf('\n')) {
            const QString line = QString::fromUtf8(m_pending.left(end)).trimmed();
            m_pending.remove(0, end + 1);
            if (!line.isEmpty()) {
                run(line);
            }
        }
    }

    void run(const QString& line) {
        const QString verb = line.section(QLatin1Char(' '), 0, 0);
        const QString rest = line.section(QLatin1Char(' '), 1);
        if (verb == QLatin1String("move")) {
            static const QRegularExpression numbers(QStringLiteral("^(-?\\d+)\\s+(-?\\d+)$"));
            const auto m = numbers.match(rest);
            if (!m.hasMatch()) {
                say(QStringLiteral("error move needs X Y"));
                return;
            }
            m_canvas->move(m.captured(1).toInt(), m.captured(2).toInt());
        } else if (verb == QLatin1String("title")) {
            m_canvas->setWindowTitle(rest);
        } else if (verb == QLatin1String("colour")) {
            const QColor colour = QColor::fromString(rest);
            if (!colour.isValid()) {
                say(QStringLiteral("error bad colour %1").arg(rest));
                return;
            }
            m_canvas->setColour(colour);
        } else if (verb == QLatin1String("raise")) {
            m_canvas->raise();
            m_canvas->activateWindow();
        } else if (verb == QLatin1String("quit")) {
            say(QStringLiteral("ok quit"));
            QCoreApplication::exit(0);
            return;
        } else {
            say(QStringLiteral("error unknown command %1").arg(verb));
            return;
        }
        say(QStringLiteral("ok %1").arg(verb));
    }

    Canvas* m_canvas;
    QSocketNotifier m_notifier;
    QByteArray m_pending;
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption title(QStringLiteral("title"), QStringLiteral("Window title."),
                                   QStringLiteral("T"), QStringLiteral("Test window"));
    const QCommandLineOption geometry(QStringLiteral("geometry"),
                                      QStringLiteral("WxH+X+Y of the client area."),
                                      QStringLiteral("WxH+X+Y"), QStringLiteral("200x150+100+100"));
    const QCommandLineOption colour(QStringLiteral("colour"), QStringLiteral("Fill colour."),
                                    QStringLiteral("#rrggbb"));
    const QCommandLineOption picture(QStringLiteral("picture"),
                                     QStringLiteral("Picture scaled to fill."),
                                     QStringLiteral("FILE"));
    const QCommandLineOption quadrants(QStringLiteral("quadrants"),
                                       QStringLiteral("Red, green, blue, yellow."));
    const QCommandLineOption decorated(QStringLiteral("decorated"),
                                       QStringLiteral("Let the window manager frame it."));
    parser.addOptions({title, geometry, colour, picture, quadrants, decorated});
    parser.process(app);

    static const QRegularExpression geometryPattern(
        QStringLiteral("^(\\d+)x(\\d+)([+-]\\d+)([+-]\\d+)$"));
    const auto g = geometryPattern.match(parser.value(geometry));
    if (!g.hasMatch()) {
        std::fprintf(stderr, "test_window: --geometry must be WxH+X+Y\n");
        return 2;
    }
    const QRect place(g.captured(3).toInt(), g.captured(4).toInt(), g.captured(1).toInt(),
                      g.captured(2).toInt());

    Qt::WindowFlags flags = Qt::Window;
    if (!parser.isSet(decorated)) {
        flags |= Qt::FramelessWindowHint;
    }
    Canvas canvas(flags);
    canvas.setWindowTitle(parser.value(title));
    if (parser.isSet(picture)) {
        QImage image(parser.value(picture));
        if (image.isNull()) {
            std::fprintf(stderr, "test_window: cannot read %s\n",
                         qPrintable(parser.value(picture)));
            return 2;
        }
        canvas.setPicture(image);
    } else if (parser.isSet(quadrants)) {
        canvas.setQuadrants();
    } else {
        const QColor fill = QColor::fromString(
            parser.value(colour).isEmpty() ? QStringLiteral("#808080") : parser.value(colour));
        if (!fill.isValid()) {
            std::fprintf(stderr, "test_window: bad colour %s\n", qPrintable(parser.value(colour)));
            return 2;
        }
        canvas.setColour(fill);
    }
    canvas.setGeometry(place);
    CommandReader reader(&canvas);

    canvas.onFirstPaint = [&] { say(QStringLiteral("ready %1").arg(canvas.winId())); };
    canvas.show();
    return app.exec();
}
