#pragma once
// Text from outside (names read from an installer or data file, paths an
// author typed) made safe for a terminal: a hostile installer's escape
// sequences must not reach it, and a name must not start a new line.
#include <string>

namespace ssbuild {

// Control characters (C0 with line feed and tab, DEL, and C1) as \xNN or
// \u00NN; bytes that are not UTF-8 as \xNN; the rest as it is.
std::string Printable(const std::string& text);

// A name as an installer holds it, in its ANSI code page, for the terminal
// in UTF-8: valid UTF-8 stays, other bytes are read in Windows Latin 1 (the
// builder's default code page), then Printable.
std::string ShownName(const std::string& name);

}  // namespace ssbuild
