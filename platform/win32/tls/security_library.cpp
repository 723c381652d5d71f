#include "platform/win32/tls/security_library.h"

namespace vrk::schannel {

namespace {

template <typename Function>
bool Find(HMODULE library, const char* name, Function& function) {
  function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
  return function != nullptr;
}

bool Load(SecurityLibrary& loaded) {
  const HMODULE security = LoadLibraryA("secur32.dll");
  const HMODULE certificates = LoadLibraryA("crypt32.dll");
  INIT_SECURITY_INTERFACE_A initialize = nullptr;
  if (security == nullptr || certificates == nullptr || !Find(security, SECURITY_ENTRYPOINT_ANSIA, initialize)) {
    return false;
  }
  loaded.sspi = initialize();
  return loaded.sspi != nullptr && Find(certificates, "CertGetCertificateChain", loaded.getChain) &&
         Find(certificates, "CertFreeCertificateChain", loaded.freeChain) &&
         Find(certificates, "CertVerifyCertificateChainPolicy", loaded.verifyChainPolicy) &&
         Find(certificates, "CertVerifyTimeValidity", loaded.verifyTimeValidity) &&
         Find(certificates, "CertFindExtension", loaded.findExtension) &&
         Find(certificates, "CryptDecodeObjectEx", loaded.decodeObject) &&
         Find(certificates, "CertFreeCertificateContext", loaded.freeCertificate);
}

}  // namespace

const SecurityLibrary* Security() {
  static SecurityLibrary loaded{};
  static const bool available = Load(loaded);
  return available ? &loaded : nullptr;
}

}  // namespace vrk::schannel
