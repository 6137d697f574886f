// Small value types shared by the platform seam and the portable core.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace bv {

// Windows FILETIME: 100-nanosecond intervals since 1601-01-01 UTC.
using FileTime = uint64_t;

// A broken-down local date and time (as Windows SYSTEMTIME, without the weekday).
struct DateTime {
    int year = 0;
    int month = 0;   // 1..12
    int day = 0;     // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;

    bool operator==(const DateTime& o) const {
        return year == o.year && month == o.month && day == o.day && hour == o.hour &&
               minute == o.minute && second == o.second && millisecond == o.millisecond;
    }
    bool operator!=(const DateTime& o) const { return !(*this == o); }
};

using Bytes = std::vector<uint8_t>;

// Win32 error numbers that the portable code tests for; both backends report these.
namespace WinError {
constexpr long Success = 0;
constexpr long FileNotFound = 2;
constexpr long PathNotFound = 3;
constexpr long AccessDenied = 5;
constexpr long InvalidHandle = 6;
constexpr long NotReady = 21;
constexpr long SharingViolation = 32;
constexpr long HandleDiskFull = 39;
constexpr long NotSupported = 50;
constexpr long AlreadyAssigned = 85;
constexpr long InvalidParameter = 87;
constexpr long DiskFull = 112;
constexpr long DirNotEmpty = 145;
constexpr long AlreadyExists = 183;
constexpr long MoreData = 234;
constexpr long NoMoreItems = 259;
constexpr long BadNetName = 67;
constexpr long FileExists = 80;
}  // namespace WinError

}  // namespace bv
