// Late-bound calls on an automation object (IDispatch): properties and methods by name.
#pragma once
#include <comdef.h>

#include <initializer_list>
#include <string>

namespace db {

_COM_SMARTPTR_TYPEDEF(IDispatch, __uuidof(IDispatch));

class Dispatch {
public:
    Dispatch() = default;
    explicit Dispatch(IDispatchPtr object) : object_(std::move(object)) {}
    // A new object of the class registered under the programmatic identifier; nothing (an empty
    // object) when the class is not registered.
    static Dispatch create(const wchar_t* progId);

    explicit operator bool() const { return object_ != nullptr; }

    _variant_t get(const wchar_t* name, std::initializer_list<_variant_t> args = {}) const;
    void put(const wchar_t* name, const _variant_t& value) const;
    _variant_t call(const wchar_t* name, std::initializer_list<_variant_t> args = {}) const;
    Dispatch getObject(const wchar_t* name, std::initializer_list<_variant_t> args = {}) const;

private:
    // Raises _com_error with the object's own description of the failure when it gives one.
    _variant_t invoke(const wchar_t* name, WORD flags, std::initializer_list<_variant_t> args) const;

    IDispatchPtr object_;
};

} // namespace db
