#pragma once
// Shows a modal box on this thread while a second thread looks at it and
// presses its button, as a user would.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace ssi::test {

struct SeenBox {
  bool found = false;
  std::string title;
  std::string text;
  HWND owner = nullptr;
  std::vector<std::string> buttons;  // captions of all its buttons
  bool hasIcon = false;
};

// Runs `show` (which must open one modal box on this thread) and returns what
// the box looked like. The watcher presses the box's first button.
SeenBox WatchBox(const std::function<void()>& show);

}  // namespace ssi::test
