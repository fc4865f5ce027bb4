// The pipe and the operation identifiers of the panel's management service.
#pragma once
#include <windows.h>

namespace tarnissrv {

inline constexpr const wchar_t* kPipeName = L"\\\\.\\pipe\\tnapipe";

// {AD3EBC3C-E6B9-4FCF-ABB9-ED1B3D524F22}: name → value
inline constexpr GUID kGetString = {0xAD3EBC3C, 0xE6B9, 0x4FCF, {0xAB, 0xB9, 0xED, 0x1B, 0x3D, 0x52, 0x4F, 0x22}};
// {C3E0A5CB-2FD5-4CC5-8B2F-8A2D88105A6D}: section, name → value
inline constexpr GUID kGetExtString = {0xC3E0A5CB, 0x2FD5, 0x4CC5, {0x8B, 0x2F, 0x8A, 0x2D, 0x88, 0x10, 0x5A, 0x6D}};
// {50A1A607-50B9-4DB3-92EC-B940EB87F8FF}: name → password
inline constexpr GUID kGetPassword = {0x50A1A607, 0x50B9, 0x4DB3, {0x92, 0xEC, 0xB9, 0x40, 0xEB, 0x87, 0xF8, 0xFF}};
// {34D9F754-8BE8-46FE-9CF2-3AFDBE4E8DD8}: name, password → nothing
inline constexpr GUID kSetPassword = {0x34D9F754, 0x8BE8, 0x46FE, {0x9C, 0xF2, 0x3A, 0xFD, 0xBE, 0x4E, 0x8D, 0xD8}};
// {943B58AA-49DE-47A5-AA59-0E010A48C341}: package, information kind → information
inline constexpr GUID kComponentInfo = {0x943B58AA, 0x49DE, 0x47A5, {0xAA, 0x59, 0x0E, 0x01, 0x0A, 0x48, 0xC3, 0x41}};

} // namespace tarnissrv
