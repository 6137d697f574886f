#include "platform/locale_date.h"

#include <cstdio>
#include <vector>

#include "platform/ansi.h"

namespace bv {
namespace {

enum class Field { Literal, Day, Month, ShortYear, FullYear, Hour12, Hour24, Minute, Second,
                   MarkerChar, Marker };

struct Element {
    Field field = Field::Literal;
    size_t width = 0;  // digits with leading zeros (1: none)
    std::string text;  // the characters of a literal
};

bool IsNumber(Field field) {
    return field != Field::Literal && field != Field::MarkerChar && field != Field::Marker;
}

// The element a run of `count` equal letters stands for; false for one not understood.
// Letters that are no element of this kind of picture stay literal, as Windows keeps them.
bool LetterElement(char letter, size_t count, bool timePicture, Element& element) {
    element.width = count;
    auto numeric = [&](Field field) {
        element.field = field;
        return count <= 2;
    };
    if (!timePicture) {
        switch (letter) {
            case 'd': return numeric(Field::Day);  // ddd, dddd: day names
            case 'M': return numeric(Field::Month);  // MMM, MMMM: month names
            case 'y':
                if (count == 4) {
                    element.field = Field::FullYear;
                    return true;
                }
                return numeric(Field::ShortYear);
            case 'g': return false;  // era
            default: break;
        }
    } else {
        switch (letter) {
            case 'h': return numeric(Field::Hour12);
            case 'H': return numeric(Field::Hour24);
            case 'm': return numeric(Field::Minute);
            case 's': return numeric(Field::Second);
            case 't':
                element.field = count == 1 ? Field::MarkerChar : Field::Marker;
                return count <= 2;
            default: break;
        }
    }
    element.field = Field::Literal;
    element.text.assign(count, letter);
    return true;
}

bool Split(const std::string& picture, bool timePicture, std::vector<Element>& out) {
    auto literal = [&out](char c) {
        if (out.empty() || out.back().field != Field::Literal) out.push_back(Element{});
        out.back().text += c;
    };
    size_t i = 0;
    while (i < picture.size()) {
        const char c = picture[i];
        if (c == '\'') {
            // Quoted text up to the closing quote; a doubled quote is a quote itself.
            if (i + 1 < picture.size() && picture[i + 1] == '\'') {
                literal('\'');
                i += 2;
                continue;
            }
            for (++i; i < picture.size(); ++i) {
                if (picture[i] != '\'') {
                    literal(picture[i]);
                } else if (i + 1 < picture.size() && picture[i + 1] == '\'') {
                    literal('\'');
                    ++i;
                } else {
                    ++i;
                    break;
                }
            }
            continue;
        }
        size_t count = 1;
        while (i + count < picture.size() && picture[i + count] == c) ++count;
        Element element;
        if (!LetterElement(c, count, timePicture, element)) return false;
        if (element.field == Field::Literal) {
            for (char ch : element.text) literal(ch);
        } else {
            out.push_back(element);
        }
        i += count;
    }
    return true;
}

// Date elements, the blank DateTimeText puts between, time elements.
bool Elements(const LocaleDateFormats& formats, std::vector<Element>& out) {
    if (!Split(formats.shortDate, false, out)) return false;
    std::vector<Element> time;
    if (!Split(formats.timeFormat, true, time)) return false;
    Element blank;
    blank.text = " ";
    out.push_back(blank);
    out.insert(out.end(), time.begin(), time.end());
    return true;
}

std::string Number(int value, size_t width) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%0*d", static_cast<int>(width), value);
    return buffer;
}

// The designator written by "t"/"tt": the whole text or only its first character.
std::string Designator(const std::string& designator, bool firstCharOnly) {
    return firstCharOnly ? designator.substr(0, 1) : designator;
}

bool ReadDigits(const std::string& text, size_t& pos, size_t minDigits, size_t maxDigits,
                int& value) {
    size_t digits = 0;
    int result = 0;
    while (pos + digits < text.size() && digits < maxDigits && text[pos + digits] >= '0' &&
           text[pos + digits] <= '9') {
        result = result * 10 + (text[pos + digits] - '0');
        ++digits;
    }
    if (digits < minDigits) return false;
    pos += digits;
    value = result;
    return true;
}

bool MatchesAt(const std::string& text, size_t pos, const std::string& word) {
    return text.size() - pos >= word.size() &&
           AnsiUpperCase(text.substr(pos, word.size())) == AnsiUpperCase(word);
}

}  // namespace

int DaysInMonth(int year, int month) {
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[month - 1];
}

bool FormatLocaleDateTime(const LocaleDateFormats& formats, const DateTime& when,
                          std::string& text) {
    std::vector<Element> elements;
    if (!Elements(formats, elements)) return false;
    const std::string& designator = when.hour < 12 ? formats.am : formats.pm;
    std::string out;
    for (const Element& e : elements) {
        switch (e.field) {
            case Field::Literal: out += e.text; break;
            case Field::Day: out += Number(when.day, e.width); break;
            case Field::Month: out += Number(when.month, e.width); break;
            case Field::ShortYear: out += Number(when.year % 100, e.width); break;
            case Field::FullYear: out += Number(when.year, e.width); break;
            case Field::Hour12: out += Number(when.hour % 12 == 0 ? 12 : when.hour % 12, e.width); break;
            case Field::Hour24: out += Number(when.hour, e.width); break;
            case Field::Minute: out += Number(when.minute, e.width); break;
            case Field::Second: out += Number(when.second, e.width); break;
            case Field::MarkerChar: out += Designator(designator, true); break;
            case Field::Marker: out += designator; break;
        }
    }
    text = out;
    return true;
}

bool ParseLocaleDateTime(const LocaleDateFormats& formats, const std::string& text,
                         DateTime& when) {
    std::vector<Element> elements;
    if (!Elements(formats, elements)) return false;
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return false;
    const std::string s = text.substr(first, text.find_last_not_of(' ') - first + 1);

    int day = -1, month = -1, year = -1, hour12 = -1, hour24 = -1, minute = 0, second = 0;
    bool afternoon = false;
    size_t pos = 0;
    for (size_t k = 0; k < elements.size(); ++k) {
        const Element& e = elements[k];
        if (e.field == Field::Literal) {
            for (const char c : e.text) {
                if (c == ' ') {
                    // The blank before an empty designator is cut off with the text's end.
                    if (pos == s.size()) continue;
                    if (s[pos] != ' ') return false;
                    while (pos < s.size() && s[pos] == ' ') ++pos;
                } else {
                    if (pos >= s.size() || s[pos] != c) return false;
                    ++pos;
                }
            }
            continue;
        }
        if (e.field == Field::MarkerChar || e.field == Field::Marker) {
            const bool firstOnly = e.field == Field::MarkerChar;
            const std::string am = Designator(formats.am, firstOnly);
            const std::string pm = Designator(formats.pm, firstOnly);
            const bool isAm = MatchesAt(s, pos, am);
            const bool isPm = MatchesAt(s, pos, pm);
            if (!isAm && !isPm) return false;
            // The longer designator that matches; equal ones cannot tell the afternoon.
            afternoon = isPm && (!isAm || pm.size() > am.size());
            pos += afternoon ? pm.size() : am.size();
            continue;
        }
        // A number right before another needs all its digits; otherwise the next
        // separator ends it, so a picture changed from "d" to "dd" still reads.
        const bool numberFollows = k + 1 < elements.size() && IsNumber(elements[k + 1].field);
        const size_t maxDigits = e.field == Field::FullYear ? 4 : 2;
        const size_t minDigits = e.field == Field::FullYear ? 4 : numberFollows ? e.width : 1;
        int value = 0;
        if (!ReadDigits(s, pos, minDigits, maxDigits, value)) return false;
        switch (e.field) {
            case Field::Day: day = value; break;
            case Field::Month: month = value; break;
            // Windows' default window for two-digit years: 1930..2029.
            case Field::ShortYear: year = value < 30 ? 2000 + value : 1900 + value; break;
            case Field::FullYear: year = value; break;
            case Field::Hour12: hour12 = value; break;
            case Field::Hour24: hour24 = value; break;
            case Field::Minute: minute = value; break;
            case Field::Second: second = value; break;
            default: break;
        }
    }
    if (pos != s.size()) return false;

    DateTime t;
    t.year = year;
    t.month = month;
    t.day = day;
    t.minute = minute;
    t.second = second;
    if (hour24 >= 0) {
        t.hour = hour24;
    } else if (hour12 >= 0) {
        // Without a designator that tells them apart the hour reads as the morning: never
        // later than the time written.
        if (hour12 < 1 || hour12 > 12) return false;
        t.hour = hour12 % 12 + (afternoon ? 12 : 0);
    }
    if (t.year < 1 || t.month < 1 || t.month > 12 || t.day < 1 ||
        t.day > DaysInMonth(t.year, t.month) || t.hour > 23 || t.minute > 59 || t.second > 59)
        return false;
    when = t;
    return true;
}

}  // namespace bv
