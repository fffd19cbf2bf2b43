// Compressing a file's text to gzip as it is written, through zlib.
//
// Threading: no state; calls may run on several threads at once.
#ifndef DROPKIT_JACKKNIFE_GZIP_PIECES_H_
#define DROPKIT_JACKKNIFE_GZIP_PIECES_H_

#include <string_view>
#include <vector>

#include "os/files.h"  // ByteSink

namespace dk {

// Gives `sink` the gzip form of the text made of `pieces`, in blocks of at most 256 KiB:
// zlib's fastest level (DNA shrinks to about a third), no file name and no time in the
// header, so the same text always gives the same bytes. Raises a RuntimeError when zlib
// fails (it runs out of memory); an error the sink raises passes through.
void GzipPieces(const std::vector<std::string_view>& pieces, const ByteSink& sink);

}  // namespace dk

#endif  // DROPKIT_JACKKNIFE_GZIP_PIECES_H_
