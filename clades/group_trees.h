// Finding each group's tree file by its name: in the design's folder, or among the files
// given, so that the trees need not be put in group order and a missing one is named.
#ifndef DROPKIT_CLADES_GROUP_TREES_H_
#define DROPKIT_CLADES_GROUP_TREES_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace dk::clades {

// Raises a RuntimeError quoting `pattern` unless it holds {group} exactly once, no other
// brace and no "/": it names a file in one folder, e.g. "{group}.treefile".
void CheckTreeNamePattern(std::string_view pattern);

// The group number the file name `name` gives by `pattern`: `name` is the pattern with
// {group} standing for "group" and digits ("group057.treefile" by "{group}.treefile" is
// 57). An empty pattern asks only that `name` start with "group" and digits followed by
// anything but a digit. 0 when the name does not match.
std::size_t GroupNumberOf(std::string_view name, std::string_view pattern);

// `pattern` with {group} replaced by `label`.
std::string FillTreeName(std::string_view pattern, std::string_view label);

// Each group's tree file, by group: files[g] for group g + 1, "" when it has none.
struct GroupTreeFiles {
  std::vector<std::string> files;
  std::vector<std::size_t> missing;  // the groups without a file, numbered from 1
};

// The functions below match files for a design of `groups` groups (with `exact`; else of
// at least that many, a larger group number found extending the list). They raise,
// naming the files, when two files name one group or, with `exact`, a file names a
// group beyond `groups`.
//
// The files of folder `dir` whose names match `pattern` (CheckTreeNamePattern). Raises
// when the folder cannot be listed.
GroupTreeFiles TreeFilesInFolder(const std::string& dir, std::string_view pattern,
                                 std::size_t groups, bool exact);

// `paths` matched by their file names (the part after the last "/") by `pattern`, or,
// when none matches it, by "group" and digits first; an empty result when none matches
// either (the caller takes them in the order given). Raises, naming it, when some match
// and a file does not.
GroupTreeFiles TreeFilesByName(const std::vector<std::string>& paths, std::string_view pattern,
                               std::size_t groups, bool exact);

// "57", "57 and 99", "3-5, 57 and 99": group numbers (ascending) for a message.
std::string GroupRanges(const std::vector<std::size_t>& groups);

}  // namespace dk::clades

#endif  // DROPKIT_CLADES_GROUP_TREES_H_
