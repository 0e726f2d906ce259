#pragma once

// What the three option panels over the frame share: their opening and closing, the dialogs they
// ask the user through, and the hooks through which their changes reach the running frame.

#include "compose/OverlayBoxes.h"
#include "settings/InterfaceTexts.h"
#include "settings/Settings.h"

#include <QGroupBox>

#include <functional>
#include <optional>

class QCheckBox;

namespace oculet {

class Messages;

// The font, colour, folder and file dialogs of the panels; behind an interface for tests.
class PanelDialogs {
public:
    struct FontChoice {
        std::optional<FontSetting> font; // empty when cancelled or failed
        int error = 0;                   // non-zero when the dialog itself failed
    };

    // Each dialog's title says what is being chosen ("Clock font", "EasyPal folder").
    virtual ~PanelDialogs() = default;
    virtual FontChoice chooseFont(const FontSetting& start, const QString& title) = 0;
    // Empty when cancelled.
    virtual std::optional<Colour> chooseColour(Colour start, const QString& title) = 0;
    // The chosen folder, or empty when cancelled.
    virtual QString chooseFolder(const QString& title) = 0;
    // The chosen text file, or empty when cancelled.
    virtual QString chooseTextFile(const QString& title) = 0;
};

class QtPanelDialogs final : public PanelDialogs {
public:
    explicit QtPanelDialogs(QWidget* owner) : owner_(owner) {}
    FontChoice chooseFont(const FontSetting& start, const QString& title) override;
    std::optional<Colour> chooseColour(Colour start, const QString& title) override;
    QString chooseFolder(const QString& title) override;
    QString chooseTextFile(const QString& title) override;

private:
    QWidget* owner_;
};

// What a panel's change does beyond the settings and boxes it edits.
struct PanelHooks {
    std::function<void(bool)> clockShown;   // starts or stops the clock timer
    std::function<void()> restartScrolling; // the continuous text starts again at the right edge
    std::function<void()> scrollNextCycle;  // the per-minute text runs on the next cycle
    std::function<void()> folderChanged;    // the last received picture is looked for afresh
};

struct PanelContext {
    Settings& settings;
    OverlayBoxes& boxes;
    PanelDialogs& dialogs;
    Messages& messages;
    PanelHooks hooks;
};

// One panel over the frame area: the three option panels (`Frame2`, `Frame3`, `Frame4`) and the
// publishing panel. Its controls edit the settings at once. Opening sets them from the settings
// with their change handlers quiet; closed() lets the application give the menu bar back and
// resume publishing.
class OptionPanel : public QGroupBox {
    Q_OBJECT
public:
    // Shows the panel at its place over the frame, its controls set from the settings.
    void openPanel(const QString& title = {});
    // Hides it; emits closed().
    void closePanel();
    // Puts the interface texts into the captions.
    virtual void applyTexts(const InterfaceTexts& texts) = 0;

signals:
    void closed();

protected:
    OptionPanel(const char* name, int height, PanelContext& context, QWidget* parent);
    // Sets the controls from the current program's settings, without their change handlers.
    virtual void refresh() = 0;
    void keyPressEvent(QKeyEvent* event) override;
    // What the panel's close button does before the common closing.
    virtual void beforeClosing() {}

    template <class W> W* named(W* widget, const char* name) {
        widget->setObjectName(QString::fromLatin1(name));
        return widget;
    }
    Settings& settings() { return context_.settings; }
    // A dialog's title: what it chooses, after the panel's own title when it has one.
    QString dialogTitle(const QString& what) const {
        return title().isEmpty() ? what : title() + QStringLiteral(": ") + what;
    }
    PanelContext& context_;
    // Where the panel opens, in the frame area.
    QPoint place_{0, 0};
};

// A tick box's value as the 16-bit switches store it: 1 ticked, 0 not.
int tickValue(const QCheckBox* box);

} // namespace oculet
