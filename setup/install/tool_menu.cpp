#include "setup/install/tool_menu.h"

#include <memory>

#include "setup/install/install_run.h"

namespace setup {

namespace {

// Appends rather than returns, so that a long line is not copied once more into the menu.
void AppendReplaced(std::string& out, std::string_view line, std::string_view replacement,
                    const CodePage& code_page, std::vector<std::size_t>* inserted_at) {
  std::size_t i = 0;
  while (i < line.size()) {
    if (line.substr(i, kPlaceholder.size()) == kPlaceholder) {
      if (inserted_at != nullptr) inserted_at->push_back(out.size());
      out += replacement;
      i += kPlaceholder.size();
      continue;
    }
    // A trail byte may be an "x": stepping over whole characters keeps the match on boundaries.
    const bool pair =
        code_page.IsLeadByte(static_cast<unsigned char>(line[i])) && i + 1 < line.size();
    const std::size_t step = pair ? 2 : 1;
    out.append(line.substr(i, step));
    i += step;
  }
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
