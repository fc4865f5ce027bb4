// The archiver handlers of unpack-archive: one object per archive type, each running the panel's
// archiver program for that type with command lines built from the configured templates.
#pragma once
#include "commands/files/ArchiveCommandLine.h"
#include "commands/files/ArchiverProcess.h"
#include "commands/files/UnpackLimits.h"

#include <map>
#include <memory>
#include <string>

namespace files {

class AnyArc {
public:
    virtual ~AnyArc() = default;
    // The mask that selects every file of an archive, passed after the archive on extraction.
    virtual std::wstring allFilesMask() const { return L"*"; }
    // Each runs its operation's command line in `directory` and gives its result: 0 is success
    // (for Test: a valid archive). The archiver is given the limits' bytes and entries after the
    // command line (archiverLimitArguments) and is ended after their seconds.
    virtual int Version(const std::wstring& directory);
    virtual int Test(const std::wstring& archive, const std::wstring& directory, const UnpackLimits& limits);
    virtual int Extract(const std::wstring& archive, const std::wstring& directory,
                        const UnpackLimits& limits);
    virtual int ExtractWithoutPath(const std::wstring& archive, const std::wstring& directory,
                                   const UnpackLimits& limits);
    // The registry name, also the section of the templates ("MultiArc\" + name).
    virtual std::wstring typeName() const = 0;
    // The full command line of an operation: the panel's program directory
    // (SHORT_PRODUCT_ROOT_D + "\admin\bin\"), then the expanded template.
    std::wstring commandLine(const std::wstring& operation, const ArchiveSwitchValues& values) const;
    // What the archiver of the last operation wrote (its reasons for a refusal among it).
    const std::string& lastOutput() const { return lastOutput_; }

protected:
    // The result of a finished run; by default its exit code.
    virtual int judge(const ArchiverResult& run) const { return static_cast<int>(run.exitCode); }

private:
    std::string lastOutput_;
    int runOperation(const std::wstring& operation, const std::wstring& archive,
                     const std::wstring& directory, bool withMask, const UnpackLimits* limits);
};

// Archivers in the manner of untgz32: a run succeeds only when its output says the data was
// sound, whatever its exit code.
class TgzArcUntgz32 : public AnyArc {
public:
    std::wstring typeName() const override { return L"TGZ"; }

protected:
    int judge(const ArchiverResult& run) const override;
};

class GZipArc : public TgzArcUntgz32 {
public:
    std::wstring typeName() const override { return L"GZ"; }
};

class TgzArcCSharpUntar : public AnyArc {
public:
    std::wstring allFilesMask() const override { return L""; }
    std::wstring typeName() const override { return L"TGZ"; }
};

class TarArcCSharpUntar : public TgzArcCSharpUntar {
public:
    std::wstring typeName() const override { return L"TAR"; }
};

class InfoZipArc : public AnyArc {
public:
    std::wstring typeName() const override { return L"ZIP"; }
};

class RarArc : public AnyArc {
public:
    std::wstring allFilesMask() const override { return L"*.*"; }
    std::wstring typeName() const override { return L"RAR"; }
};

class ArjArc : public AnyArc {
public:
    std::wstring typeName() const override { return L"ARJ"; }
};

// The handlers by upper-case type name; walked in key order (ARJ, GZ, RAR, TAR, TGZ, ZIP).
using ArchiveHandlers = std::map<std::wstring, std::unique_ptr<AnyArc>>;
const ArchiveHandlers& archiveHandlers();

struct ChosenHandler {
    AnyArc& handler;
    bool tested; // its Test already accepted the archive: found by probing
};

// The handler of `type` (upper-cased), else of the archive's extension, else the first whose
// Test accepts the archive (run in `directory`); "Can't detect archive type." when none does.
ChosenHandler chooseArchiveHandler(const std::wstring& type, const std::wstring& archive,
                                   const std::wstring& directory, const UnpackLimits& limits);

} // namespace files
