#pragma once

// Runs a test once on a bare X server and once under openbox: window lists, placement, stacking
// and focus all differ between the two, and Oculet meets both.

#include "tests/support/TestEnvironment.h"
#include "tests/support/X11Probe.h"

#include <gtest/gtest.h>

namespace oculet::test {

enum class Desktop { Bare, Openbox };

inline std::string desktopName(const ::testing::TestParamInfo<Desktop>& info) {
    return info.param == Desktop::Openbox ? "Openbox" : "Bare";
}

class OnDesktop : public ::testing::TestWithParam<Desktop> {
  protected:
    void SetUp() override {
        ASSERT_TRUE(probe.isConnected());
        const bool wanted = GetParam() == Desktop::Openbox;
        if (wanted) {
            ASSERT_TRUE(TestEnvironment::startWindowManager());
        } else {
            TestEnvironment::stopWindowManager();
        }
        if (wanted) {
            ASSERT_TRUE(probe.waitForWindowManagerReady()) << "openbox does not manage new windows";
        } else {
            ASSERT_TRUE(pollUntil(3000, [&] { return !probe.windowManagerRunning(); }))
                << "the probe still sees a window manager";
        }
    }

    X11Probe probe;
};

#define OCULET_ON_EVERY_DESKTOP(suite)                                                             \
    INSTANTIATE_TEST_SUITE_P(                                                                      \
        Desktops, suite,                                                                           \
        ::testing::Values(::oculet::test::Desktop::Bare, ::oculet::test::Desktop::Openbox),        \
        ::oculet::test::desktopName)

} // namespace oculet::test
