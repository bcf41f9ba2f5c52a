#pragma once
// HTTPS for the tests: tls_front.py, started through Wine as a Unix program,
// listens on loopback ports with throw-away certificates and relays what it
// decrypts to a plain fake server. Its test CA is trusted in the current
// user's root store of the scratch prefix for as long as the front lives.
#include <cstdint>
#include <map>
#include <string>

// Listeners of the front, each with its own server certificate.
enum class TTlsCert {
  Good,       // for localhost and 127.0.0.1, signed by the trusted test CA
  WrongName,  // for another host name
  Expired,    // valid in January 2020 only
  Untrusted,  // self-signed
};

class TTlsFront {
public:
  // Relays to 127.0.0.1:backendPort. Started() says whether it came up; Error() why not.
  explicit TTlsFront(uint16_t backendPort);
  ~TTlsFront();
  TTlsFront(const TTlsFront&) = delete;
  TTlsFront& operator=(const TTlsFront&) = delete;

  bool Started() const { return FError.empty(); }
  const std::string& Error() const { return FError; }
  // "https://localhost:<port>". Wine checks a certificate's DNS names only,
  // never its IP addresses, so 127.0.0.1 itself would always be the wrong name.
  std::string HostSetting(TTlsCert cert) const;

private:
  bool Launch(uint16_t backendPort);
  bool ReadReport();
  bool TrustCa();

  std::wstring FReportFile;  // the script runs while this file exists
  std::map<std::string, uint16_t> FPorts;
  std::string FCaDer;
  bool FCaAdded = false;
  std::string FError;
};
