#include "app/RunAsUser.h"

#include "app/CallStack.h"
#include "app/DebugFlag.h"
#include "app/Guard.h"
#include "app/Log.h"
#include "app/Text.h"

#include <memory>

#include <windows.h>

namespace RunTime {
namespace {

// The run frame's contexts, as the panel's logs and the debug output have always shown them.
constexpr const char* kRunOrigin = "RunTime::RunAsUser::run";
constexpr int kRecorderLine = 286;
constexpr int kExecuteLine = 305;
constexpr int kCallStackLine = 315;

} // namespace

int RunAsUser::go(int, wchar_t**) { return 0; }

bool RunAsUser::needsUsage(int argc, wchar_t**) { return argc == 0; }

void RunAsUser::makeNarrowArguments(int argc, wchar_t** argv) {
    narrow_.clear();
    for (int i = 0; i < argc; ++i) narrow_.push_back(text::toAnsi(argv[i]));
    narrowPointers_.clear();
    for (std::string& s : narrow_) narrowPointers_.push_back(s.data());
    narrowPointers_.push_back(nullptr);
}

int RunAsUser::run(int argc, wchar_t** argv, bool runAsFlag) {
    runAsFlag_ = runAsFlag;
    const std::wstring commandLine = GetCommandLineW();
    LogManager& log = LogManager::instance();
    log.log(0, L"start %s", commandLine);
    installOutermostExceptionFilter();

    int result = 1;
    std::wstring error;
    std::unique_ptr<VectoredException> recorder;
    try {
        guarded({L"Initialize vectored exception", kRunOrigin, kRecorderLine}, [&] {
            if (debugflag::query()) recorder = std::make_unique<VectoredException>();
        });
    } catch (const vexception& e) {
        log.log(3, e);
    }

    try {
        guarded({format(L"execute %s", commandLine), kRunOrigin, kExecuteLine}, [&] {
            if (wantsNarrowArguments) makeNarrowArguments(argc, argv);
            int rest = argc > 0 ? argc - 1 : 0;
            wchar_t** restv = argc > 0 ? argv + 1 : argv;
            if (needsUsage(rest, restv))
                usage();
            else
                result = start(rest, restv);
        });
    } catch (const vexception& e) {
        error = e.text(debugflag::query());
    }

    if (!error.empty()) {
        if (recorder) {
            try {
                guarded({L"Get call stack", kRunOrigin, kCallStackLine}, [&] {
                    if (error.back() != L'\n') error += L"\n";
                    error += recorder->text();
                });
            } catch (const vexception& e) {
                log.log(3, e);
            }
        }
        log.log(3, L"%s", error);
    }
    recorder.reset();
    return result;
}

} // namespace RunTime
