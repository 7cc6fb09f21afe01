// The Windows calls the host helpers are written over, as this host provides
// them: our own declarations, kept to what the helpers and the stand-in need.
// PlatformPosix.cpp implements them.
//
// Registry: one root, HKEY_LOCAL_MACHINE, kept in a text file in the REGEDIT4
// format (see PlatformPosix.cpp for where the file is and how it is read and
// written). There is one view of the registry, so KEY_WOW64_32KEY is accepted
// and changes nothing.
//
// Files: CreateDirectoryA and DeleteFileA take paths with "\" or "/" between
// folders and match each name without regard to the case of A to Z, like the
// file core's disk access. GetLastError gives the code of the last failed file
// call.
#pragma once

#include <cstdint>

using BYTE = unsigned char;
using BOOL = int;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using REGSAM = DWORD;
using LPCSTR = const char*;
using LPSTR = char*;
using LPBYTE = BYTE*;
using LPDWORD = DWORD*;

struct HKEY__;  // an open key; defined by the stand-in
using HKEY = HKEY__*;
using PHKEY = HKEY*;

struct SECURITY_ATTRIBUTES;  // never looked at: callers pass none
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;

// The one predefined root this host knows. It is a marker, never an address.
inline const HKEY HKEY_LOCAL_MACHINE = reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000002u));

// Access rights.
constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;
constexpr REGSAM KEY_WOW64_32KEY = 0x0200;

// Value types, key options and what RegCreateKeyExA did.
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

// Result and error codes.
constexpr LONG ERROR_SUCCESS = 0;
constexpr LONG ERROR_FILE_NOT_FOUND = 2;
constexpr LONG ERROR_PATH_NOT_FOUND = 3;
constexpr LONG ERROR_ACCESS_DENIED = 5;
constexpr LONG ERROR_INVALID_HANDLE = 6;
constexpr LONG ERROR_INVALID_PARAMETER = 87;
constexpr LONG ERROR_BAD_PATHNAME = 161;
constexpr LONG ERROR_ALREADY_EXISTS = 183;
constexpr LONG ERROR_FILENAME_EXCED_RANGE = 206;
constexpr LONG ERROR_MORE_DATA = 234;
constexpr LONG ERROR_BADDB = 1009;
constexpr LONG ERROR_UNSUPPORTED_TYPE = 1630;

LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, REGSAM access, PHKEY result);
LONG RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                      LPDWORD dataSize);
LONG RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD reserved, LPSTR keyClass, DWORD options,
                     REGSAM access, LPSECURITY_ATTRIBUTES security, PHKEY result,
                     LPDWORD disposition);
LONG RegSetValueExA(HKEY key, LPCSTR valueName, DWORD reserved, DWORD type, const BYTE* data,
                    DWORD dataSize);
LONG RegCloseKey(HKEY key);

BOOL CreateDirectoryA(LPCSTR path, LPSECURITY_ATTRIBUTES security);
BOOL DeleteFileA(LPCSTR path);
DWORD GetLastError();
