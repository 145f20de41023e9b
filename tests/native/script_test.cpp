// The ActionScript interpreter, driven by assembled bytecode against a fake
// movie: what scripts print, what they ask of the movie, and where the caps
// stop them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <ctime>
#include <cstring>

#include "interpreter.h"
#include "script_asm.h"
#include "script_fake_host.h"

namespace {

using namespace player::script;
using script_test::Assembler;
using script_test::FakeHost;

struct Session {
  FakeHost host;
  std::unique_ptr<Interpreter> in;
  RunResult result;

  explicit Session(const std::string& source, int version = 8, Limits limits = {}) {
    host.version = version;
    in = std::make_unique<Interpreter>(host, limits);
    result = run(source);
  }
  RunResult run(const std::string& source, ClipId clip = 1) {
    const std::vector<std::uint8_t> code = Assembler::assemble(source);
    return in->run_actions(clip, {code.data(), code.size()});
  }
};

std::string traces(const std::string& source, int version = 8) {
  Session r(source, version);
  EXPECT_TRUE(r.result.ok) << r.result.error;
  return r.host.joined_traces();
}

struct Case {
  const char* name;
  const char* source;
  const char* expected;  // traces joined by '|'
  int version = 8;
};

// Each case prints what a correct player prints for it.
const Case kCases[] = {
    // Arithmetic, conversions and the version-dependent rules.
    {"add2 numbers and strings", "push 1 2; add2; trace; push \"1\" 2; add2; trace; push 1.5 \"x\"; add2; trace", "3|12|1.5x"},
    {"old add is numeric", "push \"1\" \"2\"; add; trace", "3"},
    {"division", "push 1 3; divide; trace; push 1 0; divide; trace; push -1 0; divide; trace; push 0 0; divide; trace",
     "0.333333333333333|Infinity|-Infinity|NaN"},
    {"modulo and negative", "push -7 3; modulo; trace; push 7.5 2; modulo; trace", "-1|1.5"},
    {"undefined is NaN from 7, 0 before", "push undefined 1; add; trace", "NaN"},
    {"undefined is 0 in 6", "push undefined 1; add; trace; push undefined; tostring; stringlength; trace", "1|0", 6},
    {"undefined prints as undefined from 7", "push undefined; trace", "undefined"},
    {"string to number", "push \" 12 \"; tonumber; trace; push \"0x1F\"; tonumber; trace; push \"1e3\"; tonumber; trace; "
                         "push \"12abc\"; tonumber; trace; push \"\"; tonumber; trace", "12|31|1000|NaN|NaN"},
    {"booleans convert", "push true 1; add2; trace; push true; tostring; trace; push \"0\"; not; trace", "2|true|false"},
    {"string truth differs by version", "push \"0\"; not; trace; push \"a\"; not; trace", "true|true", 6},
    {"equals2 coerces", "push 1 \"1\"; equals2; trace; push null undefined; equals2; trace; push 0 false; equals2; trace; "
                        "push null 0; equals2; trace; push \"a\" \"a\"; equals2; trace", "true|true|true|false|true"},
    {"strict equals does not", "push 1 \"1\"; strictequals; trace; push 1 1; strictequals; trace", "false|true"},
    {"less2 and greater", "push 1 2; less2; trace; push \"b\" \"a\"; less2; trace; push 2 1; greater; trace; "
                          "push \"NaN\" 1; less2; trace; push \"10\" \"9\"; less2; trace", "true|false|true|undefined|true"},
    {"bit operations", "push 5 3; bitand; trace; push 5 3; bitor; trace; push 5 3; bitxor; trace; push 1 31; bitlshift; trace; "
                       "push -8 1; bitrshift; trace; push -8 28; biturshift; trace; push 4294967297 0; bitor; trace",
     "1|7|6|-2147483648|-4|15|1"},
    {"increment, decrement, tointeger", "push 1.5; increment; trace; push 0; decrement; trace; push -2.7; tointeger; trace",
     "2.5|-1|-2"},
    {"logical and or", "push 1 0; and; trace; push 1 0; or; trace", "false|true"},
    {"old logic pushes numbers", "push 1 0; and; trace; push 1 1; equals; trace", "0|1", 4},
    // Strings.
    {"string ops", "push \"ab\" \"cd\"; stringadd; dup; trace; stringlength; trace; push \"abcdef\" 2 3; stringextract; trace; "
                   "push \"a\" \"b\"; stringless; trace; push \"b\" \"a\"; stringgreater; trace; push \"A\"; chartoascii; trace; "
                   "push 66; asciitochar; trace", "abcd|4|bcd|true|true|65|B"},
    {"multibyte string ops", "push \"h\\xc3\\xa9llo\"; mbstringlength; trace", "5"},
    {"string methods",
     "push \"Hello World\"; store 1; pop; "
     "push \"o\" 1 r:1 \"indexOf\"; callmethod; trace; push \"o\" 1 r:1 \"lastIndexOf\"; callmethod; trace; "
     "push 3 1 2 r:1 \"substr\"; callmethod; trace; push 5 1 2 r:1 \"substring\"; callmethod; trace; "
     "push -3 1 r:1 \"slice\"; callmethod; trace; push 0 r:1 \"toUpperCase\"; callmethod; trace; "
     "push 1 1 r:1 \"charAt\"; callmethod; trace; push 0 1 r:1 \"charCodeAt\"; callmethod; trace; "
     "push \" \" 1 r:1 \"split\"; callmethod; push \"length\"; getmember; trace; "
     "push 104 105 2 \"String\"; getvariable; push \"fromCharCode\"; callmethod; trace; "
     "push r:1 \"length\"; getmember; trace",
     "4|7|ell|ello|rld|HELLO WORLD|e|72|2|ih|11"},
    {"characters are code points from 6", "push \"h\xc3\xa9llo\"; store 1; pop; push r:1 \"length\"; getmember; trace; "
                                           "push 1 1 r:1 \"charAt\"; callmethod; trace; push 1 1 r:1 \"charCodeAt\"; callmethod; trace; "
                                           "push \"l\" 1 r:1 \"indexOf\"; callmethod; trace; push 2 1 2 r:1 \"substr\"; callmethod; trace; "
                                           "push 233 1 \"String\"; getvariable; push \"fromCharCode\"; callmethod; push \"length\"; getmember; trace",
     "5|\xc3\xa9|233|2|\xc3\xa9l|1"},
    {"characters are bytes in 5", "push \"h\xc3\xa9llo\"; store 1; pop; push r:1 \"length\"; getmember; trace; "
                                  "push \"l\" 1 r:1 \"indexOf\"; callmethod; trace", "6|3", 5},
    // Variables, scopes and paths.
    {"variables and registers", "push \"x\" 5; setvariable; push \"x\"; getvariable; store 2; pop; push r:2; trace", "5"},
    {"names ignore case below 7", "push \"Abc\" 1; setvariable; push \"aBC\"; getvariable; trace", "1", 6},
    {"names keep case from 7", "push \"Abc\" 1; setvariable; push \"aBC\"; getvariable; trace", "undefined"},
    {"slash and dot paths", "push \"/a/b:v\" 3; setvariable; push \"_root.a.b.v\"; getvariable; trace; "
                            "push \"a/b:v\"; getvariable; trace; push \"/a:v\"; getvariable; typeof; trace", "3|3|undefined"},
    {"clip references", "push \"a\"; getvariable; typeof; trace; push \"a\"; getvariable; targetpath; trace; "
                        "push \"_root\"; getvariable; push \"a\"; getmember; push \"b\"; getmember; push \"_name\"; getmember; trace; "
                        "push \"a\"; getvariable; push \"b\"; getmember; push \"_parent\"; getmember; targetpath; trace",
     "movieclip|_level0.a|b|_level0.a"},
    {"settarget and parent", "settarget \"a/b\"; push \"v\" 7; setvariable; settarget \"\"; push \"a.b.v\"; getvariable; trace; "
                             "push \"a/b\"; settarget2; push \"_parent\"; getvariable; targetpath; trace", "7|_level0.a"},
    {"locals shadow timeline", "push \"x\" 1; setvariable; function f { push \"x\" 2; definelocal; push \"x\"; getvariable; trace }; "
                               "push 0 \"f\"; callfunction; pop; push \"x\"; getvariable; trace", "2|1"},
    {"definelocal2 and delete2", "push \"y\" 1; setvariable; push \"y\"; delete2; trace; push \"y\"; getvariable; trace",
     "true|undefined"},
    {"with scopes", "push \"o\"; push \"k\" 4 1; initobject; setvariable; push \"o\"; getvariable; with { push \"k\"; getvariable; trace; "
                    "push \"k\" 5; setvariable }; push \"o.k\"; getvariable; trace", "4|5"},
    // Functions.
    {"function with arguments and return", "function add a b { push \"a\"; getvariable; push \"b\"; getvariable; add2; return }; "
                                           "push 3 4 2 \"add\"; callfunction; trace", "7"},
    {"anonymous function as value", "push \"f\"; function _ x { push \"x\"; getvariable; push 2; multiply; return }; setvariable; "
                                    "push 21 1 \"f\"; callfunction; trace", "42"},
    {"function2 registers and preloads",
     "function2 f regs=4 flags=0x5 x:3 { push r:3 r:1 \"n\"; getmember; add2; trace; push r:2 \"length\"; getmember; trace }; "
     "push \"o\" \"n\" 10 \"f\" \"f\"; getvariable; push 2; initobject; setvariable; "
     "push 5 6 2 \"o\"; getvariable; push \"f\"; callmethod; pop", "16|2"},
    {"closures keep their scope",
     "function mk n { function _ { push \"n\"; getvariable; increment; push \"n\"; swap; setvariable; push \"n\"; getvariable; return }; return }; "
     "push \"c\"; push 10 1 \"mk\"; callfunction; setvariable; push 0 \"c\"; callfunction; pop; push 0 \"c\"; callfunction; trace",
     "12"},
    {"recursion", "function fact n { push \"n\"; getvariable; push 1; less2; not; if more; push 1; return; "
                  "more: push \"n\"; getvariable; push \"n\"; getvariable; decrement; push 1 \"fact\"; callfunction; multiply; return }; "
                  "push 10 1 \"fact\"; callfunction; trace", "3628800"},
    {"call and apply", "function f a { push \"this\"; getvariable; push \"k\"; getmember; push \"a\"; getvariable; add2; return }; "
                       "push \"o\"; push \"k\" \"K\" 1; initobject; setvariable; "
                       "push \"x\" \"o\"; getvariable; push 2 \"f\"; getvariable; push \"call\"; callmethod; trace; "
                       "push \"y\" 1; initarray; push \"o\"; getvariable; push 2 \"f\"; getvariable; push \"apply\"; callmethod; trace",
     "Kx|Ky"},
    // Objects, prototypes, classes.
    {"constructors and prototypes",
     "function P x { push \"this\"; getvariable; push \"x\" \"x\"; getvariable; setmember }; "
     "push \"P\"; getvariable; push \"prototype\"; getmember; push \"get\"; function _ { push \"this\"; getvariable; push \"x\"; getmember; return }; setmember; "
     "push \"p\"; push 9 1 \"P\"; newobject; setvariable; push 0 \"p\"; getvariable; push \"get\"; callmethod; trace; "
     "push \"p\"; getvariable; push \"P\"; getvariable; instanceof; trace; push \"p\"; getvariable; push \"Array\"; getvariable; instanceof; trace",
     "9|true|false"},
    {"extends and super",
     "function A { push \"this\"; getvariable; push \"a\" 1; setmember }; "
     "push \"A\"; getvariable; push \"prototype\"; getmember; push \"who\"; function _ { push \"A\"; return }; setmember; "
     "function2 B regs=3 flags=0x11 { push 0 r:2 undefined; callmethod; pop; push 0 r:2 \"who\"; callmethod; push \"B\"; add2; trace }; "
     "push \"B\"; getvariable; push \"A\"; getvariable; extends; "
     "push \"b\"; push 0 \"B\"; newobject; setvariable; push \"b.a\"; getvariable; trace; "
     "push \"b\"; getvariable; push \"A\"; getvariable; instanceof; trace",
     "AB|1|true"},
    {"typeof", "push 1; typeof; trace; push \"s\"; typeof; trace; push null; typeof; trace; push undefined; typeof; trace; "
               "push 0; initobject; typeof; trace; push \"Math\"; getvariable; push \"max\"; getmember; typeof; trace; push true; typeof; trace",
     "number|string|null|undefined|object|function|boolean"},
    {"enumerate", "push \"o\"; push \"a\" 1 1; initobject; setvariable; push \"o\"; enumerate; "
                  "loop: store 1; push null; equals2; if done; push r:1; trace; jump loop; done:", "a"},
    {"for..in visits the latest first", "push \"o\" 0; initobject; setvariable; push \"o.a\" 1; setvariable; push \"o.b\" 2; setvariable; "
                                        "push \"o.c\" 3; setvariable; push \"o\"; enumerate; "
                                        "loop: store 1; push null; equals2; if done; push r:1; trace; jump loop; done:", "c|b|a"},
    {"initObject's first pair comes first", "push \"x\" 1 \"y\" 2 2; initobject; enumerate2; "
                                        "loop: store 1; push null; equals2; if done; push r:1; trace; jump loop; done:", "x|y"},
    {"delete honours don't-delete", "push \"o\"; push \"a\" 1 1; initobject; setvariable; push \"o\"; getvariable; push \"a\"; delete; trace; "
                                    "push \"Math\"; getvariable; push \"PI\"; delete; trace; push \"Math.PI\"; getvariable; trace",
     "true|false|3.14159265358979"},
    {"ASSetPropFlags hides and protects", "push \"o\"; push \"a\" 1 \"b\" 2 2; initobject; setvariable; "
                                          "push 0 1 \"a\" \"o\"; getvariable; push 4 \"ASSetPropFlags\"; callfunction; pop; "
                                          "push \"o\"; enumerate; loop: store 1; push null; equals2; if done; push r:1; trace; jump loop; done:",
     "b"},
    {"addProperty getters and setters",
     "push \"o\"; push 0; initobject; setvariable; "
     "function2 g regs=2 flags=0x1 { push 42; return }; function2 s regs=2 flags=0x1 v:0 { push \"got\" \"v\"; getvariable; add2; trace }; "
     "push \"s\"; getvariable; push \"g\"; getvariable; push \"p\" 3 \"o\"; getvariable; push \"addProperty\"; callmethod; pop; "
     "push \"o.p\"; getvariable; trace; push \"o\"; getvariable; push \"p\" 5; setmember", "42|got5"},
    {"__proto__ and constructor", "push \"o\"; push 0 \"Array\"; newobject; setvariable; push \"o\"; getvariable; push \"__proto__\"; getmember; "
                                  "push \"Array\"; getvariable; push \"prototype\"; getmember; strictequals; trace", "true"},
    // Arrays.
    {"array methods",
     "push 3 2 1 3; initarray; store 1; pop; push 4 1 r:1 \"push\"; callmethod; trace; push 0 r:1 \"pop\"; callmethod; trace; "
     "push 0 r:1 \"shift\"; callmethod; trace; push 0 1 r:1 \"unshift\"; callmethod; trace; "
     "push \"-\" 1 r:1 \"join\"; callmethod; trace; push 0 r:1 \"reverse\"; callmethod; trace; "
     "push 9 1 1 3 r:1 \"splice\"; callmethod; trace; push r:1; trace; "
     "push 2 1 2 r:1 \"slice\"; callmethod; trace; push 7 1 r:1 \"concat\"; callmethod; trace", "4|4|1|3|0-2-3|3,2,0|2|3,9,0|9|3,9,0,7"},
    {"array sort", "push 10 9 1 3; initarray; store 1; pop; push 0 r:1 \"sort\"; callmethod; trace; "
                   "push 16 1 r:1 \"sort\"; callmethod; trace; push 18 1 r:1 \"sort\"; callmethod; trace; "
                   "function2 _ regs=3 flags=0 a:1 b:2 { push r:2 r:1; subtract; return }; push 1 r:1 \"sort\"; callmethod; trace",
     "1,10,9|1,9,10|10,9,1|10,9,1"},
    {"array sortOn", "push \"n\" 2 1; initobject; push \"n\" 1 1; initobject; push 2; initarray; store 1; pop; "
                     "push 18 \"n\" 2 r:1 \"sortOn\"; callmethod; push 0; getmember; push \"n\"; getmember; trace", "2"},
    {"array length and holes", "push 0 \"Array\"; newobject; store 1; pop; push r:1 \"3\" \"x\"; setmember; push r:1 \"length\"; getmember; trace; "
                               "push 0 r:1 \"join\"; callmethod; trace; push r:1 \"length\" 1; setmember; push r:1; trace", "4|,,,x|"},
    // Math and numbers.
    {"math", "push -2.5 1 \"Math\"; getvariable; push \"round\"; callmethod; trace; push 2.5 1 \"Math\"; getvariable; push \"round\"; callmethod; trace; "
             "push 3 1 2 \"Math\"; getvariable; push \"max\"; callmethod; trace; push 0 \"Math\"; getvariable; push \"min\"; callmethod; trace; "
             "push 2 10 2 \"Math\"; getvariable; push \"pow\"; callmethod; trace; push -1 1 \"Math\"; getvariable; push \"sqrt\"; callmethod; trace",
     "-2|3|3|Infinity|100|NaN"},
    {"number toString radix and parseInt", "push 16 1 255 1 \"Number\"; newobject; push \"toString\"; callmethod; trace; "
                                           "push 16 \"ff\" 2 \"parseInt\"; callfunction; trace; push \"012\" 1 \"parseInt\"; callfunction; trace; "
                                           "push \"3.5px\" 1 \"parseFloat\"; callfunction; trace; push \"a b&c\" 1 \"escape\"; callfunction; trace; "
                                           "push \"a%20b\" 1 \"unescape\"; callfunction; trace",
     "ff|255|10|3.5|a%20b%26c|a b"},
    // Exceptions.
    {"try catch finally", "try e { push \"boom\"; throw; push \"not here\"; trace } catch { push \"e\"; getvariable; trace } "
                          "finally { push \"finally\"; trace }; push \"after\"; trace", "boom|finally|after"},
    {"throw through a function into a register", "function f { push 1; throw }; try r:1 { push 0 \"f\"; callfunction } catch { push r:1; trace }",
     "1"},
    {"a throw leaves the With it was in", "push \"o\" \"k\" 4 1; initobject; setvariable; push \"k\" 1; setvariable; "
                                          "try e { push \"o\"; getvariable; with { push \"k\"; getvariable; trace; push \"x\"; throw } } "
                                          "catch { push \"k\"; getvariable; trace }", "4|1"},
    {"nested tries rethrow from finally", "try a { try b { push \"in\"; throw } finally { push \"f\"; trace } } "
                                          "catch { push \"a\"; getvariable; trace }", "f|in"},
    {"finally runs without a throw", "try e { push \"body\"; trace } finally { push \"fin\"; trace }", "body|fin"},
    // Timeline through the host.
    {"frame labels in gotoAndStop", "push \"intro\"; gotoframe2 0; push \"_currentframe\"; getvariable; trace", "3"},
    {"get and set property by index", "push \"a\" 0 12.5; setproperty; push \"a\" 0; getproperty; trace; push \"a\"; getvariable; push \"_x\"; getmember; trace; "
                                      "push \"a\" 13; getproperty; trace", "12.5|12.5|a"},
    {"clip properties by name", "push \"a\"; getvariable; push \"_alpha\" 50; setmember; push \"a._alpha\"; getvariable; trace; "
                                "push \"a._totalframes\"; getvariable; trace", "50|10"},
    {"case of clip names in old versions", "push \"A.B._name\"; getvariable; trace", "b", 6},
    {"intervals are objects' methods", "push 1 \"Key\"; getvariable; push \"isDown\"; callmethod; trace; push 37 1 \"Key\"; getvariable; push \"isDown\"; callmethod; trace; "
                                       "push \"Stage.width\"; getvariable; trace", "false|true|550"},
    {"date with the host clock", "push 0 \"Date\"; newobject; store 1; pop; push 0 r:1 \"getHours\"; callmethod; trace; "
                                 "push 0 r:1 \"getUTCHours\"; callmethod; trace; push 0 r:1 \"getDay\"; callmethod; trace; "
                                 "push 0 r:1 \"getTimezoneOffset\"; callmethod; trace; push 0 r:1 \"toString\"; callmethod; trace; "
                                 "push 0 \"Date\"; callfunction; trace",
     "0|23|6|-60|Sat Feb 14 00:31:30 GMT+0100 2009|Sat Feb 14 00:31:30 GMT+0100 2009"},
    {"date fields roll over", "push 31 0 2000 3 \"Date\"; newobject; store 1; pop; push 1 1 r:1 \"setMonth\"; callmethod; pop; "
                              "push 0 r:1 \"getMonth\"; callmethod; trace; push 0 r:1 \"getDate\"; callmethod; trace; "
                              "push 1 0 1970 3 \"Date\"; getvariable; push \"UTC\"; callmethod; trace", "2|2|0"},
};

TEST(Script, CasesPrintWhatTheFormatDefines) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(traces(c.source, c.version), c.expected);
  }
}

}  // namespace

namespace {

// Number to text against an oracle built another way: C's %.15g gives the
// digits, and the format's rule alone decides between plain and exponent form.
std::string reference_number_text(double n) {
  if (std::isnan(n)) return "NaN";
  if (std::isinf(n)) return n > 0 ? "Infinity" : "-Infinity";
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.14e", n);
  const int exponent = std::atoi(std::strchr(buf, 'e') + 1);
  if (exponent >= 15 || exponent < -5) {
    std::snprintf(buf, sizeof buf, "%.15g", n);
    std::string s = buf;  // 1.5e+20, 1e-07: drop the exponent's leading zero
    const std::size_t e = s.find('e');
    if (e != std::string::npos && s[e + 2] == '0') s.erase(e + 2, 1);
    return s;
  }
  std::snprintf(buf, sizeof buf, "%.*f", std::max(0, 14 - exponent), n);
  std::string s = buf;
  if (s.find('.') != std::string::npos) {
    while (s.back() == '0') s.pop_back();
    if (s.back() == '.') s.pop_back();
  }
  return s == "-0" ? "0" : s;
}

TEST(Script, NumbersPrintAsTheFormatDefines) {
  const std::pair<double, const char*> table[] = {
      {0, "0"}, {-0.0, "0"}, {1, "1"}, {-1.5, "-1.5"}, {0.1 + 0.2, "0.3"}, {1.0 / 3, "0.333333333333333"},
      {123456789012345, "123456789012345"}, {1e15, "1e+15"}, {1.5e20, "1.5e+20"}, {0.0001, "0.0001"},
      {0.00001, "0.00001"}, {0.000001, "1e-6"}, {1.25e-7, "1.25e-7"}, {2147483648.0, "2147483648"},
      {1e308 * 10, "Infinity"}, {std::nan(""), "NaN"}, {4.35, "4.35"}, {999999999999999.9, "1e+15"}};
  for (const auto& [n, text] : table) EXPECT_EQ(number_to_string(n), text) << n;

  std::mt19937_64 random(26);
  for (int i = 0; i < 50000; ++i) {
    double n;
    const std::uint64_t bits = random();
    if (i % 2) {
      std::memcpy(&n, &bits, sizeof n);  // any double at all
    } else {
      n = std::ldexp(static_cast<double>(bits >> 11), static_cast<int>(random() % 120) - 110);  // everyday sizes
      if (bits & 1) n = -n;
    }
    ASSERT_EQ(number_to_string(n), reference_number_text(n)) << n;
    // And the text reads back as the number rounded to 15 digits.
    if (std::isfinite(n)) {
      char buf[64];
      std::snprintf(buf, sizeof buf, "%.14e", n);
      ASSERT_EQ(string_to_number(number_to_string(n), 8), std::strtod(buf, nullptr)) << n;
    }
  }
}

TEST(Script, CapsStopTheScriptNotTheMovie) {
  Limits small;
  small.instructions_per_entry = 10000;
  small.recursion_depth = 50;
  small.string_length = 1000;
  small.array_length = 1000;
  small.object_count = 1500;
  small.stack_values = 500;
  small.intervals = 5;
  const std::pair<const char*, const char*> cases[] = {
      {"loop: jump loop", "instructions_per_entry"},
      {"function f { push 0 \"f\"; callfunction }; push 0 \"f\"; callfunction", "recursion_depth"},
      {"push \"s\" \"x\"; setvariable; loop: push \"s\" \"s\"; getvariable; dup; add2; setvariable; jump loop", "string_length"},
      {"push 0; initarray; store 1; loop: push 1 1 r:1 \"push\"; callmethod; pop; jump loop", "array_length"},
      {"push 0 \"Array\"; newobject; push \"5000\" 1; setmember", "array_length"},
      {"loop: push 0; initobject; pop; jump loop", "object_count"},
      {"loop: push 1; jump loop", "stack_values"},
      {"loop: function _ { }; push 1; swap; push 2 \"setInterval\"; callfunction; pop; jump loop", "intervals"},
      {"push 100000 1 \"x\" 1 \"String\"; newobject; push \"split\"; callmethod", ""},
  };
  for (const auto& [source, cap] : cases) {
    SCOPED_TRACE(source);
    Session r(source, 8, small);
    if (*cap) {
      EXPECT_FALSE(r.result.ok);
      EXPECT_NE(r.result.error.find(cap), std::string::npos) << r.result.error;
    }
    // The next script runs as if nothing happened.
    EXPECT_TRUE(r.run("push \"next\"; trace").ok);
    EXPECT_EQ(r.host.traces.back(), "next");
  }
}

// Copies count: one string pushed into an array again and again, or an
// array doubled by concat, meets the memory cap however short each string is.
TEST(Script, CopiesOfStringsCountAgainstMemory) {
  Limits limits;
  limits.memory_bytes = 4u << 20;
  const std::string hundred(100, 'x');
  const std::string sources[] = {
      "push 0; initarray; store 1; pop; loop: push \"" + hundred + "\" 1 r:1 \"push\"; callmethod; pop; jump loop",
      "push \"" + hundred + "\" 1; initarray; store 1; pop; loop: push r:1 1 r:1 \"concat\"; callmethod; store 1; pop; jump loop"};
  for (const std::string& source : sources) {
    Session r(source, 8, limits);
    EXPECT_FALSE(r.result.ok);
    EXPECT_NE(r.result.error.find("memory_bytes"), std::string::npos) << r.result.error;
  }
}

TEST(Script, UncaughtExceptionsAndDamagedCodeEndOnlyTheirScript) {
  const char* const sources[] = {
      "push \"x\"; throw; push \"after\"; trace",
      "raw 96 ff 00 00",      // a push longer than its block
      "raw 99 02 00 00 80",   // a jump far before the block
      "raw 9b 05 00 66 00",   // a function cut short
      "raw 8f 07 00 00 ff ff 00 00 00 00",  // a try larger than its block
      "push 1; raw 9d 02 00 ff 7f",  // a branch far past the end
  };
  for (const char* source : sources) {
    SCOPED_TRACE(source);
    Session r(source);
    EXPECT_TRUE(r.host.traces.empty());
    EXPECT_TRUE(r.run("push \"next\"; trace").ok);
  }
  Session r("push \"x\"; throw");
  EXPECT_FALSE(r.result.ok);
  EXPECT_NE(r.result.error.find("x"), std::string::npos);
}

// What scripts ask of the movie arrives at the host as calls.
TEST(Script, ClipsAreDrivenThroughTheHost) {
  Session r(R"(
    push "_root"; getvariable; store 1; pop
    push 5 "box" 2 r:1 "createEmptyMovieClip"; callmethod; store 2; pop
    push 50 0xff0000 2 r:2 "beginFill"; callmethod; pop
    push "miter" "none" "normal" true 100 0x00ff00 7 7 r:2 "lineStyle"; callmethod; pop
    push 0 0 2 r:2 "moveTo"; callmethod; pop
    push 10 10 20 0 4 r:2 "curveTo"; callmethod; pop
    push 0 r:2 "endFill"; callmethod; pop
    push "matrixType" "box" "x" 0 "y" 20 "w" 100 "h" 100 "r" 0 6; initobject
    push 255 0 2; initarray; push 100 50 2; initarray; push 0xff 0xff0000 2; initarray; push "linear" 5 r:2 "beginGradientFill"; callmethod; pop
    push 0 "mask" 2 r:1 "createEmptyMovieClip"; callmethod; pop
    push "_level0:mask" 1 r:2 "setMask"; callmethod; pop
    push 0 r:2 "getDepth"; callmethod; trace
    push 0 r:1 "getNextHighestDepth"; callmethod; trace
    push "a" 1 "Color"; newobject; store 3; pop
    push 0x336699 1 r:3 "setRGB"; callmethod; pop
    push 0 r:3 "getRGB"; callmethod; trace
    push "aa" 40 1; initobject; push 1 r:3 "setTransform"; callmethod; pop
    push "p"; push "y" 2 "x" 1 2; initobject; setvariable; push "p"; getvariable; push 1 r:2 "localToGlobal"; callmethod; pop
    push "p.x"; getvariable; trace
    push 7 "copy" 2 "a"; getvariable; push "duplicateMovieClip"; callmethod; push "_name"; getmember; trace
    push "a"; getvariable; removesprite
    push "a"; getvariable; typeof; trace
    push "u" "_blank"; geturl2 0
    geturl "FSCommand:quit" ""
    push "box"; getvariable; push "opaqueBackground" 0xff; setmember
  )");
  ASSERT_TRUE(r.result.ok) << r.result.error;
  EXPECT_EQ(r.host.joined_traces(), "5|6|3368601|101|copy|undefined");
  const std::vector<std::string> expected = {
      "create 1 box 5", "fill 4 ff0000 50", "line 4 7 00ff00 100 none miter", "move 4 0,0", "curve 4 0,20 10,10",
      "endfill 4", "gradient 4 linear ff0000/50/0 0000ff/100/255 0.06103515625 0.06103515625 50 70 pad",
      "create 1 mask 0", "mask 4 5", "color 2 0 51 102 153 100", "color 2 0 51 102 153 40",
      "duplicate 1 copy 7", "remove 2", "url u _blank 0", "url FSCommand:quit  0", "display 4 opaqueBackground"};
  EXPECT_EQ(r.host.log, expected);
}

TEST(Script, TimelineActionsReachTheTarget) {
  Session r(R"(
    play; stop; nextframe; prevframe; gotoframe 4; gotolabel "intro"; gotolabel "none"
    settarget "a"; play; settarget ""
    push "intro" 1 "_root"; getvariable; push "gotoAndPlay"; callmethod; pop
    push 2; gotoframe2 1
  )");
  ASSERT_TRUE(r.result.ok) << r.result.error;
  const std::vector<std::string> expected = {"play 1", "stop 1", "goto 1 2", "goto 1 1", "goto 1 5", "goto 1 3",
                                             "play 2", "goto 1 3 play", "goto 1 2 play"};
  EXPECT_EQ(r.host.log, expected);
}

// The entry points the movie calls: handlers, timers on the host's clock,
// classes for attached symbols, frames run by Call, variables for text fields.
TEST(Script, EntryPointsTheMovieCalls) {
  Session r(R"(
    push "_root"; getvariable; push "onEnterFrame"; function _ { push "frame"; trace }; setmember
    function tick a { push "tick "; push "a"; getvariable; add2; trace }
    push "x" 1000 "tick"; getvariable; push 3 "setInterval"; callfunction; push "id"; swap; setvariable
    function once { push "once"; trace }; push 500 "once"; getvariable; push 2 "setTimeout"; callfunction; pop
    function Ball { push "this"; getvariable; push "_x" 5; setmember }
    push "Ball"; getvariable; push "prototype"; getmember; push "onEnterFrame"
    function _ { push "this"; getvariable; push "_x"; getmember; trace }; setmember
    push "Ball"; getvariable; push "ball" 2 "Object"; getvariable; push "registerClass"; callmethod; pop
    push 3 "b1" "ball" 3 "_root"; getvariable; push "attachMovie"; callmethod; pop
    push "a/b:msg" "hello"; setvariable
  )");
  ASSERT_TRUE(r.result.ok) << r.result.error;
  Interpreter& in = *r.in;
  r.host.clock_ms += 600;
  EXPECT_TRUE(in.tick_intervals().ok);
  r.host.clock_ms += 500;
  EXPECT_TRUE(in.tick_intervals().ok);
  EXPECT_TRUE(in.has_clip_handler(1, "onEnterFrame"));
  EXPECT_FALSE(in.has_clip_handler(2, "onEnterFrame"));
  EXPECT_TRUE(in.call_clip_handler(1, "onEnterFrame").ok);
  const ClipId ball = r.host.child(1, "b1");
  ASSERT_NE(ball, kNoClip);
  EXPECT_TRUE(in.clip_constructed(ball).ok);
  EXPECT_TRUE(in.call_clip_handler(ball, "onEnterFrame").ok);
  EXPECT_TRUE(r.run("push \"id\"; getvariable; push 1 \"clearInterval\"; callfunction").ok);
  r.host.clock_ms += 5000;
  EXPECT_TRUE(in.tick_intervals().ok);
  EXPECT_EQ(r.host.joined_traces(), "once|tick x|frame|5");

  EXPECT_EQ(in.variable_text(1, "a.b.msg"), "hello");
  EXPECT_EQ(in.variable_text(3, "msg"), "hello");
  EXPECT_EQ(in.variable_text(3, "/a/b:msg"), "hello");
  EXPECT_EQ(in.variable_text(1, "nothing"), "");

  r.host.frame_scripts[2].push_back(Assembler::assemble("push \"in frame 2\"; trace"));
  r.host.traces.clear();
  EXPECT_TRUE(r.run("push 2; call; push \"intro\"; call; push \"after\"; trace").ok);
  EXPECT_EQ(r.host.joined_traces(), "in frame 2|after");
}

TEST(Script, GarbageGoesAndClipVariablesStay) {
  Session r("push \"keep\"; push \"n\" 42 1; initobject; setvariable");
  Interpreter& in = *r.in;
  in.collect_garbage();
  const std::size_t base = in.live_objects();
  EXPECT_TRUE(r.run(R"(
    push 0; store 1; pop
    loop: push 0; initobject; push 0; initarray; pop; pop
    push r:1; increment; store 1; push 5000; less2; if loop
  )").ok);
  in.collect_garbage();
  EXPECT_LE(in.live_objects(), base + 4);
  EXPECT_EQ(in.variable_text(1, "keep.n"), "42");

  // A removed clip's variables go with it.
  EXPECT_TRUE(r.run("push \"a.stuff\" 1 2 3 3; initarray; setvariable").ok);
  in.collect_garbage();
  const std::size_t with_clip = in.live_objects();
  r.host.clips[2].alive = false;
  in.clip_removed(2);
  in.collect_garbage();
  EXPECT_LT(in.live_objects(), with_clip);
}

// Pixels as set, filled and run through a colour matrix that swaps red and
// blue; a bitmap too large is unusable (width -1), as in the format's players.
TEST(Script, BitmapDataPixelsAndColourMatrix) {
  Session r(R"(
    push 0x336699 false 2 4 4 "flash"; getvariable; push "display"; getmember; push "BitmapData"; newmethod; store 1; pop
    push 0x80ff0000 0 1 3 r:1 "setPixel32"; callmethod; pop
    push 0 1 2 r:1 "getPixel32"; callmethod; trace
    push 0 0 2 r:1 "getPixel"; callmethod; trace
    push "height" 1 "width" 2 "y" 1 "x" 1 4; initobject; store 2; pop
    push 0xff00ff00 r:2 2 r:1 "fillRect"; callmethod; pop
    push 1 1 2 r:1 "getPixel"; callmethod; trace
    push 0 1 0 0 0  0 0 0 0 1  0 0 0 1 0  0 0 1 0 0  20; initarray
    push 1 "flash"; getvariable; push "filters"; getmember; push "ColorMatrixFilter"; newmethod; store 3; pop
    push r:3 "x" 0 "y" 0 2; initobject; push r:1 "rectangle"; getmember; push r:1 4 r:1 "applyFilter"; callmethod; pop
    push 0 0 2 r:1 "getPixel"; callmethod; trace
    push 1 1 2 r:1 "getPixel"; callmethod; trace
    push r:1 "width"; getmember; trace
    push true "auto" 7 r:1 4 "_root"; getvariable; push "attachBitmap"; callmethod; pop
    push 0 9999 2 "flash"; getvariable; push "display"; getmember; push "BitmapData"; newmethod; push "width"; getmember; trace
  )");
  ASSERT_TRUE(r.result.ok) << r.result.error;
  EXPECT_EQ(r.host.joined_traces(), "4294901760|3368601|65280|10053171|65280|4|-1");
  ASSERT_EQ(r.host.bitmaps.size(), 1u);
  EXPECT_EQ(r.host.log.back(), "bitmap 1 4x2 7");
  EXPECT_EQ(r.host.bitmaps[0]->argb[0], 0xFF996633u);
}

std::vector<std::uint8_t> seed(const char* name) {
  std::FILE* f = std::fopen((std::string(SCRIPT_SEEDS_DIR) + "/" + name).c_str(), "rb");
  if (!f) return {};
  std::vector<std::uint8_t> bytes(1 << 16);
  bytes.resize(std::fread(bytes.data(), 1, bytes.size(), f));
  std::fclose(f);
  if (!bytes.empty()) bytes.erase(bytes.begin());  // byte 0 is the fuzzer's
  return bytes;
}

// setMask's every kind of argument, as the movie's expected frame shows them:
// the squares it shows in colour are masked, the ones under a white mask
// square are not.
TEST(Script, SetMaskArgumentsAsTheCorpusFrameShows) {
  const std::vector<std::uint8_t> bytes = seed("avm1_movieclip_setmask-0");
  ASSERT_FALSE(bytes.empty());
  FakeHost host;
  Interpreter in(host);
  ASSERT_TRUE(in.run_actions(1, {bytes.data(), bytes.size()}).ok);
  std::map<std::string, ClipId> mask_of;
  for (const std::string& call : host.log) {
    unsigned clip = 0, mask = 0;
    if (std::sscanf(call.c_str(), "mask %u %u", &clip, &mask) == 2) mask_of[host.clips[clip].name] = mask;
  }
  for (const char* name : {"red", "orange", "yellow", "gray", "green", "blue", "darkBlue"}) {
    ASSERT_TRUE(mask_of.count(name)) << name;
    EXPECT_EQ(host.clips[mask_of[name]].name, std::string("mask_") + name);
  }
  for (const char* name : {"brown", "silver", "paleRed", "darkRed"}) EXPECT_EQ(mask_of[name], kNoClip) << name;
}

// The scripts of the test movies we were given run to their end.
TEST(Script, CorpusScriptsRunToTheirEnd) {
  const std::string dir = SCRIPT_SEEDS_DIR;
  const char* const names[] = {"avm1_movieclip_setmask-0", "visual_drawing_api_fills_and_lines-0",
                               "visual_cache_as_bitmap_avm1_color-0", "avm1_mask_with_drawing-0",
                               "from_shumway_doubleAndRegister-2", "avm1_bitmapdata_applyfilter_colormatrix-0"};
  for (const char* name : names) {
    SCOPED_TRACE(name);
    std::FILE* f = std::fopen((dir + "/" + name).c_str(), "rb");
    ASSERT_NE(f, nullptr);
    std::vector<std::uint8_t> bytes(1 << 16);
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), f));
    std::fclose(f);
    FakeHost host;
    host.version = 8;
    Interpreter in(host);
    const RunResult result = in.run_actions(1, {bytes.data() + 1, bytes.size() - 1});  // byte 0 is the fuzzer's
    EXPECT_TRUE(result.ok) << result.error;
    std::string kinds;
    for (const std::string& call : host.log) kinds += call.substr(0, call.find(' ')) + " ";
    const std::string movie = name;
    const std::size_t bitmaps = host.bitmaps.size();
    const bool gradients = kinds.find("gradient") != std::string::npos, masks = kinds.find("mask") != std::string::npos;
    if (movie.find("bitmapdata") != std::string::npos) {
      EXPECT_EQ(bitmaps, 1u) << kinds;
    }
    if (movie.find("drawing_api") != std::string::npos) {
      EXPECT_TRUE(gradients) << kinds;
    }
    if (movie.find("setmask") != std::string::npos) {
      EXPECT_TRUE(masks) << kinds;
    }
  }
}

}  // namespace

namespace {

// Date's calendar against the C library's, an implementation we did not
// write: broken-down UTC fields of random times, and Date.UTC back.
TEST(Script, DateCalendarMatchesTheCLibrary) {
  std::mt19937_64 random(1970);
  Session r("push \"ok\"; trace");
  for (int i = 0; i < 300; ++i) {
    // Years -9999..9999 or so, whole seconds (the C library's unit).
    const auto seconds = static_cast<std::int64_t>(random() % 630000000000ull) - 315000000000ll;
    const auto t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    ASSERT_NE(gmtime_r(&t, &tm), nullptr);
    r.host.traces.clear();
    const std::string ms = std::to_string(seconds) + "000";
    ASSERT_TRUE(r.run("push " + ms + ".0 1 \"Date\"; newobject; store 1; pop; "
                      "push 0 r:1 \"getUTCFullYear\"; callmethod; trace; push 0 r:1 \"getUTCMonth\"; callmethod; trace; "
                      "push 0 r:1 \"getUTCDate\"; callmethod; trace; push 0 r:1 \"getUTCDay\"; callmethod; trace; "
                      "push 0 r:1 \"getUTCHours\"; callmethod; trace; push 0 r:1 \"getUTCMinutes\"; callmethod; trace; "
                      "push 0 r:1 \"getUTCSeconds\"; callmethod; trace").ok);
    const std::string expected = std::to_string(tm.tm_year + 1900) + "|" + std::to_string(tm.tm_mon) + "|" +
                                 std::to_string(tm.tm_mday) + "|" + std::to_string(tm.tm_wday) + "|" +
                                 std::to_string(tm.tm_hour) + "|" + std::to_string(tm.tm_min) + "|" +
                                 std::to_string(tm.tm_sec);
    ASSERT_EQ(r.host.joined_traces(), expected) << seconds;
    r.host.traces.clear();
    ASSERT_TRUE(r.run("push " + std::to_string(tm.tm_sec) + " " + std::to_string(tm.tm_min) + " " +
                      std::to_string(tm.tm_hour) + " " + std::to_string(tm.tm_mday) + " " + std::to_string(tm.tm_mon) +
                      " " + std::to_string(tm.tm_year + 1900) + " 6 \"Date\"; getvariable; push \"UTC\"; callmethod; trace")
                    .ok);
    // Years 0..99 mean 1900..1999 to Date.UTC, as in the format.
    if (tm.tm_year + 1900 < 0 || tm.tm_year + 1900 > 99) {
      ASSERT_EQ(r.host.joined_traces(), ms) << seconds;
    }
  }
}

}  // namespace
