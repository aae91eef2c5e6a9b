// Small text and buffer helpers of the image builder. The arrays are std::vector, so there is
// no separate free operation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Splits at every `separator`; empty parts are kept ("a//b" -> "a", "", "b"; "" -> one "").
std::vector<std::string> StrSplit(const std::string& text, char separator);
std::size_t StrCount(const std::vector<std::string>& parts);
// The first `count` parts (all when fewer) joined with `separator`.
std::string StrJoin(const std::vector<std::string>& parts, std::size_t count, char separator);
// ASCII upper-case copy; bytes outside a-z stay as they are.
std::string StrUpper(const std::string& text);
// Compares ASCII case-insensitively like strcasecmp (folded to lower case): <0, 0 or >0.
int StrCaseCompare(const std::string& a, const std::string& b);

std::vector<std::uint8_t> ZeroAlloc(std::size_t size);
std::vector<std::uint8_t> ByteCopy(const std::uint8_t* data, std::size_t size);
