// Client of the panel's management service ("\\.\pipe\tnapipe"): panel settings, extended
// settings, stored passwords and component information. One shared instance per process; one
// request at a time.
#pragma once
#include "ipc/Pipe.h"

#include <memory>
#include <mutex>
#include <string>

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

private:
    std::string transfer(const std::string& payload);
    void ensureConnected(int attempts);
    void checkNotFinished();

    std::wstring pipeName_;
    std::unique_ptr<Con::ClientOverlappedPipe> pipe_;
    std::mutex lock_;
};
