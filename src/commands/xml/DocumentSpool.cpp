#include "commands/xml/DocumentSpool.h"

#include "app/Exceptions.h"
#include "app/Log.h"
#include "app/Text.h"
#include "commands/PathPolicy.h"
#include "commands/files/DirectoryListing.h"
#include "commands/files/TemporaryName.h"
#include "platform/Platform.h"

namespace {

constexpr DWORD kPieceSize = 1 << 16;

} // namespace

DocumentSpool::DocumentSpool() {
    const std::wstring directory = pathpolicy::temporaryDirectory();
    const paths::NormalPath path = paths::NormalPath(directory).join(L"quarn-" + files::createGuidString(true) + L".xml");
    // No sharing and a fresh name: nobody else can put anything in the document or read it, and
    // the file goes with the handle however the program ends.
    HANDLE handle = INVALID_HANDLE_VALUE;
    if (DWORD error = platform::current().createFile(path, GENERIC_READ | GENERIC_WRITE, 0, CREATE_NEW,
                                   FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, &handle))
        raiseRunTimeError(error, L"Unable to create temporary file in (%s)", text::displayPath(directory));
    file_.reset(handle);
}

com::Ptr<COMStdoutStream> DocumentSpool::stream() const {
    com::Ptr<COMStdoutStream> stream;
    *stream.receive() = COMStdoutStream::create(file_.get(), L"the temporary document");
    return stream;
}

void DocumentSpool::copyToLog(int level) {
    LARGE_INTEGER start{};
    if (!SetFilePointerEx(file_.get(), start, nullptr, FILE_BEGIN))
        raiseRunTimeError(GetLastError(), L"Unable to read the temporary document");
    LogManager::instance().logPieces(level, [this](std::string& piece) {
        piece.resize(kPieceSize);
        DWORD read = 0;
        if (!ReadFile(file_.get(), piece.data(), kPieceSize, &read, nullptr))
            raiseRunTimeError(GetLastError(), L"Unable to read the temporary document");
        piece.resize(read);
        return read > 0;
    });
}
