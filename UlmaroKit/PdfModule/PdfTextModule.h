#pragma once

#include <cstddef>

// The one entry point of the PDF module (libUlmaroKitPdf.so), loaded with dlopen.
extern "C" {

/// The text of a PDF held in memory, pages joined by "\n", raw UTF-8 from poppler, about
/// `maxBytes` at most (reading stops at the first page past it). Returns 1 and a text
/// allocated with malloc (the caller frees it), or 0 when the document cannot be read.
int ulmaroPdfText(const char* data, std::size_t size, std::size_t maxBytes, char** text,
                  std::size_t* length) noexcept;

using UlmaroPdfTextFunction = int (*)(const char*, std::size_t, std::size_t, char**,
                                      std::size_t*) noexcept;
}
