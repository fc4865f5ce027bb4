// The "\\?\" normal form of a path and the value that carries it from the command line to the
// file system: once a text is normal, joins, parents and roots are computed on the value and
// nothing normalises it again.
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace paths {

// The prefix of the normal form.
inline constexpr std::wstring_view kLongPrefix = L"\\\\?\\";
// What the find functions take as patterns ("<", ">" and '"' as DOS wildcards): no name holds them.
inline constexpr std::wstring_view kWildcards = L"*?<>\"";

// The normal form: "\\?\", a drive letter, ":" and "\"-separated components; "." and ".."
// resolved, runs of separators folded. Base may be empty (then the current directory is the base
// of a relative input, and a drive-relative input "C:name" is taken relative to that drive's
// current directory, as the system takes it). Touches the file system only to read current
// directories.
std::wstring normalizePath(const std::wstring& base, const std::wstring& input);

// Length without trailing "\" and "\." (never below one character).
size_t trimmedLength(std::wstring_view path);
std::wstring trimmed(std::wstring_view path);
// The value without the "\" and "/" it ends with.
std::wstring withoutTrailingSeparators(std::wstring value);
std::wstring withTrailingBackslash(std::wstring path);
bool isSeparator(wchar_t c);

// Where the components of a path taken as given begin: after "\\?\" or "\\.\", after the two "\"
// of a UNC path, else at 0.
size_t componentStart(std::wstring_view path);
// The components after the prefix. The system also separates at "/" in "\\.\" and UNC paths, so
// both separators split here.
std::vector<std::wstring> componentsOf(std::wstring_view path);
// "C:" (a drive letter and its colon).
bool isDriveComponent(std::wstring_view part);

// True when `path` is `root` or lies below it: compared component-wise, case-insensitively and
// character by character, as the file system compares names.
bool isWithin(const std::wstring& root, const std::wstring& path);

class NormalPath {
public:
    NormalPath() = default;
    // Normalises `input` (relative to `base`, see normalizePath).
    explicit NormalPath(const std::wstring& input, const std::wstring& base = {});
    // A text that is already in normal form (the system's answer, or another value's): taken as
    // it stands.
    static NormalPath fromNormal(std::wstring normal);

    const std::wstring& str() const { return normal_; }
    // Read-only view for the platform calls, which take the text.
    operator const std::wstring&() const { return normal_; }
    const wchar_t* c_str() const { return normal_.c_str(); }
    bool empty() const { return normal_.empty(); }

    // As messages show it: without the "\\?\" prefix.
    std::wstring display() const;
    // The components after the prefix (the drive, or the server and share, first).
    std::vector<std::wstring> components() const { return componentsOf(normal_); }
    // The last component (empty for a root).
    std::wstring name() const;
    // Without its last component; empty when only the root is left.
    NormalPath parent() const;
    // The drive root ("\\?\C:\") or the share root of a UNC path.
    NormalPath root() const;
    // The child `name` (one component, or a relative tail of several).
    NormalPath join(std::wstring_view name) const;
    // "\\?\C:\" and the like: nothing below the volume.
    bool isRootForm() const { return parent().empty(); }

    friend bool operator==(const NormalPath& a, const NormalPath& b) { return a.normal_ == b.normal_; }

private:
    std::wstring normal_;
};

} // namespace paths
