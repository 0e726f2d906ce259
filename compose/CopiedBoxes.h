#pragma once

// The three boxes copied from fixed spots of the screen onto the frame: the signal meter, AUX1
// and AUX2. Each has a source rectangle on the screen, a place on the frame and a switch, all per
// source program; this table names them once for everything that handles the three alike.

#include "settings/Settings.h"
#include "compose/OverlayBoxes.h"

#include <QRect>

#include <array>

namespace oculet {

struct CopiedBox {
    BoxId id;
    PerProgram<bool> Settings::*on;
    PerProgram<int> Settings::*sourceLeft;
    PerProgram<int> Settings::*sourceTop;
    PerProgram<int> Settings::*sourceWidth;
    PerProgram<int> Settings::*sourceHeight;
    PerProgram<int> Settings::*placeLeft;
    PerProgram<int> Settings::*placeTop;
    PerProgram<int> Settings::*placeWidth;
    PerProgram<int> Settings::*placeHeight;

    bool isOn(const Settings& s) const { return s.current(s.*on); }
    QRect source(const Settings& s) const {
        return {s.current(s.*sourceLeft), s.current(s.*sourceTop), s.current(s.*sourceWidth),
                s.current(s.*sourceHeight)};
    }
    QRect place(const Settings& s) const {
        return {s.current(s.*placeLeft), s.current(s.*placeTop), s.current(s.*placeWidth),
                s.current(s.*placeHeight)};
    }
};

// In the order they are drawn: later boxes lie over earlier ones.
inline constexpr std::array<CopiedBox, 3> kCopiedBoxes = {{
    {BoxId::SM, &Settings::smOn, &Settings::smLeft, &Settings::smTop,
     &Settings::smWidth, &Settings::smHeight, &Settings::lblSMLeft, &Settings::lblSMTop, &Settings::lblSMWidth,
     &Settings::lblSMHeight},
    {BoxId::Aux1, &Settings::aux1On, &Settings::aux1Left, &Settings::aux1Top,
     &Settings::aux1Width, &Settings::aux1Height, &Settings::lblAux1Left, &Settings::lblAux1Top,
     &Settings::lblAux1Width, &Settings::lblAux1Height},
    {BoxId::Aux2, &Settings::aux2On, &Settings::aux2Left, &Settings::aux2Top,
     &Settings::aux2Width, &Settings::aux2Height, &Settings::lblAux2Left, &Settings::lblAux2Top,
     &Settings::lblAux2Width, &Settings::lblAux2Height},
}};

} // namespace oculet
