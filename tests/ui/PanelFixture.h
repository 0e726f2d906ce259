#pragma once

// The settings, boxes, dialogs and messages a panel over the frame works with, recorded.

#include "platform/MessageBoxes.h"
#include "ui/OptionPanel.h"

#include <QStringList>

namespace oculet::test {

class Boxes final : public MessageBoxes {
public:
    void inform(const QString& text) override { shown << text; }
    void warn(const QString& text) override { shown << text; }
    bool askYesNo(const QString& text) override { return !(shown << text).isEmpty(); }
    void informTitled(const QString& title, const QString& text) override { shown << title + u'|' + text; }
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
