// vrk_wine_trust_root add|remove CERTIFICATE
//   Adds the certificate (a PEM or DER file) to the trusted roots of the local machine, or
//   removes it again (removing one that is not there succeeds). For the tests under Wine: the
//   test CA is trusted by the real Secure Channel path, and only the Wine prefix of the build
//   folder changes. It refuses to run on Windows itself, whose trust store is the machine's.
//   Exit code 0 when done, 1 on a failure (said on standard error), 2 on a usage error.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

bool UnderWine() {
  const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// The certificate's DER bytes: a PEM file is decoded, anything else taken as DER.
std::vector<BYTE> ReadCertificate(const char* file) {
  std::ifstream in(file, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (bytes.find("-----BEGIN") == std::string::npos) return std::vector<BYTE>(bytes.begin(), bytes.end());
  DWORD size = 0;
  if (!CryptStringToBinaryA(bytes.c_str(), static_cast<DWORD>(bytes.size()), CRYPT_STRING_BASE64HEADER, nullptr,
                            &size, nullptr, nullptr)) {
    return {};
  }
  std::vector<BYTE> der(size);
  if (!CryptStringToBinaryA(bytes.c_str(), static_cast<DWORD>(bytes.size()), CRYPT_STRING_BASE64HEADER, der.data(),
                            &size, nullptr, nullptr)) {
    return {};
  }
  der.resize(size);
  return der;
}

bool Remove(HCERTSTORE store, PCCERT_CONTEXT certificate) {
  PCCERT_CONTEXT found = CertFindCertificateInStore(store, X509_ASN_ENCODING, 0, CERT_FIND_EXISTING, certificate,
                                                    nullptr);
  // Deleting frees the context it is given.
  return found == nullptr || CertDeleteCertificateFromStore(found);
}

int Fail(const char* what) {
  std::fprintf(stderr, "vrk_wine_trust_root: %s (error %lu)\n", what, GetLastError());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string action = argc == 3 ? argv[1] : "";
  if (action != "add" && action != "remove") {
    std::fprintf(stderr, "usage: vrk_wine_trust_root add|remove CERTIFICATE\n");
    return 2;
  }
  if (!UnderWine()) {
    std::fprintf(stderr, "vrk_wine_trust_root: runs under Wine only; on Windows it would change the machine\n");
    return 1;
  }
  const std::vector<BYTE> der = ReadCertificate(argv[2]);
  if (der.empty()) return Fail("no certificate in the file");
  PCCERT_CONTEXT certificate = CertCreateCertificateContext(X509_ASN_ENCODING, der.data(), static_cast<DWORD>(der.size()));
  if (certificate == nullptr) return Fail("not a certificate");
  HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_A, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, "Root");
  if (store == nullptr) {
    CertFreeCertificateContext(certificate);
    return Fail("cannot open the trusted roots");
  }
  const bool done = action == "add" ? CertAddCertificateContextToStore(store, certificate,
                                                                       CERT_STORE_ADD_REPLACE_EXISTING, nullptr)
                                    : Remove(store, certificate);
  // Wine writes a removal to the registry only when the store is committed.
  const bool kept = done && CertControlStore(store, 0, CERT_STORE_CTRL_COMMIT, nullptr);
  const int result = kept ? 0 : Fail(action == "add" ? "cannot add the certificate" : "cannot remove the certificate");
  CertCloseStore(store, 0);
  CertFreeCertificateContext(certificate);
  return result;
}
