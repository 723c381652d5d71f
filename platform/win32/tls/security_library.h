// Secure Channel and the certificate functions, loaded at the first secure session: the tool's
// other runs load neither. Loading the security library starts every package it holds (under
// Wine down to a search for the NTLM helper program), and the certificate library its own TLS
// library, which a box or a plain fetch never needs.
#pragma once

#include "platform/win32/tls/schannel.h"

namespace vrk::schannel {

struct SecurityLibrary {
  const SecurityFunctionTableA* sspi;
  decltype(&CertGetCertificateChain) getChain;
  decltype(&CertFreeCertificateChain) freeChain;
  decltype(&CertVerifyCertificateChainPolicy) verifyChainPolicy;
  decltype(&CertVerifyTimeValidity) verifyTimeValidity;
  decltype(&CertFindExtension) findExtension;
  decltype(&CryptDecodeObjectEx) decodeObject;
  decltype(&CertFreeCertificateContext) freeCertificate;
};

// The libraries, loaded once and kept; null when the system lacks one of them.
const SecurityLibrary* Security();

}  // namespace vrk::schannel
