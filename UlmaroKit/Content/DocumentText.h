#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace ulmaro::DocumentText {

/// Plain text and raw bytes are read only up to this many bytes of a file.
inline constexpr std::uint64_t maxBytesPerFile = 2097152;
/// A file whose first this-many bytes hold a zero byte is binary and has no text.
inline constexpr std::size_t binaryProbeBytes = 4096;
/// The most a document may make us inflate (all of its zip entries together) and the most
/// text kept of one document; also the largest PDF that is opened at all.
inline constexpr std::uint64_t maxDocumentBytes = 67108864;

/// The file's text as UTF-8 (each invalid sequence becomes U+FFFD), at most
/// `maxBytesPerFile` bytes of it. Nothing for a file that is not a regular file (links
/// are not followed, FIFOs and devices are refused without blocking), cannot be read,
/// is empty, or has a zero byte among its first `binaryProbeBytes` bytes.
std::optional<std::string> plainText(const std::filesystem::path& path);

/// The text of a PDF ("pdf"), Office ("docx", "pptx", "xlsx") or iWork ("pages", "key",
/// "numbers") document, chosen by the lower-cased extension. Nothing for any other
/// extension or when the file cannot be read as such a document; a readable document
/// without text gives empty text. Never throws.
std::optional<std::string> extractedText(const std::filesystem::path& path);

/// Text of any document, or nothing: `extractedText` for the extracted extensions, else
/// `plainText`. This is what a content index stores for a file.
std::optional<std::string> text(const std::filesystem::path& path);

/// Reads the first `maxBytes` bytes of a regular file (links are not followed, FIFOs and
/// devices are refused without blocking) into the start of `buffer`, which grows as needed
/// and is never shrunk, so that one buffer serves many files. Answers the number of bytes
/// read, or nothing when the file cannot be opened or read.
std::optional<std::size_t> readFileHead(const std::filesystem::path& path, std::uint64_t maxBytes,
                                        std::string& buffer);

/// Whether bytes read from the start of a file are binary: a zero byte among the first
/// `binaryProbeBytes`.
bool looksBinary(std::string_view head);

/// Whether a lower-cased extension (without the dot) is one whose files are extracted.
bool isExtractedExtension(std::string_view lowerExtension);

/// The extension of a path's last component (after its last dot), lower-cased (ASCII);
/// empty when the name has no dot.
std::string lowerExtension(std::string_view path);

/// Which zip entries of a document of this lower-cased extension hold its text; empty
/// (no function) for an extension that has none.
std::function<bool(std::string_view)> officeTextEntries(std::string_view lowerExtension);

/// An XML part to text: every tag and every run of white space becomes one space; nothing
/// else is interpreted (entities stay as written). Invalid UTF-8 becomes U+FFFD.
std::string textFromXML(std::string_view xml);

/// The printable runs of a binary entry: runs of bytes 0x20-0x7E and 0x80-0xFF at least
/// `minimumLength` long that decode as UTF-8 and are at least half letters, digits or
/// spaces, joined by one space.
std::string printableRuns(std::string_view bytes, std::size_t minimumLength);

} // namespace ulmaro::DocumentText
