#pragma once
// The tool menu file, made from the template shipped beside the installer by putting the
// install folder in place of each "xxxxx".

#include <string>
#include <string_view>
#include <vector>

#include "setup/platform/system.h"
#include "setup/screens/program.h"

namespace setup {

inline constexpr std::string_view kTemplateName = "org_TOOL";
inline constexpr std::string_view kMenuFileName = "TessaradyneTOOL.mns";
// Written first and renamed over the menu file, so that the menu file appears whole or not at
// all. Its ending is none of the deployed kinds, so a leftover is never installed.
inline constexpr std::string_view kMenuTempName = "TessaradyneTOOL.tmp";
inline constexpr std::string_view kPlaceholder = "xxxxx";

inline constexpr std::string_view kNoTemplateReason = "ツールメニューファイルがありません!!  ";
inline constexpr std::string_view kUnreadableTemplateReason =
    "ツールメニューファイルを読み込めません!!  ";
inline constexpr std::string_view kUnwritableMenuReason =
    "ツールメニューファイルへの書き込みができません!!  ";

// One line's bytes (in the ANSI code page, without its line end) with every placeholder that
// starts on a character boundary replaced, left to right; inserted text is not searched again.
// Every other byte is kept as it is, invalid sequences included.
std::string ReplacePlaceholder(std::string_view line, std::string_view replacement,
                               const CodePage& code_page);

// The menu file's bytes: each template line (ended by CR LF, by a lone CR, or by the end of the
// file) with its placeholders replaced, followed by CR LF.
std::string BuildToolMenu(std::string_view template_bytes, std::string_view replacement,
                          const CodePage& code_page);
// The same, also giving the offset in the result of each inserted replacement, ascending.
std::string BuildToolMenu(std::string_view template_bytes, std::string_view replacement,
                          const CodePage& code_page, std::vector<std::size_t>& inserted_at);

// Reads the template, pauses, writes the menu file into the source folder. Returns false when
// it has ended the program through the abort sequence.
[[nodiscard]] bool GenerateToolMenu(Program& program);

}  // namespace setup
