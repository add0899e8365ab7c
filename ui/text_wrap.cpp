#include "ui/text_wrap.h"

namespace {

enum class Piece { Space, Wide, Word };

// The byte length of the UTF-8 sequence starting with `lead` (1 for stray bytes).
std::size_t sequenceLength(unsigned char lead) {
  if (lead >= 0xF0) return 4;
  if (lead >= 0xE0) return 3;
  if (lead >= 0xC0) return 2;
  return 1;
}

char32_t decode(std::string_view s) {
  const auto b = [&](std::size_t i) {
    return static_cast<char32_t>(static_cast<unsigned char>(s[i]));
  };
  switch (s.size()) {
    case 2:
      return (b(0) & 0x1F) << 6 | (b(1) & 0x3F);
    case 3:
      return (b(0) & 0x0F) << 12 | (b(1) & 0x3F) << 6 | (b(2) & 0x3F);
    case 4:
      return (b(0) & 0x07) << 18 | (b(1) & 0x3F) << 12 | (b(2) & 0x3F) << 6 | (b(3) & 0x3F);
    default:
      return b(0);
  }
}

// Chinese characters, their punctuation and full-width forms: each may stand at a break.
bool isWide(char32_t c) {
  return (c >= 0x2E80 && c <= 0x9FFF) || (c >= 0xF900 && c <= 0xFAFF) ||
         (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFFEF) || c >= 0x20000;
}

// Punctuation that must not begin a line.
bool closesLine(char32_t c) {
  for (char32_t p : {U'，', U'。', U'、', U'；', U'：', U'！', U'？', U'）', U'”', U'》', U'」'}) {
    if (c == p) return true;
  }
  return false;
}

struct Token {
  Piece kind;
  std::string_view text;
  bool glued;  // no break allowed before it
};

std::vector<Token> tokenize(std::string_view text) {
  std::vector<Token> tokens;
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t length =
        std::min(sequenceLength(static_cast<unsigned char>(text[i])), text.size() - i);
    const std::string_view unit = text.substr(i, length);
    const char32_t c = decode(unit);
    const Piece kind = c == U' ' ? Piece::Space : (isWide(c) ? Piece::Wide : Piece::Word);
    if (kind != Piece::Wide && !tokens.empty() && tokens.back().kind == kind) {
      Token& last = tokens.back();
      last.text = text.substr(last.text.data() - text.data(), last.text.size() + length);
    } else {
      tokens.push_back({kind, unit, kind == Piece::Wide && closesLine(c)});
    }
    i += length;
  }
  return tokens;
}

}  // namespace

std::vector<std::string> wrapLines(std::string_view text, float width,
                                   const std::function<float(std::string_view)>& measure) {
  std::vector<std::string> lines;
  // The current line as its tokens, each with the space before it.
  std::vector<std::pair<std::string, const Token*>> line;
  std::string pendingSpace;
  const auto joined = [&](std::size_t from, std::size_t to) {
    std::string out;
    for (std::size_t i = from; i < to; ++i)
      out += (i == from ? "" : line[i].first) + std::string(line[i].second->text);
    return out;
  };
  const std::vector<Token> tokens = tokenize(text);
  for (const Token& token : tokens) {
    if (token.kind == Piece::Space) {
      if (!line.empty()) pendingSpace = token.text;
      continue;
    }
    line.emplace_back(pendingSpace, &token);
    pendingSpace.clear();
    if (line.size() == 1 || measure(joined(0, line.size())) <= width) continue;
    // Too wide: break before this token, or, when it must not start a line, before the
    // character it follows.
    std::size_t cut = line.size() - 1;
    if (token.glued && cut > 1 && line[cut - 1].second->kind == Piece::Wide &&
        line[cut - 1].first.empty()) {
      cut -= 1;
    }
    if (token.glued && cut == line.size() - 1 && line[cut].first.empty()) continue;
    lines.push_back(joined(0, cut));
    line.erase(line.begin(), line.begin() + static_cast<std::ptrdiff_t>(cut));
    line.front().first.clear();
  }
  if (!line.empty()) lines.push_back(joined(0, line.size()));
  return lines;
}
