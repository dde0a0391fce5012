#include "platform/script/lexer/lexer.h"

#include <cmath>
#include <cstdlib>
#include <string>

namespace brevalcore::script::lex {
namespace {

struct KeywordEntry {
  const char16_t* word;
  Kw kw;
};

constexpr KeywordEntry kKeywords[] = {
    {u"and", Kw::And}, {u"as", Kw::As}, {u"byref", Kw::ByRef}, {u"byval", Kw::ByVal},
    {u"call", Kw::Call}, {u"case", Kw::Case}, {u"class", Kw::Class}, {u"const", Kw::Const},
    {u"default", Kw::Default}, {u"dim", Kw::Dim}, {u"do", Kw::Do}, {u"each", Kw::Each},
    {u"else", Kw::Else}, {u"elseif", Kw::ElseIf}, {u"empty", Kw::Empty}, {u"end", Kw::End},
    {u"eqv", Kw::Eqv}, {u"erase", Kw::Erase}, {u"error", Kw::Error}, {u"exit", Kw::Exit},
    {u"explicit", Kw::Explicit}, {u"false", Kw::False}, {u"for", Kw::For},
    {u"function", Kw::Function}, {u"get", Kw::Get}, {u"goto", Kw::GoTo}, {u"if", Kw::If},
    {u"imp", Kw::Imp}, {u"in", Kw::In}, {u"is", Kw::Is}, {u"let", Kw::Let}, {u"loop", Kw::Loop},
    {u"me", Kw::Me}, {u"mod", Kw::Mod}, {u"new", Kw::New}, {u"next", Kw::Next}, {u"not", Kw::Not},
    {u"nothing", Kw::Nothing}, {u"null", Kw::Null}, {u"on", Kw::On}, {u"option", Kw::Option},
    {u"or", Kw::Or}, {u"preserve", Kw::Preserve}, {u"private", Kw::Private},
    {u"property", Kw::Property}, {u"public", Kw::Public}, {u"redim", Kw::ReDim},
    {u"resume", Kw::Resume}, {u"select", Kw::Select}, {u"set", Kw::Set}, {u"step", Kw::Step},
    {u"stop", Kw::Stop}, {u"sub", Kw::Sub}, {u"then", Kw::Then}, {u"to", Kw::To}, {u"true", Kw::True},
    {u"until", Kw::Until}, {u"wend", Kw::Wend}, {u"while", Kw::While}, {u"with", Kw::With},
    {u"xor", Kw::Xor},
};

bool IsIdentStart(char16_t c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= 0xC0 && c != 0xD7 && c != 0xF7);
}
bool IsIdentPart(char16_t c) { return IsIdentStart(c) || (c >= u'0' && c <= u'9') || c == u'_'; }
bool IsSpace(char16_t c) { return c == u' ' || c == u'\t' || c == 0xA0 || c == 0xFEFF; }
bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// Days from 30/12/1899 for a proleptic Gregorian date.
double SerialOf(int y, int m, int d) {
  y -= m <= 2;
  const int era = (y >= 0 ? y : y - 399) / 400;
  const int yoe = y - era * 400;
  const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  const long days = static_cast<long>(era) * 146097 + doe - 719468;  // days since 1970-01-01
  return static_cast<double>(days + 25569);
}

// A date literal as written between "#": month/day/year (the language's fixed order) or
// year-month-day, optionally followed by a time with AM/PM.
bool ParseDateLiteral(StringView text, double& out) {
  std::vector<int> nums;
  std::vector<char16_t> seps;
  int pm = 0;
  size_t i = 0;
  while (i < text.size()) {
    char16_t c = text[i];
    if (IsDigit(c)) {
      int v = 0;
      size_t digits = 0;
      while (i < text.size() && IsDigit(text[i])) {
        if (++digits > 5) return false;
        v = v * 10 + (text[i++] - u'0');
      }
      nums.push_back(v);
    } else if (c == u'/' || c == u'-' || c == u':') {
      seps.push_back(c);
      ++i;
    } else if (IsSpace(c)) {
      seps.push_back(u' ');
      ++i;
    } else if ((c == u'a' || c == u'A' || c == u'p' || c == u'P') && i + 1 < text.size() &&
               (text[i + 1] == u'm' || text[i + 1] == u'M')) {
      pm = (c == u'p' || c == u'P') ? 2 : 1;
      i += 2;
    } else {
      return false;
    }
  }
  size_t colons = 0, dateParts = 0;
  for (char16_t s : seps) colons += s == u':';
  dateParts = nums.size() - (colons ? colons + 1 : 0);
  if (nums.size() < colons + 1 && colons) return false;
  double value = 0;
  if (dateParts == 3) {
    int y, m, d;
    if (seps.size() >= 2 && seps[0] == u'-' && nums[0] > 31) { y = nums[0]; m = nums[1]; d = nums[2]; }
    else { m = nums[0]; d = nums[1]; y = nums[2]; }
    if (y < 100) y += y < 30 ? 2000 : 1900;
    if (m < 1 || m > 12 || d < 1 || d > 31 || y > 9999) return false;
    value = SerialOf(y, m, d);
  } else if (dateParts != 0) {
    return false;
  }
  if (colons) {
    int h = nums[dateParts], n = nums[dateParts + 1], s = colons >= 2 ? nums[dateParts + 2] : 0;
    if (pm == 2 && h < 12) h += 12;
    if (pm == 1 && h == 12) h = 0;
    if (h > 23 || n > 59 || s > 59) return false;
    const double t = (h * 3600 + n * 60 + s) / 86400.0;
    value = value < 0 ? value - t : value + t;
  }
  out = value;
  return true;
}

class Lexer {
 public:
  explicit Lexer(StringView src) : src_(src) {}

  LexResult Run() {
    bool space = true;
    while (pos_ < src_.size()) {
      const char16_t c = src_[pos_];
      if (IsSpace(c)) { ++pos_; space = true; continue; }
      if (c == u'\r' || c == u'\n') { NewLine(); space = true; continue; }
      if (c == u'_' && RestOfLineBlank(pos_ + 1)) {  // line continuation
        ++pos_;
        while (pos_ < src_.size() && src_[pos_] != u'\n' && src_[pos_] != u'\r') ++pos_;
        SkipLineEnd();
        space = true;
        continue;
      }
      if (c == u'\'') { SkipComment(); continue; }
      Token t;
      t.line = line_;
      t.column = Column();
      t.spaceBefore = space;
      space = false;
      if (IsIdentStart(c)) {
        size_t start = pos_;
        while (pos_ < src_.size() && IsIdentPart(src_[pos_])) ++pos_;
        t.kind = Tok::Identifier;
        t.text = String(src_.substr(start, pos_ - start));
        if (automation::EqualsNoCase(t.text, u"rem")) { SkipComment(); continue; }
        t.kw = KeywordOf(t.text);
      } else if (c == u'[') {
        size_t start = ++pos_;
        while (pos_ < src_.size() && src_[pos_] != u']' && src_[pos_] != u'\n') ++pos_;
        t.kind = Tok::Identifier;
        t.text = String(src_.substr(start, pos_ - start));
        if (pos_ < src_.size() && src_[pos_] == u']') ++pos_;
        else Error(1007, t);
      } else if (IsDigit(c) || (c == u'.' && pos_ + 1 < src_.size() && IsDigit(src_[pos_ + 1]) &&
                                !(prevAllowsMember() && !t.spaceBefore))) {
        Number(t);
      } else if (c == u'&' && pos_ + 1 < src_.size() &&
                 (src_[pos_ + 1] == u'h' || src_[pos_ + 1] == u'H' || src_[pos_ + 1] == u'o' ||
                  src_[pos_ + 1] == u'O')) {
        Radix(t);
      } else if (c == u'"') {
        String s;
        ++pos_;
        bool closed = false;
        while (pos_ < src_.size() && src_[pos_] != u'\n' && src_[pos_] != u'\r') {
          if (src_[pos_] == u'"') {
            if (pos_ + 1 < src_.size() && src_[pos_ + 1] == u'"') { s.push_back(u'"'); pos_ += 2; continue; }
            ++pos_;
            closed = true;
            break;
          }
          s.push_back(src_[pos_++]);
        }
        if (!closed) Error(1033, t);
        t.kind = Tok::Literal;
        t.value = Variant(std::move(s));
      } else if (c == u'#') {
        size_t start = ++pos_;
        while (pos_ < src_.size() && src_[pos_] != u'#' && src_[pos_] != u'\n') ++pos_;
        double serial = 0;
        if (pos_ >= src_.size() || src_[pos_] != u'#' ||
            !ParseDateLiteral(src_.substr(start, pos_ - start), serial)) {
          Error(1032, t);
        } else {
          ++pos_;
        }
        t.kind = Tok::Literal;
        t.value = Variant(automation::Date{serial});
      } else {
        t.kind = Tok::Op;
        // "=<", "=>" and "><" are the same operators as "<=", ">=" and "<>".
        static constexpr StringView kTwo[] = {u"<>", u"<=", u">=", u"=<", u"=>", u"><"};
        StringView rest = src_.substr(pos_);
        bool two = false;
        for (StringView op : kTwo) {
          if (rest.starts_with(op)) {
            t.text = op == u"=<" ? u"<=" : op == u"=>" ? u">=" : op == u"><" ? u"<>" : String(op);
            pos_ += 2;
            two = true;
            break;
          }
        }
        if (!two) {
          if (c == u':') {
            EndStatement(u":");
            ++pos_;
            continue;
          }
          if (String(u"+-*/\\^&=<>(),.").find(c) == String::npos) {
            Error(1032, t);
            ++pos_;
            continue;
          }
          t.text = String(1, c);
          ++pos_;
        }
      }
      out_.tokens.push_back(std::move(t));
    }
    EndStatement();
    Token eoi;
    eoi.kind = Tok::EndOfInput;
    eoi.line = line_;
    eoi.column = Column();
    out_.tokens.push_back(eoi);
    return std::move(out_);
  }

 private:
  bool prevAllowsMember() const {
    if (out_.tokens.empty()) return false;
    const Token& p = out_.tokens.back();
    return p.kind == Tok::Identifier || p.IsOp(u')');
  }
  int Column() const { return static_cast<int>(pos_ - lineStart_) + 1; }
  void Error(int number, const Token& at) { out_.errors.push_back({number, at.line, at.column}); }
  bool RestOfLineBlank(size_t p) const {
    while (p < src_.size() && IsSpace(src_[p])) ++p;
    return p >= src_.size() || src_[p] == u'\n' || src_[p] == u'\r';
  }
  void SkipLineEnd() {
    if (pos_ < src_.size() && src_[pos_] == u'\r') ++pos_;
    if (pos_ < src_.size() && src_[pos_] == u'\n') ++pos_;
    ++line_;
    lineStart_ = pos_;
  }
  void NewLine() {
    EndStatement(u"\n");
    SkipLineEnd();
  }
  void SkipComment() {
    while (pos_ < src_.size() && src_[pos_] != u'\n' && src_[pos_] != u'\r') ++pos_;
  }
  // Ends the statement; a line end also turns a ":" just before it into a line end (":\n"),
  // so that single-line If knows where its line stops, and "If a Then :" stays single-line.
  void EndStatement(const char16_t* text = u"\n") {
    if (out_.tokens.empty()) return;
    if (out_.tokens.back().kind == Tok::EndOfStatement) {
      String& last = out_.tokens.back().text;
      if (text[0] == u'\n' && last.back() != u'\n') last = last == u":" ? u":\n" : text;
      return;
    }
    Token t;
    t.text = text;
    t.kind = Tok::EndOfStatement;
    t.line = line_;
    t.column = Column();
    out_.tokens.push_back(t);
  }

  void Number(Token& t) {
    size_t start = pos_;
    bool isFloat = false;
    while (pos_ < src_.size() && IsDigit(src_[pos_])) ++pos_;
    if (pos_ < src_.size() && src_[pos_] == u'.') {
      isFloat = true;
      ++pos_;
      while (pos_ < src_.size() && IsDigit(src_[pos_])) ++pos_;
    }
    if (pos_ < src_.size() && (src_[pos_] == u'e' || src_[pos_] == u'E')) {
      size_t save = pos_++;
      if (pos_ < src_.size() && (src_[pos_] == u'+' || src_[pos_] == u'-')) ++pos_;
      if (pos_ < src_.size() && IsDigit(src_[pos_])) {
        isFloat = true;
        while (pos_ < src_.size() && IsDigit(src_[pos_])) ++pos_;
      } else {
        pos_ = save;
      }
    }
    std::string ascii;
    for (size_t i = start; i < pos_; ++i) ascii.push_back(static_cast<char>(src_[i]));
    t.kind = Tok::Literal;
    const double d = std::strtod(ascii.c_str(), nullptr);
    if (pos_ < src_.size() && IsIdentStart(src_[pos_])) Error(1031, t);
    if (!std::isfinite(d)) {
      Error(1031, t);
      t.value = Variant(0.0);
    } else if (!isFloat && d <= 32767) {
      t.value = Variant(static_cast<int16_t>(d));
    } else if (!isFloat && d <= 2147483647.0) {
      t.value = Variant(static_cast<int32_t>(d));
    } else {
      t.value = Variant(d);
    }
  }

  // &Hxx, &Oxx and &nn: up to 16 bits give an Integer, up to 32 bits a Long; the bits are
  // read as two's complement (&HFFFF is -1). A trailing "&" makes it a Long whatever its
  // size (&HFFFF& is 65535).
  void Radix(Token& t) {
    ++pos_;
    int base = 8;
    if (src_[pos_] == u'h' || src_[pos_] == u'H') { base = 16; ++pos_; }
    else if (src_[pos_] == u'o' || src_[pos_] == u'O') { ++pos_; }
    uint64_t v = 0;
    size_t digits = 0;
    while (pos_ < src_.size()) {
      char16_t c = src_[pos_];
      int d;
      if (IsDigit(c)) d = c - u'0';
      else if (base == 16 && c >= u'a' && c <= u'f') d = c - u'a' + 10;
      else if (base == 16 && c >= u'A' && c <= u'F') d = c - u'A' + 10;
      else break;
      if (d >= base) break;
      v = v * base + d;
      if (v > 0xFFFFFFFFull) { Error(1031, t); v = 0; }
      ++digits;
      ++pos_;
    }
    bool asLong = false;
    if (pos_ < src_.size() && src_[pos_] == u'&') {  // type suffix "&"
      asLong = true;
      ++pos_;
    }
    if (digits == 0) Error(1031, t);
    t.kind = Tok::Literal;
    if (v <= 0xFFFF && !asLong) t.value = Variant(static_cast<int16_t>(static_cast<uint16_t>(v)));
    else t.value = Variant(static_cast<int32_t>(static_cast<uint32_t>(v)));
  }

  StringView src_;
  size_t pos_ = 0;
  size_t lineStart_ = 0;
  int line_ = 1;
  LexResult out_;
};

}  // namespace

Kw KeywordOf(StringView word) {
  if (word.size() > 8) return Kw::None;
  char16_t lower[9];
  for (size_t i = 0; i < word.size(); ++i) lower[i] = automation::ToLowerChar(word[i]);
  StringView w(lower, word.size());
  for (const auto& k : kKeywords) {
    if (w == k.word) return k.kw;
  }
  return Kw::None;
}

LexResult Tokenize(StringView source) { return Lexer(source).Run(); }

}  // namespace brevalcore::script::lex
