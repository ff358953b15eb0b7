#include "common/ini.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>

#include "common/text.h"

namespace quirel {
namespace {

// The process's file mode mask (umask can only be read by setting it).
mode_t CurrentUmask() {
  static const mode_t mask = [] {
    const mode_t m = ::umask(022);
    ::umask(m);
    return m;
  }();
  return mask;
}

std::string Trim(const std::string& s) {
  const auto b = s.find_first_not_of(" \t\r");
  if (b == std::string::npos) return {};
  const auto e = s.find_last_not_of(" \t\r");
  return s.substr(b, e - b + 1);
}

// Lines as getline gives them: a last line without its line end counts, an
// empty tail does not.
std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t nl = std::min(text.find('\n', pos), text.size());
    std::string line(text.substr(pos, nl - pos));
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    pos = nl + 1;
  }
  return lines;
}

// A file that cannot be read reads as empty.
std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool IsSection(const std::string& line, std::string* name) {
  const std::string t = Trim(line);
  if (t.size() < 2 || t.front() != '[' || t.back() != ']') return false;
  if (name != nullptr) *name = Trim(t.substr(1, t.size() - 2));
  return true;
}

bool KeyOf(const std::string& line, std::string& key, std::string& value) {
  const auto eq = line.find('=');
  if (eq == std::string::npos) return false;
  key = Trim(line.substr(0, eq));
  value = Trim(line.substr(eq + 1));
  return true;
}

bool SameName(const std::string& a, const std::string& b) { return LowerAscii(a) == LowerAscii(b); }

}  // namespace

bool WriteFileAtomically(const std::string& path, const std::string& bytes) {
  // A name of its own, so that two programs writing the same file at once
  // never write into one temporary file.
  std::string temp = path + ".XXXXXX";
  const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = ::fchmod(fd, 0644 & ~CurrentUmask()) == 0;
  for (std::size_t done = 0; ok && done < bytes.size();) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) done += static_cast<std::size_t>(n);
  }
  ok = ::close(fd) == 0 && ok;
  if (!ok || std::rename(temp.c_str(), path.c_str()) != 0) {
    std::remove(temp.c_str());
    return false;
  }
  return true;
}

bool WriteIniValue(const std::string& path, const std::string& section, const std::string& key,
                   const std::string& value) {
  return WriteFileAtomically(path, SetIniValue(ReadText(path), section, key, value));
}

std::string SetIniValue(std::string_view text, const std::string& section, const std::string& key,
                        const std::string& value) {
  std::vector<std::string> lines = SplitLines(text);
  std::string current;
  bool inSection = false;
  bool sectionSeen = false;
  std::size_t insertAt = lines.size();
  for (std::size_t i = 0; i < lines.size(); ++i) {
    std::string name;
    if (IsSection(lines[i], &name)) {
      if (inSection) {
        // The key goes at the end of its own section, not of the file.
        insertAt = i;
        inSection = false;
        break;
      }
      inSection = SameName(name, section);
      sectionSeen = sectionSeen || inSection;
      continue;
    }
    std::string k, v;
    if (inSection && KeyOf(lines[i], k, v) && SameName(k, key)) {
      lines[i] = k + "=" + value;
      goto write;
    }
  }
  if (!sectionSeen) {
    lines.push_back("[" + section + "]");
    insertAt = lines.size();
  } else if (inSection) {
    insertAt = lines.size();
  }
  // Keep the new key next to the section's other keys, before blank lines.
  while (insertAt > 0 && Trim(lines[insertAt - 1]).empty() && !IsSection(lines[insertAt - 1], nullptr)) --insertAt;
  lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insertAt), key + "=" + value);
write:
  std::ostringstream out;
  for (const auto& line : lines) out << line << "\r\n";
  return out.str();
}

std::string ReadIniValue(const std::string& path, const std::string& section, const std::string& key,
                         const std::string& fallback) {
  return GetIniValue(ReadText(path), section, key, fallback);
}

std::string GetIniValue(std::string_view text, const std::string& section, const std::string& key,
                        const std::string& fallback) {
  bool inSection = false;
  for (const auto& line : SplitLines(text)) {
    std::string name;
    if (IsSection(line, &name)) {
      inSection = SameName(name, section);
      continue;
    }
    std::string k, v;
    if (inSection && KeyOf(line, k, v) && SameName(k, key)) return v;
  }
  return fallback;
}

}  // namespace quirel
