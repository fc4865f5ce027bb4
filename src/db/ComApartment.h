// COM initialised on the calling thread for an object's lifetime (ADO needs it). An apartment
// already there of the other model is used as it is.
#pragma once

namespace db {

class ComApartment {
public:
    ComApartment();
    ~ComApartment();
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    bool initialized_ = false;
};

} // namespace db
