// The run-time library's conversion error: a text that does not read as a number.
#pragma once
#include <stdexcept>

namespace bv {

class EConvertError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace bv
