#pragma once
// The tool menu file, made from the template shipped beside the installer by putting the
// install folder in place of each "xxxxx".

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "setup/env/locations.h"
#include "setup/platform/file_system.h"
#include "setup/platform/system.h"

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

// The menu file's bytes, from a template that comes in pieces cut anywhere (inside a line, a
// CR LF, a placeholder or a character): each template line (ended by CR LF, by a lone CR, or by
// the end of the file) with its placeholders replaced, followed by CR LF. A placeholder counts
// where it starts on a character boundary of the line (in the ANSI code page), left to right;
// inserted text is not searched again. Every other byte is kept as it is, invalid sequences
// included. Between pieces it keeps only the bytes the next piece could still change, at most a
// lead byte and a placeholder's possible start, so time and memory stay linear in the template
// for any line.
class ToolMenuBuilder {
 public:
  // `replacement` and `code_page` must outlive the builder.
  ToolMenuBuilder(std::string_view replacement, const CodePage& code_page);

  // Takes the template's next bytes and appends to `menu` the menu bytes they settle. The caller
  // may empty `menu` between calls.
  void Add(std::string_view template_bytes, std::string& menu);
  // After the last Add: appends the rest of the menu.
  void Finish(std::string& menu);

 private:
  std::size_t Consume(std::string_view text, bool at_end, std::string& menu);

  std::string_view replacement_;
  const CodePage& code_page_;
  std::string held_;        // template bytes not settled yet, starting on a character boundary
  bool line_open_ = false;  // bytes of an unended line have been taken
  bool skip_lf_ = false;    // the last bytes ended with a CR, so an LF next belongs to it
};

// How menu generation ended: with the menu file in place, or with the reason the install must
// stop (one of the reasons above).
struct MenuOutcome {
  std::string_view abort_reason;  // empty when the menu file is in place
};

// Reads the template while writing the menu from it under the temporary name (a leftover of a
// killed run is removed first), calls `pause`, then puts the menu file in place in the source
// folder, replacing an older one, all with the source folder held. Nothing of the menu is left
// when it fails.
MenuOutcome GenerateToolMenu(FileSystem& files, const CodePage& code_page,
                             const InstallLocations& locations, const std::function<void()>& pause);

}  // namespace setup
