// Names the interpreter's files share: the clip properties and case folding.
#pragma once

#include <cctype>
#include <string>
#include <string_view>

#include "clip_host.h"
#include "value.h"

namespace player::script {

inline std::string lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// GetProperty's indices by name.
inline const char* const kClipPropertyNames[kClipPropertyCount] = {
    "_x", "_y", "_xscale", "_yscale", "_currentframe", "_totalframes", "_alpha", "_visible",
    "_width", "_height", "_rotation", "_target", "_framesloaded", "_name", "_droptarget", "_url",
    "_highquality", "_focusrect", "_soundbuftime", "_quality", "_xmouse", "_ymouse"};

// The indexed clip property a name is, or -1; case never matters for them.
inline int property_index(std::string_view name) {
  if (name.empty() || name[0] != '_') return -1;
  const std::string l = lower(name);
  for (int i = 0; i < kClipPropertyCount; ++i)
    if (l == kClipPropertyNames[i]) return i;
  return -1;
}

inline bool is_text_property(int index) {
  const auto p = static_cast<ClipProperty>(index);
  return p == ClipProperty::Target || p == ClipProperty::Name || p == ClipProperty::DropTarget ||
         p == ClipProperty::Url || p == ClipProperty::Quality;
}

inline bool is_clip(const Value& v) { return v.is_object() && v.object->kind == ObjectKind::Clip; }

}  // namespace player::script
