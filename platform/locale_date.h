// Date and time texts by the user's Windows pictures: the numeric elements d, dd, M, MM,
// y, yy, yyyy of the short date and h, hh, H, HH, m, mm, s, ss, t, tt of the time, text in
// single quotes ('' for a quote itself) and every other character as written. Day and
// month names and eras are not understood: such a picture neither formats nor reads.
#pragma once
#include <string>

#include "platform/system.h"
#include "platform/types.h"

namespace bv {

int DaysInMonth(int year, int month);

// The text System::DateTimeText writes: the date by `formats.shortDate`, a blank, the time
// by `formats.timeFormat`. False (and `text` untouched) for a picture it does not understand.
bool FormatLocaleDateTime(const LocaleDateFormats& formats, const DateTime& when,
                          std::string& text);

// Reads such a text back (milliseconds 0). Blanks around the text are ignored and a blank
// of the pictures stands for one or more. Two-digit years fall into 1930..2029 as Windows
// reads them; a 12-hour clock needs its AM/PM designator. Time elements missing from the
// picture read as 0. False (and `when` untouched) when the text does not match the
// pictures or names no valid date and time.
bool ParseLocaleDateTime(const LocaleDateFormats& formats, const std::string& text,
                         DateTime& when);

}  // namespace bv
