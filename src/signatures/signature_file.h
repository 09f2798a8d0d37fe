// Library-signature files: each names one library and lists routines of it, every
// routine with a byte pattern that identifies its code.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tessor {

struct SignatureEntry {
  std::string name;     // the text before the line's first colon
  std::string pattern;  // the text between the first and second colon
};

struct SignatureFile {
  std::string library;  // the file name with every ".esig" removed, letter case ignored
  std::vector<SignatureEntry> entries;
};

struct SignatureLibrary {
  std::vector<SignatureFile> files;
};

// The entries of a signature file's content: the text up to the first zero byte, cut
// at every CR LF; every line holding a colon is an entry.
std::vector<SignatureEntry> ParseSignatureText(std::string_view content);

// "kernel.esig" gives "kernel"; "abc.ESIG.esig" gives "abc".
std::string LibraryNameFromFileName(std::string_view fileName);

}  // namespace tessor
