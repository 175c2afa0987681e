#pragma once

// A compositing check that a test switches by hand, for the application object in place of the
// platform's own (App::setWindowCompositing). Header-only; link velmor_platform.

#include "platform/WindowCompositing.h"

namespace TestSupport {

class FakeWindowCompositing : public Platform::WindowCompositing {
public:
    using WindowCompositing::WindowCompositing;

    void set(bool composited) { setComposited(composited); }
};

} // namespace TestSupport
