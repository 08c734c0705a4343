// Every test runs headless, knows the built program folder and the source tree, and sees
// no emulated meter unless it lists some itself. Set before main, so before any Qt object.

#include <cstdlib>

namespace {

const bool environmentReady = [] {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("NX_PROGRAM_DIR", NX_TEST_PROGRAM_DIR, 1);
    setenv("NX_SOURCE_DIR", NX_TEST_SOURCE_DIR, 1);
    unsetenv("NIVEX_EMULATED_METERS");
    return true;
}();

}  // namespace
