#include "value.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace player::script {

std::string number_to_string(double n) {
  if (std::isnan(n)) return "NaN";
  if (std::isinf(n)) return n > 0 ? "Infinity" : "-Infinity";
  if (n == 0) return "0";
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.14e", n);  // d.dddddddddddddde+XX
  std::string text(buf);
  const bool negative = text[0] == '-';
  if (negative) text.erase(0, 1);
  const std::size_t e_at = text.find('e');
  const int exponent = std::atoi(text.c_str() + e_at + 1);
  std::string digits = text.substr(0, 1) + text.substr(2, e_at - 2);
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

  std::string out = negative ? "-" : "";
  if (exponent >= 15 || exponent < -5) {
    out += digits[0];
    if (digits.size() > 1) out += "." + digits.substr(1);
    out += exponent > 0 ? "e+" : "e-";
    out += std::to_string(std::abs(exponent));
  } else if (exponent >= 0) {
    const auto whole = static_cast<std::size_t>(exponent) + 1;
    if (digits.size() <= whole) {
      out += digits + std::string(whole - digits.size(), '0');
    } else {
      out += digits.substr(0, whole) + "." + digits.substr(whole);
    }
  } else {
    out += "0." + std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits;
  }
  return out;
}

static bool is_space(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

double string_to_number(std::string_view text, int swf_version) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  while (!text.empty() && is_space(text.front())) text.remove_prefix(1);
  while (!text.empty() && is_space(text.back())) text.remove_suffix(1);
  if (text.empty()) return swf_version >= 5 ? nan : 0;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    double v = 0;
    for (std::size_t i = 2; i < text.size(); ++i) {
      const char c = text[i];
      int d;
      if (c >= '0' && c <= '9') d = c - '0';
      else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
      else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
      else return nan;
      v = v * 16 + d;
    }
    return v;
  }
  // Accept exactly [+-]digits[.digits][e[+-]digits] before handing it to strtod.
  std::size_t i = 0, mantissa_digits = 0;
  if (text[i] == '+' || text[i] == '-') ++i;
  while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i, ++mantissa_digits;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i, ++mantissa_digits;
  }
  if (mantissa_digits == 0) return nan;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    std::size_t exp_digits = 0;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i, ++exp_digits;
    if (exp_digits == 0) return nan;
  }
  if (i != text.size()) return nan;
  return std::strtod(std::string(text).c_str(), nullptr);
}

std::uint32_t to_uint32(double n) {
  if (!std::isfinite(n)) return 0;
  double m = std::fmod(std::trunc(n), 4294967296.0);
  if (m < 0) m += 4294967296.0;
  return static_cast<std::uint32_t>(m);
}

std::int32_t to_int32(double n) {
  const std::uint32_t u = to_uint32(n);
  return u >= 0x80000000u ? static_cast<std::int32_t>(static_cast<std::int64_t>(u) - 4294967296LL)
                          : static_cast<std::int32_t>(u);
}

std::string Object::key_of(std::string_view name) const {
  std::string key(name);
  if (case_insensitive)
    for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return key;
}

const Property* Object::find(std::string_view name) const {
  const auto it = index_.find(key_of(name));
  return it == index_.end() ? nullptr : &props_[it->second];
}

Property* Object::find(std::string_view name) {
  const auto it = index_.find(key_of(name));
  return it == index_.end() ? nullptr : &props_[it->second];
}

Property& Object::put(std::string_view name, Value value, std::uint8_t flags) {
  std::string key = key_of(name);
  const auto it = index_.find(key);
  if (it != index_.end()) {
    Property& p = props_[it->second];
    p.value = std::move(value);
    p.getter = p.setter = nullptr;
    return p;
  }
  // Erased slots are reclaimed once they outnumber the live ones.
  if (props_.size() > 16 && props_.size() > 2 * index_.size()) {
    std::vector<Property> live;
    live.reserve(index_.size() + 1);
    for (auto& p : props_)
      if (!p.name.empty()) live.push_back(std::move(p));
    props_ = std::move(live);
    index_.clear();
    for (std::size_t i = 0; i < props_.size(); ++i) index_[key_of(props_[i].name)] = i;
  }
  index_.emplace(std::move(key), props_.size());
  Property p;
  p.name = name.empty() ? std::string(1, '\0') : std::string(name);
  p.value = std::move(value);
  p.flags = flags;
  props_.push_back(std::move(p));
  return props_.back();
}

bool Object::erase(std::string_view name) {
  const auto it = index_.find(key_of(name));
  if (it == index_.end()) return false;
  props_[it->second] = Property{};
  index_.erase(it);
  return true;
}

bool is_callable(const Object* o) { return o && o->kind == ObjectKind::Function; }

}  // namespace player::script
