// Checks on written SVG text: element nesting, element counts and numbers.
#ifndef DORVE_TESTS_UNIT_SVG_TEST_SUPPORT_H_
#define DORVE_TESTS_UNIT_SVG_TEST_SUPPORT_H_

#include <string>
#include <vector>

// Empty when every start tag has its end tag in order, one root <svg>
// element, no stray '<' or '&' in text; otherwise what is wrong.
inline std::string svg_nesting_problem(const std::string& text) {
  std::vector<std::string> open;
  int roots = 0;
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] == '&') {
      const size_t semi = text.find(';', i);
      if (semi == std::string::npos || semi - i > 6) return "bare & at " + std::to_string(i);
      i = semi + 1;
      continue;
    }
    if (text[i] != '<') {
      i++;
      continue;
    }
    const size_t end = text.find('>', i);
    if (end == std::string::npos) return "unclosed tag at " + std::to_string(i);
    const std::string tag = text.substr(i + 1, end - i - 1);
    i = end + 1;
    if (tag.empty()) return "empty tag";
    if (tag[0] == '?') continue;
    if (tag.find('<') != std::string::npos) return "'<' inside tag " + tag;
    if (tag[0] == '/') {
      const std::string name = tag.substr(1);
      if (open.empty() || open.back() != name) return "unexpected </" + name + ">";
      open.pop_back();
      continue;
    }
    const std::string name = tag.substr(0, tag.find_first_of(" \n/"));
    if (open.empty()) {
      if (name != "svg") return "root element " + name;
      roots++;
    }
    if (tag.back() != '/') open.push_back(name);
  }
  if (!open.empty()) return "unclosed <" + open.back() + ">";
  if (roots != 1) return "root elements: " + std::to_string(roots);
  return "";
}

inline int count_of(const std::string& text, const std::string& piece) {
  int count = 0;
  for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1))
    count++;
  return count;
}

#endif  // DORVE_TESTS_UNIT_SVG_TEST_SUPPORT_H_
