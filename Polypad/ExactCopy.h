// The exact copy: the private clipboard format that a copy puts beside the two texts, holding
// the rows at full precision and the closed flag, so that a paste between Polypad windows gives
// back the very same numbers whatever precision and columns the copy showed.
//
// The bytes, all little-endian: the magic "PPxRows\0" (8 bytes), the version (uint32, 1), the
// closed flag (uint32, 0 or 1), the row count (uint64), then X, Y and convexity of every row as
// IEEE 754 64-bit doubles. Platform-free: the window moves the bytes to and from the clipboard.
#pragma once

#include "CoreLib/ContourParts.h"
#include "CoreLib/Errors.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

class TTable;

// The name the window registers the format under; the last number is the format's version.
inline constexpr wchar_t kExactCopyFormatName[] = L"Polypad.ExactRows.1";

inline constexpr std::uint32_t kExactCopyVersion = 1;
inline constexpr std::size_t kExactCopyHeaderSize = 24;
inline constexpr std::size_t kExactCopyRowSize = 24;

struct TExactRows {
    std::vector<TVertexRecord> Rows;
    bool Closed = false;
};

std::vector<std::uint8_t> EncodeExactRows(std::span<const TVertexRecord> rows, bool closed);
std::vector<std::uint8_t> EncodeExactRows(const TTable& table);

// A refused exact copy: the message for the user, and the reason alone.
class EExactRowsRefused : public EConvertError {
public:
    explicit EExactRowsRefused(const std::string& reason);
    const std::string& Reason() const { return FReason; }

private:
    std::string FReason;
};

// Checks everything before returning anything: data that is not this format, another version,
// a size that does not match the row count, a closed flag other than 0 or 1, a number that is
// not finite, or more rows than a paste takes (TPasteBuffer::kMaxLines) raise EExactRowsRefused
// with a message for the user.
TExactRows DecodeExactRows(std::span<const std::uint8_t> bytes);

// The rows a paste takes: another window's exact copy (exact) where the clipboard holds one, else
// its text (UTF-8, asked for only when needed). A damaged exact copy gives way to the text beside
// it, and note then says so for the status bar; without text its refusal is raised. Errors of the
// text are those of ParsePastedRows.
TExactRows PastedRows(const std::optional<std::vector<std::uint8_t>>& exact, const std::function<std::string()>& text,
                      char decimalSeparator, std::string& note);
