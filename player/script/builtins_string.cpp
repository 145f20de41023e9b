// String. Characters are bytes: the system's movies carry ANSI text.
#include <algorithm>
#include <cmath>

#include "builtins.h"

namespace player::script {

namespace {

std::string text_of(Interpreter& in, const Value& self) {
  if (self.is_object() && self.object->kind == ObjectKind::String) return in.to_string(self.object->primitive);
  return in.to_string(self);
}

// An argument as a character position: NaN and undefined are 0.
double position(Interpreter& in, const Value& v) {
  const double n = in.to_number(v);
  return std::isnan(n) ? 0 : std::trunc(n);
}

std::size_t clamp_to(double n, std::size_t length) {
  return static_cast<std::size_t>(std::clamp(n, 0.0, static_cast<double>(length)));
}

Value string_ctor(Interpreter& in, const Value& self, std::vector<Value>& args) {
  std::string s = args.empty() ? std::string() : in.to_string(args[0]);
  if (self.is_object() && self.object->proto == in.prototype_of("String")) {
    self.object->kind = ObjectKind::String;
    self.object->primitive = Value::from(std::move(s));
    return self;
  }
  return Value::from(std::move(s));
}

Value string_to_string(Interpreter& in, const Value& self, std::vector<Value>&) { return Value::from(text_of(in, self)); }

Value char_at(Interpreter& in, const Value& self, std::vector<Value>& args) {
  const std::string s = text_of(in, self);
  const double i = position(in, arg(args, 0));
  if (i < 0 || i >= static_cast<double>(s.size())) return Value::from("");
  return Value::from(std::string(1, s[static_cast<std::size_t>(i)]));
}

Value char_code_at(Interpreter& in, const Value& self, std::vector<Value>& args) {
  const std::string s = text_of(in, self);
  const double i = position(in, arg(args, 0));
  if (i < 0 || i >= static_cast<double>(s.size())) return Value::from(std::nan(""));
  return Value::from(static_cast<double>(static_cast<unsigned char>(s[static_cast<std::size_t>(i)])));
}

Value index_of(Interpreter& in, const Value& self, std::vector<Value>& args) {
  const std::string s = text_of(in, self), what = in.to_string(arg(args, 0));
  const std::size_t from = clamp_to(position(in, arg(args, 1)), s.size());
  const std::size_t at = s.find(what, from);
  return Value::from(at == std::string::npos ? -1.0 : static_cast<double>(at));
}

Value last_index_of(Interpreter& in, const Value& self, std::vector<Value>& args) {
  const std::string s = text_of(in, self), what = in.to_string(arg(args, 0));
  const std::size_t from = arg(args, 1).is_undefined() ? std::string::npos : clamp_to(position(in, args[1]), s.size());
  const std::size_t at = s.rfind(what, from);
  return Value::from(at == std::string::npos ? -1.0 : static_cast<double>(at));
}

Value substr(Interpreter& in, const Value& self, std::vector<Value>& args) {
  const std::string s = text_of(in, self);
  double start = position(in, arg(args, 0));
  if (start < 0) start += static_cast<double>(s.size());
  const std::size_t from = clamp_to(start, s.size());
  const double count = arg(args, 1).is_undefined() ? static_cast<double>(s.size()) : position(in, args[1]);
  return Value::from(s.substr(from, clamp_to(count, s.size() - from)));
}

Value substring(Interpreter& in, const Value& self, std::vector<Value>& args) {
  const std::string s = text_of(in, self);
  std::size_t a = clamp_to(position(in, arg(args, 0)), s.size());
  std::size_t b = arg(args, 1).is_undefined() ? s.size() : clamp_to(position(in, args[1]), s.size());
  if (a > b) std::swap(a, b);
  return Value::from(s.substr(a, b - a));
}

Value slice(Interpreter& in, const Value& self, std::vector<Value>& args) {
  const std::string s = text_of(in, self);
  const auto length = static_cast<double>(s.size());
  double a = position(in, arg(args, 0));
  double b = arg(args, 1).is_undefined() ? length : position(in, args[1]);
  if (a < 0) a += length;
  if (b < 0) b += length;
  const std::size_t from = clamp_to(a, s.size()), to = clamp_to(b, s.size());
  return Value::from(from < to ? s.substr(from, to - from) : std::string());
}

Value split(Interpreter& in, const Value& self, std::vector<Value>& args) {
  const std::string s = text_of(in, self);
  std::vector<Value> parts;
  const Value sep_v = arg(args, 0);
  const double limit_v = arg(args, 1).is_undefined() ? 1e18 : in.to_number(args[1]);
  const std::size_t limit = std::isnan(limit_v) || limit_v < 0 ? 0 : static_cast<std::size_t>(std::min(limit_v, 1e18));
  if (sep_v.is_undefined()) {
    parts.push_back(Value::from(s));
  } else {
    const std::string sep = in.to_string(sep_v);
    if (sep.empty()) {
      if (!in.fits_array(s.size())) return {};
      for (char c : s) parts.push_back(Value::from(std::string(1, c)));
    } else {
      std::size_t start = 0;
      for (;;) {
        if (!in.fits_array(parts.size() + 1)) return {};
        const std::size_t at = s.find(sep, start);
        parts.push_back(Value::from(s.substr(start, at == std::string::npos ? std::string::npos : at - start)));
        if (at == std::string::npos) break;
        start = at + sep.size();
      }
    }
  }
  if (parts.size() > limit) parts.resize(limit);
  return Value::from(in.new_array(std::move(parts)));
}

Value to_upper(Interpreter& in, const Value& self, std::vector<Value>&) {
  std::string s = text_of(in, self);
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return Value::from(std::move(s));
}

Value to_lower(Interpreter& in, const Value& self, std::vector<Value>&) {
  std::string s = text_of(in, self);
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return Value::from(std::move(s));
}

Value concat(Interpreter& in, const Value& self, std::vector<Value>& args) {
  std::string s = text_of(in, self);
  for (const Value& v : args) {
    s += in.to_string(v);
    if (!in.fits_string(s.size())) return Value::from("");
  }
  return Value::from(std::move(s));
}

Value from_char_code(Interpreter& in, const Value&, std::vector<Value>& args) {
  std::string s;
  for (const Value& v : args) {
    const std::uint32_t c = to_uint32(in.to_number(v)) & 0xFFFF;
    if (c < 0x100) {
      s += static_cast<char>(c);
    } else {  // beyond the byte range: UTF-8, as text fields of version 6 on read it
      if (c < 0x800) {
        s += static_cast<char>(0xC0 | c >> 6);
      } else {
        s += static_cast<char>(0xE0 | c >> 12);
        s += static_cast<char>(0x80 | (c >> 6 & 0x3F));
      }
      s += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return Value::from(std::move(s));
}

}  // namespace

void install_string_builtins(Interpreter& in) {
  Object* proto = in.new_object(in.prototype_of("Object"));
  Object* string = define_class(in, "String", string_ctor, proto);
  define(in, proto, "toString", string_to_string);
  define(in, proto, "valueOf", string_to_string);
  define(in, proto, "charAt", char_at);
  define(in, proto, "charCodeAt", char_code_at);
  define(in, proto, "indexOf", index_of);
  define(in, proto, "lastIndexOf", last_index_of);
  define(in, proto, "substr", substr);
  define(in, proto, "substring", substring);
  define(in, proto, "slice", slice);
  define(in, proto, "split", split);
  define(in, proto, "toUpperCase", to_upper);
  define(in, proto, "toLowerCase", to_lower);
  define(in, proto, "concat", concat);
  define(in, string, "fromCharCode", from_char_code);
}

}  // namespace player::script
