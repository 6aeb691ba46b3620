#include "UlmaroKit/Content/DocumentText.h"

#include "UlmaroKit/Content/DocumentBytes.h"
#include "UlmaroKit/Content/ZipReader.h"
#include "UlmaroKit/PdfModule/PdfTextModule.h"
#include "UlmaroKit/Platform/ProgramLocation.h"
#include "UlmaroKit/Platform/UniqueFd.h"
#include "UlmaroKit/Platform/Utf8.h"

#include <array>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <memory>
#include <unicode/uchar.h>
#include <unicode/utf8.h>

namespace ulmaro::DocumentText {
namespace {

constexpr std::array<std::string_view, 7> kExtractedExtensions = {"pdf",   "docx", "pptx",   "xlsx",
                                                                  "pages", "key",  "numbers"};
constexpr std::size_t kIWorkMinimumRun = 4;

// Cuts text to at most `limit` bytes without splitting a UTF-8 sequence.
void capText(std::string& text, std::uint64_t limit) {
    if (text.size() <= limit) return;
    std::size_t end = static_cast<std::size_t>(limit);
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    text.resize(end);
}

// The PDF module is loaded on first use (see PdfTextModule.cpp) from the program's private
// library folder, else from the library path; nothing when it is missing.
UlmaroPdfTextFunction pdfModule() {
    static const UlmaroPdfTextFunction function = []() -> UlmaroPdfTextFunction {
        void* handle = nullptr;
        auto folder = ProgramLocation::privateLibraryDirectory(ProgramLocation::executable());
        if (!folder.empty())
            handle = ::dlopen((folder / ULMARO_PDF_MODULE_NAME).c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) handle = ::dlopen(ULMARO_PDF_MODULE_NAME, RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) return nullptr;
        return reinterpret_cast<UlmaroPdfTextFunction>(::dlsym(handle, "ulmaroPdfText"));
    }();
    return function;
}

std::optional<std::string> pdfText(const std::filesystem::path& path) {
    UlmaroPdfTextFunction read = pdfModule();
    if (read == nullptr) return std::nullopt;
    auto file = DocumentBytes::open(path, maxDocumentBytes);
    if (!file || file->bytes().empty()) return std::nullopt;
    auto pdf = file->bytes();
    char* raw = nullptr;
    std::size_t length = 0;
    if (!read(reinterpret_cast<const char*>(pdf.data()), pdf.size(), maxDocumentBytes, &raw,
              &length))
        return std::nullopt;
    std::unique_ptr<char, decltype(&std::free)> owned(raw, &std::free);
    std::string text = repairUtf8(std::string_view(raw, length));
    capText(text, maxDocumentBytes);
    return text;
}

std::optional<std::string> zipDocumentText(const std::filesystem::path& path,
                                           std::string_view extension) {
    auto matching = officeTextEntries(extension);
    if (!matching) return std::nullopt;
    auto found = ZipReader::entries(path, matching);
    if (found.empty()) return std::nullopt;
    bool iWork = extension == "pages" || extension == "key" || extension == "numbers";
    std::string text;
    for (std::size_t i = 0; i < found.size() && text.size() <= maxDocumentBytes; ++i) {
        if (i > 0) text.push_back('\n');
        text += iWork ? printableRuns(found[i].data, kIWorkMinimumRun) : textFromXML(found[i].data);
    }
    capText(text, maxDocumentBytes);
    return text;
}

// Alphanumerics as the platform counts them: letters, marks and numbers.
bool isAlphanumeric(UChar32 c) {
    return (U_GET_GC_MASK(c) & (U_GC_L_MASK | U_GC_M_MASK | U_GC_N_MASK)) != 0;
}

// A run of printable bytes is kept when it is valid UTF-8 and at least half of its
// characters are letters, digits or spaces.
bool isWordyRun(std::string_view run) {
    const auto* s = reinterpret_cast<const uint8_t*>(run.data());
    auto length = static_cast<int32_t>(run.size());
    std::size_t scalars = 0, wordy = 0;
    for (int32_t i = 0; i < length;) {
        UChar32 c;
        U8_NEXT(s, i, length, c);
        if (c < 0 || c == 0xFFFD) return false;
        ++scalars;
        if (c == ' ' || isAlphanumeric(c)) ++wordy;
    }
    return scalars <= 2 * wordy;
}

} // namespace

std::optional<std::size_t> readFileHead(const std::filesystem::path& path, std::uint64_t maxBytes,
                                        std::string& buffer) {
    std::uint64_t size = 0;
    UniqueFd fd = openRegularFile(path, size);
    if (!fd) return std::nullopt;
    auto want = static_cast<std::size_t>(std::min(maxBytes, size));
    if (buffer.size() < want) buffer.resize(want);
    // The file may have grown or shrunk since fstat: read up to `want` or the end.
    return readUpTo(fd.get(), buffer.data(), want);
}

bool looksBinary(std::string_view bytes) {
    std::size_t probe = std::min(bytes.size(), binaryProbeBytes);
    return std::memchr(bytes.data(), 0, probe) != nullptr;
}

std::optional<std::string> plainText(const std::filesystem::path& path) {
    std::string buffer;
    auto length = readFileHead(path, maxBytesPerFile, buffer);
    if (!length || *length == 0) return std::nullopt;
    buffer.resize(*length);
    if (looksBinary(buffer)) return std::nullopt;
    if (isValidUtf8(buffer)) return buffer;
    return repairUtf8(buffer);
}

std::optional<std::string> extractedText(const std::filesystem::path& path) {
    std::string extension = lowerExtension(path.native());
    if (!isExtractedExtension(extension)) return std::nullopt;
    if (extension == "pdf") return pdfText(path);
    return zipDocumentText(path, extension);
}

std::optional<std::string> text(const std::filesystem::path& path) {
    if (isExtractedExtension(lowerExtension(path.native()))) return extractedText(path);
    return plainText(path);
}

bool isExtractedExtension(std::string_view lowerExtension) {
    for (std::string_view e : kExtractedExtensions) {
        if (e == lowerExtension) return true;
    }
    return false;
}

std::string lowerExtension(std::string_view path) {
    std::size_t slash = path.rfind('/');
    std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos) return {};
    std::string extension(name.substr(dot + 1));
    for (char& c : extension) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
    }
    return extension;
}

std::function<bool(std::string_view)> officeTextEntries(std::string_view extension) {
    if (extension == "docx") {
        return [](std::string_view name) {
            return name == "word/document.xml" || name.starts_with("word/footnotes");
        };
    }
    if (extension == "pptx") {
        return [](std::string_view name) {
            return name.starts_with("ppt/slides/slide") && name.ends_with(".xml");
        };
    }
    if (extension == "xlsx") {
        return [](std::string_view name) { return name == "xl/sharedStrings.xml"; };
    }
    if (extension == "pages" || extension == "key" || extension == "numbers") {
        return [](std::string_view name) {
            return name.starts_with("Index/") && name.ends_with(".iwa");
        };
    }
    return {};
}

std::string textFromXML(std::string_view xml) {
    std::string out;
    out.reserve(xml.size() / 2);
    bool lastWasSpace = false;
    auto space = [&] {
        if (!lastWasSpace) out.push_back(' ');
        lastWasSpace = true;
    };
    const char* p = xml.data();
    const char* end = p + xml.size();
    while (p < end) {
        char c = *p;
        if (c == '<') {
            space();
            // Everything up to the next ">" is markup, quotes and all.
            const void* close = std::memchr(p, '>', static_cast<std::size_t>(end - p));
            p = close == nullptr ? end : static_cast<const char*>(close) + 1;
        } else if (c == '\t' || c == '\n' || c == '\r' || c == ' ') {
            space();
            ++p;
        } else if (c == '>') {
            ++p;
        } else {
            const char* run = p;
            while (p < end && *p != '<' && *p != '>' && *p != '\t' && *p != '\n' && *p != '\r' &&
                   *p != ' ') {
                ++p;
            }
            out.append(run, p);
            lastWasSpace = false;
        }
    }
    // Parts are UTF-8 by their format; anything else is replaced, never passed on raw.
    if (isValidUtf8(out)) return out;
    return repairUtf8(out);
}

std::string printableRuns(std::string_view bytes, std::size_t minimumLength) {
    std::string out;
    bool keptAny = false;
    std::size_t runStart = 0;
    auto flush = [&](std::size_t end) {
        std::string_view run = bytes.substr(runStart, end - runStart);
        if (run.size() >= minimumLength && isWordyRun(run)) {
            if (keptAny) out.push_back(' ');
            out += run;
            keptAny = true;
        }
    };
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        auto b = static_cast<unsigned char>(bytes[i]);
        if (b < 0x20 || b == 0x7F) {
            flush(i);
            runStart = i + 1;
        }
    }
    flush(bytes.size());
    return out;
}

} // namespace ulmaro::DocumentText
