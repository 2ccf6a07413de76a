// Finds RCDATA 100 in a Windows program file, so that mixpack can read the
// package straight out of a built setup program.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// 1 when `bytes` start like a Windows program ("MZ").
int LooksLikeProgram(const std::vector<std::uint8_t>& bytes);

// The bytes of resource (type, id), first language, of a PE32 or PE32+
// file. Gives an empty text on success, else what is wrong; every offset is
// checked against the file, so a damaged program cannot make it read
// outside.
std::string FindProgramResource(const std::vector<std::uint8_t>& program, std::uint32_t type, std::uint32_t id,
                                std::vector<std::uint8_t>* resource);
