#pragma once
// The example project that `ssbuild init DIR` writes: a commented project
// file, the sample screen saver, a preview picture, a licence, a read-me and
// two pictures for the data file. It builds as it is.
#include <string>
#include <vector>

#include "byte_file.h"
#include "status.h"

namespace ssbuild {

struct ExampleFile {
  std::string name;  // relative to the project folder, "/" separated
  Bytes bytes;
};

// The files of the example; fails when this ssbuild has no sample screen
// saver to hand out (bundled_files.h).
Status MakeExampleProject(std::vector<ExampleFile>& files);

// A 24-bit bitmap of `width` x `height`: a sky-to-meadow gradient with a sun
// at (sunX, sunY), for the example's pictures.
Bytes DrawExampleBitmap(int width, int height, int sunX, int sunY);

}  // namespace ssbuild
