// The private test CA and the server certificates the TLS tests need, made afresh in a folder:
//   ca.pem             the test CA, the one root the tests trust
//   key.pem            the private key of every server certificate
//   good.pem           issued by the CA for localhost and 127.0.0.1, valid now
//   expired.pem        as good, but its validity ended yesterday
//   not-yet-valid.pem  as good, but valid from tomorrow on
//   wrong-host.pem     as good, but for wrong.example and 127.0.0.2
//   self-signed.pem    for localhost and 127.0.0.1, signed by its own key
//   untrusted.pem      as good, but issued by another CA that nobody trusts
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace vrk_test {

// The names of the server certificates, without ".pem".
const std::vector<std::string>& TestCertificateNames();

// Writes all of the files above into `folder` (made when missing); throws std::runtime_error.
void MakeTestCertificates(const std::filesystem::path& folder);

}  // namespace vrk_test
