// A small assembler for ActionScript bytecode, so that test cases read as
// code rather than as bytes. One instruction a line (or ';' between them):
//   push "text", 12, 1.5, true, null, undefined, r:2, c:0
//   constants "a" "b"           jump L / if L / L:
//   function name a b { ... }   function2 name regs=4 flags=0x1 a:1 b:0 { ... }
//   with { ... }                try e { ... } catch { ... } finally { ... }  (try r:1 { ...)
//   store 1  gotoframe 2  gotolabel "x"  settarget "p"  geturl "u" "t"  geturl2 0
//   gotoframe2 1                raw 96 02 00 ...   and every payload-free action by name.
#pragma once

#include <cstdint>
#include <cstring>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace script_test {

class Assembler {
 public:
  static std::vector<std::uint8_t> assemble(const std::string& source) {
    Assembler a(source);
    std::vector<std::uint8_t> out = a.block();
    if (a.pos_ < a.tokens_.size()) throw std::runtime_error("unbalanced '}'");
    return out;
  }

 private:
  explicit Assembler(const std::string& source) { tokenize(source); }

  void tokenize(const std::string& s) {
    std::size_t i = 0;
    while (i < s.size()) {
      const char c = s[i];
      if (c == '\n' || c == ';') {
        tokens_.push_back(";");
        ++i;
      } else if (c == ' ' || c == '\t' || c == ',' || c == '\r') {
        ++i;
      } else if (c == '{' || c == '}') {
        tokens_.push_back(std::string(1, c));
        tokens_.push_back(";");
        ++i;
      } else if (c == '"') {
        std::string t = "\"";
        ++i;
        while (i < s.size() && s[i] != '"') {
          if (s[i] == '\\' && i + 1 < s.size()) {
            ++i;
            if (s[i] == 'x' && i + 2 < s.size()) {
              t += static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16));
              i += 2;
            } else {
              t += s[i] == 'n' ? '\n' : s[i] == '0' ? '\0' : s[i];
            }
          } else {
            t += s[i];
          }
          ++i;
        }
        ++i;
        tokens_.push_back(t);
      } else {
        std::string t;
        while (i < s.size() && !std::strchr(" \t\r\n,;{}\"", s[i])) t += s[i++];
        tokens_.push_back(t);
      }
    }
  }

  bool more_on_line() const { return pos_ < tokens_.size() && tokens_[pos_] != ";" && tokens_[pos_] != "{" && tokens_[pos_] != "}"; }
  std::string next() { return pos_ < tokens_.size() ? tokens_[pos_++] : std::string(); }
  void expect(const std::string& t) {
    while (pos_ < tokens_.size() && tokens_[pos_] == ";") ++pos_;
    if (next() != t) throw std::runtime_error("expected " + t);
  }

  static void u16(std::vector<std::uint8_t>& b, std::size_t v) {
    b.push_back(static_cast<std::uint8_t>(v & 0xFF));
    b.push_back(static_cast<std::uint8_t>(v >> 8 & 0xFF));
  }
  static void str(std::vector<std::uint8_t>& b, const std::string& s) {
    b.insert(b.end(), s.begin(), s.end());
    b.push_back(0);
  }
  static std::string unquote(const std::string& t) { return t.empty() || t[0] != '"' ? t : t.substr(1); }
  static void action(std::vector<std::uint8_t>& out, std::uint8_t code, const std::vector<std::uint8_t>& payload) {
    out.push_back(code);
    u16(out, payload.size());
    out.insert(out.end(), payload.begin(), payload.end());
  }

  static std::vector<std::uint8_t> push_item(const std::string& t) {
    std::vector<std::uint8_t> p;
    if (t[0] == '"') {
      p.push_back(0);
      str(p, t.substr(1));
    } else if (t == "null") {
      p.push_back(2);
    } else if (t == "undefined") {
      p.push_back(3);
    } else if (t.rfind("r:", 0) == 0) {
      p = {4, static_cast<std::uint8_t>(std::stoi(t.substr(2)))};
    } else if (t == "true" || t == "false") {
      p = {5, static_cast<std::uint8_t>(t == "true")};
    } else if (t.rfind("c:", 0) == 0) {
      const int i = std::stoi(t.substr(2));
      if (i < 256) p = {8, static_cast<std::uint8_t>(i)};
      else p = {9, static_cast<std::uint8_t>(i & 0xFF), static_cast<std::uint8_t>(i >> 8)};
    } else {
      const double d = std::stod(t);
      if (d >= -2147483648.0 && d <= 2147483647.0 && t.find('.') == std::string::npos &&
          t.find('e') == std::string::npos) {
        const auto v = static_cast<std::uint32_t>(static_cast<std::int32_t>(d));
        p = {7, static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v >> 16),
             static_cast<std::uint8_t>(v >> 24)};
      } else {
        std::uint64_t bits;
        std::memcpy(&bits, &d, 8);
        p.push_back(6);
        for (int shift : {32, 40, 48, 56, 0, 8, 16, 24}) p.push_back(static_cast<std::uint8_t>(bits >> shift));
      }
    }
    return p;
  }

  // Bytes of a block up to its closing '}' (or the end), labels resolved.
  std::vector<std::uint8_t> block() {
    std::vector<std::uint8_t> out;
    std::map<std::string, std::size_t> labels;
    std::vector<std::pair<std::size_t, std::string>> fixups;  // offset field position, label
    static const std::map<std::string, std::uint8_t> simple = {
        {"nextframe", 0x04}, {"prevframe", 0x05}, {"play", 0x06}, {"stop", 0x07}, {"togglequality", 0x08},
        {"stopsounds", 0x09}, {"add", 0x0A}, {"subtract", 0x0B}, {"multiply", 0x0C}, {"divide", 0x0D},
        {"equals", 0x0E}, {"less", 0x0F}, {"and", 0x10}, {"or", 0x11}, {"not", 0x12}, {"stringequals", 0x13},
        {"stringlength", 0x14}, {"stringextract", 0x15}, {"pop", 0x17}, {"tointeger", 0x18},
        {"getvariable", 0x1C}, {"setvariable", 0x1D}, {"settarget2", 0x20}, {"stringadd", 0x21},
        {"getproperty", 0x22}, {"setproperty", 0x23}, {"clonesprite", 0x24}, {"removesprite", 0x25},
        {"trace", 0x26}, {"startdrag", 0x27}, {"enddrag", 0x28}, {"stringless", 0x29}, {"throw", 0x2A},
        {"castop", 0x2B}, {"implementsop", 0x2C}, {"random", 0x30}, {"mbstringlength", 0x31},
        {"chartoascii", 0x32}, {"asciitochar", 0x33}, {"gettime", 0x34}, {"mbstringextract", 0x35},
        {"mbchartoascii", 0x36}, {"mbasciitochar", 0x37}, {"delete", 0x3A}, {"delete2", 0x3B},
        {"definelocal", 0x3C}, {"callfunction", 0x3D}, {"return", 0x3E}, {"modulo", 0x3F},
        {"newobject", 0x40}, {"definelocal2", 0x41}, {"initarray", 0x42}, {"initobject", 0x43},
        {"typeof", 0x44}, {"targetpath", 0x45}, {"enumerate", 0x46}, {"add2", 0x47}, {"less2", 0x48},
        {"equals2", 0x49}, {"tonumber", 0x4A}, {"tostring", 0x4B}, {"dup", 0x4C}, {"swap", 0x4D},
        {"getmember", 0x4E}, {"setmember", 0x4F}, {"increment", 0x50}, {"decrement", 0x51},
        {"callmethod", 0x52}, {"newmethod", 0x53}, {"instanceof", 0x54}, {"enumerate2", 0x55},
        {"bitand", 0x60}, {"bitor", 0x61}, {"bitxor", 0x62}, {"bitlshift", 0x63}, {"bitrshift", 0x64},
        {"biturshift", 0x65}, {"strictequals", 0x66}, {"greater", 0x67}, {"stringgreater", 0x68},
        {"extends", 0x69}, {"end", 0x00}};
    while (pos_ < tokens_.size()) {
      std::string op = next();
      if (op == ";") continue;
      if (op == "}") {
        --pos_;
        break;
      }
      if (op.back() == ':' && op[0] != '"') {
        labels[op.substr(0, op.size() - 1)] = out.size();
        continue;
      }
      std::string lower = op;
      for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      std::vector<std::uint8_t> p;
      if (simple.count(lower)) {
        out.push_back(simple.at(lower));
      } else if (lower == "push") {
        while (more_on_line()) {
          const auto item = push_item(next());
          p.insert(p.end(), item.begin(), item.end());
        }
        action(out, 0x96, p);
      } else if (lower == "constants") {
        std::vector<std::string> items;
        while (more_on_line()) items.push_back(unquote(next()));
        u16(p, items.size());
        for (auto& s : items) str(p, s);
        action(out, 0x88, p);
      } else if (lower == "jump" || lower == "if") {
        out.push_back(lower == "jump" ? 0x99 : 0x9D);
        u16(out, 2);
        fixups.emplace_back(out.size(), next());
        u16(out, 0);
      } else if (lower == "store") {
        action(out, 0x87, {static_cast<std::uint8_t>(std::stoi(next()))});
      } else if (lower == "gotoframe") {
        u16(p, static_cast<std::size_t>(std::stoi(next())));
        action(out, 0x81, p);
      } else if (lower == "gotoframe2") {
        action(out, 0x9F, {static_cast<std::uint8_t>(std::stoi(next()))});
      } else if (lower == "geturl2") {
        action(out, 0x9A, {static_cast<std::uint8_t>(std::stoi(next()))});
      } else if (lower == "gotolabel" || lower == "settarget") {
        str(p, unquote(next()));
        action(out, lower == "gotolabel" ? 0x8C : 0x8B, p);
      } else if (lower == "geturl") {
        str(p, unquote(next()));
        str(p, unquote(next()));
        action(out, 0x83, p);
      } else if (lower == "call") {
        action(out, 0x9E, {});
      } else if (lower == "raw") {
        while (more_on_line()) out.push_back(static_cast<std::uint8_t>(std::stoi(next(), nullptr, 16)));
      } else if (lower == "function" || lower == "function2") {
        const bool v2 = lower == "function2";
        std::string name = more_on_line() ? next() : "";
        if (name == "_") name.clear();
        std::size_t regs = 0, flags = 0;
        std::vector<std::pair<int, std::string>> params;
        while (more_on_line()) {
          const std::string t = next();
          if (t.rfind("regs=", 0) == 0) regs = std::stoul(t.substr(5));
          else if (t.rfind("flags=", 0) == 0) flags = std::stoul(t.substr(6), nullptr, 0);
          else if (t.find(':') != std::string::npos) params.emplace_back(std::stoi(t.substr(t.find(':') + 1)), t.substr(0, t.find(':')));
          else params.emplace_back(0, t);
        }
        expect("{");
        const std::vector<std::uint8_t> body = block();
        expect("}");
        str(p, name);
        u16(p, params.size());
        if (v2) {
          p.push_back(static_cast<std::uint8_t>(regs));
          u16(p, flags);
        }
        for (auto& [reg, pname] : params) {
          if (v2) p.push_back(static_cast<std::uint8_t>(reg));
          str(p, pname);
        }
        u16(p, body.size());
        action(out, v2 ? 0x8E : 0x9B, p);
        out.insert(out.end(), body.begin(), body.end());
      } else if (lower == "with") {
        expect("{");
        const std::vector<std::uint8_t> body = block();
        expect("}");
        u16(p, body.size());
        action(out, 0x94, p);
        out.insert(out.end(), body.begin(), body.end());
      } else if (lower == "try") {
        const std::string catch_name = next();
        expect("{");
        const std::vector<std::uint8_t> try_body = block();
        expect("}");
        std::vector<std::uint8_t> catch_body, finally_body;
        bool has_catch = false, has_finally = false;
        while (pos_ < tokens_.size() && tokens_[pos_] == ";") ++pos_;
        if (pos_ < tokens_.size() && tokens_[pos_] == "catch") {
          ++pos_;
          expect("{");
          catch_body = block();
          expect("}");
          has_catch = true;
          while (pos_ < tokens_.size() && tokens_[pos_] == ";") ++pos_;
        }
        if (pos_ < tokens_.size() && tokens_[pos_] == "finally") {
          ++pos_;
          expect("{");
          finally_body = block();
          expect("}");
          has_finally = true;
        }
        const bool in_register = catch_name.rfind("r:", 0) == 0;
        p.push_back(static_cast<std::uint8_t>((in_register ? 4 : 0) | (has_finally ? 2 : 0) | (has_catch ? 1 : 0)));
        u16(p, try_body.size());
        u16(p, catch_body.size());
        u16(p, finally_body.size());
        if (in_register) p.push_back(static_cast<std::uint8_t>(std::stoi(catch_name.substr(2))));
        else str(p, catch_name);
        action(out, 0x8F, p);
        out.insert(out.end(), try_body.begin(), try_body.end());
        out.insert(out.end(), catch_body.begin(), catch_body.end());
        out.insert(out.end(), finally_body.begin(), finally_body.end());
      } else {
        throw std::runtime_error("unknown instruction " + op);
      }
    }
    for (auto& [at, label] : fixups) {
      if (!labels.count(label)) throw std::runtime_error("no label " + label);
      const auto offset = static_cast<std::int64_t>(labels[label]) - static_cast<std::int64_t>(at + 2);
      const auto v = static_cast<std::uint16_t>(static_cast<std::int16_t>(offset));
      out[at] = static_cast<std::uint8_t>(v & 0xFF);
      out[at + 1] = static_cast<std::uint8_t>(v >> 8);
    }
    return out;
  }

  std::vector<std::string> tokens_;
  std::size_t pos_ = 0;
};

}  // namespace script_test
