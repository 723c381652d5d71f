#include "tools/tls_peer/test_certificates.h"

#include <openssl/bn.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <cstdio>
#include <ctime>
#include <functional>
#include <memory>
#include <stdexcept>

namespace vrk_test {

namespace {

constexpr long kDay = 24L * 60 * 60;

struct KeyFree {
  void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct CertFree {
  void operator()(X509* cert) const { X509_free(cert); }
};
using Key = std::unique_ptr<EVP_PKEY, KeyFree>;
using Cert = std::unique_ptr<X509, CertFree>;

void Check(bool ok, const char* what) {
  if (!ok) throw std::runtime_error(std::string("cannot make the test certificates: ") + what);
}

// RSA, which every TLS stack's chain check takes.
Key NewKey() {
  Key key(EVP_RSA_gen(2048));
  Check(key != nullptr, "key");
  return key;
}

struct Issuer {
  X509* cert;  // null: the certificate signs itself
  EVP_PKEY* key;
};

struct Request {
  std::string commonName;
  long notBefore;  // seconds from now
  long notAfter;
  bool authority;
  std::string altNames;  // subjectAltName value; empty for a CA
};

void AddExtension(X509* cert, X509* issuer, int nid, const std::string& value) {
  X509V3_CTX context;
  X509V3_set_ctx_nodb(&context);
  X509V3_set_ctx(&context, issuer, cert, nullptr, nullptr, 0);
  X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value.c_str());
  Check(extension != nullptr && X509_add_ext(cert, extension, -1) == 1, "extension");
  X509_EXTENSION_free(extension);
}

Cert Make(const Request& request, EVP_PKEY* subjectKey, const Issuer& issuer) {
  // Unique across runs too: a system that remembers certificates must not mix up two.
  static long serial = static_cast<long>(std::time(nullptr)) * 100;
  Cert cert(X509_new());
  Check(cert != nullptr, "certificate");
  X509_set_version(cert.get(), 2);
  ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), ++serial);
  X509_gmtime_adj(X509_getm_notBefore(cert.get()), request.notBefore);
  X509_gmtime_adj(X509_getm_notAfter(cert.get()), request.notAfter);
  X509_NAME* name = X509_get_subject_name(cert.get());
  X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("VRK tests"), -1, -1, 0);
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>(request.commonName.c_str()), -1, -1, 0);
  X509* issuerCert = issuer.cert != nullptr ? issuer.cert : cert.get();
  X509_set_issuer_name(cert.get(), X509_get_subject_name(issuerCert));
  X509_set_pubkey(cert.get(), subjectKey);
  AddExtension(cert.get(), issuerCert, NID_subject_key_identifier, "hash");
  if (issuer.cert != nullptr) AddExtension(cert.get(), issuerCert, NID_authority_key_identifier, "keyid:always");
  if (request.authority) {
    AddExtension(cert.get(), issuerCert, NID_basic_constraints, "critical,CA:TRUE");
    AddExtension(cert.get(), issuerCert, NID_key_usage, "critical,keyCertSign,cRLSign");
  } else {
    AddExtension(cert.get(), issuerCert, NID_basic_constraints, "critical,CA:FALSE");
    AddExtension(cert.get(), issuerCert, NID_key_usage, "critical,digitalSignature,keyEncipherment");
    AddExtension(cert.get(), issuerCert, NID_ext_key_usage, "serverAuth");
    AddExtension(cert.get(), issuerCert, NID_subject_alt_name, request.altNames);
  }
  Check(X509_sign(cert.get(), issuer.key, EVP_sha256()) > 0, "signature");
  return cert;
}

void WriteFile(const std::filesystem::path& path, const std::function<bool(FILE*)>& write) {
  const std::filesystem::path partial = path.string() + ".partial";
  FILE* file = std::fopen(partial.c_str(), "wb");
  Check(file != nullptr, "file");
  const bool written = write(file);
  Check(std::fclose(file) == 0 && written, "file");
  // Renamed only when whole: a peer started meanwhile never reads half a file.
  std::filesystem::rename(partial, path);
}

void WriteCert(const std::filesystem::path& path, X509* cert) {
  WriteFile(path, [cert](FILE* file) { return PEM_write_X509(file, cert) == 1; });
}

}  // namespace

const std::vector<std::string>& TestCertificateNames() {
  static const std::vector<std::string> names = {"good",        "expired",   "not-yet-valid",
                                                 "wrong-host",  "self-signed", "untrusted"};
  return names;
}

void MakeTestCertificates(const std::filesystem::path& folder) {
  std::filesystem::create_directories(folder);
  const std::string local = "DNS:localhost,IP:127.0.0.1";
  const Key caKey = NewKey();
  const Key otherKey = NewKey();
  const Key serverKey = NewKey();
  const Cert ca = Make({"VRK Test CA", -kDay, 3650 * kDay, true, ""}, caKey.get(), {nullptr, caKey.get()});
  const Cert other = Make({"VRK Other CA", -kDay, 3650 * kDay, true, ""}, otherKey.get(), {nullptr, otherKey.get()});
  const Issuer byCa{ca.get(), caKey.get()};
  struct Leaf {
    const char* name;
    Request request;
    Issuer issuer;
  };
  const Leaf leaves[] = {
      {"good", {"localhost", -kDay, 365 * kDay, false, local}, byCa},
      {"expired", {"localhost", -30 * kDay, -kDay, false, local}, byCa},
      {"not-yet-valid", {"localhost", kDay, 365 * kDay, false, local}, byCa},
      {"wrong-host", {"wrong.example", -kDay, 365 * kDay, false, "DNS:wrong.example,IP:127.0.0.2"}, byCa},
      {"self-signed", {"localhost", -kDay, 365 * kDay, false, local}, {nullptr, serverKey.get()}},
      {"untrusted", {"localhost", -kDay, 365 * kDay, false, local}, {other.get(), otherKey.get()}},
  };
  WriteFile(folder / "key.pem", [&serverKey](FILE* file) {
    return PEM_write_PrivateKey(file, serverKey.get(), nullptr, nullptr, 0, nullptr, nullptr) == 1;
  });
  for (const Leaf& leaf : leaves) {
    const Cert cert = Make(leaf.request, serverKey.get(), leaf.issuer);
    WriteCert(folder / (std::string(leaf.name) + ".pem"), cert.get());
  }
  // Last: its presence says that the folder is complete.
  WriteCert(folder / "ca.pem", ca.get());
}

}  // namespace vrk_test
