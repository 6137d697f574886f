// The strength estimate and the OK rules of the password dialog "Backup verschlüsseln".
#pragma once
#include <string>

#include "platform/platform.h"

namespace bv {

extern const char* const kPasswordDialogCaption;  // "Backup verschlüsseln"
extern const char* const kPasswordBarHint;
extern const char* const kPasswordMissingText;
extern const char* const kPasswordRepeatWrongText;

// Sum of the sizes of the character classes present: a-z 26, A-Z 26, 0-9 10, others 30.
int PasswordScore(const std::string& password);
// The length at which the bar is full, by score.
int PasswordTargetLength(int score);

enum class StrengthColour { Red, Yellow, Green };

// The strength bar: maximum = target length, position = length capped at it.
struct PasswordStrength {
    int maximum = 100;
    int position = 0;
    StrengthColour colour = StrengthColour::Red;

    // position / maximum below 0.5, below 0.9 (exact, without rounding).
    bool BelowHalf() const { return position * 2 < maximum; }
    bool BelowNineTenths() const { return position * 10 < maximum * 9; }
    // The ratio x 100, truncated.
    int Percent() const { return maximum > 0 ? position * 100 / maximum : 0; }
};
// The bar before the first key: maximum 100, position 0, red.
PasswordStrength InitialPasswordStrength();
PasswordStrength EstimatePasswordStrength(const std::string& password);

// The question for a weak password, with its percentage.
std::string WeakPasswordQuestion(int percent);

enum class PasswordFocus { None, First, Second };
struct PasswordOkResult {
    bool close = false;                        // close with OK, the first field is the password
    PasswordFocus focus = PasswordFocus::None; // where the focus goes when the dialog stays
};
// The OK button: empty password, differing repetition, the weak-password question.
PasswordOkResult PasswordDialogOk(Prompter& prompter, const std::string& password,
                                  const std::string& repetition);

}  // namespace bv
