#include "platform/posix/tls/openssl_library.h"

#include "platform/posix/kernel/shared_library.h"

#include <openssl/err.h>

namespace vrk_posix {

namespace {

#define VRK_RESOLVE(library, field, symbol) Resolve<decltype(&symbol)>(library, #symbol, field)

bool ResolveSsl(void* ssl, OpensslLibrary& table) {
  return VRK_RESOLVE(ssl, table.tlsClientMethod, TLS_client_method) &&
         VRK_RESOLVE(ssl, table.ctxNew, SSL_CTX_new) && VRK_RESOLVE(ssl, table.ctxFree, SSL_CTX_free) &&
         VRK_RESOLVE(ssl, table.ctxCtrl, SSL_CTX_ctrl) &&
         VRK_RESOLVE(ssl, table.ctxSetDefaultVerifyPaths, SSL_CTX_set_default_verify_paths) &&
         VRK_RESOLVE(ssl, table.ctxSetVerify, SSL_CTX_set_verify) &&
         VRK_RESOLVE(ssl, table.sslNew, SSL_new) && VRK_RESOLVE(ssl, table.sslFree, SSL_free) &&
         VRK_RESOLVE(ssl, table.sslCtrl, SSL_ctrl) && VRK_RESOLVE(ssl, table.setBio, SSL_set_bio) &&
         VRK_RESOLVE(ssl, table.set1Host, SSL_set1_host) &&
         VRK_RESOLVE(ssl, table.get0Param, SSL_get0_param) &&
         VRK_RESOLVE(ssl, table.setConnectState, SSL_set_connect_state) &&
         VRK_RESOLVE(ssl, table.doHandshake, SSL_do_handshake) &&
         VRK_RESOLVE(ssl, table.readEx, SSL_read_ex) && VRK_RESOLVE(ssl, table.peekEx, SSL_peek_ex) &&
         VRK_RESOLVE(ssl, table.writeEx, SSL_write_ex) &&
         VRK_RESOLVE(ssl, table.getError, SSL_get_error) &&
         VRK_RESOLVE(ssl, table.pending, SSL_pending) &&
         VRK_RESOLVE(ssl, table.shutdown, SSL_shutdown) &&
         VRK_RESOLVE(ssl, table.getVerifyResult, SSL_get_verify_result);
}

bool ResolveCrypto(void* crypto, OpensslLibrary& table) {
  return VRK_RESOLVE(crypto, table.bioGetNewIndex, BIO_get_new_index) &&
         VRK_RESOLVE(crypto, table.bioMethNew, BIO_meth_new) &&
         VRK_RESOLVE(crypto, table.bioMethSetWrite, BIO_meth_set_write) &&
         VRK_RESOLVE(crypto, table.bioMethSetRead, BIO_meth_set_read) &&
         VRK_RESOLVE(crypto, table.bioMethSetCtrl, BIO_meth_set_ctrl) &&
         VRK_RESOLVE(crypto, table.bioMethSetCreate, BIO_meth_set_create) &&
         VRK_RESOLVE(crypto, table.bioNew, BIO_new) &&
         VRK_RESOLVE(crypto, table.bioSetData, BIO_set_data) &&
         VRK_RESOLVE(crypto, table.bioGetData, BIO_get_data) &&
         VRK_RESOLVE(crypto, table.bioSetInit, BIO_set_init) &&
         VRK_RESOLVE(crypto, table.bioSetFlags, BIO_set_flags) &&
         VRK_RESOLVE(crypto, table.bioClearFlags, BIO_clear_flags) &&
         VRK_RESOLVE(crypto, table.errPeekLastError, ERR_peek_last_error) &&
         VRK_RESOLVE(crypto, table.errClearError, ERR_clear_error) &&
         VRK_RESOLVE(crypto, table.paramSet1IpAsc, X509_VERIFY_PARAM_set1_ip_asc);
}

#undef VRK_RESOLVE

const OpensslLibrary* Load() {
  // Version 3 by its file name: the interface above is that version's.
  void* crypto = OpenQuietly("libcrypto.so.3");
  if (crypto == nullptr) return nullptr;
  void* ssl = OpenQuietly("libssl.so.3");
  static OpensslLibrary table{};
  if (ssl == nullptr || !ResolveSsl(ssl, table) || !ResolveCrypto(crypto, table)) {
    if (ssl != nullptr) ::dlclose(ssl);
    ::dlclose(crypto);
    return nullptr;
  }
  // Kept loaded for the rest of the process: the library initialises itself at first use and
  // is not safe to unload after that.
  return &table;
}

}  // namespace

const OpensslLibrary* Openssl() {
  static const OpensslLibrary* const library = Load();
  return library;
}

}  // namespace vrk_posix
