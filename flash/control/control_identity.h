#pragma once
// The control's names in the registry and on disk, shared with flashax.exe.
namespace flashctl {

// In the system folder; a file of this name flashax.exe did not write is
// never replaced.
constexpr const char* kControlFileName = "ssiflash.ocx";
constexpr const char* kProgId = "ShockwaveFlash.ShockwaveFlash";
constexpr const char* kProgIdVersioned = "ShockwaveFlash.ShockwaveFlash.10";
constexpr const char* kDescription = "Shockwave Flash Object";
constexpr const char* kClsidText = "{D27CDB6E-AE6D-11CF-96B8-444553540000}";

}  // namespace flashctl
