// The PDF reader, built as a module that the content code loads on first use: poppler
// and the libraries behind it would otherwise be loaded by every run of every program,
// most of which never read a PDF.
#include "UlmaroKit/PdfModule/PdfTextModule.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <poppler-document.h>
#include <poppler-global.h>
#include <poppler-page.h>
#include <string>

namespace {

void ignorePopplerMessage(const std::string&, void*) {}

} // namespace

extern "C" int ulmaroPdfText(const char* data, std::size_t size, std::size_t maxBytes, char** text,
                             std::size_t* length) noexcept {
    try {
        // poppler prints its complaints about damaged files to standard error; the
        // library writes no log.
        static const bool quiet = [] {
            poppler::set_debug_error_function(ignorePopplerMessage, nullptr);
            return true;
        }();
        (void)quiet;
        std::unique_ptr<poppler::document> document(
            poppler::document::load_from_raw_data(data, static_cast<int>(size)));
        if (!document || document->is_locked()) return 0;
        std::string all;
        const int pages = document->pages();
        for (int i = 0; i < pages && all.size() <= maxBytes; ++i) {
            if (i > 0) all.push_back('\n');
            std::unique_ptr<poppler::page> page(document->create_page(i));
            if (!page) continue;
            poppler::byte_array bytes =
                page->text(poppler::rectf(), poppler::page::non_raw_non_physical_layout).to_utf8();
            std::size_t n = bytes.size();
            // The text layout ends each page with a form feed; pages are joined by line feeds.
            while (n > 0 && bytes[n - 1] == '\f')
                --n;
            all.append(bytes.data(), n);
        }
        char* out = static_cast<char*>(std::malloc(all.size() + 1));
        if (out == nullptr) return 0;
        std::memcpy(out, all.data(), all.size());
        out[all.size()] = '\0';
        *text = out;
        *length = all.size();
        return 1;
    } catch (...) {
        return 0;
    }
}
