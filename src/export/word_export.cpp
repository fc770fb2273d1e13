// Word export: a Rich Text Format document written piece by piece: a fixed document header, a
// heading with the title and one table with a row per record. Backslashes and braces in values,
// captions and titles are escaped and characters outside ASCII are written as \uN? escapes, so
// that no value can break the document or lose its characters.

#include <cmath>

#include "export/exporter_impl.h"

namespace quenmark {

namespace {

constexpr std::string_view kFontTable =
    "{\\fonttbl{\\f0\\froman\\fcharset0\\fprq2{\\*\\panose 02020603050405020304}Times New Roman;}"
    "{\\f1\\fswiss\\fcharset0\\fprq2{\\*\\panose 020b0604020202020204}Arial;}"
    "{\\f32\\froman\\fcharset238\\fprq2 Times New Roman CE;}"
    "{\\f33\\froman\\fcharset204\\fprq2 Times New Roman Cyr;}"
    "{\\f35\\froman\\fcharset161\\fprq2 Times New Roman Greek;}"
    "{\\f36\\froman\\fcharset162\\fprq2 Times New Roman Tur;}"
    "{\\f37\\froman\\fcharset177\\fprq2 Times New Roman (Hebrew);}"
    "{\\f38\\froman\\fcharset178\\fprq2 Times New Roman (Arabic);}"
    "{\\f39\\froman\\fcharset186\\fprq2 Times New Roman Baltic;}"
    "{\\f40\\fswiss\\fcharset238\\fprq2 Arial CE;}"
    "{\\f41\\fswiss\\fcharset204\\fprq2 Arial Cyr;}"
    "{\\f43\\fswiss\\fcharset161\\fprq2 Arial Greek;}"
    "{\\f44\\fswiss\\fcharset162\\fprq2 Arial Tur;}"
    "{\\f45\\fswiss\\fcharset177\\fprq2 Arial (Hebrew);}"
    "{\\f46\\fswiss\\fcharset178\\fprq2 Arial (Arabic);}"
    "{\\f47\\fswiss\\fcharset186\\fprq2 Arial Baltic;}}";

constexpr std::string_view kColourTable =
    "{\\colortbl;\\red0\\green0\\blue0;\\red0\\green0\\blue255;\\red0\\green255\\blue255;"
    "\\red0\\green255\\blue0;\\red255\\green0\\blue255;\\red255\\green0\\blue0;"
    "\\red255\\green255\\blue0;\\red255\\green255\\blue255;\\red0\\green0\\blue128;"
    "\\red0\\green128\\blue128;\\red0\\green128\\blue0;\\red128\\green0\\blue128;"
    "\\red128\\green0\\blue0;\\red128\\green128\\blue0;\\red128\\green128\\blue128;"
    "\\red192\\green192\\blue192;}";

constexpr std::string_view kStyleSheet =
    "{\\stylesheet{\\ql \\li0\\ri0\\widctlpar\\aspalpha\\aspnum\\faauto\\adjustright\\rin0\\lin0"
    "\\itap0 \\fs24\\lang2057\\langfe2057\\cgrid\\langnp2057\\langfenp2057 \\snext0 Normal;}"
    "{\\s1\\ql \\li0\\ri0\\sb240\\sa60\\keepn\\widctlpar\\aspalpha\\aspnum\\faauto\\outlinelevel0"
    "\\adjustright\\rin0\\lin0\\itap0 \\b\\f1\\fs28\\lang2057\\langfe2057\\kerning32\\cgrid"
    "\\langnp2057\\langfenp2057 \\sbasedon0 \\snext0 heading 1;}"
    "{\\s2\\ql \\li0\\ri0\\sb240\\sa60\\keepn\\widctlpar\\aspalpha\\aspnum\\faauto\\outlinelevel1"
    "\\adjustright\\rin0\\lin0\\itap0 \\b\\f1\\fs24\\lang2057\\langfe2057\\cgrid\\langnp2057"
    "\\langfenp2057 \\sbasedon0 \\snext0 heading 2;}"
    "{\\*\\cs10 \\additive Default Paragraph Font;}}";

constexpr std::string_view kStatistics =
    "{\\operator V}{\\creatim\\yr2003\\mo3\\dy7\\hr16\\min29}{\\revtim\\yr2003\\mo10\\dy21\\hr10"
    "\\min11}{\\version22}{\\edmins22}{\\nofpages1}{\\nofwords16}{\\nofchars97}{\\nofcharsws0}"
    "{\\vern8247}}";

constexpr std::string_view kPageSettings =
    "\\paperw11906\\paperh16838 \\margl1440\\margr1440\\margt1440\\margb1440 "
    "\\widowctrl\\ftnbj\\aenddoc\\noxlattoyen\\expshrtn\\noultrlspc\\dntblnsbdb\\nospaceforul"
    "\\hyphcaps0\\formshade\\horzdoc\\dgmargin\\dghspace180\\dgvspace180\\dghorigin1800"
    "\\dgvorigin1440\\dghshow1\\dgvshow1\\jexpand\\viewkind1\\viewscale100\\pgbrdrhead"
    "\\pgbrdrfoot\\splytwnine\\ftnlytwnine\\htmautsp\\nolnhtadjtbl\\useltbaln\\alntblind"
    "\\lytcalctblwd\\lyttblrtgr\\lnbrkrule \\fet0"
    "\\sectd \\linex0\\headery708\\footery708\\colsx708\\endnhere\\sectlinegrid360"
    "\\sectdefaultcl ";

constexpr std::string_view kNumbering =
    "{\\*\\pnseclvl1\\pnucrm\\pnstart1\\pnindent720\\pnhang {\\pntxta .}}"
    "{\\*\\pnseclvl2\\pnucltr\\pnstart1\\pnindent720\\pnhang {\\pntxta .}}"
    "{\\*\\pnseclvl3\\pndec\\pnstart1\\pnindent720\\pnhang {\\pntxta .}}"
    "{\\*\\pnseclvl4\\pnlcltr\\pnstart1\\pnindent720\\pnhang {\\pntxta )}}"
    "{\\*\\pnseclvl5\\pndec\\pnstart1\\pnindent720\\pnhang {\\pntxtb (}{\\pntxta )}}"
    "{\\*\\pnseclvl6\\pnlcltr\\pnstart1\\pnindent720\\pnhang {\\pntxtb (}{\\pntxta )}}"
    "{\\*\\pnseclvl7\\pnlcrm\\pnstart1\\pnindent720\\pnhang {\\pntxtb (}{\\pntxta )}}"
    "{\\*\\pnseclvl8\\pnlcltr\\pnstart1\\pnindent720\\pnhang {\\pntxtb (}{\\pntxta )}}"
    "{\\*\\pnseclvl9\\pnlcrm\\pnstart1\\pnindent720\\pnhang {\\pntxtb (}{\\pntxta )}}";

constexpr std::string_view kRightAlignedParagraph =
    "\\pard\\plain \\qr \\li0\\ri0\\widctlpar\\aspalpha\\aspnum\\faauto\\adjustright\\rin0\\lin0"
    "\\itap0 \\fs24\\lang2057\\langfe2057\\cgrid\\langnp2057\\langfenp2057 {";

constexpr std::string_view kHeadingStart =
    "\\par }\\pard\\plain \\s2\\ql \\li0\\ri0\\keepn\\widctlpar\\aspalpha\\aspnum\\faauto"
    "\\outlinelevel1\\adjustright\\rin0\\lin0\\itap0 \\b\\f1\\fs24\\lang2057\\langfe2057\\cgrid"
    "\\langnp2057\\langfenp2057 {";

constexpr std::string_view kHeadingEnd =
    "\\par }\\pard\\plain \\ql \\li0\\ri0\\widctlpar\\aspalpha\\aspnum\\faauto\\adjustright"
    "\\rin0\\lin0\\itap0 \\fs24\\lang2057\\langfe2057\\cgrid\\langnp2057\\langfenp2057 {"
    "\\par }";

constexpr std::string_view kRowPrefix =
    "\\trowd \\trgaph108\\trleft-108\\trbrdrt\\brdrs\\brdrw10 \\trbrdrl\\brdrs\\brdrw10 "
    "\\trbrdrb\\brdrs\\brdrw10 \\trbrdrr\\brdrs\\brdrw10\\trbrdrh\\brdrs\\brdrw10 "
    "\\trbrdrv\\brdrs\\brdrw10 \\trftsWidth1\\trautofit1\\trpaddl108\\trpaddr108\\trpaddfl3"
    "\\trpaddfr3";

constexpr std::string_view kCellParagraph =
    "\\pard \\ql \\li0\\ri0\\widctlpar\\intbl\\aspalpha\\aspnum\\faauto\\adjustright\\rin0\\lin0 {";

constexpr std::string_view kClose =
    "}\\pard \\ql \\li0\\ri0\\widctlpar\\aspalpha\\aspnum\\faauto\\adjustright\\rin0\\lin0\\itap0 {"
    "\\par }}";

void AppendUnicodeEscape(std::string& out, uint32_t unit) {
  // RTF control words take signed 16-bit numbers; "?" is what readers without Unicode show.
  out += "\\u";
  out += std::to_string(unit > 32767 ? static_cast<int>(unit) - 65536 : static_cast<int>(unit));
  out += '?';
}

// Appends UTF-8 `text` as RTF text.
void AppendRtf(std::string& out, std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      switch (c) {
        case '\\':
        case '{':
        case '}':
          out.push_back('\\');
          out.push_back(static_cast<char>(c));
          break;
        case '\t':
          out += "\\tab ";
          break;
        case '\n':
          out += "\\line ";
          break;
        case '\r':
          break;
        default:
          if (c >= 0x20 && c != 0x7f) out.push_back(static_cast<char>(c));
      }
      ++i;
      continue;
    }
    // Decode one UTF-8 sequence; a malformed one becomes U+FFFD.
    uint32_t code = 0xFFFD;
    size_t length = 1;
    if ((c & 0xE0) == 0xC0) {
      length = 2;
      code = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
      length = 3;
      code = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
      length = 4;
      code = c & 0x07;
    }
    bool valid = length > 1 && i + length <= text.size();
    for (size_t k = 1; valid && k < length; ++k) {
      const unsigned char next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) valid = false;
      code = (code << 6) | (next & 0x3F);
    }
    if (!valid || code > 0x10FFFF) {
      code = 0xFFFD;
      length = 1;
    }
    if (code >= 0x10000) {
      code -= 0x10000;
      AppendUnicodeEscape(out, 0xD800 + (code >> 10));
      AppendUnicodeEscape(out, 0xDC00 + (code & 0x3FF));
    } else {
      AppendUnicodeEscape(out, code);
    }
    i += length;
  }
}

// Banker's rounding of 8200 / n: every cell of a row gets the same width.
long CellWidth(size_t columns) {
  return std::lrint(std::nearbyint(8200.0 / static_cast<double>(columns)));
}

void WriteWord(ExportSource& source, const ExportSettings& settings, const std::string& title,
               exporter::ChunkWriter& out) {
  std::string& buffer = out.Buffer();
  buffer += "{\\rtf1\\ansi\\ansicpg1252\\uc1 \\deff0\\deflang1033\\deflangfe1033";
  buffer += kFontTable;
  buffer += kColourTable;
  buffer += kStyleSheet;
  buffer += "{\\info{\\title ";
  AppendRtf(buffer, settings.title);
  buffer += " }{\\author ";
  AppendRtf(buffer, settings.author);
  buffer += "}{\\company ";
  AppendRtf(buffer, settings.company_address);
  buffer += '}';
  buffer += kStatistics;
  buffer += kPageSettings;
  buffer += kNumbering;
  buffer += kRightAlignedParagraph;
  buffer += kHeadingStart;
  AppendRtf(buffer, title);
  buffer += kHeadingEnd;

  const std::vector<FieldInfo>& fields = source.Fields();
  const size_t n = std::max<size_t>(fields.size(), 1);
  std::string row_definition(kRowPrefix);
  const std::string cell = "\\clvertalt\\clbrdrt\\brdrs\\brdrw10 \\clbrdrl\\brdrs\\brdrw10 "
                           "\\clbrdrb\\brdrs\\brdrw10 \\clbrdrr\\brdrs\\brdrw10 \\cltxlrtb"
                           "\\clftsWidth" + std::to_string(n) + "\\cellx" +
                           std::to_string(CellWidth(n));
  for (size_t f = 0; f < n; ++f) row_definition += cell;

  const auto row_end = [&] {
    buffer += '}';
    buffer += kCellParagraph;
    buffer += row_definition;
    buffer += "\\row}";
  };
  if (settings.show_column_headers) {
    buffer += row_definition;
    buffer += kCellParagraph;
    buffer += "\\b\\f1\\fs20 ";
    for (const FieldInfo& field : fields) {
      AppendRtf(buffer, field.name);
      buffer += "\\cell ";
    }
    row_end();
  }
  std::vector<Variant> row;
  std::string text;
  while (source.ReadRow(row)) {
    buffer += row_definition;
    buffer += kCellParagraph;
    buffer += "\\fs20 ";
    for (size_t f = 0; f < row.size(); ++f) {
      if (f > 0) buffer += "\\cell ";
      const Variant& value = row[f];
      if (value.IsMissing()) {
        buffer += ' ';
      } else if (value.kind() == Variant::Kind::kText) {
        AppendRtf(buffer, value.AsText());
      } else {
        text.clear();
        exporter::AppendValue(text, value);
        AppendRtf(buffer, text);
      }
    }
    buffer += "\\cell";
    row_end();
    out.Ready();
  }
  source.CheckFetched();
  buffer += kClose;
}

}  // namespace

void DataSetExporter::ExportToWord(const Variant& title) {
  std::string heading = title.IsMissing() ? std::string() : title.ToText();
  std::shared_ptr<ExportSource> source = impl_->OpenSource();
  impl_->SetExportHeaders("application/msword", "doc");
  impl_->Deliver(std::move(source), [heading = std::move(heading)](
                                        ExportSource& rows, const ExportSettings& settings,
                                        exporter::ChunkWriter& out) {
    WriteWord(rows, settings, heading, out);
  });
}

}  // namespace quenmark
