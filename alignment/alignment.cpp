#include "alignment/alignment.h"

#include <ncl/ncl.h>
#include <ncl/nxsmultiformat.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <exception>
#include <istream>
#include <map>
#include <memory>
#include <new>
#include <optional>
#include <set>
#include <sstream>
#include <streambuf>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "alignment/ascii_stand_ins.h"
#include "alignment/ascii_text.h"
#include "alignment/raw_rows.h"
#include "alignment/row_set.h"
#include "alignment/taxon_names.h"
#include "alignment/text_checks.h"
#include "base/errors.h"

namespace dk {
namespace {

using Format = MultiFormatReader::DataFormatType;

std::string Number(std::size_t n) {
  return std::to_string(n);
}

bool IsAscii(std::string_view text) {
  return std::none_of(text.begin(), text.end(), [](char c) { return (c & 0x80) != 0; });
}

// True when `text` is empty or ends with a line break.
bool EndsLine(std::string_view text) {
  return text.empty() || text.back() == '\n' || text.back() == '\r';
}

constexpr int kNexusBlocks =
    PublicNexusReader::NEXUS_TAXA_BLOCK_BIT | PublicNexusReader::NEXUS_CHARACTERS_BLOCK_BIT |
    PublicNexusReader::NEXUS_ASSUMPTIONS_BLOCK_BIT | PublicNexusReader::NEXUS_SETS_BLOCK_BIT |
    PublicNexusReader::NEXUS_UNALIGNED_BLOCK_BIT;

// An input stream over pieces of text held elsewhere, read one after another as one
// text, without copying them. NCL seeks, asks for positions and puts characters back, so
// all three work across the pieces.
class PiecesBuffer : public std::streambuf {
 public:
  explicit PiecesBuffer(std::vector<std::string_view> pieces) : pieces_(std::move(pieces)) {
    if (pieces_.empty()) pieces_.emplace_back();
    std::size_t at = 0;
    for (const std::string_view piece : pieces_) {
      starts_.push_back(at);
      at += piece.size();
    }
    size_ = static_cast<off_type>(at);
    Enter(0, 0);
  }

 protected:
  int_type underflow() override {
    if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
    std::size_t next = piece_ + 1;
    while (next < pieces_.size() && pieces_[next].empty()) ++next;
    if (next >= pieces_.size()) return traits_type::eof();
    Enter(next, 0);
    return traits_type::to_int_type(*gptr());
  }

  int_type pbackfail(int_type c) override {
    const off_type at = Position();
    if (at == 0) return traits_type::eof();
    MoveTo(at - 1);
    if (!traits_type::eq_int_type(c, traits_type::eof()) &&
        traits_type::to_char_type(c) != *gptr()) {
      return traits_type::eof();  // the text is read-only
    }
    return traits_type::to_int_type(*gptr());
  }

  pos_type seekoff(off_type off, std::ios_base::seekdir dir,
                   std::ios_base::openmode which) override {
    if ((which & std::ios_base::in) == 0) return pos_type(off_type(-1));
    off_type base = 0;
    if (dir == std::ios_base::cur) base = Position();
    if (dir == std::ios_base::end) base = size_;
    const off_type target = base + off;
    if (target < 0 || target > size_) return pos_type(off_type(-1));
    MoveTo(target);
    return pos_type(target);
  }
  pos_type seekpos(pos_type pos, std::ios_base::openmode which) override {
    return seekoff(off_type(pos), std::ios_base::beg, which);
  }

 private:
  off_type Position() const { return static_cast<off_type>(starts_[piece_]) + (gptr() - eback()); }
  void MoveTo(off_type target) {
    const auto at = static_cast<std::size_t>(target);
    // The last piece starting at or before `at`: the one holding it, unless `at` is the
    // end (or the piece is empty, and underflow moves on).
    const std::size_t index =
        static_cast<std::size_t>(std::upper_bound(starts_.begin(), starts_.end(), at) -
                                 starts_.begin()) -
        1;
    Enter(index, at - starts_[index]);
  }
  void Enter(std::size_t index, std::size_t offset) {
    piece_ = index;
    char* begin = const_cast<char*>(pieces_[index].data());
    setg(begin, begin + offset, begin + pieces_[index].size());
  }

  std::vector<std::string_view> pieces_;
  std::vector<std::size_t> starts_;
  off_type size_ = 0;
  std::size_t piece_ = 0;
};

// One way of reading the text with NCL.
struct Attempt {
  Format ncl_format;
  InputFormat format;
  bool interleaved;
};

// What went wrong with an attempt, and how far into the text it got.
struct Failure {
  std::string message;
  long line = 0;
  long column = 0;
  long long position = 0;
  bool duplicate = false;  // NCL refused a repeated name: the layout read well
};

// A reader that keeps NCL quiet and deletes the blocks it made.
class Reader {
 public:
  explicit Reader(int blocks) : reader_(blocks, NxsReader::IGNORE_WARNINGS) {
    reader_.SetWarningOutputLevel(NxsReader::SUPPRESS_WARNINGS_LEVEL);
  }
  ~Reader() { reader_.DeleteBlocksFromFactories(); }
  Reader(const Reader&) = delete;
  Reader& operator=(const Reader&) = delete;
  MultiFormatReader& ncl() { return reader_; }

 private:
  MultiFormatReader reader_;
};

std::string OneLine(std::string text) {
  for (char& c : text) {
    if (c == '\n' || c == '\r' || c == '\t') c = ' ';
  }
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

// True when a FASTA record has a character after its ">" line.
bool HasCharacters(const FastaRecord& record) {
  const std::size_t line_end = record.text.find_first_of("\r\n");
  if (line_end == std::string::npos) return false;
  return record.text.find_first_not_of(" \t\r\n", line_end) != std::string::npos;
}

// ---- Running NCL.

std::vector<Attempt> AttemptsFor(InputFormat format) {
  const bool strict_ok = format == InputFormat::kPhylip || format == InputFormat::kPhylipStrict;
  const bool relaxed_ok = format == InputFormat::kPhylip || format == InputFormat::kPhylipRelaxed;
  switch (format) {
    case InputFormat::kFasta:
      return {{MultiFormatReader::FASTA_DNA_FORMAT, format, false},
              {MultiFormatReader::FASTA_RNA_FORMAT, format, false},
              {MultiFormatReader::FASTA_AA_FORMAT, format, false}};
    case InputFormat::kNexus:
      return {{MultiFormatReader::NEXUS_FORMAT, format, false}};
    case InputFormat::kPhylip:
    case InputFormat::kPhylipStrict:
    case InputFormat::kPhylipRelaxed: {
      // The most demanding data type first: nucleotides accept the fewest symbols, so a
      // layout that reads as DNA is the right one.
      const Format types[3][4] = {
          {MultiFormatReader::RELAXED_PHYLIP_DNA_FORMAT,
           MultiFormatReader::INTERLEAVED_RELAXED_PHYLIP_DNA_FORMAT,
           MultiFormatReader::PHYLIP_DNA_FORMAT, MultiFormatReader::INTERLEAVED_PHYLIP_DNA_FORMAT},
          {MultiFormatReader::RELAXED_PHYLIP_RNA_FORMAT,
           MultiFormatReader::INTERLEAVED_RELAXED_PHYLIP_RNA_FORMAT,
           MultiFormatReader::PHYLIP_RNA_FORMAT, MultiFormatReader::INTERLEAVED_PHYLIP_RNA_FORMAT},
          {MultiFormatReader::RELAXED_PHYLIP_AA_FORMAT,
           MultiFormatReader::INTERLEAVED_RELAXED_PHYLIP_AA_FORMAT,
           MultiFormatReader::PHYLIP_AA_FORMAT, MultiFormatReader::INTERLEAVED_PHYLIP_AA_FORMAT}};
      std::vector<Attempt> attempts;
      for (const auto& type : types) {
        if (relaxed_ok) {
          attempts.push_back({type[0], InputFormat::kPhylipRelaxed, false});
          attempts.push_back({type[1], InputFormat::kPhylipRelaxed, true});
        }
        if (strict_ok) {
          attempts.push_back({type[2], InputFormat::kPhylipStrict, false});
          attempts.push_back({type[3], InputFormat::kPhylipStrict, true});
        }
      }
      return attempts;
    }
    case InputFormat::kList:
      break;
  }
  Raise("A name list is not an alignment");
}

DataKind KindOf(NxsCharactersBlock::DataTypesEnum type) {
  switch (type) {
    case NxsCharactersBlock::dna:
    case NxsCharactersBlock::nucleotide:
      return DataKind::kDna;
    case NxsCharactersBlock::rna:
      return DataKind::kRna;
    case NxsCharactersBlock::protein:
      return DataKind::kProtein;
    case NxsCharactersBlock::standard:
      return DataKind::kStandard;
    default:
      return DataKind::kOther;
  }
}

// "1-3 5 7-9" for the 0-based characters {0, 1, 2, 4, 6, 7, 8}.
std::string CharacterRanges(const NxsUnsignedSet& set) {
  std::string out;
  auto it = set.begin();
  while (it != set.end()) {
    const unsigned first = *it;
    unsigned last = first;
    ++it;
    while (it != set.end() && *it == last + 1) last = *it++;
    if (!out.empty()) out += ' ';
    out += std::to_string(first + 1);
    if (last != first) out += "-" + std::to_string(last + 1);
  }
  return out;
}

std::string SetsCommands(MultiFormatReader& reader, NxsCharactersBlock* block) {
  std::string out;
  const unsigned count = reader.GetNumAssumptionsBlocks(block);
  for (unsigned b = 0; b < count; ++b) {
    NxsAssumptionsBlock* sets = reader.GetAssumptionsBlock(block, b);
    NxsStringVector names;
    sets->GetCharSetNames(names);
    for (const auto& name : names) {
      const NxsUnsignedSet* chars = sets->GetCharSet(name);
      if (chars == nullptr || chars->empty()) continue;
      out += "  CHARSET " + NexusQuoted(name) + " = " + CharacterRanges(*chars) + ";\n";
    }
    std::vector<std::string> partitions;
    sets->GetCharPartitionNames(partitions);
    for (const auto& name : partitions) {
      const NxsPartition* partition = sets->GetCharPartition(name);
      if (partition == nullptr || partition->empty()) continue;
      std::string parts;
      for (const auto& [part, chars] : *partition) {
        if (!parts.empty()) parts += ", ";
        parts += NexusQuoted(part) + ": " + CharacterRanges(chars);
      }
      out += "  CHARPARTITION " + NexusQuoted(name) + " = " + parts + ";\n";
    }
  }
  return out;
}

std::string CharactersCommands(NxsCharactersBlock* block) {
  std::ostringstream format, state_labels, labels, eliminated;
  block->WriteFormatCommand(format);
  block->WriteCharStateLabelsCommand(state_labels);
  block->WriteEliminateCommand(eliminated);
  std::string out = format.str();
  if (!state_labels.str().empty()) {
    out += state_labels.str();
  } else {
    block->WriteCharLabelsCommand(labels);
    out += labels.str();
  }
  return out + eliminated.str();
}

// Each taxon's states in NEXUS notation. NCL writes a row a state at a time through a
// stream; with one data type for all characters, a table from state code to text built
// once does the same work many times faster.
// With `build` false, only checks the states and returns empty rows.
std::vector<std::string> Rows(NxsCharactersBlock* chars, std::size_t taxa, std::size_t characters,
                              bool build) {
  std::vector<std::string> rows(taxa);
  const NxsDiscreteStateMatrix& matrix = chars->GetRawDiscreteMatrixRef();
  const NxsDiscreteDatatypeMapper* mapper =
      characters > 0 && !chars->IsMixedType() ? chars->GetDatatypeMapperForChar(0) : nullptr;
  if (mapper == nullptr || matrix.size() != taxa) {
    if (!build) return rows;
    for (unsigned i = 0; i < taxa; ++i) {
      std::ostringstream row;
      chars->WriteStatesForTaxonAsNexus(row, i, 0, static_cast<unsigned>(characters));
      rows[i] = row.str();
    }
    return rows;
  }
  const int lowest = NXS_GAP_STATE_CODE;
  std::vector<std::string> text(
      static_cast<std::size_t>(mapper->GetHighestStateCode() - lowest + 1));
  std::vector<bool> known(text.size(), false);
  for (std::size_t i = 0; i < taxa; ++i) {
    const NxsDiscreteStateRow& codes = matrix[i];
    if (codes.size() != characters) {
      throw NxsException("row " + Number(i + 1) + " has " + Number(codes.size()) +
                         " characters where " + Number(characters) + " are declared");
    }
    std::string& row = rows[i];
    if (build) row.reserve(characters);
    for (std::size_t j = 0; j < characters; ++j) {
      const NxsDiscreteStateCell code = codes[j];
      const std::size_t slot = static_cast<std::size_t>(code - lowest);
      if (code < lowest || slot >= text.size()) {
        // A reading with the wrong data type can store codes it has no state for; the
        // attempt fails as NCL's own writer would make it fail.
        throw NxsException("character " + Number(j + 1) + " of taxon " + Number(i + 1) +
                           " is no state of the data type");
      }
      if (!known[slot]) {
        text[slot] = mapper->StateCodeToNexusString(code);
        known[slot] = true;
      }
      if (build) row += text[slot];
    }
  }
  return rows;
}

[[noreturn]] void RaiseUnequalLengths(NxsUnalignedBlock* block,
                                      const std::vector<std::string>& names,
                                      const std::string& file) {
  std::vector<std::size_t> lengths;
  std::map<std::size_t, std::size_t> tally;
  for (unsigned i = 0; i < names.size(); ++i) {
    lengths.push_back(block->NumCharsForTaxon(i));
    ++tally[lengths.back()];
  }
  std::size_t common = 0, most = 0;
  for (const auto& [length, n] : tally) {
    if (n > most) common = length, most = n;
  }
  std::string odd;
  std::size_t listed = 0, unlisted = 0;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (lengths[i] == common) continue;
    if (listed == 10) {
      ++unlisted;
      continue;
    }
    odd += (listed == 0 ? "" : ", ") + QuoteForMessage(names[i]) + " has " + Number(lengths[i]);
    ++listed;
  }
  if (unlisted > 0) odd += " and " + Number(unlisted) + " more differ";
  Raise("Cannot use " + QuoteForMessage(file) +
        " as an alignment: its sequences differ in length: " + Number(most) + " have " +
        Number(common) + " characters, but " + odd);
}

// A FASTA name may hold a tab until it is known whether its whole line names the taxon
// (`tab_allowed`): its first word never holds one.
void CheckName(const std::string& name, std::size_t index, const std::string& file,
               bool tab_allowed = false) {
  if (name.empty()) {
    Raise("Cannot read " + QuoteForMessage(file) + ": taxon " + Number(index + 1) + " has no name");
  }
  if (name.find_first_of(tab_allowed ? "\n\r" : "\t\n\r") != std::string::npos) {
    Raise("Cannot read " + QuoteForMessage(file) + ": the name of taxon " + Number(index + 1) +
          " (" + QuoteForMessage(name) + ") holds a tab or line break");
  }
  if (std::any_of(name.begin(), name.end(),
                  [&](char c) { return IsControlByte(c) && !(tab_allowed && c == '\t'); })) {
    Raise("Cannot read " + QuoteForMessage(file) + ": the name of taxon " + Number(index + 1) +
          " (" + QuoteForMessage(name) + ") holds a control character");
  }
}

// Takes what a pruned copy needs from a reader that read the text.
// `text` is what NCL read (of the same length as `original`, the input); FASTA rows are
// runs of `original`, which the records are views into.
Alignment Collect(MultiFormatReader& reader, const Attempt& attempt, std::string_view text,
                  std::string_view original, const std::vector<FastaRecord>* records,
                  const AsciiStandIns& stand_ins, const std::string& file) {
  if (reader.GetNumTaxaBlocks() == 0) {
    Raise("Cannot read " + QuoteForMessage(file) +
          ": it holds no taxa (no TAXA, DATA or CHARACTERS block)");
  }
  if (reader.GetNumTaxaBlocks() != 1) {
    Raise("Cannot read " + QuoteForMessage(file) + ": it holds " +
          Number(reader.GetNumTaxaBlocks()) + " sets of taxa; one is needed");
  }
  NxsTaxaBlock* taxa = reader.GetTaxaBlock(0);
  Alignment out;
  out.format = attempt.format;
  out.interleaved = attempt.interleaved;
  std::map<std::string, unsigned> seen;
  for (unsigned i = 0; i < taxa->GetNTax(); ++i) {
    std::string name = taxa->GetTaxonLabel(i);
    CheckName(name, i, file, attempt.format == InputFormat::kFasta);
    // NEXUS reads an underscore as a blank; the names keep the underscores, as the file
    // usually spells them and as tree programs write them.
    if (attempt.format == InputFormat::kNexus) std::replace(name.begin(), name.end(), ' ', '_');
    const auto [it, fresh] = seen.emplace(AsciiUpper(name), i);
    if (!fresh) {
      Raise("Cannot read " + QuoteForMessage(file) + ": taxa " + Number(it->second + 1) + " and " +
            Number(i + 1) + " are both named " + QuoteForMessage(name) +
            " (NEXUS reads blanks and underscores alike and ignores letter case)");
    }
    out.names.push_back(std::move(name));
  }
  if (out.names.empty()) Raise("Cannot read " + QuoteForMessage(file) + ": it holds no taxa");
  if (reader.GetNumUnalignedBlocks(taxa) > 0) {
    RaiseUnequalLengths(reader.GetUnalignedBlock(taxa, 0), out.names, file);
  }
  const unsigned blocks = reader.GetNumCharactersBlocks(taxa);
  if (blocks != 1) {
    Raise("Cannot read " + QuoteForMessage(file) + ": it holds " + Number(blocks) +
          " DATA or CHARACTERS blocks; exactly one is needed");
  }
  NxsCharactersBlock* chars = reader.GetCharactersBlock(taxa, 0);
  if (chars->GetNTaxWithData() != out.names.size()) {
    Raise("Cannot read " + QuoteForMessage(file) + ": it names " + Number(out.names.size()) +
          " taxa but its matrix has rows for " + Number(chars->GetNTaxWithData()));
  }
  out.kind = KindOf(chars->GetDataType());
  out.characters = chars->GetNCharTotal();
  if (attempt.format == InputFormat::kFasta) {
    if (records->size() != out.names.size()) {
      Raise("Cannot read " + QuoteForMessage(file) + ": found " + Number(records->size()) +
            " sequences where NCL read " + Number(out.names.size()));
    }
    for (std::size_t i = 0; i < records->size(); ++i) {
      if (stand_ins.Of((*records)[i].name) != out.names[i]) {
        Raise("Cannot read " + QuoteForMessage(file) + ": sequence " + Number(i + 1) +
              " is named " + QuoteForMessage((*records)[i].name) + " but NCL read " +
              QuoteForMessage(out.names[i]));
      }
      out.names[i] = (*records)[i].name;
      const std::string_view record = (*records)[i].text;
      out.rows.AddRun(static_cast<std::size_t>(record.data() - original.data()), record.size());
    }
    return out;
  }
  // The rows are taken from the text as written; NCL's reading checked the states. A
  // transposed matrix is written as NCL reads it, which keeps the states but not the
  // digits of measurements.
  const bool continuous = chars->GetDataType() == NxsCharactersBlock::continuous;
  if (attempt.format == InputFormat::kNexus && chars->IsTranspose()) {
    if (continuous) {
      Raise("Cannot read " + QuoteForMessage(file) +
            ": its continuous matrix is TRANSPOSE'd, and its values could not be written "
            "to the pruned copies exactly as they stand; write the matrix untransposed");
    }
    for (std::string& row : Rows(chars, out.names.size(), out.characters, true)) {
      out.rows.AddOwn(std::move(row));
    }
  } else {
    Rows(chars, out.names.size(), out.characters, false);
    MatrixLayout layout;
    layout.format = attempt.format;
    layout.interleaved =
        attempt.format == InputFormat::kNexus ? chars->IsInterleave() : attempt.interleaved;
    layout.tokens = continuous || chars->IsTokens();
    layout.labels = attempt.format != InputFormat::kNexus || chars->IsLabels();
    layout.matchchar = attempt.format == InputFormat::kNexus ? chars->GetMatchcharSymbol() : '.';
    layout.characters = out.characters;
    layout.taxa = out.names.size();
    if (attempt.format == InputFormat::kNexus) {
      out.rows = RawRows(text, layout, out.names, file).rows;
    } else {
      try {
        out.rows = RawRows(text, layout, out.names, file).rows;
      } catch (const RuntimeError& e) {
        throw NxsException(e.what());  // this attempt's layout is not the file's
      }
    }
  }
  if (attempt.format == InputFormat::kNexus) {
    out.nexus_characters = CharactersCommands(chars);
    out.nexus_sets = SetsCommands(reader, chars);
  }
  return out;
}

const char* FormatTitle(InputFormat format) {
  switch (format) {
    case InputFormat::kFasta:
      return "FASTA";
    case InputFormat::kNexus:
      return "NEXUS";
    case InputFormat::kPhylipStrict:
      return "strict PHYLIP";
    case InputFormat::kPhylipRelaxed:
      return "relaxed PHYLIP";
    default:
      return "PHYLIP";
  }
}

std::string FailureText(const Failure& f) {
  std::string text = EscapeForMessage(OneLine(f.message));
  if (f.line > 0) {
    text += " (line " + std::to_string(f.line);
    if (f.column > 0) text += ", column " + std::to_string(f.column);
    text += ")";
  }
  return text;
}

// NCL's message for a repeated name holds the name in capitals.
std::string DuplicateText(const std::string& message) {
  const std::string lead = "The label ", tail = " has already been stored";
  const std::size_t a = message.find(lead);
  const std::size_t b = message.find(tail);
  if (a == std::string::npos || b == std::string::npos || b < a + lead.size()) {
    return EscapeForMessage(OneLine(message));
  }
  const std::string name = message.substr(a + lead.size(), b - a - lead.size());
  return "the taxon name " + QuoteForMessage(name) +
         " is given twice (names are compared ignoring letter case)";
}

// Reads the whole text with NCL at once, trying each reading in turn; raises the
// message of the reading that got furthest when none reads. The rows are runs of
// `bytes` (or texts of their own).
Alignment ReadWhole(std::string_view bytes, InputFormat format,
                    const std::vector<FastaRecord>& records, const std::string& file_name) {
  const bool phylip = format == InputFormat::kPhylip || format == InputFormat::kPhylipStrict ||
                      format == InputFormat::kPhylipRelaxed;
  // NCL's FASTA and PHYLIP readers drop bytes beyond ASCII from names: they read a
  // stand-in text, and the names are taken back from the original.
  AsciiStandIns stand_ins;
  std::string replaced;
  std::string_view text = bytes;
  if (format != InputFormat::kNexus && !IsAscii(bytes)) {
    replaced = bytes;
    if (stand_ins.Apply(&replaced)) text = replaced;
  }
  // NCL's FASTA reader misses a last line without a line break.
  PiecesBuffer buffer({text, EndsLine(text) ? "" : "\n"});
  std::istream in(&buffer);
  std::optional<Failure> best;
  for (const Attempt& attempt : AttemptsFor(format)) {
    in.clear();
    in.seekg(0);
    Reader reader(kNexusBlocks);
    Failure failure;
    try {
      reader.ncl().ReadStream(in, attempt.ncl_format, file_name.c_str());
      Alignment alignment =
          Collect(reader.ncl(), attempt, text, bytes, &records, stand_ins, file_name);
      const auto unread =
          phylip ? UnreadPhylipText(text, alignment.names, alignment.rows) : std::nullopt;
      if (!unread) {
        if (phylip && text.data() != bytes.data()) {
          alignment.names = AsciiStandIns::Originals(bytes, text, alignment.names);
        }
        return alignment;
      }
      failure = {*unread, 0, 0, static_cast<long long>(text.size()), false};
    } catch (const DuplicatedLabelNxsException& e) {
      failure = {DuplicateText(e.msg), 0, 0, 0, true};
    } catch (const NxsException& e) {
      failure = {e.msg, e.line, e.col, static_cast<long long>(e.pos), false};
    } catch (const std::bad_alloc&) {
      throw;
    } catch (const RuntimeError&) {
      throw;  // a finding of ours, such as sequences of unequal length
    } catch (const std::exception& e) {
      failure = {e.what(), 0, 0, 0, false};  // anything else NCL throws
    } catch (const NxsString::NxsX_NotANumber&) {
      failure = {"a value is not a number NCL can read", 0, 0, 0, false};
    } catch (...) {
      failure = {"NCL could not read it", 0, 0, 0, false};
    }
    // The attempt that read furthest before failing is the likeliest reading.
    if (!best || (failure.duplicate && !best->duplicate) ||
        (failure.duplicate == best->duplicate && failure.position > best->position)) {
      best = failure;
    }
  }
  Raise("Cannot read " + QuoteForMessage(file_name) + " as " + FormatTitle(format) + ": " +
        FailureText(*best));
}

// ---- Reading a few taxa at a time.
//
// NCL holds every cell of the matrix it reads, several times the text's size. So a text
// is first read in chunks of taxa: NCL reads, for each chunk, the text with the rows of
// the other taxa left out, and the rows are taken from the text. A chunk holds the first
// taxon too where a match character refers to it. Whatever does not read in chunks
// exactly as the whole text would (a failure of any kind, a layout this cannot take
// apart) is read whole instead, so that every message is the whole reading's.

// Taxa NCL reads at a time: about `chunk_cells` cells, by default a 64th of the matrix
// (but not under 16,384 cells, so that a small text reads at once), and one taxon at
// least.
std::size_t TaxaPerChunk(std::size_t taxa, std::size_t characters, std::size_t chunk_cells) {
  const std::size_t per_taxon = std::max<std::size_t>(characters, 1);
  if (chunk_cells == 0) chunk_cells = std::max<std::size_t>(taxa * per_taxon / 64, 1 << 14);
  return std::clamp<std::size_t>(chunk_cells / per_taxon, 1, std::max<std::size_t>(taxa, 1));
}

// What the chunks of one reading agree on.
struct ChunkResult {
  NxsCharactersBlock::DataTypesEnum type = NxsCharactersBlock::standard;
  std::size_t characters = 0;
};

// Reads `pieces` with NCL as `ncl_format` and checks that it holds `taxa` taxa with one
// matrix of rows for all of them, of the type and count of characters of earlier
// chunks (set by the `first`), and (but for FASTA, as the whole reading) every state. Returns the
// reader (for a first chunk's commands) with the names NCL read in `*names`, or nullptr when the
// chunk does not read.
std::unique_ptr<Reader> ReadChunk(std::vector<std::string_view> pieces, Format ncl_format,
                                  std::size_t taxa, bool first, ChunkResult* result,
                                  std::vector<std::string>* names, const std::string& file) {
  auto reader = std::make_unique<Reader>(kNexusBlocks);
  MultiFormatReader& ncl = reader->ncl();
  try {
    PiecesBuffer buffer(std::move(pieces));
    std::istream in(&buffer);
    ncl.ReadStream(in, ncl_format, file.c_str());
    if (ncl.GetNumTaxaBlocks() != 1) return nullptr;
    NxsTaxaBlock* block = ncl.GetTaxaBlock(0);
    if (block->GetNTax() != taxa || ncl.GetNumUnalignedBlocks(block) != 0 ||
        ncl.GetNumCharactersBlocks(block) != 1) {
      return nullptr;
    }
    NxsCharactersBlock* chars = ncl.GetCharactersBlock(block, 0);
    if (chars->GetNTaxWithData() != taxa || chars->IsTranspose()) return nullptr;
    const std::size_t characters = chars->GetNCharTotal();
    if (first) {
      result->type = chars->GetDataType();
      result->characters = characters;
    } else if (chars->GetDataType() != result->type || characters != result->characters) {
      return nullptr;
    }
    if (ncl_format != MultiFormatReader::FASTA_DNA_FORMAT &&
        ncl_format != MultiFormatReader::FASTA_RNA_FORMAT &&
        ncl_format != MultiFormatReader::FASTA_AA_FORMAT) {
      Rows(chars, taxa, characters, false);  // the states, as the whole reading checks them
    }
    names->clear();
    for (unsigned i = 0; i < taxa; ++i) names->push_back(block->GetTaxonLabel(i));
  } catch (const std::bad_alloc&) {
    throw;
  } catch (...) {
    return nullptr;
  }
  return reader;
}

// True when `names` could be the whole reading's: each valid, none twice.
bool NamesHold(const std::vector<std::string>& names) {
  std::set<std::string> seen;
  for (const auto& name : names) {
    if (name.empty() || std::any_of(name.begin(), name.end(), IsControlByte)) return false;
    if (!seen.insert(AsciiUpper(name)).second) return false;
  }
  return true;
}

// A chunk's text made of `pieces`, copied with stand-ins where it has bytes beyond
// ASCII (NCL's FASTA and PHYLIP readers drop them from names): `*copy` and `*replaced`
// hold the original and the replaced text. Pieces that are all ASCII are left as they are.
bool StandInPieces(std::vector<std::string_view>* pieces, AsciiStandIns* stand_ins,
                   std::string* copy, std::string* replaced) {
  if (std::all_of(pieces->begin(), pieces->end(), IsAscii)) return true;
  copy->clear();
  for (const std::string_view piece : *pieces) copy->append(piece);
  *replaced = *copy;
  if (!stand_ins->Apply(replaced)) return false;
  *pieces = {*replaced};
  return true;
}

// The taxa of one chunk, in the order NCL is to read them.
struct Chunk {
  std::vector<std::size_t> taxa;
  bool repeats_first = false;  // taxa[0] is the first-row taxon, which another chunk holds
};

// The taxa in chunks of `per`. With `first` (the taxon of the matrix's first row, which
// match characters refer to), each chunk holds that taxon, ahead of the others. An
// interleaved matrix of one taxon does not read in NCL, so with `interleaved` every chunk
// holds two taxa at least.
std::vector<Chunk> Chunks(std::size_t taxa, std::size_t per, std::optional<std::size_t> first,
                          bool interleaved) {
  if (interleaved) per = std::max<std::size_t>(per, 2);
  std::vector<Chunk> chunks;
  for (std::size_t begin = 0; begin < taxa; begin += per) {
    const std::size_t end = std::min(taxa, begin + per);
    if (interleaved && end - begin == 1 && !first && !chunks.empty()) {
      chunks.back().taxa.push_back(begin);  // a last taxon alone joins the chunk before
      break;
    }
    Chunk chunk;
    if (first) {
      chunk.repeats_first = *first < begin || *first >= end;
      chunk.taxa.push_back(*first);
    }
    for (std::size_t t = begin; t < end; ++t) {
      if (!first || t != *first) chunk.taxa.push_back(t);
    }
    chunks.push_back(std::move(chunk));
  }
  return chunks;
}

// The names the chunks read, put in taxon order; the first-row taxon, which chunks
// repeat, must read the same every time.
class ChunkNames {
 public:
  explicit ChunkNames(std::size_t taxa) : names_(taxa) {}

  bool Take(const Chunk& chunk, const std::vector<std::string>& read) {
    if (read.size() != chunk.taxa.size()) return false;
    for (std::size_t i = 0; i < read.size(); ++i) {
      if (i == 0 && chunk.repeats_first) {
        if (!repeated_.empty() && repeated_ != read[i]) return false;
        repeated_ = read[i];
      } else {
        names_[chunk.taxa[i]] = read[i];
      }
    }
    return true;
  }

  // The names, or nullopt when the repeated taxon read otherwise in its own chunk.
  std::optional<std::vector<std::string>> All(std::size_t first) {
    if (!repeated_.empty() && repeated_ != names_[first]) return std::nullopt;
    return std::move(names_);
  }

 private:
  std::vector<std::string> names_;
  std::string repeated_;
};

// The rows of `chunk` as NCL is to read them: each taxon's row, or for an interleaved
// matrix each block's lines in turn.
void AddRows(std::string_view text, const RawMatrix& matrix, const Chunk& chunk,
             std::vector<std::string_view>* pieces) {
  std::size_t blocks = 0;
  for (const std::size_t t : chunk.taxa) blocks = std::max(blocks, matrix.places[t].size());
  for (std::size_t b = 0; b < blocks; ++b) {
    for (const std::size_t t : chunk.taxa) {
      if (b >= matrix.places[t].size()) continue;
      const TextRange place = matrix.places[t][b];
      pieces->push_back(text.substr(place.offset, place.size));
      pieces->push_back("\n");
    }
  }
}

// True when every row's place ends where NCL's reading of the whole text ends it too: at
// a blank (or the end; for NEXUS also at a ';' or a comment), and for PHYLIP (`lines`)
// with nothing but blanks after it on its line. Otherwise a chunk's text, which puts a
// line break after each place, could read where the whole text does not.
bool PlacesStandAlone(std::string_view text, const RawMatrix& matrix, bool lines) {
  for (const auto& places : matrix.places) {
    for (const TextRange place : places) {
      std::size_t at = place.offset + place.size;
      if (at == text.size()) continue;
      if (!lines) {
        if (!IsAsciiSpace(text[at]) && text[at] != ';' && text[at] != '[') return false;
        continue;
      }
      while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
      if (at < text.size() && text[at] != '\n' && text[at] != '\r') return false;
    }
  }
  return true;
}

std::optional<Alignment> FastaInChunks(std::string_view text,
                                       const std::vector<FastaRecord>& records,
                                       std::size_t chunk_cells, const std::string& file) {
  // NCL refuses text before the first record, which FastaRecords passes over, and leaks
  // what it made when a chunk's sequences hold no characters.
  if (records.empty() || records.front().text.data() != text.data() ||
      !std::all_of(records.begin(), records.end(), HasCharacters)) {
    return std::nullopt;
  }
  // The count of characters is NCL's to find; a record's size stands in for it.
  std::size_t longest = 1;
  for (const auto& record : records) longest = std::max(longest, record.text.size());
  const std::size_t per = TaxaPerChunk(records.size(), longest, chunk_cells);
  for (const Attempt& attempt : AttemptsFor(InputFormat::kFasta)) {
    AsciiStandIns stand_ins;
    ChunkResult result;
    std::vector<std::string> read;
    bool read_all = true;
    for (std::size_t begin = 0; begin < records.size() && read_all; begin += per) {
      const std::size_t end = std::min(records.size(), begin + per);
      const char* from = records[begin].text.data();
      const std::string_view last = records[end - 1].text;
      std::vector<std::string_view> pieces{
          std::string_view(from, static_cast<std::size_t>(last.data() + last.size() - from))};
      if (!EndsLine(last)) pieces.push_back("\n");
      std::string copy, replaced;
      read_all =
          StandInPieces(&pieces, &stand_ins, &copy, &replaced) &&
          ReadChunk(pieces, attempt.ncl_format, end - begin, begin == 0, &result, &read, file);
      for (std::size_t i = begin; read_all && i < end; ++i) {
        read_all = stand_ins.Of(records[i].name) == read[i - begin];
      }
    }
    if (!read_all) continue;
    Alignment out;
    out.format = InputFormat::kFasta;
    out.kind = KindOf(result.type);
    out.characters = result.characters;
    for (const auto& record : records) {
      out.names.push_back(record.name);
      out.rows.AddRun(static_cast<std::size_t>(record.text.data() - text.data()),
                      record.text.size());
    }
    if (!NamesHold(out.names)) return std::nullopt;
    return out;
  }
  return std::nullopt;
}

// The taxon count on a PHYLIP text's first line, and the line's end.
struct PhylipHeader {
  TextRange taxa_digits;
  std::size_t line_end = 0;  // after its line break
  std::size_t taxa = 0;
  std::size_t characters = 0;
};

std::optional<PhylipHeader> ReadPhylipHeader(std::string_view text) {
  PhylipHeader h;
  std::size_t i = 0;
  while (i < text.size() && IsAsciiSpace(text[i])) ++i;
  const auto number = [&](std::size_t* n) {
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    const auto [end, ec] = std::from_chars(text.data() + i, text.data() + text.size(), *n);
    if (ec != std::errc()) return false;
    i = static_cast<std::size_t>(end - text.data());
    return true;
  };
  const std::size_t at = i;
  if (!number(&h.taxa)) return std::nullopt;
  h.taxa_digits = {at, i - at};
  if (!number(&h.characters)) return std::nullopt;
  const std::size_t end = text.find('\n', i);
  h.line_end = end == std::string_view::npos ? text.size() : end + 1;
  return h;
}

std::optional<Alignment> PhylipInChunks(std::string_view text, InputFormat format,
                                        std::size_t chunk_cells, const std::string& file) {
  const auto header = ReadPhylipHeader(text);
  if (!header || header->taxa == 0) return std::nullopt;
  const std::size_t per = TaxaPerChunk(header->taxa, header->characters, chunk_cells);
  for (const Attempt& attempt : AttemptsFor(format)) {
    MatrixLayout layout;
    layout.format = attempt.format;
    layout.interleaved = attempt.interleaved;
    layout.matchchar = '.';
    layout.characters = header->characters;
    layout.taxa = header->taxa;
    RawMatrix matrix;
    try {
      matrix = RawRows(text, layout, {}, file);
    } catch (const RuntimeError&) {
      continue;  // not this layout
    }
    // A row that ends inside a word is no reading NCL makes of the whole text either.
    if (!PlacesStandAlone(text, matrix, true)) continue;
    AsciiStandIns stand_ins;
    ChunkResult result;
    ChunkNames chunk_names(header->taxa);
    const std::optional<std::size_t> first =
        matrix.matched ? std::optional<std::size_t>(matrix.first_taxon) : std::nullopt;
    bool read_all = true, first_chunk = true;
    for (const Chunk& chunk : Chunks(header->taxa, per, first, attempt.interleaved)) {
      const std::string count = std::to_string(chunk.taxa.size());
      const TextRange digits = header->taxa_digits;
      std::vector<std::string_view> pieces{
          text.substr(0, digits.offset), count,
          text.substr(digits.offset + digits.size, header->line_end - digits.offset - digits.size)};
      if (!EndsLine(pieces.back())) pieces.push_back("\n");
      AddRows(text, matrix, chunk, &pieces);
      std::string copy, replaced;
      std::vector<std::string> read;
      if (!StandInPieces(&pieces, &stand_ins, &copy, &replaced) ||
          !ReadChunk(pieces, attempt.ncl_format, chunk.taxa.size(), first_chunk, &result, &read,
                     file)) {
        read_all = false;
        break;
      }
      first_chunk = false;
      if (!copy.empty()) read = AsciiStandIns::Originals(copy, replaced, read);
      if (!chunk_names.Take(chunk, read)) {
        read_all = false;
        break;
      }
    }
    if (!read_all) continue;
    auto all = chunk_names.All(matrix.first_taxon);
    if (!all) continue;
    std::vector<std::string> names = std::move(*all);
    if (UnreadPhylipText(text, names, matrix.rows)) continue;
    if (!NamesHold(names)) return std::nullopt;
    Alignment out;
    out.format = attempt.format;
    out.interleaved = attempt.interleaved;
    out.kind = KindOf(result.type);
    out.characters = result.characters;
    out.names = std::move(names);
    out.rows = std::move(matrix.rows);
    return out;
  }
  return std::nullopt;
}

std::optional<Alignment> NexusInChunks(std::string_view text, std::size_t chunk_cells,
                                       const std::string& file) {
  const auto shape = ScanNexusShape(text);
  if (!shape || shape->layout.taxa == 0) return std::nullopt;
  const MatrixLayout& layout = shape->layout;
  if (!layout.labels && shape->names.empty()) return std::nullopt;
  RawMatrix matrix;
  try {
    matrix = RawRows(text, layout, shape->names, file);
  } catch (const RuntimeError&) {
    return std::nullopt;
  }
  if (matrix.numbered || matrix.block_end == 0 || !PlacesStandAlone(text, matrix, false)) {
    return std::nullopt;
  }
  const std::vector<std::string>& ours = shape->names.empty() ? matrix.names : shape->names;
  if (ours.size() != layout.taxa) return std::nullopt;
  const std::size_t per = TaxaPerChunk(layout.taxa, layout.characters, chunk_cells);
  ChunkResult result;
  ChunkNames chunk_names(layout.taxa);
  Alignment out;
  bool first = true;
  const std::optional<std::size_t> first_taxon =
      matrix.matched ? std::optional<std::size_t>(matrix.first_taxon) : std::nullopt;
  for (const Chunk& chunk : Chunks(layout.taxa, per, first_taxon, layout.interleaved)) {
    const std::string count = std::to_string(chunk.taxa.size());
    const TextRange ntax = shape->ntax;
    const std::size_t after_count = ntax.offset + ntax.size;
    std::vector<std::string_view> pieces{text.substr(0, ntax.offset), count};
    if (shape->taxlabels.empty()) {
      pieces.push_back(text.substr(after_count, shape->matrix_begin - after_count));
    } else {
      const TextRange front = shape->taxlabels.front(), back = shape->taxlabels.back();
      pieces.push_back(text.substr(after_count, front.offset - after_count));
      for (const std::size_t t : chunk.taxa) {
        pieces.push_back(text.substr(shape->taxlabels[t].offset, shape->taxlabels[t].size));
        pieces.push_back(" ");
      }
      const std::size_t after_labels = back.offset + back.size;
      pieces.push_back(text.substr(after_labels, shape->matrix_begin - after_labels));
    }
    pieces.push_back("\n");
    AddRows(text, matrix, chunk, &pieces);
    pieces.push_back(text.substr(matrix.matrix_end, matrix.block_end - matrix.matrix_end));
    // The blocks after the matrix (character sets) are read with the first chunk.
    pieces.push_back(first ? text.substr(matrix.block_end) : std::string_view("\n"));
    std::vector<std::string> read;
    const auto reader = ReadChunk(pieces, MultiFormatReader::NEXUS_FORMAT, chunk.taxa.size(), first,
                                  &result, &read, file);
    if (!reader) return std::nullopt;
    NxsCharactersBlock* chars = reader->ncl().GetCharactersBlock(reader->ncl().GetTaxaBlock(0), 0);
    const bool continuous = chars->GetDataType() == NxsCharactersBlock::continuous;
    if (chars->IsInterleave() != layout.interleaved || chars->IsLabels() != layout.labels ||
        (continuous || chars->IsTokens()) != layout.tokens ||
        chars->GetMatchcharSymbol() != layout.matchchar || continuous != shape->continuous) {
      return std::nullopt;  // the first look read the FORMAT otherwise than NCL
    }
    if (first) {
      out.nexus_characters = CharactersCommands(chars);
      out.nexus_sets = SetsCommands(reader->ncl(), chars);
    }
    for (std::string& name : read) std::replace(name.begin(), name.end(), ' ', '_');
    if (!chunk_names.Take(chunk, read)) return std::nullopt;
    first = false;
  }
  auto names = chunk_names.All(matrix.first_taxon);
  if (!names || *names != ours || !NamesHold(*names)) return std::nullopt;
  out.format = InputFormat::kNexus;
  out.kind = KindOf(result.type);
  out.characters = result.characters;
  out.names = std::move(*names);
  out.rows = std::move(matrix.rows);
  return out;
}

// The text read a few taxa at a time, or nullopt where it must be read whole.
std::optional<Alignment> ReadInChunks(std::string_view text, InputFormat format,
                                      const std::vector<FastaRecord>& records,
                                      const std::string& file, std::size_t chunk_cells) {
  switch (format) {
    case InputFormat::kFasta:
      return FastaInChunks(text, records, chunk_cells, file);
    case InputFormat::kNexus:
      return NexusInChunks(text, chunk_cells, file);
    case InputFormat::kPhylip:
    case InputFormat::kPhylipStrict:
    case InputFormat::kPhylipRelaxed:
      return PhylipInChunks(text, format, chunk_cells, file);
    case InputFormat::kList:
      break;
  }
  return std::nullopt;
}
// The first word of a FASTA name (it is trimmed, so never empty).
std::string_view FirstWord(std::string_view name) {
  const auto blank = std::find_if(name.begin(), name.end(), IsAsciiSpace);
  return name.substr(0, static_cast<std::size_t>(blank - name.begin()));
}

// Raises, naming both lines, when two records' first words are equal ignoring case.
void CheckFirstWords(const std::vector<FastaRecord>& records, const std::string& file) {
  std::unordered_map<std::string, std::size_t> seen;
  for (std::size_t r = 0; r < records.size(); ++r) {
    const std::string_view word = FirstWord(records[r].name);
    const auto [it, fresh] = seen.emplace(AsciiUpper(std::string(word)), r);
    if (fresh) continue;
    const FastaRecord& before = records[it->second];
    Raise("Cannot read " + QuoteForMessage(file) + ": the taxa of lines " + Number(before.line) +
          " and " + Number(records[r].line) + " (" + QuoteForMessage(">" + before.name) + " and " +
          QuoteForMessage(">" + records[r].name) + ") are both named " +
          QuoteForMessage(std::string(FirstWord(before.name))) +
          " by the first word, as tree programs name them (letter case aside); make the first "
          "words differ, or name each taxon by its whole line (--fasta-names whole-line)");
  }
}

}  // namespace

Alignment ReadAlignment(std::string bytes, InputFormat format, const std::string& file_name,
                        ReadingOptions options) {
  if (bytes.size() >= 2 &&
      ((bytes[0] == '\xFF' && bytes[1] == '\xFE') || (bytes[0] == '\xFE' && bytes[1] == '\xFF'))) {
    Raise("Cannot read " + QuoteForMessage(file_name) +
          " as an alignment: it is UTF-16 text; alignments must be UTF-8");
  }
  if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) bytes.erase(0, 3);
  std::vector<FastaRecord> records;
  switch (format) {
    case InputFormat::kFasta:
      records = FastaRecords(bytes, file_name);
      // NCL leaks the blocks it made when it refuses sequences without characters.
      if (!records.empty() && std::none_of(records.begin(), records.end(), HasCharacters)) {
        Raise("Cannot read " + QuoteForMessage(file_name) +
              " as FASTA: its sequences hold no characters");
      }
      if (options.fasta_names == FastaNames::kFirstWord) CheckFirstWords(records, file_name);
      break;
    case InputFormat::kNexus:
      if (DetectInputFormat(std::string_view(bytes).substr(0, 4096)) != InputFormat::kNexus) {
        Raise("Cannot read " + QuoteForMessage(file_name) +
              " as NEXUS: it does not start with #NEXUS");
      }
      CheckNexusDimensions(bytes, file_name);
      CheckNexusValues(bytes, file_name);
      break;
    case InputFormat::kPhylip:
    case InputFormat::kPhylipStrict:
    case InputFormat::kPhylipRelaxed:
      CheckPhylipHeader(bytes, file_name);
      break;
    case InputFormat::kList:
      Raise("Cannot read " + QuoteForMessage(file_name) + " as an alignment: it is a name list");
  }

  std::optional<Alignment> alignment;
  try {
    if (options.reading != Reading::kWhole) {
      alignment = ReadInChunks(bytes, format, records, file_name, options.chunk_cells);
    }
    if (!alignment && options.reading == Reading::kChunksOnly) {
      Raise("Cannot read " + QuoteForMessage(file_name) + " a chunk of taxa at a time");
    }
    if (!alignment) alignment = ReadWhole(bytes, format, records, file_name);
  } catch (const std::bad_alloc&) {
    Raise("Cannot read " + QuoteForMessage(file_name) + ": it needs more memory than there is");
  }
  if (format == InputFormat::kFasta) {
    for (std::size_t i = 0; i < alignment->names.size(); ++i) {
      std::string& name = alignment->names[i];
      if (options.fasta_names == FastaNames::kFirstWord) name = std::string(FirstWord(name));
      CheckName(name, i, file_name);
    }
  }
  alignment->rows.SetText(std::move(bytes));
  alignment->rows.ReleaseUnusedText();
  return std::move(*alignment);
}

}  // namespace dk
