// The URL download service.
#pragma once

#include "platform/posix/win32_types.h"

struct IUnknown;
struct IBindStatusCallback;
using LPUNKNOWN = IUnknown*;
using LPBINDSTATUSCALLBACK = IBindStatusCallback*;
HRESULT URLDownloadToFileA(LPUNKNOWN caller, LPCSTR url, LPCSTR fileName, DWORD reserved,
                           LPBINDSTATUSCALLBACK callback);
#define INET_E_INVALID_URL static_cast<HRESULT>(0x800C0002u)
#define INET_E_NO_SESSION static_cast<HRESULT>(0x800C0003u)
#define INET_E_CANNOT_CONNECT static_cast<HRESULT>(0x800C0004u)
#define INET_E_RESOURCE_NOT_FOUND static_cast<HRESULT>(0x800C0005u)
#define INET_E_OBJECT_NOT_FOUND static_cast<HRESULT>(0x800C0006u)
#define INET_E_DATA_NOT_AVAILABLE static_cast<HRESULT>(0x800C0007u)
#define INET_E_DOWNLOAD_FAILURE static_cast<HRESULT>(0x800C0008u)
#define INET_E_AUTHENTICATION_REQUIRED static_cast<HRESULT>(0x800C0009u)
#define INET_E_CONNECTION_TIMEOUT static_cast<HRESULT>(0x800C000Bu)
#define INET_E_INVALID_REQUEST static_cast<HRESULT>(0x800C000Cu)
#define INET_E_UNKNOWN_PROTOCOL static_cast<HRESULT>(0x800C000Du)
#define INET_E_SECURITY_PROBLEM static_cast<HRESULT>(0x800C000Eu)
#define INET_E_REDIRECT_FAILED static_cast<HRESULT>(0x800C0014u)
