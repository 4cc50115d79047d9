#pragma once

#include <cstdint>
#include <cstdlib>

#ifndef _WIN32
#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>
#endif

// True only inside a network-lab host: TOVIK_NETLAB_NS is set and, on Linux,
// no interface has an address outside loopback and the lab's 10.77.0.0/16.
// Probes that broadcast or talk to other hosts refuse to run anywhere else.
inline bool inside_lab_host() {
  const char* ns = std::getenv("TOVIK_NETLAB_NS");
  if (ns == nullptr || *ns == '\0') return false;
#ifndef _WIN32
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return false;
  bool lab_only = true;
  for (const ifaddrs* each = list; each != nullptr; each = each->ifa_next) {
    if (each->ifa_addr == nullptr || each->ifa_addr->sa_family != AF_INET) continue;
    const std::uint32_t ip =
        ntohl(reinterpret_cast<const sockaddr_in*>(each->ifa_addr)->sin_addr.s_addr);
    if ((ip >> 24) != 127 && (ip >> 16) != 0x0A4D) lab_only = false;
  }
  freeifaddrs(list);
  return lab_only;
#else
  return true;
#endif
}
