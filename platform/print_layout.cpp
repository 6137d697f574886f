#include "platform/print_layout.h"

namespace bv {

long DotsToTwips(long dots, long dotsPerInch) {
    if (dotsPerInch <= 0) return 0;
    // 64 bits: a 2400 dpi poster page in dots times 1440 overflows 32.
    return static_cast<long>(static_cast<long long>(dots) * 1440 / dotsPerInch);
}

bool OneInchMarginLayout(long dpiX, long dpiY, long pageWidth, long pageHeight, PrintLayout& layout) {
    if (dpiX <= 0 || dpiY <= 0) return false;
    if (pageWidth <= 2 * dpiX || pageHeight <= 2 * dpiY) return false;
    layout.page = TwipsRect{0, 0, DotsToTwips(pageWidth, dpiX), DotsToTwips(pageHeight, dpiY)};
    layout.text.left = DotsToTwips(dpiX, dpiX);
    layout.text.top = DotsToTwips(dpiY, dpiY);
    layout.text.right = DotsToTwips(pageWidth - dpiX, dpiX);
    layout.text.bottom = DotsToTwips(pageHeight - dpiY, dpiY);
    return true;
}

}  // namespace bv
