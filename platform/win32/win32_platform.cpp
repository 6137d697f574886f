#include "platform/win32/win32_platform.h"

namespace bv {

Win32Platform::Win32Platform(const std::string& appTitle)
    : registry_(CreateWin32Registry()),
      files_(CreateWin32Files()),
      shell_(CreateWin32Shell()),
      system_(CreateWin32System()),
      prompter_(CreateWin32Prompter(appTitle)),
      pump_(CreateWin32Pump()),
      platform_(new Platform{*registry_, *files_, *shell_, *system_, *prompter_, *pump_}) {}

Win32Platform::~Win32Platform() = default;

std::unique_ptr<Win32Platform> CreateWin32Platform(const std::string& appTitle) {
    return std::make_unique<Win32Platform>(appTitle);
}

}  // namespace bv
