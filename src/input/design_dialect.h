#pragma once

// The two dialects of a design told apart, for the message of a file read in the other
// one: a keyed file read as a positional one fails on its first table header, and a
// positional file read as TOML fails on its first line of values, each with a message
// about a detail rather than about the file.

#include <string>

namespace survseq::input {

inline constexpr const char* kKeyedDesignHint =
    "this looks like a keyed design file; name it .toml or pass --format toml";
inline constexpr const char* kParameterFileHint =
    "this looks like a positional parameter file; name it .par or pass --format par";

// True when `text` is TOML that sets a key of the keyed design file's top level.
bool looksLikeKeyedDesign(const std::string& text);

// True when the positional reader accepts `text` (its repairs and warnings unseen).
bool looksLikeParameterFile(const std::string& text);

// True when `text` holds nothing but blanks and line ends.
bool holdsNothing(const std::string& text);

}  // namespace survseq::input
