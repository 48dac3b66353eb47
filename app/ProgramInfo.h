#pragma once

// The program's name as the desktop shows it (the main window's caption, the
// window class, the title of the standard error report), its version and the
// sizes its icon is carried in. The version and the sizes come from the build.
namespace ProgramInfo {
inline constexpr char Title[] = "SCALIPER (Measuring Tape)";
inline constexpr char Version[] = SCALIPER_VERSION;
inline constexpr int IconSizes[] = {SCALIPER_ICON_SIZES};
}  // namespace ProgramInfo
