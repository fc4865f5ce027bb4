// Named parameters of the newer commands: "--name=value" or a bare "--name", in any order.
#pragma once
#include <map>
#include <string>
#include <vector>

using NameList = std::vector<std::wstring>;

class Params {
public:
    // Builds the map from the command's arguments (those after the command name). The text
    // before the first "=" is the name, the rest the value; a later name replaces the value.
    Params(int count, wchar_t** arguments);

    // Raises on a missing required name (in list order) or an unexpected name (in map order);
    // "--internal-package-name" is always accepted.
    void check(const NameList& required, const NameList& optional) const;

    // The value of a present name; otherwise reports it missing when required, else the default.
    std::wstring value(const std::wstring& name, bool required = true, const std::wstring& fallback = L"") const;
    bool has(const std::wstring& name) const { return map_.count(name) != 0; }
    size_t size() const { return map_.size(); }
    const std::map<std::wstring, std::wstring>& all() const { return map_; }

    [[noreturn]] static void reportMissingParameter(const std::wstring& name, const NameList& required = {},
                                                    const NameList& optional = {});
    // "Possible parameters is:\n" and the names, one per line, optional ones in brackets.
    static std::wstring help(const NameList& required, const NameList& optional);

private:
    std::map<std::wstring, std::wstring> map_;
};
