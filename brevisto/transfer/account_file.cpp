#include "brevisto/transfer/account_file.h"

#include <cstdio>
#include <cstring>

#include "platform/ansi.h"

namespace bv {

// A few rows look odd and stay as they are, since they decide which elements a converted
// file carries: "IMAP_Data_Directory" reads the IMAP root folder, the texts "SMTP Organization
// Name" and "NNTP Reply To Email Address" are read as numbers (so they never come across),
// "LDAP Resolve Flag" has a text row and a number row, and the value names read for
// "IMAP_Sent_Items_Folder" and "LDAP_Port" are not the ones Outlook Express writes.
const AccountElement kAccountElements[] = {
    {"Account_Name", "SZ", "0", "Account Name", AccountValueForm::Text},  // 1
    {"Connection_Type", "DWORD", "0", "Connection Type", AccountValueForm::Dword},  // 2
    {"POP3_Server", "SZ", "0", "POP3 Server", AccountValueForm::Text},  // 3
    {"POP3_User_Name", "SZ", "0", "POP3 User Name", AccountValueForm::Text},  // 4
    {"POP3_Skip_Account", "DWORD", "0", "POP3 Skip Account", AccountValueForm::Dword},  // 5
    {"POP3_Prompt_for_Password", "DWORD", "FALSE", "POP3 Prompt for Password", AccountValueForm::Dword},  // 6
    {"SMTP_Server", "SZ", "0", "SMTP Server", AccountValueForm::Text},  // 7
    {"SMTP_Display_Name", "SZ", "FALSE", "SMTP Display Name", AccountValueForm::Text},  // 8
    {"SMTP_Email_Address", "SZ", "0", "SMTP Email Address", AccountValueForm::Text},  // 9
    {"POP3_Port", "DWORD", "0000006e", "POP3 Port", AccountValueForm::Dword},  // 10
    {"POP3_Secure_Connection", "DWORD", "00000000", "POP3 Secure Connection", AccountValueForm::Dword},  // 11
    {"POP3_Timeout", "DWORD", "0000003c", "POP3 Timeout", AccountValueForm::Dword},  // 12
    {"Leave_Mail_On_Server", "DWORD", "00000000", "Leave Mail On Server", AccountValueForm::Dword},  // 13
    {"Remove_When_Deleted", "DWORD", "00000000", "Remove When Deleted", AccountValueForm::Dword},  // 14
    {"Remove_When_Expired", "DWORD", "00000000", "Remove When Expired", AccountValueForm::Dword},  // 15
    {"SMTP_User_Name", "SZ", "00000000", "SMTP User Name", AccountValueForm::Text},  // 16
    {"SMTP_Use_Sicily", "DWORD", "00000000", "SMTP Use Sicily", AccountValueForm::Dword},  // 17
    {"SMTP_Port", "DWORD", "00000019", "SMTP Port", AccountValueForm::Dword},  // 18
    {"SMTP_Secure_Connection", "DWORD", "00000000", "SMTP Secure Connection", AccountValueForm::Dword},  // 19
    {"SMTP_Timeout", "DWORD", "0000003c", "SMTP Timeout", AccountValueForm::Dword},  // 20
    {"SMTP_Reply_To_Email_Address", "SZ", "FALSE", "SMTP Reply To Email Address", AccountValueForm::Text},  // 21
    {"SMTP_Prompt_for_Password", "DWORD", "FALSE", "SMTP Prompt for Password", AccountValueForm::Dword},  // 22
    {"Temporary_Account", "DWORD", "00000000", "Temporary Account", AccountValueForm::Dword},  // 23
    {"Connectoid", "SZ", "00000000", "Connectoid", AccountValueForm::Text},  // 24
    {"Connection_Flags", "DWORD", "00000000", "Connection Flags", AccountValueForm::Dword},  // 25
    {"POP3_Password2", "BINARY", "00000000", nullptr, AccountValueForm::None},  // 26
    {"POP3_Use_Sicily", "DWORD", "00000000", "POP3 Use Sicily", AccountValueForm::Dword},  // 27
    {"Expire_Days", "DWORD", "00000000", "Expire Days", AccountValueForm::Dword},  // 28
    {"SMTP_Organization_Name", "SZ", "FALSE", "SMTP Organization Name", AccountValueForm::Dword},  // 29
    {"SMTP_Certificate", "BINARY", "00000000", nullptr, AccountValueForm::None},  // 30
    {"SMTP_Signature", "SZ", "00000000", "SMTP Signature", AccountValueForm::Text},  // 31
    {"SMTP_Encryption_Certificate", "BINARY", "00000000", nullptr, AccountValueForm::None},  // 32
    {"SMTP_Encryption_Algorithm", "BINARY", "00000000", nullptr, AccountValueForm::None},  // 33
    {"IMAP_Server", "SZ", "00000000", "IMAP Server", AccountValueForm::Text},  // 34
    {"IMAP_User_Name", "SZ", "00000000", "IMAP User Name", AccountValueForm::Text},  // 35
    {"IMAP_Password2", "BINARY", "00000000", nullptr, AccountValueForm::None},  // 36
    {"IMAP_Use_Sicily", "DWORD", "00000000", "IMAP Use Sicily", AccountValueForm::Dword},  // 37
    {"IMAP_Port", "DWORD", "0000008f", "IMAP Port", AccountValueForm::Dword},  // 38
    {"IMAP_Secure_Connection", "DWORD", "00000000", "IMAP Secure Connection", AccountValueForm::Dword},  // 39
    {"IMAP_Timeout", "DWORD", "0000003c", "IMAP Timeout", AccountValueForm::Dword},  // 40
    {"IMAP_Root_Folder", "SZ", "00000000", "IMAP Root Folder", AccountValueForm::Text},  // 41
    {"IMAP_Use_LSUB", "DWORD", "TRUE", "IMAP Use LSUB", AccountValueForm::Dword},  // 42
    {"IMAP_Polling", "DWORD", "TRUE", "IMAP Polling", AccountValueForm::Dword},  // 43
    {"IMAP_Full_List", "DWORD", "00000000", "IMAP Full List", AccountValueForm::Dword},  // 44
    {"IMAP_NOOP_Interval", "DWORD", "00000000", "IMAP NOOP Interval", AccountValueForm::Dword},  // 45
    {"IMAP_Svr-side_Special_Folders", "DWORD", "TRUE", "IMAP Svr-side Special Folders", AccountValueForm::Dword},  // 46
    {"IMAP_Prompt_for_Password", "DWORD", "FALSE", "IMAP Prompt for Password", AccountValueForm::Dword},  // 47
    {"IMAP_Dirty", "DWORD", "00000000", "IMAP Dirty", AccountValueForm::Dword},  // 48
    {"IMAP_Poll_All_Folders", "DWORD", "TRUE", "IMAP Poll All Folders", AccountValueForm::Dword},  // 49
    {"IMAP_Data_Directory", "SZ", "00000000", "IMAP Root Folder", AccountValueForm::Text},  // 50
    {"IMAP_Sent_Items_Folder", "SZ", "Sent Items", "IMAP Sent Items_Folder", AccountValueForm::Text},  // 51
    {"IMAP_Drafts_Folder", "SZ", "Drafts", "IMAP Drafts Folder", AccountValueForm::Text},  // 52
    {"IMAP_Deleted_Items_Folder", "SZ", "Deleted Items", "IMAP Deleted Items Folder", AccountValueForm::Text},  // 53
    {"IMAP_Junk_E-mail_Folder", "SZ", "Junk E-mail", "IMAP Junk E-mail Folder", AccountValueForm::Text},  // 54
    {"LDAP_Server_ID", "DWORD", "00000000", "LDAP Server ID", AccountValueForm::Dword},  // 55
    {"LDAP_Server", "SZ", "0", "LDAP Server", AccountValueForm::Text},  // 56
    {"LDAP_Authentication", "DWORD", "00000000", "LDAP Authentication", AccountValueForm::Dword},  // 57
    {"LDAP_User_Name", "SZ", "00000000", "LDAP User Name", AccountValueForm::Text},  // 58
    {"LDAP_Resolve_Flag", "DWORD", "0", "LDAP Resolve Flag", AccountValueForm::Text},  // 59
    {"LDAP_Password2", "BINARY", "00000000", nullptr, AccountValueForm::None},  // 60
    {"LDAP_URL", "SZ", "00000000", "LDAP URL", AccountValueForm::Text},  // 61
    {"LDAP_Search_Return", "DWORD", "00000000", "LDAP Search Return", AccountValueForm::Dword},  // 62
    {"LDAP_Timeout", "DWORD", "0000003c", "LDAP Timeout", AccountValueForm::Dword},  // 63
    {"LDAP_Search_Base", "SZ", "00000000", "LDAP Search Base", AccountValueForm::Text},  // 64
    {"LDAP_Simple_Search", "DWORD", "00000000", "LDAP Simple Search", AccountValueForm::Dword},  // 65
    {"LDAP_Logo", "SZ", "00000000", "LDAP Logo", AccountValueForm::Text},  // 66
    {"LDAP_Resolve_Flag", "DWORD", "00000000", "LDAP Resolve Flag", AccountValueForm::Dword},  // 67
    {"LDAP_Port", "DWORD", "000000b9", "LDAP Port type", AccountValueForm::Dword},  // 68
    {"LDAP_Secure_Connection", "DWORD", "00000000", "LDAP Secure Connection", AccountValueForm::Dword},  // 69
    {"LDAP_Bind_DN", "DWORD", "00000000", "LDAP Bind_DN", AccountValueForm::Dword},  // 70
    {"LDAP_Advanced_Search_Attributes", "SZ", "00000000", "LDAP Advanced Search Attributes", AccountValueForm::Text},  // 71
    {"LDAP_Paged_Result_Support", "DWORD", "00000000", "LDAP Paged Result Support", AccountValueForm::Dword},  // 72
    {"LDAP_NTDS", "DWORD", "00000000", "LDAP NTDS", AccountValueForm::Dword},  // 73
    {"NNTP_Server", "SZ", "00000000", "NNTP Server", AccountValueForm::Text},  // 74
    {"NNTP_User_Name", "SZ", "00000000", "NNTP User Name", AccountValueForm::Text},  // 75
    {"NNTP_Display_Name", "SZ", "FALSE", "NNTP Display Name", AccountValueForm::Text},  // 76
    {"NNTP_Email_Address", "SZ", "FALSE", "NNTP Email Address", AccountValueForm::Text},  // 77
    {"NNTP_Polling", "DWORD", "FALSE", "NNTP Polling", AccountValueForm::Dword},  // 78
    {"NNTP_Port", "DWORD", "0000004d", "NNTP Port", AccountValueForm::Dword},  // 79
    {"NNTP_Secure_Connection", "DWORD", "00000000", "NNTP Secure Connection", AccountValueForm::Dword},  // 80
    {"NNTP_Timeout", "DWORD", "0000003c", "NNTP Timeout", AccountValueForm::Dword},  // 81
    {"NNTP_Split_Messages", "DWORD", "00000000", "NNTP Split Messages", AccountValueForm::Dword},  // 82
    {"Use_Group_Descriptions", "DWORD", "FALSE", "Use Group Descriptions", AccountValueForm::Dword},  // 83
    {"NNTP_Posting", "DWORD", "00000000", "NNTP Posting", AccountValueForm::Dword},  // 84
    {"NNTP_Password2", "BINARY", "0", nullptr, AccountValueForm::None},  // 85
    {"NNTP_Use_Sicily", "DWORD", "00000000", "NNTP Use Sicily", AccountValueForm::Dword},  // 86
    {"NNTP_Organization_Name", "SZ", "FALSE", "NNTP Organization Name", AccountValueForm::Text},  // 87
    {"NNTP_Reply_To_Email_Address", "DWORD", "FALSE", "NNTP Reply To Email Address", AccountValueForm::Dword},  // 88
    {"NNTP_Data_Directory", "SZ", "00000000", "NNTP Data Directory", AccountValueForm::Text},  // 89
    {"NNTP_Signature", "SZ", "00000000", "NNTP Signature", AccountValueForm::Text},  // 90
    {"NNTP_Prompt_for_Password", "DWORD", "FALSE", "NNTP Prompt for Password", AccountValueForm::Dword},  // 91
    {"NNTP_User_Information_Status", "DWORD", "00000000", "NNTP User Information Status", AccountValueForm::Dword},  // 92
    {"Communities", "DWORD", "00000000", "Communities", AccountValueForm::Dword},  // 93
    {"Passport_Member_Name", "SZ", "00000000", "Passport Member Name", AccountValueForm::Text},  // 94
    {"Last_Updated", "BINARY", "00000000", nullptr, AccountValueForm::None},  // 95
    {"Community_Server_Data", "BINARY", "00000000", nullptr, AccountValueForm::None},  // 96
    {"Passport_Session_Data", "BINARY", "00000000", nullptr, AccountValueForm::None},  // 97
};
const size_t kAccountElementCount = sizeof kAccountElements / sizeof kAccountElements[0];

namespace {

const char kHeader[] = "<?xml version=\"1.0\" encoding=\"utf-16\" ?>\r\n<MessageAccount>";
const char kFooter[] = "</MessageAccount>";

const RegValue* FindValue(const std::vector<RegValue>& values, const char* name) {
    for (const RegValue& value : values)
        if (SameText(value.name, name)) return &value;
    return nullptr;
}

bool IsWordChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

bool IsWord(const char* text) {
    for (; *text; ++text)
        if (!IsWordChar(*text)) return false;
    return true;
}

// The device names of Windows (and of DOS before it): a file or folder of that name, with
// or without an extension, is the device.
bool IsDeviceName(const std::string& name) {
    std::string base = name.substr(0, name.find('.'));
    while (!base.empty() && base.back() == ' ') base.pop_back();
    base = AnsiUpperCase(base);
    for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$", "CLOCK$"})
        if (base == device) return true;
    if (base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0)) {
        // Also the superscript digits 1, 2 and 3 of code page 1252.
        const unsigned char digit = static_cast<unsigned char>(base[3]);
        return (digit >= '0' && digit <= '9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3;
    }
    return false;
}

}  // namespace

bool AccountValueText(const std::vector<RegValue>& values, const AccountElement& row,
                      std::string& text) {
    text.clear();
    if (row.form == AccountValueForm::None || !row.source) return false;
    const RegValue* value = FindValue(values, row.source);
    if (!value) return false;
    if (row.form == AccountValueForm::Text) {
        if (value->type != RegType::Sz) return false;
        text.assign(value->data.begin(), value->data.end());
        const size_t nul = text.find('\0');
        if (nul != std::string::npos) text.resize(nul);
    } else {
        if (value->type != RegType::Dword || value->data.size() != 4) return false;
        uint32_t number = 0;
        for (size_t i = 0; i < 4; ++i) number |= uint32_t{value->data[i]} << (8 * i);
        char digits[16];
        std::snprintf(digits, sizeof digits, "%08lx", static_cast<unsigned long>(number));
        text = digits;
    }
    return !text.empty();
}

std::string XmlText(const std::string& ansi) {
    std::string out;
    out.reserve(ansi.size() + 8);
    for (char c : ansi) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '\t': out += "&#9;"; break;
            case '\n': out += "&#10;"; break;
            case '\r': out += "&#13;"; break;
            default:
                if (static_cast<unsigned char>(c) >= 0x20) out += c;
                break;
        }
    }
    return out;
}

std::string AccountElementLine(const AccountElement& row, const std::string& value) {
    const std::string text = IsWord(row.defaultText) ? XmlText(value) : row.defaultText;
    return std::string("    <") + row.element + " type=\"" + row.type + "\">" + text + "</" +
           row.element + ">";
}

std::string AccountFileText(const std::vector<RegValue>& values) {
    std::string text = std::string(kHeader) + "\r\n";
    std::string value;
    for (size_t i = 0; i < kAccountElementCount; ++i)
        if (AccountValueText(values, kAccountElements[i], value))
            text += AccountElementLine(kAccountElements[i], value) + "\r\n";
    return text + kFooter + "\r\n";
}

Bytes AnsiToUtf16File(const std::string& ansi) {
    Bytes out = {0xFF, 0xFE};
    out.reserve(2 + 2 * ansi.size());
    for (char16_t unit : AnsiToUtf16(ansi)) {
        out.push_back(static_cast<uint8_t>(unit));
        out.push_back(static_cast<uint8_t>(unit >> 8));
    }
    return out;
}

std::string GuidText(const uint8_t (&bytes)[16]) {
    uint8_t b[16];
    std::memcpy(b, bytes, sizeof b);
    b[6] = static_cast<uint8_t>((b[6] & 0x0F) | 0x40);
    b[8] = static_cast<uint8_t>((b[8] & 0x3F) | 0x80);
    char text[40];
    std::snprintf(text, sizeof text,
                  "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", b[0],
                  b[1], b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13],
                  b[14], b[15]);
    return text;
}

std::string AccountFolderName(const std::string& accountName) {
    static const char kRefused[] = "\\/:*?\"<>|";
    std::string name;
    name.reserve(accountName.size());
    for (char c : accountName) {
        const bool control = static_cast<unsigned char>(c) < 0x20;
        name += control || std::strchr(kRefused, c) ? '_' : c;
    }
    while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
    if (!name.empty() && IsDeviceName(name)) name.insert(0, 1, '_');
    return name;
}

}  // namespace bv
