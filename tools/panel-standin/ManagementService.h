// The management service of the stand-in: settings, extended settings, passwords and component
// information from a settings file, answered in the service's block encoding.
#pragma once
#include "PipeServer.h"

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace standin {

// The settings file: UTF-8 text; "#" lines and blank lines are ignored; sections [strings],
// [ext:SECTION], [passwords], [components] and [runas] hold NAME=value lines (the value is
// everything after the first "=", kept verbatim); [inheritance] holds PATH=GAP ANCESTOR lines,
// one per DACL entry of the path, in order.
struct Settings {
    std::map<std::wstring, std::wstring> strings;
    std::map<std::pair<std::wstring, std::wstring>, std::wstring> extStrings; // (section, name)
    std::map<std::wstring, std::wstring> passwords;
    std::map<std::wstring, std::wstring> components; // "package:kind"
    // How the stand-in itself behaves: "answers=one-message" sends the length and the block of
    // an answer as one message (the default, "two-messages", as two).
    std::map<std::wstring, std::wstring> service;
    std::map<std::wstring, std::wstring> runas;      // log, status, text
    // Path (upper case, no "\\?\" prefix) → (generation gap, ancestor) per entry.
    std::map<std::wstring, std::vector<std::pair<int, std::wstring>>> inheritance;

    // The key an [inheritance] path is kept under.
    static std::wstring pathKey(std::wstring path);

    // Raises a plain error naming the line on a malformed file.
    static Settings parse(std::string_view utf8);
    static Settings load(const std::wstring& path);
};

class ManagementService {
public:
    explicit ManagementService(Settings settings) : settings_(std::move(settings)) {}

    // The answer block to one request (operation block and arguments); failures become the
    // error answer.
    std::string answer(std::string_view request);
    // One client: requests framed as a length message and a payload message, answers likewise.
    void serve(Connection& connection);

private:
    // The answer block; empty for an operation without an answer.
    std::string perform(std::string_view request);

    Settings settings_;
    std::mutex lock_;
};

} // namespace standin
