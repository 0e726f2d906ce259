#include "ui/MessageBoxes.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <algorithm>
#include <gtest/gtest.h>

namespace oculet {
namespace {

QList<QMessageBox*> shownBoxes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QList<QMessageBox*> shown;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<QMessageBox*>(widget); box != nullptr && box->isVisible()) {
            shown << box;
        }
    }
    return shown;
}

TEST(MessageBoxes, ShownWithoutWaitingAnsweredByCallbackAndClosedUnansweredAtTheEnd) {
    QtMessageBoxes boxes;
    std::vector<bool> answers;
    const auto note = [&](bool yes) { answers.push_back(yes); };
    // Every call returns at once, with its box on the screen.
    boxes.warn(QStringLiteral("Ftp connection failed"));
    boxes.warn(QStringLiteral("Ftp connection failed"));
    boxes.tell(QStringLiteral("Viewhall"), QStringLiteral("Wrong language file version."));
    boxes.askQuestion(QStringLiteral("Update?"), note);
    boxes.ask(QStringLiteral("EasyPal not running!"), note);
    QList<QMessageBox*> shown = shownBoxes();
    ASSERT_EQ(shown.size(), 4) << "the same words twice make one box; every question its own";
    for (QMessageBox* box : shown) {
        EXPECT_FALSE(box->isModal()) << box->text().toStdString();
        const bool question = box->text().endsWith(u'?') || box->text().endsWith(u'!');
        EXPECT_EQ(box->windowTitle(), box->text().startsWith(u'W') ? "Viewhall" : "Oculet");
        EXPECT_EQ(box->button(QMessageBox::Yes) != nullptr, question);
        EXPECT_EQ(box->icon(), box->text() == "Update?"           ? QMessageBox::Question
                               : box->windowTitle() == "Viewhall" ? QMessageBox::Information
                                                                  : QMessageBox::Warning);
    }
    EXPECT_TRUE(answers.empty());

    const auto find = [&](const char* text) {
        return *std::find_if(shown.begin(), shown.end(),
                             [&](QMessageBox* b) { return b->text() == text; });
    };
    find("Update?")->button(QMessageBox::No)->click();
    EXPECT_EQ(answers, std::vector<bool>{false});
    EXPECT_EQ(shownBoxes().size(), 3);

    boxes.closeAll();
    EXPECT_TRUE(shownBoxes().isEmpty());
    EXPECT_EQ(answers, std::vector<bool>{false}) << "a box closed at the end answered";
    boxes.ask(QStringLiteral("EasyPal not running!"), note);
    shownBoxes().value(0)->button(QMessageBox::Yes)->click();
    EXPECT_EQ(answers, (std::vector<bool>{false, true}));
    EXPECT_TRUE(shownBoxes().isEmpty()) << "an answered box stays";
}

} // namespace
} // namespace oculet
