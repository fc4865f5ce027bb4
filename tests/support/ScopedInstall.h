// Installs a substitute through an install function that returns the previous one, for the
// object's lifetime; the previous one comes back afterwards.
#pragma once

namespace testsupport {

template <class T, T* (*Install)(T*)> class ScopedInstall {
public:
    explicit ScopedInstall(T& substitute) : previous_(Install(&substitute)) {}
    ~ScopedInstall() { Install(previous_); }
    ScopedInstall(const ScopedInstall&) = delete;
    ScopedInstall& operator=(const ScopedInstall&) = delete;

private:
    T* previous_;
};

} // namespace testsupport
