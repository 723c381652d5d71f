// The TLS library (OpenSSL 3), loaded at the first secure session so that runs which never
// fetch over TLS neither need it installed nor pay for loading it. Only its headers are used
// at build time; the tool never links it.
#pragma once

#include <openssl/bio.h>
#include <openssl/ssl.h>
#include <openssl/x509_vfy.h>

namespace vrk_posix {

struct OpensslLibrary {
  // libssl
  const SSL_METHOD* (*tlsClientMethod)();
  SSL_CTX* (*ctxNew)(const SSL_METHOD*);
  void (*ctxFree)(SSL_CTX*);
  long (*ctxCtrl)(SSL_CTX*, int, long, void*);
  int (*ctxSetDefaultVerifyPaths)(SSL_CTX*);
  void (*ctxSetVerify)(SSL_CTX*, int, SSL_verify_cb);
  SSL* (*sslNew)(SSL_CTX*);
  void (*sslFree)(SSL*);
  long (*sslCtrl)(SSL*, int, long, void*);
  void (*setBio)(SSL*, BIO*, BIO*);
  int (*set1Host)(SSL*, const char*);
  X509_VERIFY_PARAM* (*get0Param)(SSL*);
  void (*setConnectState)(SSL*);
  int (*doHandshake)(SSL*);
  int (*readEx)(SSL*, void*, size_t, size_t*);
  int (*peekEx)(SSL*, void*, size_t, size_t*);
  int (*writeEx)(SSL*, const void*, size_t, size_t*);
  int (*getError)(const SSL*, int);
  int (*pending)(const SSL*);
  int (*shutdown)(SSL*);
  long (*getVerifyResult)(const SSL*);
  // libcrypto
  int (*bioGetNewIndex)();
  BIO_METHOD* (*bioMethNew)(int, const char*);
  int (*bioMethSetWrite)(BIO_METHOD*, int (*)(BIO*, const char*, int));
  int (*bioMethSetRead)(BIO_METHOD*, int (*)(BIO*, char*, int));
  int (*bioMethSetCtrl)(BIO_METHOD*, long (*)(BIO*, int, long, void*));
  int (*bioMethSetCreate)(BIO_METHOD*, int (*)(BIO*));
  BIO* (*bioNew)(const BIO_METHOD*);
  void (*bioSetData)(BIO*, void*);
  void* (*bioGetData)(BIO*);
  void (*bioSetInit)(BIO*, int);
  void (*bioSetFlags)(BIO*, int);
  void (*bioClearFlags)(BIO*, int);
  unsigned long (*errPeekLastError)();
  void (*errClearError)();
  int (*paramSet1IpAsc)(X509_VERIFY_PARAM*, const char*);
};

// The loaded library, or null when it is not installed (or not the right one). Loads once.
const OpensslLibrary* Openssl();

}  // namespace vrk_posix
