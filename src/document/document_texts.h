#pragma once

namespace velmora {

// Texts the document shows in the status bar and the title.
inline constexpr char kStatusReadyText[] = "准备就绪";
inline constexpr char kStatusProcessingText[] = "正在处理";
inline constexpr char kStatusStoppedText[] = "停止";
inline constexpr char kUntitledText[] = "未命名";
// Shown while a picture is being written.
inline constexpr char kStatusSavingText[] = "正在保存图像…";
// The framework's own message when a file cannot be opened at all.
inline constexpr char kCannotOpenDocumentText[] = "打开文档失败。";
// When there is no memory for the copy of the picture a fill would work on, or for the fill.
inline constexpr char kNoMemoryForFillText[] = "内存不足，无法擦除。";
// Told once after opening a palette picture, which is filled in full colour.
inline constexpr char kPaletteConvertedText[] =
    "此图像使用调色板，已转换为全彩色，以便擦除后保持原有颜色。";

// Asked before a save would replace a file of several pages or frames with its first one.
inline constexpr char kSaveOverPagesText[] =
    "原文件含有多页或多帧图像，保存后只保留第一页（帧）。仍要覆盖原文件吗？";

}  // namespace velmora
