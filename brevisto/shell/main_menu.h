// The main window's menu as data: the window builds its menu and accelerators from it.
// Entries hidden by the special edition stay enabled and keep their shortcut keys.
#pragma once
#include <cstdint>
#include <vector>

namespace bv {

enum class MenuCommand {
    None = 0,  // separators and top-level menus
    Preferences,
    PrinterSetup,
    Exit,
    BackupCreate,
    BackupRestore,
    BackupUpdate,
    BackupShow,
    BackupAutomate,
    OutlookExpressSettings,
    SystemSettings,
    Transfer,
    UpdateSearch,
    WebSite,
    SendMail,
    MicrosoftSupport,
    SiblingProduct,
    Help,
    About,
};

namespace VirtualKey {
constexpr uint32_t F1 = 0x70;
constexpr uint32_t F5 = 0x74;
constexpr uint32_t F6 = 0x75;
constexpr uint32_t F7 = 0x76;
constexpr uint32_t F9 = 0x78;
}  // namespace VirtualKey

enum class MenuItemKind { TopLevel, Entry, Separator };

struct MainMenuItem {
    MenuItemKind kind;
    const char* caption;      // empty for a separator
    MenuCommand command;
    uint32_t shortcutKey;     // virtual key, 0 = none
    const char* shortcutText; // "F5" etc., shown right of the caption; empty = none
    bool hiddenInSpecialEdition;
};

// Top to bottom; a TopLevel item opens a menu that takes the items up to the next TopLevel.
const std::vector<MainMenuItem>& MainMenuItems();

// The command a shortcut key reaches (also through a hidden entry); None when no entry has it.
MenuCommand CommandForShortcut(uint32_t virtualKey);

}  // namespace bv
