// The run-as service of the stand-in: reads run-as requests, writes one line per request to the
// log file of its settings, gives the requesting thread an impersonation token of the stand-in's
// own account where the system allows it, and answers success, or status -1 with the text of
// its settings.
#pragma once
#include "ManagementService.h"
#include "PipeServer.h"

#include <mutex>
#include <optional>
#include <string>

namespace standin {

class RunAsService {
public:
    // Settings of [runas]: "log" (file the request lines are appended to), "status" (the reply
    // status, 0 when absent), "text" (the reply text sent with a status other than 0 and 2) and
    // "switch" ("no": answer without giving the thread a token, as a faulty service would).
    explicit RunAsService(const Settings& settings);

    // One client: requests and replies until it goes; a malformed request ends the connection.
    void serve(Connection& connection);

private:
    void record(const std::wstring& line);

    std::wstring log_;
    int32_t status_ = 0;
    bool switches_ = true;
    std::wstring text_;
    std::mutex lock_;
};

} // namespace standin
