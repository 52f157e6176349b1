// A wall-clock time that can be moved by seconds across day, month and year ends, and formatted.
#pragma once

#include "mlv/clipmetadata.h"

#include <cstdint>
#include <optional>
#include <string>

namespace mlv2dng {

class CivilTime
{
public:
    CivilTime(int year, int month, int day, int hour, int minute, int second);  // month 1-12

    // The wall-clock time at a block timestamp, counted from the recording's clock block (whole
    // seconds); nothing when the recording has no usable clock.
    static std::optional<CivilTime> at(const ClockInfo& clock, std::uint64_t timestamp);

    CivilTime plusSeconds(std::int64_t seconds) const;

    std::string exifDateTime() const;  // "YYYY:MM:DD HH:MM:SS"
    std::string isoDate() const;       // "YYYY-MM-DD"
    std::string isoTime() const;       // "HH:MM:SS"
    int secondsOfDay() const { return mHour * 3600 + mMinute * 60 + mSecond; }

    int year() const { return mYear; }
    int month() const { return mMonth; }
    int day() const { return mDay; }

private:
    static std::int64_t daysFromCivil(std::int64_t year, int month, int day);
    static CivilTime fromSerial(std::int64_t seconds);
    std::int64_t serial() const;

    int mYear, mMonth, mDay, mHour, mMinute, mSecond;
};

}  // namespace mlv2dng
