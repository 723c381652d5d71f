// The Secure Channel and certificate headers, with what they need before them: every file of
// the Windows TLS session includes this one instead.
#pragma once

#include "platform/winapi.h"

#ifndef SECURITY_WIN32
#define SECURITY_WIN32
#endif
// For SCH_CREDENTIALS, the only form of credentials that offers TLS 1.3 on Windows.
#ifndef SCHANNEL_USE_BLACKLISTS
#define SCHANNEL_USE_BLACKLISTS
#endif
#include <wincrypt.h>
#include <subauth.h>
#include <security.h>
#include <schannel.h>
