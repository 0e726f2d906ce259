// Moving and sizing the overlay boxes: each family's rules as one table, then the handles on a
// real widget tree (erase, outline, preview, clock on top).
#include "tests/support/FakeDesktop.h"
#include "ui/BoxHandles.h"
#include "ui/BoxLayoutEditor.h"

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <gtest/gtest.h>

namespace oculet::test {
namespace {

constexpr int kUnset = -999; // a stored value no step may write unless the rules say so

// The values each box stores for program p: left, top, width, height (none where the box has no
// such value).
std::array<int*, 4> storedFields(Settings& s, BoxId box, int p) {
    auto copied = [&](int region) {
        StoredRect& r = s.copiedRegions[region][p].place;
        return std::array<int*, 4>{&r.left, &r.top, &r.width, &r.height};
    };
    switch (box) {
    case BoxId::Clock: return {&s.clockLeft[p], &s.clockTop[p], nullptr, nullptr};
    case BoxId::FixedText: return {&s.fTxtLeft[p], &s.fTxtTop[p], nullptr, nullptr};
    case BoxId::ScrollText: return {nullptr, &s.txtTop[p], nullptr, nullptr};
    case BoxId::LastRx: return {&s.lastRxLeft[p], nullptr, &s.lastRxWidth[p], nullptr};
    case BoxId::SM: return copied(SignalMeterBox);
    case BoxId::Aux1: return copied(Aux1Box);
    default: return copied(Aux2Box);
    }
}

TEST(BoxLayout, EachFamilyMovesSizesClampsAndStoresByItsRules) {
    // Box, its place, buttons held at the press and the move, pointer at the press and at the
    // move (relative to the box), the place after, and whether the values are stored.
    const std::tuple<BoxId, QRect, int, QPointF, QPointF, QRect, bool> drags[] = {
        {BoxId::Clock, {220, 5, 50, 30}, 1, {10, 10}, {-280, 400}, {-70, 395, 50, 30}, true}, // anywhere
        {BoxId::Clock, {220, 5, 50, 30}, 1, {0, 0}, {0.5, 2.5}, {220, 8, 50, 30}, true},      // halves to even
        {BoxId::Clock, {220, 5, 50, 30}, 2, {10, 10}, {90, 90}, {220, 5, 50, 30}, false},
        {BoxId::FixedText, {10, 50, 60, 20}, 3, {5, 5}, {90, 90}, {10, 50, 60, 20}, false},
        {BoxId::FixedText, {10, 50, 60, 20}, 1, {5, 5}, {500, 500}, {300, 220, 60, 20}, true},
        {BoxId::FixedText, {10, 50, 60, 20}, 1, {5, 5}, {-100, -100}, {0, 0, 60, 20}, true},
        {BoxId::ScrollText, {0, 100, 320, 20}, 1, {100, 5}, {150, -300}, {0, -10, 320, 20}, true},
        {BoxId::ScrollText, {0, 100, 320, 20}, 1, {100, 5}, {40, 300}, {0, 200, 320, 20}, true},
        {BoxId::ScrollText, {0, 100, 320, 20}, 2, {100, 5}, {40, 300}, {0, 100, 320, 20}, false},
        {BoxId::SM, {0, 75, 125, 50}, 1, {5, 5}, {400, 400}, {300, 190, 125, 50}, true}, // bottom inside
        {BoxId::SM, {40, 75, 125, 50}, 1, {5, 5}, {-100, -100}, {0, 0, 125, 50}, true},
        {BoxId::SM, {0, 75, 125, 50}, 2, {10, 10}, {80, 40}, {0, 75, 80, 40}, true},
        {BoxId::SM, {0, 75, 125, 50}, 2, {10, 10}, {5, 3}, {0, 75, 20, 15}, true},     // the minimum
        {BoxId::SM, {0, 75, 125, 50}, 2, {10, 10}, {0, 40}, {0, 75, 125, 50}, true},   // left of the corner
        {BoxId::Aux1, {100, 75, 50, 50}, 2, {10, 10}, {40, -1}, {100, 75, 50, 50}, true}, // above it
        {BoxId::Aux2, {100, 100, 50, 50}, 3, {10, 10}, {90, 90}, {100, 100, 50, 50}, true},
        {BoxId::Aux1, {100, 75, 50, 50}, 1, {10, 10}, {-200, 20}, {0, 85, 50, 50}, true},
        {BoxId::LastRx, {200, 150, 120, 90}, 1, {5, 5}, {500, -200}, {300, -55, 120, 90}, true},
        {BoxId::LastRx, {200, 150, 120, 90}, 2, {5, 5}, {10, 10}, {200, 150, 30, 30}, false}, // at release
    };
    for (const auto& [box, start, buttons, press, moveTo, expected, stores] : drags) {
        SCOPED_TRACE(testing::Message() << static_cast<int>(box) << " buttons " << buttons << " to " << moveTo.x());
        Settings settings;
        settings.program = MMSSTV;
        for (int p = 0; p < kProgramCount; ++p) {
            for (int* f : storedFields(settings, box, p)) {
                if (f != nullptr) {
                    *f = kUnset;
                }
            }
        }
        OverlayBoxes boxes;
        boxes[box].rect = start;
        EditState edit;
        BoxLayoutEditor editor(settings, boxes, edit);
        editor.press(box, buttons, press);
        editor.move(box, buttons, moveTo);
        EXPECT_EQ(boxes[box].rect, expected);
        const int values[] = {expected.left(), expected.top(), expected.width(), expected.height()};
        const auto fields = storedFields(settings, box, MMSSTV);
        const auto others = storedFields(settings, box, EasyPal);
        for (int part = 0; part < 4; ++part) {
            if (fields[part] != nullptr) {
                EXPECT_EQ(*fields[part], stores ? values[part] : kUnset) << "part " << part;
                EXPECT_EQ(*others[part], kUnset) << "another program's value changed";
            }
        }
    }
}

TEST(BoxLayout, PressAndReleaseMarkTheEditAndTheHeldImageBox) {
    Settings settings;
    OverlayBoxes boxes;
    EditState edit;
    BoxLayoutEditor editor(settings, boxes, edit);
    for (BoxId box : kAllBoxes) {
        editor.press(box, kLeftButton, {1, 1});
        EXPECT_TRUE(edit.layout.holds(PauseReason::BoxHeld));
        EXPECT_EQ(edit.draggedBox, BoxLayoutEditor::isImageBox(box) ? std::optional(box) : std::nullopt);
        editor.release(box);
        EXPECT_FALSE(edit.layout.paused() || edit.draggedBox);
    }
    // A last picture below 30 x 30 (as a stored width may give) grows back at the release,
    // which stores its width.
    boxes[BoxId::LastRx].rect = QRect(200, 150, 20, 15);
    editor.press(BoxId::LastRx, kRightButton, {5, 5});
    editor.release(BoxId::LastRx);
    EXPECT_EQ(boxes[BoxId::LastRx].rect, QRect(200, 150, 30, 30));
    EXPECT_EQ(settings.current(settings.lastRxWidth), 30);
}

TEST(BoxHandles, AnImageBoxIsErasedPreviewedOutlinedAndTheClockEndsOnTop) {
    Settings settings;
    OverlayBoxes boxes;
    EditState edit;
    FakeDesktop desktop;
    BoxLayoutEditor editor(settings, boxes, edit);
    BoxPreviewPainter painter(settings, desktop, [] { return QImage(); });
    QWidget frame;
    std::array<QWidget*, kBoxCount> labels{};
    for (QWidget*& label : labels) {
        label = new QLabel(&frame);
    }
    auto* panel = new QWidget(&frame); // an option panel open over the frame
    panel->setGeometry(0, 0, 320, 150);
    std::vector<QRect> erased;
    BoxHandles handles(editor, painter, {labels, &frame, [&](const QRect& r) { erased.push_back(r); }}, {});
    QWidget* sm = labels[static_cast<std::size_t>(BoxId::SM)];
    QWidget* clock = labels[static_cast<std::size_t>(BoxId::Clock)];
    auto mouse = [](QWidget* box, QEvent::Type type, QPointF at, Qt::MouseButton button, Qt::MouseButtons held) {
        QMouseEvent event(type, at, box->mapToGlobal(at), button, held, Qt::NoModifier);
        QApplication::sendEvent(box, &event);
    };
    // The signal meter's source on the screen is green; its box lies over the clock.
    for (CopiedRegion& program : settings.copiedRegions[SignalMeterBox]) {
        std::tie(program.source.left, program.source.top) = std::pair(500, 400);
    }
    desktop.fill(QRect(500, 400, 200, 150), Qt::green);
    boxes[BoxId::SM].rect = QRect(40, 60, 100, 50);
    sm->setGeometry(40, 60, 100, 50);
    clock->setGeometry(50, 70, 50, 30);
    EXPECT_EQ(labels[static_cast<std::size_t>(BoxId::Aux2)]->toolTip(), InterfaceTexts()[Text::Aux2Tip]);

    // A text box is pressed like any other, but stays in the frame.
    mouse(clock, QEvent::MouseButtonPress, {1, 1}, Qt::LeftButton, Qt::LeftButton);
    EXPECT_TRUE(edit.layout.paused() && erased.empty());
    mouse(clock, QEvent::MouseButtonRelease, {1, 1}, Qt::LeftButton, Qt::NoButton);
    mouse(sm, QEvent::MouseButtonPress, {10, 10}, Qt::LeftButton, Qt::LeftButton);
    EXPECT_EQ(erased, std::vector<QRect>{QRect(40, 60, 100, 50)});
    EXPECT_TRUE(handles.preview()->isVisibleTo(&frame));
    mouse(sm, QEvent::MouseMove, {30, 15}, Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(sm->geometry(), QRect(60, 65, 100, 50));
    EXPECT_EQ(handles.outline()->geometry(), QRect(58, 63, 104, 54));
    EXPECT_EQ(handles.preview()->geometry(), QRect(60, 65, 100, 50));
    EXPECT_EQ(QColor(handles.preview()->picture().pixel(99, 49)), QColor(Qt::green));

    mouse(sm, QEvent::MouseButtonRelease, {30, 15}, Qt::LeftButton, Qt::NoButton);
    EXPECT_FALSE(handles.outline()->isVisibleTo(&frame) || edit.layout.paused()) << "the box stays in hand";
    EXPECT_GT(frame.children().indexOf(clock), frame.children().indexOf(sm)) << "the clock is not on top";
    EXPECT_GT(frame.children().indexOf(panel), frame.children().indexOf(clock)) << "a handle rose over the panel";
}

} // namespace
} // namespace oculet::test
