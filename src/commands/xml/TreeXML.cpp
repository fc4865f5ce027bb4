#include "commands/xml/TreeXML.h"

#include "app/Exceptions.h"
#include "app/Log.h"
#include "app/Text.h"
#include "commands/Params.h"
#include "commands/files/FileHelpers.h"
#include "commands/xml/DocumentSpool.h"
#include "commands/xml/LoopGuard.h"
#include "platform/Platform.h"
#include "xml/SaxDocument.h"

extern "C" WCHAR NTAPI RtlUpcaseUnicodeChar(WCHAR c);

namespace {

// Seconds since 1970 as the document has always shown them: unsigned 64-bit decimal.
std::wstring secondsText(int64_t seconds) { return std::to_wstring(static_cast<uint64_t>(seconds)); }

} // namespace

TreeXML::TreeXML()
    : ClassicCommand(L"--tree",
                     L"Usage:\n--tree --path='path' [--recursive] [--permissions] [--file-info] [--folders] [--files]\n") {
}

TreeXML::~TreeXML() = default;

int TreeXML::start(int argc, wchar_t** argv) {
    Params params(argc, argv);
    params.check({L"--path"}, {L"--recursive", L"--permissions", L"--file-info", L"--folders", L"--files"});
    rootPath = params.value(L"--path");
    givenPath_ = rootPath;
    recursive = params.has(L"--recursive");
    withPermissions = params.has(L"--permissions");
    withFileInfo = params.has(L"--file-info");
    if (params.has(L"--folders")) listingKind = FoldersOnly;
    if (params.has(L"--files")) listingKind = FilesOnly; // wins over --folders
    // The permission listing reads security in the program's own context.
    if (withPermissions) setRunAsFlag(false);
    inputs = {rootPath};
    runAsTarget();
    return 0;
}

files::DirectoryEntry TreeXML::queryEntry(const paths::NormalPath& path) {
    WIN32_FIND_DATAW data{};
    platform::FindScope find;
    DWORD error = platform::current().findFirstFile(path, &data, find.receive());
    if (error == ERROR_SUCCESS) return files::entryOf(data);
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
        DWORD attributes = 0;
        if (platform::current().getFileAttributes(path, &attributes) == ERROR_SUCCESS &&
            (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            files::DirectoryEntry entry;
            entry.name = path;
            entry.attributes = attributes;
            return entry;
        }
    }
    raiseRunTimeError(error, L"Unable to get file information for the (%s)", text::displayPath(path));
}

const filetype::Detection& TreeXML::detection(const paths::NormalPath& path, const std::wstring& name) {
    size_t dot = name.rfind(L'.');
    if (dot == std::wstring::npos) return uncached_ = filetype::detectFile(path);
    std::wstring key = name.substr(dot + 1);
    for (wchar_t& c : key)
        c = RtlUpcaseUnicodeChar(c);
    auto found = fileTypeCache_.find(key);
    if (found != fileTypeCache_.end()) return found->second;
    return fileTypeCache_.emplace(std::move(key), filetype::detectFile(path)).first->second;
}

void TreeXML::addFolderContents(const paths::NormalPath& path, const files::DirectoryEntry& entry, LoopGuard& guard) {
    files::DirectoryListing listing = files::listDirectory(path);
    if (listingKind != FilesOnly) {
        for (const files::DirectoryEntry& child : listing.directories) {
            if (files::isDotEntry(child)) {
                document_->clearAttributes();
                document_->addAttribute(L"Name", child.name);
                document_->addAttribute(L"LastWriteTime", secondsText(entry.lastWriteTime));
                document_->startElement(L"Folder");
                document_->endElement(L"Folder");
                continue;
            }
            addNode(path, child, guard);
        }
    }
    if (listingKind != FoldersOnly)
        for (const files::DirectoryEntry& child : listing.files)
            addNode(path, child, guard);
}

void TreeXML::addNode(const paths::NormalPath& parentPath, const files::DirectoryEntry& entry, LoopGuard& guard) {
    ++depth_;
    const bool isRoot = parentPath.empty();
    const paths::NormalPath path = isRoot ? normal(0) : parentPath.join(entry.name);
    // The enumeration's attributes tell a folder from a file: no query per entry.
    const bool folder = entry.attributes & FILE_ATTRIBUTE_DIRECTORY;
    const wchar_t* element = folder ? L"Folder" : L"File";
    document_->clearAttributes();
    if (!folder) {
        if (withFileInfo) {
            const filetype::Detection& d = detection(path, entry.name);
            document_->addAttribute(L"Code", d.encoding);
            document_->addAttribute(L"Type", d.kind);
            document_->addAttribute(L"Subtype", d.extension);
        }
        document_->addAttribute(L"Size", std::to_wstring(entry.size));
    }
    document_->addAttribute(L"Name", isRoot ? givenPath_ : entry.name);
    document_->addAttribute(L"LastWriteTime", secondsText(entry.lastWriteTime));
    std::optional<permissions::ElementListing::Pending> listing;
    if (withPermissions) {
        listing = permissionListing.begin(path);
        document_->addAttributesOf(listing->document.root().get());
    }
    document_->startElement(element);
    if (folder && (recursive || depth_ == 0)) {
        if (isRoot) {
            addFolderContents(path, entry, guard);
        } else if (guard.enter(path, entry)) {
            addFolderContents(path, entry, guard);
            guard.leave();
        }
    }
    if (listing) {
        permissionListing.finish(*listing);
        document_->writeElements(listing->document.root().get());
    }
    document_->endElement(element);
    --depth_;
}

void TreeXML::prepare() {
    ClassicCommand::prepare();
    spool_ = std::make_unique<DocumentSpool>();
}

void TreeXML::execute() {
    SaxDocument document(spool_->stream(), false);
    document_ = &document;
    LoopGuard guard(normal(0));
    document.clearAttributes();
    document.startElement(L"Tree");
    addNode({}, queryEntry(normal(0)), guard);
    document.endElement(L"Tree");
    document.end();
    document_ = nullptr;
    spool_->copyToLog(2);
}
