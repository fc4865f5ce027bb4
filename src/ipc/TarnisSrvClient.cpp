// Placeholder until the pipe client lands.
#include "ipc/TarnisSrvClient.h"

#include "app/Exceptions.h"

TarnisSrvClient& TarnisSrvClient::getInstance() {
    static TarnisSrvClient client;
    return client;
}
std::wstring TarnisSrvClient::getString(const std::wstring&) { throw vexception(L"management service client not available"); }
std::wstring TarnisSrvClient::getExtString(const std::wstring&, const std::wstring&) { throw vexception(L"management service client not available"); }
std::wstring TarnisSrvClient::getPassword(const std::wstring&) { throw vexception(L"management service client not available"); }
void TarnisSrvClient::setPassword(const std::wstring&, const std::wstring&) { throw vexception(L"management service client not available"); }
std::wstring TarnisSrvClient::componentInfo(const std::wstring&, int) { throw vexception(L"management service client not available"); }
