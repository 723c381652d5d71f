#include "platform/win32/tls/certificate_check.h"

#include <cstring>
#include <memory>
#include <string>

// The policy's SECURITY_FLAG_IGNORE_ values; nothing of the library itself is used.
#include <wininet.h>

#include "platform/win32/tls/security_library.h"

namespace vrk::schannel {

namespace {

struct ChainRelease {
  void operator()(PCCERT_CHAIN_CONTEXT chain) const noexcept { Security()->freeChain(chain); }
};
using Chain = std::unique_ptr<const CERT_CHAIN_CONTEXT, ChainRelease>;

// The chain for a server's certificate, with what the server sent besides it (its store).
Chain BuildChain(PCCERT_CONTEXT certificate) {
  static char serverAuthentication[] = szOID_PKIX_KP_SERVER_AUTH;
  LPSTR usage = serverAuthentication;
  CERT_CHAIN_PARA parameters{};
  parameters.cbSize = sizeof parameters;
  parameters.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
  parameters.RequestedUsage.Usage.cUsageIdentifier = 1;
  parameters.RequestedUsage.Usage.rgpszUsageIdentifier = &usage;
  PCCERT_CHAIN_CONTEXT chain = nullptr;
  if (!Security()->getChain(nullptr, certificate, nullptr, certificate->hCertStore, &parameters, 0, nullptr,
                               &chain)) {
    return nullptr;
  }
  return Chain(chain);
}

// Untrusted, or self-signed when the server's certificate alone signs itself.
TlsFailure TrustFailure(const CERT_CHAIN_CONTEXT& chain) {
  const CERT_SIMPLE_CHAIN& simple = *chain.rgpChain[0];
  const bool alone = chain.cChain == 1 && simple.cElement == 1 &&
                     (simple.rgpElement[0]->TrustStatus.dwInfoStatus & CERT_TRUST_IS_SELF_SIGNED) != 0;
  return alone ? TlsFailure::SelfSigned : TlsFailure::Untrusted;
}

// Expired or not valid yet, by the first certificate of the chain whose dates exclude now.
TlsFailure DateFailure(const CERT_CHAIN_CONTEXT& chain) {
  for (DWORD c = 0; c < chain.cChain; ++c) {
    const CERT_SIMPLE_CHAIN& simple = *chain.rgpChain[c];
    for (DWORD e = 0; e < simple.cElement; ++e) {
      const LONG when = Security()->verifyTimeValidity(nullptr, simple.rgpElement[e]->pCertContext->pCertInfo);
      if (when < 0) return TlsFailure::NotYetValid;
      if (when > 0) return TlsFailure::Expired;
    }
  }
  return TlsFailure::Expired;
}

bool NamesAddress(PCCERT_CONTEXT certificate, const in_addr& address) {
  const CERT_INFO& info = *certificate->pCertInfo;
  const PCERT_EXTENSION extension = Security()->findExtension(szOID_SUBJECT_ALT_NAME2, info.cExtension, info.rgExtension);
  if (extension == nullptr) return false;
  CERT_ALT_NAME_INFO* names = nullptr;
  DWORD size = 0;
  if (!Security()->decodeObject(X509_ASN_ENCODING, X509_ALTERNATE_NAME, extension->Value.pbData,
                           extension->Value.cbData, CRYPT_DECODE_ALLOC_FLAG, nullptr, &names, &size)) {
    return false;
  }
  bool named = false;
  for (DWORD i = 0; i < names->cAltEntry && !named; ++i) {
    const CERT_ALT_NAME_ENTRY& entry = names->rgAltEntry[i];
    named = entry.dwAltNameChoice == CERT_ALT_NAME_IP_ADDRESS && entry.IPAddress.cbData == sizeof address &&
            std::memcmp(entry.IPAddress.pbData, &address, sizeof address) == 0;
  }
  LocalFree(names);
  return named;
}

std::wstring Wide(const Text& text) {
  const int length = MultiByteToWideChar(CP_ACP, 0, text.c_str(), static_cast<int>(text.Length()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.c_str(), static_cast<int>(text.Length()), wide.data(), length);
  return wide;
}

// The system's server policy for the host name alone: the trust and the dates come from the
// chain's status, so that the order of the causes is ours. An address is compared by
// NamesAddress instead: Windows matches the common name against it as text, Wine not at all.
DWORD PolicyError(const CERT_CHAIN_CONTEXT& chain, const Text& host, bool address) {
  std::wstring name = address ? std::wstring() : Wide(host);
  HTTPSPolicyCallbackData server{};
  server.cbStruct = sizeof server;
  server.dwAuthType = AUTHTYPE_SERVER;
  server.fdwChecks = SECURITY_FLAG_IGNORE_UNKNOWN_CA | SECURITY_FLAG_IGNORE_CERT_DATE_INVALID |
                     (address ? SECURITY_FLAG_IGNORE_CERT_CN_INVALID : 0);
  server.pwszServerName = address ? nullptr : name.data();
  CERT_CHAIN_POLICY_PARA parameters{};
  parameters.cbSize = sizeof parameters;
  parameters.pvExtraPolicyPara = &server;
  CERT_CHAIN_POLICY_STATUS status{};
  status.cbSize = sizeof status;
  if (!Security()->verifyChainPolicy(CERT_CHAIN_POLICY_SSL, &chain, &parameters, &status)) {
    return static_cast<DWORD>(CERT_E_CRITICAL);
  }
  return status.dwError;
}

}  // namespace

bool IsAddress(const Text& host) { return inet_addr(host.c_str()) != INADDR_NONE; }

std::optional<TlsFailure> CheckServerCertificate(PCCERT_CONTEXT certificate, const Text& host) {
  const Chain chain = BuildChain(certificate);
  if (!chain || chain->cChain == 0) return TlsFailure::Untrusted;
  const DWORD errors = chain->TrustStatus.dwErrorStatus;
  // The chain's status says the trust: Wine's policy passes a chain that ends short of any root.
  if (errors & (CERT_TRUST_IS_UNTRUSTED_ROOT | CERT_TRUST_IS_PARTIAL_CHAIN)) return TrustFailure(*chain);
  const bool address = IsAddress(host);
  const DWORD policy = PolicyError(*chain, host, address);
  if (policy == static_cast<DWORD>(CERT_E_CN_NO_MATCH)) return TlsFailure::WrongHost;
  if (address) {
    in_addr wanted{};
    wanted.s_addr = inet_addr(host.c_str());
    if (!NamesAddress(certificate, wanted)) return TlsFailure::WrongHost;
  }
  if (errors & CERT_TRUST_IS_NOT_TIME_VALID) return DateFailure(*chain);
  if (errors != CERT_TRUST_NO_ERROR || policy != 0) return TlsFailure::Other;
  return std::nullopt;
}

}  // namespace vrk::schannel
