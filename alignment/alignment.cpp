#include "alignment/alignment.h"

#include <ncl/ncl.h>
#include <ncl/nxsmultiformat.h>

#include <algorithm>
#include <cctype>
#include <exception>
#include <istream>
#include <map>
#include <memory>
#include <new>
#include <optional>
#include <sstream>
#include <streambuf>
#include <string_view>
#include <utility>

#include "alignment/ascii_stand_ins.h"
#include "alignment/ascii_text.h"
#include "alignment/raw_rows.h"
#include "alignment/taxon_names.h"
#include "alignment/text_checks.h"
#include "platform/errors.h"

namespace dk {
namespace {

using Format = MultiFormatReader::DataFormatType;

std::string Quote(const std::string& text) {
  return QuoteForMessage(text);
}

std::string Number(std::size_t n) {
  return std::to_string(n);
}

// An input stream over a text held elsewhere, without copying it. NCL seeks and asks
// for positions, so both are supported over the whole text.
class TextBuffer : public std::streambuf {
 public:
  explicit TextBuffer(std::string& text) {
    char* begin = text.data();
    setg(begin, begin, begin + text.size());
  }

 protected:
  pos_type seekoff(off_type off, std::ios_base::seekdir dir,
                   std::ios_base::openmode which) override {
    if ((which & std::ios_base::in) == 0) return pos_type(off_type(-1));
    off_type base = 0;
    if (dir == std::ios_base::cur) base = gptr() - eback();
    if (dir == std::ios_base::end) base = egptr() - eback();
    const off_type target = base + off;
    if (target < 0 || target > egptr() - eback()) return pos_type(off_type(-1));
    setg(eback(), eback() + target, egptr());
    return pos_type(target);
  }
  pos_type seekpos(pos_type pos, std::ios_base::openmode which) override {
    return seekoff(off_type(pos), std::ios_base::beg, which);
  }
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
    odd += (listed == 0 ? "" : ", ") + Quote(names[i]) + " has " + Number(lengths[i]);
    ++listed;
  }
  if (unlisted > 0) odd += " and " + Number(unlisted) + " more differ";
  Raise("Cannot use " + Quote(file) + " as an alignment: its sequences differ in length: " +
        Number(most) + " have " + Number(common) + " characters, but " + odd);
}

void CheckName(const std::string& name, std::size_t index, const std::string& file) {
  if (name.empty()) {
    Raise("Cannot read " + Quote(file) + ": taxon " + Number(index + 1) + " has no name");
  }
  if (name.find_first_of("\t\n\r") != std::string::npos) {
    Raise("Cannot read " + Quote(file) + ": the name of taxon " + Number(index + 1) + " (" +
          Quote(name) + ") holds a tab or line break");
  }
  if (std::any_of(name.begin(), name.end(), IsControlByte)) {
    Raise("Cannot read " + Quote(file) + ": the name of taxon " + Number(index + 1) + " (" +
          Quote(name) + ") holds a control character");
  }
}

// Takes what a pruned copy needs from a reader that read the text.
Alignment Collect(MultiFormatReader& reader, const Attempt& attempt, std::string_view text,
                  std::vector<FastaRecord>* records, const AsciiStandIns& stand_ins,
                  const std::string& file) {
  if (reader.GetNumTaxaBlocks() == 0) {
    Raise("Cannot read " + Quote(file) + ": it holds no taxa (no TAXA, DATA or CHARACTERS block)");
  }
  if (reader.GetNumTaxaBlocks() != 1) {
    Raise("Cannot read " + Quote(file) + ": it holds " + Number(reader.GetNumTaxaBlocks()) +
          " sets of taxa; one is needed");
  }
  NxsTaxaBlock* taxa = reader.GetTaxaBlock(0);
  Alignment out;
  out.format = attempt.format;
  out.interleaved = attempt.interleaved;
  std::map<std::string, unsigned> seen;
  for (unsigned i = 0; i < taxa->GetNTax(); ++i) {
    std::string name = taxa->GetTaxonLabel(i);
    CheckName(name, i, file);
    // NEXUS reads an underscore as a blank; the names keep the underscores, as the file
    // usually spells them and as tree programs write them.
    if (attempt.format == InputFormat::kNexus) std::replace(name.begin(), name.end(), ' ', '_');
    const auto [it, fresh] = seen.emplace(AsciiUpper(name), i);
    if (!fresh) {
      Raise("Cannot read " + Quote(file) + ": taxa " + Number(it->second + 1) + " and " +
            Number(i + 1) + " are both named " + Quote(name) +
            " (NEXUS reads blanks and underscores alike and ignores letter case)");
    }
    out.names.push_back(std::move(name));
  }
  if (out.names.empty()) Raise("Cannot read " + Quote(file) + ": it holds no taxa");
  if (reader.GetNumUnalignedBlocks(taxa) > 0) {
    RaiseUnequalLengths(reader.GetUnalignedBlock(taxa, 0), out.names, file);
  }
  const unsigned blocks = reader.GetNumCharactersBlocks(taxa);
  if (blocks != 1) {
    Raise("Cannot read " + Quote(file) + ": it holds " + Number(blocks) +
          " DATA or CHARACTERS blocks; exactly one is needed");
  }
  NxsCharactersBlock* chars = reader.GetCharactersBlock(taxa, 0);
  if (chars->GetNTaxWithData() != out.names.size()) {
    Raise("Cannot read " + Quote(file) + ": it names " + Number(out.names.size()) +
          " taxa but its matrix has rows for " + Number(chars->GetNTaxWithData()));
  }
  out.kind = KindOf(chars->GetDataType());
  out.characters = chars->GetNCharTotal();
  if (attempt.format == InputFormat::kFasta) {
    if (records->size() != out.names.size()) {
      Raise("Cannot read " + Quote(file) + ": found " + Number(records->size()) +
            " sequences where NCL read " + Number(out.names.size()));
    }
    for (std::size_t i = 0; i < records->size(); ++i) {
      if (stand_ins.Of((*records)[i].name) != out.names[i]) {
        Raise("Cannot read " + Quote(file) + ": sequence " + Number(i + 1) + " is named " +
              Quote((*records)[i].name) + " but NCL read " + Quote(out.names[i]));
      }
      out.names[i] = (*records)[i].name;
      out.rows.push_back(std::move((*records)[i].text));
    }
    return out;
  }
  // The rows are taken from the text as written; NCL's reading checked the states. A
  // transposed matrix is written as NCL reads it, which keeps the states but not the
  // digits of measurements.
  const bool continuous = chars->GetDataType() == NxsCharactersBlock::continuous;
  if (attempt.format == InputFormat::kNexus && chars->IsTranspose()) {
    if (continuous) {
      Raise("Cannot read " + Quote(file) +
            ": its continuous matrix is TRANSPOSE'd, and its values could not be written "
            "to the pruned copies exactly as they stand; write the matrix untransposed");
    }
    out.rows = Rows(chars, out.names.size(), out.characters, true);
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
    if (attempt.format == InputFormat::kNexus) {
      out.rows = RawRows(text, layout, out.names, file);
    } else {
      try {
        out.rows = RawRows(text, layout, out.names, file);
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
  return "the taxon name " + Quote(name) +
         " is given twice (names are compared ignoring letter case)";
}

}  // namespace

Alignment ReadAlignment(std::string bytes, InputFormat format, const std::string& file_name) {
  if (bytes.size() >= 2 &&
      ((bytes[0] == '\xFF' && bytes[1] == '\xFE') || (bytes[0] == '\xFE' && bytes[1] == '\xFF'))) {
    Raise("Cannot read " + Quote(file_name) +
          " as an alignment: it is UTF-16 text; alignments must be UTF-8");
  }
  if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) bytes.erase(0, 3);
  std::vector<FastaRecord> records;
  const bool phylip = format == InputFormat::kPhylip || format == InputFormat::kPhylipStrict ||
                      format == InputFormat::kPhylipRelaxed;
  switch (format) {
    case InputFormat::kFasta:
      records = FastaRecords(bytes, file_name);
      // NCL leaks the blocks it made when it refuses sequences without characters.
      if (!records.empty() && std::none_of(records.begin(), records.end(), HasCharacters)) {
        Raise("Cannot read " + Quote(file_name) + " as FASTA: its sequences hold no characters");
      }
      break;
    case InputFormat::kNexus:
      if (DetectInputFormat(std::string_view(bytes).substr(0, 4096)) != InputFormat::kNexus) {
        Raise("Cannot read " + Quote(file_name) + " as NEXUS: it does not start with #NEXUS");
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
      Raise("Cannot read " + Quote(file_name) + " as an alignment: it is a name list");
  }

  const int nexus_blocks =
      PublicNexusReader::NEXUS_TAXA_BLOCK_BIT | PublicNexusReader::NEXUS_CHARACTERS_BLOCK_BIT |
      PublicNexusReader::NEXUS_ASSUMPTIONS_BLOCK_BIT | PublicNexusReader::NEXUS_SETS_BLOCK_BIT |
      PublicNexusReader::NEXUS_UNALIGNED_BLOCK_BIT;
  // NCL's FASTA reader misses a last line without a line break.
  if (!bytes.empty() && bytes.back() != '\n') bytes.push_back('\n');
  // NCL's FASTA and PHYLIP readers drop bytes beyond ASCII from names: they read a
  // stand-in text, and the names are taken back from the original.
  AsciiStandIns stand_ins;
  std::string original;
  if (format != InputFormat::kNexus &&
      std::any_of(bytes.begin(), bytes.end(), [](char c) { return (c & 0x80) != 0; })) {
    std::string replaced = bytes;
    if (stand_ins.Apply(&replaced)) {
      original = std::move(bytes);
      bytes = std::move(replaced);
    }
  }
  TextBuffer buffer(bytes);
  std::istream in(&buffer);
  std::optional<Failure> best;
  for (const Attempt& attempt : AttemptsFor(format)) {
    in.clear();
    in.seekg(0);
    Reader reader(nexus_blocks);
    Failure failure;
    try {
      reader.ncl().ReadStream(in, attempt.ncl_format, file_name.c_str());
      Alignment alignment = Collect(reader.ncl(), attempt, bytes, &records, stand_ins, file_name);
      const auto unread =
          phylip ? UnreadPhylipText(bytes, alignment.names, alignment.rows) : std::nullopt;
      if (!unread) {
        if (phylip && !original.empty()) {
          alignment.names = AsciiStandIns::Originals(original, bytes, alignment.names);
        }
        return alignment;
      }
      failure = {*unread, 0, 0, static_cast<long long>(bytes.size()), false};
    } catch (const DuplicatedLabelNxsException& e) {
      failure = {DuplicateText(e.msg), 0, 0, 0, true};
    } catch (const NxsException& e) {
      failure = {e.msg, e.line, e.col, static_cast<long long>(e.pos), false};
    } catch (const std::bad_alloc&) {
      Raise("Cannot read " + Quote(file_name) + ": it needs more memory than there is");
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
  Raise("Cannot read " + Quote(file_name) + " as " + FormatTitle(format) + ": " +
        FailureText(*best));
}

}  // namespace dk
