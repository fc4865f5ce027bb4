// MSXML 3.0 through COM: the interface identifiers mingw-w64's libuuid lacks (declared once,
// here), and owners for COM pointers, BSTRs and VARIANTs. COM itself is set up by
// app/ComApartment.
#pragma once
#include "app/ComApartment.h"

#include <string>
#include <utility>

#include <msxml2.h>
#include <ole2.h>

__CRT_UUID_DECL(IXMLDOMDocument, 0x2933bf81, 0x7b36, 0x11d2, 0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60)
__CRT_UUID_DECL(IXMLDOMDocument2, 0x2933bf95, 0x7b36, 0x11d2, 0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60)
__CRT_UUID_DECL(IXMLDOMElement, 0x2933bf86, 0x7b36, 0x11d2, 0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60)
__CRT_UUID_DECL(IXMLDOMNode, 0x2933bf80, 0x7b36, 0x11d2, 0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60)
__CRT_UUID_DECL(IMXWriter, 0x4d7ff4ba, 0x1565, 0x4ea8, 0x94, 0xe1, 0x6e, 0x72, 0x4a, 0x46, 0xf9, 0x8d)
__CRT_UUID_DECL(ISAXContentHandler, 0x1545cdfa, 0x9e4e, 0x4497, 0xa8, 0xa4, 0x2b, 0xf7, 0xd0, 0x11, 0x2c, 0x44)
__CRT_UUID_DECL(ISAXAttributes, 0xf078abe1, 0x45d2, 0x4832, 0x91, 0xea, 0x44, 0x66, 0xce, 0x2f, 0x25, 0xc9)
__CRT_UUID_DECL(IMXAttributes, 0xf10d27cc, 0x3ec0, 0x415c, 0x8e, 0xd8, 0x77, 0xab, 0x1c, 0x5e, 0x72, 0x62)

namespace com {

template <class T> class Ptr {
public:
    Ptr() = default;
    ~Ptr() { reset(); }
    Ptr(const Ptr& o) : p_(o.p_) {
        if (p_) p_->AddRef();
    }
    Ptr(Ptr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    // One more owner of an interface another owner holds.
    static Ptr sharing(T* p) {
        Ptr shared;
        shared.p_ = p;
        if (p) p->AddRef();
        return shared;
    }
    Ptr& operator=(Ptr o) {
        std::swap(p_, o.p_);
        return *this;
    }
    T* operator->() const { return p_; }
    T* get() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    void reset() {
        if (p_) p_->Release();
        p_ = nullptr;
    }
    // For out-parameters: releases what is held, hands out the slot.
    T** receive() {
        reset();
        return &p_;
    }
    void** receiveVoid() { return reinterpret_cast<void**>(receive()); }

private:
    T* p_ = nullptr;
};

class Bstr {
public:
    Bstr() = default;
    explicit Bstr(const std::wstring& s) : b_(SysAllocStringLen(s.data(), static_cast<UINT>(s.size()))) {}
    ~Bstr() { SysFreeString(b_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    BSTR get() const { return b_; }
    BSTR* receive() {
        SysFreeString(b_);
        b_ = nullptr;
        return &b_;
    }
    std::wstring str() const { return b_ ? std::wstring(b_, SysStringLen(b_)) : std::wstring(); }

private:
    BSTR b_ = nullptr;
};

class Variant {
public:
    Variant() { VariantInit(&v_); }
    explicit Variant(const std::wstring& s) {
        VariantInit(&v_);
        v_.vt = VT_BSTR;
        v_.bstrVal = SysAllocStringLen(s.data(), static_cast<UINT>(s.size()));
    }
    ~Variant() { VariantClear(&v_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    VARIANT& get() { return v_; }

private:
    VARIANT v_;
};

// A VARIANT that owns a one-dimensional array of `count` bytes (VT_ARRAY | VT_UI1): how a
// document is given to the parser as bytes.
class ByteArray {
public:
    explicit ByteArray(ULONG count);
    ~ByteArray() { VariantClear(&v_); }
    ByteArray(const ByteArray&) = delete;
    ByteArray& operator=(const ByteArray&) = delete;
    // A vector made by SafeArrayCreateVector holds its elements in one block at pvData.
    BYTE* data() const { return static_cast<BYTE*>(v_.parray->pvData); }
    ULONG size() const { return size_; }
    const VARIANT& get() const { return v_; }

private:
    VARIANT v_;
    ULONG size_;
};

// Raises _com_error for a failed HRESULT.
void check(HRESULT hr);

// Makes the object registered under `progId` as `object` (COM set up first) and gives the
// result: each caller reports a failure in its own terms.
template <class T> HRESULT createInstance(const wchar_t* progId, Ptr<T>& object) {
    initialize();
    CLSID clsid{};
    HRESULT hr = CLSIDFromProgID(progId, &clsid);
    if (SUCCEEDED(hr)) hr = CoCreateInstance(clsid, nullptr, CLSCTX_ALL, __uuidof(T), object.receiveVoid());
    return hr;
}

// Calls `visit` with every element child of `parent`, in document order, until it answers false.
template <class Visit> void forEachElement(IXMLDOMNode* parent, Visit visit) {
    Ptr<IXMLDOMNode> node;
    check(parent->get_firstChild(node.receive()));
    while (node) {
        DOMNodeType type = NODE_INVALID;
        check(node->get_nodeType(&type));
        if (type == NODE_ELEMENT && !visit(node.get())) return;
        Ptr<IXMLDOMNode> next;
        check(node->get_nextSibling(next.receive()));
        node = next;
    }
}

} // namespace com
