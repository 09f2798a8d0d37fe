// Conversions between the system's GBK texts and the wide texts of the W functions.
// Code page 936 is named explicitly, so the window shows Chinese right on any locale.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace tessor::ui {

std::wstring Wide(std::string_view gbk);
std::string Gbk(std::wstring_view wide);
// A file path as the system's GBK text.
std::string GbkPath(const std::filesystem::path& path);

}  // namespace tessor::ui
