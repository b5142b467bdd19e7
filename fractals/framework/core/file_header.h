#pragma once
// The header at the start of every fractals document and palette file.
#include "archive.h"

namespace fractals {

inline constexpr const char* kProductText = "Kaleidra";
inline constexpr const char* kWindowTitle = "Kaleidra 98";
inline constexpr const char* kAuthorText = "Merrowin";
inline constexpr const char* kMakerText = "Calvetra";
inline constexpr std::int32_t kFileMagic = 41000;
inline constexpr std::int32_t kFileVersion[4] = {7, 0, 0, 0};
// Version of the program itself, shown in the splash window and the about box.
inline constexpr int kProgramVersion[4] = {7, 0, 4, 16};
// Readers ignore the notice line, so its wording is ours.
inline constexpr const char* kNoticeText =
    "Copyright \xC2\xA9 Calvetra. Free to use, copy and share.";

// Writes the header (returns 0) or reads and checks it (returns the file's first version
// number). A header of another product, magic, author or maker throws cause badIndex.
int ReadWriteFileHeader(Archive& ar);

} // namespace fractals
