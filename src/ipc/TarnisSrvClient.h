// Client of the panel's management service ("\\.\pipe\tnapipe"): panel settings, extended
// settings, stored passwords and component information. One shared instance per process; one
// request at a time.
#pragma once
#include "ipc/Pipe.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

class TarnisSrvClient {
public:
    static TarnisSrvClient& getInstance();

    // Connects to the service's pipe with the given number of attempts.
    explicit TarnisSrvClient(std::wstring pipeName, int attempts = 5);
    TarnisSrvClient(const TarnisSrvClient&) = delete;
    TarnisSrvClient& operator=(const TarnisSrvClient&) = delete;

    std::wstring getString(const std::wstring& name);
    std::wstring getExtString(const std::wstring& section, const std::wstring& name);
    std::wstring getPassword(const std::wstring& name);
    void setPassword(const std::wstring& name, const std::wstring& password);
    std::wstring componentInfo(const std::wstring& package, int kind);

    // Sends one request (the operation and its encoded arguments) and returns the answer's bytes;
    // a failed first try is repeated once over a new connection.
    std::string query(const GUID& operation, const std::string& arguments);

    // Requests this client has sent, repeats over a new connection included.
    size_t requestsSent() const { return requestsSent_; }

    // While one exists, the answers of getString and componentInfo are kept (by any client) and a
    // repeated question is answered from them: the panel's settings do not change within one
    // request, and every question is a round trip to the service. Failures are not kept. The
    // program holds one for its whole run; tests that change the service's settings between
    // runs in one process hold none.
    class SettingsMemo {
    public:
        SettingsMemo();
        ~SettingsMemo();
        SettingsMemo(const SettingsMemo&) = delete;
        SettingsMemo& operator=(const SettingsMemo&) = delete;

    private:
        friend class TarnisSrvClient;
        std::map<std::pair<std::wstring, std::wstring>, std::wstring> answers_; // by operation, question
        SettingsMemo* outer_;
    };

private:
    template <class Ask>
    std::wstring remembered(const std::wstring& operation, const std::wstring& question, Ask ask);
    std::string transfer(const std::string& payload);
    void ensureConnected(int attempts);
    void checkNotFinished();

    std::wstring pipeName_;
    std::unique_ptr<Con::ClientOverlappedPipe> pipe_;
    std::mutex lock_;
    size_t requestsSent_ = 0;
};
