#include "engine/jet_format.h"

#include <charconv>
#include <cmath>
#include <vector>

#include "dao/dao_constants.h"
#include "engine/jet_dates.h"
#include "engine/jet_functions.h"
#include "engine/values.h"
#include "framework/date_time.h"
#include "framework/strings.h"

namespace engine {

namespace {

using framework::FormatSettings;

// ---- pattern text

size_t CharLength(const std::string& s, size_t i) {
  const auto c = static_cast<unsigned char>(s[i]);
  const size_t n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
  return std::min(n, s.size() - i);
}

// Reads a literal at `i` (a text in double quotes or a character after a backslash) into `out`;
// false when there is none.
bool ReadQuoted(const std::string& p, size_t& i, std::string& out) {
  if (p[i] == '"') {
    const size_t close = p.find('"', i + 1);
    const size_t end = close == std::string::npos ? p.size() : close;
    out += p.substr(i + 1, end - i - 1);
    i = end == p.size() ? end : end + 1;
    return true;
  }
  if (p[i] == '\\' && i + 1 < p.size()) {
    const size_t n = CharLength(p, i + 1);
    out += p.substr(i + 1, n);
    i += 1 + n;
    return true;
  }
  return false;
}

// The sections of a pattern, split at the semicolons outside literals.
std::vector<std::string> Sections(const std::string& p) {
  std::vector<std::string> out(1);
  for (size_t i = 0; i < p.size();) {
    const size_t start = i;
    std::string ignored;
    if (ReadQuoted(p, i, ignored)) {
      out.back() += p.substr(start, i - start);
    } else if (p[i] == ';') {
      out.emplace_back();
      ++i;
    } else {
      out.back() += p[i++];
    }
  }
  return out;
}

bool StartsWithNoCase(const std::string& s, size_t i, const char* word) {
  const size_t n = std::char_traits<char>::length(word);
  return i + n <= s.size() && framework::SameText(s.substr(i, n), word);
}

enum class PatternKind { kNumber, kDate, kText };

// A pattern formats numbers when it has digit placeholders, texts when it has character
// placeholders or only case marks, dates when it has date or time letters.
PatternKind KindOf(const std::string& p) {
  bool date = false, text = false, case_marks = false;
  for (size_t i = 0; i < p.size();) {
    std::string ignored;
    if (ReadQuoted(p, i, ignored)) continue;
    const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(p[i])));
    if (c == '0' || c == '#') return PatternKind::kNumber;
    if (c == '@' || c == '&') text = true;
    if (c == '<' || c == '>') case_marks = true;
    if (std::string("dwmqyhnstc").find(c) != std::string::npos || StartsWithNoCase(p, i, "a/p")) date = true;
    ++i;
  }
  if (text) return PatternKind::kText;
  if (date) return PatternKind::kDate;
  return case_marks ? PatternKind::kText : PatternKind::kNumber;
}

// The literal parts of a section alone (a section for Null or for the empty text).
std::string LiteralsOf(const std::string& section) {
  std::string out;
  for (size_t i = 0; i < section.size();) {
    if (ReadQuoted(section, i, out)) continue;
    const char c = section[i];
    if (c != '0' && c != '#' && c != '@' && c != '&' && c != '<' && c != '>' && c != '!') out += c;
    ++i;
  }
  return out;
}

// ---- numbers

// The 15 significant digits of `value` (≥ 0) and the power of ten of the first one.
void SignificantDigits(double value, std::string& digits, int& exponent) {
  char buf[64];
  const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 14);
  const std::string s(buf, r.ptr);  // d.dddddddddddddde±xx
  digits = s.substr(0, 1) + s.substr(2, 14);
  exponent = std::stoi(s.substr(s.find('e') + 1));
}

void Increment(std::string& digits) {
  for (size_t k = digits.size(); k-- > 0;) {
    if (digits[k] != '9') {
      ++digits[k];
      return;
    }
    digits[k] = '0';
  }
  digits.insert(digits.begin(), '1');
}

// `value` (≥ 0) rounded half away from zero to `decimals` places, as its 15 significant digits
// show it: the integer digits ("0" when there are none) and exactly `decimals` fraction digits.
void FixedDigits(double value, int decimals, std::string& integer, std::string& fraction) {
  std::string d;
  int e;
  SignificantDigits(value, d, e);
  const int count = e + decimals + 1;  // how many of the digits are kept
  std::string kept;
  bool up = false;
  if (count <= 0) {
    up = count == 0 && d[0] >= '5';
  } else if (count >= static_cast<int>(d.size())) {
    kept = d + std::string(static_cast<size_t>(count) - d.size(), '0');
  } else {
    kept = d.substr(0, static_cast<size_t>(count));
    up = d[static_cast<size_t>(count)] >= '5';
  }
  if (up) {
    if (kept.empty()) kept = "1";
    else Increment(kept);
  }
  const auto places = static_cast<size_t>(decimals);
  if (kept.size() < places + 1) kept.insert(0, places + 1 - kept.size(), '0');
  integer = kept.substr(0, kept.size() - places);
  fraction = kept.substr(kept.size() - places);
  const size_t first = integer.find_first_not_of('0');
  integer = first == std::string::npos ? "0" : integer.substr(first);
}

// A section of a number pattern.
struct NumberPattern {
  enum Part { kInteger, kFraction, kExponent };
  struct Item {
    enum Kind { kLiteral, kDigit, kPoint, kExponentMark } kind = kLiteral;
    std::string text;      // kLiteral, kExponentMark ("E" or "e")
    char placeholder = 0;  // kDigit: '0' or '#'
    Part part = kInteger;
  };
  std::vector<Item> items;
  int integer_places = 0, fraction_places = 0, exponent_zeros = 0;
  bool thousands = false, exponent = false, exponent_plus = false;
  int scale = 0;    // commas right of the digits: each divides by 1000
  int percent = 0;  // each % multiplies by 100
};

NumberPattern ParseNumberPattern(const std::string& p) {
  NumberPattern out;
  using Item = NumberPattern::Item;
  auto literal = [&](const std::string& text) {
    if (!out.items.empty() && out.items.back().kind == Item::kLiteral) out.items.back().text += text;
    else out.items.push_back({Item::kLiteral, text, 0, NumberPattern::kInteger});
  };
  NumberPattern::Part part = NumberPattern::kInteger;
  int commas = 0;  // commas seen after integer digits and not yet placed
  for (size_t i = 0; i < p.size();) {
    std::string quoted;
    if (ReadQuoted(p, i, quoted)) {
      literal(quoted);
      continue;
    }
    const char c = p[i];
    if (c == '0' || c == '#') {
      if (part == NumberPattern::kInteger) {
        if (commas > 0 && out.integer_places > 0) out.thousands = true;
        commas = 0;
        ++out.integer_places;
      } else if (part == NumberPattern::kFraction) {
        ++out.fraction_places;
      } else if (c == '0') {
        ++out.exponent_zeros;
      }
      out.items.push_back({Item::kDigit, "", c, part});
      ++i;
    } else if (c == '.' && part == NumberPattern::kInteger) {
      if (out.integer_places > 0) out.scale += commas;
      commas = 0;
      part = NumberPattern::kFraction;
      out.items.push_back({Item::kPoint, "", 0, part});
      ++i;
    } else if (c == ',' && part == NumberPattern::kInteger) {
      ++commas;
      ++i;
    } else if ((c == 'E' || c == 'e') && i + 2 < p.size() && (p[i + 1] == '+' || p[i + 1] == '-') &&
               (p[i + 2] == '0' || p[i + 2] == '#') && part != NumberPattern::kExponent) {
      if (part == NumberPattern::kInteger && out.integer_places > 0) out.scale += commas;
      commas = 0;
      part = NumberPattern::kExponent;
      out.exponent = true;
      out.exponent_plus = p[i + 1] == '+';
      out.items.push_back({Item::kExponentMark, std::string(1, c), 0, part});
      i += 2;
    } else {
      if (c == '%') ++out.percent;
      const size_t n = CharLength(p, i);
      literal(p.substr(i, n));
      i += n;
    }
  }
  if (part == NumberPattern::kInteger && out.integer_places > 0) out.scale += commas;
  return out;
}

std::string Grouped(const std::string& digits, char separator) {
  std::string out;
  for (size_t k = 0; k < digits.size(); ++k) {
    if (k > 0 && (digits.size() - k) % 3 == 0) out += separator;
    out += digits[k];
  }
  return out;
}

// Formats `value` (≥ 0) by one section; `negative` puts a minus sign in front of a result that
// is not zero.
std::string FormatNumber(double value, bool negative, const NumberPattern& p, const FormatSettings& fs) {
  using Item = NumberPattern::Item;
  double v = value * std::pow(100.0, p.percent) / std::pow(1000.0, p.scale);
  std::string integer, fraction, exponent_text;
  if (p.exponent) {
    const int places = std::max(p.integer_places, 1);
    std::string kept(static_cast<size_t>(places + p.fraction_places), '0');
    int exponent = 0;
    if (v > 0) {
      std::string d;
      int e;
      SignificantDigits(v, d, e);
      exponent = e - (places - 1);
      const size_t need = kept.size();
      kept = need <= d.size() ? d.substr(0, need) : d + std::string(need - d.size(), '0');
      if (need < d.size() && d[need] >= '5') Increment(kept);
      if (kept.size() > need) {  // 9.99 became 10.0
        kept.pop_back();
        ++exponent;
      }
    }
    integer = kept.substr(0, static_cast<size_t>(places));
    fraction = kept.substr(static_cast<size_t>(places));
    std::string e = std::to_string(std::abs(exponent));
    if (static_cast<int>(e.size()) < p.exponent_zeros) e.insert(0, static_cast<size_t>(p.exponent_zeros) - e.size(), '0');
    exponent_text = (exponent < 0 ? "-" : p.exponent_plus ? "+" : "") + e;
  } else {
    FixedDigits(v, p.fraction_places, integer, fraction);
  }
  const bool zero = integer.find_first_not_of('0') == std::string::npos && fraction.find_first_not_of('0') == std::string::npos;
  if (integer == "0" && !p.exponent) integer.clear();  // a '#' shows no digit for it, a '0' shows 0

  // Fraction digits: the '#' places at the end drop their zeros.
  size_t shown = fraction.size();
  {
    std::vector<char> places;
    for (const Item& it : p.items)
      if (it.kind == Item::kDigit && it.part == NumberPattern::kFraction) places.push_back(it.placeholder);
    while (shown > 0 && places[shown - 1] == '#' && fraction[shown - 1] == '0') --shown;
  }
  // Integer digits: with thousands grouping all digits stand at the first place; without, each
  // digit takes a place from the right and the surplus stands at the first.
  std::string grouped;
  if (p.thousands) {
    int zeros = 0;
    bool seen_zero = false;
    for (const Item& it : p.items)
      if (it.kind == Item::kDigit && it.part == NumberPattern::kInteger) {
        seen_zero = seen_zero || it.placeholder == '0';
        if (seen_zero) ++zeros;
      }
    std::string padded = integer;
    if (static_cast<int>(padded.size()) < zeros) padded.insert(0, static_cast<size_t>(zeros) - padded.size(), '0');
    grouped = Grouped(padded, fs.ThousandSeparator);
  }
  std::string out;
  int integer_index = 0, fraction_index = 0;
  const int surplus = static_cast<int>(integer.size()) - p.integer_places;
  for (const Item& it : p.items) {
    switch (it.kind) {
      case Item::kLiteral: out += it.text; break;
      case Item::kPoint: out += fs.DecimalSeparator; break;
      case Item::kExponentMark: out += it.text; break;
      case Item::kDigit:
        if (it.part == NumberPattern::kInteger) {
          const int k = integer_index++;
          if (p.thousands) {
            if (k == 0) out += grouped;
            break;
          }
          if (k == 0 && surplus > 0) out += integer.substr(0, static_cast<size_t>(surplus));
          const int di = k - (p.integer_places - static_cast<int>(integer.size()));
          if (di >= 0) out += integer[static_cast<size_t>(di)];
          else if (it.placeholder == '0') out += '0';
        } else if (it.part == NumberPattern::kFraction) {
          const auto k = static_cast<size_t>(fraction_index++);
          if (k < shown) out += fraction[k];
        } else if (!exponent_text.empty()) {
          out += exponent_text;  // the whole exponent at its first place
          exponent_text.clear();
        }
        break;
    }
  }
  if (p.integer_places == 0 && !integer.empty() && !p.exponent) {
    // No integer places: the integer digits still show, before the point.
    const size_t point = out.find(fs.DecimalSeparator);
    out.insert(point == std::string::npos ? out.size() : point, integer);
  }
  return negative && !zero ? "-" + out : out;
}

// Formats a number by a pattern of up to four sections (positive; negative; zero; Null).
std::string FormatNumberSections(double value, const std::vector<std::string>& sections, const FormatSettings& fs) {
  if (value < 0 && sections.size() >= 2 && !sections[1].empty())
    return FormatNumber(-value, false, ParseNumberPattern(sections[1]), fs);
  if (value == 0 && sections.size() >= 3 && !sections[2].empty())
    return FormatNumber(0, false, ParseNumberPattern(sections[2]), fs);
  return FormatNumber(std::fabs(value), value < 0, ParseNumberPattern(sections[0]), fs);
}

// ---- dates

std::string TwoDigits(int v) { return (v < 10 ? "0" : "") + std::to_string(v); }

std::string FormatDate(double d, const std::string& pattern, int first_day, int first_week, const FormatSettings& fs,
                       int depth = 0);

std::string GeneralDate(double d, const FormatSettings& fs) {
  int h, n, s, ms;
  framework::DecodeTime(d, h, n, s, ms);
  const bool has_time = h || n || s || ms;
  const bool has_date = DatePartOf(d) != 0;
  if (!has_time) return FormatDate(d, fs.ShortDateFormat, 1, 1, fs);
  if (!has_date) return FormatDate(d, fs.LongTimeFormat, 1, 1, fs);
  return FormatDate(d, fs.ShortDateFormat, 1, 1, fs) + " " + FormatDate(d, fs.LongTimeFormat, 1, 1, fs);
}

struct DateToken {
  char letter = 0;   // d w m q y h n s t c, 'A' for AM/PM forms, 0 for a literal
  int count = 0;
  std::string text;  // a literal, or the AM/PM form as written
};

std::vector<DateToken> DateTokens(const std::string& p) {
  std::vector<DateToken> out;
  auto literal = [&](const std::string& text) {
    if (!out.empty() && out.back().letter == 0) out.back().text += text;
    else out.push_back({0, 0, text});
  };
  for (size_t i = 0; i < p.size();) {
    std::string quoted;
    if (ReadQuoted(p, i, quoted)) {
      literal(quoted);
      continue;
    }
    for (const char* form : {"am/pm", "a/p", "ampm"}) {
      if (StartsWithNoCase(p, i, form)) {
        const size_t n = std::char_traits<char>::length(form);
        out.push_back({'A', 0, p.substr(i, n)});
        i += n;
        goto next;
      }
    }
    {
      const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(p[i])));
      static const std::string letters = "dwmqyhnstc";
      if (letters.find(c) != std::string::npos) {
        int run = 0;
        while (i + static_cast<size_t>(run) < p.size() &&
               std::tolower(static_cast<unsigned char>(p[i + static_cast<size_t>(run)])) == c)
          ++run;
        const int longest = c == 'd' ? 6 : c == 'm' || c == 'y' ? 4 : c == 't' ? 5 : c == 'q' || c == 'c' ? 1 : 2;
        const int take = std::min(run, longest);
        if (c == 't' && take != 5) literal(p.substr(i, static_cast<size_t>(take)));
        else out.push_back({c, c == 'y' && take == 3 ? 4 : take, ""});
        i += static_cast<size_t>(take);
      } else {
        const size_t n = CharLength(p, i);
        literal(p.substr(i, n));
        i += n;
      }
    }
  next:;
  }
  return out;
}

std::string FormatDate(double d, const std::string& pattern, int first_day, int first_week, const FormatSettings& fs,
                       int depth) {
  if (depth > 2) return "";
  const std::vector<DateToken> tokens = DateTokens(pattern);
  int y, m, day, h, n, s, ms;
  framework::DecodeDate(d, y, m, day);
  framework::DecodeTime(d, h, n, s, ms);
  const int dow = framework::DayOfWeek(d);
  bool twelve = false;
  for (const DateToken& t : tokens) twelve = twelve || t.letter == 'A';
  const int h12 = h % 12 == 0 ? 12 : h % 12;
  auto name = [](const std::string& n, int fallback) { return n.empty() ? std::to_string(fallback) : n; };
  std::string out;
  for (size_t k = 0; k < tokens.size(); ++k) {
    const DateToken& t = tokens[k];
    switch (t.letter) {
      case 0:
        for (char c : t.text) {
          if (c == '/') out += fs.DateSeparator;
          else if (c == ':') out += fs.TimeSeparator;
          else out += c;
        }
        break;
      case 'd':
        switch (t.count) {
          case 1: out += std::to_string(day); break;
          case 2: out += TwoDigits(day); break;
          case 3: out += name(fs.ShortDayNames[static_cast<size_t>(dow - 1)], dow); break;
          case 4: out += name(fs.LongDayNames[static_cast<size_t>(dow - 1)], dow); break;
          case 5: out += FormatDate(d, fs.ShortDateFormat, first_day, first_week, fs, depth + 1); break;
          default: out += FormatDate(d, fs.LongDateFormat, first_day, first_week, fs, depth + 1); break;
        }
        break;
      case 'w':
        out += std::to_string(JetDatePart(t.count == 1 ? "w" : "ww", d, first_day, first_week));
        break;
      case 'm': {
        // m and mm right after an hour or right before a second are minutes.
        bool minutes = false;
        if (t.count <= 2) {
          for (size_t j = k; j-- > 0;)
            if (tokens[j].letter != 0) {
              minutes = tokens[j].letter == 'h';
              break;
            }
          for (size_t j = k + 1; j < tokens.size() && !minutes; ++j)
            if (tokens[j].letter != 0) {
              minutes = tokens[j].letter == 's';
              break;
            }
        }
        if (minutes) out += t.count == 1 ? std::to_string(n) : TwoDigits(n);
        else if (t.count == 1) out += std::to_string(m);
        else if (t.count == 2) out += TwoDigits(m);
        else if (t.count == 3) out += name(fs.ShortMonthNames[static_cast<size_t>(m - 1)], m);
        else out += name(fs.LongMonthNames[static_cast<size_t>(m - 1)], m);
        break;
      }
      case 'q': out += std::to_string((m - 1) / 3 + 1); break;
      case 'y':
        if (t.count == 1) out += std::to_string(JetDatePart("y", d, first_day, first_week));
        else if (t.count == 2) out += TwoDigits(y % 100);
        else out += std::to_string(y);
        break;
      case 'h': {
        const int hour = twelve ? h12 : h;
        out += t.count == 1 ? std::to_string(hour) : TwoDigits(hour);
        break;
      }
      case 'n': out += t.count == 1 ? std::to_string(n) : TwoDigits(n); break;
      case 's': out += t.count == 1 ? std::to_string(s) : TwoDigits(s); break;
      case 't': out += FormatDate(d, fs.LongTimeFormat, first_day, first_week, fs, depth + 1); break;
      case 'c': out += GeneralDate(d, fs); break;
      case 'A': {
        const bool pm = h >= 12;
        const std::string form = framework::LowerCase(t.text);
        const bool lower = std::islower(static_cast<unsigned char>(t.text[0]));
        if (form == "ampm") {
          const std::string& text = pm ? fs.TimePMString : fs.TimeAMString;
          out += text.empty() ? (pm ? "PM" : "AM") : text;
        } else if (form == "a/p") {
          out += lower ? (pm ? "p" : "a") : (pm ? "P" : "A");
        } else {
          out += lower ? (pm ? "pm" : "am") : (pm ? "PM" : "AM");
        }
        break;
      }
    }
  }
  return out;
}

// ---- texts

std::string FormatText(const std::string& text, const std::string& section) {
  struct Item {
    bool placeholder;
    char mark;  // '@' or '&'
    std::string literal;
  };
  std::vector<Item> items;
  bool lower = false, upper = false, left_to_right = false;
  for (size_t i = 0; i < section.size();) {
    std::string quoted;
    if (ReadQuoted(section, i, quoted)) {
      items.push_back({false, 0, quoted});
      continue;
    }
    const char c = section[i];
    if (c == '@' || c == '&') items.push_back({true, c, ""});
    else if (c == '<') lower = true, upper = false;
    else if (c == '>') upper = true, lower = false;
    else if (c == '!') left_to_right = true;
    else {
      const size_t n = CharLength(section, i);
      items.push_back({false, 0, section.substr(i, n)});
      i += n;
      continue;
    }
    ++i;
  }
  const std::string cased = lower ? JetLower(text) : upper ? JetUpper(text) : text;
  std::vector<std::string> chars;
  for (size_t i = 0; i < cased.size();) {
    const size_t n = CharLength(cased, i);
    chars.push_back(cased.substr(i, n));
    i += n;
  }
  int places = 0;
  for (const Item& it : items) places += it.placeholder;
  if (places == 0) {
    std::string out;
    for (const Item& it : items) out += it.literal;
    return items.empty() ? cased : out;
  }
  const int surplus = static_cast<int>(chars.size()) - places;
  std::string out;
  int k = 0;
  for (const Item& it : items) {
    if (!it.placeholder) {
      out += it.literal;
      continue;
    }
    const int index = k++;
    if (left_to_right) {
      if (index < static_cast<int>(chars.size())) out += chars[static_cast<size_t>(index)];
      else if (it.mark == '@') out += ' ';
      if (index == places - 1)
        for (size_t j = static_cast<size_t>(places); j < chars.size(); ++j) out += chars[j];
      continue;
    }
    if (index == 0 && surplus > 0)
      for (int j = 0; j < surplus; ++j) out += chars[static_cast<size_t>(j)];
    const int ci = index + surplus;
    if (ci >= 0) out += chars[static_cast<size_t>(ci)];
    else if (it.mark == '@') out += ' ';
  }
  return out;
}

std::string CurrencyPattern(const FormatSettings& fs) {
  // The engine knows no currency symbol of its own: a comma as decimal separator stands for the
  // euro countries' form, a point for the dollar's.
  return fs.DecimalSeparator == ',' ? "#,##0.00 \"\u20AC\";-#,##0.00 \"\u20AC\"" : "$#,##0.00;($#,##0.00)";
}

}  // namespace

std::string GeneralNumber(double value, char decimal_separator) {
  if (value == 0) return "0";
  std::string d;
  int e;
  SignificantDigits(std::fabs(value), d, e);
  d.erase(d.find_last_not_of('0') + 1);
  std::string out = value < 0 ? "-" : "";
  if (e >= 15 || e < -4) {
    out += d.substr(0, 1);
    if (d.size() > 1) out += decimal_separator + d.substr(1);
    const std::string x = std::to_string(std::abs(e));
    return out + "E" + (e < 0 ? "-" : "+") + (x.size() < 2 ? "0" : "") + x;
  }
  if (e >= 0) {
    const auto whole = static_cast<size_t>(e + 1);
    if (d.size() <= whole) return out + d + std::string(whole - d.size(), '0');
    return out + d.substr(0, whole) + decimal_separator + d.substr(whole);
  }
  return out + "0" + decimal_separator + std::string(static_cast<size_t>(-e - 1), '0') + d;
}

bool JetFormat(const Cell& value, int type, const std::string& format, int first_day, int first_week,
               std::string& out, const FormatSettings& fs) {
  const bool null = value.IsNull();
  const bool numeric = value.kind == Cell::kInt || value.kind == Cell::kReal;
  const double number = value.kind == Cell::kInt ? static_cast<double>(value.i) : value.r;
  const bool date = numeric && IsDateType(type);
  const std::string text = numeric ? "" : value.text;
  // The value as a number or as a date, when the format asks for one; a text that is neither
  // comes back unchanged.
  auto as_number = [&](double& v) { return numeric ? (v = number, true) : ParseInvariantNumber(text, v); };
  auto as_date = [&](double& v) { return numeric ? (v = number, true) : ParseDateText(text, v); };
  auto plain = [&]() -> std::string {
    if (!numeric) return text;
    if (date) return GeneralDate(number, fs);
    if (type == dao::dbBoolean) return number != 0 ? "True" : "False";
    return GeneralNumber(number, fs.DecimalSeparator);
  };

  if (format.empty()) {
    if (null) return false;
    out = plain();
    return true;
  }
  const std::string name = framework::LowerCase(framework::Trim(format));
  static const std::vector<std::pair<std::string, std::string>> kDateNames = {
      {"general date", ""}, {"long date", "L"}, {"medium date", "dd-mmm-yy"}, {"short date", "S"},
      {"long time", "T"},   {"medium time", "hh:nn AMPM"}, {"short time", "hh:nn"}};
  for (const auto& [named, pattern] : kDateNames) {
    if (name != named) continue;
    if (null) return false;
    double d;
    if (!as_date(d)) {
      out = text;
      return true;
    }
    const std::string p = pattern == "L" ? fs.LongDateFormat : pattern == "S" ? fs.ShortDateFormat
                          : pattern == "T" ? fs.LongTimeFormat : pattern;
    out = pattern.empty() ? GeneralDate(d, fs) : FormatDate(d, p, first_day, first_week, fs);
    return true;
  }
  static const std::vector<std::pair<std::string, std::string>> kNumberNames = {
      {"general number", ""}, {"currency", "C"},      {"fixed", "0.00"},     {"standard", "#,##0.00"},
      {"percent", "0.00%"},   {"scientific", "0.00E+00"}, {"yes/no", "Yes;No"}, {"true/false", "True;False"},
      {"on/off", "On;Off"}};
  for (const auto& [named, pattern] : kNumberNames) {
    if (name != named) continue;
    if (null) return false;
    double v;
    if (!as_number(v)) {
      out = text;
      return true;
    }
    if (pattern.empty()) out = GeneralNumber(v, fs.DecimalSeparator);
    else if (pattern.find(';') != std::string::npos && pattern.find('0') == std::string::npos)
      out = v != 0 ? pattern.substr(0, pattern.find(';')) : pattern.substr(pattern.find(';') + 1);
    else out = FormatNumberSections(v, Sections(pattern == "C" ? CurrencyPattern(fs) : pattern), fs);
    return true;
  }

  const std::vector<std::string> sections = Sections(format);
  switch (KindOf(sections[0])) {
    case PatternKind::kText: {
      const std::string shown = null ? "" : plain();
      if (shown.empty() && sections.size() >= 2) {
        out = LiteralsOf(sections[1]);
        return true;
      }
      if (null) return false;
      out = FormatText(shown, sections[0]);
      return true;
    }
    case PatternKind::kDate: {
      if (null) return false;
      double d;
      if (!as_date(d)) {
        out = text;
        return true;
      }
      out = FormatDate(d, format, first_day, first_week, fs);
      return true;
    }
    case PatternKind::kNumber: {
      if (null) {
        if (sections.size() < 4) return false;
        out = LiteralsOf(sections[3]);
        return true;
      }
      double v;
      if (!as_number(v)) {
        out = text;
        return true;
      }
      out = FormatNumberSections(v, sections, fs);
      return true;
    }
  }
  return false;
}

}  // namespace engine
