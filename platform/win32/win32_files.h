// Parts of the Win32 file backend that the tests reach directly.
#pragma once
#include <string>

namespace bv::win32 {

// The long form of an existing path, found component by component with FindFirstFileA;
// used where GetLongPathNameA is missing (Windows 95, NT 4). The path unchanged if a
// component cannot be found.
std::string LongPathByFind(const std::string& path);

// The root folder of a path's volume ("C:\", "\\server\share\"); empty if none.
std::string VolumeRoot(const std::string& path);

}  // namespace bv::win32
