#include "host/qsp_compiler.h"

#include <algorithm>

namespace quenmark::host {

namespace {

constexpr std::string_view kWriter = "__qsp_write";

size_t CountLines(std::string_view text) {
  return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
}

// A Lua string literal for arbitrary bytes.
void AppendLiteral(std::string& out, std::string_view text) {
  static constexpr char kDigits[] = "0123456789";
  out.push_back('"');
  for (unsigned char c : text) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '"':
        out += "\\\"";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20 || c == 0x7f) {
          out.push_back('\\');
          out.push_back(kDigits[c / 100]);
          out.push_back(kDigits[(c / 10) % 10]);
          out.push_back(kDigits[c % 10]);
        } else {
          out.push_back(static_cast<char>(c));
        }
    }
  }
  out.push_back('"');
}

// Builds the chunk. A code line ending in a "--" comment would swallow whatever follows on the
// same line, so such blocks end with a line break; the extra line is taken back from the next
// text that spans lines.
class Emitter {
 public:
  Emitter() { out_ = "local " + std::string(kWriter) + " = ...; "; }

  void Text(std::string_view text) {
    if (text.empty()) return;
    out_ += kWriter;
    out_.push_back('(');
    AppendLiteral(out_, text);
    out_ += ") ";
    NewLines(CountLines(text));
  }

  void Expression(std::string_view code) {
    out_ += kWriter;
    out_.push_back('(');
    out_ += code;
    if (MayEndInComment(code)) {
      out_.push_back('\n');
      ++debt_;
    }
    out_ += ") ";
  }

  void Code(std::string_view code) {
    out_ += code;
    if (MayEndInComment(code)) {
      out_.push_back('\n');
      ++debt_;
    } else {
      out_.push_back(' ');
    }
  }

  // Keeps line numbers of a skipped part (a directive).
  void Skip(std::string_view text) { NewLines(CountLines(text)); }

  std::string Take() { return std::move(out_); }

 private:
  static bool MayEndInComment(std::string_view code) {
    size_t last_line = code.rfind('\n');
    std::string_view tail = last_line == std::string_view::npos ? code : code.substr(last_line);
    return tail.find("--") != std::string_view::npos;
  }

  void NewLines(size_t count) {
    size_t repaid = std::min(count, debt_);
    debt_ -= repaid;
    out_.append(count - repaid, '\n');
  }

  std::string out_;
  size_t debt_ = 0;
};

}  // namespace

Result<std::string> CompileQsp(std::string_view page) {
  Emitter emitter;
  size_t pos = 0;
  while (pos < page.size()) {
    size_t open = page.find("<%", pos);
    if (open == std::string_view::npos) {
      emitter.Text(page.substr(pos));
      break;
    }
    emitter.Text(page.substr(pos, open - pos));
    size_t close = page.find("%>", open + 2);
    if (close == std::string_view::npos) {
      size_t line = CountLines(page.substr(0, open)) + 1;
      return Status::Failure("line " + std::to_string(line) + ": unclosed <% block");
    }
    std::string_view inner = page.substr(open + 2, close - open - 2);
    if (!inner.empty() && inner.front() == '=') {
      emitter.Expression(inner.substr(1));
    } else if (!inner.empty() && inner.front() == '@') {
      emitter.Skip(inner);
    } else {
      emitter.Code(inner);
    }
    pos = close + 2;
  }
  return emitter.Take();
}

}  // namespace quenmark::host
