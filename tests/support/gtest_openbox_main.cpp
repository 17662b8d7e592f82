// Test entry for tests that need a window manager: an Xvfb of the test's own with openbox on
// it, and a QApplication on that display (xcb), around GoogleTest. The desktop is reachable
// by the tests through rimo::testing::desktop().
#include "openbox.h"

#include <QApplication>
#include <cstdio>
#include <gtest/gtest.h>

namespace rimo::testing {
namespace {
OpenboxDesktop* g_desktop = nullptr;
}
OpenboxDesktop& desktop()
{
    return *g_desktop;
}
} // namespace rimo::testing

int main(int argc, char** argv)
{
    rimo::testing::OpenboxDesktop desktop;
    if (desktop.display().isEmpty()) {
        std::fprintf(stderr, "no Xvfb with openbox (install xvfb and openbox)\n");
        return 1;
    }
    rimo::testing::g_desktop = &desktop;
    qputenv("DISPLAY", desktop.display());
    qputenv("QT_QPA_PLATFORM", "xcb");
    int result = 0;
    {
        QApplication app(argc, argv);
        ::testing::InitGoogleTest(&argc, argv);
        result = RUN_ALL_TESTS();
    }
    return result;
}
