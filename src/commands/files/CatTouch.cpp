#include "commands/files/CatTouch.h"

#include "app/Exceptions.h"
#include "app/Text.h"
#include "commands/PathPolicy.h"
#include "commands/files/DirectoryListing.h"
#include "commands/files/FileHelpers.h"
#include "commands/files/OpenFile.h"
#include "platform/Handle.h"
#include "platform/Platform.h"

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

namespace {

// The standard-output handle of the process, duplicated so that writes bypass the C runtime's
// text conversion.
platform::Handle rawStandardOutput() {
    HANDLE duplicate = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), GetStdHandle(STD_OUTPUT_HANDLE), GetCurrentProcess(), &duplicate, 0,
                         FALSE, DUPLICATE_SAME_ACCESS))
        raiseRunTimeError(GetLastError(), L"Unable to duplicate console output handle");
    platform::Handle output(duplicate);
    SetConsoleMode(output.get(), 0); // fails harmlessly on a pipe or a file
    return output;
}

// False when the reader has gone away (the pipe is broken): nothing more can be delivered.
bool writeAll(HANDLE output, const char* bytes, DWORD count) {
    DWORD written = 0;
    if (!WriteFile(output, bytes, count, &written, nullptr)) {
        DWORD error = GetLastError();
        if (error == ERROR_BROKEN_PIPE || error == ERROR_NO_DATA) return false;
        raiseRunTimeError(error, L"Unable to write to file");
    }
    if (written != count)
        raiseRunTimeError(0, L"Unable to write to file (%d) bytes, written only (%d) bytes", static_cast<int>(count),
                          static_cast<int>(written));
    return true;
}

} // namespace

void CatFiles::execute() {
    platform::FileHandle file = files::openFile(normal(0), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN | FILE_ATTRIBUTE_NORMAL, 1);
    platform::Handle output = rawStandardOutput();
    char buffer[4096];
    char last = '\n';
    bool empty = true;
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr)) {
            DWORD error = GetLastError();
            if (error != ERROR_BROKEN_PIPE) raiseRunTimeError(error, L"Unable to read file");
        }
        if (read == 0) break;
        empty = false;
        last = buffer[read - 1];
        if (!writeAll(output.get(), buffer, read)) return;
    }
    if (empty || last != '\n') writeAll(output.get(), "\n", 1);
}

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
    givenPath = path;
    if (!reference.empty()) inputs.insert(inputs.begin(), reference);
    return true;
}

void TouchFiles::checkInput(size_t index) {
    if (index == 0 && !reference.empty() && !files::exists(normal(0)))
        raiseRunTimeError(0, L"The reference (%s) is not exist", givenReference_);
}

namespace {

// The reference's last-access or last-write time as its directory entry holds it.
int64_t referenceSeconds(const paths::NormalPath& path, bool access) {
    WIN32_FIND_DATAW data;
    platform::FindScope find;
    if (DWORD error = platform::current().findFirstFile(path, &data, find.receive()))
        raiseRunTimeError(error, L"Unable to read directory (%s)", text::displayPath(path));
    return files::unixSeconds(access ? data.ftLastAccessTime : data.ftLastWriteTime);
}

FILETIME fileTimeOf(int64_t seconds) {
    __time64_t t = seconds;
    tm utc{};
    if (_gmtime64_s(&utc, &t) != 0)
        raiseRunTimeError(ERROR_INVALID_PARAMETER, L"Fail to convert system time (%s)", std::to_wstring(seconds));
    SYSTEMTIME system{};
    system.wYear = static_cast<WORD>(utc.tm_year + 1900);
    system.wMonth = static_cast<WORD>(utc.tm_mon + 1);
    system.wDayOfWeek = static_cast<WORD>(utc.tm_wday);
    system.wDay = static_cast<WORD>(utc.tm_mday);
    system.wHour = static_cast<WORD>(utc.tm_hour);
    system.wMinute = static_cast<WORD>(utc.tm_min);
    system.wSecond = static_cast<WORD>(utc.tm_sec);
    FILETIME result{};
    if (!SystemTimeToFileTime(&system, &result)) {
        DWORD error = GetLastError();
        std::wstring calendar = _wasctime(&utc);
        while (!calendar.empty() && calendar.back() == L'\n') calendar.pop_back();
        raiseRunTimeError(error, L"Fail to convert system time (%s)", calendar);
    }
    return result;
}

} // namespace

void TouchFiles::execute() {
    const bool access = timeSelector & 2;
    int64_t seconds = stamp == -1 ? _time64(nullptr) : stamp;
    if (!reference.empty()) seconds = referenceSeconds(normal(0), access);
    const FILETIME when = fileTimeOf(seconds);
    platform::FileHandle file =
        files::openFile(normal(inputs.size() - 1), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, 15);
    if (platform::current().setFileTime(file.get(), nullptr, access ? &when : nullptr, access ? nullptr : &when))
        raiseRunTimeError(0, L"Unable to set a timestamp to the file (%s)", givenPath);
}
