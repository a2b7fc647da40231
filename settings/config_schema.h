#pragma once
// Every settings key of the viewer with its default, and the first reading of the settings file.

#include "foundation/config.h"

#include <vector>

// The example proxy address that "HttpProxyServer" holds until the user gives one: a model of the
// form host:port.
inline constexpr const wchar_t* ProxyServerExample = L"proxy.example:80";

// Puts every key of the viewer into the store, which is expected empty, with its default; reads
// the settings file over them (a missing or unreadable file leaves the defaults); then carries the
// values of keys whose names or kinds changed over to their present keys. An old value that a
// carry-over cannot read leaves the present key as it was: old settings never stop the start.
void InitConfig(Brivox::CConfig& config, const Brivox::String& path);

// The keys that InitConfig registers, in their order.
std::vector<Brivox::String> GetConfigSchemaKeys();
