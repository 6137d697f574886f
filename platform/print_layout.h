// Where printed text goes on a page: the arithmetic of the report printout, apart from
// the printer so it can be checked without one.
#pragma once

namespace bv {

// A rectangle in twips (1/1440 inch), the unit of a rich edit control's page layout.
struct TwipsRect {
    long left = 0;
    long top = 0;
    long right = 0;
    long bottom = 0;
};

struct PrintLayout {
    TwipsRect page;  // the whole printable page
    TwipsRect text;  // the page less one inch on every side
};

// Printer dots to twips at the printer's resolution (dots per inch).
long DotsToTwips(long dots, long dotsPerInch);

// The layout of a page `pageWidth` x `pageHeight` dots at `dpiX` x `dpiY`; false when the
// printer reports nonsense or the page is too small to keep one inch on every side.
bool OneInchMarginLayout(long dpiX, long dpiY, long pageWidth, long pageHeight, PrintLayout& layout);

}  // namespace bv
