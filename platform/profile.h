// Profile files with GetPrivateProfileString semantics over INI files: sections in brackets,
// key = value lines, ';' comments, names compared without regard to case.
#pragma once

#include <cstdint>

namespace korvat::platform {

// Copies the value of key in section of file into out (size bytes, always terminated), or def
// when the file, the section or the key is missing. Returns the characters copied.
uint32_t GetProfileString(const char* section, const char* key, const char* def, char* out,
                          uint32_t size, const char* file);

}  // namespace korvat::platform
