#pragma once
// A screen saver data file for the installs that run to their end.
#include <string>

namespace ssi::e2e {

// Two stored 64 by 48 pictures, "meadow1.bmp" and "meadow2.bmp", and a zero
// settings record.
std::string TwoPictureDataFile();

}  // namespace ssi::e2e
