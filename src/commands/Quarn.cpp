#include "commands/Quarn.h"

#include "app/Guard.h"
#include "app/Log.h"
#include "identity/Account.h"
#include "ipc/TarnisSrvClient.h"

extern "C" WCHAR NTAPI RtlUpcaseUnicodeChar(WCHAR c);

namespace {

// The dispatcher's context, as the panel's logs and the debug output have always shown it.
constexpr const char* kStartOrigin = "Quarn::start";
constexpr int kStartLine = 4032;

} // namespace

const wchar_t* const Quarn::kUsage = L"Usage: quarn user [OPTIONS]...\n\n"
                                     L"  cat             list file\n"
                                     L"  cp              copy files or directories\n"
                                     L"  chmod           unsupported\n"
                                     L"  mv              move files or directories\n"
                                     L"  touch           change file or directory time\n"
                                     L"  rm              remove files or directories\n"
                                     L"  rmdir           remove directories\n"
                                     L"  mkdir           create directory or intermediate directories\n"
                                     L"  file            print file type\n"
                                     L"  list            list directory\n"
                                     L"  cp2tempnam      create unique name & copy\n"
                                     L"  mv2tempnam      create unique name & move\n"
                                     L"  file_exists     check existance\n"
                                     L"  --permissions   list or set file's rights\n"
                                     L"  realpath        get short and long paths\n"
                                     L"  subtree         get XML directories subtree\n"
                                     L"  size            get file or directory size\n"
                                     L"  --tree          get XML folders and files tree\n"
                                     L"  --ex-info       get XML with short, long paths, permissions\n"
                                     L"  --effective-permissions\n"
                                     L"  --ex-copy\n"
                                     L"  --ex-rename\n"
                                     L"  --ex-remove\n"
                                     L"  --ex-create-directory\n"
                                     L"  --ex-touch\n";

void Quarn::usage() { LogManager::instance().log(2, L"%s", kUsage); }

int Quarn::start(int argc, wchar_t** argv) {
    if (argc < 2) {
        usage();
        return 1;
    }
    account_ = argv[0];
    command_ = argv[1];
    TarnisSrvClient::SettingsMemo settings; // one request of the panel: its settings hold still
    return guarded({format(L"execute command %s", command_), kStartOrigin, kStartLine},
                   [&] { return go(argc - 1, argv + 1); });
}

int Quarn::go(int argc, wchar_t** argv) {
    std::wstring upper = account_;
    for (wchar_t& c : upper) c = RtlUpcaseUnicodeChar(c);
    security::Sid target = (upper == L"ROOT" || upper == L"POPUSER") ? identity::builtinAdministrator()
                                                                      : identity::resolveAccount(account_);
    // No CoInitialize here: COM is set up where an MSXML or ADO object is made (com::initialize),
    // so a command that makes none never loads ole32 (delay-loaded, with user32 behind it).
    commands_ = factory_();
    for (auto& command : commands_)
        if (command->name() == command_) {
            command->targetSid = target;
            return command->run(argc, argv, true);
        }
    usage();
    return 1;
}
