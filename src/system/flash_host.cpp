#include "installer.h"
// placeholder: to be written (hosting the Flash control)
namespace ssi {
struct FlashControl {};
void FlashControlDeleter::operator()(FlashControl* control) const { delete control; }
}  // namespace ssi
