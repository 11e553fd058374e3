#include "RecoverCommands.h"

#include <filesystem>
#include <system_error>

#include "AppError.h"
#include "ArchiveLock.h"
#include "Cp1252.h"
#include "ErrorMessages.h"
#include "FileNames.h"
#include "GrpCommands.h"
#include "GrpDiff.h"
#include "GrpFormat.h"
#include "GrpSalvage.h"
#include "InterruptGuard.h"
#include "JsonText.h"
#include "ProgressLine.h"
#include "TerminalText.h"
#include "clsVarnGRP.h"

namespace halvarin::cli {

namespace {

constexpr const char* kSource = "halvarin-grp";

std::string Entries(int64_t n) {
  return Counted(n, "entry", "entries");
}

// The name without its padding, in UTF-8.
std::string Shown(const std::string& stored) {
  return Cp1252ToUtf8(grp::TrimmedName(stored));
}

std::string SalvageJson(const Invocation& invocation, const std::string& target,
                        const grp::Salvage& found) {
  const grp::CheckResult& check = found.Check;
  std::string out = "{\"archive\":";
  AppendJsonString(out, invocation.Archive);
  out += ",\"out\":";
  AppendJsonString(out, target);
  out += ",\"entries\":";
  found.CountKnown ? AppendNumber(out, check.Count) : void(out += "null");
  AppendJsonField(out, "recovered", found.Whole);
  out += ",\"damage\":";
  check.Sound() ? void(out += "null") : AppendJsonString(out, check.FirstError()->Text);
  out += ",\"lost\":[";
  for (const grp::LostEntry& lost : found.Lost) {
    out += &lost == found.Lost.data() ? "\n{\"index\":" : ",\n{\"index\":";
    AppendNumber(out, lost.Index);
    out += ',';
    AppendJsonNames(out, lost.Name);
    AppendJsonField(out, "size", lost.Size);
    out += '}';
  }
  out += found.Lost.empty() ? "]" : "\n]";
  AppendJsonField(out, "unlisted", found.Unnamed);
  AppendJsonField(out, "dropped", found.Trailing);
  return out + "}\n";
}

}  // namespace

int Salvage(const Invocation& invocation, Console& console, io::FileSystem& fs) {
  const std::string& damaged = invocation.Archive;
  const std::string target = clsVarnGRP::SavedPath(invocation.Operands.front());
  const Locked locked(invocation, target, fs);
  RefuseExisting(invocation, target, fs);
  clsVarnGRP archive(fs);
  grp::Salvage found;
  if (!archive.LoadRecoverable(damaged, &found)) {
    throw AppError(errInvalidArgument, kSource, Quoted(damaged) + " is not a Varn GRP archive.",
                   damaged);
  }
  {
    ProgressLine progress(console.Err, console.ErrIsTerminal, "writing");
    archive.SetProgressHandler(Reporting(progress));
    // As create: without --force nothing that appears at OUT meanwhile is
    // replaced, or written through.
    archive.saveFile(target, invocation.Force);
  }

  // What was lost is told only once the rest is safe in OUT. Written at
  // once: standard error is unbuffered.
  const grp::CheckResult& check = found.Check;
  std::string notes;
  if (!check.Sound()) {
    notes += Quoted(damaged) + " is damaged: " + check.FirstError()->Text + "\n";
    for (const grp::LostEntry& lost : found.Lost) {
      notes += "lost entry " + std::to_string(lost.Index) + " (" + grp::QuotedName(lost.Name) +
               ", " + Counted(lost.Size, "byte", "bytes") + ")\n";
    }
    if (found.Unnamed > 0) {
      const int64_t first = check.Count - found.Unnamed + 1;
      notes += (found.Unnamed == 1 ? "lost entry " + std::to_string(first) + ", whose record"
                                   : "lost entries " + std::to_string(first) + " to " +
                                         std::to_string(check.Count) + ", whose records") +
               " the file does not hold\n";
    }
    notes += found.CountKnown
                 ? "recovered " + std::to_string(found.Whole) + " of " + Entries(check.Count)
                 : "recovered " +
                       (found.Whole == 0 ? std::string("no entries") : Entries(found.Whole)) +
                       ", of a number the file does not tell,";
    notes += " to " + Quoted(target) + ".\n";
  } else if (found.Trailing > 0) {
    notes += Quoted(damaged) + ": dropped " + Counted(found.Trailing, "byte", "bytes") +
             " after the last entry's data, which belonged to no entry.\n";
  }
  std::string lines;
  for (std::size_t at = 0; at < notes.size();) {
    const std::size_t end = notes.find('\n', at);
    lines += "halvarin-grp: " + Printable(notes.substr(at, end - at)) + '\n';
    at = end + 1;
  }
  console.Err << lines << std::flush;
  if (invocation.Json) {
    Print(console, SalvageJson(invocation, target, found));
  }
  return check.Sound() ? kSuccess : kFailure;
}

int Diff(const Invocation& invocation, Console& console, io::FileSystem& fs) {
  clsVarnGRP older(fs), newer(fs);
  Load(older, invocation.Archive);
  Load(newer, invocation.Operands.front());
  const std::vector<EntryChange> changes = CompareArchives(older, newer);
  std::string out;
  if (invocation.Json) {
    out += "{\"old\":";
    AppendJsonString(out, invocation.Archive);
    out += ",\"new\":";
    AppendJsonString(out, invocation.Operands.front());
    out += ",\"changes\":[";
    for (const EntryChange& c : changes) {
      out += &c == changes.data() ? "\n{\"change\":" : ",\n{\"change\":";
      out += c.What == EntryChange::Added     ? "\"added\","
             : c.What == EntryChange::Removed ? "\"removed\","
                                              : "\"changed\",";
      AppendJsonNames(out, c.Name);
      if (c.What != EntryChange::Added) {
        AppendJsonField(out, "old_index", c.OldIndex);
        AppendJsonField(out, "old_size", c.OldSize);
      }
      if (c.What != EntryChange::Removed) {
        AppendJsonField(out, "new_index", c.NewIndex);
        AppendJsonField(out, "new_size", c.NewSize);
      }
      out += '}';
    }
    out += changes.empty() ? "]}\n" : "\n]}\n";
  } else {
    for (const EntryChange& c : changes) {
      out += static_cast<char>(c.What);
      out += ' ';
      out += Printable(Shown(c.Name));
      out += ' ';
      AppendNumber(out, c.What == EntryChange::Added ? c.NewSize : c.OldSize);
      if (c.What == EntryChange::Changed) {
        out += " -> ";
        AppendNumber(out, c.NewSize);
      }
      out += '\n';
    }
  }
  Print(console, out);
  return changes.empty() ? kSuccess : kFailure;
}

}  // namespace halvarin::cli
