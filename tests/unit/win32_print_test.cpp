// Printing the report through the Win32 backend (Windows build only). Wine has no
// printers here, so the real job is only run where a default printer exists and the
// tester asked for paper; the page layout runs on a screen-compatible device instead.
#ifdef _WIN32
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/win32/win32_api.h"
#include "platform/win32/win32_functions.h"
#include "platform/win32/win32_print.h"
#include "tests/support/test_platform.h"

namespace bv {
namespace {

int ThreadWindowCount() {
    int count = 0;
    EnumThreadWindows(GetCurrentThreadId(), [](HWND, LPARAM p) -> BOOL {
        ++*reinterpret_cast<int*>(p);
        return TRUE;
    }, reinterpret_cast<LPARAM>(&count));
    return count;
}

// GDI objects of this process; 0 where the system does not count them (Windows 9x, Wine).
DWORD GdiObjects() {
    static const auto count = GET_WINDOWS_FUNCTION("user32.dll", GetGuiResources);
    return count ? count(GetCurrentProcess(), GR_GDIOBJECTS) : 0;
}

std::vector<std::string> ReportLines(int count) {
    std::vector<std::string> lines;
    for (int i = 1; i <= count; ++i) lines.push_back("Zeile " + std::to_string(i) + ": Posteingang.dbx gesichert");
    return lines;
}

// A page of A4 as a 600 dpi printer reports it, for a device without a printer.
PrintLayout A4At600Dpi() {
    PrintLayout layout;
    EXPECT_TRUE(OneInchMarginLayout(600, 600, 4960, 7014, layout));
    return layout;
}

TEST(Win32PrintTest, WithoutDefaultPrinterPrintingFailsAndLeavesNothingBehind) {
    HDC probe = win32::DefaultPrinterDc();
    if (probe) {
        DeleteDC(probe);
        GTEST_SKIP() << "a default printer exists; the failure path needs a system without one";
    }
    test::TestPlatform tp;
    const int windows = ThreadWindowCount();
    const DWORD gdi = GdiObjects();
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(tp.system().PrintText(ReportLines(5), "Brevisto - Backupreport wird gedruckt..."));
    EXPECT_EQ(windows, ThreadWindowCount());
    EXPECT_EQ(gdi, GdiObjects());
}

TEST(Win32PrintTest, WithDefaultPrinterTheReportIsPrinted) {
    HDC probe = win32::DefaultPrinterDc();
    if (!probe) GTEST_SKIP() << "no default printer (Wine without CUPS has none)";
    DeleteDC(probe);
    // Paper only on request: a test run must not empty the tray of a real printer.
    if (!getenv("BREVISTO_PRINT_TEST")) GTEST_SKIP() << "set BREVISTO_PRINT_TEST=1 to print two pages";
    test::TestPlatform tp;
    const int windows = ThreadWindowCount();
    EXPECT_TRUE(tp.system().PrintText(ReportLines(100), "Brevisto - Testdruck"));
    EXPECT_EQ(windows, ThreadWindowCount());
}

class Win32TextLayoutTest : public ::testing::Test {
protected:
    void SetUp() override {
        dc = CreateCompatibleDC(nullptr);
        ASSERT_NE(nullptr, dc);
        // Wine's rich edit control lays nothing out on a memory device; the page arithmetic
        // itself is tested natively (print_layout_test).
        win32::TextLayout probe(ReportLines(1));
        if (probe.ok() && probe.FormatPage(dc, layout, 0, false) == 0)
            GTEST_SKIP() << "the rich edit control lays out no text on a memory device here (Wine)";
    }
    void TearDown() override {
        if (dc) DeleteDC(dc);
    }
    // The first character of every page, measured without drawing.
    std::vector<long> PageStarts(win32::TextLayout& text) {
        std::vector<long> starts;
        const long length = text.Length();
        long next = 0;
        do {
            starts.push_back(next);
            long after = text.FormatPage(dc, layout, next, false);
            if (after <= next || starts.size() > 100) break;
            next = after;
        } while (next < length);
        return starts;
    }
    HDC dc = nullptr;
    PrintLayout layout = A4At600Dpi();
};

TEST_F(Win32TextLayoutTest, ShortReportFitsOnePage) {
    win32::TextLayout text(ReportLines(3));
    ASSERT_TRUE(text.ok());
    // Three lines of 35 characters, two line breaks counted as one character each.
    EXPECT_EQ(3 * 35 + 2, text.Length());
    EXPECT_EQ(std::vector<long>{0}, PageStarts(text));
    EXPECT_EQ(text.Length(), text.FormatPage(dc, layout, 0, false));
}

TEST_F(Win32TextLayoutTest, LongReportIsSplitIntoSeveralPages) {
    // 10 point lines on 9.7 inches of A4 text height: some 60 lines a page.
    win32::TextLayout text(ReportLines(200));
    ASSERT_TRUE(text.ok());
    std::vector<long> starts = PageStarts(text);
    ASSERT_GE(starts.size(), 3u);
    ASSERT_LE(starts.size(), 5u);
    for (size_t i = 1; i < starts.size(); ++i) EXPECT_GT(starts[i], starts[i - 1]);
    EXPECT_EQ(text.Length(), text.FormatPage(dc, layout, starts.back(), false));
}

TEST_F(Win32TextLayoutTest, NarrowerTextAreaNeedsMorePages) {
    win32::TextLayout text(ReportLines(200));
    ASSERT_TRUE(text.ok());
    const size_t a4 = PageStarts(text).size();
    // A5 at 600 dpi: about half the height.
    ASSERT_TRUE(OneInchMarginLayout(600, 600, 3496, 4960, layout));
    EXPECT_GT(PageStarts(text).size(), a4);
}

TEST_F(Win32TextLayoutTest, EmptyReportIsOneEmptyPage) {
    win32::TextLayout text({});
    ASSERT_TRUE(text.ok());
    EXPECT_EQ(0, text.Length());
    EXPECT_EQ(std::vector<long>{0}, PageStarts(text));
}

TEST_F(Win32TextLayoutTest, TheHiddenControlIsGoneAfterwards) {
    // The library's own helper windows appear with its first control and stay; only the
    // control must go.
    { win32::TextLayout first(ReportLines(1)); }
    const int windows = ThreadWindowCount();
    {
        win32::TextLayout text(ReportLines(50));
        ASSERT_TRUE(text.ok());
        EXPECT_EQ(windows + 1, ThreadWindowCount());
        PageStarts(text);
    }
    EXPECT_EQ(windows, ThreadWindowCount());
}

}  // namespace
}  // namespace bv
#endif
