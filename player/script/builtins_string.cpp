// String. Characters are bytes up to version 5, UTF-8 code points from 6 on.
#include <algorithm>
#include <cmath>

#include "builtins.h"
#include "text.h"

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
  const Chars chars(s, in.version() >= 6);
  const double i = position(in, arg(args, 0));
  if (i < 0 || i >= static_cast<double>(chars.size())) return Value::from("");
  const auto at = static_cast<std::size_t>(i);
  return Value::from(chars.sub(at, at + 1));
}

Value char_code_at(Interpreter& in, const Value& self, std::vector<Value>& args) {
  const std::string s = text_of(in, self);
  const Chars chars(s, in.version() >= 6);
  const double i = position(in, arg(args, 0));
  if (i < 0 || i >= static_cast<double>(chars.size())) return Value::from(std::nan(""));
  return Value::from(static_cast<double>(chars.code(static_cast<std::size_t>(i))));
}

Value index_of(Interpreter& in, const Value& self, std::vector<Value>& args) {
  const std::string s = text_of(in, self), what = in.to_string(arg(args, 0));
  const Chars chars(s, in.version() >= 6);
  const std::size_t from = clamp_to(position(in, arg(args, 1)), chars.size());
  const std::size_t at = s.find(what, chars.byte(from));
  return Value::from(at == std::string::npos ? -1.0 : static_cast<double>(chars.at_byte(at)));
}

Value last_index_of(Interpreter& in, const Value& self, std::vector<Value>& args) {
  const std::string s = text_of(in, self), what = in.to_string(arg(args, 0));
  const Chars chars(s, in.version() >= 6);
  const std::size_t from =
      arg(args, 1).is_undefined() ? std::string::npos : chars.byte(clamp_to(position(in, args[1]), chars.size()));
  const std::size_t at = s.rfind(what, from);
  return Value::from(at == std::string::npos ? -1.0 : static_cast<double>(chars.at_byte(at)));
}

Value substr(Interpreter& in, const Value& self, std::vector<Value>& args) {
  const std::string s = text_of(in, self);
  const Chars chars(s, in.version() >= 6);
  double start = position(in, arg(args, 0));
  if (start < 0) start += static_cast<double>(chars.size());
  const std::size_t from = clamp_to(start, chars.size());
  const double count = arg(args, 1).is_undefined() ? static_cast<double>(chars.size()) : position(in, args[1]);
  return Value::from(chars.sub(from, from + clamp_to(count, chars.size() - from)));
}

Value substring(Interpreter& in, const Value& self, std::vector<Value>& args) {
  const std::string s = text_of(in, self);
  const Chars chars(s, in.version() >= 6);
  std::size_t a = clamp_to(position(in, arg(args, 0)), chars.size());
  std::size_t b = arg(args, 1).is_undefined() ? chars.size() : clamp_to(position(in, args[1]), chars.size());
  if (a > b) std::swap(a, b);
  return Value::from(chars.sub(a, b));
}

Value slice(Interpreter& in, const Value& self, std::vector<Value>& args) {
  const std::string s = text_of(in, self);
  const Chars chars(s, in.version() >= 6);
  const auto length = static_cast<double>(chars.size());
  double a = position(in, arg(args, 0));
  double b = arg(args, 1).is_undefined() ? length : position(in, args[1]);
  if (a < 0) a += length;
  if (b < 0) b += length;
  return Value::from(chars.sub(clamp_to(a, chars.size()), clamp_to(b, chars.size())));
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
      const Chars chars(s, in.version() >= 6);
      if (!in.fits_array(chars.size())) return {};
      for (std::size_t i = 0; i < chars.size(); ++i) parts.push_back(Value::from(chars.sub(i, i + 1)));
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
    if (in.version() >= 6) s += utf8_encode(c);
    else s += static_cast<char>(c & 0xFF);
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
