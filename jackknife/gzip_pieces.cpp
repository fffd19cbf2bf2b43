#include "jackknife/gzip_pieces.h"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <string>

#include "base/errors.h"

namespace dk {
namespace {

constexpr std::size_t kBlock = std::size_t{256} << 10;

// A deflate stream that ends itself.
class Deflater {
 public:
  Deflater() {
    // 15 + 16: a gzip wrapper around the largest window.
    if (deflateInit2(&z_, Z_BEST_SPEED, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
      Raise("Cannot compress: zlib could not start (out of memory)");
    }
  }
  ~Deflater() { deflateEnd(&z_); }
  Deflater(const Deflater&) = delete;
  Deflater& operator=(const Deflater&) = delete;

  // Compresses `in` (all of it; `flush` Z_FINISH ends the stream), giving each full or
  // last block to `sink`.
  void Feed(std::string_view in, int flush, const ByteSink& sink) {
    do {
      const std::size_t take = std::min<std::size_t>(in.size(), UINT_MAX);
      z_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
      z_.avail_in = static_cast<uInt>(take);
      const int step = take == in.size() ? flush : Z_NO_FLUSH;
      int r = Z_OK;
      do {
        z_.next_out = reinterpret_cast<Bytef*>(out_.data());
        z_.avail_out = static_cast<uInt>(out_.size());
        r = deflate(&z_, step);
        if (r == Z_STREAM_ERROR) Raise("Cannot compress: zlib failed");
        const std::size_t made = out_.size() - z_.avail_out;
        if (made > 0) sink(std::string_view(out_.data(), made));
      } while (z_.avail_out == 0 || (step == Z_FINISH && r != Z_STREAM_END));
      in.remove_prefix(take);
    } while (!in.empty());
  }

 private:
  z_stream z_{};
  std::string out_ = std::string(kBlock, '\0');
};

}  // namespace

void GzipPieces(const std::vector<std::string_view>& pieces, const ByteSink& sink) {
  Deflater deflater;
  for (const std::string_view piece : pieces) deflater.Feed(piece, Z_NO_FLUSH, sink);
  deflater.Feed({}, Z_FINISH, sink);
}

}  // namespace dk
