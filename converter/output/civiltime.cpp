#include "output/civiltime.h"

#include <cstdio>

namespace mlv2dng {

CivilTime::CivilTime(int year, int month, int day, int hour, int minute, int second)
    : mYear(year), mMonth(month), mDay(day), mHour(hour), mMinute(minute), mSecond(second)
{
}

// Days since 1970-01-01 in the proleptic Gregorian calendar; eras of 400 years keep it exact.
std::int64_t CivilTime::daysFromCivil(std::int64_t year, int month, int day)
{
    year -= month <= 2 ? 1 : 0;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const std::int64_t yearOfEra = year - era * 400;
    const std::int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

std::int64_t CivilTime::serial() const
{
    // Out-of-range day, hour, minute or second fields (day 0, minute 75) carry over; the month must be 1-12.
    return daysFromCivil(mYear, mMonth, 1) * 86400 + (static_cast<std::int64_t>(mDay) - 1) * 86400
           + static_cast<std::int64_t>(mHour) * 3600 + static_cast<std::int64_t>(mMinute) * 60 + mSecond;
}

CivilTime CivilTime::fromSerial(std::int64_t seconds)
{
    std::int64_t days = seconds / 86400;
    std::int64_t rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t dayOfEra = days - era * 146097;
    const std::int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t mp = (5 * dayOfYear + 2) / 153;
    const int day = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
    const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    const std::int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    return CivilTime(static_cast<int>(year), month, day, static_cast<int>(rest / 3600),
                     static_cast<int>(rest / 60 % 60), static_cast<int>(rest % 60));
}

std::optional<CivilTime> CivilTime::at(const ClockInfo& clock, std::uint64_t timestamp)
{
    if (!clock.present || clock.month < 0 || clock.month > 11)
        return std::nullopt;
    const std::int64_t elapsed = timestamp >= clock.timestamp
                                     ? static_cast<std::int64_t>((timestamp - clock.timestamp) / 1000000)
                                     : -static_cast<std::int64_t>((clock.timestamp - timestamp) / 1000000);
    const CivilTime start(1900 + clock.year, clock.month + 1, clock.day, clock.hour, clock.minute, clock.second);
    return start.plusSeconds(elapsed);
}

CivilTime CivilTime::plusSeconds(std::int64_t seconds) const
{
    return fromSerial(serial() + seconds);
}

std::string CivilTime::exifDateTime() const
{
    char text[32];
    std::snprintf(text, sizeof text, "%04d:%02d:%02d %02d:%02d:%02d", mYear, mMonth, mDay, mHour, mMinute, mSecond);
    return text;
}

std::string CivilTime::isoDate() const
{
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", mYear, mMonth, mDay);
    return text;
}

std::string CivilTime::isoTime() const
{
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", mHour, mMinute, mSecond);
    return text;
}

}  // namespace mlv2dng
