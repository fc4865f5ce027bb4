// Where the archivers' command templates come from: the management service's extended settings,
// section "MultiArc\" + type name, key the operation ("Extract", "ExtractWithoutPath", "Test",
// "Version"); with an empty type name, the section "MultiArc" itself, which holds the settings
// of every type (the unpacking limits).
#pragma once
#include <string>

namespace files {

class ArchiveTemplates {
public:
    virtual ~ArchiveTemplates() = default;
    // The template (or setting), or empty when it cannot be read.
    virtual std::wstring get(const std::wstring& typeName, const std::wstring& operation) = 0;
};

// The installed source, or the management service.
ArchiveTemplates& archiveTemplates();
// Installs another source (nullptr restores the management service); returns the previous one.
ArchiveTemplates* installArchiveTemplates(ArchiveTemplates* templates);

} // namespace files
