#pragma once

// The settings, boxes, dialogs and messages a panel over the frame works with, recorded.

#include "platform/Messages.h"
#include "ui/OptionPanel.h"

#include <QStringList>

namespace oculet::test {

class Boxes final : public Messages {
public:
    void show(Kind, const QString& title, const QString& text, std::function<void(bool)>) override {
        shown << (title == defaultTitle() ? text : title + u'|' + text);
    }
    void closeAll() override {}
    QStringList shown;
};

class FakeDialogs final : public PanelDialogs {
public:
    FontChoice font;
    std::optional<Colour> colour;
    QString path; // of both the folder and the file dialogs
    FontChoice chooseFont(const FontSetting&) override { return font; }
    std::optional<Colour> chooseColour(Colour) override { return colour; }
    QString chooseFolder() override { return path; }
    QString chooseTextFile() override { return path; }
};

struct Fixture {
    Settings settings;
    OverlayBoxes boxes;
    FakeDialogs dialogs;
    Boxes messages;
    QStringList hooked;
    PanelContext context{settings, boxes, dialogs, messages,
                         PanelHooks{[this](bool on) { hooked << (on ? "clock on" : "clock off"); },
                                    [this] { hooked << "restart"; }, [this] { hooked << "minute"; },
                                    [this] { hooked << "folder"; }}};
};

} // namespace oculet::test
