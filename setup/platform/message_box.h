#pragma once
// The platform's modal message box. Flag and answer values are the Win32 ones, so that the
// Windows layer passes them through unchanged.

#include <string_view>

namespace setup {

inline constexpr unsigned kMbOk = 0;
inline constexpr unsigned kMbYesNo = 4;
inline constexpr unsigned kMbIconError = 16;
inline constexpr unsigned kMbIconWarning = 48;
inline constexpr unsigned kMbIconInformation = 64;

inline constexpr int kIdOk = 1;
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;

class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  // Shows the box modal to the active screen and returns the button pressed; 0 when the box
  // could not be shown. Window messages keep running while it is open.
  virtual int Ask(std::string_view text, std::string_view title, unsigned flags) = 0;
};

}  // namespace setup
