// Date, on the host's clock and time zone.
#include <cmath>
#include <cstdio>

#include "builtins.h"

namespace player::script {

namespace {

constexpr double kMsPerDay = 86400000.0;
constexpr double kMaxTime = 8.64e15;  // the format's range of dates, either side of 1970

enum Field { kYear, kMonth, kDate, kHours, kMinutes, kSeconds, kMs, kDay, kFieldCount };

// Days since 1970-01-01 of a proleptic Gregorian date (month from 1).
double days_from_civil(double y, double m, double d) {
  y -= m <= 2 ? 1 : 0;
  const double era = std::floor(y / 400);
  const double yoe = y - era * 400;
  const double mp = m > 2 ? m - 3 : m + 9;
  const double doy = std::floor((153 * mp + 2) / 5) + d - 1;
  const double doe = yoe * 365 + std::floor(yoe / 4) - std::floor(yoe / 100) + doy;
  return era * 146097 + doe - 719468;
}

void civil_from_days(double z, double& y, double& m, double& d) {
  z += 719468;
  const double era = std::floor(z / 146097);
  const double doe = z - era * 146097;
  const double yoe = std::floor((doe - std::floor(doe / 1460) + std::floor(doe / 36524) - std::floor(doe / 146096)) / 365);
  y = yoe + era * 400;
  const double doy = doe - (365 * yoe + std::floor(yoe / 4) - std::floor(yoe / 100));
  const double mp = std::floor((5 * doy + 2) / 153);
  d = doy - std::floor((153 * mp + 2) / 5) + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  if (m <= 2) y += 1;
}

struct Fields {
  double f[kFieldCount] = {};
};

Fields split(double t) {
  Fields out;
  const double day = std::floor(t / kMsPerDay);
  double ms = t - day * kMsPerDay;
  double y, m, d;
  civil_from_days(day, y, m, d);
  out.f[kYear] = y;
  out.f[kMonth] = m - 1;
  out.f[kDate] = d;
  out.f[kHours] = std::floor(ms / 3600000);
  ms -= out.f[kHours] * 3600000;
  out.f[kMinutes] = std::floor(ms / 60000);
  ms -= out.f[kMinutes] * 60000;
  out.f[kSeconds] = std::floor(ms / 1000);
  out.f[kMs] = ms - out.f[kSeconds] * 1000;
  out.f[kDay] = std::fmod(std::fmod(day + 4, 7) + 7, 7);  // 1970-01-01 was a Thursday
  return out;
}

double join(const Fields& x) {
  for (int i = 0; i < kDay; ++i)
    if (!std::isfinite(x.f[i])) return std::nan("");
  const double y = std::trunc(x.f[kYear]) + std::floor(std::trunc(x.f[kMonth]) / 12);
  const double m = std::fmod(std::fmod(std::trunc(x.f[kMonth]), 12) + 12, 12);
  const double day = days_from_civil(y, m + 1, 1) + std::trunc(x.f[kDate]) - 1;
  const double t = day * kMsPerDay + std::trunc(x.f[kHours]) * 3600000 + std::trunc(x.f[kMinutes]) * 60000 +
                   std::trunc(x.f[kSeconds]) * 1000 + std::trunc(x.f[kMs]);
  return std::fabs(t) > kMaxTime ? std::nan("") : t;
}

double offset_ms(Interpreter& in, double utc) { return in.host().utc_offset_minutes(utc) * 60000.0; }
double to_local(Interpreter& in, double utc) { return utc + offset_ms(in, utc); }
double to_utc(Interpreter& in, double local) { return local - offset_ms(in, local - offset_ms(in, local)); }

double time_of(const Value& self) {
  if (self.is_object() && self.object->kind == ObjectKind::Date) return self.object->primitive.number;
  return std::nan("");
}

Value date_to_string(Interpreter& in, const Value& self, std::vector<Value>&);

// new Date(...) makes a date; Date() called as a function gives now as text.
Value date_ctor(Interpreter& in, const Value& self, std::vector<Value>& args) {
  const bool constructing = self.is_object() && self.object->proto == in.prototype_of("Date") &&
                            self.object->kind == ObjectKind::Plain;
  if (!constructing) {
    Object* now = in.new_object(in.prototype_of("Date"), ObjectKind::Date);
    now->primitive = Value::from(std::trunc(in.host().now_ms()));
    std::vector<Value> none;
    return date_to_string(in, Value::from(now), none);
  }
  double t;
  if (args.empty()) {
    t = in.host().now_ms();
  } else if (args.size() == 1) {
    t = in.to_number(args[0]);
  } else {
    Fields x;
    x.f[kDate] = 1;
    for (std::size_t i = 0; i < args.size() && i < kDay; ++i) x.f[i] = in.to_number(args[i]);
    if (x.f[kYear] >= 0 && x.f[kYear] <= 99) x.f[kYear] += 1900;
    t = to_utc(in, join(x));
  }
  if (!std::isfinite(t) || std::fabs(t) > kMaxTime) t = std::nan("");
  Object* o = self.object;
  o->kind = ObjectKind::Date;
  o->primitive = Value::from(std::trunc(t));
  return Value::from(o);
}

template <int F, bool Utc>
Value get_field(Interpreter& in, const Value& self, std::vector<Value>&) {
  const double t = time_of(self);
  if (std::isnan(t)) return Value::from(t);
  return Value::from(split(Utc ? t : to_local(in, t)).f[F]);
}

Value get_year(Interpreter& in, const Value& self, std::vector<Value>&) {
  const double t = time_of(self);
  return Value::from(std::isnan(t) ? t : split(to_local(in, t)).f[kYear] - 1900);
}

Value get_time(Interpreter&, const Value& self, std::vector<Value>&) { return Value::from(time_of(self)); }

Value get_timezone_offset(Interpreter& in, const Value& self, std::vector<Value>&) {
  const double t = time_of(self);
  return Value::from(std::isnan(t) ? t : -in.host().utc_offset_minutes(t) * 1.0);
}

void store(const Value& self, double t) {
  if (self.is_object() && self.object->kind == ObjectKind::Date)
    self.object->primitive = Value::from(std::isfinite(t) && std::fabs(t) <= kMaxTime ? std::trunc(t) : std::nan(""));
}

// setX(a, b...) from field First, at most Count of them.
template <int First, int Count, bool Utc>
Value set_fields(Interpreter& in, const Value& self, std::vector<Value>& args) {
  double t = time_of(self);
  if (std::isnan(t)) t = 0;
  Fields x = split(Utc ? t : to_local(in, t));
  for (std::size_t i = 0; i < args.size() && i < Count; ++i) x.f[First + static_cast<int>(i)] = in.to_number(args[i]);
  const double local = join(x);
  store(self, Utc ? local : to_utc(in, local));
  return Value::from(time_of(self));
}

Value set_time(Interpreter& in, const Value& self, std::vector<Value>& args) {
  store(self, in.to_number(arg(args, 0)));
  return Value::from(time_of(self));
}

Value set_year(Interpreter& in, const Value& self, std::vector<Value>& args) {
  double y = in.to_number(arg(args, 0));
  if (y >= 0 && y <= 99) y += 1900;
  std::vector<Value> one{Value::from(y)};
  return set_fields<kYear, 1, false>(in, self, one);
}

Value date_utc(Interpreter& in, const Value&, std::vector<Value>& args) {
  Fields x;
  x.f[kDate] = 1;
  for (std::size_t i = 0; i < args.size() && i < kDay; ++i) x.f[i] = in.to_number(args[i]);
  if (x.f[kYear] >= 0 && x.f[kYear] <= 99) x.f[kYear] += 1900;
  return Value::from(join(x));
}

// "Tue Dec 8 17:26:46 GMT+0100 2026"
Value date_to_string(Interpreter& in, const Value& self, std::vector<Value>&) {
  const double t = time_of(self);
  if (std::isnan(t)) return Value::from("Invalid Date");
  static const char* const days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const Fields x = split(to_local(in, t));
  const int offset = in.host().utc_offset_minutes(t);
  const int a = offset < 0 ? -offset : offset;
  char buf[96];
  std::snprintf(buf, sizeof buf, "%s %s %d %02d:%02d:%02d GMT%c%02d%02d %d", days[static_cast<int>(x.f[kDay])],
                months[static_cast<int>(x.f[kMonth])], static_cast<int>(x.f[kDate]), static_cast<int>(x.f[kHours]),
                static_cast<int>(x.f[kMinutes]), static_cast<int>(x.f[kSeconds]), offset < 0 ? '-' : '+', a / 60,
                a % 60, static_cast<int>(x.f[kYear]));
  return Value::from(buf);
}

}  // namespace

void install_date_builtins(Interpreter& in) {
  Object* proto = in.new_object(in.prototype_of("Object"));
  Object* date = define_class(in, "Date", date_ctor, proto);
  define(in, date, "UTC", date_utc);
  define(in, proto, "getFullYear", get_field<kYear, false>);
  define(in, proto, "getYear", get_year);
  define(in, proto, "getMonth", get_field<kMonth, false>);
  define(in, proto, "getDate", get_field<kDate, false>);
  define(in, proto, "getDay", get_field<kDay, false>);
  define(in, proto, "getHours", get_field<kHours, false>);
  define(in, proto, "getMinutes", get_field<kMinutes, false>);
  define(in, proto, "getSeconds", get_field<kSeconds, false>);
  define(in, proto, "getMilliseconds", get_field<kMs, false>);
  define(in, proto, "getUTCFullYear", get_field<kYear, true>);
  define(in, proto, "getUTCMonth", get_field<kMonth, true>);
  define(in, proto, "getUTCDate", get_field<kDate, true>);
  define(in, proto, "getUTCDay", get_field<kDay, true>);
  define(in, proto, "getUTCHours", get_field<kHours, true>);
  define(in, proto, "getUTCMinutes", get_field<kMinutes, true>);
  define(in, proto, "getUTCSeconds", get_field<kSeconds, true>);
  define(in, proto, "getUTCMilliseconds", get_field<kMs, true>);
  define(in, proto, "getTime", get_time);
  define(in, proto, "valueOf", get_time);
  define(in, proto, "getTimezoneOffset", get_timezone_offset);
  define(in, proto, "toString", date_to_string);
  define(in, proto, "setTime", set_time);
  define(in, proto, "setYear", set_year);
  define(in, proto, "setFullYear", set_fields<kYear, 3, false>);
  define(in, proto, "setMonth", set_fields<kMonth, 2, false>);
  define(in, proto, "setDate", set_fields<kDate, 1, false>);
  define(in, proto, "setHours", set_fields<kHours, 4, false>);
  define(in, proto, "setMinutes", set_fields<kMinutes, 3, false>);
  define(in, proto, "setSeconds", set_fields<kSeconds, 2, false>);
  define(in, proto, "setMilliseconds", set_fields<kMs, 1, false>);
  define(in, proto, "setUTCFullYear", set_fields<kYear, 3, true>);
  define(in, proto, "setUTCMonth", set_fields<kMonth, 2, true>);
  define(in, proto, "setUTCDate", set_fields<kDate, 1, true>);
  define(in, proto, "setUTCHours", set_fields<kHours, 4, true>);
  define(in, proto, "setUTCMinutes", set_fields<kMinutes, 3, true>);
  define(in, proto, "setUTCSeconds", set_fields<kSeconds, 2, true>);
  define(in, proto, "setUTCMilliseconds", set_fields<kMs, 1, true>);
}

}  // namespace player::script
