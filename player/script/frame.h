// The running state of one block of actions; private to the interpreter's files.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "interpreter.h"

namespace player::script {

// A With or Try block open in a frame.
struct Interpreter::Block {
  bool is_try = false;
  std::size_t start = 0, end = 0;  // With: its body; Try: the try body
  std::size_t catch_end = 0, finally_end = 0;
  bool has_catch = false, has_finally = false, catch_in_register = false;
  std::uint8_t catch_register = 0;
  std::string catch_name;
  int stage = 0;  // 0 try, 1 catch, 2 finally
  bool rethrow = false;
  Value pending;
  Object* with = nullptr;
};

// One running block of actions: a frame script or a function's body.
struct Interpreter::Frame {
  const std::uint8_t* code = nullptr;
  std::size_t size = 0;
  std::size_t pc = 0;
  std::shared_ptr<const std::vector<std::string>> pool;
  std::vector<Object*> scope;  // outermost first; the last holds locals
  Object* locals = nullptr;
  Value self;
  ClipId original_target = kNoClip;
  ClipId target = kNoClip;
  std::vector<Value> registers = std::vector<Value>(4);
  std::vector<Block> blocks;
  std::size_t stack_base = 0;
  Value result;
  bool returned = false;
  Object* callee = nullptr;
  Object* super_proto = nullptr;
  int version = 0;
};

}  // namespace player::script
