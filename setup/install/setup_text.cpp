#include "setup/install/setup_text.h"

#include <algorithm>

namespace bv {

std::string RemoveSpaces(const std::string& text) {
    std::string result = text;
    result.erase(std::remove(result.begin(), result.end(), ' '), result.end());
    return result;
}

std::string UpperCaseGerman(const std::string& text) {
    std::string result = text;
    for (char& c : result) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u >= 'a' && u <= 'z') c = static_cast<char>(u - 'a' + 'A');
        // ä ö ü -> Ä Ö Ü: 0xE4, 0xF6, 0xFC -> 0xC4, 0xD6, 0xDC
        else if (u == 0xE4 || u == 0xF6 || u == 0xFC) c = static_cast<char>(u - 0x20);
    }
    return result;
}

}  // namespace bv
