#include "install_sequence.h"
// placeholder: to be written
namespace ssi {
void InstallInteractively(Installer&) {}
void InstallSilently(Installer&) {}
}  // namespace ssi
