// The Win32 backend of the platform seam: what the Windows programs and the
// Windows test build create. Only Windows-only code includes this header.
#pragma once
#include <memory>
#include <string>

#include "platform/platform.h"

namespace bv {

std::unique_ptr<Registry> CreateWin32Registry();
std::unique_ptr<Files> CreateWin32Files();
std::unique_ptr<Shell> CreateWin32Shell();
std::unique_ptr<System> CreateWin32System();
// `appTitle` is the caption of the plain application messages.
std::unique_ptr<Prompter> CreateWin32Prompter(const std::string& appTitle);
std::unique_ptr<Pump> CreateWin32Pump();

// Owns one of each service and hands them out as one Platform.
class Win32Platform {
public:
    explicit Win32Platform(const std::string& appTitle);
    ~Win32Platform();
    Win32Platform(const Win32Platform&) = delete;
    Win32Platform& operator=(const Win32Platform&) = delete;

    Platform& platform() { return *platform_; }

private:
    std::unique_ptr<Registry> registry_;
    std::unique_ptr<Files> files_;
    std::unique_ptr<Shell> shell_;
    std::unique_ptr<System> system_;
    std::unique_ptr<Prompter> prompter_;
    std::unique_ptr<Pump> pump_;
    std::unique_ptr<Platform> platform_;
};

std::unique_ptr<Win32Platform> CreateWin32Platform(const std::string& appTitle = "Brevisto");

}  // namespace bv
