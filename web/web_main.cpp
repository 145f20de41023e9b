// The entry points the page's worker calls (web/worker.js): the builder core
// (builder_core.h) behind a C interface of pointers and sizes. One build at a
// time; its request and result live here between the calls.
#include <emscripten.h>

#include <cstdio>
#include <string>

#include "builder_core.h"

namespace {

ssbuild::CoreRequest& Request() {
  static ssbuild::CoreRequest request;
  return request;
}

ssbuild::CoreResult& Result() {
  static ssbuild::CoreResult result;
  return result;
}

std::string& Text() {
  static std::string text;
  return text;
}

ssbuild::Bytes& Carried() {
  static ssbuild::Bytes bytes;
  return bytes;
}

// JSON string contents: the messages are ANSI-free UTF-8 text.
std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      out += buf;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

const char* KindWord(ssbuild::CoreMessage::Kind kind) {
  switch (kind) {
    case ssbuild::CoreMessage::Kind::kError:
      return "error";
    case ssbuild::CoreMessage::Kind::kWarning:
      return "warning";
    default:
      return "note";
  }
}

}  // namespace

// Reports progress to the worker's script, which passes it on to the page.
EM_JS(void, ssb_progress_js, (const char* stage, double done, double total), {
  if (Module.onProgress) Module.onProgress(UTF8ToString(stage), done, total);
});

// The worker sets room aside for the installer's file (web/worker.js).
EM_JS(void, ssb_reserve_js, (const char* path, double most), {
  if (Module.reserveFile) Module.reserveFile(UTF8ToString(path), most);
});

extern "C" {

EMSCRIPTEN_KEEPALIVE void ssb_reset(const char* projectText) {
  Request() = ssbuild::CoreRequest{};
  Request().projectText = projectText;
  Request().leaveInstallerFile = true;
  Request().reserveInstaller = [](const std::string& path, uint64_t most) {
    ssb_reserve_js(path.c_str(), static_cast<double>(most));
  };
  Result() = ssbuild::CoreResult{};
}

// Room for a file's bytes, which the caller copies in: one copy in memory.
EMSCRIPTEN_KEEPALIVE uint8_t* ssb_add_file(const char* name, uint32_t size) {
  Request().files.push_back({name, ssbuild::Bytes(size)});
  ssbuild::Bytes& bytes = Request().files.back().bytes;
  return bytes.empty() ? nullptr : bytes.data();
}

EMSCRIPTEN_KEEPALIVE int ssb_build() {
  ssbuild::BuildFromMemory(
      Request(), Result(), [](const std::string& stage, uint64_t done, uint64_t total) {
        ssb_progress_js(stage.c_str(), static_cast<double>(done), static_cast<double>(total));
      });
  Request() = ssbuild::CoreRequest{};
  return Result().ok ? 1 : 0;
}

// The installer's file in the worker's in-memory file system, which the
// worker takes over (its bytes are never copied into the WebAssembly memory).
EMSCRIPTEN_KEEPALIVE const char* ssb_installer_path() { return Result().installerPath.c_str(); }
EMSCRIPTEN_KEEPALIVE const char* ssb_output_name() { return Result().outputName.c_str(); }

// [{"kind":"error","field":"name","text":"..."}, ...]
EMSCRIPTEN_KEEPALIVE const char* ssb_messages() {
  std::string& out = Text();
  out = "[";
  for (const ssbuild::CoreMessage& m : Result().messages) {
    if (out.size() > 1) out += ",";
    out += "{\"kind\":\"" + std::string(KindWord(m.kind)) + "\",\"field\":" + Quoted(m.field) +
           ",\"text\":" + Quoted(m.text) + "}";
  }
  out += "]";
  return out.c_str();
}

EMSCRIPTEN_KEEPALIVE const uint8_t* ssb_carried(const char* name) {
  Carried() = ssbuild::CarriedFile(name);
  return Carried().data();
}
EMSCRIPTEN_KEEPALIVE uint32_t ssb_carried_size() { return static_cast<uint32_t>(Carried().size()); }

}  // extern "C"
