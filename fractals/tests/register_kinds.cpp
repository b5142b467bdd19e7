// Test programs register the kinds as the program's main does, before any test runs.
#include "kinds.h"

namespace {
#ifdef FRACTALS_TEST_WINDOW_KINDS
const bool registered = (fractals::registerWindowKinds(), true);
#else
const bool registered = (fractals::registerCoreKinds(), true);
#endif
} // namespace
