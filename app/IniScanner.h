#pragma once
// Reads a settings file line by line, in fixed memory whatever its size: each line's
// position in the file and the start of its text, decoded to UTF-8 from the file's own
// encoding. The encoding is told by a byte-order mark, as the profile functions tell
// it: UTF-8, UTF-16 little or big endian, else the program's ANSI file encoding.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kx::platform {
class RegularFile;
}

namespace kx::app {

enum class IniEncoding { Ansi, Utf8, Utf16Le, Utf16Be };

struct IniLine {
    std::uint64_t begin = 0;  // file offset of the line's first byte
    std::uint64_t end = 0;    // just past its text
    std::uint64_t eolEnd = 0; // just past its line end (== end for a last line without one)
    std::uint64_t next = 0;   // the next line: past the empty lines that follow this one
    std::string text;         // UTF-8; only the first IniScanner::MaxKept bytes of a longer line
};

class IniScanner {
public:
    static constexpr std::size_t ChunkSize = 64 * 1024;
    static constexpr std::size_t MaxKept = 64 * 1024;

    // Starts at the file's first byte; a closed file reads as an empty one.
    explicit IniScanner(const platform::RegularFile& file);

    IniEncoding Encoding() const { return encoding_; }
    // The first byte after the byte-order mark.
    std::uint64_t BodyStart() const { return bodyStart_; }
    // The next line; false at the end of the file. A line ends at CR LF, LF or CR; the
    // empty lines after it come with it (a file of nothing but line ends is one line).
    bool Next(IniLine& line);
    // Whether a read failed (the file shrank, say): the scan then ended early.
    bool Failed() const { return failed_; }

private:
    bool Fill();
    bool Peek(std::uint32_t& unit);
    void Advance() { pos_ += unitSize_; }
    std::uint64_t Offset() const { return base_ + pos_; }
    void KeepUntilLineEnd();
    void SkipLineEnds();
    void Keep(const char* data, std::size_t size);

    const platform::RegularFile& file_;
    bool failed_ = false;
    IniEncoding encoding_ = IniEncoding::Ansi;
    std::size_t unitSize_ = 1;
    std::uint64_t bodyStart_ = 0;
    std::vector<char> buffer_;
    std::size_t pos_ = 0;     // next byte in buffer_
    std::size_t size_ = 0;    // bytes held in buffer_
    std::uint64_t base_ = 0;  // file offset of buffer_[0]
    std::string kept_;        // raw bytes of the current line's text
};

// UTF-8 text in a file's encoding, and back.
std::string EncodeIniText(IniEncoding encoding, std::string_view utf8);
std::string DecodeIniText(IniEncoding encoding, std::string_view bytes);

}  // namespace kx::app
