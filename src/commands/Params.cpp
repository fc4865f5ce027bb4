#include "commands/Params.h"

#include "app/Exceptions.h"

#include <algorithm>

namespace {

// Where a parameter refusal is raised, as the panel's logs have always shown it.
constexpr const char* kCheckOrigin = "Params::check";
constexpr int kMissingLine = 85;
constexpr int kUnexpectedLine = 118;
constexpr const char* kReportOrigin = "Params::reportMissingParameter";
constexpr int kReportLine = 38;

} // namespace

Params::Params(int count, wchar_t** arguments) {
    for (int i = 0; i < count; ++i) {
        std::wstring argument = arguments[i];
        size_t eq = argument.find(L'=');
        if (eq == std::wstring::npos)
            map_[argument] = L"";
        else
            map_[argument.substr(0, eq)] = argument.substr(eq + 1);
    }
}

std::wstring Params::help(const NameList& required, const NameList& optional) {
    std::wstring out;
    for (const std::wstring& name : required) out += (out.empty() ? L"Possible parameters is:\n" : L"\n") + (L"    " + name);
    if (!optional.empty()) {
        out += out.empty() ? L"Possible parameters is:\n" : L"\n";
        for (size_t i = 0; i < optional.size(); ++i) out += (i ? L"\n    [" : L"    [") + optional[i] + L"]";
    }
    return out;
}

void Params::check(const NameList& required, const NameList& optional) const {
    for (const std::wstring& name : required)
        if (!has(name))
            throw vexception(L"Missing required parameter " + name + L". " + help(required, optional),
                             {L"", kCheckOrigin, kMissingLine});
    auto listed = [](const NameList& list, const std::wstring& name) {
        return std::find(list.begin(), list.end(), name) != list.end();
    };
    for (const auto& [name, value] : map_) {
        if (name == L"--internal-package-name") continue;
        if (!listed(required, name) && !listed(optional, name))
            throw vexception(L"Unexpected parameter " + name + L". " + help(required, optional),
                             {L"", kCheckOrigin, kUnexpectedLine});
    }
}

std::wstring Params::value(const std::wstring& name, bool required, const std::wstring& fallback) const {
    auto it = map_.find(name);
    if (it != map_.end()) return it->second;
    if (required) reportMissingParameter(name);
    return fallback;
}

void Params::reportMissingParameter(const std::wstring& name, const NameList& required, const NameList& optional) {
    throw vexception(L"Missing required parameter " + name + L". " + help(required, optional),
                     {L"", kReportOrigin, kReportLine});
}
