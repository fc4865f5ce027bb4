#include "commands/files/CatTouch.h"

#include "app/Exceptions.h"
#include "app/Text.h"
#include "commands/files/FileHelpers.h"

#include <ctime>

namespace touchstamp {
namespace {

bool allDigits(std::string_view s) {
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

// The two-digit number at `at`.
int pair(std::string_view s, size_t at) { return (s[at] - '0') * 10 + (s[at + 1] - '0'); }

int centuryOf(int yy) { return yy >= 69 ? 1900 + yy : 2000 + yy; }

} // namespace

std::optional<Fields> parseFields(std::string_view stamp, bool obsolescent, int currentYear) {
    std::string_view digits = stamp, seconds;
    if (!obsolescent) {
        size_t dot = stamp.find('.');
        if (dot != std::string_view::npos) {
            digits = stamp.substr(0, dot);
            seconds = stamp.substr(dot + 1);
            if (seconds.size() != 2 || !allDigits(seconds)) return std::nullopt;
        }
    }
    if (!allDigits(digits)) return std::nullopt;
    Fields f;
    f.year = currentYear;
    size_t n = digits.size();
    if (obsolescent) {
        if (n != 8 && n != 10) return std::nullopt;
        if (n == 10) f.year = centuryOf(pair(digits, 8));
        digits = digits.substr(0, 8);
    } else {
        if (n != 8 && n != 10 && n != 12) return std::nullopt;
        if (n == 10) f.year = centuryOf(pair(digits, 0));
        if (n == 12) f.year = pair(digits, 0) * 100 + pair(digits, 2);
        if (f.year < 1900) return std::nullopt;
        digits = digits.substr(n - 8);
    }
    f.month = pair(digits, 0);
    f.day = pair(digits, 2);
    f.hour = pair(digits, 4);
    f.minute = pair(digits, 6);
    f.second = seconds.empty() ? 0 : pair(seconds, 0);
    if (f.month < 1 || f.month > 12 || f.day < 1 || f.day > 31 || f.hour > 23 || f.minute > 59 || f.second > 61)
        return std::nullopt;
    return f;
}

int64_t localSeconds(const Fields& fields) {
    tm t{};
    t.tm_year = fields.year - 1900;
    t.tm_mon = fields.month - 1;
    t.tm_mday = fields.day;
    t.tm_hour = fields.hour;
    t.tm_min = fields.minute;
    t.tm_sec = fields.second;
    t.tm_isdst = -1; // daylight saving as the runtime decides for that date
    return _mktime64(&t);
}

int64_t parse(std::string_view stamp, bool obsolescent) {
    __time64_t now = _time64(nullptr);
    tm local{};
    _localtime64_s(&local, &now);
    std::optional<Fields> fields = parseFields(stamp, obsolescent, local.tm_year + 1900);
    int64_t seconds = fields ? localSeconds(*fields) : -1;
    if (seconds == -1) raiseRunTimeError(0, L"Invalid date format (%s)", text::fromAnsi(stamp));
    return seconds;
}

} // namespace touchstamp

namespace {

const option catOptions[] = {{"help", no_argument, nullptr, 'f'}, {nullptr, 0, nullptr, 0}};
const option touchOptions[] = {{"no-create", no_argument, nullptr, 'c'},
                               {"date", required_argument, nullptr, 'd'},
                               {"reference", required_argument, nullptr, 'r'},
                               {nullptr, 0, nullptr, 0}};

} // namespace

CatFiles::CatFiles() : GetoptCommand(L"cat", L"Usage:\ncat [-][file]...\n", "h", catOptions) {}

bool CatFiles::takeOption(int c, const char*) { return c == 'h'; }

bool CatFiles::takeOperands(const Operands& operands) {
    return takeSinglePath(operands, path);
}

void CatFiles::execute() { notAvailable(); }

TouchFiles::TouchFiles()
    : GetoptCommand(L"touch",
                    L"Usage:\ntouch [OPTION]... FILE...\n\tor: [-acm] MMDDhhmm[YY] FILE... (obsolescent)\n\tUpdate the "
                    L"access and modification times of each FILE\n\t-a                     change only the access "
                    L"time\n\t-c, --no-create        do not create any files\n\t-f                     "
                    L"(ignored)\n\t-m                     change only the modification time\n\t-r, "
                    L"--reference=FILE   use this file's times instead of current time\n\t-t STAMP               "
                    L"use [[CC]YY]MMDDhhmm[.ss] instead of current time",
                    "acfmr:t:", touchOptions) {}

bool TouchFiles::takeOption(int c, const char* argument) {
    switch (c) {
    case 'a':
        timeSelector |= 2;
        return true;
    case 'm':
        timeSelector |= 1;
        return true;
    case 'c':
        noCreate = true;
        return true;
    case 'f':
    case 0:
        return true;
    case 'r':
        reference = givenReference_ = text::fromAnsi(argument);
        return true;
    case 't':
        stamp = touchstamp::parse(argument, false);
        return true;
    default: // --date among them
        return false;
    }
}

bool TouchFiles::takeOperands(const Operands& operands) {
    size_t first = 0;
    // The obsolescent form: "-- MMDDhhmm[YY] FILE" when no -t was given.
    if (stamp == -1 && operands.size() >= 2 && operands.afterDoubleDash) {
        stamp = touchstamp::parse(operands.narrow[0], true);
        first = 1;
    }
    if (!takeSinglePath(operands, path, first)) return false;
    if (!reference.empty()) inputs.insert(inputs.begin(), &reference);
    return true;
}

void TouchFiles::checkInput(size_t index) {
    if (index == 0 && !reference.empty() && !files::exists(reference))
        raiseRunTimeError(0, L"The reference (%s) is not exist", givenReference_);
}

void TouchFiles::execute() { notAvailable(); }
