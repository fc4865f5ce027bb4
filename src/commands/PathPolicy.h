// The allowed-path policy that every input path passes before a command touches anything: the
// panel's allowed and denied roots, and the check that turns an input into a checked path.
#pragma once
#include "paths/CheckedPath.h"
#include "paths/NormalPath.h"

#include <string>
#include <vector>

namespace pathpolicy {

// A root as configured, with the long form it is compared in (resolved once, when the lists are
// built: every input of the process is compared against the same form).
struct Root {
    std::wstring configured;
    paths::NormalPath longForm;
};

struct RootLists {
    std::vector<Root> allowed;
    std::vector<Root> denied;
};

// Where the panel's directories come from: the management service in production.
class PanelSettings {
public:
    virtual ~PanelSettings() = default;
    virtual std::wstring getString(const std::wstring& name) = 0;
    virtual std::wstring componentInfo(const std::wstring& package, int kind) = 0;
};
// The settings source in force: the installed one, or the management service.
PanelSettings& panelSettings();
// Installs another source (nullptr restores the management service); returns the previous one.
PanelSettings* installPanelSettings(PanelSettings* settings);

// From the panel settings read through the management service. A value that is no absolute path
// of a drive folder or a UNC share (relative, a bare prefix, climbing above its drive, holding a
// NUL or a wildcard) is left out, with a warning in the event log: the settings are input like
// any other.
RootLists buildRootLists();
RootLists buildRootLists(PanelSettings& settings);

// The program's temporary directory (GetTempPathW, with its trailing backslash); "Unable to get
// temporary path" when it cannot be read.
std::wstring temporaryDirectory();

// Judges the input and returns it checked. Raises RunTime::NotAllowedException "%s: Path is not
// allowed" when it lies outside every allowed root or inside the denied root, and
// RunTime::InvalidPathException when a component is a reserved device name, names a stream
// ("name:stream:type") or holds a wildcard.
paths::CheckedPath checkPathAllowed(const RootLists& roots, const std::wstring& input);

// What a command does to an input, beyond reading it or writing into it.
enum class Reach {
    // Reads it, lists it, creates it, or writes into it.
    Within,
    // Replaces, merges into or copies out the whole tree (cp and --ex-copy for both paths,
    // unpack-archive's destination, the setting modes of --permissions): a denied root must not
    // lie within it, or the tree operation would carry or change the panel's own programs.
    WholeTree,
    // Removes, moves or renames it, or rewrites the permissions of everything below it (rm,
    // rmdir and its -p cut, mv and --ex-rename sources, --ex-remove, mv2tempnam's source,
    // --replace-on-children): no root at all may lie within it, since a wrong path from the
    // panel (an empty domain appended to the virtual-hosts root) would take every site with it.
    Removal,
};

// Raises RunTime::NotAllowedException "%s: Path is not allowed" when the reach of the operation
// takes in a root it must not (see Reach). Called after checkPathAllowed, on its result.
void checkReach(const RootLists& roots, const paths::CheckedPath& path, Reach reach);

} // namespace pathpolicy
