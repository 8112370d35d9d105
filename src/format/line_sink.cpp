#include "format/line_sink.h"

namespace hxrate {

LineSink appendLinesTo(std::string& out) {
    return [&out](std::string_view line) {
        out.append(line);
        out.append("\r\n");
    };
}

void writeFreeFormLine(const LineSink& sink, std::string_view text) {
    constexpr std::size_t pieceLength = 79;
    std::string line;
    // A text of 79 characters gives a second line holding only the blank:
    // the last piece is whatever remains, possibly nothing.
    std::size_t start = 0;
    while (true) {
        std::string_view piece = text.substr(start, pieceLength);
        line.assign(1, ' ');
        line.append(piece);
        sink(line);
        if (piece.size() < pieceLength) break;
        start += pieceLength;
    }
}

}  // namespace hxrate
