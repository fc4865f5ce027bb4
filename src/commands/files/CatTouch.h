// cat and touch, and the parsing of touch's time stamps.
#pragma once
#include "commands/files/ArgumentCommands.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace touchstamp {

struct Fields {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// [[CC]YY]MMDDhhmm[.ss], or with `obsolescent` MMDDhhmm[YY]; nothing when the text does not
// parse or a field is out of range. Without a year, `currentYear` is taken.
std::optional<Fields> parseFields(std::string_view stamp, bool obsolescent, int currentYear);
// Seconds since 1970 of the fields read as local time; -1 when the conversion fails.
int64_t localSeconds(const Fields& fields);
// Both, for the current local year; raises "Invalid date format (%s)" (code 0).
int64_t parse(std::string_view stamp, bool obsolescent);

} // namespace touchstamp

class CatFiles : public GetoptCommand {
public:
    CatFiles();
    void execute() override;

    std::wstring path;

protected:
    bool takeOption(int c, const char* argument) override;
    bool takeOperands(const Operands& operands) override;
};

class TouchFiles : public GetoptCommand {
public:
    TouchFiles();
    void execute() override;

    // Bit 1 from -m, bit 2 from -a: 2 and 3 write the last-access time, 0 and 1 the last-write time.
    unsigned timeSelector = 0;
    bool noCreate = false; // accepted, changes nothing: touch never creates files
    std::wstring reference;
    int64_t stamp = -1;
    std::wstring path;
    std::wstring givenPath; // as typed, for the message of a failed time change

protected:
    bool takeOption(int c, const char* argument) override;
    bool takeOperands(const Operands& operands) override;
    // The reference is an input like the path (checked first): its existence is tested only
    // once the policy has let it through, so no answer tells what exists outside the roots.
    void checkInput(size_t index) override;

private:
    std::wstring givenReference_;
};
