// archiver.exe: the archiver programs of the panel's unpack-archive handlers, over libarchive.
//
//   archiver.exe FORMAT v                             print the version
//   archiver.exe FORMAT t ARCHIVE [LIMITS]            test: read every entry and its data
//   archiver.exe FORMAT x ARCHIVE [MASK] [LIMITS]     extract with paths into the working directory
//   archiver.exe FORMAT e ARCHIVE [MASK] [LIMITS]     extract without paths into the working directory
//
// FORMAT is zip, tar, tgz, gz, rar or arj; MASK, when given, is "*" or "*.*" (all files); LIMITS
// are --max-bytes=N (the unpacked data of all entries together, holes of sparse files included)
// and --max-entries=N (files and folders), unbounded when not given. Exit code 0 on success, 1 for
// an invalid or refused archive, 2 for a usage error, 3 for arj, a format this archiver does not
// read. An archive is refused as a whole when one of its entries would land outside the working
// directory, is not a plain file or directory (links of every kind), takes a name an entry before
// it took (as the file system compares names) or a device name, when a zip archive's two records
// of a name disagree, when its data is damaged, or when it passes a limit. Extraction reads the
// archive once and stops writing where it finds the fault; it then removes what it wrote, so a
// refused archive leaves nothing behind. gz and tgz also print the status lines of untgz32 on
// standard output ("Archive has valid crc32." or "untgz32: error - ...").
#include "EntryNames.h"
#include "EntryPath.h"
#include "WrittenEntries.h"
#include "ZipDirectory.h"

#include <archive.h>
#include <archive_entry.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <windows.h>

namespace {

enum ExitCode { Success = 0, Invalid = 1, Usage = 2, Unsupported = 3 };

struct Refusal : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct ReaderDeleter {
    void operator()(archive* a) const { archive_read_free(a); }
};
struct WriterDeleter {
    void operator()(archive* a) const { archive_write_free(a); }
};
using Reader = std::unique_ptr<archive, ReaderDeleter>;
using Writer = std::unique_ptr<archive, WriterDeleter>;

struct Format {
    const wchar_t* name;
    bool gzip; // the data must pass through the gzip filter, and only through it
    bool raw;  // one compressed file, no archive inside
    bool statusLines;
    bool zip; // names checked in both records first
    void (*support)(archive*);
};

const Format kFormats[] = {
    // The central directory decides which entries there are, as it does for every reader that
    // seeks; local headers it does not list are never read.
    {L"zip", false, false, false, true, [](archive* a) { archive_read_support_format_zip_seekable(a); }},
    {L"tar", false, false, false, false, [](archive* a) { archive_read_support_format_tar(a); }},
    {L"tgz", true, false, true, false,
     [](archive* a) {
         archive_read_support_filter_gzip(a);
         archive_read_support_format_tar(a);
     }},
    {L"gz", true, true, true, false,
     [](archive* a) {
         archive_read_support_filter_gzip(a);
         archive_read_support_format_raw(a);
     }},
    {L"rar", false, false, false, false,
     [](archive* a) {
         archive_read_support_format_rar(a);
         archive_read_support_format_rar5(a);
     }},
};

std::string narrow(const std::wstring& text) {
    int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(size > 0 ? size - 1 : 0, '\0');
    if (size > 1) WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), size, nullptr, nullptr);
    return out;
}

[[noreturn]] void fail(archive* a, const char* what) {
    const char* message = a ? archive_error_string(a) : nullptr;
    throw std::runtime_error(std::string(what) + (message ? std::string(": ") + message : std::string()));
}

struct Limits {
    uint64_t bytes = UINT64_MAX;
    uint64_t entries = UINT64_MAX;
};

// The name of the one file of a gz archive: its own name without ".gz" (a ".tgz" gives ".tar").
std::wstring rawName(const std::wstring& archivePath) {
    std::wstring leaf = archivePath.substr(archivePath.find_last_of(L"\\/:") + 1);
    size_t dot = leaf.rfind(L'.');
    if (dot != std::wstring::npos && dot > 0) {
        std::wstring extension = leaf.substr(dot);
        for (wchar_t& c : extension)
            c = static_cast<wchar_t>(towlower(c));
        if (extension == L".gz") return leaf.substr(0, dot);
        if (extension == L".tgz") return leaf.substr(0, dot) + L".tar";
        return leaf.substr(0, dot);
    }
    return leaf.empty() ? L"data" : leaf + L".out";
}

// The archive's name decides the file's: it must be one that programs can open by name.
std::wstring rawOutputName(const std::wstring& archivePath) {
    std::wstring name = rawName(archivePath);
    if (!archivers::acceptableName(name))
        throw Refusal("the output name " + narrow(name) + " is not allowed");
    return name;
}

Reader openArchive(const Format& format, const std::wstring& path) {
    Reader reader(archive_read_new());
    if (!reader) throw std::runtime_error("out of memory");
    format.support(reader.get());
    if (archive_read_open_filename_w(reader.get(), path.c_str(), 64 * 1024) != ARCHIVE_OK)
        fail(reader.get(), "cannot open the archive");
    return reader;
}

// What the filters found must be what the format promises: a gz or tgz archive that is not
// gzip-compressed is not one, whatever the reader behind the filter makes of it.
void checkFilters(archive* a, const Format& format) {
    int count = archive_filter_count(a);
    bool gzip = count == 2 && archive_filter_code(a, 0) == ARCHIVE_FILTER_GZIP;
    if (format.gzip && !gzip) throw Refusal("not gzip-compressed data");
    if (!format.gzip && count != 1) throw Refusal("compressed data of another kind");
}

// Tar headers and zip entries without their UTF-8 mark carry no code page, and the reader takes
// them in the ANSI code page; archives made on Linux hold UTF-8 names there. Bytes that are valid
// UTF-8 are read as such (names in a legacy code page seldom are), others as the reader took them.
std::optional<std::wstring> entryName(archive_entry* entry) {
    if (const char* raw = archive_entry_pathname(entry)) {
        int size = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, raw, -1, nullptr, 0);
        if (size > 0) {
            std::wstring wide(size - 1, L'\0');
            MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, raw, -1, wide.data(), size);
            return wide;
        }
    }
    if (const wchar_t* wide = archive_entry_pathname_w(entry)) return std::wstring(wide);
    return std::nullopt;
}

// The entry's path below the working directory; refuses what may not be written.
std::wstring checkedEntryPath(archive_entry* entry, const Format& format, const std::wstring& archivePath) {
    if (format.raw) return rawOutputName(archivePath);
    if (archive_entry_hardlink(entry) || archive_entry_hardlink_w(entry))
        throw Refusal("a hard link entry is not allowed");
    mode_t type = archive_entry_filetype(entry);
    if (type == AE_IFLNK || archive_entry_symlink(entry) || archive_entry_symlink_w(entry))
        throw Refusal("a symbolic link entry is not allowed");
    if (type != AE_IFREG && type != AE_IFDIR)
        throw Refusal("an entry that is neither a file nor a directory");
    std::optional<std::wstring> name = entryName(entry);
    if (!name) throw Refusal("an entry name that cannot be read");
    std::optional<std::wstring> relative = archivers::relativeEntryPath(*name);
    if (!relative) throw Refusal("the entry " + narrow(*name) + " would land outside the directory");
    if (relative->empty() && type != AE_IFDIR) throw Refusal("a file entry without a name");
    return *relative;
}

// The unpacked bytes so far against the limit: an entry's data counts to the end of its last
// block, holes of a sparse file included, since a copy of the file may fill them.
class ByteBudget {
public:
    explicit ByteBudget(uint64_t limit) : limit_(limit) {}
    void startEntry() { done_ += entry_, entry_ = 0; }
    // Refuses, before anything of it is written, what would pass the limit: the size an entry
    // declares, or a block that reaches beyond it.
    void reach(uint64_t end) {
        if (end > limit_ || done_ > limit_ - end)
            throw Refusal("the unpacked data passes the limit of " + std::to_string(limit_) + " bytes");
        if (end > entry_) entry_ = end;
    }

private:
    uint64_t limit_, done_ = 0, entry_ = 0;
};

void readAllData(archive* a, ByteBudget& budget) {
    const void* block = nullptr;
    size_t size = 0;
    la_int64_t offset = 0;
    for (;;) {
        int r = archive_read_data_block(a, &block, &size, &offset);
        if (r == ARCHIVE_EOF) return;
        if (r != ARCHIVE_OK) fail(a, "damaged entry data");
        budget.reach(static_cast<uint64_t>(offset) + size);
    }
}

void copyData(archive* from, archive* to, ByteBudget& budget) {
    const void* block = nullptr;
    size_t size = 0;
    la_int64_t offset = 0;
    for (;;) {
        int r = archive_read_data_block(from, &block, &size, &offset);
        if (r == ARCHIVE_EOF) return;
        if (r != ARCHIVE_OK) fail(from, "damaged entry data");
        budget.reach(static_cast<uint64_t>(offset) + size);
        if (archive_write_data_block(to, block, size, offset) != ARCHIVE_OK) fail(to, "cannot write");
    }
}

std::wstring workingDirectory() {
    DWORD size = GetCurrentDirectoryW(0, nullptr);
    std::wstring directory(size, L'\0');
    directory.resize(GetCurrentDirectoryW(size, directory.data()));
    if (directory.empty()) throw std::runtime_error("cannot read the working directory");
    return directory;
}

void run(const Format& format, wchar_t operation, const std::wstring& path, const Limits& limits) {
    if (format.zip)
        if (std::optional<std::string> disagreement = archivers::zipNameDisagreement(path))
            throw Refusal(*disagreement);
    Reader reader = openArchive(format, path);
    // Declared first, so destroyed last: the writer closes the entry it was writing before what
    // was written is taken away.
    std::optional<archivers::WrittenEntries> written;
    Writer disk;
    if (operation != L't') {
        disk.reset(archive_write_disk_new());
        if (!disk) throw std::runtime_error("out of memory");
        // The entry checks below already refuse what these flags guard against; they stay as a
        // second line.
        archive_write_disk_set_options(disk.get(), ARCHIVE_EXTRACT_TIME | ARCHIVE_EXTRACT_SECURE_NODOTDOT |
                                                       ARCHIVE_EXTRACT_SECURE_SYMLINKS |
                                                       ARCHIVE_EXTRACT_SECURE_NOABSOLUTEPATHS);
        written.emplace(workingDirectory());
    }
    archivers::EntryNames names;
    ByteBudget budget(limits.bytes);
    uint64_t entries = 0;
    bool first = true;
    for (;;) {
        archive_entry* entry = nullptr;
        int r = archive_read_next_header(reader.get(), &entry);
        if (r == ARCHIVE_EOF) break;
        if (r != ARCHIVE_OK) fail(reader.get(), "damaged archive");
        if (first) checkFilters(reader.get(), format);
        first = false;
        if (++entries > limits.entries)
            throw Refusal("the archive holds more than the limit of " + std::to_string(limits.entries) +
                          " entries");
        std::wstring relative = checkedEntryPath(entry, format, path);
        bool directory = archive_entry_filetype(entry) == AE_IFDIR;
        if (operation == L'e') relative = directory ? L"" : archivers::leafOf(relative);
        if (!relative.empty())
            if (const char* clash = names.add(relative, directory))
                throw Refusal(std::string(clash) + ": " + narrow(relative));
        budget.startEntry();
        if (archive_entry_size_is_set(entry) && archive_entry_size(entry) > 0)
            budget.reach(static_cast<uint64_t>(archive_entry_size(entry)));
        if (!disk || relative.empty()) { // a test, a folder left out, or "./": the working directory
            readAllData(reader.get(), budget);
            continue;
        }
        // What was there before is never replaced, nor taken away on a refusal.
        if (!written->aboutToWrite(relative) && !directory)
            throw Refusal("the entry " + narrow(relative) + " exists already");
        archive_entry_copy_pathname_w(entry, relative.c_str());
        if (format.raw) archive_entry_set_filetype(entry, AE_IFREG);
        archive_entry_set_perm(entry, directory ? 0755 : 0644);
        if (archive_write_header(disk.get(), entry) != ARCHIVE_OK) fail(disk.get(), "cannot create an entry");
        copyData(reader.get(), disk.get(), budget);
        if (archive_write_finish_entry(disk.get()) != ARCHIVE_OK) fail(disk.get(), "cannot finish an entry");
    }
    if (first && format.raw) throw Refusal("an empty archive");
    if (disk && archive_write_close(disk.get()) != ARCHIVE_OK) fail(disk.get(), "cannot finish writing");
    if (written) written->keep();
}

bool allFiles(const std::wstring& mask) {
    return mask == L"*" || mask == L"*.*";
}

// "--max-bytes=N" or "--max-entries=N" into the limits; false for anything else.
bool takeLimit(const std::wstring& argument, Limits& limits) {
    for (auto [option, value] :
         {std::pair{L"--max-bytes=", &limits.bytes}, {L"--max-entries=", &limits.entries}}) {
        std::wstring prefix = option;
        if (argument.compare(0, prefix.size(), prefix) != 0) continue;
        std::wstring digits = argument.substr(prefix.size());
        if (digits.empty() || digits.size() > 19 ||
            digits.find_first_not_of(L"0123456789") != std::wstring::npos)
            return false;
        *value = std::stoull(digits);
        return true;
    }
    return false;
}

int usage() {
    std::fputs(
        "usage: archiver FORMAT v | archiver FORMAT t|x|e ARCHIVE [*|*.*] [--max-bytes=N] [--max-entries=N]\n"
        "FORMAT: zip, tar, tgz, gz, rar, arj\n",
        stderr);
    return Usage;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) return usage();
    std::wstring formatName = argv[1];
    for (wchar_t& c : formatName)
        c = static_cast<wchar_t>(towlower(c));
    std::wstring operation = argv[2];
    if (operation == L"v") {
        if (argc != 3) return usage();
        std::printf("archiver of quarn over %s\n", archive_version_details());
        return Success;
    }
    if (operation.size() != 1 || std::wstring(L"txe").find(operation[0]) == std::wstring::npos)
        return usage();
    if (argc < 4) return usage();
    std::wstring path = argv[3];
    Limits limits;
    bool masked = false;
    for (int i = 4; i < argc; ++i) {
        if (takeLimit(argv[i], limits)) continue;
        if (masked || !allFiles(argv[i])) return usage();
        masked = true;
    }
    if (formatName == L"arj") {
        std::fputs("archiver: ARJ archives are not supported by this archiver\n", stderr);
        return Unsupported;
    }
    const Format* format = nullptr;
    for (const Format& f : kFormats)
        if (formatName == f.name) format = &f;
    if (!format) return usage();
    try {
        run(*format, operation[0], path, limits);
    } catch (const std::exception& e) {
        if (format->statusLines) std::printf("untgz32: error - %s\n", e.what());
        std::fprintf(stderr, "archiver: %s: %s\n", narrow(path).c_str(), e.what());
        return Invalid;
    }
    if (format->statusLines) std::printf("Archive has valid crc32.\n");
    return Success;
}
