#include "brevisto/support/password_strength.h"

#include "common/msg_box.h"

namespace bv {

const char* const kPasswordDialogCaption = "Backup verschlüsseln";
const char* const kPasswordBarHint = "Qualitätsanzeige des verwendeten Passworts";
const char* const kPasswordMissingText = "Sie haben vergessen, das Passwort anzugeben!";
const char* const kPasswordRepeatWrongText = "Die Wiederholung des Passworts ist fehlerhaft!";

int PasswordScore(const std::string& password) {
    bool lower = false, upper = false, digit = false, other = false;
    for (char c : password) {
        if (c >= 'a' && c <= 'z')
            lower = true;
        else if (c >= 'A' && c <= 'Z')
            upper = true;
        else if (c >= '0' && c <= '9')
            digit = true;
        else
            other = true;
    }
    return (lower ? 26 : 0) + (upper ? 26 : 0) + (digit ? 10 : 0) + (other ? 30 : 0);
}

int PasswordTargetLength(int score) {
    if (score == 10) return 20;
    if (score >= 26 && score <= 30) return 15;
    if (score >= 31 && score <= 40) return 14;
    if (score >= 41 && score <= 50) return 13;
    if (score >= 51 && score <= 65) return 12;
    if (score >= 66 && score <= 90) return 11;
    if (score >= 91 && score <= 99) return 10;
    return 20;
}

PasswordStrength InitialPasswordStrength() { return PasswordStrength{}; }

PasswordStrength EstimatePasswordStrength(const std::string& password) {
    PasswordStrength s;
    s.maximum = PasswordTargetLength(PasswordScore(password));
    const int length = static_cast<int>(password.size() > 1000 ? 1000 : password.size());
    s.position = length < s.maximum ? length : s.maximum;
    s.colour = s.BelowHalf()         ? StrengthColour::Red
               : s.BelowNineTenths() ? StrengthColour::Yellow
                                     : StrengthColour::Green;
    return s;
}

std::string WeakPasswordQuestion(int percent) {
    return "Ihr gewähltes Passwort ist gegenüber Brute-Force-Attacken nicht sicher genug!\r\n"
           "Die derzeitige Passwort-Sicherheit liegt bei ca. " +
           std::to_string(percent) + "%." + "\r\n\r\n" +
           "Möchten Sie trotzdem das Backup mit diesem Passwort verschlüsseln?";
}

PasswordOkResult PasswordDialogOk(Prompter& prompter, const std::string& password,
                                  const std::string& repetition) {
    PasswordOkResult result;
    if (password.empty()) {
        ShowMsgBox(prompter, kPasswordMissingText, "", mkError, bsOk);
        result.focus = PasswordFocus::First;
        return result;
    }
    if (password != repetition) {
        ShowMsgBox(prompter, kPasswordRepeatWrongText, "", mkError, bsOk);
        result.focus = PasswordFocus::Second;
        return result;
    }
    // Judged on the text itself: a pasted password has not moved the bar.
    const PasswordStrength strength = EstimatePasswordStrength(password);
    if (strength.BelowNineTenths() &&
        ShowMsgBox(prompter, WeakPasswordQuestion(strength.Percent()), "", mkConfirmation,
                   bsYesNo) == MsgResult::No) {
        result.focus = PasswordFocus::First;
        return result;
    }
    result.close = true;
    return result;
}

}  // namespace bv
