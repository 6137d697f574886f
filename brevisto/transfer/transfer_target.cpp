#include "brevisto/transfer/transfer_target.h"

namespace bv {

const char* const kWindowsMail = "Windows Mail";
const char* const kWindowsLiveMail = "Windows Live Mail";

}  // namespace bv
