#include "setup/install/tool_menu.h"

#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "setup/install/placement.h"

namespace setup {

namespace {

// Reading and writing this much at a time keeps generation's memory flat whatever the
// template's size, and the calls few.
constexpr std::size_t kChunkSize = std::size_t{1} << 20;

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

}  // namespace

ToolMenuBuilder::ToolMenuBuilder(std::string_view replacement, const CodePage& code_page)
    : replacement_(replacement), code_page_(code_page) {}

// Settles what it can of `text`, which continues the template right after the bytes already
// settled, and returns where the bytes it holds back start. A CR LF goes over with the bytes
// around it, so that a run of lines without placeholders is appended in one piece.
std::size_t ToolMenuBuilder::Consume(std::string_view text, bool at_end, std::string& menu) {
  constexpr std::size_t npos = std::string_view::npos;
  std::size_t start = 0;
  if (skip_lf_ && !text.empty()) {
    skip_lf_ = false;
    if (text[0] == '\n') start = 1;
  }
  std::size_t copied = start;    // text[0, copied) is settled
  std::size_t line = start;      // where the line in progress starts, or 0 if before `text`
  std::size_t boundary = start;  // a known character start in that line, not before `copied`
  std::size_t cr = text.find('\r', start);
  std::size_t at = text.find(kPlaceholder, start);  // the next candidate, in any line
  for (;;) {
    if (at < cr) {  // a candidate in the line in progress (npos compares greatest)
      // A trail byte may be an "x": only a placeholder that starts a character counts.
      if (StartsCharacter(text, boundary, at, code_page_)) {
        menu.append(text.substr(copied, at - copied));
        menu += replacement_;
        copied = boundary = at + kPlaceholder.size();
      } else {
        boundary = at + 1;  // the lead byte before `at` took it as its trail byte
      }
      at = text.find(kPlaceholder, boundary);
      continue;
    }
    if (cr == npos) break;
    // CR and LF are never trail bytes, so ending lines at them cannot cut a character.
    std::size_t next = cr + 1;
    if (next < text.size() && text[next] == '\n') {
      ++next;  // CR LF stays as it is
    } else {
      menu.append(text.substr(copied, cr - copied));
      menu += "\r\n";
      copied = next;
      skip_lf_ = next == text.size();  // the LF may come with the next bytes
    }
    line_open_ = false;
    line = boundary = next;
    cr = text.find('\r', next);
  }
  if (text.size() > line) line_open_ = true;

  std::size_t hold = text.size();
  if (!at_end) {
    // The last bytes may start a placeholder that the next ones end, and whether it starts a
    // character depends on the lead bytes before it: an odd one out is held back with it.
    // (A byte that is no lead byte always ends a character.)
    std::size_t xs = 0;
    while (xs + 1 < kPlaceholder.size() && hold - xs > boundary && text[hold - xs - 1] == 'x') {
      ++xs;
    }
    hold -= xs;
    std::size_t leads = hold;
    while (leads > boundary && code_page_.IsLeadByte(static_cast<unsigned char>(text[leads - 1]))) {
      --leads;
    }
    // The run of lead bytes starts a character, so it pairs off from its start: whole pairs
    // are settled now, and a line of nothing but lead bytes is never held whole.
    hold = leads + (hold - leads) / 2 * 2;
  }
  menu.append(text.substr(copied, hold - copied));
  return hold;
}

void ToolMenuBuilder::Add(std::string_view template_bytes, std::string& menu) {
  if (!held_.empty() && !template_bytes.empty()) {
    // The held bytes go first, joined by the rest of their line (or all of this piece, when the
    // line goes on): lines that do not span pieces are read where they are, never copied.
    const std::size_t cr = template_bytes.find('\r');
    const std::size_t joined = cr == std::string_view::npos ? template_bytes.size() : cr + 1;
    held_.append(template_bytes.substr(0, joined));
    template_bytes.remove_prefix(joined);
    held_.erase(0, Consume(held_, false, menu));
  }
  if (!template_bytes.empty())
    held_.assign(template_bytes.substr(Consume(template_bytes, false, menu)));
}

void ToolMenuBuilder::Finish(std::string& menu) {
  if (!held_.empty()) Consume(held_, true, menu);
  held_.clear();
  if (line_open_) menu += "\r\n";
  line_open_ = false;
}

MenuOutcome GenerateToolMenu(FileSystem& files, const CodePage& code_page,
                             const InstallLocations& locations,
                             const std::function<void()>& pause) {
  // Held, the source folder cannot be swapped for a link to somewhere else while the template
  // is read from it and the menu written there.
  std::unique_ptr<FolderHold> hold;
  if (!files.HoldFolder(locations.SourceDir, hold).ok()) return {kUnwritableMenuReason};
  const std::string temporary = InFolder(locations.SourceDir, kMenuTempName);
  // A killed run's leftover would otherwise stop the menu being made.
  (void)RemoveFile(files, temporary);

  std::unique_ptr<ReadableFile> file;
  if (const Status opened =
          files.OpenForReading(InFolder(locations.SourceDir, kTemplateName), file);
      !opened.ok()) {
    // A template that is there but locked or refused is not missing.
    return {opened.code() == StatusCode::kNotFound ? kNoTemplateReason : kUnreadableTemplateReason};
  }
  std::string replacement;
  bool writable = code_page.FromUtf8(locations.InstallDirSlash + "/", replacement).ok();
  ToolMenuBuilder builder(replacement, code_page);
  // Only a new file: whatever stands at the name now (a link planted since the leftover was
  // removed) is neither written through nor removed.
  TemporaryFile menu_file(files, temporary);
  const auto chunk = std::make_unique_for_overwrite<char[]>(kChunkSize);
  std::string menu;
  menu.reserve(2 * kChunkSize);
  for (bool first = true;; first = false) {
    std::size_t got = 0;
    if (!file->Read(std::span<char>(chunk.get(), kChunkSize), got).ok()) {
      // Whatever was written would be a truncated menu.
      return {kUnreadableTemplateReason};
    }
    // Not before: an unreadable template must leave nothing behind and be reported as such.
    if (first && writable) writable = menu_file.Create().ok();
    if (got == 0) break;
    // Once writing has failed the template is still read to its end, since a template that
    // cannot be read is the failure to report.
    if (!writable) continue;
    builder.Add(std::string_view(chunk.get(), got), menu);
    if (menu.size() >= kChunkSize) {
      writable = menu_file.Append(menu).ok();
      menu.clear();
    }
  }
  file.reset();
  if (writable) {
    builder.Finish(menu);
    writable = menu_file.Append(menu).ok();
  }

  pause();

  if (!writable ||
      !menu_file.PutInPlace(InFolder(locations.SourceDir, kMenuFileName), /*replace=*/true).ok()) {
    return {kUnwritableMenuReason};
  }
  return {};
}

}  // namespace setup
