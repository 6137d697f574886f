// Printing plain text: a hidden rich edit control lays the lines out page by page on a
// printer's device context with one inch of margin on every side.
#pragma once
#include <string>
#include <vector>

#include "platform/print_layout.h"
#include "platform/win32/win32_api.h"

namespace bv::win32 {

// A device context for the default printer; null when there is none. DeleteDC it.
HDC DefaultPrinterDc();

// The text of the lines (joined by line breaks) in a hidden rich edit control.
class TextLayout {
public:
    explicit TextLayout(const std::vector<std::string>& lines);
    ~TextLayout();
    TextLayout(const TextLayout&) = delete;
    TextLayout& operator=(const TextLayout&) = delete;

    // False when no rich edit control could be made or it refused the text.
    bool ok() const { return ok_; }
    // Characters as the control counts them (a line break is one).
    long Length() const;
    // Lays out (and with `render` draws) the page of `dc` that starts at character `from`;
    // the first character of the next page. The layout is in twips of that device.
    long FormatPage(HDC dc, const PrintLayout& layout, long from, bool render);

private:
    HWND control_ = nullptr;
    bool ok_ = false;
    bool formatted_ = false;
};

// Prints the lines as one job under the title on the printer's device context; false on
// any failure (the job is then aborted).
bool PrintLines(HDC printer, const std::vector<std::string>& lines, const std::string& jobTitle);

}  // namespace bv::win32
