// archiver.exe: the archiver programs of the panel's unpack-archive handlers, over libarchive.
//
//   archiver.exe FORMAT v                    print the version
//   archiver.exe FORMAT t ARCHIVE            test: read every entry and its data
//   archiver.exe FORMAT x ARCHIVE [MASK]     extract with paths into the working directory
//   archiver.exe FORMAT e ARCHIVE [MASK]     extract without paths into the working directory
//
// FORMAT is zip, tar, tgz, gz, rar or arj; MASK, when given, is "*" or "*.*" (all files). Exit
// code 0 on success, 1 for an invalid or refused archive, 2 for a usage error, 3 for arj, a format
// this archiver does not read. An archive is refused as a whole when one of its
// entries would land outside the working directory or is not a plain file or directory (links
// of every kind) or when its data is damaged; extraction tests the whole archive first, so a
// refused archive writes nothing. gz and tgz also print the status lines of untgz32 on
// standard output ("Archive has valid crc32." or "untgz32: error - ...").
#include "EntryPath.h"

#include <archive.h>
#include <archive_entry.h>

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
    void (*support)(archive*);
};

const Format kFormats[] = {
    {L"zip", false, false, false, [](archive* a) { archive_read_support_format_zip(a); }},
    {L"tar", false, false, false, [](archive* a) { archive_read_support_format_tar(a); }},
    {L"tgz", true, false, true,
     [](archive* a) {
         archive_read_support_filter_gzip(a);
         archive_read_support_format_tar(a);
     }},
    {L"gz", true, true, true,
     [](archive* a) {
         archive_read_support_filter_gzip(a);
         archive_read_support_format_raw(a);
     }},
    {L"rar", false, false, false,
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

// The name of the one file of a gz archive: its own name without ".gz" (a ".tgz" gives ".tar").
std::wstring rawOutputName(const std::wstring& archivePath) {
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

void readAllData(archive* a) {
    static char buffer[64 * 1024];
    for (;;) {
        la_ssize_t got = archive_read_data(a, buffer, sizeof buffer);
        if (got == 0) return;
        if (got < 0) fail(a, "damaged entry data");
    }
}

void copyData(archive* from, archive* to) {
    const void* block = nullptr;
    size_t size = 0;
    la_int64_t offset = 0;
    for (;;) {
        int r = archive_read_data_block(from, &block, &size, &offset);
        if (r == ARCHIVE_EOF) return;
        if (r != ARCHIVE_OK) fail(from, "damaged entry data");
        if (archive_write_data_block(to, block, size, offset) != ARCHIVE_OK) fail(to, "cannot write");
    }
}

void run(const Format& format, wchar_t operation, const std::wstring& path) {
    // Extraction writes nothing until the whole archive has passed the test: a refused entry or
    // damaged data near the end must not leave the entries before it behind.
    if (operation != L't') run(format, L't', path);
    Reader reader = openArchive(format, path);
    Writer disk;
    if (operation != L't') {
        disk.reset(archive_write_disk_new());
        if (!disk) throw std::runtime_error("out of memory");
        // The entry check above already refuses what these flags guard against; they stay as a
        // second line.
        archive_write_disk_set_options(disk.get(), ARCHIVE_EXTRACT_TIME | ARCHIVE_EXTRACT_SECURE_NODOTDOT |
                                                       ARCHIVE_EXTRACT_SECURE_SYMLINKS |
                                                       ARCHIVE_EXTRACT_SECURE_NOABSOLUTEPATHS);
    }
    bool first = true;
    for (;;) {
        archive_entry* entry = nullptr;
        int r = archive_read_next_header(reader.get(), &entry);
        if (r == ARCHIVE_EOF) break;
        if (r != ARCHIVE_OK) fail(reader.get(), "damaged archive");
        if (first) checkFilters(reader.get(), format);
        first = false;
        std::wstring relative = checkedEntryPath(entry, format, path);
        if (!disk) {
            readAllData(reader.get());
            continue;
        }
        bool directory = archive_entry_filetype(entry) == AE_IFDIR;
        if (operation == L'e') {
            if (directory) {
                readAllData(reader.get());
                continue;
            }
            relative = archivers::leafOf(relative);
        }
        if (relative.empty()) continue; // "./": the working directory itself
        archive_entry_copy_pathname_w(entry, relative.c_str());
        if (format.raw) archive_entry_set_filetype(entry, AE_IFREG);
        archive_entry_set_perm(entry, directory ? 0755 : 0644);
        if (archive_write_header(disk.get(), entry) != ARCHIVE_OK) fail(disk.get(), "cannot create an entry");
        copyData(reader.get(), disk.get());
        if (archive_write_finish_entry(disk.get()) != ARCHIVE_OK) fail(disk.get(), "cannot finish an entry");
    }
    if (first && format.raw) throw Refusal("an empty archive");
    if (disk && archive_write_close(disk.get()) != ARCHIVE_OK) fail(disk.get(), "cannot finish writing");
}

bool allFiles(const std::wstring& mask) {
    return mask == L"*" || mask == L"*.*";
}

int usage() {
    std::fputs("usage: archiver FORMAT v | archiver FORMAT t|x|e ARCHIVE [*|*.*]\n"
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
    if (argc < 4 || argc > 5 || (argc == 5 && !allFiles(argv[4]))) return usage();
    std::wstring path = argv[3];
    if (formatName == L"arj") {
        std::fputs("archiver: ARJ archives are not supported by this archiver\n", stderr);
        return Unsupported;
    }
    const Format* format = nullptr;
    for (const Format& f : kFormats)
        if (formatName == f.name) format = &f;
    if (!format) return usage();
    try {
        run(*format, operation[0], path);
    } catch (const std::exception& e) {
        if (format->statusLines) std::printf("untgz32: error - %s\n", e.what());
        std::fprintf(stderr, "archiver: %s: %s\n", narrow(path).c_str(), e.what());
        return Invalid;
    }
    if (format->statusLines) std::printf("Archive has valid crc32.\n");
    return Success;
}
