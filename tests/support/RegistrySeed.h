// Test-only access to the local machine hive of the host registry, to set up
// the game's key the way a 32-bit game installer leaves it, and to look at
// what a program wrote. On 64-bit Windows (and in the Wine prefix of the
// Windows suite) the 32-bit view is the part below Software\Wow6432Node; a
// 64-bit program sees it only when it asks for the 32-bit view.
//
// Implemented for Windows (tests/support/win32/RegistrySeed.cpp). The
// registry is shared by every test that runs at the same time: tests that use
// it take the CTest resource lock "registry" (skinkit_add_test's
// PROPERTIES RESOURCE_LOCK registry) and clear their key before and after.
#pragma once

#include <optional>
#include <string>

namespace testsupport {

enum class RegistryView { View64, View32 };

// Writes a string value (REG_SZ) under HKEY_LOCAL_MACHINE\subKey in the
// 32-bit view only, creating the key and any missing keys above it.
// Throws std::runtime_error when that fails.
void SeedLocalMachineString32(const std::string& subKey, const std::string& name,
                              const std::string& value);

// Reads a string value of HKEY_LOCAL_MACHINE\subKey in the given view, without
// its terminating zero; none when the key or the value is missing.
std::optional<std::string> ReadLocalMachineString(const std::string& subKey,
                                                  const std::string& name, RegistryView view);

// Removes HKEY_LOCAL_MACHINE\subKey and everything below it from both views.
// A key that is missing is no error.
void DeleteLocalMachineKey(const std::string& subKey);

}  // namespace testsupport
