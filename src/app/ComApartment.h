// COM on the calling thread, for ADO and MSXML alike. An apartment already there of the other
// model is used as it is.
#pragma once

namespace com {

// CoInitialize(NULL) accepting S_OK, S_FALSE and RPC_E_CHANGED_MODE; anything else raises the
// run-time error "Unable to initialize COM" with the result as code. True when the call is to be
// balanced by CoUninitialize (S_OK and S_FALSE).
bool initialize();

// COM initialised for the object's lifetime.
class Apartment {
public:
    Apartment() : initialized_(initialize()) {}
    ~Apartment();
    Apartment(const Apartment&) = delete;
    Apartment& operator=(const Apartment&) = delete;

private:
    bool initialized_;
};

} // namespace com
