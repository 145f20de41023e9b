// Object, Function, Array, Boolean, Number and the global functions.
#include <algorithm>
#include <cmath>
#include <limits>

#include "builtins.h"

namespace player::script {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// --- Object ---

Value object_ctor(Interpreter& in, const Value& self, std::vector<Value>& args) {
  const Value a = arg(args, 0);
  if (a.is_object()) return a;
  if (self.is_object() && self.object->proto == in.prototype_of("Object")) return self;
  return Value::from(in.new_object(in.prototype_of("Object")));
}

Value object_has_own(Interpreter& in, const Value& self, std::vector<Value>& args) {
  Object* o = self_object(self);
  return Value::from(o && o->find(in.to_string(arg(args, 0))) != nullptr);
}

Value object_to_string(Interpreter&, const Value& self, std::vector<Value>&) {
  return Value::from(self.is_object() && is_callable(self.object) ? "[type Function]" : "[object Object]");
}

Value object_value_of(Interpreter&, const Value& self, std::vector<Value>&) { return self; }

Value object_add_property(Interpreter& in, const Value& self, std::vector<Value>& args) {
  Object* o = self_object(self);
  const std::string name = in.to_string(arg(args, 0));
  const Value getter = arg(args, 1), setter = arg(args, 2);
  if (!o || name.empty() || !getter.is_object() || !is_callable(getter.object)) return Value::from(false);
  Property& p = o->put(name, Value{});
  p.getter = getter.object;
  p.setter = setter.is_object() && is_callable(setter.object) ? setter.object : nullptr;
  return Value::from(true);
}

Value object_is_enumerable(Interpreter& in, const Value& self, std::vector<Value>& args) {
  Object* o = self_object(self);
  const Property* p = o ? o->find(in.to_string(arg(args, 0))) : nullptr;
  return Value::from(p && !(p->flags & kDontEnum));
}

Value object_is_prototype_of(Interpreter&, const Value& self, std::vector<Value>& args) {
  const Value v = arg(args, 0);
  if (!self.is_object() || !v.is_object()) return Value::from(false);
  int guard = 0;
  for (Object* p = v.object->proto; p && guard < 256; p = p->proto, ++guard)
    if (p == self.object) return Value::from(true);
  return Value::from(false);
}

Value object_register_class(Interpreter& in, const Value&, std::vector<Value>& args) {
  const Value c = arg(args, 1);
  in.register_class(in.to_string(arg(args, 0)), c.is_object() && is_callable(c.object) ? c.object : nullptr);
  return Value::from(true);
}

// ASSetPropFlags(object, names, set, clear): names as an array, a
// comma-separated list or null for every property.
Value set_prop_flags(Interpreter& in, const Value&, std::vector<Value>& args) {
  Object* o = self_object(arg(args, 0));
  if (!o) return {};
  const Value names = arg(args, 1);
  const auto set = static_cast<std::uint8_t>(to_uint32(in.to_number(arg(args, 2))) & 7);
  const auto clear = static_cast<std::uint8_t>(to_uint32(in.to_number(arg(args, 3))) & 7);
  std::vector<std::string> list;
  if (names.is_object()) {
    for (const Value& v : names.object->elements) list.push_back(in.to_string(v));
  } else if (names.type == Type::String) {
    std::size_t start = 0;
    for (std::size_t i = 0; i <= names.string.size(); ++i)
      if (i == names.string.size() || names.string[i] == ',') {
        list.push_back(names.string.substr(start, i - start));
        start = i + 1;
      }
  } else {
    o->each([&](const Property& p) { list.push_back(p.name); });
  }
  for (const std::string& n : list)
    if (Property* p = o->find(n)) p->flags = static_cast<std::uint8_t>((p->flags & ~clear) | set);
  return {};
}

// --- Function ---

Value function_call(Interpreter& in, const Value& self, std::vector<Value>& args) {
  const Value this_arg = arg(args, 0);
  std::vector<Value> rest(args.size() > 1 ? args.begin() + 1 : args.end(), args.end());
  return in.call(self, this_arg, std::move(rest));
}

Value function_apply(Interpreter& in, const Value& self, std::vector<Value>& args) {
  const Value list = arg(args, 1);
  std::vector<Value> rest;
  if (list.is_object()) rest = list.object->elements;
  return in.call(self, arg(args, 0), std::move(rest));
}

Value function_ctor(Interpreter& in, const Value&, std::vector<Value>&) {
  return Value::from(in.new_object(in.prototype_of("Object")));
}

// --- Array ---

Object* self_array(const Value& self) {
  return self.is_object() && self.object->kind == ObjectKind::Array ? self.object : nullptr;
}

Value array_ctor(Interpreter& in, const Value&, std::vector<Value>& args) {
  if (args.size() == 1 && args[0].type == Type::Number) {
    const double n = args[0].number;
    Object* a = in.new_array();
    if (n >= 0 && n == std::floor(n) && in.fits_array(static_cast<std::size_t>(n)))
      a->elements.resize(static_cast<std::size_t>(n));
    return Value::from(a);
  }
  return Value::from(in.new_array(args));
}

Value array_push(Interpreter& in, const Value& self, std::vector<Value>& args) {
  Object* a = self_array(self);
  if (!a) return {};
  if (!in.fits_array(a->elements.size() + args.size())) return {};
  for (Value& v : args) a->elements.push_back(std::move(v));
  return Value::from(static_cast<double>(a->elements.size()));
}

Value array_pop(Interpreter&, const Value& self, std::vector<Value>&) {
  Object* a = self_array(self);
  if (!a || a->elements.empty()) return {};
  Value v = std::move(a->elements.back());
  a->elements.pop_back();
  return v;
}

Value array_shift(Interpreter&, const Value& self, std::vector<Value>&) {
  Object* a = self_array(self);
  if (!a || a->elements.empty()) return {};
  Value v = std::move(a->elements.front());
  a->elements.erase(a->elements.begin());
  return v;
}

Value array_unshift(Interpreter& in, const Value& self, std::vector<Value>& args) {
  Object* a = self_array(self);
  if (!a || !in.fits_array(a->elements.size() + args.size())) return {};
  a->elements.insert(a->elements.begin(), args.begin(), args.end());
  return Value::from(static_cast<double>(a->elements.size()));
}

// A relative index as slice and splice take it, clamped to [0, length].
std::size_t clamp_index(Interpreter& in, const Value& v, std::size_t length, std::size_t otherwise) {
  if (v.is_undefined()) return otherwise;
  double n = in.to_number(v);
  if (std::isnan(n)) n = 0;
  n = std::trunc(n);
  if (n < 0) n += static_cast<double>(length);
  return static_cast<std::size_t>(std::clamp(n, 0.0, static_cast<double>(length)));
}

Value array_slice(Interpreter& in, const Value& self, std::vector<Value>& args) {
  Object* a = self_array(self);
  if (!a) return {};
  const std::size_t n = a->elements.size();
  const std::size_t from = clamp_index(in, arg(args, 0), n, 0), to = clamp_index(in, arg(args, 1), n, n);
  std::vector<Value> out;
  if (from < to) out.assign(a->elements.begin() + static_cast<std::ptrdiff_t>(from), a->elements.begin() + static_cast<std::ptrdiff_t>(to));
  return Value::from(in.new_array(std::move(out)));
}

Value array_splice(Interpreter& in, const Value& self, std::vector<Value>& args) {
  Object* a = self_array(self);
  if (!a || args.empty()) return {};
  const std::size_t n = a->elements.size();
  const std::size_t from = clamp_index(in, arg(args, 0), n, 0);
  std::size_t count = n - from;
  if (args.size() > 1) {
    const double c = in.to_number(args[1]);
    count = std::isnan(c) || c < 0 ? 0 : static_cast<std::size_t>(std::min(c, static_cast<double>(n - from)));
  }
  const auto first = a->elements.begin() + static_cast<std::ptrdiff_t>(from);
  std::vector<Value> removed(first, first + static_cast<std::ptrdiff_t>(count));
  a->elements.erase(first, first + static_cast<std::ptrdiff_t>(count));
  if (args.size() > 2 && in.fits_array(a->elements.size() + args.size() - 2))
    a->elements.insert(a->elements.begin() + static_cast<std::ptrdiff_t>(from), args.begin() + 2, args.end());
  return Value::from(in.new_array(std::move(removed)));
}

Value array_join(Interpreter& in, const Value& self, std::vector<Value>& args) {
  Object* a = self_array(self);
  if (!a) return {};
  const std::string sep = arg(args, 0).is_undefined() ? "," : in.to_string(args[0]);
  std::string out;
  if (!in.charge(a->elements.size() / 8)) return {};
  for (std::size_t i = 0; i < a->elements.size() && !in.stopped(); ++i) {
    if (i) out += sep;
    const Value& v = a->elements[i];
    // Elements never set read as empty, whatever the version.
    if (!v.is_undefined()) out += in.to_string(v);
    if (!in.fits_string(out.size())) return Value::from("");
  }
  return Value::from(std::move(out));
}

Value array_to_string(Interpreter& in, const Value& self, std::vector<Value>&) {
  std::vector<Value> none;
  return array_join(in, self, none);
}

Value array_concat(Interpreter& in, const Value& self, std::vector<Value>& args) {
  Object* a = self_array(self);
  if (!a) return {};
  std::vector<Value> out = a->elements;
  for (const Value& v : args) {
    const std::size_t more = v.is_object() && v.object->kind == ObjectKind::Array ? v.object->elements.size() : 1;
    if (!in.fits_array(out.size() + more)) return {};
    if (v.is_object() && v.object->kind == ObjectKind::Array)
      out.insert(out.end(), v.object->elements.begin(), v.object->elements.end());
    else
      out.push_back(v);
  }
  return Value::from(in.new_array(std::move(out)));
}

Value array_reverse(Interpreter&, const Value& self, std::vector<Value>&) {
  Object* a = self_array(self);
  if (a) std::reverse(a->elements.begin(), a->elements.end());
  return self;
}

enum SortFlag { kCaseInsensitive = 1, kDescending = 2, kUniqueSort = 4, kReturnIndexedArray = 8, kNumeric = 16 };

// A merge sort: stable, and safe whatever a script's comparator answers
// (std::sort is undefined for an inconsistent one).
template <typename Less>
void merge_sort(std::vector<std::size_t>& order, Less less) {
  std::vector<std::size_t> scratch(order.size());
  for (std::size_t width = 1; width < order.size(); width *= 2) {
    for (std::size_t lo = 0; lo < order.size(); lo += 2 * width) {
      const std::size_t mid = std::min(lo + width, order.size()), hi = std::min(lo + 2 * width, order.size());
      std::size_t i = lo, j = mid, k = lo;
      while (i < mid && j < hi) scratch[k++] = less(order[j], order[i]) ? order[j++] : order[i++];
      while (i < mid) scratch[k++] = order[i++];
      while (j < hi) scratch[k++] = order[j++];
    }
    order.swap(scratch);
  }
}

int compare_values(Interpreter& in, const Value& a, const Value& b, int flags) {
  int c;
  if (flags & kNumeric) {
    const double x = in.to_number(a), y = in.to_number(b);
    c = x < y ? -1 : x > y ? 1 : 0;
  } else {
    std::string x = in.to_string(a), y = in.to_string(b);
    if (flags & kCaseInsensitive) {
      for (char& ch : x) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
      for (char& ch : y) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    }
    c = x.compare(y) < 0 ? -1 : x.compare(y) > 0 ? 1 : 0;
  }
  return flags & kDescending ? -c : c;
}

// Sorts `a` by `cmp` (a three-way compare of two indexes) with sort's flags.
template <typename Compare>
Value finish_sort(Interpreter& in, Object* a, const Value& self, int flags, Compare cmp) {
  std::vector<std::size_t> order(a->elements.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::size_t log2 = 1;
  while ((std::size_t{1} << log2) < order.size()) ++log2;
  if (!in.charge(order.size() * log2 / 4)) return {};
  bool duplicate = false;
  merge_sort(order, [&](std::size_t x, std::size_t y) {
    if (in.stopped()) return false;
    const int c = cmp(x, y);
    if (c == 0) duplicate = true;
    return c < 0;
  });
  if ((flags & kUniqueSort) && duplicate) return Value::from(0);
  if (flags & kReturnIndexedArray) {
    std::vector<Value> indexes;
    for (std::size_t i : order) indexes.push_back(Value::from(static_cast<double>(i)));
    return Value::from(in.new_array(std::move(indexes)));
  }
  std::vector<Value> sorted;
  sorted.reserve(order.size());
  for (std::size_t i : order) sorted.push_back(a->elements[i]);
  a->elements = std::move(sorted);
  return self;
}

Value array_sort(Interpreter& in, const Value& self, std::vector<Value>& args) {
  Object* a = self_array(self);
  if (!a) return {};
  Value fn = arg(args, 0);
  int flags = 0;
  if (fn.is_object() && is_callable(fn.object)) {
    flags = static_cast<int>(in.to_number(arg(args, 1)));
  } else {
    flags = fn.is_undefined() ? 0 : static_cast<int>(in.to_number(fn));
    fn = Value{};
  }
  return finish_sort(in, a, self, flags, [&](std::size_t x, std::size_t y) {
    if (fn.is_object()) {
      const double c = in.to_number(in.call(fn, Value{}, {a->elements[x], a->elements[y]}));
      const int r = c < 0 ? -1 : c > 0 ? 1 : 0;
      return flags & kDescending ? -r : r;
    }
    return compare_values(in, a->elements[x], a->elements[y], flags);
  });
}

Value array_sort_on(Interpreter& in, const Value& self, std::vector<Value>& args) {
  Object* a = self_array(self);
  if (!a) return {};
  std::vector<std::string> fields;
  const Value names = arg(args, 0);
  if (names.is_object() && names.object->kind == ObjectKind::Array)
    for (const Value& v : names.object->elements) fields.push_back(in.to_string(v));
  else
    fields.push_back(in.to_string(names));
  const int flags = static_cast<int>(in.to_number(arg(args, 1)));
  return finish_sort(in, a, self, flags, [&](std::size_t x, std::size_t y) {
    for (const std::string& field : fields) {
      const int c = compare_values(in, in.get_member(a->elements[x], field), in.get_member(a->elements[y], field), flags);
      if (c != 0) return c;
    }
    return 0;
  });
}

// --- Boolean and Number ---

Value boolean_ctor(Interpreter& in, const Value& self, std::vector<Value>& args) {
  const bool b = in.to_boolean(arg(args, 0));
  if (self.is_object() && self.object->proto == in.prototype_of("Boolean")) {
    self.object->kind = ObjectKind::Boolean;
    self.object->primitive = Value::from(b);
    return self;
  }
  return Value::from(b);
}

Value primitive_of(const Value& self) { return self.is_object() ? self.object->primitive : self; }

Value boolean_to_string(Interpreter& in, const Value& self, std::vector<Value>&) {
  return Value::from(in.to_string(primitive_of(self)));
}

Value primitive_value_of(Interpreter&, const Value& self, std::vector<Value>&) { return primitive_of(self); }

Value number_ctor(Interpreter& in, const Value& self, std::vector<Value>& args) {
  const double n = args.empty() ? 0 : in.to_number(args[0]);
  if (self.is_object() && self.object->proto == in.prototype_of("Number")) {
    self.object->kind = ObjectKind::Number;
    self.object->primitive = Value::from(n);
    return self;
  }
  return Value::from(n);
}

Value number_to_string_method(Interpreter& in, const Value& self, std::vector<Value>& args) {
  const double n = in.to_number(primitive_of(self));
  const double radix = arg(args, 0).is_undefined() ? 10 : in.to_number(args[0]);
  if (radix == 10 || std::isnan(radix) || radix < 2 || radix > 36 || !std::isfinite(n))
    return Value::from(number_to_string(n));
  // Other radixes show the integer part, as the format's players do.
  const std::int32_t i = to_int32(n);
  std::uint32_t u = i < 0 ? 0u - static_cast<std::uint32_t>(i) : static_cast<std::uint32_t>(i);
  std::string digits;
  const auto r = static_cast<std::uint32_t>(radix);
  do {
    digits.insert(digits.begin(), "0123456789abcdefghijklmnopqrstuvwxyz"[u % r]);
    u /= r;
  } while (u);
  return Value::from(i < 0 ? "-" + digits : digits);
}

// --- Globals ---

Value global_is_nan(Interpreter& in, const Value&, std::vector<Value>& args) {
  return Value::from(std::isnan(in.to_number(arg(args, 0))));
}

Value global_is_finite(Interpreter& in, const Value&, std::vector<Value>& args) {
  return Value::from(std::isfinite(in.to_number(arg(args, 0))));
}

int digit_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'z') return c - 'a' + 10;
  if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
  return 99;
}

Value global_parse_int(Interpreter& in, const Value&, std::vector<Value>& args) {
  const std::string s = in.to_string(arg(args, 0));
  std::size_t i = 0;
  while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i]))) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  int radix = arg(args, 1).is_undefined() ? 0 : static_cast<int>(in.to_number(args[1]));
  if (radix == 0) {
    radix = 10;
    if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
      radix = 16;
      i += 2;
    } else if (i + 1 < s.size() && s[i] == '0' && in.version() < 9) {
      radix = 8;  // a leading zero is octal in these versions
    }
  } else if (radix == 16 && i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
    i += 2;
  }
  if (radix < 2 || radix > 36) return Value::from(kNaN);
  double v = 0;
  std::size_t digits = 0;
  for (; i < s.size() && digit_value(s[i]) < radix; ++i, ++digits) v = v * radix + digit_value(s[i]);
  if (digits == 0) return Value::from(kNaN);
  return Value::from(negative ? -v : v);
}

Value global_parse_float(Interpreter& in, const Value&, std::vector<Value>& args) {
  const std::string s = in.to_string(arg(args, 0));
  std::size_t i = 0;
  while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i]))) ++i;
  // The longest prefix that reads as a number.
  double best = kNaN;
  for (std::size_t end = i + 1; end <= s.size() && end - i <= 400; ++end) {
    const double v = string_to_number(std::string_view(s).substr(i, end - i), 7);
    if (!std::isnan(v)) best = v;
  }
  return Value::from(best);
}

Value global_escape(Interpreter& in, const Value&, std::vector<Value>& args) {
  const std::string s = in.to_string(arg(args, 0));
  std::string out;
  for (char ch : s) {
    const auto c = static_cast<unsigned char>(ch);
    if (std::isalnum(c)) {
      out += ch;
    } else {
      static const char hex[] = "0123456789ABCDEF";
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  if (!in.fits_string(out.size())) return Value::from("");
  return Value::from(std::move(out));
}

Value global_unescape(Interpreter& in, const Value&, std::vector<Value>& args) {
  const std::string s = in.to_string(arg(args, 0));
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%' && i + 2 < s.size() + 0 && digit_value(s[i + 1]) < 16 && digit_value(s[i + 2]) < 16) {
      out += static_cast<char>(digit_value(s[i + 1]) * 16 + digit_value(s[i + 2]));
      i += 2;
    } else {
      out += s[i] == '+' ? ' ' : s[i];
    }
  }
  return Value::from(std::move(out));
}

}  // namespace

void install_core_builtins(Interpreter& in) {
  Object* g = in.global();
  // Object.prototype and Function.prototype come first: every native function
  // made below hangs off them.
  Object* object_proto = in.new_object();
  Object* function_proto = in.new_object(object_proto);
  g->proto = object_proto;
  Object* fn_ctor = in.new_object(function_proto, ObjectKind::Function);
  fn_ctor->native = function_ctor;
  fn_ctor->put("prototype", Value::from(function_proto), kDontEnum);
  function_proto->put("constructor", Value::from(fn_ctor), kDontEnum);
  g->put("Function", Value::from(fn_ctor), kDontEnum);
  Object* obj_ctor = in.new_object(function_proto, ObjectKind::Function);
  obj_ctor->native = object_ctor;
  obj_ctor->put("prototype", Value::from(object_proto), kDontEnum);
  object_proto->put("constructor", Value::from(obj_ctor), kDontEnum);
  g->put("Object", Value::from(obj_ctor), kDontEnum);

  define(in, object_proto, "hasOwnProperty", object_has_own);
  define(in, object_proto, "toString", object_to_string);
  define(in, object_proto, "valueOf", object_value_of);
  define(in, object_proto, "addProperty", object_add_property);
  define(in, object_proto, "isPropertyEnumerable", object_is_enumerable);
  define(in, object_proto, "isPrototypeOf", object_is_prototype_of);
  define(in, obj_ctor, "registerClass", object_register_class);
  define(in, function_proto, "call", function_call);
  define(in, function_proto, "apply", function_apply);

  Object* array_proto = in.new_object(object_proto);
  Object* array = define_class(in, "Array", array_ctor, array_proto);
  define(in, array_proto, "push", array_push);
  define(in, array_proto, "pop", array_pop);
  define(in, array_proto, "shift", array_shift);
  define(in, array_proto, "unshift", array_unshift);
  define(in, array_proto, "splice", array_splice);
  define(in, array_proto, "slice", array_slice);
  define(in, array_proto, "join", array_join);
  define(in, array_proto, "toString", array_to_string);
  define(in, array_proto, "concat", array_concat);
  define(in, array_proto, "reverse", array_reverse);
  define(in, array_proto, "sort", array_sort);
  define(in, array_proto, "sortOn", array_sort_on);
  const std::pair<const char*, int> sort_flags[] = {{"CASEINSENSITIVE", kCaseInsensitive}, {"DESCENDING", kDescending},
                                                    {"UNIQUESORT", kUniqueSort}, {"RETURNINDEXEDARRAY", kReturnIndexedArray},
                                                    {"NUMERIC", kNumeric}};
  for (const auto& [name, value] : sort_flags) array->put(name, Value::from(value), kDontEnum | kReadOnly);

  Object* boolean_proto = in.new_object(object_proto);
  define_class(in, "Boolean", boolean_ctor, boolean_proto);
  define(in, boolean_proto, "toString", boolean_to_string);
  define(in, boolean_proto, "valueOf", primitive_value_of);

  Object* number_proto = in.new_object(object_proto);
  Object* number = define_class(in, "Number", number_ctor, number_proto);
  define(in, number_proto, "toString", number_to_string_method);
  define(in, number_proto, "valueOf", primitive_value_of);
  const double inf = std::numeric_limits<double>::infinity();
  const std::pair<const char*, double> constants[] = {{"MAX_VALUE", std::numeric_limits<double>::max()},
                                                      {"MIN_VALUE", std::numeric_limits<double>::denorm_min()},
                                                      {"NaN", kNaN}, {"POSITIVE_INFINITY", inf},
                                                      {"NEGATIVE_INFINITY", -inf}};
  for (const auto& [name, value] : constants) number->put(name, Value::from(value), kDontEnum | kDontDelete | kReadOnly);

  g->put("NaN", Value::from(kNaN), kDontEnum);
  g->put("Infinity", Value::from(inf), kDontEnum);
  define(in, g, "isNaN", global_is_nan);
  define(in, g, "isFinite", global_is_finite);
  define(in, g, "parseInt", global_parse_int);
  define(in, g, "parseFloat", global_parse_float);
  define(in, g, "escape", global_escape);
  define(in, g, "unescape", global_unescape);
  define(in, g, "ASSetPropFlags", set_prop_flags);
}

}  // namespace player::script
