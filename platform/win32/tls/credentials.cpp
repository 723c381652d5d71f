#include "platform/win32/tls/credentials.h"

#include <utility>

#include "platform/win32/tls/security_library.h"

namespace vrk::schannel {

namespace {

constexpr DWORD kOffered = SP_PROT_TLS1_2_CLIENT | SP_PROT_TLS1_3_CLIENT;
constexpr DWORD kOld = SP_PROT_SSL2_CLIENT | SP_PROT_SSL3_CLIENT | SP_PROT_TLS1_0_CLIENT | SP_PROT_TLS1_1_CLIENT;
// No certificate of ours is ever offered, and the server's is checked by certificate_check.
constexpr DWORD kFlags = SCH_CRED_NO_DEFAULT_CREDS | SCH_CRED_MANUAL_CRED_VALIDATION;

bool AcquireWith(void* authData, CredHandle& handle) {
  TimeStamp expiry{};
  char package[] = UNISP_NAME_A;
  return Security()->sspi->AcquireCredentialsHandleA(nullptr, package, SECPKG_CRED_OUTBOUND, nullptr, authData, nullptr,
                                                     nullptr, &handle, &expiry) == SEC_E_OK;
}

// True when the credentials enable nothing but what we offer. Systems that take the newer
// form of credentials without knowing its protocol limits enable their defaults instead.
bool OfferOnlyWhatWeAsk(CredHandle& handle) {
  SecPkgCred_SupportedProtocols enabled{};
  if (Security()->sspi->QueryCredentialsAttributesA(&handle, SECPKG_ATTR_SUPPORTED_PROTOCOLS, &enabled) != SEC_E_OK) return false;
  return (enabled.grbitProtocol & kOffered) != 0 && (enabled.grbitProtocol & kOld) == 0;
}

// The form of Windows 10 (1809) on: the only one that offers TLS 1.3 there.
bool AcquireCurrent(CredHandle& handle) {
  TLS_PARAMETERS limits{};
  limits.grbitDisabledProtocols = static_cast<DWORD>(~kOffered);
  SCH_CREDENTIALS credentials{};
  credentials.dwVersion = SCH_CREDENTIALS_VERSION;
  credentials.dwFlags = kFlags;
  credentials.cTlsParameters = 1;
  credentials.pTlsParameters = &limits;
  if (!AcquireWith(&credentials, handle)) return false;
  if (OfferOnlyWhatWeAsk(handle)) return true;
  Security()->sspi->FreeCredentialHandle(&handle);
  return false;
}

// The older form, which every Secure Channel knows; some refuse TLS 1.3 in it.
bool AcquireClassic(DWORD protocols, CredHandle& handle) {
  SCHANNEL_CRED credentials{};
  credentials.dwVersion = SCHANNEL_CRED_VERSION;
  credentials.dwFlags = kFlags;
  credentials.grbitEnabledProtocols = protocols;
  return AcquireWith(&credentials, handle);
}

}  // namespace

Credentials Credentials::Acquire() {
  Credentials made;
  if (Security() == nullptr) return made;
  made.valid_ = AcquireCurrent(made.handle_) || AcquireClassic(kOffered, made.handle_) ||
                AcquireClassic(SP_PROT_TLS1_2_CLIENT, made.handle_);
  return made;
}

Credentials::Credentials(Credentials&& other) noexcept
    : handle_(other.handle_), valid_(std::exchange(other.valid_, false)) {}

Credentials& Credentials::operator=(Credentials&& other) noexcept {
  if (this != &other) {
    if (valid_) Security()->sspi->FreeCredentialHandle(&handle_);
    handle_ = other.handle_;
    valid_ = std::exchange(other.valid_, false);
  }
  return *this;
}

Credentials::~Credentials() {
  if (valid_) Security()->sspi->FreeCredentialHandle(&handle_);
}

}  // namespace vrk::schannel
