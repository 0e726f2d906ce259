// How our windows behave around the user: where they open, which words the publishing state
// uses, what pointing at the picture and Escape do, what the dialogs say they choose.
#include "tests/support/TestEnvironment.h"
#include "tests/support/X11Probe.h"
#include "tests/ui/PanelFixture.h"
#include "ui/FtpPanel.h"
#include "ui/HelpWindow.h"
#include "ui/LastRxPanel.h"
#include "ui/MenuBar.h"
#include "ui/ScreenPlacement.h"
#include "ui/StatusMark.h"
#include "ui/TextPanel.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

#include <gtest/gtest.h>

namespace oculet {
namespace {

TEST(ScreenPlacement, AWindowIsMovedTheLeastThatPutsItWhollyOnTheScreen) {
    const QRect screen(1920, 0, 1280, 1024); // the right one of two screens
    const struct {
        QRect wanted, placed;
    } rows[] = {
        {{2000, 100, 600, 400}, {2000, 100, 600, 400}}, // on it already
        {{1786, 0, 673, 472}, {1920, 0, 673, 472}},     // beside a window at the screen's left
        {{3000, 900, 400, 300}, {2800, 724, 400, 300}}, // past the right and the bottom
        {{2000, -50, 400, 300}, {2000, 0, 400, 300}},   // above it
        {{2000, 100, 1500, 1100}, {1920, 0, 1280, 1024}}, // larger than the screen
    };
    for (const auto& row : rows) {
        EXPECT_EQ(placeOnScreen(row.wanted, screen), row.placed) << row.wanted.x() << "," << row.wanted.y();
    }
    EXPECT_EQ(placeOnScreen(QRect(-5, -5, 10, 10), QRect()), QRect(-5, -5, 10, 10)) << "no screen known";

    // The help window beside a main window at the screen's left edge.
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    QWidget main;
    main.setFixedSize(320, 262);
    main.move(area.topLeft());
    HelpWindow help;
    help.placeOver(main);
    EXPECT_EQ(help.pos(), area.topLeft());
}

TEST(StatusMark, SaysThePublishingStateInTheChosenLanguageWithoutBreakingANumberFromItsUnit) {
    InterfaceTexts texts;
    StatusMark mark(nullptr);
    mark.applyTexts(texts);
    texts.set(Text::StatusRetrying, QStringLiteral("neu in %1 s"));
    mark.showStatus({LinkState::Retrying, 4, QStringLiteral("530 Login incorrect"), {}});
    EXPECT_EQ(mark.text(), QStringLiteral("neu in 4\u00A0s"));
    EXPECT_EQ(mark.toolTip(), QStringLiteral("neu in 4 s\n530 Login incorrect"));
    EXPECT_NE(mark.palette().color(QPalette::WindowText), QColor(Qt::black)) << "the state not told by its colour";
    // A language chosen later words the state that stands.
    texts.set(Text::StatusRetrying, QStringLiteral("reintento en %1 s"));
    mark.applyTexts(texts);
    EXPECT_EQ(mark.text(), QStringLiteral("reintento en 4\u00A0s"));
}

TEST(MenuBar, PointingAtThePictureOrABoxTakesTheBordersAwayAndSaysSo) {
    QWidget window;
    window.setFixedSize(320, 262);
    MenuBar bar(&window);
    auto* picture = new QWidget(&window);
    picture->setGeometry(1, 22, 320, 240);
    auto* box = new QWidget(picture);
    box->setGeometry(10, 10, 50, 30);
    auto* scrollText = new QWidget(picture);
    scrollText->setGeometry(0, 200, 320, 20);
    bar.setPicture(picture, {box});
    window.show();
    ASSERT_TRUE(test::pollUntil(3000, [&] { return QApplication::widgetAt(box->mapToGlobal(QPoint(5, 5))) == box; }));
    QList<MenuBar::Place> pointed;
    QObject::connect(&bar, &MenuBar::pointed, [&](MenuBar::Place place) { pointed << place; });
    const auto pointAt = [&](QWidget* w) { bar.pointAt(w->mapToGlobal(QPoint(5, 5))); };
    pointAt(bar.options());
    EXPECT_EQ(bar.options()->frameShape(), QFrame::Box);
    pointAt(picture);
    EXPECT_EQ(bar.options()->frameShape(), QFrame::NoFrame);
    pointAt(bar.program());
    pointAt(box);
    EXPECT_EQ(bar.program()->frameShape(), QFrame::NoFrame);
    pointAt(bar.cam());
    pointAt(scrollText); // the scrolling text's strip leaves the menus be
    EXPECT_EQ(pointed, QList<MenuBar::Place>({MenuBar::Place::Options, MenuBar::Place::Picture, MenuBar::Place::Program,
                                              MenuBar::Place::Picture, MenuBar::Place::Cam}));
}

TEST(OptionPanels, EscapeClosesAsTheCloseButtonDoesAndDialogsSayWhatTheyChoose) {
    test::Fixture f;
    const InterfaceTexts texts; // the panels keep the texts they were given, as they keep the app's
    TextPanel text(f.context, nullptr);
    FtpPanel ftp(f.context, nullptr, test::TestEnvironment::makeTempDir("escape"));
    for (OptionPanel* panel : std::initializer_list<OptionPanel*>{&text, &ftp}) {
        int closed = 0;
        QObject::connect(panel, &OptionPanel::closed, [&] { ++closed; });
        panel->openPanel(QStringLiteral("EasyPal Text options"));
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(panel->findChild<QLineEdit*>(), &escape);
        EXPECT_TRUE(closed == 1 && panel->isHidden()) << panel->objectName().toStdString();
    }
    EXPECT_EQ(f.hooked, QStringList({"restart", "minute"})) << "the text panel closed without its closing";

    f.settings.program = MMSSTV;
    LastRxPanel lastRx(f.context, nullptr);
    lastRx.applyTexts(texts);
    lastRx.openPanel(QStringLiteral("MMSSTV Last received"));
    lastRx.findChild<QPushButton*>("cmdBrowse")->click();
    text.applyTexts(texts);
    text.openPanel(QStringLiteral("EasyPal Text options"));
    text.findChild<QPushButton*>("cmdColor")->click();
    EXPECT_EQ(f.dialogs.titles, QStringList({"MMSSTV History folder", "EasyPal Text options: Colour"}));
}

} // namespace
} // namespace oculet
