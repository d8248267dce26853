#pragma once
// Our stand-in for the per-user registry: "registry.ini" in the user folder root,
// one section per key path.
#include <string>

// Stores the install path as "ztkinstallpath" under "software\Norvane Games".
bool WriteInstallPath(const std::string& path);
std::string ReadInstallPath();
bool RegistryWriteString(const std::string& keyPath, const std::string& name, const std::string& value);
std::string RegistryReadString(const std::string& keyPath, const std::string& name);
// "<user folder root>/registry.ini"
std::string RegistryFilePath();
