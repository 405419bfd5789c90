#include "VornDateTime.h"

#include <cmath>
#include <cstdio>
#include <ctime>

namespace {

// Days since 1970-01-01 of a proleptic Gregorian date, and back (the
// era-based algorithms, exact for every year of the range).
long long DaysFromCivil(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    long long era = (y >= 0 ? y : y - 399) / 400;
    unsigned yoe = static_cast<unsigned>(y - era * 400);
    unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

void CivilFromDays(long long z, long long& y, unsigned& m, unsigned& d) {
    z += 719468;
    long long era = (z >= 0 ? z : z - 146096) / 146097;
    unsigned doe = static_cast<unsigned>(z - era * 146097);
    unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = static_cast<long long>(yoe) + era * 400;
    unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y += m <= 2;
}

const double firstSecond = -62135596800.0;  // 0001-01-01T00:00:00Z
const double endSecond = 253402300800.0;    // 10000-01-01T00:00:00Z

}  // namespace

int ToISODateTime(std::string& out, double time, int parts, bool extended, bool utc) {
    out.clear();
    if (!std::isfinite(time) || parts < VornDateOnly || parts > VornDateAndTime) return -1;
    double whole = std::floor(time);
    if (!utc) {
        // Local time: let the C library apply the zone rules of that instant.
        std::time_t t = static_cast<std::time_t>(whole);
        std::tm local{};
        std::tm universal{};
        if (localtime_r(&t, &local) == nullptr || gmtime_r(&t, &universal) == nullptr) return -1;
        long long offset =
            (DaysFromCivil(local.tm_year + 1900LL, static_cast<unsigned>(local.tm_mon + 1),
                           static_cast<unsigned>(local.tm_mday)) -
             DaysFromCivil(universal.tm_year + 1900LL, static_cast<unsigned>(universal.tm_mon + 1),
                           static_cast<unsigned>(universal.tm_mday))) *
                86400LL +
            (local.tm_hour - universal.tm_hour) * 3600LL +
            (local.tm_min - universal.tm_min) * 60LL + (local.tm_sec - universal.tm_sec);
        whole += static_cast<double>(offset);
    }
    if (whole < firstSecond || whole >= endSecond) return -1;
    long long seconds = static_cast<long long>(whole);
    long long days = seconds >= 0 ? seconds / 86400 : -((-seconds + 86399) / 86400);
    long long ofDay = seconds - days * 86400;
    long long year;
    unsigned month, day;
    CivilFromDays(days, year, month, day);
    char date[48], clock[48];  // room for any value the formats can take
    std::snprintf(date, sizeof date, extended ? "%04lld-%02u-%02u" : "%04lld%02u%02u", year, month,
                  day);
    std::snprintf(clock, sizeof clock, extended ? "%02lld:%02lld:%02lld" : "%02lld%02lld%02lld",
                  ofDay / 3600, ofDay / 60 % 60, ofDay % 60);
    if (parts != VornTimeOnly) out += date;
    if (parts == VornDateAndTime) out += 'T';
    if (parts != VornDateOnly) out += clock;
    if (utc && parts != VornDateOnly) out += 'Z';
    return 0;
}

namespace {

bool Digits(const std::string& s, size_t& i, size_t n, int& value) {
    if (i + n > s.size()) return false;
    value = 0;
    for (size_t k = 0; k < n; ++k) {
        char c = s[i + k];
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    i += n;
    return true;
}

bool Expect(const std::string& s, size_t& i, char c) {
    if (i >= s.size() || s[i] != c) return false;
    ++i;
    return true;
}

}  // namespace

bool ParseISODateTime(const std::string& text, double& seconds) {
    size_t i = 0;
    int y, mo, d, h = 0, mi = 0, s = 0;
    if (!Digits(text, i, 4, y) || !Expect(text, i, '-') || !Digits(text, i, 2, mo) ||
        !Expect(text, i, '-') || !Digits(text, i, 2, d))
        return false;
    static const int monthDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    if (y < 1 || mo < 1 || mo > 12 || d < 1 || d > monthDays[mo - 1] ||
        (mo == 2 && d == 29 && !leap))
        return false;
    double fraction = 0;
    long offset = 0;
    if (i < text.size()) {
        if (!Expect(text, i, 'T') || !Digits(text, i, 2, h) || !Expect(text, i, ':') ||
            !Digits(text, i, 2, mi) || !Expect(text, i, ':') || !Digits(text, i, 2, s))
            return false;
        if (h > 23 || mi > 59 || s > 59) return false;
        if (i < text.size() && text[i] == '.') {
            ++i;
            double scale = 0.1;
            size_t start = i;
            for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, scale /= 10)
                fraction += (text[i] - '0') * scale;
            if (i == start) return false;
        }
        if (i < text.size()) {
            if (text[i] == 'Z') {
                ++i;
            } else if (text[i] == '+' || text[i] == '-') {
                int sign = text[i] == '+' ? 1 : -1, oh, om;
                ++i;
                if (!Digits(text, i, 2, oh) || !Expect(text, i, ':') || !Digits(text, i, 2, om) ||
                    oh > 14 || om > 59)
                    return false;
                offset = sign * (oh * 3600L + om * 60L);
            } else {
                return false;
            }
        }
        if (i != text.size()) return false;
    }
    long long days = DaysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d));
    seconds = static_cast<double>(days * 86400LL + h * 3600LL + mi * 60LL + s - offset) + fraction;
    return true;
}
