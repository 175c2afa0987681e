#pragma once

namespace Platform {

// Initialises hidapi once, before the first hid_* call that needs it, and shuts it down at
// process exit. Holders take Instance() in their constructor.
class HidApiInitializer {
public:
    static HidApiInitializer& Instance();

    HidApiInitializer(const HidApiInitializer&) = delete;
    HidApiInitializer& operator=(const HidApiInitializer&) = delete;

private:
    HidApiInitializer();
    ~HidApiInitializer();
};

} // namespace Platform
