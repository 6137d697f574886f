// Date-time texts by the user's Windows pictures: writing, reading back, the German form
// as the fallback, and each backend reading its own DateTimeText.
#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "brevisto/backup/mail_folder_tree.h"
#include "platform/locale_date.h"
#include "platform/posix/posix_platform.h"
#include "tests/support/test_platform.h"

namespace bv {
namespace {

const LocaleDateFormats kGerman{"dd.MM.yyyy", "HH:mm:ss", "", ""};
const LocaleDateFormats kEnglishUs{"M/d/yyyy", "h:mm:ss tt", "AM", "PM"};
const LocaleDateFormats kIso{"yyyy-MM-dd", "HH:mm:ss", "", ""};
const LocaleDateFormats kTwoDigitYear{"dd.MM.yy", "HH:mm", "", ""};
const LocaleDateFormats kOneLetterMarker{"M/d/yyyy", "h:mm t", "AM", "PM"};
const LocaleDateFormats kNoSeparators{"yyyyMMdd", "HHmmss", "", ""};
const LocaleDateFormats kQuoted{"dd''MM''yyyy", "HH' Uhr 'mm", "", ""};
// A 12-hour clock whose designators are empty cannot tell the afternoon.
const LocaleDateFormats kTwelveHoursNoMarker{"dd.MM.yyyy", "h:mm:ss tt", "", ""};
const LocaleDateFormats kDayName{"ddd, dd.MM.yyyy", "HH:mm:ss", "", ""};
const LocaleDateFormats kMonthName{"d. MMMM yyyy", "HH:mm:ss", "", ""};
const LocaleDateFormats kEra{"gg yyyy-MM-dd", "HH:mm:ss", "", ""};

DateTime At(int year, int month, int day, int hour, int minute, int second) {
    return DateTime{year, month, day, hour, minute, second, 0};
}

TEST(LocaleDate, ReadsTextsByThePictures) {
    struct Case {
        const char* title;
        const LocaleDateFormats& formats;
        const char* text;
        std::optional<DateTime> expected;
    };
    const std::vector<Case> cases = {
        {"US evening", kEnglishUs, "12/8/2026 9:05:07 PM", At(2026, 12, 8, 21, 5, 7)},
        {"US morning", kEnglishUs, "12/8/2026 9:05:07 AM", At(2026, 12, 8, 9, 5, 7)},
        {"US midnight", kEnglishUs, "1/1/2026 12:00:00 AM", At(2026, 1, 1, 0, 0, 0)},
        {"US noon", kEnglishUs, "1/1/2026 12:30:00 PM", At(2026, 1, 1, 12, 30, 0)},
        {"US designator in other case", kEnglishUs, "1/1/2026 12:30:00 pm", At(2026, 1, 1, 12, 30, 0)},
        {"US leap day", kEnglishUs, "2/29/2024 11:59:59 PM", At(2024, 2, 29, 23, 59, 59)},
        {"US extra blanks", kEnglishUs, " 12/8/2026  9:05:07 PM ", At(2026, 12, 8, 21, 5, 7)},
        {"US leading zeros", kEnglishUs, "01/08/2026 09:05:07 AM", At(2026, 1, 8, 9, 5, 7)},
        {"US no leap day", kEnglishUs, "2/29/2023 11:59:59 PM", std::nullopt},
        {"US month 13", kEnglishUs, "13/1/2026 9:05:07 AM", std::nullopt},
        {"US hour 13", kEnglishUs, "1/1/2026 13:05:07 PM", std::nullopt},
        {"US hour 0", kEnglishUs, "1/1/2026 0:05:07 AM", std::nullopt},
        {"US without designator", kEnglishUs, "1/1/2026 9:05:07", std::nullopt},
        {"US unknown designator", kEnglishUs, "1/1/2026 9:05:07 XM", std::nullopt},
        {"US pictures, German text", kEnglishUs, "08.12.2026 21:05:07", std::nullopt},
        {"ISO", kIso, "2026-12-10 21:05:07", At(2026, 12, 10, 21, 5, 7)},
        {"ISO second 60", kIso, "2026-12-10 21:05:60", std::nullopt},
        {"ISO minute 60", kIso, "2026-12-10 21:60:00", std::nullopt},
        {"ISO hour 24", kIso, "2026-12-10 24:00:00", std::nullopt},
        {"ISO April 31", kIso, "2026-04-31 10:00:00", std::nullopt},
        {"ISO day 0", kIso, "2026-12-00 10:00:00", std::nullopt},
        {"ISO with T", kIso, "2026-12-10T21:05:07", std::nullopt},
        {"ISO short year", kIso, "26-12-10 21:05:07", std::nullopt},
        {"ISO trailing word", kIso, "2026-12-10 21:05:07 Uhr", std::nullopt},
        {"ISO without time", kIso, "2026-12-10", std::nullopt},
        {"German", kGerman, "08.12.2026 21:47:05", At(2026, 12, 8, 21, 47, 5)},
        {"German without leading zeros", kGerman, "8.1.2026 7:05:09", At(2026, 1, 8, 7, 5, 9)},
        {"German pictures, US text", kGerman, "12/8/2026 9:05:07 PM", std::nullopt},
        {"two-digit year 29", kTwoDigitYear, "08.12.29 21:47", At(2029, 12, 8, 21, 47, 0)},
        {"two-digit year 30", kTwoDigitYear, "08.12.30 21:47", At(1930, 12, 8, 21, 47, 0)},
        {"two-digit year 00", kTwoDigitYear, "29.02.00 00:00", At(2000, 2, 29, 0, 0, 0)},
        {"two-digit picture, four digits", kTwoDigitYear, "08.12.2026 21:47", std::nullopt},
        {"one-letter designator", kOneLetterMarker, "12/8/2026 9:05 P", At(2026, 12, 8, 21, 5, 0)},
        {"one-letter designator in full", kOneLetterMarker, "12/8/2026 9:05 PM", std::nullopt},
        {"no separators", kNoSeparators, "20261208 210507", At(2026, 12, 8, 21, 5, 7)},
        {"no separators, digit missing", kNoSeparators, "202612 210507", std::nullopt},
        {"quoted text", kQuoted, "08'12'2026 21 Uhr 05", At(2026, 12, 8, 21, 5, 0)},
        {"quoted text missing", kQuoted, "08'12'2026 21:05", std::nullopt},
        {"12 hours, no designators", kTwelveHoursNoMarker, "08.12.2026 9:05:07", At(2026, 12, 8, 9, 5, 7)},
        {"12 hours, no designators, 12", kTwelveHoursNoMarker, "08.12.2026 12:05:07", At(2026, 12, 8, 0, 5, 7)},
        {"day name", kDayName, "Di, 08.12.2026 21:05:07", std::nullopt},
        {"month name", kMonthName, "8. Dezember 2026 21:05:07", std::nullopt},
        {"era", kEra, "n. Chr. 2026-12-08 21:05:07", std::nullopt},
        {"empty", kGerman, "", std::nullopt},
        {"blanks", kGerman, "   ", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        DateTime when{1, 1, 1, 1, 1, 1, 1};
        const DateTime untouched = when;
        EXPECT_EQ(ParseLocaleDateTime(c.formats, c.text, when), c.expected.has_value());
        EXPECT_EQ(when, c.expected.value_or(untouched));
    }
}

TEST(LocaleDate, WritesTextsByThePictures) {
    struct Case {
        const LocaleDateFormats& formats;
        DateTime when;
        std::optional<std::string> expected;
    };
    const std::vector<Case> cases = {
        {kEnglishUs, At(2026, 12, 8, 21, 5, 7), "12/8/2026 9:05:07 PM"},
        {kEnglishUs, At(2026, 1, 1, 0, 0, 0), "1/1/2026 12:00:00 AM"},
        {kEnglishUs, At(2026, 1, 1, 12, 30, 0), "1/1/2026 12:30:00 PM"},
        {kEnglishUs, At(2026, 1, 1, 11, 59, 59), "1/1/2026 11:59:59 AM"},
        {kIso, At(2026, 1, 8, 7, 5, 9), "2026-01-08 07:05:09"},
        {kGerman, At(2026, 12, 8, 7, 5, 9), "08.12.2026 07:05:09"},
        {kTwoDigitYear, At(2005, 3, 4, 5, 6, 7), "04.03.05 05:06"},
        {kOneLetterMarker, At(2026, 12, 8, 9, 5, 0), "12/8/2026 9:05 A"},
        {kNoSeparators, At(2026, 1, 2, 3, 4, 5), "20260102 030405"},
        {kQuoted, At(2026, 12, 8, 21, 5, 0), "08'12'2026 21 Uhr 05"},
        {kTwelveHoursNoMarker, At(2026, 12, 8, 21, 5, 7), "08.12.2026 9:05:07 "},
        {kDayName, At(2026, 12, 8, 21, 5, 7), std::nullopt},
        {kMonthName, At(2026, 12, 8, 21, 5, 7), std::nullopt},
        {kEra, At(2026, 12, 8, 21, 5, 7), std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.formats.shortDate + " " + c.formats.timeFormat);
        std::string text = "unverändert";
        EXPECT_EQ(FormatLocaleDateTime(c.formats, c.when, text), c.expected.has_value());
        EXPECT_EQ(text, c.expected.value_or("unverändert"));
    }
}

TEST(LocaleDate, WrittenTextsReadBack) {
    const LocaleDateFormats twoDigitWithSeconds{"d/M/yy", "HH:mm:ss", "", ""};
    const std::vector<const LocaleDateFormats*> formats = {
        &kGerman, &kEnglishUs, &kIso, &kNoSeparators, &twoDigitWithSeconds,
        &kOneLetterMarker, &kQuoted};
    const std::vector<DateTime> times = {
        At(2026, 12, 8, 21, 5, 7), At(2026, 1, 1, 0, 0, 0),  At(2026, 1, 1, 12, 0, 0),
        At(2026, 1, 1, 13, 0, 0),  At(2024, 2, 29, 23, 59, 59), At(2029, 12, 31, 11, 59, 59),
        At(1930, 1, 9, 1, 2, 3)};
    for (const LocaleDateFormats* f : formats) {
        for (const DateTime& when : times) {
            std::string text;
            ASSERT_TRUE(FormatLocaleDateTime(*f, when, text));
            SCOPED_TRACE(text);
            DateTime back;
            ASSERT_TRUE(ParseLocaleDateTime(*f, text, back));
            // Pictures without seconds keep the minute only.
            DateTime expected = when;
            if (f->timeFormat.find('s') == std::string::npos) expected.second = 0;
            EXPECT_EQ(back, expected);
        }
    }
}

TEST(LocaleDate, StoredTimeReadsByTheUsersPicturesOrInGerman) {
    struct Case {
        const LocaleDateFormats& formats;
        const char* text;
        std::optional<DateTime> expected;
    };
    const std::vector<Case> cases = {
        {kEnglishUs, "6/10/2024 9:05:07 PM", At(2024, 6, 10, 21, 5, 7)},
        // Written before the user switched from German settings.
        {kEnglishUs, "10.06.2024 21:05:07", At(2024, 6, 10, 21, 5, 7)},
        {kEnglishUs, "10.06.2024", At(2024, 6, 10, 0, 0, 0)},
        {kIso, "2024-06-10 21:05:07", At(2024, 6, 10, 21, 5, 7)},
        {kIso, "10.06.2024 21:05", At(2024, 6, 10, 21, 5, 0)},
        {kGerman, "10.06.2024 21:05:07", At(2024, 6, 10, 21, 5, 7)},
        {kTwoDigitYear, "10.06.24 21:05", At(2024, 6, 10, 21, 5, 0)},
        {kEnglishUs, "2024-06-10 21:05:07", std::nullopt},
        {kIso, "6/10/2024 9:05:07 PM", std::nullopt},
        {kGerman, "gestern", std::nullopt},
        {kDayName, "Mo, 10.06.2024 21:05:07", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        DateTime when{1, 1, 1, 1, 1, 1, 1};
        const DateTime untouched = when;
        EXPECT_EQ(ReadDateTimeText(c.text, c.formats, when), c.expected.has_value());
        EXPECT_EQ(when, c.expected.value_or(untouched));
    }
}

// Whatever the user's settings, the backend's own text of a time reads back with its own
// pictures: on Windows through GetDateFormatA/GetTimeFormatA and GetLocaleInfoA.
TEST(LocaleDate, TheSystemsTextReadsBackWithItsOwnPictures) {
    test::TestPlatform tp;
    DateTime now = tp.system().LocalNow();
    now.millisecond = 0;
    const LocaleDateFormats formats = tp.system().DateFormats();
    SCOPED_TRACE(formats.shortDate + " | " + formats.timeFormat);
    // Now, an evening, midnight and noon (where 12-hour clocks turn).
    for (DateTime when : {now, At(2026, 12, 8, 21, 5, 7), At(2026, 1, 1, 0, 0, 0),
                          At(2024, 2, 29, 12, 30, 59)}) {
        const std::string text = tp.system().DateTimeText(when);
        SCOPED_TRACE(text);
        DateTime back;
        ASSERT_TRUE(ParseLocaleDateTime(formats, text, back));
        // A picture may leave out the seconds.
        if (formats.timeFormat.find('s') == std::string::npos) when.second = 0;
        EXPECT_EQ(back, when);
    }
}

TEST(LocaleDate, PosixBackendWritesByTheSetPictures) {
    test::TestPlatform tp;
    if (!tp.Posix()) GTEST_SKIP() << "the pictures are the real system's on Windows";
    System& system = tp.system();
    EXPECT_EQ(system.DateFormats().shortDate, "dd.MM.yyyy");
    EXPECT_EQ(system.DateFormats().timeFormat, "HH:mm:ss");
    const DateTime when = At(2026, 12, 8, 21, 5, 7);
    struct Case {
        const LocaleDateFormats& formats;
        const char* text;
    };
    // Pictures with names fall back to the German form, which still reads back.
    const std::vector<Case> cases = {{kEnglishUs, "12/8/2026 9:05:07 PM"},
                                     {kIso, "2026-12-08 21:05:07"},
                                     {kMonthName, "08.12.2026 21:05:07"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        tp.Posix()->system.dateFormats = c.formats;
        EXPECT_EQ(system.DateTimeText(when), c.text);
        DateTime back;
        EXPECT_TRUE(ReadDateTimeText(system.DateTimeText(when), system.DateFormats(), back));
        EXPECT_EQ(back, when);
    }
}

}  // namespace
}  // namespace bv
