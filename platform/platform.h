// The platform seam: everything the portable code asks of the operating system.
// Engines receive one Platform; they never reach the system through globals.
#pragma once
#include "platform/files.h"
#include "platform/prompter.h"
#include "platform/pump.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "platform/system.h"

namespace bv {

struct Platform {
    Registry& registry;
    Files& files;
    Shell& shell;
    System& system;
    Prompter& prompter;
    Pump& pump;
};

}  // namespace bv
