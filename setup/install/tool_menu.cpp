#include "setup/install/tool_menu.h"

#include <memory>

#include "setup/install/install_run.h"

namespace setup {

namespace {

// True when `at` starts a character of the line, given that `boundary` (not after `at`) does.
// A byte that is no lead byte always ends a character, so only the lead bytes right before `at`
// count: `at` starts a character when they pair up evenly. Looking back no further than
// `boundary` keeps the whole line's checks linear.
bool StartsCharacter(std::string_view line, std::size_t boundary, std::size_t at,
                     const CodePage& code_page) {
  std::size_t leads = 0;
  while (at - leads > boundary &&
         code_page.IsLeadByte(static_cast<unsigned char>(line[at - leads - 1]))) {
    ++leads;
  }
  return leads % 2 == 0;
}

// Appends rather than returns, so that a long line is not copied once more into the menu. The
// bytes between placeholders go over in one piece: asking the code page about every byte made
// a large menu many times slower than copying its template.
void AppendReplaced(std::string& out, std::string_view line, std::string_view replacement,
                    const CodePage& code_page, std::vector<std::size_t>* inserted_at) {
  std::size_t copied = 0;    // line[0, copied) is in `out`
  std::size_t boundary = 0;  // a known character start, not before `copied`
  for (std::size_t at = line.find(kPlaceholder); at != std::string_view::npos;
       at = line.find(kPlaceholder, boundary)) {
    // A trail byte may be an "x": only a placeholder that starts a character counts.
    if (!StartsCharacter(line, boundary, at, code_page)) {
      boundary = at + 1;  // the lead byte before `at` took it as its trail byte
      continue;
    }
    out.append(line.substr(copied, at - copied));
    if (inserted_at != nullptr) inserted_at->push_back(out.size());
    out += replacement;
    copied = boundary = at + kPlaceholder.size();
  }
  out.append(line.substr(copied));
}

std::string Build(std::string_view template_bytes, std::string_view replacement,
                  const CodePage& code_page, std::vector<std::size_t>* inserted_at) {
  std::string menu;
  menu.reserve(template_bytes.size() + template_bytes.size() / 8);
  std::size_t pos = 0;
  // CR and LF are never trail bytes, so splitting on them cannot cut a character.
  while (pos < template_bytes.size()) {
    const std::size_t cr = template_bytes.find('\r', pos);
    const std::size_t end = cr == std::string_view::npos ? template_bytes.size() : cr;
    AppendReplaced(menu, template_bytes.substr(pos, end - pos), replacement, code_page,
                   inserted_at);
    menu += "\r\n";
    if (cr == std::string_view::npos) break;
    pos = cr + 1;
    if (pos < template_bytes.size() && template_bytes[pos] == '\n') ++pos;
  }
  return menu;
}

}  // namespace

std::string ReplacePlaceholder(std::string_view line, std::string_view replacement,
                               const CodePage& code_page) {
  std::string out;
  out.reserve(line.size());
  AppendReplaced(out, line, replacement, code_page, nullptr);
  return out;
}

std::string BuildToolMenu(std::string_view template_bytes, std::string_view replacement,
                          const CodePage& code_page) {
  return Build(template_bytes, replacement, code_page, nullptr);
}

std::string BuildToolMenu(std::string_view template_bytes, std::string_view replacement,
                          const CodePage& code_page, std::vector<std::size_t>& inserted_at) {
  inserted_at.clear();
  return Build(template_bytes, replacement, code_page, &inserted_at);
}

bool GenerateToolMenu(Program& program) {
  const Platform& platform = program.platform();
  FileSystem& files = platform.files;
  const CodePage& code_page = platform.system.AnsiCodePage();
  const InstallLocations& locations = program.locations();

  const std::string template_path = InFolder(locations.SourceDir, kTemplateName);
  std::string template_bytes;
  {
    std::unique_ptr<ReadableFile> file;
    if (const Status opened = files.OpenForReading(template_path, file); !opened.ok()) {
      // A template that is there but locked or refused is not missing.
      AbortSetup(program, opened.code() == StatusCode::kNotFound ? kNoTemplateReason
                                                                 : kUnreadableTemplateReason);
      return false;
    }
    // Writing what was read before an error would install a truncated menu.
    if (!file->ReadAll(template_bytes).ok()) {
      AbortSetup(program, kUnreadableTemplateReason);
      return false;
    }
  }
  std::string replacement;
  const bool encodable = code_page.FromUtf8(locations.InstallDirSlash + "/", replacement).ok();
  const std::string menu = BuildToolMenu(template_bytes, replacement, code_page);

  platform.system.Sleep(1000);

  const std::string temp_path = InFolder(locations.SourceDir, kMenuTempName);
  const std::string menu_path = InFolder(locations.SourceDir, kMenuFileName);
  if (!encodable || !files.WriteWhole(temp_path, menu).ok() ||
      !files.Replace(temp_path, menu_path).ok()) {
    (void)files.Remove(temp_path);
    AbortSetup(program, kUnwritableMenuReason);
    return false;
  }
  return true;
}

}  // namespace setup
