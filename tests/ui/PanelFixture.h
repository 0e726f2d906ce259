#pragma once

// The settings, boxes, dialogs and messages a panel over the frame works with, recorded.

#include "tests/support/RecordingMessages.h"
#include "ui/OptionPanel.h"

#include <QStringList>

namespace oculet::test {

class FakeDialogs final : public PanelDialogs {
public:
    FontChoice font;
    std::optional<Colour> colour;
    QString path; // of both the folder and the file dialogs
    QStringList titles;
    FontChoice chooseFont(const FontSetting&, const QString& title) override {
        titles << title;
        return font;
    }
    std::optional<Colour> chooseColour(Colour, const QString& title) override {
        titles << title;
        return colour;
    }
    QString chooseFolder(const QString& title) override {
        titles << title;
        return path;
    }
    QString chooseTextFile(const QString& title) override {
        titles << title;
        return path;
    }
};

struct Fixture {
    Settings settings;
    OverlayBoxes boxes;
    FakeDialogs dialogs;
    RecordingMessages messages;
    QStringList hooked;
    PanelContext context{settings, boxes, dialogs, messages,
                         PanelHooks{[this](bool on) { hooked << (on ? "clock on" : "clock off"); },
                                    [this] { hooked << "restart"; }, [this] { hooked << "minute"; },
                                    [this] { hooked << "folder"; }}};
};

} // namespace oculet::test
