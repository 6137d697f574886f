#include "brevisto/shell/main_menu.h"

namespace bv {

const std::vector<MainMenuItem>& MainMenuItems() {
    using K = MenuItemKind;
    using C = MenuCommand;
    static const std::vector<MainMenuItem> kItems = {
        {K::TopLevel, "&Programm", C::None, 0, "", false},
        {K::Entry, "&Einstellungen...", C::Preferences, 0, "", false},
        {K::Entry, "&Druckereinrichtung...", C::PrinterSetup, 0, "", false},
        {K::Separator, "", C::None, 0, "", false},
        {K::Entry, "&Beenden", C::Exit, 0, "", false},

        {K::TopLevel, "&Backup", C::None, 0, "", false},
        {K::Entry, "&anlegen...", C::BackupCreate, VirtualKey::F5, "F5", false},
        {K::Entry, "ein&spielen...", C::BackupRestore, VirtualKey::F6, "F6", true},
        {K::Entry, "a&ktualisieren", C::BackupUpdate, VirtualKey::F7, "F7", true},
        {K::Entry, "a&nschauen...", C::BackupShow, VirtualKey::F9, "F9", false},
        {K::Separator, "", C::None, 0, "", true},
        {K::Entry, "auto&matisieren", C::BackupAutomate, 0, "", true},

        {K::TopLevel, "&Extras", C::None, 0, "", true},
        {K::Entry, "Outlook Express &Einstellungen...", C::OutlookExpressSettings, 0, "", true},
        {K::Entry, "&Systemeinstellungen...", C::SystemSettings, 0, "", true},

        {K::TopLevel, "Daten übertragen", C::None, 0, "", true},
        {K::Entry, "nach Windows (Live) Mail", C::Transfer, 0, "", true},

        {K::TopLevel, "&?", C::None, 0, "", false},
        {K::Entry, "Update suchen", C::UpdateSearch, 0, "", true},
        {K::Entry, "Webseite laden", C::WebSite, 0, "", false},
        {K::Entry, "E-Mail senden", C::SendMail, 0, "", false},
        {K::Separator, "", C::None, 0, "", false},
        {K::Entry, "Microsoft® Outlook Express Support Center", C::MicrosoftSupport, 0, "", false},
        {K::Separator, "", C::None, 0, "", false},
        {K::Entry, "Korvanta", C::SiblingProduct, 0, "", false},
        {K::Separator, "", C::None, 0, "", false},
        {K::Entry, "Hilfe", C::Help, VirtualKey::F1, "F1", false},
        {K::Entry, "Info...", C::About, 0, "", false},
    };
    return kItems;
}

MenuCommand CommandForShortcut(uint32_t virtualKey) {
    if (virtualKey == 0) return MenuCommand::None;
    for (const MainMenuItem& item : MainMenuItems())
        if (item.kind == MenuItemKind::Entry && item.shortcutKey == virtualKey) return item.command;
    return MenuCommand::None;
}

}  // namespace bv
