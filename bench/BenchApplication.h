#pragma once

// The one application object of the benchmark program, made by whichever benchmark runs first.
// A GUI application, because drawing text needs fonts; off-screen unless a display was asked for.

#include <QCoreApplication>
#include <QGuiApplication>

#include <cstdlib>

namespace oculet {

inline void ensureApplication() {
    if (QCoreApplication::instance() != nullptr) {
        return;
    }
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    static int argc = 1;
    static char name[] = "oculet_bench";
    static char* argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
}

} // namespace oculet
