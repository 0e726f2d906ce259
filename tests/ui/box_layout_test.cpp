// Moving and sizing the overlay boxes: each family's rules as one table, then the handles on a
// real widget tree (erase, outline, preview, clock on top).
#include "tests/support/FakeDesktop.h"
#include "ui/BoxHandles.h"
#include "ui/BoxLayoutEditor.h"

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <gtest/gtest.h>

#include <map>

namespace oculet::test {
namespace {

constexpr int kUnset = -999; // a stored value no step may write unless the rules say so

struct Drag {
    const char* what;
    BoxId box;
    QRect start;
    int buttons;    // held during the press and the move
    QPointF press;  // pointer at the press, relative to the box
    QPointF moveTo; // pointer at the move, relative to the box as it lies
    QRect expected;
    std::array<int, 4> stored; // left, top, width, height for the current program; kUnset: untouched
};

PerProgram<int>* storedField(Settings& s, BoxId box, int part) {
    using P = PerProgram<int> Settings::*;
    static const std::map<BoxId, std::array<P, 4>> fields = {
        {BoxId::Clock, {&Settings::clockLeft, &Settings::clockTop, nullptr, nullptr}},
        {BoxId::FixedText, {&Settings::fTxtLeft, &Settings::fTxtTop, nullptr, nullptr}},
        {BoxId::ScrollText, {nullptr, &Settings::txtTop, nullptr, nullptr}},
        {BoxId::LastRx, {&Settings::lastRxLeft, nullptr, &Settings::lastRxWidth, nullptr}},
        {BoxId::SM, {&Settings::lblSMLeft, &Settings::lblSMTop, &Settings::lblSMWidth, &Settings::lblSMHeight}},
        {BoxId::Aux1, {&Settings::lblAux1Left, &Settings::lblAux1Top, &Settings::lblAux1Width, &Settings::lblAux1Height}},
        {BoxId::Aux2, {&Settings::lblAux2Left, &Settings::lblAux2Top, &Settings::lblAux2Width, &Settings::lblAux2Height}},
    };
    const P member = fields.at(box)[part];
    return member == nullptr ? nullptr : &(s.*member);
}

const std::array<int, 4> kNothing = {kUnset, kUnset, kUnset, kUnset};

TEST(BoxLayout, EachFamilyMovesSizesClampsAndStoresByItsRules) {
    const Drag drags[] = {
        {"clock goes anywhere", BoxId::Clock, {220, 5, 50, 30}, 1, {10, 10}, {-280, 400}, {-70, 395, 50, 30},
         {-70, 395, kUnset, kUnset}},
        {"halves go to even", BoxId::Clock, {220, 5, 50, 30}, 1, {0, 0}, {0.5, 2.5}, {220, 8, 50, 30},
         {220, 8, kUnset, kUnset}},
        {"right drag on text", BoxId::Clock, {220, 5, 50, 30}, 2, {10, 10}, {90, 90}, {220, 5, 50, 30}, kNothing},
        {"both buttons on text", BoxId::FixedText, {10, 50, 60, 20}, 3, {5, 5}, {90, 90}, {10, 50, 60, 20}, kNothing},
        {"fixed text stops at 300, 220", BoxId::FixedText, {10, 50, 60, 20}, 1, {5, 5}, {500, 500},
         {300, 220, 60, 20}, {300, 220, kUnset, kUnset}},
        {"fixed text stops at 0, 0", BoxId::FixedText, {10, 50, 60, 20}, 1, {5, 5}, {-100, -100}, {0, 0, 60, 20},
         {0, 0, kUnset, kUnset}},
        {"scrolling text only up, to -10", BoxId::ScrollText, {0, 100, 320, 20}, 1, {100, 5}, {150, -300},
         {0, -10, 320, 20}, {kUnset, -10, kUnset, kUnset}},
        {"scrolling text down to 200", BoxId::ScrollText, {0, 100, 320, 20}, 1, {100, 5}, {40, 300},
         {0, 200, 320, 20}, {kUnset, 200, kUnset, kUnset}},
        {"right drag on scrolling text", BoxId::ScrollText, {0, 100, 320, 20}, 2, {100, 5}, {40, 300},
         {0, 100, 320, 20}, kNothing},
        {"s-meter kept above the bottom", BoxId::SM, {0, 75, 125, 50}, 1, {5, 5}, {400, 400}, {300, 190, 125, 50},
         {300, 190, 125, 50}},
        {"s-meter kept inside the top left", BoxId::SM, {40, 75, 125, 50}, 1, {5, 5}, {-100, -100}, {0, 0, 125, 50},
         {0, 0, 125, 50}},
        {"s-meter sized", BoxId::SM, {0, 75, 125, 50}, 2, {10, 10}, {80, 40}, {0, 75, 80, 40}, {0, 75, 80, 40}},
        {"s-meter at least 20 x 15", BoxId::SM, {0, 75, 125, 50}, 2, {10, 10}, {5, 3}, {0, 75, 20, 15},
         {0, 75, 20, 15}},
        {"pointer left of the corner", BoxId::SM, {0, 75, 125, 50}, 2, {10, 10}, {0, 40}, {0, 75, 125, 50},
         {0, 75, 125, 50}},
        {"pointer above the corner", BoxId::Aux1, {100, 75, 50, 50}, 2, {10, 10}, {40, -1}, {100, 75, 50, 50},
         {100, 75, 50, 50}},
        {"both buttons on aux2 store it", BoxId::Aux2, {100, 100, 50, 50}, 3, {10, 10}, {90, 90},
         {100, 100, 50, 50}, {100, 100, 50, 50}},
        {"aux1 moved", BoxId::Aux1, {100, 75, 50, 50}, 1, {10, 10}, {30, 20}, {120, 85, 50, 50}, {120, 85, 50, 50}},
        {"last picture: left only", BoxId::LastRx, {200, 150, 120, 90}, 1, {5, 5}, {500, -200},
         {300, -55, 120, 90}, {300, kUnset, 120, kUnset}},
        {"last picture sized, stored at release", BoxId::LastRx, {200, 150, 120, 90}, 2, {5, 5}, {10, 10},
         {200, 150, 30, 30}, kNothing},
    };
    for (const Drag& d : drags) {
        SCOPED_TRACE(d.what);
        Settings settings;
        settings.program = MMSSTV;
        for (int part = 0; part < 4; ++part) {
            if (PerProgram<int>* field = storedField(settings, d.box, part)) {
                field->fill(kUnset);
            }
        }
        OverlayBoxes boxes;
        boxes[d.box].rect = d.start;
        EditState edit;
        BoxLayoutEditor editor(settings, boxes, edit);
        editor.press(d.box, d.buttons, d.press);
        editor.move(d.box, d.buttons, d.moveTo);
        EXPECT_EQ(boxes[d.box].rect, d.expected);
        for (int part = 0; part < 4; ++part) {
            if (PerProgram<int>* field = storedField(settings, d.box, part)) {
                EXPECT_EQ((*field)[MMSSTV], d.stored[part]) << "part " << part;
                EXPECT_EQ((*field)[EasyPal], kUnset) << "another program's value changed";
            }
        }
    }
}

TEST(BoxLayout, PressAndReleaseMarkTheEditAndTheHeldImageBox) {
    Settings settings;
    OverlayBoxes boxes;
    boxes[BoxId::LastRx].rect = QRect(200, 150, 120, 90);
    EditState edit;
    BoxLayoutEditor editor(settings, boxes, edit);
    for (BoxId box : kAllBoxes) {
        editor.press(box, kLeftButton, {1, 1});
        EXPECT_TRUE(edit.layoutEditing);
        EXPECT_EQ(edit.draggedBox.has_value(), BoxLayoutEditor::isImageBox(box));
        EXPECT_TRUE(!edit.draggedBox || *edit.draggedBox == box);
        editor.release(box);
        EXPECT_FALSE(edit.layoutEditing);
        EXPECT_FALSE(edit.draggedBox.has_value());
    }
    // A last picture sized below 30 x 30 grows back at the release, which stores its width.
    editor.press(BoxId::LastRx, kRightButton, {5, 5});
    editor.move(BoxId::LastRx, kRightButton, {5, 5});
    EXPECT_EQ(boxes[BoxId::LastRx].rect, QRect(200, 150, 30, 30));
    settings.lastRxWidth.fill(kUnset);
    editor.release(BoxId::LastRx);
    EXPECT_EQ(settings.current(settings.lastRxWidth), 30);
    EXPECT_EQ(settings.current(settings.lastRxLeft), 200);
}

struct HandleScene {
    Settings settings;
    OverlayBoxes boxes;
    EditState edit;
    FakeDesktop desktop;
    BoxLayoutEditor editor{settings, boxes, edit};
    BoxPreviewPainter painter{settings, desktop, [] { return QImage(); }};
    QWidget frame;
    std::array<QWidget*, kBoxCount> labels{};
    std::vector<QRect> erased;
    std::unique_ptr<BoxHandles> handles;

    HandleScene() {
        frame.resize(320, 240);
        for (BoxId id : kAllBoxes) {
            labels[static_cast<std::size_t>(id)] = new QLabel(&frame);
        }
        InterfaceTexts texts;
        handles = std::make_unique<BoxHandles>(editor, painter,
                                               BoxHandleParts{labels, &frame, [this](const QRect& r) { erased.push_back(r); }},
                                               texts);
    }
    QWidget* label(BoxId id) const { return labels[static_cast<std::size_t>(id)]; }
    void mouse(BoxId id, QEvent::Type type, QPointF at, Qt::MouseButton button, Qt::MouseButtons held) {
        QMouseEvent event(type, at, label(id)->mapToGlobal(at), button, held, Qt::NoModifier);
        QApplication::sendEvent(label(id), &event);
    }
};

TEST(BoxHandles, AnImageBoxIsErasedPreviewedOutlinedAndTheClockEndsOnTop) {
    HandleScene scene;
    // The signal meter's source on the screen is green; its box lies over the clock.
    scene.settings.smLeft.fill(500);
    scene.settings.smTop.fill(400);
    scene.desktop.fill(QRect(500, 400, 200, 150), Qt::green);
    scene.boxes[BoxId::SM].rect = QRect(40, 60, 100, 50);
    scene.label(BoxId::SM)->setGeometry(40, 60, 100, 50);
    scene.label(BoxId::Clock)->setGeometry(50, 70, 50, 30);
    EXPECT_EQ(scene.label(BoxId::Aux2)->toolTip(), InterfaceTexts()[Text::Aux2Tip]);

    scene.mouse(BoxId::SM, QEvent::MouseButtonPress, {10, 10}, Qt::LeftButton, Qt::LeftButton);
    EXPECT_EQ(scene.erased, std::vector<QRect>{QRect(40, 60, 100, 50)});
    EXPECT_TRUE(scene.handles->preview()->isVisibleTo(&scene.frame));
    EXPECT_EQ(scene.handles->outline()->geometry(), QRect(40, 60, 100, 50));
    scene.mouse(BoxId::SM, QEvent::MouseMove, {30, 15}, Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(scene.label(BoxId::SM)->geometry(), QRect(60, 65, 100, 50));
    EXPECT_EQ(scene.handles->outline()->geometry(), QRect(58, 63, 104, 54));
    EXPECT_EQ(scene.handles->preview()->geometry(), QRect(60, 65, 100, 50));
    const QImage shown = scene.handles->preview()->picture();
    ASSERT_EQ(shown.size(), QSize(100, 50));
    EXPECT_EQ(QColor(shown.pixel(50, 25)), QColor(Qt::green));

    scene.mouse(BoxId::SM, QEvent::MouseButtonRelease, {30, 15}, Qt::LeftButton, Qt::NoButton);
    EXPECT_FALSE(scene.handles->outline()->isVisibleTo(&scene.frame));
    const QObjectList order = scene.frame.children();
    EXPECT_GT(order.indexOf(scene.label(BoxId::Clock)), order.indexOf(scene.label(BoxId::SM)))
        << "the clock handle is not on top after the release";
}

} // namespace
} // namespace oculet::test
